#pragma once

// Every box of one project in a table: link state and program version from a heartbeat, the
// last deployment made from this tool, and deployments to the checked rows at once ("Update
// project", "Update program"), at most N at a time, each row with its own progress and verdict.
// Non-modal; closing it while transfers run asks first and cancels them.

#include "core/deployment/FleetDeployment.h"

#include <QDialog>
#include <QList>
#include <QPersistentModelIndex>
#include <QSet>
#include <QStringList>

class Protocol;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStandardItem;
class QTableWidget;
class QTimer;

class FleetWindow : public QDialog
{
    Q_OBJECT
public:
    enum Column { NameColumn, IpColumn, LinkColumn, VersionColumn, LastColumn, ProgressColumn, ResultColumn, RetryColumn };

    explicit FleetWindow(QStandardItem *project, QWidget *parent = nullptr);
    ~FleetWindow() override;

    QTableWidget *table() const { return m_table; }
    FleetDeployment *deployment() const { return m_fleet; }
    void setChecked(int row, bool checked);

    // How long a heartbeat may take before the row reads "No reply".
    static constexpr int kHeartbeatWaitMs = 3000;

public slots:
    void refresh();
    void updateProject();
    void updateProgram();
    void cancel();
    void retry(int row);
    // The checked boxes as an Ansible inventory group, in a file the user chooses.
    void exportInventory();

signals:
    // A line for the Message dock.
    void messageAppended(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void leaveOutIfUnsafe(int row);
    QList<int> checkedRows() const;
    bool run(const QList<int> &rows);
    void showRow(int row);
    void showLast(int row);
    void setCell(int row, int column, const QString &text, const QString &toolTip = QString());
    void finishRefresh();
    void updateButtons();
    QStandardItem *project() const;

    QPersistentModelIndex m_project;
    QString m_projectName;
    QStringList m_names;
    QStringList m_ips;
    QStringList m_models;
    QSet<int> m_leftOut; // rows no transfer goes to
    QTableWidget *m_table = nullptr;
    QSpinBox *m_parallel = nullptr;
    QPushButton *m_refreshButton = nullptr;
    QPushButton *m_projectButton = nullptr;
    QPushButton *m_programButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QLabel *m_summary = nullptr;
    FleetDeployment *m_fleet = nullptr;
    QStringList m_copiesNotKept; // told once the run ends, not in a box per box mid-run
    QList<Protocol *> m_links;
    QTimer *m_heartbeatWait = nullptr;
};
