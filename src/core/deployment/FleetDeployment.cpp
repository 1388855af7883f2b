#include "core/deployment/FleetDeployment.h"

#include "core/deployment/DeploymentLog.h"
#include "core/deployment/DeploymentStore.h"
#include "core/deployment/ProjectDeployment.h"
#include "core/project/ProjectFileIo.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QTimer>

#include <sys/resource.h>

FleetDeployment::FleetDeployment(QObject *parent)
    : QObject(parent)
{
}

FleetDeployment::~FleetDeployment()
{
    // Transfers still running end without signals (FileTransfer's destructor aborts them).
    for (Box &box : m_boxes) {
        if (box.transfer)
            box.transfer->disconnect(this);
    }
}

void FleetDeployment::setBoxes(const QStringList &addresses)
{
    if (isRunning())
        return;
    m_addresses = addresses;
    m_boxes.clear();
    m_boxes.resize(size_t(addresses.size()));
}

void FleetDeployment::setProjectFile(const QString &path, const QString &projectName)
{
    m_project = Source{path, nullptr, nullptr, QString()};
    m_projectName = projectName;
    m_deployment.reset();
}

void FleetDeployment::setProject(SharedPayload payload, const QString &projectName)
{
    m_project = Source{payload ? payload->path() : QString(), payload, nullptr, QString()};
    m_projectName = projectName;
    m_deployment.reset();
}

void FleetDeployment::setProject(std::shared_ptr<ProjectDeployment> deployment)
{
    if (!deployment) {
        setProjectFile(QString(), QString());
        return;
    }
    setProject(deployment->payload(), deployment->projectName());
    m_deployment = std::move(deployment);
}

void FleetDeployment::setProgramFile(const QString &path)
{
    m_program = Source{path, nullptr, nullptr, QString()};
}

void FleetDeployment::setProgram(SharedPayload payload)
{
    m_program = Source{payload ? payload->path() : QString(), payload, nullptr, QString()};
}

QString FleetDeployment::nextStep(FileTransfer::Outcome outcome)
{
    using O = FileTransfer::Outcome;
    switch (outcome) {
    case O::BindFailed:
        return tr("This computer has no such local address any more: choose another one, or none.");
    case O::ConnectFailed:
        return tr("The box did not take the connection: check its IP address, the cable and that the box "
                  "is switched on, then retry.");
    case O::FileOpenFailed:
    case O::ChecksumOpenFailed:
        return tr("The file could not be read on this computer: check that it exists and is readable, "
                  "then retry.");
    case O::ConnectionLost:
        return tr("The connection dropped while sending: check the cable and the box's power, then retry.");
    case O::Stalled:
        return tr("The box stopped taking data: it may be busy or out of space. Wait a moment, then retry.");
    case O::Cancelled:
        return tr("Cancelled here: the box did not confirm anything. Retry when ready.");
    case O::Timeout:
        return tr("The box did not give its verdict in time: it may be busy. Refresh to see that it "
                  "answers, then retry.");
    case O::VerdictLost:
        return tr("The box closed the connection before its verdict: it may have restarted. Refresh to "
                  "see that it answers, then retry.");
    case O::UnrecognisedReply:
    case O::CommandTypeError:
    case O::ReturnValueError:
        return tr("The box answered in a way this tool does not expect: check that its program version "
                  "fits, and that no other tool sends to it at the same time, then retry.");
    case O::ChecksumFailed:
        return tr("The file arrived damaged: send it again (Retry).");
    case O::ChecksumSuccessful:
        break;
    }
    return QString();
}

int FleetDeployment::parallelWithin(int requested, qint64 fileLimit, int openNow)
{
    const int wanted = qMax(1, requested);
    if (fileLimit <= 0) // unlimited, or not known
        return wanted;
    const qint64 room = fileLimit - qMax(0, openNow) - kSpareDescriptors;
    return int(qBound<qint64>(1, room, wanted));
}

qint64 FleetDeployment::openFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 0;
    return qint64(limit.rlim_cur);
}

int FleetDeployment::openDescriptors()
{
    // Listing the directory holds one descriptor more, which is room to spare anyway.
    const int n = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
    return n > 0 ? n : 3;
}

void FleetDeployment::setParallel(int n)
{
    m_parallel = parallelWithin(n, openFileLimit(), openDescriptors());
}

void FleetDeployment::setRecordRoot(const QString &root, bool enabled)
{
    m_recordRoot = root;
    m_recording = enabled;
}

FleetDeployment::BoxResult FleetDeployment::result(int index) const
{
    return index >= 0 && index < int(m_boxes.size()) ? m_boxes[size_t(index)].result : BoxResult();
}

bool FleetDeployment::isRunning() const
{
    for (const Box &box : m_boxes) {
        if (box.result.state == State::Waiting || box.result.state == State::Running)
            return true;
    }
    return false;
}

