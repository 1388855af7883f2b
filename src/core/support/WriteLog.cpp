#include "core/support/WriteLog.h"

#include "core/support/AppPaths.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

void writeLog(const QString &message)
{
    QFile file(logFilePath());
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
