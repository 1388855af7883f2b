#include "checks/DeploymentLog.h"

#include "checks/DeploymentStore.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QStandardItem>

namespace {
const QMetaEnum &outcomeEnum()
{
    static const QMetaEnum e = QMetaEnum::fromType<FileTransfer::Outcome>();
    return e;
}
} // namespace

QJsonObject DeploymentRecord::toJson() const
{
    return QJsonObject{
        {QStringLiteral("box"), boxIp},
        {QStringLiteral("project"), projectName},
        {QStringLiteral("command"), command == FileTransfer::ProgramUpdate ? QStringLiteral("program")
                                                                           : QStringLiteral("project")},
        {QStringLiteral("md5"), QString::fromLatin1(md5.toHex())},
        {QStringLiteral("outcome"), QString::fromLatin1(outcomeEnum().valueToKey(int(outcome)))},
        {QStringLiteral("verdict"), verdict},
        {QStringLiteral("success"), succeeded()},
        {QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs)},
    };
}

bool DeploymentRecord::fromJson(const QJsonObject &object, DeploymentRecord *record)
{
    bool known = false;
    const int value = outcomeEnum().keyToValue(object.value(QStringLiteral("outcome")).toString().toLatin1(), &known);
    const QDateTime time = QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    const QString box = object.value(QStringLiteral("box")).toString();
    if (!known || !time.isValid() || box.isEmpty())
        return false;
    record->boxIp = box;
    record->projectName = object.value(QStringLiteral("project")).toString();
    record->command = object.value(QStringLiteral("command")).toString() == QLatin1String("program")
                          ? FileTransfer::ProgramUpdate
                          : FileTransfer::ProjectDeployment;
    record->md5 = QByteArray::fromHex(object.value(QStringLiteral("md5")).toString().toLatin1());
    record->outcome = FileTransfer::Outcome(value);
    record->verdict = object.value(QStringLiteral("verdict")).toString();
    record->time = time;
    return true;
}

DeploymentLog::DeploymentLog(const QString &root)
    : m_path(DeploymentStore(root).root() + QStringLiteral("/records.jsonl"))
{
}

bool DeploymentLog::append(const DeploymentRecord &record, QString *error) const
{
    const QByteArray line = QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact) + '\n';
    QFile file(m_path);
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())
        || !file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)
        || file.write(line) != line.size()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QList<DeploymentRecord> DeploymentLog::records() const
{
    QList<DeploymentRecord> result;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : file.readAll().split('\n')) {
        DeploymentRecord record;
        if (!line.trimmed().isEmpty() && DeploymentRecord::fromJson(QJsonDocument::fromJson(line).object(), &record))
            result.append(record);
    }
    return result;
}

bool DeploymentLog::last(const QString &boxIp, DeploymentRecord *record) const
{
    const QList<DeploymentRecord> all = records();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (it->boxIp == boxIp) {
            *record = *it;
            return true;
        }
    }
    return false;
}

void DeploymentLog::watch(FileTransfer *transfer, const QString &boxIp, const QStandardItem *projectItem,
                          const QString &root)
{
    const QStandardItem *project = projectItem;
    while (project && project->parent())
        project = project->parent();
    const QString projectName = project ? project->text() : QString();
    QObject::connect(transfer, &FileTransfer::finished, transfer,
                     [transfer, boxIp, projectName, root](FileTransfer::Outcome outcome) {
                         DeploymentLog(root).recordTransfer(boxIp, projectName, transfer->command(),
                                                            transfer->digest(), outcome);
                     });
}

void DeploymentLog::recordTransfer(const QString &boxIp, const QString &projectName, quint8 command,
                                   const QByteArray &md5, FileTransfer::Outcome outcome) const
{
    DeploymentRecord record;
    record.boxIp = boxIp;
    record.projectName = projectName;
    record.command = command;
    record.md5 = md5;
    record.outcome = outcome;
    record.verdict = FileTransfer::outcomeText(outcome);
    record.time = QDateTime::currentDateTimeUtc();
    QString error;
    if (!append(record, &error))
        qWarning() << "Could not record the deployment in" << m_path << error;
}
