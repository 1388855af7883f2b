#include "core/templates/TemplateLibrary.h"

#include "core/project/ProjectFileIo.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

const QString TemplateLibrary::FoldersKey = QStringLiteral("Templates/folders");
const QString TemplateLibrary::ExamplesFolder = QStringLiteral(":/templates");

namespace {

QString canonicalDir(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

TemplateLibrary::TemplateLibrary(const QString &ownFolder, const QStringList &folders)
    : m_ownFolder(ownFolder), m_folders(folders)
{
}

QString TemplateLibrary::defaultOwnFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/templates");
}

TemplateLibrary TemplateLibrary::fromSettings(QSettings &settings)
{
    return TemplateLibrary(defaultOwnFolder(), settings.value(FoldersKey).toStringList());
}

bool TemplateLibrary::readBytes(const QString &path, QByteArray *bytes, QString *error)
{
    if (path.startsWith(QLatin1Char(':'))) {
        // The shipped examples: resources of the program itself.
        QFile resource(path);
        if (!resource.open(QIODevice::ReadOnly)) {
            *error = tr("The file cannot be read: %1").arg(resource.errorString());
            return false;
        }
        *bytes = resource.read(DeviceTemplate::FileLimit);
        return true;
    }
    const ProjectFileIo::Result result = ProjectFileIo::readBounded(path, DeviceTemplate::FileLimit, bytes);
    if (!result.ok())
        *error = tr("The file cannot be read: %1").arg(result.error);
    return result.ok();
}

TemplateLibrary::Entry TemplateLibrary::read(const QString &path)
{
    Entry entry;
    entry.path = path;
    QByteArray bytes;
    QString error;
    if (!readBytes(path, &bytes, &error)) {
        entry.problems.append({QString(), -1, QString(), error});
        return entry;
    }
    DeviceTemplate::parse(bytes, &entry.device, &entry.problems);
    return entry;
}

bool TemplateLibrary::write(const DeviceTemplate &device, const QString &path, QString *error)
{
    QSaveFile file(path);
    const QByteArray bytes = device.toBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = tr("The template could not be written to %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QVector<TemplateLibrary::Entry> TemplateLibrary::list() const
{
    QVector<Entry> entries;
    QStringList seen;
    QStringList folders{m_ownFolder};
    folders.append(m_folders);
    folders.append(ExamplesFolder);
    const QString own = canonicalDir(m_ownFolder);
    for (const QString &folder : qAsConst(folders)) {
        if (folder.isEmpty())
            continue;
        const QString canonical = canonicalDir(folder);
        // A folder listed twice (or the own folder added again) is listed once.
        if (seen.contains(canonical))
            continue;
        seen.append(canonical);
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &file : files) {
            Entry entry = read(file.filePath());
            entry.own = canonical == own;
            entries.append(entry);
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.device.name.compare(b.device.name, Qt::CaseInsensitive) < 0;
    });
    return entries;
}

QString TemplateLibrary::freePathFor(const QString &templateName) const
{
    // A file name of the template's name, without what a file system or shell minds.
    static const QRegularExpression unsafe(QStringLiteral("[^\\w.\\- ]"), QRegularExpression::UseUnicodePropertiesOption);
    QString base = QString(templateName).replace(unsafe, QStringLiteral("_")).trimmed().left(80);
    if (base.isEmpty() || base.startsWith(QLatin1Char('.')))
        base.prepend(QStringLiteral("template"));
    const QDir dir(m_ownFolder);
    QString path = dir.filePath(base + QStringLiteral(".json"));
    for (int n = 2; QFileInfo::exists(path) && n < 10000; ++n)
        path = dir.filePath(QStringLiteral("%1-%2.json").arg(base).arg(n));
    return path;
}

bool TemplateLibrary::save(const DeviceTemplate &device, TemplateProblems *problems, QString *error, QString *savedPath)
{
    *problems = device.validate();
    if (!problems->isEmpty()) {
        *error = tr("The template has problems and was not saved.");
        return false;
    }
    if (!QDir().mkpath(m_ownFolder)) {
        *error = tr("The folder %1 cannot be made.").arg(m_ownFolder);
        return false;
    }
    const QString path = freePathFor(device.name);
    if (!write(device, path, error))
        return false;
    if (savedPath)
        *savedPath = path;
    return true;
}

bool TemplateLibrary::importFile(const QString &path, TemplateProblems *problems, QString *error, QString *savedPath)
{
    Entry entry = read(path);
    *problems = entry.problems;
    if (!entry.usable()) {
        *error = tr("The template %1 has problems and was not imported.").arg(QFileInfo(path).fileName());
        return false;
    }
    // What is copied is the template as read, so a file that carries more than the format
    // brings no more into the library; an example imported becomes the user's own.
    entry.device.example = false;
    return save(entry.device, problems, error, savedPath);
}

bool TemplateLibrary::remove(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (canonicalDir(info.absolutePath()) != canonicalDir(m_ownFolder)) {
        *error = tr("Only templates of your own folder can be deleted.");
        return false;
    }
    QFile file(path);
    if (!file.remove()) {
        *error = tr("%1 could not be deleted: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
