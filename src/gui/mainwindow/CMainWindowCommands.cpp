// Project and item commands: create, edit and close projects, add and delete items, and
// open each item's editor in its edit dock.

#include "gui/mainwindow/CMainWindow.h"

#include "gui/boxlink/BoxEditDialog.h"
#include "gui/boxlink/BoxInputDialog.h"
#include "gui/boxlink/BoxSearchDialog.h"
#include "gui/deployment/FleetWindow.h"
#include "gui/devices/standardDLT645EditDialog.h"
#include "gui/devices/standardInputDialog.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectItems.h"
#include "gui/services/ServiceIEC61850EditDialog.h"
#include "gui/project/EditProjectDialog.h"
#include "gui/project/NewProjectDialog.h"
#include "gui/project/ProjectNameCheck.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QPointer>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

// Dialog property holding the item a save-checked editor currently shows.
const char *const kSaveCheckItem = "orvaneSaveCheckItem";

const QString kDlt645 = QStringLiteral("DLT645");
const QString kModbus = QStringLiteral("Modbus");
const QString kIec61850 = QStringLiteral("IEC61850");

// What the generic edit-dock code needs from a freshly built editor.
struct EditorParts
{
    QDialog *dialog = nullptr;
    QLineEdit *nameEdit = nullptr;       // save-checked editors only
    QAbstractButton *saveButton = nullptr;
    std::function<void()> save;
    std::function<bool()> fieldsOk; // the editor's own field check, where it has one
};

// The editor an open edit dock shows, if it is of class Editor; comparing the open editor's
// class with the item's kind decides between re-pointing it and replacing it.
template <typename Editor>
Editor *editorIn(ads::CDockWidget *dock)
{
    return dock ? qobject_cast<Editor *>(dock->widget()) : nullptr;
}

bool isFolder(const QStandardItem *item, const QString &text)
{
    return item && item->parent() && !item->parent()->parent() && item->text() == text;
}

bool hasChildNamed(const QStandardItem *folder, const QString &name, const QStandardItem *except = nullptr)
{
    for (int row = 0; row < folder->rowCount(); ++row) {
        const QStandardItem *child = folder->child(row);
        if (child && child != except && child->text() == name)
            return true;
    }
    return false;
}

QStandardItem *projectOf(QStandardItem *item)
{
    while (item && item->parent())
        item = item->parent();
    return item;
}

} // namespace

// --- edit-dock plumbing shared by the editor slots -------------------------------------------

void CMainWindow::repointEditDock(ads::CDockWidget *dock, QDialog *dialog, QStandardItem *item)
{
    if (dialog->property(kSaveCheckItem).isValid())
        dialog->setProperty(kSaveCheckItem, QVariant::fromValue(QPersistentModelIndex(item->index())));
    // A restored layout that did not know this dock has hidden it (and taken it out of its
    // area): it shows again.
    m_editDocks->bringBack(dock);
}

void CMainWindow::installSaveCheck(QDialog *dialog, QStandardItem *item, QLineEdit *nameEdit,
                                   QAbstractButton *saveButton, std::function<void()> save,
                                   EditDockKind dockKind, std::function<bool()> fieldsOk)
{
    // A persistent index, not the pointer: the item may be re-pointed or deleted meanwhile.
    dialog->setProperty(kSaveCheckItem, QVariant::fromValue(QPersistentModelIndex(item->index())));
    connect(saveButton, &QAbstractButton::clicked, dialog,
            [this, dialog, nameEdit, save = std::move(save), dockKind, fieldsOk = std::move(fieldsOk)] {
                runSaveCheck(dialog, nameEdit, save, dockKind, fieldsOk);
            });
}

