#pragma once

// Finds which slave ids answer on a Modbus line: one probe per id (a read of one register),
// over a serial device at each of the line settings asked for, or over TCP at one address.
// A reply counts only when it passes ModbusFrame's checks against the probe (an exception
// reply included); a reply whose CRC fails shows that something answered at the wrong speed
// or over bad wiring ("garbled"). Before each probe the line must have fallen silent, so a late
// reply is dropped or refused (wrong station), never credited to the next id.
//
// Events for a dialog: progress() before each probe, rowFound() per answering id, finished()
// once. cancel() ends the scan at once.

#include "core/modbus/ModbusClient.h"
#include "core/modbus/ModbusFrame.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

#include <functional>

class SerialLine;

class ModbusBusScan : public QObject
{
    Q_OBJECT
public:
    struct LineSetting {
        int baudRate = 9600;
        QString parity = QStringLiteral("NONE"); // "NONE", "EVEN" or "ODD", as a device stores it
        int stopBits = 1;
        bool operator==(const LineSetting &other) const
        {
            return baudRate == other.baudRate && parity == other.parity && stopBits == other.stopBits;
        }
        QString describe() const; // "9600 8N1"
    };

    enum class ReplyKind { Registers, Exception, Garbled };
    struct Row {
        int id = 0;
        LineSetting setting; // RTU only
        ReplyKind reply = ReplyKind::Registers;
        int exceptionCode = 0;
        double rttMs = 0;
    };

    enum class Outcome { Completed, StoppedAtFirst, Cancelled, LinkFailed };

    struct Options {
        bool tcp = false;
        QString serialDevice;             // RTU
        QVector<LineSetting> settings;    // RTU, in the order tried (see sweepOrder)
        QString host;                     // TCP
        int port = 502;
        QVector<int> ids;                 // 1..255; empty: 1..247
        int waitMs = DefaultWaitMs;
        quint8 function = ModbusFrame::ReadHoldingRegisters; // 3 or 4
        quint16 probeAddress = 0;
        bool stopAtFirst = false;
    };

    static constexpr int DefaultWaitMs = 50;
    static constexpr int LastStandardId = 247;
    static constexpr int LastId = 255;

    // Every combination of the ticked values, the ones most often met on site first (9600 8N1,
    // 19200 8E1, 9600 8E1, 115200 8N1, 38400 8N1), then the rest in the order given.
    static QVector<LineSetting> sweepOrder(const QVector<int> &bauds, const QStringList &parities,
                                           const QVector<int> &stopBits);
    static QString replyName(ReplyKind kind); // "registers", "exception", "garbled"

    // What reaches the scan of the bytes received under a setting. A pseudo-terminal carries
    // no speed or parity, so tests decide here which setting "hears" the slaves.
    using ReceiveFilter = std::function<QByteArray(const LineSetting &setting, const QByteArray &bytes)>;
    void setReceiveFilter(ReceiveFilter filter) { m_filter = std::move(filter); }
    // Puts a setting on the line in place of the serial port's own framing, which a
    // pseudo-terminal refuses (it takes no parity); false stops the scan as a failed link.
    using SettingApplier = std::function<bool(const LineSetting &setting)>;
    void setSettingApplier(SettingApplier applier) { m_applier = std::move(applier); }

    explicit ModbusBusScan(QObject *parent = nullptr);
    ~ModbusBusScan() override;

    // False (nothing starts) while a scan runs or when the options cannot make a scan.
    bool start(const Options &options);
    void cancel();
    bool isRunning() const { return m_running; }

    bool isTcp() const { return m_options.tcp; }
    const QVector<Row> &rows() const { return m_rows; }
    Outcome outcome() const { return m_outcome; }
    // Every probe of a whole scan was answered: a gateway that answers for any id.
    bool everyIdAnswered() const { return m_everyIdAnswered; }
    QString linkError() const { return m_linkError; }
    // One sentence for the user on how the scan ended.
    QString statusText() const;

    // The serial line of an RTU scan (every byte on the wire), null for TCP.
    SerialLine *serialLine() const { return m_line; }
    // Time a probe occupies at a setting when nothing answers: request on the wire plus wait.
    static double silentProbeMs(const LineSetting &setting, int waitMs);

signals:
    void progress(const ModbusBusScan::LineSetting &setting, int id, int done, int total, qint64 msLeft);
    void rowFound(const ModbusBusScan::Row &row);
    void finished(ModbusBusScan::Outcome outcome);
    // The probes' frames for a traffic log: bytes as the scan heard them (after the receive
    // filter), and how each probe ended in the terms of a client's request.
    void bytesSent(const QByteArray &bytes);
    void bytesReceived(const QByteArray &bytes);
    void probeDone(const ModbusClient::Result &result);

private:
    void startSetting();
    void nextProbe();
    void transmit();
    void rtuBytes(const QByteArray &bytes);
    void judgeBuffer(bool whole);
    void probeEnded(const Row *row);
    void tcpReplied(int status, int exceptionCode);
    void finish(Outcome outcome);
    static ModbusClient::Result probeResult(const Row *row);
    qint64 msLeft() const;

    Options m_options;
    ReceiveFilter m_filter;
    SettingApplier m_applier;
    SerialLine *m_line = nullptr;
    ModbusClient *m_client = nullptr;
    QTimer m_deadline;
    QTimer m_frameEnd;
    QElapsedTimer m_sentAt;
    ModbusFrame::Request m_request;
    QByteArray m_requestBytes;
    QByteArray m_buffer;
    QVector<Row> m_rows;
    int m_settingIndex = 0;
    int m_idIndex = 0;
    int m_done = 0;
    int m_answered = 0;
    bool m_running = false;
    bool m_listening = false;
    bool m_bytesInWindow = false; // the line carried bytes since the probe went out
    bool m_extended = false;
    bool m_recover = false;       // stray bytes came: wait a whole wait of silence first
    bool m_everyIdAnswered = false;
    Outcome m_outcome = Outcome::Completed;
    QString m_linkError;
};

Q_DECLARE_METATYPE(ModbusBusScan::Row)
Q_DECLARE_METATYPE(ModbusBusScan::LineSetting)
Q_DECLARE_METATYPE(ModbusBusScan::Outcome)
