// Recording one live report of N points into an SQLite file (one transaction per report).
// Run: build/bench/bench_recording

#include "core/monitoring/MonitoringRecorder.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

QJsonArray makePoints(int count)
{
    QJsonArray points;
    for (int i = 0; i < count; ++i)
        points.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("point_%1").arg(i)},
                                  {QStringLiteral("addr"), QString::number(40001 + i)},
                                  {QStringLiteral("dataType"), QStringLiteral("float")},
                                  {QStringLiteral("value"), QString::number(i * 0.25)},
                                  {QStringLiteral("valid"), i % 5 ? QStringLiteral("1") : QStringLiteral("0")}});
    return points;
}

void BM_RecordReport(benchmark::State &state)
{
    QTemporaryDir dir;
    MonitoringRecorder recorder;
    if (!recorder.open(dir.filePath(QStringLiteral("bench.sqlite")))) {
        state.SkipWithError("cannot open the database");
        return;
    }
    const QJsonArray points = makePoints(int(state.range(0)));
    qint64 ms = 1'700'000'000'000;
    for (auto _ : state) {
        if (!recorder.record(QStringLiteral("SN1"), QStringLiteral("A"), QStringLiteral("P1"),
                             QStringLiteral("2024-01-01 00:00:00"), ms += 200, points)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_RecordReport)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Complexity(benchmark::oN);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
