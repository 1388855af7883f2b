// Live data: data items under the project's "Data" folder and the monitoring tables.

#include "mainwindow/CMainWindow.h"

void CMainWindow::onDataReceived(Protocol::dataMonitoringData) {}
void CMainWindow::showDataInTable(QStandardItem *, QString, QString) {}
