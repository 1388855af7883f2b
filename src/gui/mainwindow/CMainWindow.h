#pragma once

// The single top-level window: menus, tool bar, the three fixed docks, the edit docks and
// the project tree whose items carry every configuration record. The window wires; its slots
// hand the work to the objects below (edit docks, editors, project commands and files, the
// tree, the monitoring panel).

#include "core/boxlink/Protocol.h"
#include "gui/checks/FindingOpener.h"
#include "gui/deployment/ProjectSaver.h"
#include "gui/mainwindow/EditDocks.h"

#include <QJsonObject>
#include <QMainWindow>
#include <QModelIndex>

#include <functional>

class QPlainTextEdit;
class QStandardItem;
class QStandardItemModel;
class QTabWidget;
class QTranslator;
class QTreeView;
class ItemEditors;
class LogoWindow;
class MonitoringPanel;
class ProjectCommands;
class ProjectFiles;
class ProjectTree;
class TrendChart;
class UnsavedProjects;

namespace ads {
class CDockManager;
class CDockWidget;
} // namespace ads

namespace Ui {
class MainWindow;
}

class CMainWindow : public QMainWindow, public FindingOpener, public ProjectSaver
{
    Q_OBJECT
public:
    explicit CMainWindow(QWidget *parent = nullptr);
    ~CMainWindow() override;

    // Test seam: the catalogue the language set-up loads. The product keeps the fixed path.
    static void setCatalogPathForTesting(const QString &path);
    // Test seam: the directory searched for Qt's own catalogue (Qt's translations by default).
    static void setQtCatalogDirForTesting(const QString &dir);
    // Test seam: the clock (milliseconds since the epoch) that live-data staleness and
    // recording read. An empty function restores the system clock.
    static void setMonitoringClockForTesting(std::function<qint64()> msNow);

    // Opens the item's editor through the window's own commands and selects the place.
    bool openFinding(QStandardItem *item, const QString &tab, int row) override;

    // Whether a project of this window is held by its file; the tree and the title show it.
    SaveState projectSaveState(const QStandardItem *project) const override;
    // Saves it as "Save Project" does, confirming in the Message dock instead of a box (the
    // question before a deployment calls it, and the deployment's result follows).
    bool saveProject(QStandardItem *project) override;

    QStandardItemModel *projectModel() const { return m_projectModel; }
    QTreeView *projectView() const { return m_projectView; }
    QPlainTextEdit *messageEditor() const { return m_messageEditor; }
    QTabWidget *monitoringTabs() const { return m_monitoringTabs; }
    ads::CDockManager *dockManager() const { return m_dockManager; }
    bool isChineseActive() const { return m_chineseActive; }
    QTranslator *translator() const { return m_translator; }

    // Edit docks: at most one per kind, found again through the View menu.
    EditDocks *editDocks() const { return m_editDocks; }
    ads::CDockWidget *findEditDock(EditDockKind kind) const;
    // The same by the title a kind's dock shows; null for any other text.
    ads::CDockWidget *findEditDock(const QString &translatedTitle) const;
    ads::CDockWidget *createEditDock(const QString &translatedTitle, QWidget *dialog);
    void placeEditDock(ads::CDockWidget *dock);
    // Closes the edit dock with this title and schedules it for deletion.
    bool closeEditDock(const QString &translatedTitle);
    // A running box transfer would end with the box editor: asks whether to cancel it. True
    // when nothing runs any more.
    bool boxTransferMayEnd();

    // Project file
    QJsonObject buildProjectJson(QStandardItem *projectItem);
    bool saveJsonFile(QStandardItem *selectedItem);
    void transmitStandardDataToEditDialog(QJsonObject standardObj, QStandardItem *standardFileItem);
    void transmitServiceDataToEditDialog(QJsonObject serviceObj, QStandardItem *serviceFileItem);
    void transmitBoxDataToEditDialog(QJsonObject boxObj, QStandardItem *boxFileItem);

public slots:
    void closeTabByName(const QString &tabName);
    void appendMessage(const QString &text);

