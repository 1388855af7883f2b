// Project and item commands: create, edit and close projects, add and delete items.

#include "gui/mainwindow/ProjectCommands.h"

#include "gui/mainwindow/CMainWindow.h"
#include "gui/mainwindow/EditDocks.h"
#include "gui/mainwindow/ItemEditors.h"
#include "gui/mainwindow/ProjectFiles.h"
#include "gui/mainwindow/ProjectTree.h"
#include "gui/boxlink/BoxEditDialog.h"
#include "gui/boxlink/BoxInputDialog.h"
#include "gui/boxlink/BoxSearchDialog.h"
#include "gui/deployment/FleetWindow.h"
#include "gui/devices/BusScanDialog.h"
#include "gui/devices/DeviceForm.h"
#include "gui/devices/standardInputDialog.h"
#include "gui/templates/TemplateDialogs.h"
#include "core/project/ItemRecord.h"
#include "core/project/ModbusDeviceRecord.h"
#include "core/project/ProjectItems.h"
#include "gui/project/EditProjectDialog.h"
#include "gui/project/NewProjectDialog.h"
#include "gui/project/ProjectNameCheck.h"

#include <QComboBox>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QPersistentModelIndex>
#include <QStandardItemModel>

namespace {
const QString kDlt645 = QStringLiteral("DLT645");
const QString kModbus = QStringLiteral("Modbus");
const QString kIec61850 = QStringLiteral("IEC61850");
} // namespace

ProjectCommands::ProjectCommands(CMainWindow *window, QStandardItemModel *model, ProjectTree *tree,
                                 EditDocks *docks, ItemEditors *editors, ProjectFiles *files)
    : QObject(window)
    , m_window(window)
    , m_model(model)
    , m_tree(tree)
    , m_docks(docks)
    , m_editors(editors)
    , m_files(files)
{
}

// --- projects ---------------------------------------------------------------------------------

void ProjectCommands::newProject()
{
    NewProjectDialog dialog(m_window);
    connect(&dialog, &NewProjectDialog::projectCreated, m_window, &CMainWindow::handleProjectCreated);
    dialog.exec();
}

void ProjectCommands::createProject(const QString &name, const QString &path, const QString &description)
{
    if (!ProjectNameCheck::accept(m_window, name))
        return;
    if (QFileInfo::exists(path + QLatin1Char('/') + name + QStringLiteral(".json"))) {
        m_files->warnProjectFileTaken();
        return;
    }
    if (ProjectTree::hasChildNamed(m_model->invisibleRootItem(), name)) {
        QMessageBox::warning(m_window, tr("Warning"),
                             tr("A project with the same name already exists. Please use a different name."));
        return;
    }

    QStandardItem *project =
        ProjectItems::newProject(ProjectItems::icon("project_manage.svg"), name, path, description);
    m_model->appendRow(project);
    for (const QString &folder : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data})
        project->appendRow(ProjectItems::newFolder(ProjectItems::folderIcon(folder), folder));

    QStandardItem *service =
        ProjectItems::newService(ProjectItems::protocolIcon(kIec61850), kIec61850, kIec61850);
    project->child(1)->appendRow(service);

    m_tree->expandAll();
}

void ProjectCommands::editProject(QStandardItem *item)
{
    if (!item || item->parent())
        return;

    const EditDockKind dockKind = EditDockKind::Project;
    m_docks->discard(m_docks->find(dockKind));

    auto *dialog = new EditProjectDialog(QStringLiteral("Default Name"), QStringLiteral("Default Path"),
                                         QStringLiteral("Default Description"));
    dialog->setFields(item->text(), item->data(Role::ProjectPath).toString(),
                      item->data(Role::ProjectDescription).toString());
    // The update goes to the project the dock was opened for, whatever is current later.
    const QPersistentModelIndex project(item->index());
    connect(dialog, &EditProjectDialog::projectModified, m_window,
            [this, project](const QString &name, const QString &path, const QString &description) {
                updateProject(project, name, path, description);
            });
    m_docks->open(dockKind, dialog);
}

