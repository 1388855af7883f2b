#pragma once

// Lists the findings of the project checks: severity, item, place and text. Double-clicking
// a finding opens the item's editor on its tab with its row selected. One window per project,
// not modal, so the user can fix and check again while it stays open.

#include "core/checks/CheckFinding.h"

#include <QDialog>
#include <QList>
#include <QPersistentModelIndex>

class QLabel;
class QStandardItem;
class QTreeWidget;
class QTreeWidgetItem;

class ProjectChecksWindow : public QDialog
{
    Q_OBJECT
public:
    ProjectChecksWindow(QStandardItem *project, QWidget *parent);

    // The project's window (created on first use), checked afresh, shown and raised.
    static ProjectChecksWindow *showFor(QStandardItem *project, QWidget *parent);

    void setFindings(const CheckFindings &findings);
    // A line above the list, e.g. why a deployment did not start; empty hides it.
    void setNotice(const QString &text);

    QTreeWidget *findingsView() const { return m_view; }
    QLabel *summaryLabel() const { return m_summary; }

public slots:
    void recheck();
    // Opens the editor at the finding in row `index` of the list.
    void openFinding(int index);

private:
    struct Target
    {
        QPersistentModelIndex item;
        QString tab;
        int row;
    };

    QPersistentModelIndex m_project;
    QLabel *m_notice = nullptr;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_view = nullptr;
    QList<Target> m_targets;
};