int FleetDeployment::succeededCount() const
{
    int n = 0;
    for (const Box &box : m_boxes)
        n += box.result.state == State::Succeeded ? 1 : 0;
    return n;
}

void FleetDeployment::start()
{
    QList<int> all;
    for (int i = 0; i < count(); ++i)
        all.append(i);
    startBoxes(all);
}

void FleetDeployment::startBoxes(const QList<int> &indexes)
{
    QList<quint8> commands;
    if (m_project.isSet())
        commands.append(FileTransfer::ProjectDeployment);
    if (m_program.isSet())
        commands.append(FileTransfer::ProgramUpdate);
    if (commands.isEmpty())
        return;
    // The records are read once for the run, not once per box.
    const QSet<QString> haveProgram = m_skipUnchanged && m_program.given
                                          ? boxesWithProgram(m_recordRoot, m_program.given->bytes())
                                          : QSet<QString>();
    for (int index : indexes) {
        if (index < 0 || index >= count())
            continue;
        Box &box = m_boxes[size_t(index)];
        if (box.result.state == State::Waiting || box.result.state == State::Running)
            continue;
        box.result = BoxResult();
        box.result.state = State::Waiting;
        box.commands = commands;
        box.timedOut = false;
        if (m_skipUnchanged)
            dropUnchanged(index, haveProgram);
        if (box.commands.isEmpty()) {
            // Nothing it lacks: the box is not contacted at all.
            box.result.state = State::Succeeded;
            box.result.outcome = FileTransfer::Outcome::ChecksumSuccessful;
            box.result.reason = tr("Unchanged: the box confirmed exactly this before; nothing sent.");
            emit boxChanged(index);
            continue;
        }
        emit boxChanged(index);
    }
    m_announced = false;
    pump();
}

bool FleetDeployment::projectUnchanged(const QString &root, const QString &boxIp, const QString &projectName,
                                       const QByteArray &document)
{
    QByteArray kept;
    return DeploymentStore(root).lastBytes(boxIp, projectName, &kept) && kept == document;
}

QSet<QString> FleetDeployment::boxesWithProgram(const QString &root, const QByteArray &image)
{
    const QByteArray md5 = QCryptographicHash::hash(image, QCryptographicHash::Md5);
    const QHash<QString, QByteArray> confirmed = DeploymentLog(root).confirmedDigests(FileTransfer::ProgramUpdate);
    QSet<QString> boxes;
    for (auto it = confirmed.cbegin(); it != confirmed.cend(); ++it)
        if (it.value() == md5)
            boxes.insert(it.key());
    return boxes;
}

void FleetDeployment::dropUnchanged(int index, const QSet<QString> &haveProgram)
{
    Box &box = m_boxes[size_t(index)];
    const QString ip = m_addresses.at(index);
    for (int i = box.commands.size() - 1; i >= 0; --i) {
        const quint8 command = box.commands.at(i);
        const bool program = command == FileTransfer::ProgramUpdate;
        const SharedPayload given = program ? m_program.given : m_project.given;
        if (!given)
            continue;
        if (program ? haveProgram.contains(ip)
                    : projectUnchanged(m_recordRoot, ip, m_projectName, given->bytes())) {
            box.result.unchanged.prepend(command);
            box.commands.removeAt(i);
        }
    }
}

void FleetDeployment::pump()
{
    // A transfer may finish inside start() (a local address that cannot be bound): the loop
    // below then runs again instead of nesting.
    if (m_pumping) {
        m_pumpAgain = true;
        return;
    }
    m_pumping = true;
    do {
        m_pumpAgain = false;
        int running = 0;
        for (const Box &box : m_boxes)
            running += box.result.state == State::Running ? 1 : 0;
        for (int i = 0; i < count() && running < m_parallel; ++i) {
            if (m_boxes[size_t(i)].result.state != State::Waiting)
                continue;
            Box &box = m_boxes[size_t(i)];
            box.result.state = State::Running;
            box.clock.start();
            if (!box.deadline) {
                box.deadline = new QTimer(this);
                box.deadline->setSingleShot(true);
                connect(box.deadline, &QTimer::timeout, this, [this, i] {
                    Box &b = m_boxes[size_t(i)];
                    if (b.result.state != State::Running || !b.transfer)
                        return;
                    b.timedOut = true;
                    b.transfer->cancel();
                });
            }
            box.deadline->start(m_timeoutMs);
            ++running;
            emit boxChanged(i);
            startNext(i);
        }
    } while (m_pumpAgain);
    m_pumping = false;

    if (!isRunning()) {
        // A later run reads the file afresh: it may have changed meanwhile.
        for (Source *source : {&m_project, &m_program}) {
            source->read.reset();
            source->readError.clear();
        }
        // Every digest has been taken: the copy goes, the bytes stay for a retry.
        m_deployment.reset();
        if (!m_announced) {
            m_announced = true;
            emit finished();
        }
    }
}

