#include "core/modbus/SerialLine.h"

#include <QCoreApplication>

#include <cmath>

namespace {

QSerialPort::Parity parityOf(const QString &text)
{
    if (text.compare(QLatin1String("ODD"), Qt::CaseInsensitive) == 0)
        return QSerialPort::OddParity;
    if (text.compare(QLatin1String("EVEN"), Qt::CaseInsensitive) == 0)
        return QSerialPort::EvenParity;
    return QSerialPort::NoParity;
}

} // namespace

SerialLine::SerialLine(QObject *parent)
    : QObject(parent)
{
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_quietTimer, &QTimer::timeout, this, &SerialLine::quietCheck);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::readAvailable);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen())
            return;
        const QString text = m_port.errorString();
        m_port.clearError();
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError
            || error == QSerialPort::WriteError)
            emit failed(text);
    });
}

SerialLine::~SerialLine()
{
    m_ready = nullptr;
    m_port.disconnect(this);
    m_port.close();
}

bool SerialLine::open(QString *error)
{
    close();
    m_port.setPortName(m_settings.device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = m_port.errorString();
        m_port.clearError();
        return false;
    }
    if (!applyFraming(error)) {
        m_port.close();
        return false;
    }
    m_rtsWarning.clear();
    if (m_settings.rts && !m_port.setRequestToSend(true)) {
        m_rtsWarning = QCoreApplication::translate("SerialLine", "%1 does not let RTS be set; the line is used without it.")
                           .arg(m_settings.device);
        m_port.clearError();
    }
    m_port.clear(QSerialPort::AllDirections);
    m_lastByte.start();
    return true;
}

bool SerialLine::applyFraming(QString *error)
{
    const bool set = m_port.setBaudRate(m_settings.baudRate)
                     && m_port.setDataBits(QSerialPort::DataBits(m_settings.dataBits))
                     && m_port.setStopBits(m_settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop)
                     && m_port.setParity(parityOf(m_settings.parity))
                     && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!set) {
        *error = m_port.errorString();
        m_port.clearError();
    }
    return set;
}

bool SerialLine::reconfigure(const Settings &settings, QString *error)
{
    if (!m_port.isOpen() || settings.device != m_settings.device) {
        m_settings = settings;
        return open(error);
    }
    m_settings = settings;
    if (!applyFraming(error))
        return false;
    m_port.clear(QSerialPort::Input);
    return true;
}

void SerialLine::close()
{
    cancelWait();
    if (m_port.isOpen())
        m_port.close();
}

int SerialLine::silenceMs(const Settings &settings)
{
    const int parity = parityOf(settings.parity) == QSerialPort::NoParity ? 0 : 1;
    const int bits = 1 + settings.dataBits + parity + settings.stopBits;
    const double ms = 3.5 * bits * 1000.0 / qMax(1, settings.baudRate);
    return qMax(MinimumSilenceMs, int(std::ceil(ms)));
}

int SerialLine::silenceMs() const
{
    return silenceMs(m_settings);
}

bool SerialLine::write(const QByteArray &bytes)
{
    if (!m_port.isOpen() || m_port.write(bytes) != bytes.size())
        return false;
    emit bytesSent(bytes);
    return true;
}

void SerialLine::flushStale()
{
    if (!m_port.isOpen())
        return;
    const QByteArray stale = m_port.readAll();
    m_port.clear(QSerialPort::Input);
    if (!stale.isEmpty())
        emit bytesReceived(stale);
}

void SerialLine::readAvailable()
{
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_lastByte.start();
    emit bytesReceived(bytes);
}

void SerialLine::whenQuiet(int quietMs, int maxMs, std::function<void()> ready)
{
    m_ready = std::move(ready);
    m_quietMs = qMax(1, quietMs);
    m_maxMs = qMax(m_quietMs, maxMs);
    m_waitStarted.start();
    quietCheck();
}

void SerialLine::cancelWait()
{
    m_ready = nullptr;
    m_quietTimer.stop();
}

// Silence counts from the call or from the last byte, whichever came later: a reply that is
// still on its way when the wait begins gets the whole quiet time to arrive and be dropped.
void SerialLine::quietCheck()
{
    if (!m_ready)
        return;
    const qint64 waited = m_waitStarted.elapsed();
    const qint64 silent = m_lastByte.isValid() ? qMin(m_lastByte.elapsed(), waited) : waited;
    if (silent < m_quietMs && waited < m_maxMs) {
        m_quietTimer.start(int(qMin<qint64>(m_quietMs - silent, m_maxMs - waited)) + 1);
        return;
    }
    flushStale();
    const auto ready = std::move(m_ready);
    m_ready = nullptr;
    ready();
}
