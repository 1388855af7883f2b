#include "core/modbus/ModbusBusScan.h"

#include "core/modbus/SerialLine.h"

#include <cmath>

namespace {

// The probe is 8 bytes; the longest reply it may get (one register) 7.
constexpr int kProbeBytes = 8;
constexpr int kReplyBytes = 7;
constexpr int kMaxWaitMs = 60000;

SerialLine::Settings lineSettings(const QString &device, const ModbusBusScan::LineSetting &setting)
{
    SerialLine::Settings settings;
    settings.device = device;
    settings.baudRate = setting.baudRate;
    settings.parity = setting.parity;
    settings.stopBits = setting.stopBits;
    return settings;
}

double wireMs(const ModbusBusScan::LineSetting &setting, int bytes)
{
    const int bits = 1 + 8 + (setting.parity == QLatin1String("NONE") ? 0 : 1) + setting.stopBits;
    return bytes * bits * 1000.0 / qMax(1, setting.baudRate);
}

// A whole frame with a sound CRC: it came from some device, even when not the one probed.
bool crcHolds(const QByteArray &frame)
{
    if (frame.size() < 4)
        return false;
    const int body = frame.size() - 2;
    const quint16 crc = quint16(quint8(frame.at(body)) | (quint8(frame.at(body + 1)) << 8));
    return crc == ModbusFrame::crc16(frame.constData(), body);
}

} // namespace

QString ModbusBusScan::LineSetting::describe() const
{
    return QStringLiteral("%1 8%2%3").arg(baudRate).arg(parity.isEmpty() ? QChar('N') : parity.at(0)).arg(stopBits);
}

QVector<ModbusBusScan::LineSetting> ModbusBusScan::sweepOrder(const QVector<int> &bauds, const QStringList &parities,
                                                              const QVector<int> &stopBits)
{
    QVector<LineSetting> all;
    for (int baud : bauds)
        for (const QString &parity : parities)
            for (int stop : stopBits) {
                const LineSetting setting{baud, parity.toUpper(), stop};
                if (!all.contains(setting))
                    all.append(setting);
            }
    static const QVector<LineSetting> common = {
        {9600, QStringLiteral("NONE"), 1},   {19200, QStringLiteral("EVEN"), 1}, {9600, QStringLiteral("EVEN"), 1},
        {115200, QStringLiteral("NONE"), 1}, {38400, QStringLiteral("NONE"), 1},
    };
    QVector<LineSetting> ordered;
    for (const LineSetting &setting : common)
        if (all.contains(setting))
            ordered.append(setting);
    for (const LineSetting &setting : all)
        if (!ordered.contains(setting))
            ordered.append(setting);
    return ordered;
}

QString ModbusBusScan::replyName(ReplyKind kind)
{
    switch (kind) {
    case ReplyKind::Registers: return QStringLiteral("registers");
    case ReplyKind::Exception: return QStringLiteral("exception");
    case ReplyKind::Garbled: return QStringLiteral("garbled");
    }
    return QString();
}

double ModbusBusScan::silentProbeMs(const LineSetting &setting, int waitMs)
{
    return wireMs(setting, kProbeBytes) + waitMs;
}

ModbusBusScan::ModbusBusScan(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<ModbusBusScan::Row>();
    qRegisterMetaType<ModbusBusScan::LineSetting>();
    qRegisterMetaType<ModbusBusScan::Outcome>();
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    m_frameEnd.setSingleShot(true);
    m_frameEnd.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (!m_buffer.isEmpty())
            judgeBuffer(true);
        if (m_listening)
            probeEnded(nullptr);
    });
    connect(&m_frameEnd, &QTimer::timeout, this, [this] {
        if (m_listening && !m_buffer.isEmpty())
            judgeBuffer(true);
    });
}

ModbusBusScan::~ModbusBusScan()
{
    // Nothing is reported from here: whoever listens may be half destroyed.
    m_running = false;
}

