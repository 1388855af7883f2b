#include "gui/deployment/FleetWindow.h"

#include "core/support/AppPaths.h"
#include "gui/widgets/FileDialogs.h"
#include "core/boxlink/Protocol.h"
#include "core/deployment/AnsibleInventory.h"
#include "core/deployment/DeploymentLog.h"
#include "core/deployment/ProjectDeployment.h"
#include "gui/deployment/DeploymentGate.h"
#include "core/project/Ipv4Address.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QSaveFile>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {
const QString kParallelKey = QStringLiteral("Fleet/parallel");
}

FleetWindow::FleetWindow(QStandardItem *project, QWidget *parent)
    : QDialog(parent)
    , m_project(project ? project->index() : QModelIndex())
    , m_projectName(project ? project->text() : QString())
{
    setObjectName(QStringLiteral("fleetWindow"));
    setWindowTitle(tr("Boxes of %1").arg(m_projectName));
    resize(980, 480);

    if (project) {
        for (int f = 0; f < project->rowCount(); ++f) {
            QStandardItem *folder = project->child(f);
            if (!folder || folder->text() != Folder::Box)
                continue;
            for (int b = 0; b < folder->rowCount(); ++b) {
                QStandardItem *box = folder->child(b);
                m_names << box->text();
                // As stored: a spelling the checks refuse is not tidied into another address here.
                m_ips << box->data(Role::BoxIp).toString();
                m_models << box->data(Role::BoxModel).toString();
            }
        }
    }

    m_table = new QTableWidget(m_names.size(), 8, this);
    m_table->setObjectName(QStringLiteral("fleetTable"));
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("IP Address"), tr("Link"), tr("Version"),
                                        tr("Last deployment"), tr("Progress"), tr("Result"), QString()});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(ResultColumn, QHeaderView::Stretch);
    for (int row = 0; row < m_names.size(); ++row) {
        auto *name = new QTableWidgetItem(m_names.at(row));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        name->setCheckState(Qt::Checked);
        name->setToolTip(m_names.at(row));
        m_table->setItem(row, NameColumn, name);
        for (int c = IpColumn; c <= ResultColumn; ++c) {
            if (c != ProgressColumn)
                m_table->setItem(row, c, new QTableWidgetItem);
        }
        setCell(row, IpColumn, m_ips.at(row));
        auto *bar = new QProgressBar;
        bar->setRange(0, 100);
        bar->setValue(0);
        m_table->setCellWidget(row, ProgressColumn, bar);
        auto *retryButton = new QPushButton(tr("Retry"));
        retryButton->setObjectName(QStringLiteral("retryButton"));
        retryButton->setEnabled(false);
        connect(retryButton, &QPushButton::clicked, this, [this, row] { retry(row); });
        m_table->setCellWidget(row, RetryColumn, retryButton);
        showLast(row);
        leaveOutIfUnsafe(row);
    }

    m_parallel = new QSpinBox(this);
    m_parallel->setObjectName(QStringLiteral("parallelSpinBox"));
    m_parallel->setRange(1, 64);
    {
        // A hand-edited value that is no number must not leave the window sending one at a time.
        bool ok = false;
        const int n = QSettings(settingsFilePath(), QSettings::IniFormat).value(kParallelKey).toInt(&ok);
        m_parallel->setValue(ok && n > 0 ? n : FleetDeployment::kDefaultParallel);
    }
    connect(m_parallel, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int n) {
        QSettings(settingsFilePath(), QSettings::IniFormat).setValue(kParallelKey, n);
        m_fleet->setParallel(n);
    });

    m_refreshButton = new QPushButton(tr("Refresh"), this);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_projectButton = new QPushButton(tr("Update project"), this);
    m_projectButton->setObjectName(QStringLiteral("updateProjectButton"));
    m_programButton = new QPushButton(tr("Update program"), this);
    m_programButton->setObjectName(QStringLiteral("updateProgramButton"));
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto *inventoryButton = new QPushButton(tr("Export inventory..."), this);
    inventoryButton->setObjectName(QStringLiteral("exportInventoryButton"));
    inventoryButton->setToolTip(tr("The checked boxes as an Ansible inventory group (INI, box_ip per host)"));
    connect(inventoryButton, &QPushButton::clicked, this, &FleetWindow::exportInventory);
    m_summary = new QLabel(this);
    connect(m_refreshButton, &QPushButton::clicked, this, &FleetWindow::refresh);
    connect(m_projectButton, &QPushButton::clicked, this, &FleetWindow::updateProject);
    connect(m_programButton, &QPushButton::clicked, this, &FleetWindow::updateProgram);
    connect(m_cancelButton, &QPushButton::clicked, this, &FleetWindow::cancel);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(tr("At once:"), this));
    buttons->addWidget(m_parallel);
    buttons->addWidget(m_refreshButton);
    buttons->addWidget(inventoryButton);
    buttons->addStretch();
    buttons->addWidget(m_summary);
    buttons->addWidget(m_projectButton);
    buttons->addWidget(m_programButton);
    buttons->addWidget(m_cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);

    m_fleet = new FleetDeployment(this);
    m_fleet->setBoxes(m_ips);
    m_fleet->setParallel(m_parallel->value());
    connect(m_fleet, &FleetDeployment::boxChanged, this, &FleetWindow::showRow);
    connect(m_fleet, &FleetDeployment::finished, this, [this] {
        m_summary->setText(tr("%1 of %2 succeeded").arg(m_fleet->succeededCount()).arg(checkedRows().size()));
        updateButtons();
        if (!m_copiesNotKept.isEmpty()) {
            const QStringList failures = std::exchange(m_copiesNotKept, {});
            DeploymentGate::warnCopyNotKept(QLatin1Char('\n') + failures.join(QLatin1Char('\n')), this);
        }
    });

    m_heartbeatWait = new QTimer(this);
    m_heartbeatWait->setSingleShot(true);
    connect(m_heartbeatWait, &QTimer::timeout, this, &FleetWindow::finishRefresh);

    updateButtons();
    refresh();
}

