// A bus scan of ids 1 to 247 where nothing answers, over a pseudo-terminal pair (socat) at
// 9600 8N1 with the default 50 ms wait: the whole scan against its budget of
// 1.1 x 247 x (wait + the probe's time on the wire).
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_busscan     (needs socat)

#include "core/modbus/ModbusBusScan.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace {

constexpr int kIds = 247;

void BM_ScanSilentIds(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("a"));
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(device),
                                          QStringLiteral("pty,raw,echo=0,link=%1").arg(dir.filePath("b"))});
    QElapsedTimer started;
    started.start();
    while (started.elapsed() < 5000 && !(QFileInfo::exists(device) && QFileInfo::exists(dir.filePath("b"))))
        QThread::msleep(10);
    if (!QFileInfo::exists(device)) {
        state.SkipWithError("socat made no pseudo-terminal pair");
        return;
    }

    ModbusBusScan::Options options;
    options.serialDevice = device;
    options.settings = {ModbusBusScan::LineSetting{}};
    const double budgetMs = 1.1 * kIds * ModbusBusScan::silentProbeMs(options.settings.first(), options.waitMs);
    double scanMs = 0;
    for (auto _ : state) {
        ModbusBusScan scan;
        QEventLoop loop;
        QObject::connect(&scan, &ModbusBusScan::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(3 * budgetMs), &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        if (!scan.start(options)) {
            state.SkipWithError("the scan did not start");
            break;
        }
        loop.exec();
        scanMs = timer.nsecsElapsed() / 1e6;
        if (scan.isRunning() || !scan.rows().isEmpty()) {
            state.SkipWithError("the scan did not end, or found ids on a silent line");
            break;
        }
        state.SetIterationTime(scanMs / 1000);
    }
    state.counters["scan_ms"] = scanMs;
    state.counters["budget_ms"] = budgetMs;
    state.counters["ratio"] = scanMs / budgetMs;
    socat.kill();
    socat.waitForFinished(5000);
}

} // namespace

BENCHMARK(BM_ScanSilentIds)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
