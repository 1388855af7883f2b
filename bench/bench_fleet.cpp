// A 1 MiB project sent to 40 box simulators, 8 at a time and one after another, in the same
// run. Reports both wall times and their ratio, the CPU time of this process and of the
// simulators (they share the machine's cores with the tool), and the longest gap between two
// turns of the event loop during the parallel run (max_gap_ms).
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_fleet
// Uses 127.0.8.1 to 127.0.8.40.

#include "LoopGapMeter.h"

#include "core/deployment/FleetDeployment.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

constexpr int kBoxes = 40;
constexpr int kProjectSize = 1024 * 1024;

QString address(int i) { return QStringLiteral("127.0.8.%1").arg(i + 1); }

struct Fixture {
    QTemporaryDir dir;
    QString projectPath;
    std::vector<std::unique_ptr<QProcess>> sims;
    bool ready = false;

    Fixture()
    {
        projectPath = dir.filePath(QStringLiteral("Bench.json"));
        QByteArray bytes = "{\n    \"projectName\": \"Bench\",\n    \"pad\": \"";
        bytes += QByteArray(kProjectSize - bytes.size() - 4, 'x');
        bytes += "\"\n}\n";
        QFile file(projectPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return;
        file.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A zone file read per log stamp would make the boxes, not the tool, the thing measured.
        if (!env.contains(QStringLiteral("TZ")))
            env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        for (int i = 0; i < kBoxes; ++i) {
            auto sim = std::make_unique<QProcess>();
            // Boxes are machines of their own: the simulators run at a lower priority, so that
            // the tool's own share of the cores stays what it would be on site (nice execs the
            // simulator in place, so the process id stays the simulator's).
            sim->setProgram(QStringLiteral("nice"));
            sim->setArguments({QStringLiteral("-n"), QStringLiteral("10"), QStringLiteral(ORVANE_BIN_DIR "/orvane-boxsim"),
                               QStringLiteral("--listen"), address(i), QStringLiteral("--state"),
                               dir.filePath(QStringLiteral("state%1").arg(i)), QStringLiteral("--exit-with-parent")});
            sim->setStandardOutputFile(QProcess::nullDevice());
            sim->setProcessEnvironment(env);
            sim->start();
            if (!sim->waitForStarted(5000))
                return;
            sims.push_back(std::move(sim));
        }
        for (int i = 0; i < kBoxes; ++i) {
            QElapsedTimer clock;
            clock.start();
            bool up = false;
            while (!up && clock.elapsed() < 5000) {
                QTcpSocket probe;
                probe.connectToHost(address(i), 30088);
                up = probe.waitForConnected(200);
                if (!up)
                    QThread::msleep(20);
            }
            if (!up)
                return;
        }
        ready = true;
    }
    ~Fixture()
    {
        for (auto &sim : sims) {
            sim->terminate();
            if (!sim->waitForFinished(3000))
                sim->kill();
        }
    }

    // CPU seconds the simulators have used so far.
    double simsCpuSeconds() const
    {
        const double tick = double(sysconf(_SC_CLK_TCK));
        double total = 0;
        for (const auto &sim : sims) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(sim->processId()));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            // Fields after the command name (which may hold spaces): utime is the 12th, stime the 13th.
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 12)
                total += (fields.at(11).toDouble() + fields.at(12).toDouble()) / tick;
        }
        return total;
    }
};

double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double seconds = 0;
    double toolCpu = 0;
    double simsCpu = 0;
    double maxGapMs = 0;
    int succeeded = 0;
};

Run deployAll(Fixture &f, int parallel)
{
    QStringList boxes;
    for (int i = 0; i < kBoxes; ++i)
        boxes << address(i);
    FleetDeployment fleet;
    fleet.setBoxes(boxes);
    fleet.setProjectFile(f.projectPath, QStringLiteral("Bench"));
    fleet.setParallel(parallel);
    fleet.setRecordRoot(f.dir.filePath(QStringLiteral("records")), false);

    QEventLoop loop;
    QObject::connect(&fleet, &FleetDeployment::finished, &loop, &QEventLoop::quit);
    Run run;
    LoopGapMeter gaps;
    QElapsedTimer clock;
    const double toolBefore = ownCpuSeconds();
    const double simsBefore = f.simsCpuSeconds();
    clock.start();
    gaps.start();
    fleet.start();
    if (fleet.isRunning())
        loop.exec();
    gaps.stop();
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.toolCpu = ownCpuSeconds() - toolBefore;
    run.simsCpu = f.simsCpuSeconds() - simsBefore;
    run.maxGapMs = gaps.longestGapNs() / 1e6;
    run.succeeded = fleet.succeededCount();
    return run;
}

void BM_FleetParallelVsSequential(benchmark::State &state)
{
    static Fixture f;
    if (!f.ready) {
        state.SkipWithError("simulators not running");
        return;
    }
    // An untimed round first: a simulator's first deployments pay one-time costs (its heap
    // growing to hold a transfer, the first reading of the project), which would otherwise
    // fall on the first timed runs only.
    if (deployAll(f, 8).succeeded != kBoxes) {
        state.SkipWithError("not every box verified");
        return;
    }
    // Sums over the iterations; the counters show their means.
    Run sequential, parallel;
    double worstGapMs = 0;
    for (auto _ : state) {
        const Run seq = deployAll(f, 1);
        const Run par = deployAll(f, 8);
        if (seq.succeeded != kBoxes || par.succeeded != kBoxes) {
            state.SkipWithError("not every box verified");
            return;
        }
        sequential.seconds += seq.seconds;
        sequential.toolCpu += seq.toolCpu;
        sequential.simsCpu += seq.simsCpu;
        parallel.seconds += par.seconds;
        parallel.toolCpu += par.toolCpu;
        parallel.simsCpu += par.simsCpu;
        worstGapMs = qMax(worstGapMs, qMax(seq.maxGapMs, par.maxGapMs));
    }
    const double n = double(state.iterations());
    state.counters["seq_s"] = sequential.seconds / n;
    state.counters["par8_s"] = parallel.seconds / n;
    state.counters["ratio"] = parallel.seconds / sequential.seconds;
    state.counters["max_gap_ms"] = worstGapMs;
    state.counters["seq_tool_cpu_s"] = sequential.toolCpu / n;
    state.counters["seq_sims_cpu_s"] = sequential.simsCpu / n;
    state.counters["par8_tool_cpu_s"] = parallel.toolCpu / n;
    state.counters["par8_sims_cpu_s"] = parallel.simsCpu / n;
}

} // namespace

BENCHMARK(BM_FleetParallelVsSequential)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