FleetWindow::~FleetWindow()
{
    qDeleteAll(m_links);
}

QStandardItem *FleetWindow::project() const
{
    const auto *model = qobject_cast<const QStandardItemModel *>(m_project.model());
    return model && m_project.isValid() ? model->itemFromIndex(m_project) : nullptr;
}

void FleetWindow::setChecked(int row, bool checked)
{
    if (QTableWidgetItem *item = m_table->item(row, NameColumn))
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

// A box whose address is not spelled the one way ("127.0.4.020" would reach .16), or that
// repeats an earlier row's address, gets no transfer of its own: one box, one transfer.
void FleetWindow::leaveOutIfUnsafe(int row)
{
    const QString &ip = m_ips.at(row);
    const int first = m_ips.indexOf(ip);
    QString reason;
    if (!Ipv4Address::isValid(ip))
        reason = tr("Not a valid IPv4 address (four decimal parts from 0 to 255, without leading zeros); "
                    "this box is left out.");
    else if (first < row)
        reason = tr("The same address as %1; the box is deployed once, with that row.").arg(m_names.at(first));
    if (reason.isEmpty())
        return;
    m_leftOut.insert(row);
    QTableWidgetItem *name = m_table->item(row, NameColumn);
    name->setCheckState(Qt::Unchecked);
    name->setFlags(name->flags() & ~(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled));
    setCell(row, ResultColumn, reason);
}

QList<int> FleetWindow::checkedRows() const
{
    QList<int> rows;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (!m_leftOut.contains(row) && m_table->item(row, NameColumn)->checkState() == Qt::Checked)
            rows.append(row);
    }
    return rows;
}

void FleetWindow::refresh()
{
    finishRefresh();
    for (int row = 0; row < m_ips.size(); ++row) {
        setCell(row, LinkColumn, QString());
        setCell(row, VersionColumn, QString());
        auto *link = new Protocol;
        m_links.append(link);
        connect(link, &Protocol::connectionStatusChanged, this, [this, row](const QString &status) {
            setCell(row, LinkColumn, status);
        });
        connect(link, &Protocol::versionReceived, this, [this, row](const QString &version) {
            setCell(row, VersionColumn, version);
        });
        link->connectToServer(m_ips.at(row));
    }
    m_heartbeatWait->start(kHeartbeatWaitMs);
}

