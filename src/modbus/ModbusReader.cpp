#include "modbus/ModbusReader.h"

#include "modbus/ModbusReadPlan.h"

#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QSerialPort>
#include <QVariant>

const QString ModbusReader::Timeout = QStringLiteral("timeout");
const QString ModbusReader::ConnectionError = QStringLiteral("connection error");

namespace {

QModbusDataUnit::RegisterType registerType(ModbusPoint::Table table)
{
    switch (table) {
    case ModbusPoint::Table::Coils: return QModbusDataUnit::Coils;
    case ModbusPoint::Table::DiscreteInputs: return QModbusDataUnit::DiscreteInputs;
    case ModbusPoint::Table::InputRegisters: return QModbusDataUnit::InputRegisters;
    case ModbusPoint::Table::HoldingRegisters: return QModbusDataUnit::HoldingRegisters;
    }
    return QModbusDataUnit::Invalid;
}

QSerialPort::Parity parityOf(const QString &text)
{
    if (text.compare(QLatin1String("ODD"), Qt::CaseInsensitive) == 0)
        return QSerialPort::OddParity;
    if (text.compare(QLatin1String("EVEN"), Qt::CaseInsensitive) == 0)
        return QSerialPort::EvenParity;
    return QSerialPort::NoParity;
}

} // namespace

ModbusReader::ModbusReader(const ModbusLinkSettings &link, QObject *parent)
    : QObject(parent), m_link(link)
{
    if (m_link.mode == ModbusLinkSettings::Mode::Tcp) {
        m_client = new QModbusTcpClient(this);
        m_client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, m_link.host);
        m_client->setConnectionParameter(QModbusDevice::NetworkPortParameter, m_link.port);
    } else {
        m_client = new QModbusRtuSerialMaster(this);
        m_client->setConnectionParameter(QModbusDevice::SerialPortNameParameter, m_link.serialDevice);
        m_client->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, m_link.baudRate);
        m_client->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, m_link.dataBits);
        m_client->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, m_link.stopBits);
        m_client->setConnectionParameter(QModbusDevice::SerialParityParameter, parityOf(m_link.parity));
    }
    m_client->setTimeout(m_link.requestTimeoutMs);
    // A time-out is reported as such; the next polling round is the retry.
    m_client->setNumberOfRetries(0);

    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        const auto next = std::move(m_onConnected);
        m_onConnected = nullptr;
        m_client->disconnectDevice();
        if (next)
            next(Timeout);
    });
    connect(m_client, &QModbusDevice::stateChanged, this, [this](QModbusDevice::State state) {
        if (state == QModbusDevice::ConnectedState)
            connectionSettled(QString());
        else if (state == QModbusDevice::UnconnectedState)
            connectionSettled(ConnectionError);
    });
}

ModbusReader::~ModbusReader()
{
    m_onConnected = nullptr;
    m_client->disconnect(this);
    m_client->disconnectDevice();
}

void ModbusReader::close()
{
    m_client->disconnectDevice();
}

void ModbusReader::whenConnected(std::function<void(const QString &)> next)
{
    if (m_client->state() == QModbusDevice::ConnectedState) {
        next(QString());
        return;
    }
    m_onConnected = std::move(next);
    if (m_client->state() == QModbusDevice::UnconnectedState && !m_client->connectDevice()) {
        connectionSettled(ConnectionError);
        return;
    }
    if (m_onConnected)
        m_connectTimer.start(m_link.connectionTimeoutMs);
}

void ModbusReader::connectionSettled(const QString &failure)
{
    if (!m_onConnected)
        return;
    m_connectTimer.stop();
    const auto next = std::move(m_onConnected);
    m_onConnected = nullptr;
    next(failure);
}

bool ModbusReader::read(const QVector<ModbusSlave> &slaves)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_slaves = slaves;
    m_results.clear();
    m_jobs.clear();
    m_requestCount = 0;
    for (int s = 0; s < m_slaves.size(); ++s) {
        const ModbusSlave &slave = m_slaves.at(s);
        SlaveResults results(slave.points.size());
        for (int p = 0; p < slave.points.size(); ++p)
            results[p].status = slave.error.isEmpty() ? slave.points.at(p).error : slave.error;
        m_results.append(results);
        if (!slave.error.isEmpty())
            continue;
        for (const ModbusReadPlan::Request &request : ModbusReadPlan::build(slave.points))
            m_jobs.append(Job{s, request.table, request.start, request.count, request.points});
    }
    if (m_jobs.isEmpty()) {
        // Nothing to ask: answer on the next turn of the loop, as a real read would.
        QTimer::singleShot(0, this, [this] { finishIfDone(); });
        return true;
    }
    whenConnected([this](const QString &failure) {
        if (!failure.isEmpty()) {
            for (const Job &job : qAsConst(m_jobs))
                failJob(job, failure);
            m_jobs.clear();
        }
        sendNextJob();
        finishIfDone();
    });
    return true;
}

