#include "core/deployment/ProjectDeployment.h"

#include "core/deployment/DeploymentLog.h"
#include "core/deployment/DeploymentStore.h"

#include <QDebug>
#include <QDir>
#include <QTemporaryFile>

ProjectDeployment::ProjectDeployment(const QString &projectName, std::unique_ptr<QTemporaryFile> copy,
                                     SharedPayload payload)
    : m_projectName(projectName)
    , m_copy(std::move(copy))
    , m_payload(std::move(payload))
{
}

ProjectDeployment::~ProjectDeployment() = default;

QString ProjectDeployment::copyPath() const
{
    return m_copy ? m_copy->fileName() : QString();
}

std::shared_ptr<ProjectDeployment> ProjectDeployment::prepare(const QByteArray &document, const QString &projectName,
                                                              QString *error)
{
    // Nothing of the user's is touched: a unique name in the system's temporary directory.
    auto copy = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("orvane-deploy-XXXXXX.json")));
    const QString incomplete = tr("The file could not be written completely; the disk may be full.");
    QString reason;
    if (!copy->open()) {
        reason = copy->errorString();
    } else {
        // The count, the flush, the close and the size on disk are all checked.
        const qint64 written = copy->write(document);
        if (written != document.size() || !copy->flush())
            reason = written == -1 || copy->error() != QFileDevice::NoError ? copy->errorString() : incomplete;
        copy->close();
        if (reason.isEmpty() && copy->error() != QFileDevice::NoError)
            reason = copy->errorString();
        if (reason.isEmpty() && copy->size() != document.size())
            reason = incomplete;
    }
    if (!reason.isEmpty()) {
        qDebug() << "Could not create temp file:" << reason;
        if (error)
            *error = tr("Could not write the deployment copy %1: %2")
                         .arg(QDir::toNativeSeparators(copy->fileName()), reason);
        return nullptr;
    }
    // The bytes just written go out, not a second reading of the copy that could differ.
    SharedPayload payload = TransferPayload::fromBytes(document, copy->fileName());
    return std::shared_ptr<ProjectDeployment>(new ProjectDeployment(projectName, std::move(copy), std::move(payload)));
}

ProjectDeployment::Aftermath ProjectDeployment::concluded(const QString &boxIp, const QByteArray &digest,
                                                          FileTransfer::Outcome outcome, const QString &root,
                                                          bool recording) const
{
    return concluded(boxIp, m_projectName, FileTransfer::ProjectDeployment, m_payload->bytes(), digest, outcome,
                     root, recording);
}

ProjectDeployment::Aftermath ProjectDeployment::concluded(const QString &boxIp, const QString &projectName,
                                                          quint8 command, const QByteArray &sent,
                                                          const QByteArray &digest, FileTransfer::Outcome outcome,
                                                          const QString &root, bool recording)
{
    Aftermath aftermath;
    if (!recording)
        return aftermath;
    DeploymentLog(root).recordTransfer(boxIp, projectName, command, digest, outcome, &aftermath.recordNotKept);
    // Only a box that confirmed the checksum has the document the next deployment compares with.
    if (command == FileTransfer::ProjectDeployment && outcome == FileTransfer::Outcome::ChecksumSuccessful)
        DeploymentStore(root).store(boxIp, projectName, sent, &aftermath.copyNotKept);
    return aftermath;
}

bool ProjectDeployment::deploy(BoxSession *session, const QByteArray &document, const QString &projectName,
                               QString *error)
{
    if (session->transferActive())
        return false;
    std::shared_ptr<ProjectDeployment> deployment = prepare(document, projectName, error);
    if (!deployment)
        return false;
    // The conclusion holds the deployment, and so the copy, until the transfer has ended.
    return session->startTransfer(
        FileTransfer::ProjectDeployment, deployment->copyPath(), deployment->payload(), true,
        [deployment](const QString &boxIp, const QByteArray &digest, FileTransfer::Outcome outcome) {
            return deployment->concluded(boxIp, digest, outcome);
        });
}

bool ProjectDeployment::sendProgram(BoxSession *session, const QString &path, const QString &projectName)
{
    return session->startTransfer(
        FileTransfer::ProgramUpdate, path, nullptr, false,
        [projectName](const QString &boxIp, const QByteArray &digest, FileTransfer::Outcome outcome) {
            return concluded(boxIp, projectName, FileTransfer::ProgramUpdate, QByteArray(), digest, outcome);
        });
}