void FleetWindow::finishRefresh()
{
    m_heartbeatWait->stop();
    // A link is only kept for one heartbeat: the window watches many boxes, not one.
    for (Protocol *link : qAsConst(m_links)) {
        link->disconnect(this);
        link->disconnectFromServer();
        link->deleteLater();
    }
    m_links.clear();
    for (int row = 0; row < m_ips.size(); ++row) {
        if (m_table->item(row, VersionColumn)->text().isEmpty())
            setCell(row, LinkColumn, tr("No reply"));
    }
}

void FleetWindow::updateProject()
{
    QStandardItem *item = project();
    if (!item || m_fleet->isRunning())
        return;
    const QList<int> rows = checkedRows();
    if (rows.isEmpty()) {
        QMessageBox::information(this, tr("Update project"), tr("No box is checked."));
        return;
    }
    // The checks once for every box: they judge the project, not the box. What it changes is
    // per box, but asked once for the whole deployment.
    if (!DeploymentGate::confirmChecks(item, this) || !DeploymentGate::confirmSaved(item, this))
        return;
    QList<QPair<QString, QString>> boxes;
    for (int row : rows)
        boxes.append({m_names.at(row), m_ips.at(row)});
    if (!DeploymentGate::confirmChanges(ProjectJson::buildProjectJson(item), boxes, this))
        return;
    // One document for every box, exactly what a save writes; kept under the name it carries,
    // which the next deployment's comparison looks up.
    m_projectName = item->text();
    QString error;
    std::shared_ptr<ProjectDeployment> deployment =
        ProjectDeployment::prepare(ProjectJson::projectFileBytes(item), m_projectName, &error);
    if (!deployment) {
        emit messageAppended(error);
        QMessageBox::warning(this, tr("Update project"), error);
        return;
    }
    m_fleet->setProject(std::move(deployment));
    m_fleet->setProgramFile(QString());
    run(rows);
}

void FleetWindow::updateProgram()
{
    if (m_fleet->isRunning())
        return;
    const QList<int> rows = checkedRows();
    if (rows.isEmpty()) {
        QMessageBox::information(this, tr("Update program"), tr("No box is checked."));
        return;
    }
    const QString path = FileDialogs::getOpenFileName(this, tr("Select Program File"), QDir::homePath(),
                                                      tr("Program Files (*.bin);;All Files (*.*)"));
    if (path.isEmpty())
        return;
    QStringList models;
    for (int row : rows) {
        const QString model = m_models.at(row).isEmpty() ? tr("unknown model") : m_models.at(row);
        if (!models.contains(model))
            models << model;
    }
    const auto answer = QMessageBox::question(
        this, tr("Update program"),
        tr("Send the program image %1 to %2 boxes (models: %3)?")
            .arg(QFileInfo(path).fileName())
            .arg(rows.size())
            .arg(models.join(QStringLiteral(", "))));
    if (answer != QMessageBox::Yes)
        return;
    m_fleet->setProjectFile(QString(), m_projectName);
    m_fleet->setProgramFile(path);
    run(rows);
}

bool FleetWindow::run(const QList<int> &rows)
{
    m_summary->clear();
    m_fleet->setParallel(m_parallel->value());
    if (m_fleet->parallel() < m_parallel->value()) {
        // Each transfer holds a socket: more would fail to connect, and the boxes be blamed.
        const QString text = tr("At most %1 transfers at once: the limit of %2 open files allows no more.")
                                 .arg(m_fleet->parallel())
                                 .arg(FleetDeployment::openFileLimit());
        m_summary->setText(text);
        emit messageAppended(text);
    }
    m_fleet->startBoxes(rows);
    updateButtons();
    return true;
}

void FleetWindow::cancel()
{
    m_fleet->cancel();
}

void FleetWindow::retry(int row)
{
    if (m_fleet->result(row).state != FleetDeployment::State::Failed)
        return;
    m_fleet->startBoxes({row});
    updateButtons();
}

