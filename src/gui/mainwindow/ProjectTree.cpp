// Project tree: set-up, clicks and the per-kind context menus.

#include "gui/mainwindow/ProjectTree.h"

#include "gui/mainwindow/CMainWindow.h"

#include "gui/checks/ProjectChecksWindow.h"
#include "core/project/ItemRecord.h"

#include <QCursor>
#include <QFrame>
#include <QHeaderView>
#include <QMenu>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>

ProjectTree::ProjectTree(CMainWindow *window, QStandardItemModel *model, QTreeView *view,
                         QTabWidget *monitoringTabs)
    : QObject(window)
    , m_window(window)
    , m_model(model)
    , m_view(view)
    , m_monitoringTabs(monitoringTabs)
{
    m_model->setColumnCount(1);
    m_model->setHorizontalHeaderLabels({QObject::tr("Project Name")});
    m_view->setModel(m_model);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_view->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    // Names change only through the editors, never in place.
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->expandAll();

    connect(m_view, &QTreeView::clicked, window, &CMainWindow::prjectTreeView_clicked);
    connect(m_view, &QTreeView::pressed, window, &CMainWindow::prjectTreeView_pressed);
    connect(m_view, &QTreeView::doubleClicked, window, &CMainWindow::prjectTreeView_doubleClicked);
    connect(m_view, &QTreeView::doubleClicked, window, &CMainWindow::prjectTreeView_doubleClicked);
    connect(m_view, &QTreeView::customContextMenuRequested, window,
            &CMainWindow::prjectTreeView_MenuPopup);
}

QStandardItem *ProjectTree::currentItem() const
{
    const QModelIndex index = m_view->currentIndex();
    if (!index.isValid())
        return nullptr;
    return m_model->itemFromIndex(index);
}

void ProjectTree::setCurrent(QStandardItem *item)
{
    m_view->setCurrentIndex(item->index());
}

void ProjectTree::expandAll()
{
    m_view->expandAll();
}

bool ProjectTree::isFolder(const QStandardItem *item, const QString &text)
{
    return item && item->parent() && !item->parent()->parent() && item->text() == text;
}

bool ProjectTree::hasChildNamed(const QStandardItem *folder, const QString &name, const QStandardItem *except)
{
    for (int row = 0; row < folder->rowCount(); ++row) {
        const QStandardItem *child = folder->child(row);
        if (child && child != except && child->text() == name)
            return true;
    }
    return false;
}

QStandardItem *ProjectTree::projectOf(QStandardItem *item)
{
    while (item && item->parent())
        item = item->parent();
    return item;
}

void ProjectTree::clicked(const QModelIndex &index)
{
    QStandardItem *item = m_model->itemFromIndex(index);
    if (!item)
        return;
    if (!item->parent()) {
        m_window->slotEditProject();
        return;
    }
    QStandardItem *folder = item->parent();
    if (!folder->parent())
        return;
    const QString folderText = folder->text();
    if (folderText == Folder::Standard) {
        m_window->slotstandardEditFile();
    } else if (folderText == Folder::Service) {
        m_window->slotServiceEditFile();
    } else if (folderText == Folder::Box) {
        m_window->slotBoxEditFile();
    } else if (folderText == Folder::Data) {
        for (int i = 0; i < m_monitoringTabs->count(); ++i) {
            if (m_monitoringTabs->tabText(i) == item->text()) {
                m_monitoringTabs->setCurrentIndex(i);
                break;
            }
        }
    }
}

void ProjectTree::popupMenu(const QPoint &pos)
{
    if (m_menuSuppressed) {
        m_menuSuppressed = false;
        return;
    }
    const QModelIndex index = m_view->indexAt(pos);
    if (!index.isValid())
        return;
    QStandardItem *item = m_model->itemFromIndex(index);
    if (!item)
        return;

    QMenu menu(m_window);
    menu.setObjectName(QStringLiteral("projectTreeMenu"));
    auto add = [&](const QString &text, void (CMainWindow::*slot)()) {
        QAction *action = menu.addAction(text);
        connect(action, &QAction::triggered, m_window, slot);
    };

    if (!item->parent()) {
        add(tr("Edit Project"), &CMainWindow::slotEditProject);
        add(tr("Close Project"), &CMainWindow::slotDeleteProject);
        add(tr("Save Project"), &CMainWindow::saveProjectFile);
        connect(menu.addAction(tr("Check Project")), &QAction::triggered, m_window,
                [this, item] { ProjectChecksWindow::showFor(item, m_window); });
    } else if (!item->parent()->parent()) {
        const QString folder = item->text();
        if (folder == Folder::Standard) {
            add(tr("Add Standard"), &CMainWindow::standardAddFile);
            add(tr("Add from Template..."), &CMainWindow::standardAddFromTemplateFile);
            add(tr("Bus scan..."), &CMainWindow::standardBusScanFile);
        } else if (folder == Folder::Box) {
            add(tr("Add Box"), &CMainWindow::boxAddFile);
            add(tr("Search Box"), &CMainWindow::boxSearchFile);
            add(tr("Boxes..."), &CMainWindow::boxFleetFile);
        } else if (folder == Folder::Data) {
            add(tr("Delete All"), &CMainWindow::slotDeleteAllFile);
        }
    } else {
        const QString folder = item->parent()->text();
        if (folder == Folder::Standard) {
            add(tr("Editing Standard"), &CMainWindow::slotstandardEditFile);
            add(tr("Delete"), &CMainWindow::slotDeleteFile);
        } else if (folder == Folder::Service) {
            add(tr("Editing Service"), &CMainWindow::slotServiceEditFile);
        } else if (folder == Folder::Box) {
            add(tr("Editing Box"), &CMainWindow::slotBoxEditFile);
            add(tr("Delete"), &CMainWindow::slotDeleteFile);
        } else if (folder == Folder::Data) {
            add(tr("Delete"), &CMainWindow::slotDeleteFile);
        }
    }

    m_menuSuppressed = true;
    menu.exec(QCursor::pos());
}
