// Opening each item's editor in its edit dock, and the save check of the editors that rename
// their item.

#include "gui/mainwindow/ItemEditors.h"

#include "gui/mainwindow/CMainWindow.h"
#include "gui/mainwindow/ProjectTree.h"
#include "gui/boxlink/BoxEditDialog.h"
#include "gui/boxlink/BoxLinkMarks.h"
#include "core/boxlink/BoxSessions.h"
#include "gui/devices/standardDLT645EditDialog.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "core/project/ItemRecord.h"
#include "gui/services/ServiceIEC61850EditDialog.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QPersistentModelIndex>
#include <QStandardItemModel>

namespace {

// Dialog property holding the item a save-checked editor currently shows.
const char *const kSaveCheckItem = "orvaneSaveCheckItem";

const QString kDlt645 = QStringLiteral("DLT645");
const QString kModbus = QStringLiteral("Modbus");
const QString kIec61850 = QStringLiteral("IEC61850");

// The editor an open edit dock shows, if it is of class Editor; comparing the open editor's
// class with the item's kind decides between re-pointing it and replacing it.
template <typename Editor>
Editor *editorIn(ads::CDockWidget *dock)
{
    return dock ? qobject_cast<Editor *>(dock->widget()) : nullptr;
}

} // namespace

ItemEditors::ItemEditors(CMainWindow *window, EditDocks *docks, QStandardItemModel *model)
    : QObject(window)
    , m_window(window)
    , m_docks(docks)
    , m_model(model)
{
    m_sessions = new BoxSessions(model, this);
    connect(m_sessions, &BoxSessions::dataReceived, window, &CMainWindow::onDataReceived);
    connect(m_sessions, &BoxSessions::messageAppended, window, &CMainWindow::appendMessage);
    connect(m_sessions, &BoxSessions::linkStateChanged, window, &CMainWindow::onBoxLinkStateChanged);
    m_marks = new BoxLinkMarks(m_sessions, model, this);
}

void ItemEditors::endSessionsQuietly()
{
    QObject::disconnect(m_sessions, nullptr, m_window, nullptr);
    QObject::disconnect(m_sessions, nullptr, m_marks, nullptr);
    m_sessions->endAll();
}

// --- edit-dock plumbing shared by the editors ------------------------------------------------

void ItemEditors::repoint(ads::CDockWidget *dock, QDialog *dialog, QStandardItem *item)
{
    if (dialog->property(kSaveCheckItem).isValid())
        dialog->setProperty(kSaveCheckItem, QVariant::fromValue(QPersistentModelIndex(item->index())));
    // A restored layout that did not know this dock has hidden it (and taken it out of its
    // area): it shows again.
    m_docks->bringBack(dock);
}