void CMainWindow::runSaveCheck(QDialog *dialog, QLineEdit *nameEdit, const std::function<void()> &save,
                               EditDockKind dockKind, const std::function<bool()> &fieldsOk)
{
    // A field the editor refuses leaves item, record and dock as they are.
    if (fieldsOk && !fieldsOk())
        return;
    // Save closes the editor: a running box transfer is asked about first.
    if (auto *box = qobject_cast<BoxEditDialog *>(dialog); box && !box->mayEndTransfer())
        return;
    const QString name = nameEdit->text();
    if (name.isEmpty()) {
        QMessageBox::warning(this, tr("invalid name"), tr("Name cannot be null"));
        return;
    }
    const QPersistentModelIndex index = dialog->property(kSaveCheckItem).value<QPersistentModelIndex>();
    QStandardItem *item = index.isValid() ? m_projectModel->itemFromIndex(index) : nullptr;
    QStandardItem *folder = item ? item->parent() : nullptr;
    if (!folder) {
        QMessageBox::warning(this, tr("error"), tr("Unable to find parent directory"));
        return;
    }
    if (hasChildNamed(folder, name, item)) {
        QMessageBox::warning(this, tr("Duplicate name"),
                             tr("The name\"%1\"already exists, please change the name.").arg(name));
        return;
    }
    item->setText(name);
    if (save)
        save();

    // Close the dock that holds this editor; by kind only if it sits elsewhere.
    ads::CDockWidget *dock = nullptr;
    for (QWidget *w = dialog->parentWidget(); w && !dock; w = w->parentWidget())
        dock = qobject_cast<ads::CDockWidget *>(w);
    m_editDocks->discard(dock ? dock : m_editDocks->find(dockKind));
}

// --- projects ---------------------------------------------------------------------------------

void CMainWindow::slotNewProject()
{
    NewProjectDialog dialog(this);
    connect(&dialog, &NewProjectDialog::projectCreated, this, &CMainWindow::handleProjectCreated);
    dialog.exec();
}

void CMainWindow::handleProjectCreated(const QString &name, const QString &path, const QString &description)
{
    if (!ProjectNameCheck::accept(this, name))
        return;
    if (QFileInfo::exists(path + QLatin1Char('/') + name + QStringLiteral(".json"))) {
        warnProjectFileTaken();
        return;
    }
    if (hasChildNamed(m_projectModel->invisibleRootItem(), name)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("A project with the same name already exists. Please use a different name."));
        return;
    }

    QStandardItem *project =
        ProjectItems::newProject(ProjectItems::icon("project_manage.svg"), name, path, description);
    m_projectModel->appendRow(project);
    for (const QString &folder : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data})
        project->appendRow(ProjectItems::newFolder(ProjectItems::folderIcon(folder), folder));

    QStandardItem *service =
        ProjectItems::newService(ProjectItems::protocolIcon(kIec61850), kIec61850, kIec61850);
    project->child(1)->appendRow(service);

    m_projectView->expandAll();
}

void CMainWindow::slotEditProject()
{
    QStandardItem *item = currentItem();
    if (!item || item->parent())
        return;

    const EditDockKind dockKind = EditDockKind::Project;
    m_editDocks->discard(m_editDocks->find(dockKind));

    auto *dialog = new EditProjectDialog(QStringLiteral("Default Name"), QStringLiteral("Default Path"),
                                         QStringLiteral("Default Description"));
    dialog->setFields(item->text(), item->data(Role::ProjectPath).toString(),
                      item->data(Role::ProjectDescription).toString());
    // The update goes to the project the dock was opened for, whatever is current later.
    const QPersistentModelIndex project(item->index());
    connect(dialog, &EditProjectDialog::projectModified, this,
            [this, project](const QString &name, const QString &path, const QString &description) {
                updateProject(project, name, path, description);
            });
    m_editDocks->open(dockKind, dialog);
}

void CMainWindow::updateProject(const QModelIndex &projectIndex, const QString &name, const QString &path,
                                const QString &description)
{
    QStandardItem *project = projectIndex.isValid() ? m_projectModel->itemFromIndex(projectIndex) : nullptr;
    if (!project)
        return;
    if (!ProjectNameCheck::accept(this, name))
        return;
    if (hasChildNamed(m_projectModel->invisibleRootItem(), name, project)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("A project with the same name already exists. Please use a different name."));
        return;
    }
    // A new name or directory must not point the next Save at another project's file.
    const bool fileMoves = name != project->text() || path != project->data(Role::ProjectPath).toString();
    if (fileMoves && projectFileTaken(project, path, name)) {
        warnProjectFileTaken();
        return;
    }
    project->setText(name);
    project->setData(name, Qt::DisplayRole);
    project->setData(path, Role::ProjectPath);
    project->setData(description, Role::ProjectDescription);
    appendMessage(tr("The Project '%1' is saved successfully.").arg(name));
}

