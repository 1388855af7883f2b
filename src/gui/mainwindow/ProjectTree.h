#pragma once

// The project tree beside the edit docks: its set-up, the current item, clicks and the per-kind
// context menus, whose entries run the window's commands; and the folder helpers the commands
// share.

#include <QCoreApplication>
#include <QObject>

class CMainWindow;
class QModelIndex;
class QPoint;
class QStandardItem;
class QStandardItemModel;
class QTabWidget;
class QTreeView;

class ProjectTree : public QObject
{
    // Its texts are the main window's, and translated as such.
    Q_DECLARE_TR_FUNCTIONS(CMainWindow)
public:
    ProjectTree(CMainWindow *window, QStandardItemModel *model, QTreeView *view, QTabWidget *monitoringTabs);

    QStandardItem *currentItem() const;
    void setCurrent(QStandardItem *item);
    void expandAll();

    // A click opens the item's editor, or shows a data item's table.
    void clicked(const QModelIndex &index);
    void popupMenu(const QPoint &pos);

    // A folder (Standard, Service, Box, Data) of an open project with this text.
    static bool isFolder(const QStandardItem *item, const QString &text);
    static bool hasChildNamed(const QStandardItem *folder, const QString &name,
                              const QStandardItem *except = nullptr);
    static QStandardItem *projectOf(QStandardItem *item);

private:
    CMainWindow *m_window;
    QStandardItemModel *m_model;
    QTreeView *m_view;
    QTabWidget *m_monitoringTabs;
    bool m_menuSuppressed = false;
};
