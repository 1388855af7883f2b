// One round of N selected meter items over a pseudo-terminal pair: N requests, and a round time
// close to what the line itself costs. The meter peer delays each reply by its wire time at the
// configured speed (11 bits a character, as at 8E1) plus a fixed answer delay; the counter
// "ratio" is the round's time over the sum of those delays and the configured gaps (target:
// at most 1.2 at the median).

#include "core/dlt645/Dlt645Reader.h"
#include "../tests/Dlt645MeterPeer.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace {

const QString kMeter = QStringLiteral("210987654321");
constexpr int kAnswerDelayMs = 20;

struct Catalogue {
    const char *id;
    const char *format;
    const char *value; // hex, least significant first
};
const Catalogue kItems[] = {
    {"00010000", "XXXXXX.XX", "09 21 03 00"}, {"00020000", "XXXXXX.XX", "00 10 00 00"},
    {"02010100", "XXX.X", "05 22"},           {"02010200", "XXX.X", "07 22"},
    {"02020100", "XXX.XXX", "34 12 00"},      {"02030000", "XX.XXXX", "00 50 81"},
    {"02040000", "XX.XXXX", "00 25 00"},      {"02060000", "X.XXX", "87 09"},
};

// socat's two linked pseudo-terminals, waited for with a bound.
class Pty
{
public:
    ~Pty()
    {
        m_socat.kill();
        m_socat.waitForFinished(3000);
    }
    QString a() const { return m_dir.filePath(QStringLiteral("a")); }
    QString b() const { return m_dir.filePath(QStringLiteral("b")); }
    bool start()
    {
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(a()),
                                                QStringLiteral("pty,raw,echo=0,link=%1").arg(b())});
        if (!m_socat.waitForStarted(3000))
            return false;
        for (int i = 0; i < 250; ++i) {
            if (QFileInfo::exists(a()) && QFileInfo::exists(b()))
                return true;
            QThread::msleep(20);
        }
        return false;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
};

void BM_MeterRound(benchmark::State &state)
{
    const int n = int(state.range(0));
    const int baud = int(state.range(1));
    const int gapMs = int(state.range(2));
    Pty pty;
    if (!pty.start()) {
        state.SkipWithError("no socat pseudo-terminal pair");
        return;
    }
    Dlt645MeterPeer peer;
    peer.wireBaud = baud;
    peer.answerDelayMs = kAnswerDelayMs;
    if (!peer.open(pty.b())) {
        state.SkipWithError("peer cannot open its end");
        return;
    }
    Dlt645MeterPeer::Meter &meter = peer.meter(kMeter);
    QVector<Dlt645Reader::Item> items;
    for (int i = 0; i < n; ++i) {
        const Catalogue &c = kItems[i % (sizeof kItems / sizeof kItems[0])];
        quint32 id = 0;
        Dlt645::parseIdentifier(QString::fromLatin1(c.id), Dlt645::Edition::V2007, &id);
        meter.values.insert(id, QByteArray::fromHex(QByteArray(c.value).replace(' ', "")));
        Dlt645Reader::Item item;
        item.addressText = kMeter;
        item.identifierText = QString::fromLatin1(c.id);
        item.format = QString::fromLatin1(c.format);
        items.append(item);
    }
    Dlt645Reader reader;
    SerialLine::Settings settings;
    settings.device = pty.a();
    settings.baudRate = baud;
    QString error;
    if (!reader.open(settings, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    reader.setTimeouts(2000, gapMs);

    double ratioSum = 0;
    int failed = 0;
    for (auto _ : state) {
        const qint64 delaysBefore = peer.delaysMs;
        const int requestsBefore = peer.requests;
        QEventLoop loop;
        const auto counted = QObject::connect(&reader, &Dlt645Reader::itemRead, &loop,
            [&failed](int, const Dlt645Reader::Result &r) { failed += r.ok() ? 0 : 1; });
        QObject::connect(&reader, &Dlt645Reader::roundFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        reader.readRound(items);
        loop.exec();
        const double seconds = timer.nsecsElapsed() / 1e9;
        QObject::disconnect(counted);
        state.SetIterationTime(seconds);
        const double budgetMs = double(peer.delaysMs - delaysBefore) + double(qMax(0, gapMs)) * (n - 1);
        ratioSum += seconds * 1000.0 / budgetMs;
        if (peer.requests - requestsBefore != n)
            state.SkipWithError("a round did not cost exactly N requests");
    }
    state.counters["ratio"] = ratioSum / double(state.iterations());
    state.counters["failed"] = failed;
    state.counters["requests_per_round"] = double(reader.requestCount()) / double(state.iterations());
}

} // namespace

// N items, baud, gap (ms; -1 none).
BENCHMARK(BM_MeterRound)
    ->Args({8, 2400, -1})
    ->Args({32, 2400, -1})
    ->Args({32, 9600, -1})
    ->Args({32, 9600, 20})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