void ModbusReader::failJob(const Job &job, const QString &status)
{
    for (int index : job.points) {
        PointResult &result = m_results[job.slave][index];
        result = PointResult();
        result.status = status;
    }
}

// The exception code of a refused request, or -1. Read from the reply's data byte: Qt keeps an
// exception's function code sign-extended in its enum, and reading it through
// QModbusPdu::isException()/exceptionCode() is undefined behaviour.
static int exceptionCode(QModbusReply *reply)
{
    if (reply->error() != QModbusDevice::ProtocolError)
        return -1;
    const QByteArray data = reply->rawResult().data();
    return data.size() == 1 ? quint8(data.at(0)) : -1;
}

QString ModbusReader::replyStatus(QModbusReply *reply)
{
    switch (reply->error()) {
    case QModbusDevice::NoError: return QString();
    case QModbusDevice::TimeoutError: return Timeout;
    case QModbusDevice::ProtocolError:
        if (exceptionCode(reply) >= 0)
            return QStringLiteral("exception %1").arg(exceptionCode(reply));
        return QStringLiteral("protocol error");
    default: return ConnectionError;
    }
}

// One request at a time: many devices answer only one transaction at once, and on a serial
// line there is no other way.
void ModbusReader::sendNextJob()
{
    while (!m_inFlight && !m_jobs.isEmpty()) {
        const Job job = m_jobs.takeFirst();
        const QModbusDataUnit unit(registerType(job.table), job.start, quint16(job.count));
        ++m_requestCount;
        QModbusReply *reply = m_client->sendReadRequest(unit, m_slaves.at(job.slave).station);
        if (!reply) {
            failJob(job, ConnectionError);
            continue;
        }
        if (reply->isFinished()) {
            if (!splitRefused(job, reply))
                jobReplied(job, reply);
            continue;
        }
        m_inFlight = true;
        connect(reply, &QModbusReply::finished, this, [this, job, reply] {
            m_inFlight = false;
            if (splitRefused(job, reply)) {
                sendNextJob();
            } else {
                // The next request goes out before this reply is decoded.
                sendNextJob();
                jobReplied(job, reply);
            }
            finishIfDone();
        });
    }
}

void ModbusReader::finishIfDone()
{
    if (!m_busy || m_inFlight || !m_jobs.isEmpty())
        return;
    m_busy = false;
    emit readFinished(m_results);
}

// A request refused for its range (exception 2 or 3) is asked again point by point.
bool ModbusReader::splitRefused(const Job &job, QModbusReply *reply)
{
    const int code = exceptionCode(reply);
    if (job.points.size() < 2 || (code != QModbusPdu::IllegalDataAddress && code != QModbusPdu::IllegalDataValue))
        return false;
    reply->deleteLater();
    const ModbusSlave &slave = m_slaves.at(job.slave);
    for (int i = job.points.size() - 1; i >= 0; --i) {
        const ModbusPoint &point = slave.points.at(job.points.at(i));
        m_jobs.prepend(Job{job.slave, job.table, point.address, point.count, {job.points.at(i)}});
    }
    return true;
}

void ModbusReader::jobReplied(const Job &job, QModbusReply *reply)
{
    reply->deleteLater();
    const QString status = replyStatus(reply);
    if (!status.isEmpty()) {
        failJob(job, status);
        return;
    }
    const QVector<quint16> values = reply->result().values();
    const ModbusSlave &slave = m_slaves.at(job.slave);
    for (int index : job.points) {
        const ModbusPoint &point = slave.points.at(index);
        PointResult &result = m_results[job.slave][index];
        result.words = values.mid(point.address - job.start, point.count);
        if (result.words.size() < point.count) {
            result.status = QStringLiteral("protocol error");
            continue;
        }
        result.status.clear();
        result.value = slave.codec.decode(point, result.words);
    }
}

bool ModbusReader::write(const ModbusSlave &slave, int pointIndex, const QString &value, QString *error)
{
    if (m_busy) {
        *error = QStringLiteral("busy");
        return false;
    }
    const ModbusPoint point = slave.points.value(pointIndex);
    if (!slave.error.isEmpty() || !point.isWritable()) {
        *error = slave.error.isEmpty() ? QStringLiteral("read-only point") : slave.error;
        return false;
    }
    QVector<quint16> words;
    if (!slave.codec.encode(point, value, &words, error))
        return false;
    m_busy = true;
    const int station = slave.station;
    const QModbusDataUnit unit(registerType(point.table), point.address, words);
    whenConnected([this, unit, station](const QString &failure) {
        const auto done = [this](const QString &status) {
            m_busy = false;
            emit writeFinished(status);
        };
        if (!failure.isEmpty()) {
            done(failure);
            return;
        }
        QModbusReply *reply = m_client->sendWriteRequest(unit, station);
        if (!reply) {
            done(ConnectionError);
            return;
        }
        if (reply->isFinished()) {
            reply->deleteLater();
            done(replyStatus(reply));
            return;
        }
        connect(reply, &QModbusReply::finished, this, [reply, done] {
            reply->deleteLater();
            done(replyStatus(reply));
        });
    });
    return true;
}