void FleetWindow::showRow(int row)
{
    const FleetDeployment::BoxResult result = m_fleet->result(row);
    // The bytes sent and the verdict apart: a box whose checksum failed got the whole file.
    auto *bar = qobject_cast<QProgressBar *>(m_table->cellWidget(row, ProgressColumn));
    bar->setValue(result.percent);
    QString text;
    QString hint;
    switch (result.state) {
    case FleetDeployment::State::Idle:
        break;
    case FleetDeployment::State::Waiting:
        text = tr("Waiting");
        break;
    case FleetDeployment::State::Running:
        text = result.command == FileTransfer::ProgramUpdate ? tr("Updating program") : tr("Deploying project");
        break;
    case FleetDeployment::State::Succeeded:
    case FleetDeployment::State::Failed:
        text = result.reason;
        hint = FleetDeployment::nextStep(result.outcome);
        showLast(row);
        if (!result.recordNotKept.isEmpty())
            emit messageAppended(tr("%1 (%2): %3").arg(m_names.at(row), m_ips.at(row), result.recordNotKept));
        if (result.state == FleetDeployment::State::Succeeded) {
            bar->setValue(100);
            if (!result.copyNotKept.isEmpty())
                m_copiesNotKept << tr("%1 (%2): %3").arg(m_names.at(row), m_ips.at(row), result.copyNotKept);
        } else if (result.outcome != FileTransfer::Outcome::Cancelled) {
            emit messageAppended(tr("%1 (%2): %3").arg(m_names.at(row), m_ips.at(row), result.reason));
        }
        break;
    }
    setCell(row, ResultColumn, text, hint.isEmpty() ? text : text + QLatin1Char('\n') + hint);
    m_table->cellWidget(row, RetryColumn)->setEnabled(result.state == FleetDeployment::State::Failed);
    m_table->cellWidget(row, RetryColumn)->setToolTip(hint);
    updateButtons();
}

void FleetWindow::showLast(int row)
{
    DeploymentRecord record;
    QString text;
    if (DeploymentLog().last(m_ips.at(row), &record))
        text = record.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ")
               + FileTransfer::outcomeText(record.outcome);
    setCell(row, LastColumn, text);
}

// The columns are narrower than many texts ("Connection status: Connected", a date with its
// verdict): the cell shows what fits, the tool tip all of it.
void FleetWindow::setCell(int row, int column, const QString &text, const QString &toolTip)
{
    QTableWidgetItem *item = m_table->item(row, column);
    item->setText(text);
    item->setToolTip(toolTip.isNull() ? text : toolTip);
}

void FleetWindow::updateButtons()
{
    const bool running = m_fleet && m_fleet->isRunning();
    m_projectButton->setEnabled(!running);
    m_programButton->setEnabled(!running);
    m_cancelButton->setEnabled(running);
}

void FleetWindow::closeEvent(QCloseEvent *event)
{
    if (m_fleet->isRunning()) {
        const auto answer = QMessageBox::question(this, tr("Transfers Running"),
                                                  tr("Transfers to boxes are still running. Cancel them and close?"));
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        m_fleet->cancel();
    }
    finishRefresh();
    event->accept();
}

void FleetWindow::reject()
{
    // Escape closes through the same question.
    close();
}

void FleetWindow::exportInventory()
{
    const QList<int> rows = checkedRows();
    if (rows.isEmpty()) {
        QMessageBox::information(this, tr("Export inventory"), tr("No box is checked."));
        return;
    }
    const QString path = FileDialogs::getSaveFileName(this, tr("Export inventory"), QDir::homePath(),
                                                      tr("Ansible inventory (*.ini);;All Files (*.*)"));
    if (path.isEmpty())
        return;
    QList<AnsibleInventory::Host> hosts;
    for (int row : rows)
        hosts.append({m_names.at(row), m_ips.at(row)});
    const QByteArray text = AnsibleInventory::ini(m_projectName, hosts).toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        QMessageBox::warning(this, tr("Export inventory"),
                             tr("The inventory could not be written to %1: %2").arg(path, file.errorString()));
        return;
    }
    emit messageAppended(tr("Inventory of %1 boxes written to %2.").arg(hosts.size()).arg(path));
}
