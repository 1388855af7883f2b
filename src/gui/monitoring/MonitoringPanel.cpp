// The Data monitoring area: tables per device, stale marking, trend charts and recording.

#include "gui/monitoring/MonitoringPanel.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/monitoring/MonitoringRowDelegate.h"
#include "core/monitoring/MonitoringRecorder.h"
#include "gui/monitoring/TrendChart.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectItems.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>
#include <QDebug>
#include <QHash>
#include <QHeaderView>
#include <QJsonObject>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace {
// The panel's texts keep the main window's context, where their translations are.
struct WindowText
{
    Q_DECLARE_TR_FUNCTIONS(CMainWindow)
};

const QString kNoDisplay = QStringLiteral("NoDisplay");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kHeaderStyle = QStringLiteral("QHeaderView::section { background-color: #DDDDDD; }");
const QString kTabStyle = QStringLiteral(
    "QTabBar::tab { font-size: 16px; color: black; background-color: #e0e0e0; border-radius: 5px; "
    "min-width: 80px; height: 20px; padding: 5px 10px; } "
    "QTabBar::tab:selected { background-color: #1296db; color: white; } "
    "QTabBar::tab:hover { background-color: #7dc5eb; }");
constexpr int kColumns = 6;
constexpr int kValidColumn = 4;
// Widest the first five columns start, so the update time stays in sight in an 800 px dock.
constexpr int kMaxStartWidth = 110;

qint64 nowMs()
{
    return MonitoringClock::nowMs();
}

// Three collection intervals of the project's device of that name, at least 3 s.
qint64 staleAfterMs(QStandardItem *project, const QString &device)
{
    QString interval;
    if (QStandardItem *standards = project ? childWithText(project, Folder::Standard) : nullptr) {
        if (QStandardItem *item = childWithText(standards, device))
            interval = item->data(Role::CollectionInterval).toString();
    }
    return MonitoringFeeds::staleAfterMs(interval);
}

bool projectHasBox(QStandardItem *project, const QString &boxIp)
{
    QStandardItem *boxes = childWithText(project, Folder::Box);
    for (int i = 0; boxes && i < boxes->rowCount(); ++i)
        if (boxes->child(i) && boxes->child(i)->data(Role::BoxIp).toString() == boxIp)
            return true;
    return false;
}

int tabIndexOf(QTabWidget *tabs, const QString &text)
{
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == text)
            return i;
    return -1;
}

// Re-applying an unchanged sheet still re-polishes every child widget.
void applyStyleSheet(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

// True when the cell's text changed.
bool setCell(QTableWidget *table, int row, int column, const QString &text)
{
    QTableWidgetItem *cell = table->item(row, column);
    if (!cell) {
        table->setItem(row, column, new QTableWidgetItem(text));
        return true;
    }
    if (cell->text() == text)
        return false;
    // After a sort the item's cached position is stale, and a stale item looks itself up by
    // a linear search on every change: taking it out and putting it back renews the position,
    // so a report stays linear in the number of points.
    cell = table->takeItem(row, column);
    cell->setText(text);
    table->setItem(row, column, cell);
    return true;
}

// Checks the range [*fromMs, *toMs] against what the recording at `database` holds before
// anything is written: a range that begins before the recording offers its recorded part
// (and takes it when the user agrees), a range without any report says so. False when there
// is nothing to export.
bool confirmExportRange(QWidget *window, const QString &database, qint64 *fromMs, qint64 *toMs)
{
    MonitoringRecorder::Recorded recorded;
    QString error = database.isEmpty() ? WindowText::tr("nothing has been recorded yet") : QString();
    if (error.isEmpty())
        MonitoringRecorder::recorded(database, *fromMs, *toMs, &recorded, &error);
    const auto time = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString(kTimeFormat); };
    const MonitoringRecorder::ExportPlan plan = MonitoringRecorder::planExport(*fromMs, *toMs, recorded);
    if (error.isEmpty()) {
        switch (plan.scope) {
        case MonitoringRecorder::ExportScope::AsAsked:
            return true;
        case MonitoringRecorder::ExportScope::BeforeRecording:
            if (QMessageBox::question(window, WindowText::tr("Export CSV"),
                                      WindowText::tr("The recording begins at %1, after the start of the chosen "
                                                     "range. Export the recorded range from %1 to %2?")
                                          .arg(time(plan.recordedFromMs), time(plan.recordedToMs)),
                                      QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::NoButton)
                != QMessageBox::Yes)
                return false;
            *fromMs = plan.fromMs;
            *toMs = plan.toMs;
            return true;
        case MonitoringRecorder::ExportScope::NothingRecorded:
            error = recorded.any ? WindowText::tr("nothing was recorded between %1 and %2; the recording "
                                                  "holds %3 to %4")
                                       .arg(time(*fromMs), time(*toMs), time(recorded.firstMs),
                                            time(recorded.lastMs))
                                 : WindowText::tr("nothing has been recorded yet");
            break;
        case MonitoringRecorder::ExportScope::Reversed:
            error = WindowText::tr("the range ends before it begins");
            break;
        }
    }
    QMessageBox::warning(window, WindowText::tr("Export CSV"),
                         WindowText::tr("The recording could not be exported: %1").arg(error));
    return false;
}
} // namespace

