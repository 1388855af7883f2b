#pragma once

// Sends a project document and/or a program image to many boxes, at most N transfers at once.
// Each box gets exactly what a single deployment sends (the file's bytes as they are); with both
// files a box gets the program only after its project checked out. Each box's whole run,
// verdicts included, is bounded by a time limit. Every transfer is recorded in the
// DeploymentLog. No widgets: the fleet window and the command-line program watch the signals.

#include "core/boxlink/FileTransfer.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class ProjectDeployment;
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
        // Share of the file sent by the last transfer, kept after its verdict whatever that
        // was: a box whose checksum failed got all of it. 0 when a transfer starts.
        int percent = 0;
        qint64 elapsedMs = 0;  // the box's whole run
        // Why the copy kept for the next comparison could not be written after the box
        // confirmed the project; empty when it was, or when nothing was to keep.
        QString copyNotKept;
        // Why a transfer of this run could not be recorded; empty when each was.
        QString recordNotKept;
        // The box confirmed something it did not have before this run.
        bool changed = false;
        // What was not sent because the box already confirmed exactly that (see skipUnchanged).
        QList<quint8> unchanged;
    };

    // What the engineer can do about a failed transfer, in a sentence; empty for a success.
    static QString nextStep(FileTransfer::Outcome outcome);

    static constexpr int kDefaultParallel = 8;
    static constexpr int kDefaultTimeoutMs = 60000;

    explicit FleetDeployment(QObject *parent = nullptr);
    ~FleetDeployment() override;

    void setBoxes(const QStringList &addresses);
    QStringList boxes() const { return m_addresses; }
    // Either may be empty, not both. The project name goes into the records. A file given by
    // path is read once per run (a later run or a retry reads it afresh); bytes given as a
    // payload are sent as they are, every time.
    void setProjectFile(const QString &path, const QString &projectName);
    void setProject(SharedPayload payload, const QString &projectName);
    // A prepared deployment (its copy written): its bytes go to every box; the copy is removed
    // when the run has ended.
    void setProject(std::shared_ptr<ProjectDeployment> deployment);
    void setProgramFile(const QString &path);
    void setProgram(SharedPayload payload);
    void setLocalAddress(const QString &address) { m_localAddress = address; }
    // At most n at once, and no more than the open-file limit leaves room for (each transfer
    // holds a socket): parallel() tells what was kept.
    void setParallel(int n);
    int parallel() const { return m_parallel; }
    // How many transfers fit beside `openNow` descriptors under a limit of `fileLimit` open
    // files, with room kept for what the process opens meanwhile (records, the log, Qt's own).
    static int parallelWithin(int requested, qint64 fileLimit, int openNow);
    static constexpr int kSpareDescriptors = 16;
    // The process's open-file limit (soft) and how many descriptors it holds now.
    static qint64 openFileLimit();
    static int openDescriptors();
    void setTimeoutMs(int ms) { m_timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs; }
    // Where the records and the copy of the project each box confirmed go (empty: the user's
    // data directory, where the box editor keeps them too); `enabled` false keeps neither.
    void setRecordRoot(const QString &root, bool enabled = true);
    // A box is not sent what it confirmed before, as this computer's records show: the project
    // when the copy kept of its last confirmed deployment is byte-identical, the program when
    // its last confirmed program update had the same MD5. The box protocol cannot read back
    // what a box holds: the records are all there is. Applies to bytes given (not paths).
    void setSkipUnchanged(bool on) { m_skipUnchanged = on; }
    // Whether the box at `boxIp` confirmed exactly these bytes last (see setSkipUnchanged).
    static bool projectUnchanged(const QString &root, const QString &boxIp, const QString &projectName,
                                 const QByteArray &document);
    // The boxes whose newest confirmed program update sent exactly this image (the same MD5),
    // from one reading of the records.
    static QSet<QString> boxesWithProgram(const QString &root, const QByteArray &image);

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
    // Takes out of the box's commands what it confirmed before; `haveProgram`: see
    // boxesWithProgram.
    void dropUnchanged(int index, const QSet<QString> &haveProgram);
    void onTransferFinished(int index, FileTransfer::Outcome outcome);
    void conclude(int index, State state, FileTransfer::Outcome outcome, quint8 command);
    void concludeTransfer(int index, FileTransfer::Outcome outcome, quint8 command, const QByteArray &digest);
    SharedPayload payloadFor(quint8 command, QString *error);

    QStringList m_addresses;
    std::vector<Box> m_boxes; // sized by setBoxes only
    struct Source
    {
        QString path;          // read once per run
        SharedPayload given;   // or these bytes, always
        SharedPayload read;    // this run's reading of `path`
        QString readError;     // why this run could not read it
        bool isSet() const { return !path.isEmpty() || given; }
    };
    Source m_project;
    std::shared_ptr<ProjectDeployment> m_deployment; // the copy behind m_project.given, during a run
    Source m_program;
    QString m_projectName;
    QString m_localAddress = QStringLiteral("0.0.0.0");
    int m_parallel = kDefaultParallel;
    int m_timeoutMs = kDefaultTimeoutMs;
    QString m_recordRoot;
    bool m_recording = true;
    bool m_skipUnchanged = false;
    bool m_pumping = false;
    bool m_pumpAgain = false;
    bool m_announced = true;
};