void CMainWindow::slotDeleteProject()
{
    QStandardItem *item = currentItem();
    if (!item || item->parent())
        return;

    const auto answer = QMessageBox::question(this, tr("Save Changes"),
                                              tr("Do you want to save changes before deleting the project?"),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                              QMessageBox::NoButton);
    if (answer == QMessageBox::Yes) {
        // A failed save has already been reported; dropping the project would lose it.
        if (!saveJsonFile(item))
            return;
    } else if (answer != QMessageBox::No) {
        return;
    }
    if (!boxTransferMayEnd())
        return;
    // Editors go first so none is left pointing into the removed project.
    m_editDocks->closeAll();
    m_projectModel->removeRow(item->row());
}

// --- adding items ------------------------------------------------------------------------------

void CMainWindow::standardAddFile()
{
    QStandardItem *folder = currentItem();
    if (!isFolder(folder, Folder::Standard))
        return;

    standardInputDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString name = dialog.getName();
    const QString protocol = dialog.getProtocol();

    if (name.isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("standard Name cannot be empty."));
        return;
    }
    QStandardItem *standards = projectOf(folder)->child(0);
    if (standards && hasChildNamed(standards, name)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("A standard file with the same name already exists in PLC or Standard "
                                "folder. Please use a different name."));
        return;
    }

    // Anything but DL/T 645 is made as Modbus, so it shows the Modbus icon.
    const QIcon icon = ProjectItems::protocolIcon(protocol == kDlt645 ? kDlt645 : kModbus);
    QStandardItem *device = ProjectItems::newDevice(icon, name, protocol);
    folder->appendRow(device);
    m_projectView->setCurrentIndex(device->index());
    slotstandardEditFile();
}

void CMainWindow::boxAddFile()
{
    addBoxTo(currentItem(), QString(), QString());
}

void CMainWindow::addBoxTo(QStandardItem *folder, const QString &ip, const QString &model)
{
    if (!isFolder(folder, Folder::Box))
        return;

    BoxInputDialog dialog(this);
    if (!ip.isEmpty())
        dialog.ipEdit()->setText(ip);
    const int offered = dialog.modelCombo()->findText(model);
    if (offered >= 0)
        dialog.modelCombo()->setCurrentIndex(offered);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString name = dialog.getBoxName();

    if (name.isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("Box Name cannot be empty."));
        return;
    }
    if (hasChildNamed(folder, name)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("A box file with the same name already exists in this folder. "
                                "Please use a different name."));
        return;
    }

    QStandardItem *box = ProjectItems::newBox(ProjectItems::icon("box-file.svg"), name,
                                              dialog.getIpAddress(), dialog.getModel());
    folder->appendRow(box);
    m_projectView->setCurrentIndex(box->index());
    slotBoxEditFile();
}

void CMainWindow::boxSearchFile()
{
    // Non-modal and deleted on close: every command opens a further search window.
    auto *dialog = new BoxSearchDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &BoxSearchDialog::messageAppended, this, &CMainWindow::appendMessage);
    // Opened from a project's Box folder, a found box goes into that folder, whatever is
    // current in the tree by the time it is chosen.
    QStandardItem *folder = currentItem();
    if (isFolder(folder, Folder::Box)) {
        const QPersistentModelIndex target(folder->index());
        dialog->enableAddToProject();
        connect(dialog, &BoxSearchDialog::addToProjectRequested, this,
                [this, target](const QString &ip, const QString &model) {
                    QStandardItem *boxes = target.isValid() ? m_projectModel->itemFromIndex(target)
                                                            : nullptr;
                    if (!boxes) {
                        QMessageBox::warning(this, tr("Warning"),
                                             tr("The project this search was opened for is no "
                                                "longer open; the box was not added."));
                        return;
                    }
                    addBoxTo(boxes, ip, model);
                });
    }
    dialog->show();
}

