// Register discovery of holding registers 0-9999 on an in-process Modbus TCP server whose
// readable ranges are 0-99 and 1000-1049 (a read touching any other address gets exception 2),
// against reading the same 10,000 registers one request each on the same connection. Reports
// both request counts and times and their ratio; the discovery must stay within 1/20 of the
// register-by-register requests.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_discovery     (uses 127.0.6.224:1502)

#include "core/modbus/RegisterDiscovery.h"
#include "../tests/ModbusTcpTestServer.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

const QString kAddress = QStringLiteral("127.0.6.224");
constexpr int kPort = 1502;
constexpr int kLast = 9999;

bool discover(RegisterDiscovery &discovery, RegisterDiscovery::Result *result)
{
    QEventLoop loop;
    bool done = false;
    const auto connection = QObject::connect(&discovery, &RegisterDiscovery::finished, &loop,
                                             [&](const RegisterDiscovery::Result &r) {
        *result = r;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (discovery.start(1, ModbusPoint::Table::HoldingRegisters, 0, kLast) && !done)
        loop.exec();
    QObject::disconnect(connection);
    return done && result->completed();
}

// Every address alone, one request after the other: what finding the map without discovery
// takes. The refused ones answer as quickly as the readable ones.
bool oneByOne(ModbusClient &client, int *requests)
{
    QEventLoop loop;
    int address = 0;
    bool failed = false;
    const auto connection = QObject::connect(&client, &ModbusClient::replied, &loop,
                                             [&](const ModbusClient::Result &result) {
        if (result.status != ModbusClient::Result::Status::Ok
            && result.status != ModbusClient::Result::Status::Exception) {
            failed = true;
            loop.quit();
            return;
        }
        if (++address > kLast) {
            loop.quit();
            return;
        }
        client.send(ModbusFrame::Request::read(1, ModbusFrame::ReadHoldingRegisters, quint16(address), 1));
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    client.send(ModbusFrame::Request::read(1, ModbusFrame::ReadHoldingRegisters, 0, 1));
    loop.exec();
    QObject::disconnect(connection);
    *requests = address;
    return !failed && address > kLast;
}

void BM_DiscoverTwoRanges(benchmark::State &state)
{
    ModbusTcpTestServer server([](int address) { return quint16(address); });
    server.setReadable({{0, 99}, {1000, 1049}});
    if (!server.listen(kAddress, kPort)) {
        state.SkipWithError("the Modbus server cannot listen");
        return;
    }
    ModbusLinkSettings link;
    link.host = kAddress;
    link.port = kPort;
    ModbusClient client(link);
    RegisterDiscovery discovery(&client);

    RegisterDiscovery::Result result;
    qint64 discoveryNs = 0, plainNs = 0;
    int plainRequests = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        if (!discover(discovery, &result)) {
            state.SkipWithError("discovery did not complete");
            return;
        }
        const qint64 elapsed = timer.nsecsElapsed();
        state.SetIterationTime(double(elapsed) / 1e9);
        discoveryNs += elapsed;
        if (result.readable.size() != 2 || result.readable[0].to != 99 || result.readable[1].from != 1000
            || result.readable[1].to != 1049) {
            state.SkipWithError("discovery found other ranges");
            return;
        }
        timer.start();
        if (!oneByOne(client, &plainRequests)) {
            state.SkipWithError("the register-by-register read failed");
            return;
        }
        plainNs += timer.nsecsElapsed();
    }
    const double iterations = double(state.iterations());
    state.counters["requests"] = result.requests;
    state.counters["plain_requests"] = plainRequests;
    state.counters["request_share"] = double(result.requests) / plainRequests;
    state.counters["plain_ms"] = double(plainNs) / iterations / 1e6;
    state.counters["time_share"] = double(discoveryNs) / double(plainNs);
    if (result.requests * 20 > plainRequests)
        state.SkipWithError("discovery used more than 1/20 of the register-by-register requests");
}

} // namespace

BENCHMARK(BM_DiscoverTwoRanges)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
