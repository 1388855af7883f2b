// Appending one report's samples to ten open trend charts that hold 10,000 samples each,
// including the update of what they draw, excluding painting.
// Run: TZ=UTC QT_QPA_PLATFORM=offscreen build/bench/bench_trend (without TZ glibc re-reads the
// zone file for every local time the time axis computes)

#include "gui/monitoring/TrendChart.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QJsonObject>

#include <memory>
#include <vector>

namespace {

void BM_AppendReportToTenCharts(benchmark::State &state)
{
    qint64 now = 1'700'000'000'000;
    auto clock = [&now] { return now; };
    QJsonArray points;
    QHash<QString, int> indexOfName;
    for (int i = 0; i < 2000; ++i) {
        const QString name = QStringLiteral("point_%1").arg(i);
        points.append(QJsonObject{{QStringLiteral("name"), name},
                                  {QStringLiteral("value"), QString::number(i)},
                                  {QStringLiteral("valid"), QStringLiteral("1")}});
        indexOfName.insert(name, i);
    }
    std::vector<std::unique_ptr<TrendChart>> charts;
    for (int c = 0; c < 10; ++c) {
        auto chart = std::make_unique<TrendChart>(QStringLiteral("P1"), clock);
        chart->setAttribute(Qt::WA_DeleteOnClose, false);
        chart->addPoint(QStringLiteral("point_%1").arg(c));
        chart->setMinutes(60);
        chart->show();
        charts.push_back(std::move(chart));
    }
    // 10,000 samples 200 ms apart (33 minutes), every 2,000th not a number: a few gaps.
    for (int s = 0; s < 10000; ++s) {
        now += 200;
        QJsonArray one = points;
        if (s % 2000 == 0)
            for (int c = 0; c < 10; ++c)
                one[c] = QJsonObject{{QStringLiteral("name"), QStringLiteral("point_%1").arg(c)},
                                     {QStringLiteral("value"), QStringLiteral("x")}};
        for (auto &chart : charts)
            chart->appendSamples(now, indexOfName, one);
    }
    for (auto &chart : charts)
        chart->refresh();
    QApplication::processEvents();
    for (auto _ : state) {
        now += 200;
        for (auto &chart : charts)
            chart->appendReport(now, indexOfName, points);
    }
}

} // namespace

BENCHMARK(BM_AppendReportToTenCharts)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
