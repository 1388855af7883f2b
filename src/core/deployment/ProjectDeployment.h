#pragma once

// The one way a project document reaches boxes, whichever front end sends it (the box editor,
// the fleet window, orvane-deploy): the document is first written to a copy under a unique name
// in the system's temporary directory, checked to the last byte, and only the bytes written go
// out; after each transfer the DeploymentLog gets its record, and a box that confirmed the
// checksum has the document kept in the DeploymentStore, so the next deployment compares with
// what that box really has.

#include "core/boxlink/BoxSession.h"
#include "core/boxlink/FileTransfer.h"
#include "core/boxlink/TransferPayload.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <memory>

class QTemporaryFile;

class ProjectDeployment
{
    // The texts were the box editor's first and keep its translations.
    Q_DECLARE_TR_FUNCTIONS(BoxEditDialog)
public:
    // Writes the copy of `document`. Null, with the reason worded for the user in `error`, when
    // it could not be written in full (a full disk takes part of the bytes without an error of
    // its own): nothing may be sent then.
    static std::shared_ptr<ProjectDeployment> prepare(const QByteArray &document, const QString &projectName,
                                                      QString *error);
    ~ProjectDeployment();
    ProjectDeployment(const ProjectDeployment &) = delete;
    ProjectDeployment &operator=(const ProjectDeployment &) = delete;

    QString projectName() const { return m_projectName; }
    QString copyPath() const;
    // The bytes written, under the copy's path; the same for every box of the deployment.
    SharedPayload payload() const { return m_payload; }

    // Why the aftermath of a transfer fell short: the DeploymentLog could not take the record,
    // or the document a box confirmed could not be kept. Both empty when all was kept.
    using Aftermath = BoxSession::Aftermath;
    // After a transfer of this document to `boxIp` ended: records it, and keeps the document for
    // that box when it confirmed the checksum. `root` empty: the user's data directory;
    // `recording` false keeps neither.
    Aftermath concluded(const QString &boxIp, const QByteArray &digest, FileTransfer::Outcome outcome,
                        const QString &root = QString(), bool recording = true) const;
    // The same for any transfer: `sent` is the project document a project transfer carried
    // (kept on success), empty for a program image, which is only recorded.
    static Aftermath concluded(const QString &boxIp, const QString &projectName, quint8 command,
                               const QByteArray &sent, const QByteArray &digest, FileTransfer::Outcome outcome,
                               const QString &root = QString(), bool recording = true);

    // Through one box's session: the project, from its copy (false, with the reason worded for
    // the user, when the copy could not be written or a transfer runs); a program image, only
    // recorded afterwards, under the project the box belongs to.
    static bool deploy(BoxSession *session, const QByteArray &document, const QString &projectName,
                       QString *error);
    static bool sendProgram(BoxSession *session, const QString &path, const QString &projectName);

private:
    ProjectDeployment(const QString &projectName, std::unique_ptr<QTemporaryFile> copy, SharedPayload payload);

    QString m_projectName;
    std::unique_ptr<QTemporaryFile> m_copy; // removed with the deployment, if the transfer has not
    SharedPayload m_payload;
};
