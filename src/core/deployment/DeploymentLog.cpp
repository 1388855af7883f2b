#include "core/deployment/DeploymentLog.h"

#include "core/deployment/DeploymentStore.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// Far more than any tool writes in years (a record is a few hundred bytes).
constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

const QMetaEnum &outcomeEnum()
{
    static const QMetaEnum e = QMetaEnum::fromType<FileTransfer::Outcome>();
    return e;
}

// After a short write the file ends in a cut-off line: cut it back to the end of its last whole
// line, so the next record starts a line of its own. The search looks back no further than the
// part just written plus one record's worth; past that, only the part written goes.
void cutToLastWholeLine(int fd, qint64 written)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return;
    const qint64 size = info.st_size;
    const qint64 from = qMax<qint64>(0, size - written - 64 * 1024);
    QByteArray tail(int(size - from), '\0');
    if (::pread(fd, tail.data(), size_t(tail.size()), from) != tail.size())
        return;
    const int lastEnd = tail.lastIndexOf('\n');
    const qint64 keep = lastEnd >= 0 ? from + lastEnd + 1 : (from == 0 ? 0 : size - written);
    if (::ftruncate(fd, keep) != 0)
        qWarning() << "Could not cut the damaged end of a deployment record:" << std::strerror(errno);
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
    QByteArray line = QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact) + '\n';
    const QString directory = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(directory)) {
        if (error)
            *error = DeploymentStore::statusText(DeploymentStore::Status::CannotCreate, directory);
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const int fd = file.handle();
    // A tail without its line end (an earlier crash) stays a line of its own, skipped on reading.
    struct stat info = {};
    char lastByte = '\n';
    if (::fstat(fd, &info) == 0 && info.st_size > 0 && ::pread(fd, &lastByte, 1, info.st_size - 1) == 1
        && lastByte != '\n')
        line.prepend('\n');

    // The whole line in one write call, so that records of several programs do not interleave;
    // only a short write is followed by another, whose errno names what stopped it (QFile
    // reports a short write as "Unknown error").
    qint64 written = 0;
    int reason = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + written, size_t(line.size() - written));
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            reason = n < 0 ? errno : EIO;
            break;
        }
    }
    if (written == line.size())
        return true;
    if (written > 0)
        cutToLastWholeLine(fd, written);
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(reason));
    return false;
}

QList<DeploymentRecord> DeploymentLog::records(int *damaged) const
{
    QList<DeploymentRecord> result;
    int skipped = 0;
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        // Only the newest part of an enormous file: its first line there may be cut.
        const bool tailOnly = file.size() > kMaxReadBytes;
        if (tailOnly)
            file.seek(file.size() - kMaxReadBytes);
        QList<QByteArray> lines = file.read(kMaxReadBytes).split('\n');
        if (tailOnly && !lines.isEmpty())
            lines.removeFirst();
        QStringList where;
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray &line = lines.at(i);
            if (line.trimmed().isEmpty())
                continue;
            DeploymentRecord record;
            if (DeploymentRecord::fromJson(QJsonDocument::fromJson(line).object(), &record)) {
                result.append(record);
            } else {
                ++skipped;
                where << QString::number(i + 1);
            }
        }
        if (skipped > 0)
            qWarning().noquote() << "Deployment record" << m_path << "has damaged lines, skipped:"
                                 << where.join(QLatin1Char(','));
    }
    if (damaged)
        *damaged = skipped;
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

QHash<QString, QByteArray> DeploymentLog::confirmedDigests(quint8 command) const
{
    // Oldest first: a later confirmation replaces an earlier one.
    QHash<QString, QByteArray> digests;
    for (const DeploymentRecord &record : records())
        if (record.command == command && record.succeeded())
            digests.insert(record.boxIp, record.md5);
    return digests;
}

bool DeploymentLog::recordTransfer(const QString &boxIp, const QString &projectName, quint8 command,
                                   const QByteArray &md5, FileTransfer::Outcome outcome, QString *error) const
{
    DeploymentRecord record;
    record.boxIp = boxIp;
    record.projectName = projectName;
    record.command = command;
    record.md5 = md5;
    record.outcome = outcome;
    record.verdict = FileTransfer::outcomeText(outcome);
    record.time = QDateTime::currentDateTimeUtc();
    QString reason;
    if (append(record, &reason))
        return true;
    qWarning() << "Could not record the deployment in" << m_path << reason;
    if (error) {
        *error = QCoreApplication::translate("DeploymentLog", "The transfer was not recorded in %1: %2")
                     .arg(QDir::toNativeSeparators(m_path), reason);
    }
    return false;
}
