#pragma once

// Keys a dialog handles for itself that must not act once the dialog sits in an edit dock.
// A QDialog takes Escape as reject(), which closes the dock and throws every unsaved edit
// away; in a dock only the Cancel button should do that.

#include <QObject>

class QDialog;

class DockedEditorKeys : public QObject
{
    Q_OBJECT
public:
    // Installs the filter on `dialog`; it lives and dies with the dialog.
    static void install(QDialog *dialog);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit DockedEditorKeys(QObject *parent);
};
