#include "core/support/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString writableDirOrUserData(const QString &preferredDir)
{
    const QFileInfo info(preferredDir);
    if (info.isDir() && info.isWritable())
        return info.absoluteFilePath();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(data);
    return data;
}

QString logFilePath()
{
    return writableDirOrUserData(QCoreApplication::applicationDirPath())
        + QStringLiteral("/ORVANELOG.log");
}

QString settingsFilePath()
{
    const QString settings = QStringLiteral("Settings.ini");
    const QString dir = writableDirOrUserData(QDir::currentPath());
    // Kept relative while it stays in the working directory, as QSettings resolves it there.
    return dir == QFileInfo(QDir::currentPath()).absoluteFilePath() ? settings
                                                                    : dir + QLatin1Char('/') + settings;
}
