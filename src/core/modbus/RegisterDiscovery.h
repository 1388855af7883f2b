#pragma once

// Finds which registers (or bits) of one table of one slave can be read, for a device that
// comes without a register map. Reads blocks of the largest size a request allows; a refused
// block has its first and last register probed and is split in halves only when one of them
// answers or the block touches a readable register already found, otherwise it is judged
// unreadable whole. Readable ranges are so found with a few hundred requests over 10,000
// registers instead of one request per register. The price: a readable register alone inside
// a refused block, away from its edges, is not seen; the result says where that can be.
//
// Runs over a ModbusClient the caller owns (TCP or RTU), one request at a time, so the
// caller's traffic view sees every frame. A timeout or a reply that does not answer the
// request counts as a refusal of that block and is counted; a device that stops answering ends
// the run after a few timeouts in a row instead of timing out on every block. A TCP gateway's
// exceptions 0x0A and 0x0B (no path, no answer from the device) count as timeouts.

#include "core/modbus/ModbusClient.h"
#include "core/modbus/ModbusPoint.h"
#include "core/modbus/ModbusValueCodec.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVector>

#include <deque>

class RegisterDiscovery : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxRegisters = 125;
    static constexpr int MaxBits = 2000;
    static constexpr int DefaultLast = 9999;
    static constexpr int DefaultTimeoutsInARow = 5;

    struct Range {
        int from = 0;
        int to = 0; // inclusive
        bool operator==(const Range &other) const { return from == other.from && to == other.to; }
    };

    struct Result {
        enum class End { Completed, Cancelled, NoAnswer, LinkFailed };
        End end = End::Completed;
        quint8 unit = 1;
        ModbusPoint::Table table = ModbusPoint::Table::HoldingRegisters;
        int from = 0;
        int to = DefaultLast;
        QVector<Range> readable;     // merged, in address order
        QMap<int, quint16> values;   // every readable register (a bit reads 0 or 1)
        // Inner registers of refused blocks judged unreadable without being asked one by one:
        // a readable register there is missed.
        QVector<Range> unprobed;
        int requests = 0;
        int exceptions = 0;
        int timeouts = 0;            // no reply, or a dropped connection
        int wrongReplies = 0;        // a reply that does not answer its request, or a bad CRC
        int stoppedAt = -1;          // NoAnswer, LinkFailed: the first register of the last request
        int timeoutsInARow = 0;      // NoAnswer: the silent requests that ended the run
        QString linkReason;          // LinkFailed: what the client said, for logs

        bool completed() const { return end == End::Completed; }
    };

    // A register's value read as one type in one word/byte order.
    struct Interpretation {
        ModbusPoint::Type type;
        ModbusValueCodec::ByteOrder order;
        QString value;
    };

    explicit RegisterDiscovery(ModbusClient *client, QObject *parent = nullptr);
    ~RegisterDiscovery() override;

    // Starts a run over the addresses from..to (0..65535) of one table. False, and nothing
    // starts, while a run goes on, for a range that is empty or outside the protocol's, or when
    // the client is busy with another request.
    bool start(quint8 unit, ModbusPoint::Table table, int from = 0, int to = DefaultLast);
    // Ends the run at once: finished() comes (Cancelled) before this returns, and a request on
    // its way is abandoned by closing the link (the next request reconnects).
    void cancel();
    bool isRunning() const { return m_running; }

    // Timeouts in a row that end the run as NoAnswer (at least 1).
    void setTimeoutsInARow(int count) { m_timeoutsInARow = qMax(1, count); }

    // uint16 and int16 of words[0] as it is read; with a second word (the next register), also
    // uint32, int32 and float in each of the four word/byte orders.
    static QVector<Interpretation> interpretations(const QVector<quint16> &words);

    // "holding", "input", "coils", "discrete": the names a command line uses.
    static QString tableName(ModbusPoint::Table table);
    static bool tableFromName(const QString &name, ModbusPoint::Table *table);

    // One JSON object per readable range, {"table": "holding", "from": 0, "to": 99}, then
    // {"requests": 270}; a run that did not complete adds why to that last line
    // ("stopped": "cancelled" | "no answer" | "link failed").
    static QStringList rangesAsJsonLines(const Result &result);

    // For the user, in the interface's language: how the run ended (empty when it completed),
    // and the warning about registers that can have been missed (empty when none can).
    static QString endText(const Result &result);
    static QString missedNotice(const Result &result);

signals:
    // Registers judged so far (readable or not) of the range's total.
    void progress(int judged, int total);
    void finished(const RegisterDiscovery::Result &result);

private:
    enum class Step { Whole, First, Last };
    struct Block {
        int from;
        int to;
        Step step;
        int askFrom; // the block less its edges already refused
        int askTo;
    };
    enum State : quint8 { Unknown, Readable, Unreadable };

    void next();
    void ask(int address, int count);
    void replied(const ModbusClient::Result &reply);
    void judge(int address, State state, quint16 value = 0);
    State state(int address) const { return State(m_state.at(address - m_result.from)); }
    bool known(int address) const { return state(address) != Unknown; }
    bool touchesReadable(const Block &block) const;
    void refuseWhole(const Block &block);
    void end(Result::End how);

    ModbusClient *m_client;
    Result m_result;
    QVector<quint8> m_state;     // per address of the range
    QVector<quint16> m_values;
    std::deque<Block> m_blocks;  // in address order; the front one is being worked on
    bool m_running = false;
    int m_run = 0;               // counts start()s
    bool m_asked = false;        // a request of ours is with the client
    int m_judged = 0;
    int m_told = 0;              // judged as progress() last said
    int m_timeoutsInARow = DefaultTimeoutsInARow;
    int m_timeoutsNow = 0;
    int m_askedAddress = 0;
};

Q_DECLARE_METATYPE(RegisterDiscovery::Result)
