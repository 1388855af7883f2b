#pragma once

// Sends one file to a box on a connection of its own: 1024-byte data fragments, then the
// file's MD5 digest, then waits for the box's verdict. No widgets: progress, message-pane
// lines and warning boxes leave through signals, so the box dialog shows them and tests
// watch them.

#include <QByteArray>
#include <QObject>
#include <QString>

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
        ChecksumOpenFailed,
        Timeout,
        UnrecognisedReply,
        CommandTypeError,
        ReturnValueError,
        ChecksumFailed,
        ChecksumSuccessful,
    };

    static constexpr int kDefaultVerdictTimeoutMs = 8000;

    explicit FileTransfer(QObject *parent = nullptr);
    ~FileTransfer() override;

    void setHostAddress(const QString &host) { m_host = host; }
    // "0.0.0.0" (the default) means no binding.
    void setLocalAddress(const QString &address) { m_localAddress = address; }
    // Deployment sends a temporary file that must not outlive its digest.
    void setRemoveFileAfterDigest(bool remove) { m_removeAfterDigest = remove; }

    // Runs the whole transfer synchronously on the calling thread (only the digest is taken
    // on a worker thread meanwhile); the verdict wait spins a nested event loop that leaves
    // user input alone.
    Outcome send(quint8 command, const QString &filePath);

    static bool boxAnswered(Outcome outcome) { return outcome >= Outcome::UnrecognisedReply; }

    // Test seam: how long to wait for the verdict. A value <= 0 restores the default.
    static void setVerdictTimeoutForTesting(int ms);
    static int verdictTimeout();

signals:
    void progressChanged(int percent);
    // A line for the Message dock.
    void messageAppended(const QString &text);
    // A modal warning box the caller shows before the transfer goes on.
    void warningRequested(const QString &title, const QString &text);

private:
    void closeSocket();

    QString m_host;
    QString m_localAddress = QStringLiteral("0.0.0.0");
    bool m_removeAfterDigest = false;
    QTcpSocket *m_socket = nullptr;
};
