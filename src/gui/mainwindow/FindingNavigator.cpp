#include "gui/mainwindow/FindingNavigator.h"

#include "gui/devices/standardDLT645EditDialog.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QPointer>
#include <QScrollArea>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeView>

namespace {

// The Modbus editor builds its tabs on a zero-delay timer after it opens; a few turns of the
// event loop are enough, the bound only keeps a missing tab from retrying for ever.
constexpr int kAttempts = 20;

// Scrolls the table to the row, and the editor's scroll area to where the row is, so the
// finding's row is on screen and not only selected below the fold.
void showRow(QTableWidget *table, int row)
{
    const QModelIndex index = table->model()->index(row, 0);
    table->scrollTo(index);
    const QRect cell = table->visualRect(index);
    for (QWidget *up = table->parentWidget(); up; up = up->parentWidget()) {
        auto *area = qobject_cast<QScrollArea *>(up);
        if (!area || !area->widget())
            continue;
        const QPoint centre = table->viewport()->mapTo(area->widget(), cell.center());
        area->ensureVisible(centre.x(), centre.y(), cell.width() / 2, cell.height());
        return;
    }
}

void selectPlace(QPointer<CMainWindow> window, QString tab, int row, int attemptsLeft)
{
    if (!window)
        return;
    QTabWidget *tabs = FindingNavigator::standardEditorTabs(window);
    int index = -1;
    for (int i = 0; tabs && i < tabs->count(); ++i)
        if (tabs->tabText(i) == tab)
            index = i;
    if (index < 0) {
        if (attemptsLeft > 0)
            QTimer::singleShot(0, window, [=] { selectPlace(window, tab, row, attemptsLeft - 1); });
        return;
    }
    tabs->setCurrentIndex(index);
    QTableWidget *table = tabs->widget(index)->findChild<QTableWidget *>();
    if (!table || row < 1 || row > table->rowCount())
        return;
    table->selectRow(row - 1);
    table->setFocus();
    showRow(table, row - 1);
    // The dock was just laid out, or is about to be: once more when the geometry has settled.
    QTimer::singleShot(0, table, [table, row] { showRow(table, row - 1); });
}

} // namespace

bool FindingNavigator::open(CMainWindow *window, QStandardItem *item, const QString &tab, int row)
{
    if (!window || !item || !item->parent() || !item->parent()->parent())
        return false;
    const QString folder = item->parent()->text();
    window->projectView()->setCurrentIndex(item->index());
    if (folder == Folder::Service) {
        window->slotServiceEditFile();
        return true;
    }
    // A box's own addresses are checked too: its editor is where they are mended.
    if (folder == Folder::Box) {
        window->slotBoxEditFile();
        return true;
    }
    if (folder != Folder::Standard)
        return false;
    window->slotstandardEditFile();
    if (!tab.isEmpty())
        selectPlace(window, tab, row, kAttempts);
    return true;
}

QTabWidget *FindingNavigator::standardEditorTabs(CMainWindow *window)
{
    ads::CDockWidget *dock = window->findEditDock(EditDockKind::Standard);
    if (!dock)
        return nullptr;
    if (auto *modbus = qobject_cast<standardModbusEditDialog *>(dock->widget()))
        return modbus->tabWidget();
    if (auto *dlt645 = qobject_cast<standardDLT645EditDialog *>(dock->widget()))
        return dlt645->tabWidget();
    return nullptr;
}

bool CMainWindow::openFinding(QStandardItem *item, const QString &tab, int row)
{
    return FindingNavigator::open(this, item, tab, row);
}