void ProjectCommands::updateProject(const QModelIndex &projectIndex, const QString &name,
                                    const QString &path, const QString &description)
{
    QStandardItem *project = projectIndex.isValid() ? m_model->itemFromIndex(projectIndex) : nullptr;
    if (!project)
        return;
    if (!ProjectNameCheck::accept(m_window, name))
        return;
    if (ProjectTree::hasChildNamed(m_model->invisibleRootItem(), name, project)) {
        QMessageBox::warning(m_window, tr("Warning"),
                             tr("A project with the same name already exists. Please use a different name."));
        return;
    }
    // A new name or directory must not point the next Save at another project's file.
    const bool fileMoves = name != project->text() || path != project->data(Role::ProjectPath).toString();
    if (fileMoves && m_files->projectFileTaken(project, path, name)) {
        m_files->warnProjectFileTaken();
        return;
    }
    project->setText(name);
    project->setData(name, Qt::DisplayRole);
    project->setData(path, Role::ProjectPath);
    project->setData(description, Role::ProjectDescription);
    m_window->appendMessage(tr("The Project '%1' is saved successfully.").arg(name));
}

void ProjectCommands::closeProject(QStandardItem *item)
{
    if (!item || item->parent())
        return;

    const auto answer = QMessageBox::question(m_window, tr("Save Changes"),
                                              tr("Do you want to save changes before deleting the project?"),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                              QMessageBox::NoButton);
    if (answer == QMessageBox::Yes) {
        // A failed save has already been reported; dropping the project would lose it.
        if (!m_files->saveJsonFile(item))
            return;
    } else if (answer != QMessageBox::No) {
        return;
    }
    if (!m_editors->boxTransferMayEnd(item))
        return;
    // Editors go first so none is left pointing into the removed project. A box editor that
    // shows a box of another project stays, with its link: closing it would end that box's
    // session. The sessions of this project's boxes end with their items.
    BoxEditDialog *boxEditor = m_editors->boxEditor();
    const bool keepBox = boxEditor && boxEditor->boxItem() && ProjectTree::projectOf(boxEditor->boxItem()) != item;
    m_docks->closeAll(keepBox ? EditDockKind::Box : std::optional<EditDockKind>());
    m_model->removeRow(item->row());
}

// --- adding items ------------------------------------------------------------------------------