void CMainWindow::boxFleetFile()
{
    QStandardItem *folder = currentItem();
    if (!isFolder(folder, Folder::Box))
        return;
    // Non-modal and deleted on close, like the search window; it asks before ending transfers.
    auto *window = new FleetWindow(folder->parent(), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &FleetWindow::messageAppended, this, &CMainWindow::appendMessage);
    window->show();
}

// --- opening editors ---------------------------------------------------------------------------

void CMainWindow::slotstandardEditFile()
{
    QStandardItem *item = currentItem();
    if (!item)
        return;
    const QString kind = item->data(Role::Protocol).toString();
    const EditDockKind dockKind = EditDockKind::Standard;
    ads::CDockWidget *openDock = m_editDocks->find(dockKind);

    // Per kind: an open editor of the same kind is re-pointed at the item (replace operation,
    // then repointEditDock) and the slot returns; otherwise a new editor is built into `editor`.
    EditorParts editor;
    if (kind == kDlt645) {
        // DLT645 editor
        if (auto *open = editorIn<standardDLT645EditDialog>(openDock)) {
            open->replaceItem(item);
            repointEditDock(openDock, open, item);
            return;
        }
        auto *dlt645 = new standardDLT645EditDialog(item, this);
        connect(dlt645, &standardDLT645EditDialog::messageAppended, this, &CMainWindow::appendMessage);
        editor.dialog = dlt645;
        editor.nameEdit = dlt645->nameEdit();
        editor.saveButton = dlt645->saveButton();
        editor.save = [dlt645] { dlt645->saveChanges(); };
        editor.fieldsOk = [dlt645] { return dlt645->confirmFields(); };
    } else if (kind == kModbus) {
        // Modbus editor
        if (auto *open = editorIn<standardModbusEditDialog>(openDock)) {
            open->replaceItem(item);
            repointEditDock(openDock, open, item);
            return;
        }
        auto *modbus = new standardModbusEditDialog(item, this);
        connect(modbus, &standardModbusEditDialog::messageAppended, this, &CMainWindow::appendMessage);
        editor.dialog = modbus;
        editor.nameEdit = modbus->nameEdit();
        editor.saveButton = modbus->saveButton();
        editor.save = [modbus] { modbus->saveChanges(); };
        editor.fieldsOk = [modbus] { return modbus->confirmFields(); };
    }
    if (!editor.dialog)
        return; // no editor for this kind: whatever is open stays

    // An editor of the other kind gives way to the new one.
    m_editDocks->discard(openDock);
    m_editDocks->open(dockKind, editor.dialog);
    installSaveCheck(editor.dialog, item, editor.nameEdit, editor.saveButton, editor.save, dockKind,
                     editor.fieldsOk);
}

void CMainWindow::slotServiceEditFile()
{
    QStandardItem *item = currentItem();
    if (!item)
        return;
    const QString kind = item->data(Role::ServiceProtocol).toString();
    const EditDockKind dockKind = EditDockKind::Service;
    ads::CDockWidget *openDock = m_editDocks->find(dockKind);

    // As for standard devices; the service editor saves on its own, without the save check.
    EditorParts editor;
    if (kind == kIec61850) {
        // IEC61850 editor
        if (auto *open = editorIn<ServiceIEC61850EditDialog>(openDock)) {
            open->loadServiceItem(item);
            repointEditDock(openDock, open, item);
            return;
        }
        auto *service = new ServiceIEC61850EditDialog(item, this);
        connect(service, &ServiceIEC61850EditDialog::messageAppended, this, &CMainWindow::appendMessage);
        editor.dialog = service;
    }
    if (!editor.dialog)
        return;

    m_editDocks->discard(openDock);
    m_editDocks->open(dockKind, editor.dialog);
}

