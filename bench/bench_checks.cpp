// The project checks over a large project: Modbus devices of 10 slaves x 250 points each,
// addresses in scrambled order so the overlap search has to sort. The argument is the number
// of points; the complexity fit over 25,000 to 100,000 points shows whether it stays linear
// (target: 100,000 points in at most 100 ms).

#include "core/checks/ProjectChecker.h"
#include "core/project/ItemRecord.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QStandardItemModel>

namespace {

constexpr int kSlaves = 10;
constexpr int kPoints = 250;

QStandardItem *buildProject(QStandardItemModel &model, int points)
{
    auto *project = new QStandardItem(QStringLiteral("Bench"));
    model.appendRow(project);
    auto *standard = new QStandardItem(Folder::Standard);
    project->appendRow(standard);
    project->appendRow(new QStandardItem(Folder::Service));
    project->appendRow(new QStandardItem(Folder::Box));
    project->appendRow(new QStandardItem(Folder::Data));

    const int devices = points / (kSlaves * kPoints);
    for (int d = 0; d < devices; ++d) {
        auto *device = new QStandardItem(QStringLiteral("PLC-%1").arg(d + 1));
        device->setData(QStringLiteral("Modbus"), Role::Protocol);
        device->setData(QStringLiteral("ModbusTCP"), Role::Modbus);
        device->setData(QStringLiteral("192.168.1.%1").arg(d % 250 + 1), Role::ModbusIp);
        device->setData(QStringLiteral("502"), Role::ModbusPort);
        device->setData(QStringLiteral("500"), Role::CollectionInterval);
        PointTable table;
        for (int s = 0; s < kSlaves; ++s) {
            QList<QVariantList> rows;
            rows.reserve(kPoints + 1);
            rows.append({QStringLiteral("standard"), QString::number(s + 1), QStringLiteral("ABCD"), true, false});
            for (int p = 0; p < kPoints; ++p) {
                // 97 is prime to 250: every register once, in scrambled order.
                const int reg = (p * 97) % kPoints;
                rows.append({QString::number(40000 + 2 * reg), QStringLiteral("s%1_p%2").arg(s).arg(p),
                             QStringLiteral("uint16"), QStringLiteral("1"), QStringLiteral("r")});
            }
            table.insert(QStringLiteral("Modbus-%1").arg(s + 1), rows);
        }
        device->setData(QVariant::fromValue(table), Role::PointTable);
        standard->appendRow(device);
    }
    return project;
}

void BM_CheckProject(benchmark::State &state)
{
    QStandardItemModel model;
    QStandardItem *project = buildProject(model, int(state.range(0)));
    for (auto _ : state) {
        const CheckFindings findings = ProjectChecker::check(project);
        if (!findings.isEmpty())
            state.SkipWithError("the sound project has findings");
        benchmark::DoNotOptimize(findings);
    }
    state.SetComplexityN(state.range(0));
    state.counters["points"] = double(state.range(0));
}
BENCHMARK(BM_CheckProject)
    ->Arg(25000)->Arg(50000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

int main(int argc, char **argv)
{
    registerItemRecordTypes();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
