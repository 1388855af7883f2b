#pragma once

// The check every way of naming a project goes through (New Project, Edit Project, loading,
// saving): the name becomes the project file's name, so it must be a plain file name.

#include <QCoreApplication>
#include <QString>

class QWidget;

class ProjectNameCheck
{
    Q_DECLARE_TR_FUNCTIONS(ProjectNameCheck)
public:
    // Why `name` cannot name a project file, or an empty string when it can.
    static QString problem(const QString &name);
    // Shows the problem in a warning box; true when the name is fine.
    static bool accept(QWidget *parent, const QString &name);
};
