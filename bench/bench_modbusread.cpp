// 2,000 points of mixed types over 4,000 holding registers of an in-process Modbus TCP
// server, read with the reading plan. Reports the requests sent beside the fewest the merging
// rule allows (found here by a separate search), the round trip of a single 125-register
// request measured on the same connection, and the whole read against 1.3 x requests x that
// round trip.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_modbusread     (uses 127.0.6.210:1502)

#include "core/modbus/ModbusReadPlan.h"
#include "core/modbus/ModbusReader.h"
#include "../tests/ModbusTcpTestServer.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

const QString kAddress = QStringLiteral("127.0.6.210");
constexpr int kPort = 1502;
constexpr int kRegisters = 4000;
constexpr int kPoints = 2000;

// Points of mixed types laid out over the register range, mostly close together with now and
// then a gap too wide to bridge.
QList<QStringList> pointRows()
{
    static const char *types[] = {"int16", "uint16", "int32", "float", "double", "uint8", "bool", "uint32"};
    QRandomGenerator random(7);
    QList<QStringList> rows;
    int address = 0;
    for (int i = 0; i < kPoints; ++i) {
        const QString type = QString::fromLatin1(types[random.bounded(8)]);
        rows.append({QString::number(400000 + address), QStringLiteral("P%1").arg(i), type, "1", "r"});
        const int size = type == "double" ? 4 : (type.endsWith("32") || type == "float") ? 2 : 1;
        address += size + (random.bounded(40) == 0 ? 20 : int(random.bounded(2)));
    }
    return rows;
}

// The fewest requests that can hold the points, by dynamic programming over the sorted
// points: a request is a run of consecutive points without a gap over 16 and within 125.
int minimumRequests(QVector<ModbusPoint> points)
{
    std::sort(points.begin(), points.end(),
              [](const ModbusPoint &a, const ModbusPoint &b) { return a.address < b.address; });
    const int n = points.size();
    QVector<int> best(n + 1, std::numeric_limits<int>::max());
    best[0] = 0;
    for (int first = 0; first < n; ++first) {
        if (best[first] == std::numeric_limits<int>::max())
            continue;
        int end = points[first].address + points[first].count;
        for (int last = first; last < n; ++last) {
            if (last > first) {
                if (points[last].address - end > ModbusReadPlan::MaxRegisterGap)
                    break;
                end = std::max(end, points[last].address + points[last].count);
            }
            if (end - points[first].address > ModbusReadPlan::MaxRegisters)
                break;
            best[last + 1] = std::min(best[last + 1], best[first] + 1);
        }
    }
    return best[n];
}

bool readOnce(ModbusReader &reader, const QVector<ModbusSlave> &slaves, int *failed)
{
    QEventLoop loop;
    bool done = false;
    const auto connection = QObject::connect(&reader, &ModbusReader::readFinished, &loop,
                                             [&](const QVector<ModbusReader::SlaveResults> &results) {
        *failed = 0;
        for (const ModbusReader::SlaveResults &list : results)
            for (const ModbusReader::PointResult &result : list)
                *failed += result.ok() ? 0 : 1;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (reader.read(slaves))
        loop.exec();
    QObject::disconnect(connection);
    return done;
}

void BM_ReadAllPoints(benchmark::State &state)
{
    // Register i holds 7 i; replies go out at once, as from a quick device.
    ModbusTcpTestServer server([](int address) { return quint16(address * 7); });
    if (!server.listen(kAddress, kPort)) {
        state.SkipWithError("the Modbus server cannot listen");
        return;
    }

    ModbusLinkSettings link;
    link.host = kAddress;
    link.port = kPort;
    ModbusReader reader(link);
    const ModbusSlave slave(QStringLiteral("1"), QStringLiteral("ABCD"), true, false, pointRows());
    const ModbusSlave single(QStringLiteral("1"), QStringLiteral("ABCD"), true, false,
                             {{"400000", "Block", "string", "125", "r"}});
    int failed = 0;
    if (!readOnce(reader, {single}, &failed) || failed) { // connects
        state.SkipWithError("no answer from the server");
        return;
    }

    // Each iteration reads everything once and then times single-request reads on the same
    // connection, so both see the same load on the machine.
    int requests = 0;
    qint64 readNs = 0, tripNs = 0, trips = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        const bool ok = readOnce(reader, {slave}, &failed) && !failed;
        const qint64 elapsed = timer.nsecsElapsed();
        if (!ok) {
            state.SkipWithError("the read failed");
            return;
        }
        state.SetIterationTime(double(elapsed) / 1e9);
        readNs += elapsed;
        requests = reader.requestCount();
        for (int i = 0; i < 20; ++i) {
            timer.start();
            readOnce(reader, {single}, &failed);
            tripNs += timer.nsecsElapsed();
            ++trips;
        }
    }
    const double readMs = double(readNs) / double(state.iterations()) / 1e6;
    const double tripMs = double(tripNs) / double(trips) / 1e6;
    state.counters["requests"] = requests;
    state.counters["minimum"] = minimumRequests(slave.points);
    state.counters["trip_ms"] = tripMs;
    state.counters["budget_ms"] = 1.3 * requests * tripMs;
    state.counters["ratio"] = readMs / (requests * tripMs);
}

} // namespace

BENCHMARK(BM_ReadAllPoints)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
