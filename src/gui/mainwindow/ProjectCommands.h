#pragma once

// Project and item commands of the window: create, edit and close projects, add standard
// devices and boxes (typed in, or found by a search), open the fleet window, delete items.

#include <QCoreApplication>
#include <QObject>

class CMainWindow;
class EditDocks;
class ItemEditors;
class ProjectFiles;
class ProjectTree;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;

class ProjectCommands : public QObject
{
    // Its texts are the main window's, and translated as such.
    Q_DECLARE_TR_FUNCTIONS(CMainWindow)
public:
    ProjectCommands(CMainWindow *window, QStandardItemModel *model, ProjectTree *tree, EditDocks *docks,
                    ItemEditors *editors, ProjectFiles *files);

    void newProject();
    void createProject(const QString &name, const QString &path, const QString &description);
    void editProject(QStandardItem *project);
    void closeProject(QStandardItem *project);

    void addStandard(QStandardItem *folder);
    // "Add from Template..." for a Standard folder: devices of one template, previewed first.
    void addFromTemplate(QStandardItem *folder);
    void showTemplates();
    // "Bus scan..." of a Standard folder: each "Add as slave tab" makes a new Modbus device on
    // the link it was found at, with that station's tab.
    void busScanForNewDevice(QStandardItem *folder);
    // "Add Box" for a Box folder; ip and model (when one of those offered) are filled in.
    void addBox(QStandardItem *folder, const QString &ip, const QString &model);
    void searchBoxes(QStandardItem *folder);
    void showFleet(QStandardItem *folder);

    void deleteItem(QStandardItem *item);
    void deleteAllData(QStandardItem *folder);

private:
    // A new device under the Standard folder; null (after a warning) for a name that is empty or taken.
    QStandardItem *createStandard(QStandardItem *folder, const QString &name, const QString &protocol);
    void updateProject(const QModelIndex &project, const QString &name, const QString &path,
                       const QString &description);

    CMainWindow *m_window;
    QStandardItemModel *m_model;
    ProjectTree *m_tree;
    EditDocks *m_docks;
    ItemEditors *m_editors;
    ProjectFiles *m_files;
};