MonitoringPanel::MonitoringPanel(QTabWidget *tabs, QToolBar *bar, QStandardItemModel *projects,
                                 QWidget *window)
    : QObject(window)
    , m_tabs(tabs)
    , m_projects(projects)
    , m_window(window)
{
    m_staleTimer = new QTimer(this);
    m_staleTimer->setInterval(1000);
    connect(m_staleTimer, &QTimer::timeout, this, [this] { checkStaleness(); });
    m_staleTimer->start();

    connect(m_projects, &QStandardItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &parent, int first, int last) {
                if (parent.isValid())
                    return;
                for (int row = first; row <= last; ++row)
                    forgetProject(m_projects->index(row, 0).data().toString());
            });

    if (bar) {
        m_recordAction = bar->addAction(QIcon(QStringLiteral(":/adsdemo/images/save.svg")),
                                        WindowText::tr("Record"));
        m_recordAction->setObjectName(QStringLiteral("recordAction"));
        m_recordAction->setCheckable(true);
        m_recordAction->setToolTip(WindowText::tr("Record every received value into a database file"));
        connect(m_recordAction, &QAction::triggered, this, [this](bool on) { onRecordToggled(on); });
        QAction *exportAction = bar->addAction(QIcon(QStringLiteral(":/adsdemo/images/write.svg")),
                                               WindowText::tr("Export CSV"));
        exportAction->setObjectName(QStringLiteral("exportCsvAction"));
        connect(exportAction, &QAction::triggered, this, [this] { onExportTriggered(); });
    }
}

MonitoringPanel::~MonitoringPanel()
{
    delete m_recorder;
}

bool MonitoringPanel::report(const Protocol::dataMonitoringData &data)
{
    qDebug() << "Main: " << data.projectName;

    QStandardItem *project = childWithText(m_projects->invisibleRootItem(), data.projectName);
    if (!project)
        return false;

    QStandardItem *dataFolder = childWithText(project, Folder::Data);
    if (!dataFolder) {
        // A Data folder made by a report carries the raster icon, unlike one made with the project.
        dataFolder = ProjectItems::newFolder(ProjectItems::icon("Data.png"), Folder::Data);
        project->appendRow(dataFolder);
    }

    // Reports of the same device from two boxes are two feeds, each named with its box.
    const QString feed = MonitoringFeeds::feedName(data.plcName, data.boxName.isEmpty() ? data.boxIp : data.boxName);
    QStandardItem *dataItem = nullptr;
    for (int i = 0; i < dataFolder->rowCount(); ++i) {
        QStandardItem *child = dataFolder->child(i);
        if (child && child->text() == feed)
            dataItem = child; // the last one wins
    }

    // The time the report arrived, on the monitoring clock: a report handed on late (its
    // link's owner was busy) is still recorded and judged by its arrival.
    qint64 receivedMs = nowMs();
    if (data.receivedMs > 0)
        receivedMs -= qMax<qint64>(0, QDateTime::currentMSecsSinceEpoch() - data.receivedMs);
    const QString now = QDateTime::fromMSecsSinceEpoch(receivedMs).toString(kTimeFormat);
    // The recording comes first, but never at the cost of the live view.
    if (m_recorder && m_recorder->isOpen()
        && !m_recorder->record(data.sn, data.projectName, data.plcName, data.time, receivedMs, data.datas)) {
        const QString error = m_recorder->errorText();
        stopRecording();
        emit messageAppended(
            WindowText::tr("Recording stopped: the database could not be written (%1).").arg(error));
    }
    m_feeds.reported(feed, data.projectName, receivedMs, staleAfterMs(project, data.plcName), data.boxIp);
    feedTrendCharts(feed, receivedMs, data.datas);
    const QVariantList rows = MonitoringFeeds::rowsFromReport(data.datas, now);

    if (dataItem) {
        dataItem->setData(rows, Role::DataRows);
        showDataInTable(dataItem, now, feed);
    } else {
        // A device's first report only files the data; its table appears from the second on.
        dataItem = ProjectItems::newDataItem(ProjectItems::icon("data-file.svg"), feed, rows,
                                             kNoDisplay);
        dataFolder->appendRow(dataItem);
    }
    return true;
}

