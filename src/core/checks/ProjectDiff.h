#pragma once

// What differs between two project documents: devices, slaves, meters, points, services and
// boxes added, removed or changed, with old and new values of each changed field. Devices,
// services and boxes are matched by name, slaves and meters by position, points by address
// and then by name, so a renamed point is one change and not a removal plus an addition.
// Fields are named as the editors label them, in the language active at the call.

#include "core/checks/ProjectChange.h"

#include <QCoreApplication>
#include <QJsonObject>

class ProjectDiff
{
    Q_DECLARE_TR_FUNCTIONS(ProjectDiff)
public:
    static ProjectChanges compare(const QJsonObject &before, const QJsonObject &after);
};
