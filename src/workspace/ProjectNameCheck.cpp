#include "workspace/ProjectNameCheck.h"

#include "projectfile/ProjectFileIo.h"

#include <QMessageBox>

QString ProjectNameCheck::problem(const QString &name)
{
    if (ProjectFileIo::isPlainFileName(name))
        return QString();
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