QTableWidget *MonitoringPanel::table(const QString &plcName, bool *created)
{
    QTabWidget *tabs = m_tabs;
    QWidget *page = nullptr;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == plcName) {
            page = tabs->widget(i);
            break;
        }
    }
    if (!page) {
        page = new QWidget;
        auto *layout = new QVBoxLayout(page);
        auto *table = new QTableWidget;
        table->setItemDelegate(new MonitoringRowDelegate(&nowMs, table));
        layout->addWidget(table);
        tabs->addTab(page, plcName);
        auto pointAt = [table](int row) {
            const QTableWidgetItem *name = table->item(row, 0);
            return name ? name->text() : QString();
        };
        connect(table, &QTableWidget::cellDoubleClicked, this, [this, plcName, pointAt](int row, int) {
            showTrend(plcName, pointAt(row), false);
        });
        table->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(table, &QWidget::customContextMenuRequested, this,
                [this, table, plcName, pointAt](const QPoint &pos) {
                    const QString point = pointAt(table->rowAt(pos.y()));
                    if (point.isEmpty())
                        return;
                    QMenu menu(table);
                    QAction *add = menu.addAction(WindowText::tr("Show Trend"));
                    QAction *fresh = menu.addAction(WindowText::tr("Show Trend in a New Chart"));
                    QAction *chosen = menu.exec(table->viewport()->mapToGlobal(pos));
                    if (chosen)
                        showTrend(plcName, point, chosen == fresh);
                    Q_UNUSED(add);
                });
        if (created)
            *created = true;
    }
    return page->findChild<QTableWidget *>();
}

