#pragma once

// Opens an item's editor in the edit dock of its kind: re-points an open editor of the same
// kind, or replaces one of another kind; and the save check the editors that rename their item
// share. Editors report to the window (messages, live data, link state).

#include "gui/mainwindow/EditDocks.h"

#include <QCoreApplication>
#include <QObject>

#include <functional>

class BoxSessions;
class CMainWindow;
class QAbstractButton;
class QLineEdit;
class QStandardItem;
class QStandardItemModel;

class ItemEditors : public QObject
{
    // Its texts are the main window's, and translated as such.
    Q_DECLARE_TR_FUNCTIONS(CMainWindow)
public:
    ItemEditors(CMainWindow *window, EditDocks *docks, QStandardItemModel *model);

    void openStandard(QStandardItem *item);
    void openService(QStandardItem *item);
    void openBox(QStandardItem *item);

    // Transfers to the boxes under `scope` (every box without one) would end: asks whether to
    // cancel them. True when none runs any more.
    bool boxTransferMayEnd(QStandardItem *scope = nullptr);
    // The box editor, when open.
    class BoxEditDialog *boxEditor() const;
    BoxSessions *boxSessions() const { return m_sessions; }
    // For a window on its way out: every box session ends without reporting to it.
    void endSessionsQuietly();

    // Re-uses an open editor for another item: the save check follows the item, the dock
    // comes to the front. The editor's own replace operation is called by the caller.
    void repoint(ads::CDockWidget *dock, QDialog *dialog, QStandardItem *item);
    // Shared Save handling of the box, Modbus and DLT645 editors: checks the new name
    // against the item's folder, renames the item, runs the editor's own save and closes
    // the dock. The item is the one the editor shows now (see repoint). fieldsOk, where
    // given, runs first: the editor's own check of its fields, which warns and refuses.
    void installSaveCheck(QDialog *dialog, QStandardItem *item, QLineEdit *nameEdit,
                          QAbstractButton *saveButton, std::function<void()> save,
                          EditDockKind dockKind, std::function<bool()> fieldsOk = {});

private:
    // What the generic edit-dock code needs from a freshly built editor.
    struct EditorParts
    {
        QDialog *dialog = nullptr;
        QLineEdit *nameEdit = nullptr; // save-checked editors only
        QAbstractButton *saveButton = nullptr;
        std::function<void()> save;
        std::function<bool()> fieldsOk; // the editor's own field check, where it has one
    };
    // A standard device editor of class Editor: re-points an open one at the item (true), or
    // builds a new one into parts (false).
    template <typename Editor>
    bool reuseOrBuild(ads::CDockWidget *openDock, QStandardItem *item, EditorParts *parts);
    void runSaveCheck(QDialog *dialog, QLineEdit *nameEdit, const std::function<void()> &save,
                      EditDockKind dockKind, const std::function<bool()> &fieldsOk);

    CMainWindow *m_window;
    EditDocks *m_docks;
    QStandardItemModel *m_model;
    // One session per box the engineer has opened, whichever box the editor shows.
    BoxSessions *m_sessions = nullptr;
    class BoxLinkMarks *m_marks = nullptr;
};
