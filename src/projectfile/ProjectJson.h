#pragma once

// The project document: one project item and everything below it as a JSON object, and the
// way back from such an object into the tree. Pure model code, shared by saving, loading and
// deployment; the main window only adds files and message boxes around it.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

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

// Loads a parsed project document into the model: merges into the first open project of the
// same name (items matched by name are updated in place, new ones appended, nothing removed,
// description and directory kept) or appends a new project whose directory is
// `fileDirectory`. Cannot fail part-way: every value of the wrong type reads as missing.
LoadOutcome loadProjectIntoModel(QStandardItemModel *model, const QJsonObject &root,
                                 const QString &fileDirectory);

} // namespace ProjectJson
