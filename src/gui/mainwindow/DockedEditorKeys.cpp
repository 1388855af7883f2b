#include "gui/mainwindow/DockedEditorKeys.h"

#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>

DockedEditorKeys::DockedEditorKeys(QObject *parent)
    : QObject(parent)
{
}

void DockedEditorKeys::install(QDialog *dialog)
{
    dialog->installEventFilter(new DockedEditorKeys(dialog));
}

bool DockedEditorKeys::eventFilter(QObject *watched, QEvent *event)
{
    // Only presses that reach the dialog itself: a child that uses Escape (a cell editor
    // dropping its edit, an open combo box) has taken it before.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel)) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
