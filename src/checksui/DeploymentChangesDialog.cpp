#include "checksui/DeploymentChangesDialog.h"

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

} // namespace

DeploymentChangesDialog::DeploymentChangesDialog(const ProjectChanges &changes, const QString &boxIp,
                                                 QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Changes on the Box"));
    resize(860, 420);

    auto *intro = new QLabel(tr("Compared with the project last sent to %1 from this computer, "
                                "this deployment changes:")
                                 .arg(boxIp));
    intro->setWordWrap(true);

    m_view = new QTreeWidget;
    m_view->setRootIsDecorated(false);
    m_view->setHeaderLabels({tr("Change"), tr("Place"), tr("Field"), tr("Old value"), tr("New value")});
    m_view->setColumnWidth(0, 80);
    m_view->setColumnWidth(1, 260);
    m_view->setColumnWidth(2, 130);
    m_view->setColumnWidth(3, 160);
    for (const ProjectChange &change : changes) {
        QString kind;
        switch (change.kind) {
        case ProjectChange::Added: kind = tr("Added"); break;
        case ProjectChange::Removed: kind = tr("Removed"); break;
        case ProjectChange::Changed: kind = tr("Changed"); break;
        }
        auto *row = new QTreeWidgetItem({kind, change.place, change.field, shown(change.oldValue),
                                         shown(change.newValue)});
        row->setToolTip(1, change.place);
        row->setToolTip(3, change.oldValue);
        row->setToolTip(4, change.newValue);
        m_view->addTopLevelItem(row);
    }

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
