#pragma once

// The Data monitoring area: a tab with a table per reporting device, stale marking, trend
// charts and the recording. It files each report under the project's "Data" folder; the
// window hands it the reports and the box links' state, and shows its messages.

#include "core/boxlink/Protocol.h"
#include "core/monitoring/MonitoringFeeds.h"
#include "core/monitoring/SampleRing.h"

#include <QList>
#include <QObject>
#include <QPointer>

class MonitoringRecorder;
class QAction;
class QStandardItem;
class QStandardItemModel;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolBar;
class QWidget;
class TrendChart;

class MonitoringPanel : public QObject
{
    Q_OBJECT
public:
    // `bar` (may be null) gets Record and Export CSV; `window` parents charts and dialogs.
    MonitoringPanel(QTabWidget *tabs, QToolBar *bar, QStandardItemModel *projects, QWidget *window);
    ~MonitoringPanel() override;

    // Files the report under its project's Data folder and shows it; false when that project
    // is not open (the report is dropped).
    bool report(const Protocol::dataMonitoringData &data);
    void showDataInTable(QStandardItem *dataItem, const QString &updateTime, const QString &plcName);
    // Removes the first tab titled so (the page stays with its owner).
    void closeTab(const QString &tabName);
    void boxLinkStateChanged(const QString &boxIp, bool up);
    void checkStaleness();

    bool startRecording(const QString &databasePath);
    void stopRecording();
    bool isRecording() const;
    bool exportRecording(qint64 fromMs, qint64 toMs, const QString &csvPath);
    TrendChart *showTrend(const QString &device, const QString &point, bool newChart);

signals:
    // A line for the window's Message dock.
    void messageAppended(const QString &text);

private:
    QTableWidget *table(const QString &plcName, bool *created);
    void forgetProject(const QString &projectName);
    void setFeedStale(const QString &tabName, MonitoringFeed &feed, bool stale);
    void feedTrendCharts(const QString &device, qint64 receivedMs, const QJsonArray &points);
    void onRecordToggled(bool on);
    void onExportTriggered();

    QTabWidget *m_tabs;
    QStandardItemModel *m_projects;
    QWidget *m_window;
    MonitoringFeeds m_feeds;
    SampleHistory m_history; // what a trend opened later starts with
    QTimer *m_staleTimer = nullptr;
    MonitoringRecorder *m_recorder = nullptr;
    QString m_lastRecording;
    QList<QPointer<TrendChart>> m_trendCharts;
    QAction *m_recordAction = nullptr;
};