    // Main window
    void on_actionSaveState_triggered();
    void on_actionRestoreState_triggered();
    void aboutActionTriggered();
    void CESwitching();

    // Project tree
    void prjectTreeView_clicked(QModelIndex index);
    void prjectTreeView_pressed(QModelIndex index);
    void prjectTreeView_doubleClicked(QModelIndex index);
    void prjectTreeView_MenuPopup(const QPoint &pos);

    // Project and item commands
    void slotNewProject();
    void handleProjectCreated(const QString &name, const QString &path, const QString &description);
    void slotEditProject();
    void slotDeleteProject();
    void standardAddFile();
    void standardAddFromTemplateFile();
    void templatesFile();
    void standardBusScanFile();
    void slotstandardEditFile();
    void slotServiceEditFile();
    void boxAddFile();
    void boxSearchFile();
    void boxFleetFile();
    void slotBoxEditFile();
    void slotDeleteFile();
    void slotDeleteAllFile();

    // Project file
    void saveProjectFile();
    bool saveProjectAllFile();
    void loadJsonFile();

    // Live data
    void onDataReceived(Protocol::dataMonitoringData data);
    void showDataInTable(QStandardItem *dataItem, QString updateTime, QString plcName);
    // The link to the box at boxIp went up or down: while it is down the rows of the devices
    // of every open project holding that box are stale, until their next report.
    void onBoxLinkStateChanged(const QString &boxIp, bool up);
    // Marks the tables whose device has not reported within three collection intervals.
    void checkMonitoringStaleness();
    // Recording of every received value into an SQLite file; false when it could not start.
    bool startRecording(const QString &databasePath);
    void stopRecording();
    bool isRecording() const;
    // Writes the recorded rows received between from and to (inclusive, ms since the epoch)
    // into a CSV file; false, after telling the user, when that failed.
    bool exportRecording(qint64 fromMs, qint64 toMs, const QString &csvPath);
    // Charts the point's values from now on: in the device's latest open chart, or a new one.
    TrendChart *showTrend(const QString &device, const QString &point, bool newChart = false);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void saveState();
    void restoreState();
    void createFixedDocks();
    QIcon dockIcon(const QString &path) const;
    // Qt's own Chinese catalogue (standard buttons, file dialogs, editing menus).
    void loadQtCatalogue();
    // Without a saved layout: tree about a fifth of the width, monitoring above a smaller
    // Message dock. Re-applied as the window reaches its size, until a layout is restored
    // or the user drags a splitter.
    void applyFirstLayout();
    // Widens a new edit dock until its content (buttons, point table columns) fits; the
    // monitoring column gives the room. Bounded passes, each after the layout settled.
    void fitEditDockWidth(ads::CDockWidget *dock, int passes);
    // One pass; true when the dock grew.
    bool fitEditDockWidthNow(ads::CDockWidget *dock);

    Ui::MainWindow *ui;
    QTranslator *m_translator = nullptr;
    QTranslator *m_qtTranslator = nullptr;
    bool m_firstLayoutPending = false;
    bool m_chineseActive = false;
    ads::CDockManager *m_dockManager = nullptr;
    QStandardItemModel *m_projectModel = nullptr;
    QTreeView *m_projectView = nullptr;
    QPlainTextEdit *m_messageEditor = nullptr;
    QTabWidget *m_monitoringTabs = nullptr;
    ads::CDockWidget *m_dataDock = nullptr;
    ads::CDockWidget *m_projectDock = nullptr;
    ads::CDockWidget *m_messageDock = nullptr;
    LogoWindow *m_logoWindow = nullptr;

    // The tests drive the save check without an editor of their own.
    friend class TstCommands;

    EditDocks *m_editDocks = nullptr;
    MonitoringPanel *m_monitoring = nullptr;
    ProjectTree *m_tree = nullptr;
    ItemEditors *m_editors = nullptr;
    ProjectFiles *m_files = nullptr;
    UnsavedProjects *m_unsaved = nullptr;
    ProjectCommands *m_commands = nullptr;
};