bool ModbusBusScan::start(const Options &options)
{
    if (m_running)
        return false;
    Options checked = options;
    if (checked.ids.isEmpty())
        for (int id = 1; id <= LastStandardId; ++id)
            checked.ids.append(id);
    for (int id : checked.ids)
        if (id < 1 || id > LastId)
            return false; // 0 is the broadcast id: nothing answers it
    if (checked.waitMs < 1 || checked.waitMs > kMaxWaitMs)
        return false;
    if (checked.function != ModbusFrame::ReadHoldingRegisters && checked.function != ModbusFrame::ReadInputRegisters)
        return false;
    if (checked.tcp ? (checked.host.isEmpty() || checked.port < 1 || checked.port > 65535)
                    : (checked.serialDevice.isEmpty() || checked.settings.isEmpty()))
        return false;
    for (const LineSetting &setting : checked.settings)
        if (setting.baudRate < 1 || (setting.stopBits != 1 && setting.stopBits != 2)
            || !QStringList{QStringLiteral("NONE"), QStringLiteral("EVEN"), QStringLiteral("ODD")}.contains(setting.parity))
            return false;

    m_options = checked;
    m_rows.clear();
    m_settingIndex = 0;
    m_idIndex = 0;
    m_done = 0;
    m_answered = 0;
    m_recover = false;
    m_bytesInWindow = false;
    m_everyIdAnswered = false;
    m_linkError.clear();
    m_outcome = Outcome::Completed;
    m_running = true;

    delete m_client;
    m_client = nullptr;
    if (m_options.tcp) {
        ModbusLinkSettings link;
        link.mode = ModbusLinkSettings::Mode::Tcp;
        link.host = m_options.host;
        link.port = m_options.port;
        link.requestTimeoutMs = m_options.waitMs;
        m_client = new ModbusClient(link, this);
        connect(m_client, &ModbusClient::bytesSent, this, [this](const QByteArray &bytes) {
            m_sentAt.start();
            emit bytesSent(bytes);
        });
        connect(m_client, &ModbusClient::bytesReceived, this, &ModbusBusScan::bytesReceived);
        connect(m_client, &ModbusClient::replied, this, [this](const ModbusClient::Result &result) {
            if (!m_running)
                return;
            emit probeDone(result);
            using S = ModbusClient::Result::Status;
            if (result.linkFailed) {
                m_linkError = result.reason;
                finish(Outcome::LinkFailed);
                return;
            }
            Row row;
            row.id = m_options.ids.at(m_idIndex);
            row.rttMs = m_sentAt.isValid() ? m_sentAt.nsecsElapsed() / 1e6 : 0;
            // 0x0A and 0x0B are the gateway saying that no device answered behind it.
            const bool found = result.status == S::Ok
                               || (result.status == S::Exception && result.exceptionCode != 0x0A
                                   && result.exceptionCode != 0x0B);
            row.reply = result.status == S::Ok ? ReplyKind::Registers : ReplyKind::Exception;
            row.exceptionCode = result.exceptionCode;
            probeEnded(found ? &row : nullptr);
        });
    } else if (!m_line) {
        m_line = new SerialLine(this);
        connect(m_line, &SerialLine::bytesReceived, this, &ModbusBusScan::rtuBytes);
        connect(m_line, &SerialLine::bytesSent, this, &ModbusBusScan::bytesSent);
        connect(m_line, &SerialLine::failed, this, [this](const QString &error) {
            m_linkError = error;
            finish(Outcome::LinkFailed);
        });
    }
    // From the event loop, so that no signal comes from inside start().
    QTimer::singleShot(0, this, [this] {
        if (m_running)
            startSetting();
    });
    return true;
}

void ModbusBusScan::cancel()
{
    finish(Outcome::Cancelled);
}

void ModbusBusScan::startSetting()
{
    m_idIndex = 0;
    if (m_options.tcp) {
        nextProbe();
        return;
    }
    const LineSetting &setting = m_options.settings.at(m_settingIndex);
    QString error;
    const SerialLine::Settings settings = lineSettings(m_options.serialDevice, setting);
    bool applied = false;
    if (!m_applier) {
        applied = m_line->reconfigure(settings, &error);
    } else {
        // Opened once at the plain default; the applier does the rest.
        if (!m_line->isOpen()) {
            m_line->setSettings(lineSettings(m_options.serialDevice, LineSetting{}));
            m_line->open(&error);
        }
        applied = m_line->isOpen() && m_applier(setting);
    }
    if (!applied) {
        // Open but refusing the setting: say which one.
        m_linkError = m_line->isOpen() ? QStringLiteral("%1 refused (%2)").arg(setting.describe(), error) : error;
        finish(Outcome::LinkFailed);
        return;
    }
    nextProbe();
}

