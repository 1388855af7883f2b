// Project tree: set-up, clicks and the per-kind context menus.

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

void CMainWindow::setupProjectTree()
{
    m_projectModel->setColumnCount(1);
    m_projectModel->setHorizontalHeaderLabels({QObject::tr("Project Name")});
    m_projectView->setModel(m_projectModel);
    m_projectView->setFrameShape(QFrame::NoFrame);
    m_projectView->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_projectView->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_projectView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Names change only through the editors, never in place.
    m_projectView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_projectView->expandAll();

    connect(m_projectView, &QTreeView::clicked, this, &CMainWindow::prjectTreeView_clicked);
    connect(m_projectView, &QTreeView::pressed, this, &CMainWindow::prjectTreeView_pressed);
    connect(m_projectView, &QTreeView::doubleClicked, this, &CMainWindow::prjectTreeView_doubleClicked);
    connect(m_projectView, &QTreeView::doubleClicked, this, &CMainWindow::prjectTreeView_doubleClicked);
    connect(m_projectView, &QTreeView::customContextMenuRequested, this,
            &CMainWindow::prjectTreeView_MenuPopup);
}

void CMainWindow::prjectTreeView_clicked(QModelIndex index)
{
    QStandardItem *item = m_projectModel->itemFromIndex(index);
    if (!item)
        return;
    if (!item->parent()) {
        slotEditProject();
        return;
    }
    QStandardItem *folder = item->parent();
    if (!folder->parent())
        return;
    const QString folderText = folder->text();
    if (folderText == Folder::Standard) {
        slotstandardEditFile();
    } else if (folderText == Folder::Service) {
        slotServiceEditFile();
    } else if (folderText == Folder::Box) {
        slotBoxEditFile();
    } else if (folderText == Folder::Data) {
        for (int i = 0; i < m_monitoringTabs->count(); ++i) {
            if (m_monitoringTabs->tabText(i) == item->text()) {
                m_monitoringTabs->setCurrentIndex(i);
                break;
            }
        }
    }
}

void CMainWindow::prjectTreeView_pressed(QModelIndex)
{
}

void CMainWindow::prjectTreeView_doubleClicked(QModelIndex)
{
}

void CMainWindow::prjectTreeView_MenuPopup(const QPoint &pos)
{
    if (m_menuSuppressed) {
        m_menuSuppressed = false;
        return;
    }
    const QModelIndex index = m_projectView->indexAt(pos);
    if (!index.isValid())
        return;
    QStandardItem *item = m_projectModel->itemFromIndex(index);
    if (!item)
        return;

    QMenu menu(this);
    menu.setObjectName(QStringLiteral("projectTreeMenu"));
    auto add = [&](const QString &text, void (CMainWindow::*slot)()) {
        QAction *action = menu.addAction(text);
        connect(action, &QAction::triggered, this, slot);
    };

    if (!item->parent()) {
        add(tr("Edit Project"), &CMainWindow::slotEditProject);
        add(tr("Close Project"), &CMainWindow::slotDeleteProject);
        add(tr("Save Project"), &CMainWindow::saveProjectFile);
        connect(menu.addAction(tr("Check Project")), &QAction::triggered, this,
                [this, item] { ProjectChecksWindow::showFor(item, this); });
    } else if (!item->parent()->parent()) {
        const QString folder = item->text();
        if (folder == Folder::Standard) {
            add(tr("Add Standard"), &CMainWindow::standardAddFile);
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
