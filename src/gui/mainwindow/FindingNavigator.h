#pragma once

// Takes the user from a finding to its place: opens the item's editor through the main
// window's own commands, then shows the tab and selects the row.

#include <QString>

class CMainWindow;
class QStandardItem;
class QTabWidget;

class FindingNavigator
{
public:
    // `row` counts as the record does (1 = first point); -1 selects no row. False when the
    // item has no editor to open.
    static bool open(CMainWindow *window, QStandardItem *item, const QString &tab, int row);
    // The slave or meter tabs of the open "Edit Standard" editor, or null.
    static QTabWidget *standardEditorTabs(CMainWindow *window);
};
