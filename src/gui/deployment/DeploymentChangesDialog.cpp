#include "gui/deployment/DeploymentChangesDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Certificates and keys are long texts; the list shows their start, the tool tip all of it.
constexpr int kShownLength = 80;

QString shown(const QString &value)
{
    return value.size() <= kShownLength ? value : value.left(kShownLength) + QStringLiteral("...");
}

QTreeWidgetItem *changeRow(const ProjectChange &change)
{
    QString kind;
    switch (change.kind) {
    case ProjectChange::Added: kind = DeploymentChangesDialog::tr("Added"); break;
    case ProjectChange::Removed: kind = DeploymentChangesDialog::tr("Removed"); break;
    case ProjectChange::Changed: kind = DeploymentChangesDialog::tr("Changed"); break;
    }
    auto *row = new QTreeWidgetItem({kind, change.place, change.label, shown(change.oldValue), shown(change.newValue)});
    row->setToolTip(1, change.place);
    row->setToolTip(2, change.label);
    row->setToolTip(3, change.oldValue);
    row->setToolTip(4, change.newValue);
    return row;
}

} // namespace

DeploymentChangesDialog::DeploymentChangesDialog(const ProjectChanges &changes, const QString &boxIp,
                                                 QWidget *parent)
    : QDialog(parent)
{
    build(tr("Compared with the project last sent to %1 from this computer, "
             "this deployment changes:")
              .arg(boxIp));
    m_view->setRootIsDecorated(false);
    for (const ProjectChange &change : changes)
        m_view->addTopLevelItem(changeRow(change));
}

DeploymentChangesDialog::DeploymentChangesDialog(const QList<BoxChanges> &boxes, QWidget *parent)
    : QDialog(parent)
{
    build(tr("Compared with the project last sent to each box from this computer, "
             "this deployment changes:"));
    for (const BoxChanges &box : boxes) {
        auto *entry = new QTreeWidgetItem(m_view);
        entry->setText(0, box.hasCopy ? tr("%1 (%2)").arg(box.name, box.ip)
                                      : tr("%1 (%2): never received this project from this computer, "
                                           "nothing to compare with")
                                            .arg(box.name, box.ip));
        entry->setFirstColumnSpanned(true);
        for (const ProjectChange &change : box.changes)
            entry->addChild(changeRow(change));
    }
    m_view->expandAll();
}

void DeploymentChangesDialog::build(const QString &introText)
{
    setWindowTitle(tr("Changes on the Box"));
    resize(860, 420);

    auto *intro = new QLabel(introText);
    intro->setWordWrap(true);

    m_view = new QTreeWidget;
    m_view->setHeaderLabels({tr("Change"), tr("Place"), tr("Field"), tr("Old value"), tr("New value")});
    m_view->setColumnWidth(0, 80);
    m_view->setColumnWidth(1, 260);
    m_view->setColumnWidth(2, 130);
    m_view->setColumnWidth(3, 160);

    auto *buttons = new QDialogButtonBox;
    QPushButton *send = buttons->addButton(tr("Send"), QDialogButtonBox::AcceptRole);
    send->setIcon(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")));
    QPushButton *cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setIcon(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
}
