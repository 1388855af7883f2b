#pragma once

// The project document: one project item and everything below it as a JSON object, and the
// way back from such an object into the tree. Pure model code, shared by saving, loading and
// deployment; the main window only adds files and message boxes around it.

#include "core/project/ProjectFileIo.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>
#include <QVector>

class QStandardItem;
class QStandardItemModel;

namespace ProjectJson {

// The root object for one project item. Reads the tree, changes nothing.
QJsonObject buildProjectJson(const QStandardItem *project);
// The file's bytes: exactly QJsonDocument(buildProjectJson(project)).toJson(), written
// straight from the tree (saving and deployment use this).
QByteArray projectFileBytes(const QStandardItem *project);

// <directory (role 257)><separator><project name>.json
QString projectFilePath(const QStandardItem *project);

// Record loaders: copy one file object into an item's record. Missing keys read as empty text.
void loadStandardRecord(const QJsonObject &standardObj, QStandardItem *item);
void loadServiceRecord(const QJsonObject &serviceObj, QStandardItem *item);
void loadBoxRecord(const QJsonObject &boxObj, QStandardItem *item);

struct LoadOutcome
{
    QStandardItem *project = nullptr; // the project loaded into
    bool createdProject = false;      // false: merged into an open project of the same name
};

// A name that more than one element of one array of a document carries.
struct DuplicateName
{
    QString folder; // the tree folder the array loads into: "Standard", "Service" or "Box"
    QString name;
};

// Every name repeated within the "standards", "services" or "boxs" array of a document, once
// each, by folder and then in the order of first repetition. Items are told apart by name
// (loading into an open project, live data), so such a document cannot be loaded faithfully.
QVector<DuplicateName> duplicateNames(const QJsonObject &root);

// Loads a parsed project document into the model: merges into the first open project of the
// same name (items matched by name are updated in place, new ones appended, nothing removed,
// description and directory kept) or appends a new project whose directory is
// `fileDirectory`. Cannot fail part-way: every value of the wrong type reads as missing.
// Each open item takes at most one element of the document, so elements sharing a name are
// never merged into one item: each stays an item of its own (the window refuses such a
// document first; the checks of a deployment then see every element).
LoadOutcome loadProjectIntoModel(QStandardItemModel *model, const QJsonObject &root,
                                 const QString &fileDirectory);

// What loadProjectFile did, stage by stage. Every stage but Loaded leaves the model as it was.
struct FileLoad
{
    enum Stage {
        Loaded,
        ReadFailed,     // `read` tells how (missing, a directory, too large, unreadable)
        NotJson,        // `parseError`: its errorString() and the byte offset
        NotAnObject,    // valid JSON, but an array or a scalar
        BadName,        // `name` cannot be a file name (ProjectFileIo::isPlainFileName)
        DuplicateNames, // `duplicates` lists them
    };
    Stage stage = Loaded;
    ProjectFileIo::Result read;
    QJsonParseError parseError{};
    QString name;        // the document's "name", once it parsed as an object
    QString description; // the document's "description", likewise
    QVector<DuplicateName> duplicates;
    LoadOutcome outcome; // when Loaded

    bool ok() const { return stage == Loaded; }
};

// The whole load of a project file: a bounded read of `path` (ProjectFileIo::readFile), the
// parse, the checks that would make a faithful load impossible, and loadProjectIntoModel with
// the file's absolute directory. The file's bytes and the parsed document are released before
// it returns, and the freed heap is handed back to the system, so that a large load leaves no
// more memory in use than the items it made.
FileLoad loadProjectFile(QStandardItemModel *model, const QString &path);

} // namespace ProjectJson
