#pragma once

// Shows what a deployment changes on a box against the document the box last received from
// this tool, and lets the user send or cancel.

#include "checks/ProjectChange.h"

#include <QDialog>

class QTreeWidget;

class DeploymentChangesDialog : public QDialog
{
    Q_OBJECT
public:
    DeploymentChangesDialog(const ProjectChanges &changes, const QString &boxIp, QWidget *parent);

    QTreeWidget *changesView() const { return m_view; }

private:
    QTreeWidget *m_view = nullptr;
};
