#include "gui/project/ProjectNameCheck.h"

#include "core/project/ProjectFileIo.h"

#include <QMessageBox>

QString ProjectNameCheck::problem(const QString &name)
{
    if (ProjectFileIo::isPlainFileName(name))
        return QString();
    // Saved, a project without a name would be the hidden file ".json".
    if (name.isEmpty())
        return tr("The project has no name; a project file is named after its project.");
    return tr("The project name \"%1\" cannot be used as a file name: it must not contain \"/\" or \"\\\", "
              "be \".\" or \"..\", or hold control characters.")
        .arg(name);
}

bool ProjectNameCheck::accept(QWidget *parent, const QString &name)
{
    const QString reason = problem(name);
    if (reason.isEmpty())
        return true;
    QMessageBox::warning(parent, tr("Warning"), reason);
    return false;
}
