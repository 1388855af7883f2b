// The window's command slots: each hands its work to the object that does it (editors,
// project commands and files, the tree, the monitoring panel), for the item current in the
// tree where the command acts on one.

#include "gui/mainwindow/CMainWindow.h"

#include "gui/mainwindow/ItemEditors.h"
#include "gui/mainwindow/ProjectCommands.h"
#include "gui/mainwindow/ProjectFiles.h"
#include "gui/mainwindow/ProjectTree.h"
#include "gui/mainwindow/UnsavedProjects.h"
#include "gui/monitoring/MonitoringPanel.h"
#include "core/project/ProjectJson.h"

#include <QStandardItem>
#include <QTreeView>

// --- project tree ------------------------------------------------------------------------------

void CMainWindow::prjectTreeView_clicked(QModelIndex index)
{
    m_tree->clicked(index);
}

void CMainWindow::prjectTreeView_pressed(QModelIndex)
{
}

void CMainWindow::prjectTreeView_doubleClicked(QModelIndex)
{
}

void CMainWindow::prjectTreeView_MenuPopup(const QPoint &pos)
{
    m_tree->popupMenu(pos);
}

// --- projects and items ------------------------------------------------------------------------

void CMainWindow::slotNewProject()
{
    m_commands->newProject();
}

void CMainWindow::handleProjectCreated(const QString &name, const QString &path, const QString &description)
{
    m_commands->createProject(name, path, description);
}

void CMainWindow::slotEditProject()
{
    m_commands->editProject(m_tree->currentItem());
}

void CMainWindow::slotDeleteProject()
{
    m_commands->closeProject(m_tree->currentItem());
}

void CMainWindow::standardAddFile()
{
    m_commands->addStandard(m_tree->currentItem());
}

void CMainWindow::standardAddFromTemplateFile()
{
    m_commands->addFromTemplate(m_tree->currentItem());
}

void CMainWindow::templatesFile()
{
    m_commands->showTemplates();
}

void CMainWindow::standardBusScanFile()
{
    m_commands->busScanForNewDevice(m_tree->currentItem());
}

void CMainWindow::boxAddFile()
{
    m_commands->addBox(m_tree->currentItem(), QString(), QString());
}

void CMainWindow::boxSearchFile()
{
    m_commands->searchBoxes(m_tree->currentItem());
}

void CMainWindow::boxFleetFile()
{
    m_commands->showFleet(m_tree->currentItem());
}

void CMainWindow::slotDeleteFile()
{
    m_commands->deleteItem(m_tree->currentItem());
}

void CMainWindow::slotDeleteAllFile()
{
    m_commands->deleteAllData(m_tree->currentItem());
}

// --- editors -----------------------------------------------------------------------------------

void CMainWindow::slotstandardEditFile()
{
    m_editors->openStandard(m_tree->currentItem());
}

void CMainWindow::slotServiceEditFile()
{
    m_editors->openService(m_tree->currentItem());
}

void CMainWindow::slotBoxEditFile()
{
    m_editors->openBox(m_tree->currentItem());
}

bool CMainWindow::boxTransferMayEnd()
{
    return m_editors->boxTransferMayEnd();
}

// --- project files -----------------------------------------------------------------------------

QJsonObject CMainWindow::buildProjectJson(QStandardItem *projectItem)
{
    return ProjectJson::buildProjectJson(projectItem);
}

bool CMainWindow::saveJsonFile(QStandardItem *selectedItem)
{
    return m_files->saveJsonFile(selectedItem);
}

ProjectSaver::SaveState CMainWindow::projectSaveState(const QStandardItem *project) const
{
    if (!project || project->model() != m_projectModel)
        return SaveState::Saved;
    while (project->parent())
        project = project->parent();
    return m_unsaved->state(project);
}

bool CMainWindow::saveProject(QStandardItem *project)
{
    project = ProjectTree::projectOf(project);
    if (!project || project->model() != m_projectModel || !m_files->saveJsonFile(project, false))
        return false;
    appendMessage(tr("JSON data saved to file:\n%1").arg(ProjectJson::projectFilePath(project)));
    return true;
}

void CMainWindow::saveProjectFile()
{
    m_files->saveProjectFile(m_tree->currentItem());
}

bool CMainWindow::saveProjectAllFile()
{
    return m_files->saveProjectAllFile();
}

void CMainWindow::loadJsonFile()
{
    m_files->loadJsonFile();
}

void CMainWindow::transmitStandardDataToEditDialog(QJsonObject standardObj,
                                                   QStandardItem *standardFileItem)
{
    ProjectJson::loadStandardRecord(standardObj, standardFileItem);
}

void CMainWindow::transmitServiceDataToEditDialog(QJsonObject serviceObj,
                                                  QStandardItem *serviceFileItem)
{
    ProjectJson::loadServiceRecord(serviceObj, serviceFileItem);
}

void CMainWindow::transmitBoxDataToEditDialog(QJsonObject boxObj, QStandardItem *boxFileItem)
{
    ProjectJson::loadBoxRecord(boxObj, boxFileItem);
}

// --- live data ---------------------------------------------------------------------------------

void CMainWindow::setMonitoringClockForTesting(std::function<qint64()> msNow)
{
    MonitoringClock::set(std::move(msNow));
}

void CMainWindow::onDataReceived(Protocol::dataMonitoringData data)
{
    if (m_monitoring->report(data))
        m_projectView->expandAll();
}

void CMainWindow::showDataInTable(QStandardItem *dataItem, QString updateTime, QString plcName)
{
    m_monitoring->showDataInTable(dataItem, updateTime, plcName);
}

void CMainWindow::onBoxLinkStateChanged(const QString &boxIp, bool up)
{
    m_monitoring->boxLinkStateChanged(boxIp, up);
}

void CMainWindow::checkMonitoringStaleness()
{
    m_monitoring->checkStaleness();
}

bool CMainWindow::startRecording(const QString &databasePath)
{
    return m_monitoring->startRecording(databasePath);
}

void CMainWindow::stopRecording()
{
    m_monitoring->stopRecording();
}

bool CMainWindow::isRecording() const
{
    return m_monitoring->isRecording();
}

bool CMainWindow::exportRecording(qint64 fromMs, qint64 toMs, const QString &csvPath)
{
    return m_monitoring->exportRecording(fromMs, toMs, csvPath);
}

TrendChart *CMainWindow::showTrend(const QString &device, const QString &point, bool newChart)
{
    return m_monitoring->showTrend(device, point, newChart);
}

