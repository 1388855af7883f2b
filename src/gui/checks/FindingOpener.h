#pragma once

// What the checks window and the deployment questions need of the window that hosts them:
// take the user to a finding's place. The main window implements it; they ask this, not
// the window class, so nothing outside the main window's folder includes it.

#include <QString>

class QStandardItem;
class QWidget;

class FindingOpener
{
public:
    virtual ~FindingOpener() = default;

    // Opens the editor of `item` and, on a slave or meter tab `tab`, selects `row` (1 = first
    // point; -1 selects none). False when the item has no editor.
    virtual bool openFinding(QStandardItem *item, const QString &tab, int row) = 0;

    // The widget that hosts findings for `widget`: itself or a parent, else a top-level window
    // (editors and dialogs may sit in floating docks); null when there is none.
    static QWidget *hostOf(QWidget *widget);
    static FindingOpener *of(QWidget *widget);
};
