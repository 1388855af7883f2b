// A 16 MiB program image sent to the box simulator on loopback (fragments, digest, verdict),
// beside a plain TCP copy of the same file over loopback in the same run. The transfer to the
// minimal box also reports the longest gap between two turns of the event loop (max_gap_ms):
// the transfer is asynchronous and must never hold the loop for long.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_transfer
// Uses 127.0.6.200 (simulator) and 127.0.6.201 (plain copy sink and a minimal box).

#include "LoopGapMeter.h"

#include "core/boxlink/FileTransfer.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace {

constexpr qint64 kImageSize = 16 * 1024 * 1024;
const QString kSimAddress = QStringLiteral("127.0.6.200");
const QString kSinkAddress = QStringLiteral("127.0.6.201");

struct Fixture {
    QTemporaryDir dir;
    QString imagePath;
    QProcess sim;
    bool ready = false;

    Fixture()
    {
        imagePath = dir.filePath(QStringLiteral("image.bin"));
        QFile file(imagePath);
        if (!file.open(QIODevice::WriteOnly))
            return;
        QByteArray block(1024 * 1024, '\0');
        quint32 x = 12345;
        for (qint64 done = 0; done < kImageSize; done += block.size()) {
            for (char &c : block) {
                x = x * 1103515245u + 12345u;
                c = char(x >> 24);
            }
            file.write(block);
        }
        file.close();

        sim.setProgram(QStringLiteral(ORVANE_BIN_DIR "/orvane-boxsim"));
        sim.setArguments({QStringLiteral("--listen"), kSimAddress, QStringLiteral("--state"),
                          dir.filePath(QStringLiteral("state")), QStringLiteral("--exit-with-parent")});
        sim.setStandardOutputFile(QProcess::nullDevice());
        // With TZ unset, glibc re-reads the zone file for every log stamp of the simulator,
        // which would make the box, not the tool, the thing measured.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(QStringLiteral("TZ")))
            env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        sim.setProcessEnvironment(env);
        sim.start();
        if (!sim.waitForStarted(5000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            QTcpSocket probe;
            probe.connectToHost(kSimAddress, 30088);
            if (probe.waitForConnected(200)) {
                probe.abort();
                ready = true;
                return;
            }
            QThread::msleep(20);
        }
    }
    ~Fixture()
    {
        sim.terminate();
        if (!sim.waitForFinished(3000))
            sim.kill();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// Receives one connection's bytes until the expected count, keeps them, then acknowledges
// with one byte: the plain-copy counterpart of the box storing an image.
class Sink : public QThread
{
public:
    QSemaphore listening;
    quint16 port = 0;

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress(kSinkAddress), 0);
        port = server.serverPort();
        listening.release();
        if (!server.waitForNewConnection(10000))
            return;
        QTcpSocket *socket = server.nextPendingConnection();
        QByteArray received;
        received.reserve(int(kImageSize));
        while (received.size() < kImageSize && socket->waitForReadyRead(10000))
            received += socket->readAll();
        socket->write("K", 1);
        socket->waitForBytesWritten(5000);
        socket->waitForDisconnected(5000);
    }
};

// A box that only walks the frames and answers the checksum frame with "matched": what the
// tool costs, without the simulator's own bookkeeping (log line and record per fragment).
class QuickBox : public QThread
{
public:
    QSemaphore listening;
    quint16 port = 0;

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress(kSinkAddress), 30088);
        port = server.serverPort();
        listening.release();
        if (!server.waitForNewConnection(10000))
            return;
        QTcpSocket *socket = server.nextPendingConnection();
        QByteArray buffer;
        qint64 received = 0;
        bool done = false;
        while (!done && socket->waitForReadyRead(10000)) {
            buffer += socket->readAll();
            int at = 0;
            while (buffer.size() - at >= 6) {
                const int length = quint8(buffer[at + 4]) | (quint8(buffer[at + 5]) << 8);
                if (buffer.size() - at < length)
                    break;
                if (quint8(buffer[at + 6]) == 0x02)
                    done = true;
                else
                    received += length - 19;
                at += length;
            }
            buffer.remove(0, at);
        }
        const char verdict[10] = {0x12, 0x34, 0x04, 0x00, 0x0A, 0x00, 0x03, 0x00, 0x56, 0x78};
        socket->write(verdict, 10);
        socket->waitForBytesWritten(5000);
        socket->waitForDisconnected(5000);
        Q_UNUSED(received)
    }
};

void BM_TransferToQuickBox(benchmark::State &state)
{
    Fixture &f = fixture();
    qint64 longestGapNs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QuickBox box;
        box.start();
        box.listening.acquire();
        state.ResumeTiming();

        FileTransfer transfer;
        transfer.setHostAddress(kSinkAddress);
        FileTransfer::Outcome outcome = FileTransfer::Outcome::Cancelled;
        QEventLoop loop;
        QObject::connect(&transfer, &FileTransfer::finished, &loop, [&](FileTransfer::Outcome o) {
            outcome = o;
            loop.quit();
        });
        LoopGapMeter gaps;
        gaps.start();
        if (transfer.start(FileTransfer::ProgramUpdate, f.imagePath) && transfer.isRunning())
            loop.exec();
        gaps.stop();
        longestGapNs = qMax(longestGapNs, gaps.longestGapNs());

        state.PauseTiming();
        box.wait();
        if (outcome != FileTransfer::Outcome::ChecksumSuccessful) {
            state.SkipWithError("transfer not verified");
            return;
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * kImageSize);
    state.counters["max_gap_ms"] = benchmark::Counter(double(longestGapNs) / 1e6);
}

void BM_TransferToSimulator(benchmark::State &state)
{
    Fixture &f = fixture();
    if (!f.ready) {
        state.SkipWithError("simulator not running");
        return;
    }
    for (auto _ : state) {
        FileTransfer transfer;
        transfer.setHostAddress(kSimAddress);
        if (transfer.send(FileTransfer::ProgramUpdate, f.imagePath)
            != FileTransfer::Outcome::ChecksumSuccessful) {
            state.SkipWithError("transfer not verified");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kImageSize);
}

void BM_PlainLoopbackCopy(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        Sink sink;
        sink.start();
        sink.listening.acquire();
        state.ResumeTiming();

        QFile file(f.imagePath);
        file.open(QIODevice::ReadOnly);
        QTcpSocket socket;
        socket.connectToHost(kSinkAddress, sink.port);
        socket.waitForConnected(5000);
        while (!file.atEnd()) {
            socket.write(file.read(64 * 1024));
            socket.waitForBytesWritten(30000);
        }
        socket.waitForReadyRead(30000);
        socket.disconnectFromHost();

        state.PauseTiming();
        sink.wait();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * kImageSize);
}

} // namespace

BENCHMARK(BM_PlainLoopbackCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_TransferToQuickBox)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_TransferToSimulator)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
