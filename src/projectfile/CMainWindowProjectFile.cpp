// Project file commands of the main window.

#include "mainwindow/CMainWindow.h"

QJsonObject CMainWindow::buildProjectJson(QStandardItem *) { return {}; }
bool CMainWindow::saveJsonFile(QStandardItem *) { return true; }
void CMainWindow::saveProjectFile() {}
bool CMainWindow::saveProjectAllFile() { return true; }
void CMainWindow::loadJsonFile() {}
void CMainWindow::transmitStandardDataToEditDialog(QJsonObject, QStandardItem *) {}
void CMainWindow::transmitServiceDataToEditDialog(QJsonObject, QStandardItem *) {}
void CMainWindow::transmitBoxDataToEditDialog(QJsonObject, QStandardItem *) {}
