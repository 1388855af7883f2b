#include "app/WriteLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTextStream>

void writeLog(const QString &message)
{
    QFile file(QCoreApplication::applicationDirPath() + QStringLiteral("/ORVANELOG.log"));
    // Opened and closed per line, so no handle outlives the call.
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        << QStringLiteral(": ") << message << QStringLiteral("\n");
    out.flush();
    file.close();
}