void MonitoringPanel::showDataInTable(QStandardItem *dataItem, const QString &updateTime,
                                      const QString &plcName)
{
    QTabWidget *tabs = m_tabs;
    if (!tabs || !dataItem)
        return;
    tabs->setTabsClosable(false);
    bool created = false;
    QTableWidget *table = this->table(plcName, &created);
    if (!table)
        return;

    // Sorting waits until every row is written, so an appended row keeps its six cells together.
    table->setSortingEnabled(false);
    if (table->columnCount() != kColumns)
        table->setColumnCount(kColumns);
    table->setHorizontalHeaderLabels({WindowText::tr("Name"), WindowText::tr("Addr"), WindowText::tr("DataType"),
                                      WindowText::tr("Value"), WindowText::tr("Valid"),
                                      WindowText::tr("Update Time")});

    const int verticalPos = table->verticalScrollBar()->value();
    const int horizontalPos = table->horizontalScrollBar()->value();

    // Name -> row, so every point of the report finds its row in constant time.
    const int oldCount = table->rowCount();
    QHash<QString, int> rowOf;
    rowOf.reserve(oldCount);
    // Bottom up, so the first row of a name is the one that stays in the index; a later row
    // of the same name is never matched and goes with the vanished ones.
    for (int row = oldCount - 1; row >= 0; --row) {
        const QTableWidgetItem *nameCell = table->item(row, 0);
        rowOf.insert(nameCell ? nameCell->text() : QString(), row);
    }
    QVector<bool> seen(oldCount, false);

    const QString effective = WindowText::tr("Effective");
    const QString invalid = WindowText::tr("Invalid");
    const QString unknown = WindowText::tr("Unknown");
    const QString nameKey = QStringLiteral("name");
    const QString addrKey = QStringLiteral("addr");
    const QString dataTypeKey = QStringLiteral("dataType");
    const QString valueKey = QStringLiteral("value");
    const QString validKey = QStringLiteral("valid");
    const QString timeKey = QStringLiteral("updateTime");

    QVector<QStringList> appended;
    const QVariantList rows = dataItem->data(Role::DataRows).toList();
    // Rewritten cells are announced to the view once, below, not twice per cell.
    QSignalBlocker quiet(table->model());
    bool rewritten = false;
    for (const QVariant &entry : rows) {
        const QVariantMap point = entry.toMap();
        const QString valid = point.value(validKey).toString();
        const QString validText = valid == QLatin1String("1")   ? effective
                                  : valid == QLatin1String("0") ? invalid
                                                                : unknown;
        const QString timeText = updateTime.isEmpty() ? point.value(timeKey).toString() : updateTime;
        const QString name = point.value(nameKey).toString();
        const QStringList cells{name,
                                point.value(addrKey).toString(),
                                point.value(dataTypeKey).toString(),
                                point.value(valueKey).toString(),
                                validText,
                                timeText};

        const auto found = rowOf.constFind(name);
        if (found == rowOf.constEnd()) {
            rowOf.insert(name, oldCount + appended.size());
            appended.append(cells);
            continue;
        }
        const int row = found.value();
        if (row >= oldCount) {
            // Same name twice in one report: the later point overwrites the pending row.
            QStringList &pending = appended[row - oldCount];
            for (int column = 1; column < kColumns; ++column)
                pending[column] = cells[column];
            continue;
        }
        seen[row] = true;
        for (int column = 1; column < kColumns; ++column)
            rewritten |= setCell(table, row, column, cells[column]);
    }
    quiet.unblock();
    if (rewritten) {
        QAbstractItemModel *model = table->model();
        emit model->dataChanged(model->index(0, 1), model->index(oldCount - 1, kColumns - 1));
    }

    // Points missing from this report go, in runs from the bottom up.
    for (int row = oldCount - 1; row >= 0;) {
        if (seen[row]) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !seen[first - 1])
            --first;
        table->model()->removeRows(first, row - first + 1);
        row = first - 1;
    }

    if (!appended.isEmpty()) {
        const int base = table->rowCount();
        table->setRowCount(base + appended.size());
        {
            const QSignalBlocker quietAppend(table->model());
            for (int i = 0; i < appended.size(); ++i) {
                const QStringList &cells = appended[i];
                for (int column = 0; column < kColumns; ++column)
                    table->setItem(base + i, column, new QTableWidgetItem(cells[column]));
            }
        }
        QAbstractItemModel *model = table->model();
        emit model->dataChanged(model->index(base, 0), model->index(table->rowCount() - 1, kColumns - 1));
    }

    table->setSortingEnabled(true);
    table->verticalScrollBar()->setValue(verticalPos);
    table->horizontalScrollBar()->setValue(horizontalPos);

    applyStyleSheet(table->horizontalHeader(), kHeaderStyle);
    // Widths follow the content once per new device; sizing on every report costs a pass
    // over every cell.
    if (created) {
        table->resizeColumnsToContents();
        for (int column = 0; column < kColumns - 1; ++column)
            table->setColumnWidth(column, qMin(table->columnWidth(column), kMaxStartWidth));
    }
    MonitoringFeed *feed = m_feeds.find(plcName);
    if (auto *rows = qobject_cast<MonitoringRowDelegate *>(table->itemDelegate()); rows && feed) {
        rows->setReceivedAt(feed->receivedMs);
        setFeedStale(plcName, *feed, false);
    }
    applyStyleSheet(tabs, kTabStyle);
    // The sheet draws tab titles at 16 px, but the tab bar sizes its tabs from its own font;
    // give it the same size so long device names are not clipped.
    if (tabs->tabBar()->font().pixelSize() != 16) {
        QFont font = tabs->tabBar()->font();
        font.setPixelSize(16);
        tabs->tabBar()->setFont(font);
    }
}

