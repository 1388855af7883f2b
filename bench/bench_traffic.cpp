// The Traffic pane fed by a real Modbus TCP connection at 1,000 frames a second (500 requests
// and their replies) for four seconds, with the log already full, so every batch also drops
// the oldest rows. The pane is shown and painted (offscreen). Reports the frames per second
// reached and the longest gap between two turns of the event loop (max_gap_ms, target 50).
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_traffic     (uses 127.0.24.200:1502)

#include "LoopGapMeter.h"

#include "core/modbus/ModbusClient.h"
#include "core/modbus/ModbusTraffic.h"
#include "gui/devices/TrafficPane.h"
#include "../tests/ModbusTcpTestServer.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

const QString kAddress = QStringLiteral("127.0.24.200");
constexpr int kPort = 1502;
constexpr int kFramesPerSecond = 1000;
constexpr int kRunMs = 4000;

void BM_TrafficPaneAt1000FramesPerSecond(benchmark::State &state)
{
    ModbusTcpTestServer server([](int address) { return quint16(address); });
    if (!server.listen(kAddress, kPort)) {
        state.SkipWithError("the Modbus server cannot listen");
        return;
    }
    ModbusLinkSettings link;
    link.host = kAddress;
    link.port = kPort;

    double worstGapMs = 0, framesPerSecond = 0;
    for (auto _ : state) {
        ModbusClient client(link);
        ModbusTraffic traffic;
        TrafficPane pane(&traffic);
        pane.resize(1000, 700);
        pane.show();
        // Full from the start: each batch inserts and drops.
        for (int i = 0; i < traffic.capacity(); ++i)
            traffic.recordSent(QByteArray::fromHex("000100000006010300000001"));
        pane.refresh();
        traffic.attach(&client);
        traffic.reset();
        // The window is open and painted (fonts loaded) before the stream starts.
        {
            QEventLoop settle;
            QTimer::singleShot(300, &settle, &QEventLoop::quit);
            settle.exec();
        }

        const quint64 firstSequence = traffic.nextSequence();
        QElapsedTimer clock;
        QTimer pace;
        pace.setTimerType(Qt::PreciseTimer);
        pace.setInterval(1);
        int sent = 0;
        // A request whenever the schedule (one request and its reply every 2 ms) is ahead.
        QObject::connect(&pace, &QTimer::timeout, [&] {
            if (!client.isWaiting() && sent < clock.elapsed() * kFramesPerSecond / 2000) {
                client.send(ModbusFrame::Request::read(1, ModbusFrame::ReadHoldingRegisters, quint16(sent % 1000), 4));
                ++sent;
            }
        });
        LoopGapMeter meter;
        QEventLoop loop;
        QTimer::singleShot(kRunMs, &loop, &QEventLoop::quit);
        clock.start();
        meter.start();
        pace.start();
        loop.exec();
        pace.stop();
        meter.stop();
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        framesPerSecond = double(traffic.nextSequence() - firstSequence) / seconds;
        worstGapMs = qMax(worstGapMs, double(meter.longestGapNs()) / 1e6);
        if (traffic.total().goodReplies == 0 || pane.model()->rowCount() != traffic.capacity()) {
            state.SkipWithError("no replies, or the table lost track of the log");
            return;
        }
    }
    state.counters["frames_per_s"] = framesPerSecond;
    state.counters["max_gap_ms"] = worstGapMs;
}

} // namespace

BENCHMARK(BM_TrafficPaneAt1000FramesPerSecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
