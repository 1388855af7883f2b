#pragma once

// Where templates live: the user's own folder in the data directory (written by the tool), the
// folders the user adds (a shared drive, say; read only), and the examples the program ships.
// Every file is read with a size limit and checked before it is listed as usable; writes go
// through a temporary file that replaces the old one only when complete.

#include "core/templates/DeviceTemplate.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

class QSettings;

class TemplateLibrary
{
    Q_DECLARE_TR_FUNCTIONS(TemplateLibrary)
public:
    // Settings.ini key of the added folders.
    static const QString FoldersKey; // "Templates/folders"
    // The shipped examples, in the resources.
    static const QString ExamplesFolder; // ":/templates"

    struct Entry
    {
        QString path;
        DeviceTemplate device;   // what could be read, also when it has problems
        TemplateProblems problems;
        bool own = false;        // in the user's folder: may be deleted

        bool usable() const { return problems.isEmpty(); }
    };

    // ownFolder: where imports and saves go; folders: further folders to list.
    TemplateLibrary(const QString &ownFolder, const QStringList &folders);
    // The user's folder "templates" in the data directory and the folders of Settings.ini.
    static TemplateLibrary fromSettings(QSettings &settings);
    static QString defaultOwnFolder();

    QString ownFolder() const { return m_ownFolder; }
    QStringList folders() const { return m_folders; }

    // Every *.json of the own folder, the added folders and the examples, sorted by name.
    QVector<Entry> list() const;

    // The bytes of a template file or shipped example, at most DeviceTemplate::FileLimit;
    // false with a translated reason.
    static bool readBytes(const QString &path, QByteArray *bytes, QString *error);
    // Reads one file (size-limited) and checks it.
    static Entry read(const QString &path);
    // Writes the template to `path` whole or not at all; false with a translated reason.
    static bool write(const DeviceTemplate &device, const QString &path, QString *error);

    // Checks the file, then copies the template into the own folder under a free file name;
    // a file with problems is refused and nothing is copied. `savedPath` gets the new path.
    bool importFile(const QString &path, TemplateProblems *problems, QString *error, QString *savedPath = nullptr);
    // Saves a template (checked first) into the own folder.
    bool save(const DeviceTemplate &device, TemplateProblems *problems, QString *error, QString *savedPath = nullptr);
    // Deletes a file of the own folder; files elsewhere are left alone.
    bool remove(const QString &path, QString *error);

private:
    QString freePathFor(const QString &templateName) const;

    QString m_ownFolder;
    QStringList m_folders;
};
