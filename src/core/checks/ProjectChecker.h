#pragma once

// Checks a project before it reaches a box: what the box would only find out at run time on
// site. Errors stop a deployment; warnings are told and may be overridden. Reads the tree,
// changes nothing; linear in the number of points (addresses are compared sorted, not pairwise).

#include "core/checks/CheckFinding.h"

#include <QCoreApplication>
#include <QDateTime>

class QStandardItem;

class ProjectChecker
{
    Q_DECLARE_TR_FUNCTIONS(ProjectChecker)
public:
    // Findings in tree order (standard devices, services, then boxes); `now` decides certificate
    // validity.
    static CheckFindings check(const QStandardItem *project,
                               const QDateTime &now = QDateTime::currentDateTimeUtc());

    static bool hasErrors(const CheckFindings &findings);
};
