#include "gui/checks/ProjectChecksWindow.h"

#include "core/checks/ProjectChecker.h"
#include "gui/checks/FindingOpener.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {


QStandardItem *itemAt(const QPersistentModelIndex &index)
{
    if (!index.isValid())
        return nullptr;
    auto *model = qobject_cast<const QStandardItemModel *>(index.model());
    return model ? model->itemFromIndex(index) : nullptr;
}

} // namespace

ProjectChecksWindow::ProjectChecksWindow(QStandardItem *project, QWidget *parent)
    : QDialog(parent), m_project(project ? project->index() : QModelIndex())
{
    setWindowTitle(tr("Check Project: %1").arg(project ? project->text() : QString()));
    setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/project_manage.svg")));
    resize(820, 420);

    m_notice = new QLabel;
    m_notice->setWordWrap(true);
    m_notice->setStyleSheet(QStringLiteral("QLabel { color: #B00020; font-weight: bold; }"));
    m_notice->hide();
    m_summary = new QLabel;

    m_view = new QTreeWidget;
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setHeaderLabels({tr("Severity"), tr("Item"), tr("Place"), tr("Text")});
    m_view->header()->setStretchLastSection(true);
    m_view->setColumnWidth(0, 80);
    m_view->setColumnWidth(1, 120);
    m_view->setColumnWidth(2, 140);
    connect(m_view, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *row, int) { openFinding(m_view->indexOfTopLevelItem(row)); });

    auto *again = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Check Again"));
    auto *close = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Close"));
    connect(again, &QPushButton::clicked, this, &ProjectChecksWindow::recheck);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(again);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_notice);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
}

ProjectChecksWindow *ProjectChecksWindow::showFor(QStandardItem *project, QWidget *parent)
{
    ProjectChecksWindow *window = nullptr;
    const QList<ProjectChecksWindow *> open =
        parent ? parent->findChildren<ProjectChecksWindow *>(QString(), Qt::FindDirectChildrenOnly)
               : QList<ProjectChecksWindow *>();
    for (ProjectChecksWindow *candidate : open)
        if (candidate->m_project == project->index())
            window = candidate;
    if (!window) {
        window = new ProjectChecksWindow(project, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->setNotice(QString());
    window->recheck();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ProjectChecksWindow::recheck()
{
    // A closed project has nothing left to check or to open.
    QStandardItem *project = itemAt(m_project);
    if (!project) {
        close();
        return;
    }
    setFindings(ProjectChecker::check(project));
}

void ProjectChecksWindow::setNotice(const QString &text)
{
    m_notice->setText(text);
    m_notice->setVisible(!text.isEmpty());
}

void ProjectChecksWindow::setFindings(const CheckFindings &findings)
{
    m_view->clear();
    m_targets.clear();
    int errors = 0;
    QList<QTreeWidgetItem *> rows;
    for (const CheckFinding &f : findings) {
        const bool error = f.severity == CheckFinding::Error;
        errors += error ? 1 : 0;
        QString place = f.tab;
        if (f.row > 0)
            place = tr("%1, row %2").arg(f.tab).arg(f.row);
        auto *row = new QTreeWidgetItem(
            {error ? tr("Error") : tr("Warning"), f.item ? f.item->text() : QString(), place, f.text});
        row->setToolTip(3, f.text);
        row->setForeground(0, QBrush(error ? QColor(0xB0, 0x00, 0x20) : QColor(0xA0, 0x60, 0x00)));
        rows << row;
        m_targets.append({f.item ? QPersistentModelIndex(f.item->index()) : QPersistentModelIndex(), f.tab, f.row});
    }
    m_view->addTopLevelItems(rows);
    const int warnings = findings.size() - errors;
    m_summary->setText(findings.isEmpty() ? tr("No problems found.")
                                          : tr("%1 error(s), %2 warning(s).").arg(errors).arg(warnings));
}

void ProjectChecksWindow::openFinding(int index)
{
    if (index < 0 || index >= m_targets.size())
        return;
    const Target &target = m_targets.at(index);
    if (FindingOpener *opener = FindingOpener::of(parentWidget()))
        opener->openFinding(itemAt(target.item), target.tab, target.row);
}
