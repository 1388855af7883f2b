#include "core/modbus/ModbusTraffic.h"

#include "core/modbus/ModbusBusScan.h"

#include <QDateTime>
#include <QSaveFile>

void ModbusTraffic::Counters::add(const Counters &other)
{
    if (other.timedReplies) {
        minRoundTripMs = timedReplies ? qMin(minRoundTripMs, other.minRoundTripMs) : other.minRoundTripMs;
        maxRoundTripMs = timedReplies ? qMax(maxRoundTripMs, other.maxRoundTripMs) : other.maxRoundTripMs;
    }
    requests += other.requests;
    goodReplies += other.goodReplies;
    timeouts += other.timeouts;
    exceptions += other.exceptions;
    crcErrors += other.crcErrors;
    wrongReplies += other.wrongReplies;
    connectionErrors += other.connectionErrors;
    timedReplies += other.timedReplies;
    totalRoundTripMs += other.totalRoundTripMs;
}

ModbusTraffic::ModbusTraffic(QObject *parent, int capacity)
    : QObject(parent), m_capacity(qMax(1, capacity))
{
    m_strayTimer.setSingleShot(true);
    connect(&m_strayTimer, &QTimer::timeout, this, &ModbusTraffic::flushStray);
}

void ModbusTraffic::attach(const ModbusClient *client)
{
    detach();
    if (!client)
        return;
    m_client = client;
    m_rtu = client->serialLine() != nullptr;
    m_connections = {
        connect(client, &ModbusClient::bytesSent, this, &ModbusTraffic::recordSent),
        connect(client, &ModbusClient::bytesReceived, this, &ModbusTraffic::recordReceived),
        connect(client, &ModbusClient::replied, this, &ModbusTraffic::recordResult),
    };
}

void ModbusTraffic::attach(const ModbusBusScan *scan)
{
    detach();
    if (!scan)
        return;
    m_connections = {
        connect(scan, &ModbusBusScan::bytesSent, this,
                [this, scan](const QByteArray &bytes) {
                    m_rtu = !scan->isTcp();
                    recordSent(bytes);
                }),
        connect(scan, &ModbusBusScan::bytesReceived, this, &ModbusTraffic::recordReceived),
        connect(scan, &ModbusBusScan::probeDone, this, &ModbusTraffic::recordResult),
    };
}

