// Modbus editor with large point tables: importing a CSV into a slave tab, opening a device
// whose record holds ten slave tabs, and scrolling a long table end to end. All run with the
// editor on screen (offscreen platform), the way a user meets them. Twice the points should
// cost about twice the time.

#include "gui/devices/standardModbusEditDialog.h"

#include "gui/widgets/FileDialogs.h"
#include "core/project/PointCsv.h"
#include "core/project/ItemRecord.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <chrono>

namespace {

QString typeFor(int i)
{
    return PointCsv::dataTypes().at(i % PointCsv::dataTypes().size());
}

void processEvents()
{
    // As the event loop would: deferred deletes are not run by processEvents() alone.
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QPushButton *buttonOn(QWidget *page, const QString &text)
{
    for (QPushButton *b : page->findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

void BM_ImportCsv(benchmark::State &state)
{
    const int points = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("points.csv"));
    {
        QList<QStringList> rows;
        for (int i = 0; i < points; ++i)
            rows << QStringList{QString::number(40001 + i), QStringLiteral("Point_%1").arg(i), typeFor(i),
                                QStringLiteral("1"), i % 2 ? QStringLiteral("rw") : QStringLiteral("r"), QString()};
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Text);
        file.write(PointCsv::write({"Address", "Name", "Type", "Length", "Permissions", "Deleat"}, rows).toUtf8());
    }

    QStandardItem item(QStringLiteral("Bench"));
    item.setData(QStringLiteral("Modbus"), Role::Protocol);
    PointTable table;
    table.insert(QStringLiteral("Modbus-1"), {{QStringLiteral("standard"), QStringLiteral("1"), QStringLiteral("ABCD"), true, false}});
    item.setData(QVariant::fromValue(table), Role::PointTable);
    standardModbusEditDialog dialog(&item, nullptr);
    dialog.show();
    processEvents();
    QWidget *page = dialog.tabWidget()->widget(0);
    QPushButton *import = buttonOn(page, QStringLiteral("Import"));
    auto *pointTable = page->findChild<QTableWidget *>();

    for (auto _ : state) {
        // Each import replaces the previous one's rows, as a repeated import by a user does.
        FileDialogs::setNextAnswerForTesting(path);
        const auto start = std::chrono::steady_clock::now();
        import->click();
        processEvents();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (pointTable->rowCount() != points)
            state.SkipWithError("import did not load every point");
    }
    state.counters["points"] = points;
}

void BM_OpenDevice(benchmark::State &state)
{
    const int perTab = int(state.range(0));
    const int tabs = 10;
    QStandardItem item(QStringLiteral("Bench"));
    item.setData(QStringLiteral("Modbus"), Role::Protocol);
    PointTable table;
    for (int t = 1; t <= tabs; ++t) {
        QList<QVariantList> rows{{QStringLiteral("standard"), QString::number(t), QStringLiteral("ABCD"), true, false}};
        for (int i = 0; i < perTab; ++i)
            rows << QVariantList{QString::number(40001 + i), QStringLiteral("P%1_%2").arg(t).arg(i), typeFor(i),
                                 QStringLiteral("1"), QStringLiteral("r")};
        table.insert(QStringLiteral("Modbus-%1").arg(t), rows);
    }
    item.setData(QVariant::fromValue(table), Role::PointTable);

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto *dialog = new standardModbusEditDialog(&item, nullptr);
        dialog->show();
        processEvents(); // the deferred tab loading, then the first paint
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (dialog->tabWidget()->count() != tabs)
            state.SkipWithError("tabs were not loaded");
        delete dialog; // closing is not part of opening
        processEvents();
    }
    state.counters["points"] = perTab * tabs;
}

void BM_ScrollThrough(benchmark::State &state)
{
    // Scrolling a long table end to end, ten rows a step: each step should cost the same
    // however many rows were passed already.
    const int points = int(state.range(0));
    QStandardItem item(QStringLiteral("Bench"));
    item.setData(QStringLiteral("Modbus"), Role::Protocol);
    QList<QVariantList> rows{{QStringLiteral("standard"), QStringLiteral("1"), QStringLiteral("ABCD"), true, false}};
    for (int i = 0; i < points; ++i)
        rows << QVariantList{QString::number(40001 + i), QStringLiteral("P_%1").arg(i), typeFor(i),
                             QStringLiteral("1"), QStringLiteral("r")};
    PointTable table;
    table.insert(QStringLiteral("Modbus-1"), rows);
    item.setData(QVariant::fromValue(table), Role::PointTable);
    standardModbusEditDialog dialog(&item, nullptr);
    dialog.show();
    processEvents();
    auto *pointTable = dialog.tabWidget()->widget(0)->findChild<QTableWidget *>();
    QScrollBar *bar = pointTable->verticalScrollBar();

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int value = 0; value <= bar->maximum(); value += 10) {
            bar->setValue(value);
            processEvents();
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["points"] = points;
    state.counters["widgets"] = pointTable->viewport()->children().size();
}

} // namespace

BENCHMARK(BM_ImportCsv)->Arg(5000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenDevice)->Arg(1000)->Arg(2000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScrollThrough)->Arg(2500)->Arg(5000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerItemRecordTypes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