void ModbusBusScan::nextProbe()
{
    if (!m_running)
        return;
    if (m_idIndex >= m_options.ids.size()) {
        ++m_settingIndex;
        if (m_options.tcp || m_settingIndex >= m_options.settings.size())
            finish(Outcome::Completed);
        else
            startSetting();
        return;
    }
    const int id = m_options.ids.at(m_idIndex);
    const int total = m_options.ids.size() * (m_options.tcp ? 1 : m_options.settings.size());
    emit progress(m_options.tcp ? LineSetting{0, QString(), 0} : m_options.settings.at(m_settingIndex), id, m_done,
                  total, msLeft());
    if (!m_running)
        return; // cancelled from the progress handler
    m_request = ModbusFrame::Request::read(quint8(id), m_options.function, m_options.probeAddress, 1);
    if (m_options.tcp) {
        m_sentAt.invalidate();
        m_client->send(m_request);
        return;
    }
    // A line that stayed silent through the whole last wait needs no further pause.
    if (!m_recover && !m_bytesInWindow) {
        m_line->flushStale();
        transmit();
        return;
    }
    const int quiet = m_recover ? m_options.waitMs : m_line->silenceMs();
    m_line->whenQuiet(quiet, 2 * m_options.waitMs + quiet, [this] { transmit(); });
}

void ModbusBusScan::transmit()
{
    if (!m_running)
        return;
    m_buffer.clear();
    m_bytesInWindow = false;
    m_extended = false;
    m_recover = false;
    m_requestBytes = ModbusFrame::rtuAdu(m_request);
    if (!m_line->write(m_requestBytes)) {
        m_linkError = QStringLiteral("the serial line refused the probe");
        finish(Outcome::LinkFailed);
        return;
    }
    m_sentAt.start();
    m_listening = true;
    // Counted from the end of the probe's transmission (a pseudo-terminal takes it at once).
    m_deadline.start(int(std::ceil(silentProbeMs(m_options.settings.at(m_settingIndex), m_options.waitMs))));
}

void ModbusBusScan::rtuBytes(const QByteArray &bytes)
{
    if (!m_running || m_settingIndex >= m_options.settings.size())
        return;
    const LineSetting &setting = m_options.settings.at(m_settingIndex);
    const QByteArray heard = m_filter ? m_filter(setting, bytes) : bytes;
    if (!heard.isEmpty())
        emit bytesReceived(heard);
    if (!m_listening)
        return; // stale: the silence wait before the next probe drops it
    m_bytesInWindow = true;
    if (heard.isEmpty())
        return;
    // A reply that began in time gets its own wire time to arrive whole.
    if (!m_extended) {
        m_extended = true;
        const int need = int(std::ceil(wireMs(setting, kReplyBytes))) + m_line->silenceMs();
        if (m_deadline.remainingTime() < need)
            m_deadline.start(need);
    }
    m_buffer += heard;
    m_frameEnd.start(m_line->silenceMs());
    judgeBuffer(false);
}