void ProjectCommands::addStandard(QStandardItem *folder)
{
    if (!ProjectTree::isFolder(folder, Folder::Standard))
        return;

    standardInputDialog dialog(m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QStandardItem *device = createStandard(folder, dialog.getName(), dialog.getProtocol());
    if (!device)
        return;
    m_tree->setCurrent(device);
    m_editors->openStandard(device);
}

QStandardItem *ProjectCommands::createStandard(QStandardItem *folder, const QString &name, const QString &protocol)
{
    if (name.isEmpty()) {
        QMessageBox::warning(m_window, tr("Warning"), tr("standard Name cannot be empty."));
        return nullptr;
    }
    QStandardItem *standards = ProjectTree::projectOf(folder)->child(0);
    if (standards && ProjectTree::hasChildNamed(standards, name)) {
        QMessageBox::warning(m_window, tr("Warning"),
                             tr("A standard file with the same name already exists in PLC or Standard "
                                "folder. Please use a different name."));
        return nullptr;
    }

    // Anything but DL/T 645 is made as Modbus, so it shows the Modbus icon.
    const QIcon icon = ProjectItems::protocolIcon(protocol == kDlt645 ? kDlt645 : kModbus);
    QStandardItem *device = ProjectItems::newDevice(icon, name, protocol);
    folder->appendRow(device);
    return device;
}

void ProjectCommands::busScanForNewDevice(QStandardItem *folder)
{
    if (!ProjectTree::isFolder(folder, Folder::Standard))
        return;
    auto *window = new BusScanDialog(BusScanDialog::Defaults(), m_window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The folder may go (its project closed) while the window is open.
    const QPersistentModelIndex target(folder->index());
    connect(window, &BusScanDialog::addAsSlaveTab, this, [this, window, target](const BusScanDialog::Found &found) {
        QStandardItem *standards = target.isValid() ? m_model->itemFromIndex(target) : nullptr;
        if (!standards) {
            QMessageBox::warning(window, tr("Warning"), tr("The project of this scan is no longer open."));
            return;
        }
        standardInputDialog dialog(window);
        dialog.protocolCombo()->setCurrentText(kModbus);
        dialog.protocolCombo()->setEnabled(false);
        if (dialog.exec() != QDialog::Accepted)
            return;
        // The tree may have changed while the name was asked for.
        standards = target.isValid() ? m_model->itemFromIndex(target) : nullptr;
        QStandardItem *device = standards ? createStandard(standards, dialog.getName(), kModbus) : nullptr;
        if (!device)
            return;
        ModbusDeviceRecord::writeDefaults(device);
        ModbusDeviceRecord record = ModbusDeviceRecord::fromItem(device);
        record.protocol = kModbus;
        found.applyTo(&record);
        if (record.serial.serialPort.isEmpty())
            record.serial.serialPort = DeviceForm::serialPortChoices().constFirst();
        ModbusSlaveRecord slave;
        slave.title = QStringLiteral("Modbus-1");
        slave.stationNum = QString::number(found.row.id);
        record.slaves = {slave};
        record.commitTo(device);
        m_window->appendMessage(tr("The Standard Modbus '%1' was added for station %2 (%3).")
                                    .arg(record.name)
                                    .arg(found.row.id)
                                    .arg(found.describe()));
        m_tree->setCurrent(device);
        m_editors->openStandard(device);
    });
    window->show();
}

void ProjectCommands::addFromTemplate(QStandardItem *folder)
{
    if (!ProjectTree::isFolder(folder, Folder::Standard))
        return;
    // Names are unique across the project's Standard folder, as Add Standard keeps them.
    QSet<QString> taken;
    for (QStandardItem *device : itemsInFolders(ProjectTree::projectOf(folder), Folder::Standard))
        taken.insert(device->text());
    AddFromTemplateDialog dialog(userTemplateLibrary(), taken, m_window);
    if (dialog.exec() != QDialog::Accepted || dialog.devices().isEmpty())
        return;
    QList<QStandardItem *> items;
    items.reserve(dialog.devices().size());
    for (const TemplateExpansion::Device &device : dialog.devices())
        items.append(TemplateExpansion::makeItem(device));
    folder->appendRows(items);
    m_tree->setCurrent(items.last());
    m_window->appendMessage(tr("Devices added from the template '%1': %2.")
                                .arg(dialog.templateCombo()->currentText())
                                .arg(items.size()));
}

void ProjectCommands::showTemplates()
{
    TemplatesWindow window(userTemplateLibrary(), m_window);
    window.exec();
}

void ProjectCommands::addBox(QStandardItem *folder, const QString &ip, const QString &model)
{
    if (!ProjectTree::isFolder(folder, Folder::Box))
        return;

    BoxInputDialog dialog(m_window);
    if (!ip.isEmpty())
        dialog.ipEdit()->setText(ip);
    const int offered = dialog.modelCombo()->findText(model);
    if (offered >= 0)
        dialog.modelCombo()->setCurrentIndex(offered);
    // The folder may go (its project closed) while the dialog is open.
    const QPersistentModelIndex target(folder->index());
    QString name;
    // A refused name offers the same dialog again, so what was typed (and the address a search
    // filled in) is kept and only the name needs fixing.
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return;
        folder = target.isValid() ? m_model->itemFromIndex(target) : nullptr;
        if (!folder)
            return;
        name = dialog.getBoxName();
        QString refusal;
        if (name.isEmpty())
            refusal = tr("Box Name cannot be empty.");
        else if (ProjectTree::hasChildNamed(folder, name))
            refusal = tr("A box file with the same name already exists in this folder. "
                         "Please use a different name.");
        if (refusal.isEmpty())
            break;
        QMessageBox::warning(m_window, tr("Warning"), refusal);
    }

    QStandardItem *box = ProjectItems::newBox(ProjectItems::icon("box-file.svg"), name,
                                              dialog.getIpAddress(), dialog.getModel());
    folder->appendRow(box);
    m_tree->setCurrent(box);
    m_editors->openBox(box);
}

void ProjectCommands::searchBoxes(QStandardItem *folder)
{
    // Non-modal and deleted on close: every command opens a further search window.
    auto *dialog = new BoxSearchDialog(m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &BoxSearchDialog::messageAppended, m_window, &CMainWindow::appendMessage);
    // Opened from a project's Box folder, a found box goes into that folder, whatever is
    // current in the tree by the time it is chosen.
    if (ProjectTree::isFolder(folder, Folder::Box)) {
        const QPersistentModelIndex target(folder->index());
        dialog->enableAddToProject();
        connect(dialog, &BoxSearchDialog::addToProjectRequested, m_window,
                [this, target](const QString &ip, const QString &model) {
                    QStandardItem *boxes = target.isValid() ? m_model->itemFromIndex(target)
                                                            : nullptr;
                    if (!boxes) {
                        QMessageBox::warning(m_window, tr("Warning"),
                                             tr("The project this search was opened for is no "
                                                "longer open; the box was not added."));
                        return;
                    }
                    addBox(boxes, ip, model);
                });
    }
    dialog->show();
}

void ProjectCommands::showFleet(QStandardItem *folder)
{
    if (!ProjectTree::isFolder(folder, Folder::Box))
        return;
    // Non-modal and deleted on close, like the search window; it asks before ending transfers.
    auto *window = new FleetWindow(folder->parent(), m_window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &FleetWindow::messageAppended, m_window, &CMainWindow::appendMessage);
    window->show();
}

// --- deleting items ----------------------------------------------------------------------------

void ProjectCommands::deleteItem(QStandardItem *item)
{
    if (!item || !item->parent() || !item->parent()->parent())
        return;
    QStandardItem *folder = item->parent();
    const QString folderText = folder->text();
    const QString itemText = item->text();

    // The editor of the folder's kind closes whatever it shows; a data set's box link goes
    // with the box editor. A deleted box takes only its own session and, if it shows that box,
    // the box editor: another box's editor and link stay.
    const bool boxKind = folderText == Folder::Box || folderText == Folder::Data;
    ads::CDockWidget *dock = nullptr;
    if (folderText == Folder::Standard)
        dock = m_docks->find(EditDockKind::Standard);
    else if (boxKind)
        dock = m_docks->find(EditDockKind::Box);
    else if (folderText == Folder::Service)
        dock = m_docks->find(EditDockKind::Service);
    BoxEditDialog *boxEditor = m_editors->boxEditor();
    if (folderText == Folder::Box) {
        if (!m_editors->boxTransferMayEnd(item))
            return;
        if (!boxEditor || boxEditor->boxItem() != item)
            dock = nullptr;
    } else if (dock && boxKind && boxEditor && !m_editors->boxTransferMayEnd(boxEditor->boxItem())) {
        return;
    }
    // Closed before the item goes, so no editor is left holding it.
    m_docks->discard(dock);

    folder->removeRow(item->row());
    m_window->closeTabByName(itemText);

    if (folderText == Folder::Data && dock)
        m_window->appendMessage(
            tr("The data '%1' has been deleted, and the Box connection has been disconnected.").arg(itemText));
}

void ProjectCommands::deleteAllData(QStandardItem *folder)
{
    if (!ProjectTree::isFolder(folder, Folder::Data) || folder->rowCount() == 0)
        return;
    if (BoxEditDialog *boxEditor = m_editors->boxEditor();
        boxEditor && !m_editors->boxTransferMayEnd(boxEditor->boxItem()))
        return;

    for (int row = 0; row < folder->rowCount(); ++row)
        m_window->closeTabByName(folder->child(row)->text());
    folder->removeRows(0, folder->rowCount());

    if (ads::CDockWidget *dock = m_docks->find(EditDockKind::Box)) {
        m_docks->discard(dock);
        m_window->appendMessage(
            tr("All data files have been deleted, and the Box connection has been disconnected."));
    }
}
