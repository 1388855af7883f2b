// showDataInTable for a report of N points into a table that already holds those N points:
// every row is rewritten in place (new value, new update time), none is added or removed.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_monitoring
//
// With --soak-seconds=S --soak-box=ADDR --soak-dir=DIR it runs the soak driver instead
// (bench/soak_monitoring.sh): a project with one Modbus device of 2,000 points, deployed
// through the box editor to the simulator at ADDR, whose reports then arrive for S seconds.
// --soak-record=FILE also records every report into FILE, --soak-charts=N opens N trend
// charts of two points each before the reports start, --soak-chart-minutes=M sets their
// time span (default 10).

#include "gui/mainwindow/CMainWindow.h"
#include "core/monitoring/SampleRing.h"
#include "gui/monitoring/TrendChart.h"
#include "core/project/ItemRecord.h"

#include <benchmark/benchmark.h>

#include "gui/boxlink/BoxEditDialog.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>

#include <cstdio>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableWidget>

#include <functional>

namespace {

QVariantList makeRows(int count, int generation)
{
    QVariantList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        QVariantMap row;
        row.insert(QStringLiteral("name"), QStringLiteral("point_%1").arg(i, 6, 10, QLatin1Char('0')));
        row.insert(QStringLiteral("addr"), QString::number(40001 + i));
        row.insert(QStringLiteral("dataType"), QStringLiteral("float"));
        row.insert(QStringLiteral("value"), QString::number((i * 7 + generation) % 1000 / 10.0));
        row.insert(QStringLiteral("valid"), (i + generation) % 5 ? QStringLiteral("1") : QStringLiteral("0"));
        row.insert(QStringLiteral("updateTime"), QStringLiteral("2024-01-01 00:00:00"));
        rows.append(row);
    }
    return rows;
}

void BM_ShowDataInTable(benchmark::State &state, bool userSorted)
{
    const int count = int(state.range(0));
    CMainWindow window;
    window.show();
    QStandardItem item(QStringLiteral("PLC"));
    const QVariantList generations[2] = {makeRows(count, 0), makeRows(count, 1)};

    // Fill the table once, then, if asked, sort it by "Value" as a user would.
    item.setData(generations[0], Role::DataRows);
    window.showDataInTable(&item, QStringLiteral("2024-01-01 00:00:00"), QStringLiteral("PLC"));
    auto *table = window.monitoringTabs()->widget(0)->findChild<QTableWidget *>();
    if (userSorted)
        table->horizontalHeader()->setSortIndicator(3, Qt::AscendingOrder);

    int tick = 0;
    for (auto _ : state) {
        ++tick;
        state.PauseTiming();
        QCoreApplication::processEvents();
        item.setData(generations[tick % 2], Role::DataRows);
        const QString time = QStringLiteral("2024-01-01 00:%1:%2")
                                 .arg(tick / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(tick % 60, 2, 10, QLatin1Char('0'));
        state.ResumeTiming();
        window.showDataInTable(&item, time, QStringLiteral("PLC"));
    }
    if (table->rowCount() != count)
        state.SkipWithError("row count changed");
    state.SetComplexityN(count);
}

QString argValue(int argc, char **argv, const char *name)
{
    const QByteArray prefix = QByteArray("--") + name + "=";
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]).startsWith(prefix))
            return QString::fromLocal8Bit(argv[i] + prefix.size());
    return QString();
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

