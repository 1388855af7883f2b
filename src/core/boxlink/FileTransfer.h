#pragma once

// Sends one file to a box on a connection of its own: 1024-byte data fragments, then the
// file's MD5 digest, then waits for the box's verdict. Asynchronous: start() returns at once
// and the transfer moves on from socket and timer signals, so the event loop keeps running and
// several transfers may run side by side. No widgets: progress, message-pane lines and warning
// boxes leave through signals, so the box dialog shows them and tests watch them.

#include "core/boxlink/TransferPayload.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpSocket;

class FileTransfer : public QObject
{
    Q_OBJECT
public:
    // Command byte of a transfer.
    enum Command : quint8 { ProjectDeployment = 3, ProgramUpdate = 4 };

    // How a transfer ended. The last five mean the box answered (or sent something).
    enum class Outcome {
        BindFailed,
        ConnectFailed,
        FileOpenFailed,
        ConnectionLost,
        ChecksumOpenFailed, // no longer happens (one reading); kept for the records that name it
        Stalled,   // the box took no byte for the stall period
        Cancelled, // cancel() or the owner ended it
        Timeout,
        VerdictLost, // the box closed the connection before it sent a verdict
        UnrecognisedReply,
        CommandTypeError,
        ReturnValueError,
        ChecksumFailed,
        ChecksumSuccessful,
    };
    Q_ENUM(Outcome)

    static constexpr int kDefaultVerdictTimeoutMs = 8000;
    static constexpr int kDefaultStallTimeoutMs = 30000;
    static constexpr int kConnectTimeoutMs = 30000;

    explicit FileTransfer(QObject *parent = nullptr);
    // A transfer still running is aborted without any signal.
    ~FileTransfer() override;

    void setHostAddress(const QString &host) { m_host = host; }
    // "0.0.0.0" (the default) means no binding.
    void setLocalAddress(const QString &address) { m_localAddress = address; }
    // Deployment sends a temporary file that must not outlive its digest: the payload's path
    // is removed once the digest frame is out.
    void setRemoveFileAfterDigest(bool remove) { m_removeAfterDigest = remove; }

    // Starts sending and returns at once; the end comes as finished(). Failures found at once
    // (binding) finish before start() returns. Refused (false) while a transfer runs.
    // The file is read once, when the box has been reached (see TransferPayload::readFile);
    // the fragments and the digest are made from those bytes.
    bool start(quint8 command, const QString &filePath);
    // Sends bytes already in hand, the same for several transfers if they share them.
    bool start(quint8 command, SharedPayload payload);
    // Ends a running transfer as Cancelled, with a message line; nothing is reported as done.
    void cancel();
    bool isRunning() const { return m_stage != Stage::Idle; }
    quint8 command() const { return m_command; }
    // MD5 of the file sent by the last transfer, once its digest frame went out (else empty).
    QByteArray digest() const { return m_sentDigest; }

    // start() and a local event loop until the transfer has finished, for callers that want
    // the outcome in hand (tests, a command-line program).
    Outcome send(quint8 command, const QString &filePath);
    Outcome send(quint8 command, SharedPayload payload);

    static bool boxAnswered(Outcome outcome) { return outcome >= Outcome::UnrecognisedReply; }
    // The verdict of a finished transfer in a few words, for lists of many boxes and records.
    static QString outcomeText(Outcome outcome);

    // Test seams: how long to wait for the verdict, and how long the socket may write nothing
    // while bytes are queued. A value <= 0 restores the default.
    static void setVerdictTimeoutForTesting(int ms);
    static int verdictTimeout();
    static void setStallTimeoutForTesting(int ms);
    static int stallTimeout();

signals:
    void progressChanged(int percent);
    // A line for the Message dock.
    void messageAppended(const QString &text);
    // A warning box for the caller to show.
    void warningRequested(const QString &title, const QString &text);
    void finished(FileTransfer::Outcome outcome);

private:
    enum class Stage { Idle, Connecting, Sending, AwaitingDigest, Flushing, AwaitingVerdict };
    struct Report {
        bool resetProgress = false;
        QString warningTitle;
        QString warningText;
        QString message;
    };

    void onConnected();
    void onBytesWritten();
    void onSocketError();
    void onStall();
    void fillSocket();
    void sendChecksumWhenReady();
    void onReadyRead();
    bool everythingAcknowledged() const;
    void awaitVerdict();
    void judgeVerdict();
    void finish(Outcome outcome, const Report &report);
    void dropSocket(bool graceful);
    Outcome runToEnd(const std::function<bool()> &begin);
    bool begin(quint8 command);

    QString m_host;
    QString m_localAddress = QStringLiteral("0.0.0.0");
    bool m_removeAfterDigest = false;

    Stage m_stage = Stage::Idle;
    quint8 m_command = 0;
    QString m_path;         // read on connecting when no payload was given
    SharedPayload m_payload;
    QTcpSocket *m_socket = nullptr;
    qint64 m_size = 0;
    qint64 m_sent = 0;
    quint32 m_number = 0;
    QByteArray m_sentDigest;
    int m_shownPercent = 0;
    QTimer m_connectTimer;
    QTimer m_stallTimer;
    QTimer m_verdictTimer;
    QTimer m_digestPoll;
    QTimer m_ackPoll;
};
