#include "core/support/WriteLog.h"

#include "core/support/AppPaths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace {
QString rotated(const QString &path, int n)
{
    return path + QLatin1Char('.') + QString::number(n);
}

void rotate(const QString &path)
{
    QFile::remove(rotated(path, kLogKeptFiles));
    for (int n = kLogKeptFiles - 1; n >= 1; --n)
        if (QFileInfo::exists(rotated(path, n)))
            QFile::rename(rotated(path, n), rotated(path, n + 1));
    // QFile::rename never overwrites: when a step above failed, this one fails too and the
    // log simply goes on growing instead of losing a file.
    QFile::rename(path, rotated(path, 1));
}
} // namespace

bool appendLogLine(const QString &path, const QString &message, qint64 rotateBytes)
{
    const QByteArray line = (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             + QStringLiteral(": ") + message + QLatin1Char('\n'))
                                .toUtf8();
    const QFileInfo info(path);
    if (info.isFile() && info.size() > 0 && info.size() + line.size() > rotateBytes)
        rotate(path);

    QFile file(path);
    // Opened and closed per line, so no handle outlives the call.
    if (!file.open(QIODevice::Append))
        return false;
    const bool whole = file.write(line) == line.size();
    file.close();
    return whole;
}

void writeLog(const QString &message)
{
    appendLogLine(logFilePath(), message);
}
