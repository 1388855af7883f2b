// Adding devices from one template, as "Add from Template..." does: 100 Modbus TCP devices of
// 200 points each, expanded, made into items and appended to a Standard folder that a tree view
// shows. Targets: at most 1 s for the whole add, and no event-loop gap above 100 ms while it
// runs (the longest gap is reported as the counter "gap_ms").

#include "LoopGapMeter.h"

#include "core/project/ItemRecord.h"
#include "core/project/ProjectItems.h"
#include "core/templates/TemplateExpansion.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

namespace {

constexpr int kPoints = 200;

DeviceTemplate meterTemplate()
{
    DeviceTemplate t;
    t.name = QStringLiteral("Bench meter");
    t.protocol = DeviceTemplate::Modbus;
    t.mode = ModbusDeviceRecord::Tcp;
    t.port = QStringLiteral("502");
    t.connectionTimeout = QStringLiteral("2000");
    t.communicationTimeout = QStringLiteral("2000");
    t.keepAlive = QStringLiteral("60000");
    t.collectionInterval = QStringLiteral("1000");
    ModbusSlaveRecord slave;
    for (int p = 0; p < kPoints; ++p)
        slave.points.append({QString::number(40000 + 2 * p), QStringLiteral("p%1").arg(p), QStringLiteral("float"),
                             QStringLiteral("1"), QStringLiteral("r")});
    t.slaves.append(slave);
    return t;
}

void BM_AddFromTemplate(benchmark::State &state)
{
    const int devices = int(state.range(0));
    const DeviceTemplate model = meterTemplate();
    if (!model.validate().isEmpty()) {
        state.SkipWithError("the bench template has problems");
        return;
    }
    const TemplateExpansion::Request request{QStringLiteral("Meter {n}"),
                                             QStringLiteral("10.0.0.1-10.0.0.%1").arg(devices), QString(),
                                             QString(), QString()};
    qint64 longestGapNs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QStandardItemModel tree;
        QStandardItem *folder = ProjectItems::newFolder(QIcon(), Folder::Standard);
        tree.appendRow(folder);
        QTreeView view;
        view.setModel(&tree);
        view.expandAll();
        view.show();
        QCoreApplication::processEvents();
        LoopGapMeter gaps;
        QEventLoop loop;
        state.ResumeTiming();

        // The add runs from the event loop, as the dialog's button does, so the meter sees
        // how long it holds the loop.
        gaps.start();
        QTimer::singleShot(0, &loop, [&] {
            const TemplateExpansion::Result result = TemplateExpansion::expand(model, request, {});
            QList<QStandardItem *> items;
            items.reserve(result.devices.size());
            for (const TemplateExpansion::Device &device : result.devices)
                items.append(TemplateExpansion::makeItem(device));
            folder->appendRows(items);
            QTimer::singleShot(5, &loop, &QEventLoop::quit);
        });
        loop.exec();
        gaps.stop();

        state.PauseTiming();
        if (folder->rowCount() != devices)
            state.SkipWithError("not every device was added");
        longestGapNs = qMax(longestGapNs, gaps.longestGapNs());
        state.ResumeTiming();
    }
    state.counters["gap_ms"] = double(longestGapNs) / 1e6;
    state.counters["points"] = double(devices) * kPoints;
}
BENCHMARK(BM_AddFromTemplate)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    registerItemRecordTypes();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
