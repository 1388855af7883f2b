#include "core/deployment/DeploymentStore.h"

#include "core/project/ProjectFileIo.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Record texts become file names: a plain dotted address stays readable, anything else (and
// every project name, which may hold any character) is hashed.
QString hashed(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString directoryName(const QString &boxIp)
{
    static const QRegularExpression plain(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
    return plain.match(boxIp).hasMatch() ? boxIp : QStringLiteral("ip-") + hashed(boxIp);
}

} // namespace

DeploymentStore::DeploymentStore(const QString &root)
    : m_root(root.isEmpty()
                 ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                       + QStringLiteral("/deployments")
                 : root)
{
}

QString DeploymentStore::statusText(Status status, const QString &path)
{
    switch (status) {
    case Status::Ok:
        break;
    case Status::CannotCreate:
        return QCoreApplication::translate("DeploymentStore", "cannot create %1").arg(path);
    }
    return QString();
}

QString DeploymentStore::documentPath(const QString &boxIp, const QString &projectName) const
{
    return m_root + QLatin1Char('/') + directoryName(boxIp) + QLatin1Char('/') + hashed(projectName)
           + QStringLiteral(".json");
}

bool DeploymentStore::lastBytes(const QString &boxIp, const QString &projectName, QByteArray *bytes) const
{
    // A kept copy is a project document the tool wrote itself: the project file's bound.
    return ProjectFileIo::readBounded(documentPath(boxIp, projectName), ProjectFileIo::kProjectFileLimit, bytes).ok();
}

bool DeploymentStore::lastDocument(const QString &boxIp, const QString &projectName, QJsonObject *document) const
{
    QByteArray bytes;
    if (!lastBytes(boxIp, projectName, &bytes))
        return false;
    const QJsonDocument parsed = QJsonDocument::fromJson(bytes);
    if (!parsed.isObject())
        return false;
    *document = parsed.object();
    return true;
}

bool DeploymentStore::store(const QString &boxIp, const QString &projectName, const QByteArray &document,
                            QString *error) const
{
    const QString path = documentPath(boxIp, projectName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = statusText(Status::CannotCreate, QFileInfo(path).absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
