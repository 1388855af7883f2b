#include "SimState.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>

namespace {

const char *const kGroupNames[BoxMessages::KindCount] = {"lan", "wan", "wifi", "lte", "ntp",
                                                         "time"};
const QString kClockOffset = QStringLiteral("clockOffsetSeconds");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QJsonObject defaults(BoxMessages::Kind kind)
{
    QStringList values;
    switch (kind) {
    case BoxMessages::Lan:
        values = QStringList{"192.168.1.100", "255.255.255.0", "192.168.1.1", "8.8.8.8", "114.114.114.114"};
        break;
    case BoxMessages::Wan:
        values = QStringList{"0", "10.0.0.100", "255.255.255.0", "10.0.0.1", "8.8.8.8", "8.8.4.4"};
        break;
    case BoxMessages::Wifi:
        values = QStringList{"off", "station", "orvane", "12345678", "1",
                  "192.168.4.100", "255.255.255.0", "192.168.4.1", "8.8.8.8", "8.8.4.4"};
        break;
    case BoxMessages::Lte:
        values = QStringList{"off", "AT+CGDCONT=1,\"IP\",\"cmnet\"", "AT+CFUN=1", "", "", ""};
        break;
    case BoxMessages::Ntp:
        values = QStringList{"192.168.1.1"};
        break;
    case BoxMessages::Time:
        values = QStringList{""}; // the clock is computed, not stored
        break;
    }
    QJsonObject group;
    const QStringList keys = BoxMessages::keys(kind);
    for (int i = 0; i < keys.size(); ++i)
        group.insert(keys.at(i), values.value(i));
    return group;
}

} // namespace

bool SimState::open(const QString &directory, QString *error)
{
    const QFileInfo info(directory);
    if (info.exists() && !info.isDir()) {
        *error = QStringLiteral("state path %1 exists and is not a directory").arg(directory);
        return false;
    }
    if (!QDir().mkpath(directory)) {
        *error = QStringLiteral("cannot create state directory %1").arg(directory);
        return false;
    }
    m_directory = QFileInfo(directory).absoluteFilePath();

    for (int k = 0; k < BoxMessages::KindCount; ++k)
        m_groups[k] = defaults(BoxMessages::Kind(k));
    m_clockOffsetSeconds = 0;

    QFile file(path(QStringLiteral("settings.json")));
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (!document.isObject()) {
            *error = QStringLiteral("corrupt settings file %1").arg(file.fileName());
            return false;
        }
        const QJsonObject root = document.object();
        for (int k = 0; k < BoxMessages::KindCount; ++k) {
            const QJsonObject stored = root.value(QLatin1String(kGroupNames[k])).toObject();
            for (const QString &key : BoxMessages::keys(BoxMessages::Kind(k))) {
                if (stored.value(key).isString())
                    m_groups[k].insert(key, stored.value(key));
            }
        }
        m_clockOffsetSeconds = qint64(root.value(kClockOffset).toDouble());
    }
    // Writing the settings at once proves the directory writable.
    if (!save()) {
        *error = QStringLiteral("cannot write to state directory %1").arg(m_directory);
        return false;
    }
    return true;
}

QJsonObject SimState::settings(BoxMessages::Kind kind) const
{
    QJsonObject group = m_groups[kind];
    if (kind == BoxMessages::Time)
        group.insert(QStringLiteral("date"), clockText());
    return group;
}

bool SimState::storeSettings(BoxMessages::Kind kind, const QJsonObject &members)
{
    for (const QString &key : BoxMessages::keys(kind)) {
        if (members.contains(key))
            m_groups[kind].insert(key, members.value(key).toString());
    }
    return save();
}

QString SimState::clockText() const
{
    return QDateTime::currentDateTime().addSecs(m_clockOffsetSeconds).toString(kDateFormat);
}

bool SimState::setClock(const QString &dateText)
{
    const QDateTime wanted = QDateTime::fromString(dateText, kDateFormat);
    if (!wanted.isValid())
        return false;
    m_clockOffsetSeconds = QDateTime::currentDateTime().secsTo(wanted);
    return save();
}

bool SimState::storeDeployedProject(const QByteArray &bytes)
{
    return writeFile(QStringLiteral("deployed.json"), bytes);
}

QByteArray SimState::deployedProject() const
{
    QFile file(path(QStringLiteral("deployed.json")));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool SimState::storeProgram(const QByteArray &bytes)
{
    return writeFile(QStringLiteral("program.bin"), bytes);
}

bool SimState::appendTransferRecord(QByteArray record)
{
    QFile file(path(QStringLiteral("transfers.jsonl")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    record.append('\n'); // one write, so a reader never sees a line without its end
    const bool ok = file.write(record) == record.size();
    file.close();
    return ok;
}

bool SimState::save()
{
    QJsonObject root;
    for (int k = 0; k < BoxMessages::KindCount; ++k) {
        if (k != BoxMessages::Time)
            root.insert(QLatin1String(kGroupNames[k]), m_groups[k]);
    }
    root.insert(kClockOffset, double(m_clockOffsetSeconds));
    return writeFile(QStringLiteral("settings.json"), QJsonDocument(root).toJson());
}

bool SimState::writeFile(const QString &name, const QByteArray &bytes)
{
    // Written whole or not at all (a temporary file renamed over the old one), so a killed
    // simulator never leaves half a file. No fsync: a stand-in box need not survive a power
    // cut, and syncing a large program image would dominate the transfer time.
    const QString target = path(name);
    const QString temporary = target + QStringLiteral(".part");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || std::rename(QFile::encodeName(temporary).constData(),
                                QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

QString SimState::path(const QString &name) const
{
    return m_directory + QLatin1Char('/') + name;
}
