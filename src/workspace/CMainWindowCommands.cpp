// Project and item commands.

#include "mainwindow/CMainWindow.h"

void CMainWindow::slotNewProject() {}
void CMainWindow::handleProjectCreated(const QString &, const QString &, const QString &) {}
void CMainWindow::slotEditProject() {}
void CMainWindow::slotDeleteProject() {}
void CMainWindow::standardAddFile() {}
void CMainWindow::slotstandardEditFile() {}
void CMainWindow::slotServiceEditFile() {}
void CMainWindow::boxAddFile() {}
void CMainWindow::boxSearchFile() {}
void CMainWindow::slotBoxEditFile() {}
void CMainWindow::slotDeleteFile() {}
void CMainWindow::slotDeleteAllFile() {}
