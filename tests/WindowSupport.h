#pragma once

// A look-up into the main window's monitoring area, shared by the tests.

#include "gui/mainwindow/CMainWindow.h"

#include <QTabWidget>
#include <QTableWidget>

// The table of the first monitoring tab titled plc, or null.
inline QTableWidget *tableOf(CMainWindow &w, const QString &plc)
{
    QTabWidget *tabs = w.monitoringTabs();
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == plc)
            return tabs->widget(i)->findChild<QTableWidget *>();
    return nullptr;
}
