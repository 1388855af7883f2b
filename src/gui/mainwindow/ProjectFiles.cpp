// Project file commands of the main window: files, debug lines and message boxes around the
// serialiser and loader of ProjectJson.

#include "gui/mainwindow/ProjectFiles.h"

#include "gui/mainwindow/ProjectTree.h"
#include "gui/mainwindow/UnsavedProjects.h"

#include "gui/widgets/FileDialogs.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectFileIo.h"
#include "core/project/ProjectJson.h"
#include "gui/project/ProjectNameCheck.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QStringList>
#include <QTreeView>

namespace {
// The file a project was last loaded from or saved to. Kept on the item, so it goes with the
// project, but never written anywhere: the project file does not name itself.
constexpr int kProjectFileRole = Qt::UserRole + 0x7000;
} // namespace

ProjectFiles::ProjectFiles(QWidget *window, QStandardItemModel *model, ProjectTree *tree,
                           UnsavedProjects *unsaved)
    : QObject(window)
    , m_window(window)
    , m_model(model)
    , m_tree(tree)
    , m_unsaved(unsaved)
{
}

void ProjectFiles::rememberProjectFile(QStandardItem *project, const QString &filePath)
{
    project->setData(QFileInfo(filePath).absoluteFilePath(), kProjectFileRole);
}

bool ProjectFiles::projectFileTaken(const QStandardItem *project, const QString &directory,
                                   const QString &name) const
{
    const QFileInfo target(directory + QDir::separator() + name + QStringLiteral(".json"));
    if (!target.exists())
        return false;
    const QString own = QFileInfo(project->data(kProjectFileRole).toString()).canonicalFilePath();
    return own.isEmpty() || own != target.canonicalFilePath();
}

void ProjectFiles::warnProjectFileTaken()
{
    QMessageBox::warning(m_window, tr("Warning"),
                         tr("A project with the same name already exists in the selected directory. "
                            "Please use a different name."));
}

bool ProjectFiles::saveJsonFile(QStandardItem *selectedItem, bool confirmInBox)
{
    if (!selectedItem)
        return false;
    // The bytes of QJsonDocument(buildProjectJson(selectedItem)).toJson(), written directly.
    const QByteArray bytes = ProjectJson::projectFileBytes(selectedItem);
    const QString filePath = ProjectJson::projectFilePath(selectedItem);
    if (!ProjectNameCheck::accept(m_window, selectedItem->text()))
        return false;
    // Another project's file may have appeared under this name since the last look.
    if (projectFileTaken(selectedItem, selectedItem->data(Role::ProjectPath).toString(), selectedItem->text())) {
        qDebug() << "Not overwriting another project's file:" << filePath;
        warnProjectFileTaken();
        return false;
    }

    const ProjectFileIo::Result result = ProjectFileIo::writeFile(filePath, bytes);
    if (!result.ok()) {
        if (result.stage == ProjectFileIo::Result::OpenFailed)
            qDebug() << "Could not open file for writing:" << result.error;
        else
            qDebug() << "Error writing to file:" << result.error;
        // The previous file is untouched; the caller keeps the project open.
        QMessageBox::warning(m_window, tr("Save Failed"),
                             tr("Could not save the project to file:\n%1\n%2")
                                 .arg(filePath, result.error));
        return false;
    }
    rememberProjectFile(selectedItem, filePath);
    m_unsaved->markSaved(selectedItem, bytes);

    qDebug() << "JSON data saved to file:" << filePath;
    if (confirmInBox)
        QMessageBox::information(m_window, tr("Save Successful"),
                                 tr("JSON data saved to file:\n%1").arg(filePath));
    return true;
}

void ProjectFiles::saveProjectFile(QStandardItem *item)
{
    if (!item) {
        qDebug() << "No project selected.";
        return;
    }
    // Only the project entry offers this command, but a device or box made current in
    // between must not be written as if it were a project (its role 257 is no directory).
    while (item->parent())
        item = item->parent();
    saveJsonFile(item);
}

bool ProjectFiles::saveProjectAllFile()
{
    QStandardItem *root = m_model->invisibleRootItem();
    if (!root) {
        qDebug() << "Root item not found.";
        return false;
    }
    bool allSaved = true;
    for (int row = 0; row < root->rowCount(); ++row) {
        if (!saveJsonFile(root->child(row)))
            allSaved = false;
    }
    return allSaved;
}

void ProjectFiles::loadJsonFile()
{
    const QString filePath = FileDialogs::getOpenFileName(
        m_window, tr("Open JSON File"), QDir::homePath(), tr("JSON Files (*.json)"));
    if (filePath.isEmpty()) {
        qDebug() << "File path is empty.";
        return;
    }

    // Read, parse, check and load in core, which gives the load's temporary memory back.
    const ProjectJson::FileLoad load = ProjectJson::loadProjectFile(m_model, filePath);
    if (load.stage == ProjectJson::FileLoad::Loaded || load.stage == ProjectJson::FileLoad::BadName
        || load.stage == ProjectJson::FileLoad::DuplicateNames) {
        qDebug() << "Project Name:" << load.name;
        qDebug() << "Project Description:" << load.description;
    }
    QString reason;
    switch (load.stage) {
    case ProjectJson::FileLoad::Loaded:
        break;
    case ProjectJson::FileLoad::ReadFailed:
        qDebug() << "Could not open file for reading:" << load.read.error;
        reason = load.read.error;
        break;
    case ProjectJson::FileLoad::NotJson:
        qDebug() << "Failed to create valid JSON document";
        reason = load.parseError.errorString();
        break;
    case ProjectJson::FileLoad::NotAnObject:
        qDebug() << "Failed to create valid JSON document";
        reason = tr("The file does not hold a JSON object.");
        break;
    case ProjectJson::FileLoad::BadName:
        // The name would become the next save's file name.
        reason = ProjectNameCheck::problem(load.name);
        break;
    case ProjectJson::FileLoad::DuplicateNames: {
        // Items are told apart by name: merged, the first of two would be lost with the next save.
        QStringList named;
        for (const ProjectJson::DuplicateName &duplicate : load.duplicates)
            named << tr("\"%1\" in %2").arg(duplicate.name, duplicate.folder);
        qDebug() << "Names used more than once:" << named;
        reason = tr("More than one item of a folder has the same name: %1. "
                    "Give each item a name of its own.")
                     .arg(named.join(QStringLiteral(", ")));
        break;
    }
    }
    if (!load.ok()) {
        QMessageBox::warning(m_window, tr("Load Failed"),
                             tr("Could not load the project file:\n%1\n%2").arg(filePath, reason));
        return;
    }
    // A merge keeps the open project's directory, and with it the file that project owns; the
    // merged project is what that file does not hold yet. A project new from the file is
    // judged by what it would save now, so a file of an older layout marks nothing.
    if (load.outcome.createdProject) {
        rememberProjectFile(load.outcome.project, filePath);
        m_unsaved->markSaved(load.outcome.project, ProjectJson::projectFileBytes(load.outcome.project));
    }

    m_tree->expandAll();
    QMessageBox::information(m_window, tr("Load Successful"),
                             tr("JSON data loaded from file:\n%1").arg(filePath));
}