// whole: the line fell silent or the wait ended, so what has come is all there is.
void ModbusBusScan::judgeBuffer(bool whole)
{
    // An adapter that echoes what it sends: the probe itself is no answer.
    if (m_buffer.startsWith(m_requestBytes))
        m_buffer.remove(0, m_requestBytes.size());
    else if (!whole && m_requestBytes.startsWith(m_buffer))
        return;
    if (m_buffer.isEmpty())
        return;
    const int size = ModbusFrame::rtuReplySize(m_request, m_buffer);
    if (m_buffer.size() < size && !whole)
        return;
    const QByteArray frame = m_buffer.left(size);
    if (m_buffer.size() > size)
        m_recover = true;
    m_buffer.clear();
    const ModbusFrame::Reply reply = ModbusFrame::parseRtu(m_request, frame);
    Row row;
    row.id = m_request.unit;
    row.setting = m_options.settings.at(m_settingIndex);
    row.rttMs = m_sentAt.nsecsElapsed() / 1e6;
    row.exceptionCode = reply.exceptionCode;
    switch (reply.status) {
    case ModbusFrame::Reply::Status::Ok: row.reply = ReplyKind::Registers; break;
    case ModbusFrame::Reply::Status::Exception: row.reply = ReplyKind::Exception; break;
    case ModbusFrame::Reply::Status::CrcError:
    case ModbusFrame::Reply::Status::WrongReply:
        m_recover = true;
        // A sound frame of another station or function (a late reply to an earlier probe):
        // not this id's answer; keep listening for it until the wait ends.
        if (crcHolds(frame))
            return;
        row.reply = ReplyKind::Garbled;
        break;
    }
    probeEnded(&row);
}

void ModbusBusScan::probeEnded(const Row *row)
{
    if (!m_options.tcp && m_listening)
        emit probeDone(probeResult(row));
    m_listening = false;
    m_deadline.stop();
    m_frameEnd.stop();
    m_buffer.clear();
    ++m_done;
    ++m_idIndex;
    if (row) {
        ++m_answered;
        m_rows.append(*row);
        emit rowFound(*row);
        if (m_running && m_options.stopAtFirst)
            finish(Outcome::StoppedAtFirst);
    }
    nextProbe();
}

void ModbusBusScan::finish(Outcome outcome)
{
    if (!m_running)
        return;
    m_running = false;
    if (m_options.tcp ? m_client && m_client->isWaiting() : m_listening) {
        // The probe on the wire ends here for whoever logs it.
        ModbusClient::Result result = probeResult(nullptr);
        result.reason = QStringLiteral("scan ended");
        emit probeDone(result);
    }
    m_listening = false;
    m_deadline.stop();
    m_frameEnd.stop();
    if (m_line) {
        m_line->cancelWait();
        m_line->close();
    }
    if (m_client)
        m_client->close();
    m_outcome = outcome;
    m_everyIdAnswered = outcome == Outcome::Completed && m_done > 1 && m_answered == m_done;
    emit finished(outcome);
}

ModbusClient::Result ModbusBusScan::probeResult(const Row *row)
{
    using S = ModbusClient::Result::Status;
    ModbusClient::Result result;
    result.status = S::Timeout;
    if (row) {
        result.exceptionCode = row->exceptionCode;
        switch (row->reply) {
        case ReplyKind::Registers: result.status = S::Ok; break;
        case ReplyKind::Exception: result.status = S::Exception; break;
        case ReplyKind::Garbled: result.status = S::CrcError; break;
        }
    }
    return result;
}

qint64 ModbusBusScan::msLeft() const
{
    const int idsLeft = m_options.ids.size() - m_idIndex;
    if (m_options.tcp)
        return qint64(idsLeft) * m_options.waitMs;
    double ms = 0;
    for (int i = m_settingIndex; i < m_options.settings.size(); ++i)
        ms += (i == m_settingIndex ? idsLeft : m_options.ids.size()) * silentProbeMs(m_options.settings.at(i), m_options.waitMs);
    return qint64(std::ceil(ms));
}

QString ModbusBusScan::statusText() const
{
    switch (m_outcome) {
    case Outcome::Cancelled:
        return tr("The scan was cancelled.");
    case Outcome::LinkFailed:
        return tr("%1 could not be used: %2")
            .arg(m_options.tcp ? QStringLiteral("%1:%2").arg(m_options.host).arg(m_options.port) : m_options.serialDevice,
                 m_linkError);
    case Outcome::Completed:
    case Outcome::StoppedAtFirst:
        break;
    }
    if (m_everyIdAnswered)
        return tr("Every id answered: something (a gateway) answers for any id, so the ids found do not show "
                  "which devices are there.");
    if (m_rows.isEmpty())
        return tr("No device answered.");
    return tr("Devices that answered: %1.").arg(m_rows.size());
}
