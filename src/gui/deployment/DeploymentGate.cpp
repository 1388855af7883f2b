#include "gui/deployment/DeploymentGate.h"

#include "core/checks/ProjectChecker.h"
#include "core/checks/ProjectDiff.h"
#include "core/project/ProjectJson.h"
#include "gui/deployment/DeploymentChangesDialog.h"
#include "gui/deployment/ProjectSaver.h"
#include "gui/checks/FindingOpener.h"
#include "gui/checks/ProjectChecksWindow.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QStandardItem>
#include <QStringList>

namespace {

// A question box stays readable; the checks window has the whole list.
constexpr int kListedWarnings = 15;

// What `document` changes against the copy this box last received; false when it has none.
bool changesOnBox(const QJsonObject &document, const QString &boxIp, const DeploymentStore &store,
                  ProjectChanges *changes)
{
    QJsonObject previous;
    if (!store.lastDocument(boxIp, document.value(QStringLiteral("name")).toString(), &previous))
        return false;
    *changes = ProjectDiff::compare(previous, document);
    return true;
}

} // namespace

bool DeploymentGate::confirmChecks(QStandardItem *project, QWidget *parent)
{
    const CheckFindings findings = ProjectChecker::check(project);
    if (findings.isEmpty())
        return true;
    if (ProjectChecker::hasErrors(findings)) {
        // The window belongs to the main window, so it outlives a closed box editor.
        QWidget *owner = FindingOpener::hostOf(parent);
        ProjectChecksWindow *window = ProjectChecksWindow::showFor(project, owner ? owner : parent);
        window->setNotice(tr("The project was not sent: it has errors. Correct them and deploy again."));
        return false;
    }
    QStringList lines;
    for (int i = 0; i < findings.size() && i < kListedWarnings; ++i) {
        const CheckFinding &f = findings.at(i);
        const QString place = f.tab.isEmpty() ? f.item->text()
                              : f.row > 0     ? tr("%1 / %2, row %3").arg(f.item->text(), f.tab).arg(f.row)
                                              : tr("%1 / %2").arg(f.item->text(), f.tab);
        lines << QStringLiteral("- %1: %2").arg(place, f.text);
    }
    if (findings.size() > kListedWarnings)
        lines << tr("... and %1 more.").arg(findings.size() - kListedWarnings);
    const auto answer = QMessageBox::question(
        parent, tr("Check Project"),
        tr("The project has warnings:\n\n%1\n\nSend it anyway?").arg(lines.join(QLatin1Char('\n'))),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    return answer == QMessageBox::Yes;
}

bool DeploymentGate::confirmSaved(QStandardItem *project, QWidget *parent)
{
    auto *saver = dynamic_cast<ProjectSaver *>(FindingOpener::hostOf(parent));
    const ProjectSaver::SaveState state =
        saver && project ? saver->projectSaveState(project) : ProjectSaver::SaveState::Saved;
    if (state == ProjectSaver::SaveState::Saved)
        return true;
    const QString text = state == ProjectSaver::SaveState::NeverSaved
        ? tr("The project '%1' has not been saved: no file holds what is about to be sent.\n\n"
             "Save it first?")
              .arg(project->text())
        : tr("The project '%1' has changes that its file %2 does not hold: the box would get a "
             "project that differs from the file.\n\nSave it first?")
              .arg(project->text(), ProjectJson::projectFilePath(project));
    QMessageBox box(QMessageBox::Question, tr("Unsaved Project"), text,
                    QMessageBox::Save | QMessageBox::No | QMessageBox::Cancel, parent);
    box.button(QMessageBox::No)->setText(tr("Send without saving"));
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return saver->saveProject(project);
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool DeploymentGate::confirmChanges(const QJsonObject &document, const QString &boxIp, QWidget *parent,
                                    const DeploymentStore &store)
{
    ProjectChanges changes;
    if (!changesOnBox(document, boxIp, store, &changes) || changes.isEmpty())
        return true;
    DeploymentChangesDialog dialog(changes, boxIp, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool DeploymentGate::confirmChanges(const QJsonObject &document, const QList<QPair<QString, QString>> &boxes,
                                    QWidget *parent, const DeploymentStore &store)
{
    QList<BoxChanges> listed;
    bool anyChange = false;
    for (const auto &box : boxes) {
        BoxChanges entry{box.first, box.second, false, {}};
        entry.hasCopy = changesOnBox(document, box.second, store, &entry.changes);
        // A box that already has exactly this project needs no word.
        if (entry.hasCopy && entry.changes.isEmpty())
            continue;
        anyChange |= !entry.changes.isEmpty();
        listed.append(entry);
    }
    // Boxes without a copy alone ask nothing, as a single box without one does.
    if (!anyChange)
        return true;
    DeploymentChangesDialog dialog(listed, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool DeploymentGate::confirm(QStandardItem *project, const QJsonObject &document, const QString &boxIp,
                             QWidget *parent, const DeploymentStore &store)
{
    return confirmChecks(project, parent) && confirmSaved(project, parent)
           && confirmChanges(document, boxIp, parent, store);
}

void DeploymentGate::warnCopyNotKept(const QString &error, QWidget *parent)
{
    QMessageBox::warning(parent, tr("Warning"),
                         tr("The project was sent, but the copy kept to show the next deployment's "
                            "changes could not be written: %1")
                             .arg(error));
}