void ModbusTraffic::detach()
{
    for (const QMetaObject::Connection &connection : qAsConst(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_client = nullptr;
    // A request of the old client never ends here: whatever came of it is logged as is.
    flushStray();
    if (m_awaiting && !m_received.isEmpty()) {
        Entry entry;
        entry.timeMs = m_receivedAtMs;
        entry.direction = Direction::Received;
        entry.bytes = m_received;
        entry.unit = m_unit;
        append(entry);
    }
    m_received.clear();
    m_awaiting = false;
}

int ModbusTraffic::unitOf(const QByteArray &frame) const
{
    const int index = m_rtu ? 0 : ModbusFrame::MbapHeader - 1;
    return frame.size() > index ? quint8(frame.at(index)) : -1;
}

void ModbusTraffic::recordSent(const QByteArray &bytes)
{
    m_strayTimer.stop();
    flushStray();
    Entry entry;
    entry.timeMs = QDateTime::currentMSecsSinceEpoch();
    entry.direction = Direction::Sent;
    entry.bytes = bytes;
    entry.unit = unitOf(bytes);
    m_unit = entry.unit;
    m_awaiting = true;
    m_received.clear();
    m_sentClock.start();
    ++m_counters[m_unit].requests;
    append(entry);
}

void ModbusTraffic::recordReceived(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_received.isEmpty())
        m_receivedAtMs = QDateTime::currentMSecsSinceEpoch();
    m_received += bytes;
    if (!m_awaiting)
        m_strayTimer.start(StrayQuietMs);
}

// Bytes nobody waited for: a late reply, a duplicate, noise on the line.
void ModbusTraffic::flushStray()
{
    if (m_awaiting || m_received.isEmpty())
        return;
    Entry entry;
    entry.timeMs = m_receivedAtMs;
    entry.direction = Direction::Received;
    entry.bytes = m_received;
    entry.mark = Mark::Unexpected;
    m_received.clear();
    append(entry);
}

void ModbusTraffic::recordResult(const ModbusClient::Result &result)
{
    using S = ModbusClient::Result::Status;
    if (!m_awaiting) {
        m_strayTimer.stop();
        flushStray(); // not part of what ends here
    }
    Entry entry;
    entry.timeMs = m_received.isEmpty() ? QDateTime::currentMSecsSinceEpoch() : m_receivedAtMs;
    entry.bytes = m_received;
    entry.direction = m_received.isEmpty() ? Direction::None : Direction::Received;
    entry.reason = result.reason;
    m_received.clear();
    if (!m_awaiting) {
        // Nothing reached the wire: the link could not be opened.
        entry.mark = Mark::ConnectionError;
        ++m_linkFailures;
        append(entry);
        return;
    }
    m_awaiting = false;
    entry.unit = m_unit;
    Counters &counters = m_counters[m_unit];
    switch (result.status) {
    case S::Ok: ++counters.goodReplies; break;
    case S::Exception:
        ++counters.exceptions;
        entry.mark = Mark::Exception;
        entry.exceptionCode = result.exceptionCode;
        break;
    case S::WrongReply: ++counters.wrongReplies; entry.mark = Mark::WrongReply; break;
    case S::CrcError: ++counters.crcErrors; entry.mark = Mark::CrcError; break;
    case S::Timeout: ++counters.timeouts; entry.mark = Mark::Timeout; break;
    case S::ConnectionError: ++counters.connectionErrors; entry.mark = Mark::ConnectionError; break;
    }
    if (result.status != S::Timeout && result.status != S::ConnectionError)
        entry.roundTripMs = double(m_sentClock.nsecsElapsed()) / 1e6;
    if (result.status == S::Ok || result.status == S::Exception) {
        const double ms = entry.roundTripMs;
        counters.minRoundTripMs = counters.timedReplies ? qMin(counters.minRoundTripMs, ms) : ms;
        counters.maxRoundTripMs = counters.timedReplies ? qMax(counters.maxRoundTripMs, ms) : ms;
        counters.totalRoundTripMs += ms;
        ++counters.timedReplies;
    }
    append(entry);
}

void ModbusTraffic::append(Entry entry)
{
    entry.sequence = m_nextSequence++;
    m_entries.push_back(std::move(entry));
    while (int(m_entries.size()) > m_capacity)
        m_entries.pop_front();
    emit changed();
}

QVector<ModbusTraffic::Entry> ModbusTraffic::entriesFrom(quint64 sequence) const
{
    QVector<Entry> entries;
    if (m_entries.empty() || sequence >= m_nextSequence)
        return entries;
    const quint64 first = m_entries.front().sequence;
    auto it = m_entries.begin() + std::ptrdiff_t(sequence > first ? sequence - first : 0);
    entries.reserve(int(m_entries.end() - it));
    for (; it != m_entries.end(); ++it)
        entries.append(*it);
    return entries;
}

ModbusTraffic::Counters ModbusTraffic::total() const
{
    Counters sum;
    for (const Counters &counters : m_counters)
        sum.add(counters);
    sum.connectionErrors += m_linkFailures;
    return sum;
}

void ModbusTraffic::reset()
{
    m_counters.clear();
    m_linkFailures = 0;
    // The request on the wire now ends later: count it, so replies never outnumber requests.
    if (m_awaiting)
        m_counters[m_unit].requests = 1;
    emit changed();
}

QString ModbusTraffic::directionText(Direction direction)
{
    switch (direction) {
    case Direction::Sent: return QStringLiteral("TX");
    case Direction::Received: return QStringLiteral("RX");
    case Direction::None: break;
    }
    return QStringLiteral("--");
}

QString ModbusTraffic::markText(const Entry &entry)
{
    QStringList marks;
    if (entry.unit >= 0)
        marks.append(QStringLiteral("unit %1").arg(entry.unit));
    if (entry.roundTripMs >= 0)
        marks.append(QStringLiteral("rtt %1 ms").arg(entry.roundTripMs, 0, 'f', 1));
    switch (entry.mark) {
    case Mark::None: break;
    case Mark::Timeout: marks.append(QStringLiteral("timeout")); break;
    case Mark::CrcError: marks.append(QStringLiteral("CRC error")); break;
    case Mark::Exception: marks.append(QStringLiteral("exception %1").arg(entry.exceptionCode)); break;
    case Mark::WrongReply: marks.append(QStringLiteral("wrong reply")); break;
    case Mark::ConnectionError: marks.append(QStringLiteral("connection error")); break;
    case Mark::Unexpected: marks.append(QStringLiteral("not awaited")); break;
    }
    if (entry.mark != Mark::None && entry.mark != Mark::Exception && !entry.reason.isEmpty())
        marks.append(entry.reason);
    return marks.join(QStringLiteral("; "));
}

QString ModbusTraffic::line(const Entry &entry)
{
    return QDateTime::fromMSecsSinceEpoch(entry.timeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
           + QLatin1Char('\t') + directionText(entry.direction) + QLatin1Char('\t')
           + QString::fromLatin1(entry.bytes.toHex(' ').toUpper()) + QLatin1Char('\t') + markText(entry);
}

QString ModbusTraffic::text() const
{
    QString all;
    for (const Entry &entry : m_entries)
        all += line(entry) + QLatin1Char('\n');
    return all;
}

bool ModbusTraffic::saveText(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = text().toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
