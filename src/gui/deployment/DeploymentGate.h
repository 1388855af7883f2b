#pragma once

// The questions before sending a project to a box, and the warning when the copy kept for the
// next comparison could not be written (ProjectDeployment keeps it):
//   before sending:  if (!DeploymentGate::confirm(project, document, boxIp, parent)) return;
// Several boxes at once: confirmChecks, confirmSaved, then confirmChanges for all of them.

#include "core/deployment/DeploymentStore.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QList>
#include <QPair>

class QStandardItem;
class QWidget;

class DeploymentGate
{
    Q_DECLARE_TR_FUNCTIONS(DeploymentGate)
public:
    // Runs the project checks. Errors: the checks window lists them, nothing may be sent
    // (false). Warnings only: a question lists them, Yes sends (true). None: true, no step.
    static bool confirmChecks(QStandardItem *project, QWidget *parent);

    // A project that its file does not hold as it stands (or that was never saved) would put on
    // the box what no file keeps: says so and offers to save it first, through the window that
    // owns it (the ProjectSaver hosting `parent`). Save: true once saved; Send without saving:
    // true; Cancel, or a save that failed: false. True without asking when the file holds it
    // or no window owns it.
    static bool confirmSaved(QStandardItem *project, QWidget *parent);

    // Compares `document` with what this box last received for this project and asks the user
    // to confirm the differences. True without asking when the box never got a document from
    // this tool or nothing changed.
    static bool confirmChanges(const QJsonObject &document, const QString &boxIp, QWidget *parent,
                               const DeploymentStore &store = DeploymentStore());

    // The same for several boxes at once (name, IP address each), one question for all: it lists
    // each box's changes and the boxes that have no copy to compare with. True without asking
    // when no box has a change to show.
    static bool confirmChanges(const QJsonObject &document, const QList<QPair<QString, QString>> &boxes,
                               QWidget *parent, const DeploymentStore &store = DeploymentStore());

    // All three, in this order: what the whole deployment asks before it sends.
    static bool confirm(QStandardItem *project, const QJsonObject &document, const QString &boxIp,
                        QWidget *parent, const DeploymentStore &store = DeploymentStore());

    // The project was sent, but the copy kept for the next comparison could not be written
    // (`error`: why; for many boxes, one line each).
    static void warnCopyNotKept(const QString &error, QWidget *parent);
};
