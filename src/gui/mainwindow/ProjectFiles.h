#pragma once

// Project file commands: files, debug lines and message boxes around the serialiser and loader
// of ProjectJson. Each project remembers, in memory only, the file it was last loaded from or
// saved to; <directory>/<name>.json may only be written when it is that file or new.

#include <QCoreApplication>
#include <QObject>

class ProjectTree;
class UnsavedProjects;
class QStandardItem;
class QStandardItemModel;
class QWidget;

class ProjectFiles : public QObject
{
    // Its texts are the main window's, and translated as such.
    Q_DECLARE_TR_FUNCTIONS(CMainWindow)
public:
    ProjectFiles(QWidget *window, QStandardItemModel *model, ProjectTree *tree, UnsavedProjects *unsaved);

    void rememberProjectFile(QStandardItem *project, const QString &filePath);
    bool projectFileTaken(const QStandardItem *project, const QString &directory,
                          const QString &name) const;
    void warnProjectFileTaken();

    // Writes the project to <directory>/<name>.json; false, after telling the user, when not.
    // A success is confirmed with a message box unless `confirmInBox` is false (the caller
    // reports it).
    bool saveJsonFile(QStandardItem *selectedItem, bool confirmInBox = true);
    // Saves the project the item belongs to.
    void saveProjectFile(QStandardItem *item);
    bool saveProjectAllFile();
    // Asks for a file and opens (or merges) the project it holds.
    void loadJsonFile();

private:
    QWidget *m_window;
    QStandardItemModel *m_model;
    ProjectTree *m_tree;
    UnsavedProjects *m_unsaved;
};
