#pragma once

// Shows what a deployment changes on a box (or on each of several boxes) against the document
// the box last received from this tool, and lets the user send or cancel.

#include "core/checks/ProjectChange.h"

#include <QDialog>

class QTreeWidget;

// One box of a deployment to several.
struct BoxChanges
{
    QString name;
    QString ip;
    bool hasCopy = false; // false: the box never got this project from this tool
    ProjectChanges changes;
};

class DeploymentChangesDialog : public QDialog
{
    Q_OBJECT
public:
    DeploymentChangesDialog(const ProjectChanges &changes, const QString &boxIp, QWidget *parent);
    // One entry per box, its changes below it; one answer for all of them.
    DeploymentChangesDialog(const QList<BoxChanges> &boxes, QWidget *parent);

    QTreeWidget *changesView() const { return m_view; }

private:
    void build(const QString &intro);

    QTreeWidget *m_view = nullptr;
};
