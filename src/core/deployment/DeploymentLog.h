#pragma once

// Every project deployment and program update made from this tool (the windows and the
// command line), one line per box and transfer, in the same directory as the DeploymentStore's
// copies: which box, which project, the MD5 sent, the verdict and when. Lines are appended with
// one write each, so several programs may record at the same time.

#include "core/boxlink/FileTransfer.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

struct DeploymentRecord
{
    QString boxIp;
    QString projectName;
    quint8 command = FileTransfer::ProjectDeployment;
    QByteArray md5; // raw digest; empty when the transfer ended before its digest went out
    FileTransfer::Outcome outcome = FileTransfer::Outcome::Cancelled;
    QString verdict; // FileTransfer::outcomeText() at the time of writing
    QDateTime time;

    bool succeeded() const { return outcome == FileTransfer::Outcome::ChecksumSuccessful; }
    QJsonObject toJson() const;
    static bool fromJson(const QJsonObject &object, DeploymentRecord *record);
};

class DeploymentLog
{
public:
    // `root` empty: the DeploymentStore's directory.
    explicit DeploymentLog(const QString &root = QString());

    QString path() const { return m_path; }

    // A write cut short (a full disk) leaves no partial line behind.
    bool append(const DeploymentRecord &record, QString *error = nullptr) const;
    // Every readable record, oldest first (of a file beyond 64 MiB, the newest 64 MiB). Damaged
    // lines are skipped, logged, and counted in `damaged`.
    QList<DeploymentRecord> records(int *damaged = nullptr) const;
    // The newest record for this box (any project), or false when there is none.
    bool last(const QString &boxIp, DeploymentRecord *record) const;
    // Each box's newest confirmed transfer of this command (any project): its digest, by box.
    QHash<QString, QByteArray> confirmedDigests(quint8 command) const;

    // Appends a record made now. False with the reason, worded for the user, when it could not
    // be written (a full disk): the transfer itself stands, but the history the windows show
    // lacks it, and the user is told so by whoever sent.
    bool recordTransfer(const QString &boxIp, const QString &projectName, quint8 command,
                        const QByteArray &md5, FileTransfer::Outcome outcome, QString *error = nullptr) const;

private:
    QString m_path;
};