void ItemEditors::installSaveCheck(QDialog *dialog, QStandardItem *item, QLineEdit *nameEdit,
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

void ItemEditors::runSaveCheck(QDialog *dialog, QLineEdit *nameEdit, const std::function<void()> &save,
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
        QMessageBox::warning(m_window, tr("invalid name"), tr("Name cannot be null"));
        return;
    }
    const QPersistentModelIndex index = dialog->property(kSaveCheckItem).value<QPersistentModelIndex>();
    QStandardItem *item = index.isValid() ? m_model->itemFromIndex(index) : nullptr;
    QStandardItem *folder = item ? item->parent() : nullptr;
    if (!folder) {
        QMessageBox::warning(m_window, tr("error"), tr("Unable to find parent directory"));
        return;
    }
    if (ProjectTree::hasChildNamed(folder, name, item)) {
        QMessageBox::warning(m_window, tr("Duplicate name"),
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
    m_docks->discard(dock ? dock : m_docks->find(dockKind));
}

// --- opening editors -------------------------------------------------------------------------

template <typename Editor>
bool ItemEditors::reuseOrBuild(ads::CDockWidget *openDock, QStandardItem *item, EditorParts *parts)
{
    if (auto *open = editorIn<Editor>(openDock)) {
        open->replaceItem(item);
        repoint(openDock, open, item);
        return true;
    }
    auto *editor = new Editor(item, m_window);
    connect(editor, &Editor::messageAppended, m_window, &CMainWindow::appendMessage);
    parts->dialog = editor;
    parts->nameEdit = editor->nameEdit();
    parts->saveButton = editor->saveButton();
    parts->save = [editor] { editor->saveChanges(); };
    parts->fieldsOk = [editor] { return editor->confirmFields(); };
    return false;
}

void ItemEditors::openStandard(QStandardItem *item)
{
    if (!item)
        return;
    const QString kind = item->data(Role::Protocol).toString();
    const EditDockKind dockKind = EditDockKind::Standard;
    ads::CDockWidget *openDock = m_docks->find(dockKind);

    // Per kind: an open editor of the same kind is re-pointed at the item (replace operation,
    // then repoint) and the slot returns; otherwise a new editor is built into `editor`.
    EditorParts editor;
    if (kind == kDlt645) {
        if (reuseOrBuild<standardDLT645EditDialog>(openDock, item, &editor))
            return;
    } else if (kind == kModbus) {
        if (reuseOrBuild<standardModbusEditDialog>(openDock, item, &editor))
            return;
    }
    if (!editor.dialog)
        return; // no editor for this kind: whatever is open stays

    // An editor of the other kind gives way to the new one.
    m_docks->discard(openDock);
    m_docks->open(dockKind, editor.dialog);
    installSaveCheck(editor.dialog, item, editor.nameEdit, editor.saveButton, editor.save, dockKind,
                     editor.fieldsOk);
}

void ItemEditors::openService(QStandardItem *item)
{
    if (!item)
        return;
    const QString kind = item->data(Role::ServiceProtocol).toString();
    const EditDockKind dockKind = EditDockKind::Service;
    ads::CDockWidget *openDock = m_docks->find(dockKind);

    // As for standard devices; the service editor saves on its own, without the save check.
    EditorParts editor;
    if (kind == kIec61850) {
        // IEC61850 editor
        if (auto *open = editorIn<ServiceIEC61850EditDialog>(openDock)) {
            open->loadServiceItem(item);
            repoint(openDock, open, item);
            return;
        }
        auto *service = new ServiceIEC61850EditDialog(item, m_window);
        connect(service, &ServiceIEC61850EditDialog::messageAppended, m_window, &CMainWindow::appendMessage);
        editor.dialog = service;
    }
    if (!editor.dialog)
        return;

    m_docks->discard(openDock);
    m_docks->open(dockKind, editor.dialog);
}

void ItemEditors::openBox(QStandardItem *item)
{
    if (!item)
        return;
    const EditDockKind dockKind = EditDockKind::Box;

    // There is only ever one box editor: an open one is re-pointed at the item and shows that
    // box's session (then repoint), never replaced. The box shown before keeps its session,
    // its live data and a transfer that may run to it.
    ads::CDockWidget *openDock = m_docks->find(dockKind);
    if (openDock) {
        // Box editor: re-point
        if (auto *open = editorIn<BoxEditDialog>(openDock)) {
            open->loadBoxItem(item);
            repoint(openDock, open, item);
        }
        return;
    }

    EditorParts editor;
    // Box editor: build
    // Live data, link states and link messages reach the window from the sessions, whichever
    // box the editor shows; the editor's own messages from the editor.
    auto *box = new BoxEditDialog(item, m_sessions, m_window);
    connect(box, &BoxEditDialog::messageAppended, m_window, &CMainWindow::appendMessage);
    editor.dialog = box;
    editor.nameEdit = box->nameEdit();
    editor.saveButton = box->saveButton();
    editor.save = [box] { box->saveChanges(); };
    editor.fieldsOk = [box] { return box->confirmFields(); };

    ads::CDockWidget *dock = m_docks->open(dockKind, editor.dialog);
    // Closing the box editor drops the connection of the box it shows, as it closes: the
    // dialog itself goes later, when another editor may show that box already.
    connect(dock, &ads::CDockWidget::closed, box, &BoxEditDialog::release);
    // The dock's close button asks about a running transfer before the editor goes.
    dock->setFeature(ads::CDockWidget::CustomCloseHandling, true);
    // Discarded, not only closed: a closed dock is deleted later, and must not be found and
    // re-pointed meanwhile.
    connect(dock, &ads::CDockWidget::closeRequested, box, [this, box, dock] {
        if (box->mayEndTransfer())
            m_docks->discard(dock);
    });
    installSaveCheck(editor.dialog, item, editor.nameEdit, editor.saveButton, editor.save, dockKind,
                     editor.fieldsOk);
}

BoxEditDialog *ItemEditors::boxEditor() const
{
    return editorIn<BoxEditDialog>(m_docks->find(EditDockKind::Box));
}

bool ItemEditors::boxTransferMayEnd(QStandardItem *scope)
{
    const auto within = [scope](QModelIndex box) {
        if (!scope)
            return true;
        for (; box.isValid(); box = box.parent())
            if (box == scope->index())
                return true;
        return false;
    };
    QList<BoxSession *> running;
    for (BoxSession *session : m_sessions->sessions())
        if (session->transferRunning() && within(m_sessions->boxOf(session)))
            running.append(session);
    if (running.isEmpty())
        return true;
    const QString text = running.size() == 1
                             ? BoxEditDialog::tr("A transfer to the box is still running. Cancel it?")
                             : tr("Transfers to %1 boxes are still running. Cancel them?").arg(running.size());
    const auto answer = QMessageBox::question(m_window, BoxEditDialog::tr("Transfer Running"), text,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return false;
    for (BoxSession *session : qAsConst(running))
        session->cancelTransfer();
    return true;
}