void MonitoringPanel::forgetProject(const QString &projectName)
{
    QTabWidget *tabs = m_tabs;
    for (const QString &device : m_feeds.forgetProject(projectName)) {
        m_history.forget(device);
        for (const QPointer<TrendChart> &chart : qAsConst(m_trendCharts))
            if (chart && chart->device() == device)
                chart->close();
        const int index = tabs ? tabIndexOf(tabs, device) : -1;
        if (index >= 0) {
            QWidget *page = tabs->widget(index);
            tabs->removeTab(index);
            page->deleteLater();
        }
    }
}

void MonitoringPanel::setFeedStale(const QString &tabName, MonitoringFeed &feed, bool stale)
{
    const int index = m_tabs ? tabIndexOf(m_tabs, tabName) : -1;
    if (index < 0)
        return;
    auto *table = m_tabs->widget(index)->findChild<QTableWidget *>();
    auto *rows = table ? qobject_cast<MonitoringRowDelegate *>(table->itemDelegate()) : nullptr;
    if (!rows || (feed.stale == stale && rows->isStale() == stale))
        return;
    feed.stale = stale;
    rows->setStale(stale);
    // A stale row must not go on claiming a valid value; an invalid one stays "Invalid" (red).
    const QString effective = WindowText::tr("Effective");
    const QString staleText = WindowText::tr("Stale");
    const QString &from = stale ? effective : staleText;
    const QString &to = stale ? staleText : effective;
    // Rows must not move under the loop when the table is sorted by validity.
    const bool sorted = table->isSortingEnabled();
    table->setSortingEnabled(false);
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *cell = table->item(row, kValidColumn);
        if (cell && cell->text() == from)
            cell->setText(to);
    }
    table->setSortingEnabled(sorted);
    // An icon marks the tab: its text is how it is found.
    m_tabs->setTabIcon(index, stale ? m_window->style()->standardIcon(QStyle::SP_MessageBoxWarning)
                                    : QIcon());
    m_tabs->setTabToolTip(index, stale ? WindowText::tr("No current data from this device") : QString());
    table->viewport()->update();
}

void MonitoringPanel::checkStaleness()
{
    const qint64 now = nowMs();
    for (const QString &device : m_feeds.devices())
        setFeedStale(device, *m_feeds.find(device), m_feeds.dueStale(device, now));
}

void MonitoringPanel::boxLinkStateChanged(const QString &boxIp, bool up)
{
    // A link that comes back makes nothing current: the next report does.
    if (up)
        return;
    m_feeds.linkLost(boxIp, [this, &boxIp](const QString &projectName) {
        QStandardItem *project = childWithText(m_projects->invisibleRootItem(), projectName);
        return project && projectHasBox(project, boxIp);
    });
    checkStaleness();
}

bool MonitoringPanel::isRecording() const
{
    return m_recorder && m_recorder->isOpen();
}

bool MonitoringPanel::startRecording(const QString &databasePath)
{
    stopRecording();
    auto *recorder = new MonitoringRecorder;
    if (!recorder->open(databasePath)) {
        QMessageBox::warning(m_window, WindowText::tr("Recording"),
                             WindowText::tr("The recording database '%1' could not be opened: %2")
                                 .arg(databasePath, recorder->errorText()));
        delete recorder;
        if (m_recordAction)
            m_recordAction->setChecked(false);
        return false;
    }
    m_recorder = recorder;
    m_lastRecording = databasePath;
    if (m_recordAction)
        m_recordAction->setChecked(true);
    emit messageAppended(WindowText::tr("Recording live data into '%1'.").arg(databasePath));
    return true;
}

void MonitoringPanel::stopRecording()
{
    const int dropped = m_recorder ? m_recorder->close() : 0;
    if (dropped > 0)
        emit messageAppended(WindowText::tr("%1 received reports could not be written to the recording: "
                                            "another program kept the database locked.")
                                 .arg(dropped));
    delete m_recorder;
    m_recorder = nullptr;
    if (m_recordAction)
        m_recordAction->setChecked(false);
}

