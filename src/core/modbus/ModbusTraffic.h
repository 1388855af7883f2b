#pragma once

// What went over the wire between the tool and Modbus devices, for a traffic view: the frames
// sent and received with time stamps, the round trip of each reply and what was wrong with it,
// and counters per device (unit id). Attached to a ModbusClient it sees every byte the client
// sends or receives and how each request ended. The log keeps the newest frames only, so a
// session that runs for hours keeps a bounded memory.

#include "core/modbus/ModbusClient.h"

class ModbusBusScan;

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>

class ModbusTraffic : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultCapacity = 10000;
    // Bytes that come while no request waits are logged as one frame once the line has been
    // quiet this long.
    static constexpr int StrayQuietMs = 20;

    enum class Direction { Sent, Received, None }; // None: no bytes (a time-out, a link failure)
    enum class Mark { None, Timeout, CrcError, Exception, WrongReply, ConnectionError, Unexpected };

    struct Entry {
        quint64 sequence = 0;       // counts every frame ever logged, dropped ones included
        qint64 timeMs = 0;          // ms since the epoch
        Direction direction = Direction::Sent;
        QByteArray bytes;
        int unit = -1;              // unit id of the request, -1 when unknown
        double roundTripMs = -1;    // replies: from the request's last byte to the reply
        Mark mark = Mark::None;
        int exceptionCode = 0;
        QString reason;             // why a reply was refused or the link failed
    };

    struct Counters {
        int requests = 0;
        int goodReplies = 0;
        int timeouts = 0;
        int exceptions = 0;
        int crcErrors = 0;          // CRC or framing errors
        int wrongReplies = 0;
        int connectionErrors = 0;
        // Over the replies that answered (good ones and exceptions).
        int timedReplies = 0;
        double minRoundTripMs = 0;
        double maxRoundTripMs = 0;
        double totalRoundTripMs = 0;
        double meanRoundTripMs() const { return timedReplies ? totalRoundTripMs / timedReplies : 0; }
        void add(const Counters &other);
    };

    explicit ModbusTraffic(QObject *parent = nullptr, int capacity = DefaultCapacity);

    // Watches one client at a time; a new attach() ends the last. The client may go first.
    void attach(const ModbusClient *client);
    // The probes of a bus scan, RTU or TCP as each scan goes.
    void attach(const ModbusBusScan *scan);
    void detach();
    // How to find the unit id in a sent frame (attach() sets it from the client).
    void setRtu(bool rtu) { m_rtu = rtu; }

    // What an attached client reports; callable directly for other transports.
    void recordSent(const QByteArray &bytes);
    void recordReceived(const QByteArray &bytes);
    void recordResult(const ModbusClient::Result &result);

    int capacity() const { return m_capacity; }
    int size() const { return int(m_entries.size()); }
    const Entry &at(int index) const { return m_entries.at(size_t(index)); }
    // The sequence number the next frame gets.
    quint64 nextSequence() const { return m_nextSequence; }
    // The frames kept whose sequence is at least `sequence`, oldest first.
    QVector<Entry> entriesFrom(quint64 sequence) const;

    // Per unit id; link failures before anything was sent count in total() only.
    const QMap<int, Counters> &counters() const { return m_counters; }
    Counters total() const;
    // Starts the counters afresh; the log stays.
    void reset();

    static QString directionText(Direction direction); // "TX", "RX", "--"
    static QString markText(const Entry &entry);      // untranslated, for files and logs
    // One line per frame: time, direction, hex bytes, marks (tab separated).
    static QString line(const Entry &entry);
    QString text() const;
    // Writes text() whole or not at all.
    bool saveText(const QString &path, QString *error) const;

signals:
    // Something was logged or counted; listeners coalesce (it may come a thousand times a second).
    void changed();

private:
    void append(Entry entry);
    void flushStray();
    int unitOf(const QByteArray &frame) const;

    int m_capacity;
    std::deque<Entry> m_entries;
    quint64 m_nextSequence = 0;
    QMap<int, Counters> m_counters;
    int m_linkFailures = 0; // before a request reached the wire

    QPointer<const ModbusClient> m_client;
    QVector<QMetaObject::Connection> m_connections;
    bool m_rtu = false;
    bool m_awaiting = false;   // a request is on the wire and its end not yet reported
    int m_unit = -1;
    QElapsedTimer m_sentClock;
    QByteArray m_received;
    qint64 m_receivedAtMs = 0;
    QTimer m_strayTimer;
};