int runSoak(int seconds, const QString &boxAddress, const QString &projectDir, const QString &recordPath,
            int charts, int chartMinutes)
{
    QDir().mkpath(projectDir);
    CMainWindow window;
    // The window starts in Chinese; the checks below read the English texts.
    for (QTranslator *translator : window.findChildren<QTranslator *>())
        QCoreApplication::removeTranslator(translator);
    window.show();

    window.handleProjectCreated(QStringLiteral("Soak"), projectDir, QStringLiteral("soak run"));
    QStandardItem *project = window.projectModel()->item(0);
    if (!project) {
        std::fprintf(stderr, "soak: no project\n");
        return 2;
    }
    auto *device = new QStandardItem(QStringLiteral("PLC-soak"));
    device->setData(QStringLiteral("Modbus"), Role::Protocol);
    device->setData(QStringLiteral("ModbusTCP"), Role::Modbus);
    device->setData(QStringLiteral("127.0.6.253"), Role::ModbusIp);
    device->setData(QStringLiteral("502"), Role::ModbusPort);
    device->setData(QStringLiteral("200"), Role::CollectionInterval);
    PointTable table;
    for (int slave = 0; slave < 4; ++slave) {
        QList<QVariantList> rows{{QString::number(slave + 1), QString::number(slave + 1),
                                  QStringLiteral("ABCD"), QStringLiteral("true"), QStringLiteral("false")}};
        for (int i = 0; i < 500; ++i)
            rows.append({QString::number(40001 + 2 * i),
                          QStringLiteral("s%1_p%2").arg(slave + 1).arg(i, 3, 10, QLatin1Char('0')),
                          i % 3 ? QStringLiteral("float") : QStringLiteral("int16"), QStringLiteral("2"),
                          QStringLiteral("R")});
        table.insert(QStringLiteral("Modbus-%1").arg(slave + 1), rows);
    }
    device->setData(QVariant::fromValue(table), Role::PointTable);
    project->child(0)->appendRow(device);

    auto *box = new QStandardItem(QStringLiteral("Box-soak"));
    box->setData(boxAddress, Role::BoxIp);
    box->setData(QStringLiteral("TLK-BOX-600"), Role::BoxModel);
    project->child(2)->appendRow(box);
    window.projectView()->setCurrentIndex(box->index());
    window.slotBoxEditFile();

    ads::CDockWidget *dock = window.findEditDock(QObject::tr("Edit Box"));
    auto *editor = dock ? qobject_cast<BoxEditDialog *>(dock->widget()) : nullptr;
    if (!editor) {
        std::fprintf(stderr, "soak: no box editor\n");
        return 2;
    }
    auto *status = editor->findChild<QLabel *>(QStringLiteral("statusLabel"));
    if (!waitUntil([status] { return status->text() == QStringLiteral("Connection status: Connected"); }, 10000)) {
        std::fprintf(stderr, "soak: box at %s not connected: %s\n", qPrintable(boxAddress),
                     qPrintable(status->text()));
        return 2;
    }
    editor->findChild<QPushButton *>(QStringLiteral("updateProjectButton"))->click();
    if (!waitUntil([&window] {
            return window.messageEditor()->toPlainText().contains(QStringLiteral("Checksum Result:Checksum successful."));
        }, 30000)) {
        std::fprintf(stderr, "soak: deployment failed: %s\n", qPrintable(window.messageEditor()->toPlainText()));
        return 2;
    }

    if (!recordPath.isEmpty() && !window.startRecording(recordPath)) {
        std::fprintf(stderr, "soak: recording into %s did not start\n", qPrintable(recordPath));
        return 2;
    }
    QList<TrendChart *> trends;
    for (int c = 0; c < charts; ++c) {
        // The first point of each chart is an int16 (index multiple of 3), the second a float.
        const QString first = QStringLiteral("s%1_p%2").arg(c % 4 + 1).arg(3 * c, 3, 10, QLatin1Char('0'));
        const QString second = QStringLiteral("s%1_p%2").arg(c % 4 + 1).arg(3 * c + 1, 3, 10, QLatin1Char('0'));
        TrendChart *chart = window.showTrend(device->text(), first, true);
        window.showTrend(device->text(), second);
        if (chartMinutes > 0)
            chart->setMinutes(chartMinutes);
        trends.append(chart);
    }

    long reports = 0;
    QObject::connect(editor, &BoxEditDialog::sendDataToMainWindow,
                     [&reports](const Protocol::dataMonitoringData &) { ++reports; });
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.setInterval(10000);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        auto *tabs = window.monitoringTabs();
        const QTableWidget *shown = tabs->count() ? tabs->widget(0)->findChild<QTableWidget *>() : nullptr;
        QString samples;
        for (TrendChart *chart : qAsConst(trends))
            for (const QString &name : chart->pointNames())
                samples += QStringLiteral(" %1=%2").arg(name).arg(chart->ring(name) ? chart->ring(name)->size() : -1);
        std::fprintf(stdout, "soak: t=%llds reports=%ld rows=%d recording=%s%s\n",
                     (long long)(clock.elapsed() / 1000), reports, shown ? shown->rowCount() : 0,
                     window.isRecording() ? "on" : "off", qPrintable(samples));
        std::fflush(stdout);
    });
    tick.start();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();

    const double expected = seconds * 1000.0 / 200.0;
    std::fprintf(stdout, "soak: done after %ds, %ld reports (%.0f expected)\n", seconds, reports, expected);
    if (!recordPath.isEmpty())
        std::fprintf(stdout, "soak: recording %s, %lld bytes (plus its WAL)\n", window.isRecording() ? "on" : "off",
                     (long long)QFileInfo(recordPath).size());
    std::fflush(stdout);
    return reports >= expected * 0.5 ? 0 : 3;
}

} // namespace

BENCHMARK_CAPTURE(BM_ShowDataInTable, name_sorted, false)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK_CAPTURE(BM_ShowDataInTable, value_sorted, true)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    registerItemRecordTypes();
    const QString soakSeconds = argValue(argc, argv, "soak-seconds");
    if (!soakSeconds.isEmpty())
        return runSoak(soakSeconds.toInt(), argValue(argc, argv, "soak-box"),
                       argValue(argc, argv, "soak-dir"), argValue(argc, argv, "soak-record"),
                       argValue(argc, argv, "soak-charts").toInt(),
                       argValue(argc, argv, "soak-chart-minutes").toInt());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
