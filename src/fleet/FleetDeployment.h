#pragma once

// Sends a project document and/or a program image to many boxes, at most N transfers at once.
// Each box gets exactly what a single deployment sends (the file's bytes as they are); with both
// files a box gets the program only after its project checked out. Each box's whole run,
// verdicts included, is bounded by a time limit. Every transfer is recorded in the
// DeploymentLog. No widgets: the fleet window and the command-line program watch the signals.

#include "boxlink/FileTransfer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTimer;

class FleetDeployment : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Waiting, Running, Succeeded, Failed };
    Q_ENUM(State)

    struct BoxResult
    {
        State state = State::Idle;
        FileTransfer::Outcome outcome = FileTransfer::Outcome::Cancelled;
        quint8 command = 0;    // the transfer that decided the result (0: none started)
        QString reason;        // the verdict in words
        int percent = 0;       // progress of the running transfer
        qint64 elapsedMs = 0;  // the box's whole run
    };

    static constexpr int kDefaultParallel = 8;
    static constexpr int kDefaultTimeoutMs = 60000;

    explicit FleetDeployment(QObject *parent = nullptr);
    ~FleetDeployment() override;

    void setBoxes(const QStringList &addresses);
    QStringList boxes() const { return m_addresses; }
    // Either may be empty, not both. The project name goes into the records.
    void setProjectFile(const QString &path, const QString &projectName);
    void setProgramFile(const QString &path) { m_programPath = path; }
    void setLocalAddress(const QString &address) { m_localAddress = address; }
    void setParallel(int n) { m_parallel = qMax(1, n); }
    int parallel() const { return m_parallel; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs; }
    // Where the records go (empty: the user's data directory); `enabled` false keeps none.
    void setRecordRoot(const QString &root, bool enabled = true);

    // Queues every box (start) or the given ones (startBoxes, retry of failed rows) and runs them.
    void start();
    void startBoxes(const QList<int> &indexes);
    // Ends every running transfer at once and drops the waiting ones, as Failed/Cancelled.
    void cancel();

    bool isRunning() const;
    int count() const { return m_addresses.size(); }
    BoxResult result(int index) const;
    int succeededCount() const;

signals:
    void boxChanged(int index);
    // Nothing runs or waits any more.
    void finished();

private:
    struct Box
    {
        BoxResult result;
        QList<quint8> commands; // what is still to send
        std::unique_ptr<FileTransfer> transfer;
        QTimer *deadline = nullptr;
        QElapsedTimer clock;
        bool timedOut = false;
    };

    void pump();
    void startNext(int index);
    void onTransferFinished(int index, FileTransfer::Outcome outcome);
    void conclude(int index, State state, FileTransfer::Outcome outcome, quint8 command);
    void record(int index, FileTransfer::Outcome outcome, quint8 command, const QByteArray &digest);
    void dropDigests();

    QStringList m_addresses;
    std::vector<Box> m_boxes; // sized by setBoxes only
    QString m_projectPath;
    QString m_projectName;
    QString m_programPath;
    QString m_localAddress = QStringLiteral("0.0.0.0");
    int m_parallel = kDefaultParallel;
    int m_timeoutMs = kDefaultTimeoutMs;
    QString m_recordRoot;
    bool m_recording = true;
    bool m_pumping = false;
    bool m_pumpAgain = false;
    bool m_announced = true;
    // Each file's digest is taken once per run, not once per box.
    QHash<QString, std::shared_ptr<FileTransfer::Digest>> m_digests;
};
