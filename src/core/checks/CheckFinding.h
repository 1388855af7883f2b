#pragma once

// One result of the project checks: what is wrong, how badly, and where to look.

#include <QList>
#include <QString>

class QStandardItem;

struct CheckFinding
{
    enum Severity { Warning, Error };

    Severity severity = Error;
    // The device or service the finding concerns; the project item for project-wide ones.
    QStandardItem *item = nullptr;
    // Slave or meter tab title; empty when the finding concerns the item as a whole.
    QString tab;
    // Row of the tab's point table as the record numbers it (1 = first point); -1: none.
    int row = -1;
    // Already translated.
    QString text;
};

using CheckFindings = QList<CheckFinding>;