void CMainWindow::slotBoxEditFile()
{
    QStandardItem *item = currentItem();
    if (!item)
        return;
    const EditDockKind dockKind = EditDockKind::Box;

    // There is only ever one box editor: an open one is re-pointed at the item and moves its
    // link to the new box (then repointEditDock), never replaced.
    ads::CDockWidget *openDock = m_editDocks->find(dockKind);
    if (openDock) {
        // Box editor: re-point
        if (auto *open = editorIn<BoxEditDialog>(openDock)) {
            if (item != open->boxItem() && !open->mayEndTransfer())
                return;
            open->loadBoxItem(item);
            open->disconnectFromServer();
            open->connectToServer();
            repointEditDock(openDock, open, item);
        }
        return;
    }

    EditorParts editor;
    // Box editor: build
    auto *box = new BoxEditDialog(item, this);
    connect(box, &BoxEditDialog::sendDataToMainWindow, this, &CMainWindow::onDataReceived);
    connect(box, &BoxEditDialog::messageAppended, this, &CMainWindow::appendMessage);
    connect(box, &BoxEditDialog::linkStateChanged, this, &CMainWindow::onBoxLinkStateChanged);
    editor.dialog = box;
    editor.nameEdit = box->nameEdit();
    editor.saveButton = box->saveButton();
    editor.save = [box] { box->saveChanges(); };
    editor.fieldsOk = [box] { return box->confirmFields(); };

    ads::CDockWidget *dock = m_editDocks->open(dockKind, editor.dialog);
    // Closing the box editor always drops the box connection.
    connect(dock, &QObject::destroyed, box, &BoxEditDialog::disconnectFromServer);
    // The dock's close button asks about a running transfer before the editor goes.
    dock->setFeature(ads::CDockWidget::CustomCloseHandling, true);
    connect(dock, &ads::CDockWidget::closeRequested, box, [box, dock] {
        if (box->mayEndTransfer())
            dock->closeDockWidget();
    });
    installSaveCheck(editor.dialog, item, editor.nameEdit, editor.saveButton, editor.save, dockKind,
                     editor.fieldsOk);
}

bool CMainWindow::boxTransferMayEnd()
{
    auto *box = editorIn<BoxEditDialog>(m_editDocks->find(EditDockKind::Box));
    return !box || box->mayEndTransfer();
}

// --- deleting items ----------------------------------------------------------------------------

void CMainWindow::slotDeleteFile()
{
    QStandardItem *item = currentItem();
    if (!item || !item->parent() || !item->parent()->parent())
        return;
    QStandardItem *folder = item->parent();
    const QString folderText = folder->text();
    const QString itemText = item->text();

    // The editor of the folder's kind closes whatever it shows; a data set's box link goes
    // with the box editor.
    ads::CDockWidget *dock = nullptr;
    if (folderText == Folder::Standard)
        dock = m_editDocks->find(EditDockKind::Standard);
    else if (folderText == Folder::Box || folderText == Folder::Data)
        dock = m_editDocks->find(EditDockKind::Box);
    else if (folderText == Folder::Service)
        dock = m_editDocks->find(EditDockKind::Service);
    if (dock && dock == m_editDocks->find(EditDockKind::Box) && !boxTransferMayEnd())
        return;
    // Closed before the item goes, so no editor is left holding it.
    m_editDocks->discard(dock);

    folder->removeRow(item->row());
    closeTabByName(itemText);

    if (folderText == Folder::Data && dock)
        appendMessage(tr("The data '%1' has been deleted, and the Box connection has been disconnected.")
                          .arg(itemText));
}

void CMainWindow::slotDeleteAllFile()
{
    QStandardItem *folder = currentItem();
    if (!isFolder(folder, Folder::Data) || folder->rowCount() == 0)
        return;
    if (!boxTransferMayEnd())
        return;

    for (int row = 0; row < folder->rowCount(); ++row)
        closeTabByName(folder->child(row)->text());
    folder->removeRows(0, folder->rowCount());

    if (ads::CDockWidget *dock = m_editDocks->find(EditDockKind::Box)) {
        m_editDocks->discard(dock);
        appendMessage(tr("All data files have been deleted, and the Box connection has been disconnected."));
    }
}