void MonitoringPanel::onRecordToggled(bool on)
{
    if (!on) {
        if (isRecording())
            emit messageAppended(WindowText::tr("Recording stopped."));
        stopRecording();
        return;
    }
    const QString path = FileDialogs::getSaveFileName(
        m_window, WindowText::tr("Recording database"), QString(),
        WindowText::tr("SQLite database (*.sqlite *.db)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) {
        m_recordAction->setChecked(false);
        return;
    }
    startRecording(path);
}

bool MonitoringPanel::exportRecording(qint64 fromMs, qint64 toMs, const QString &csvPath)
{
    const QString database = m_recorder ? m_recorder->path() : m_lastRecording;
    QString error;
    if (database.isEmpty())
        error = WindowText::tr("nothing has been recorded yet");
    else if (MonitoringRecorder::exportCsv(database, fromMs, toMs, csvPath, &error)) {
        emit messageAppended(WindowText::tr("Recording exported to '%1'.").arg(csvPath));
        return true;
    }
    QMessageBox::warning(m_window, WindowText::tr("Export CSV"),
                         WindowText::tr("The recording could not be exported: %1").arg(error));
    return false;
}

void MonitoringPanel::onExportTriggered()
{
    QDialog dialog(m_window);
    dialog.setWindowTitle(WindowText::tr("Export CSV"));
    auto *form = new QFormLayout(&dialog);
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(nowMs());
    auto *from = new QDateTimeEdit(now.addSecs(-3600), &dialog);
    auto *to = new QDateTimeEdit(now, &dialog);
    from->setObjectName(QStringLiteral("exportFrom"));
    to->setObjectName(QStringLiteral("exportTo"));
    from->setDisplayFormat(kTimeFormat);
    to->setDisplayFormat(kTimeFormat);
    form->addRow(WindowText::tr("Received from:"), from);
    form->addRow(WindowText::tr("Received until:"), to);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The until-second is taken whole.
    qint64 fromMs = from->dateTime().toMSecsSinceEpoch();
    qint64 toMs = to->dateTime().toMSecsSinceEpoch() + 999;
    if (!confirmExportRange(m_window, m_recorder ? m_recorder->path() : m_lastRecording, &fromMs, &toMs))
        return;
    const QString path = FileDialogs::getSaveFileName(m_window, WindowText::tr("Export CSV"), QString(),
                                                      WindowText::tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    exportRecording(fromMs, toMs, path);
}

TrendChart *MonitoringPanel::showTrend(const QString &device, const QString &point, bool newChart)
{
    if (point.isEmpty())
        return nullptr;
    m_trendCharts.removeAll(QPointer<TrendChart>());
    TrendChart *chart = nullptr;
    if (!newChart) {
        for (int i = m_trendCharts.size() - 1; i >= 0 && !chart; --i)
            if (m_trendCharts.at(i)->device() == device)
                chart = m_trendCharts.at(i);
    }
    if (!chart) {
        chart = new TrendChart(device, &nowMs, m_window);
        m_trendCharts.append(chart);
    }
    if (const MonitoringFeed *feed = m_feeds.find(device))
        chart->setBreakAfterMs(feed->staleAfterMs);
    chart->addPoint(point, m_history.samples(device, point));
    chart->show();
    chart->raise();
    return chart;
}

void MonitoringPanel::feedTrendCharts(const QString &device, qint64 receivedMs, const QJsonArray &points)
{
    m_history.append(device, receivedMs, points);
    const MonitoringFeed *feed = m_feeds.find(device);
    QHash<QString, int> indexOfName;
    for (const QPointer<TrendChart> &chart : qAsConst(m_trendCharts)) {
        if (!chart || chart->device() != device)
            continue;
        if (feed)
            chart->setBreakAfterMs(feed->staleAfterMs);
        if (indexOfName.isEmpty()) {
            indexOfName.reserve(points.size());
            for (int i = 0; i < points.size(); ++i)
                indexOfName.insert(points.at(i).toObject().value(QStringLiteral("name")).toString(), i);
        }
        chart->appendReport(receivedMs, indexOfName, points);
    }
}

void MonitoringPanel::closeTab(const QString &tabName)
{
    const int index = m_tabs ? tabIndexOf(m_tabs, tabName) : -1;
    if (index >= 0)
        m_tabs->removeTab(index);
}