void FleetDeployment::startNext(int index)
{
    Box &box = m_boxes[size_t(index)];
    const quint8 command = box.commands.takeFirst();
    box.result.command = command;
    // A new transfer starts at 0 %, also the program after its project's 100 %.
    box.result.percent = 0;
    emit boxChanged(index);
    // The previous transfer of this box may still be on the stack that signalled its end.
    if (box.transfer)
        box.transfer.release()->deleteLater();
    box.transfer = std::make_unique<FileTransfer>();
    FileTransfer *transfer = box.transfer.get();
    transfer->setHostAddress(m_addresses.at(index));
    transfer->setLocalAddress(m_localAddress);
    connect(transfer, &FileTransfer::progressChanged, this, [this, index](int percent) {
        Box &b = m_boxes[size_t(index)];
        // Only forward: the drop to 0 a failed verdict brings is the box dialog's way of
        // saying so; here the bytes sent stay shown beside the verdict.
        if (b.result.state == State::Running && percent > b.result.percent) {
            b.result.percent = percent;
            emit boxChanged(index);
        }
    });
    connect(transfer, &FileTransfer::finished, this,
            [this, index](FileTransfer::Outcome outcome) { onTransferFinished(index, outcome); });
    QString error;
    const SharedPayload payload = payloadFor(command, &error);
    if (payload) {
        transfer->start(command, payload);
    } else {
        // Not the box's fault, but nothing can reach it: the row says why, as a transfer would.
        qDebug() << "Cannot read the file for" << m_addresses.at(index) << error;
        onTransferFinished(index, FileTransfer::Outcome::FileOpenFailed);
    }
}

SharedPayload FleetDeployment::payloadFor(quint8 command, QString *error)
{
    Source &source = command == FileTransfer::ProgramUpdate ? m_program : m_project;
    if (source.given)
        return source.given;
    // One reading and one digest per file and run, shared by every box of the run.
    if (!source.read && source.readError.isEmpty())
        source.read = TransferPayload::readFile(source.path, ProjectFileIo::kPipeDeadlineMs, &source.readError);
    *error = source.readError;
    return source.read;
}

void FleetDeployment::onTransferFinished(int index, FileTransfer::Outcome outcome)
{
    Box &box = m_boxes[size_t(index)];
    const quint8 command = box.result.command;
    if (outcome == FileTransfer::Outcome::Cancelled && box.timedOut)
        outcome = FileTransfer::Outcome::Timeout;
    concludeTransfer(index, outcome, command, box.transfer ? box.transfer->digest() : QByteArray());
    if (outcome == FileTransfer::Outcome::ChecksumSuccessful)
        box.result.changed = true;
    if (outcome == FileTransfer::Outcome::ChecksumSuccessful && !box.commands.isEmpty()) {
        startNext(index);
        return;
    }
    conclude(index, outcome == FileTransfer::Outcome::ChecksumSuccessful ? State::Succeeded : State::Failed,
             outcome, command);
    pump();
}

void FleetDeployment::conclude(int index, State state, FileTransfer::Outcome outcome, quint8 command)
{
    Box &box = m_boxes[size_t(index)];
    if (box.deadline)
        box.deadline->stop();
    if (box.transfer)
        box.transfer.release()->deleteLater();
    box.commands.clear();
    box.result.state = state;
    box.result.outcome = outcome;
    box.result.command = command;
    box.result.reason = FileTransfer::outcomeText(outcome);
    box.result.elapsedMs = box.clock.isValid() ? box.clock.elapsed() : 0;
    emit boxChanged(index);
}

void FleetDeployment::cancel()
{
    // Waiting boxes first, so that no transfer ending below starts one of them.
    for (int i = 0; i < count(); ++i) {
        if (m_boxes[size_t(i)].result.state == State::Waiting)
            conclude(i, State::Failed, FileTransfer::Outcome::Cancelled, 0);
    }
    for (int i = 0; i < count(); ++i) {
        Box &box = m_boxes[size_t(i)];
        if (box.result.state == State::Running && box.transfer)
            box.transfer->cancel();
    }
    pump();
}

// Every front end records and keeps the copy the same way: the box dialog, the fleet window and
// the command line all compare the next deployment with what the box last confirmed.
void FleetDeployment::concludeTransfer(int index, FileTransfer::Outcome outcome, quint8 command,
                                       const QByteArray &digest)
{
    const SharedPayload sent = m_project.given ? m_project.given : m_project.read;
    const QByteArray document = command == FileTransfer::ProjectDeployment && sent ? sent->bytes() : QByteArray();
    const ProjectDeployment::Aftermath aftermath = ProjectDeployment::concluded(
        m_addresses.at(index), m_projectName, command, document, digest, outcome, m_recordRoot, m_recording);
    BoxResult &result = m_boxes[size_t(index)].result;
    if (!aftermath.recordNotKept.isEmpty())
        result.recordNotKept = aftermath.recordNotKept;
    if (!aftermath.copyNotKept.isEmpty())
        result.copyNotKept = aftermath.copyNotKept;
}
