#pragma once

// Which open projects hold what their file does not: their tree entry is set in italics with a
// tooltip saying so, and the window title carries the modified mark. A project counts as saved
// when the bytes it would save now are the bytes last written to or read from its file, so an
// edit undone by hand, or a save without a change, leaves no mark. Re-judged once the model has
// settled after a change (one zero timer for any number of changes); live data (the "Data"
// folder) and the marks themselves never make it judge again.

#include "gui/deployment/ProjectSaver.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

class QByteArray;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;
class QWidget;

class UnsavedProjects : public QObject
{
    // Its texts are the main window's, and translated as such.
    Q_DECLARE_TR_FUNCTIONS(CMainWindow)
public:
    UnsavedProjects(QWidget *window, QStandardItemModel *model);

    // `bytes` were just written to, or read into, the project's file as it now stands.
    void markSaved(QStandardItem *project, const QByteArray &bytes);
    ProjectSaver::SaveState state(const QStandardItem *project) const;
    // Judges every project and sets the marks now rather than after the next event.
    void refresh();

private:
    void changed(const QModelIndex &index);
    void apply(QStandardItem *project, ProjectSaver::SaveState state);

    QWidget *m_window;
    QStandardItemModel *m_model;
    QTimer m_timer;
    bool m_applying = false;
};
