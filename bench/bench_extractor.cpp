// Frame extraction and live-data reassembly throughput.
//
// Extractor: a stream of 1043-byte live-data fragments and a stream of random junk, fed in
// 64 KiB chunks, each beside a memchr scan over the same bytes for the same start byte
// (0x12), which bounds what any scanner can do. Reassembly: reports of 256 KiB to 4 MiB put
// back together from their fragments, with and without the final JSON parse.

#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/FrameExtractor.h"
#include "core/boxlink/LiveDataAssembler.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr int kChunk = 64 * 1024;
constexpr int kStreamSize = 16 * 1024 * 1024;

const QByteArray &fragmentStream()
{
    static const QByteArray stream = [] {
        QByteArray text(kStreamSize, '\0');
        QRandomGenerator random(1);
        // Report text: printable JSON-like bytes, as a box sends.
        for (char &c : text)
            c = char(0x20 + random.bounded(0x5E));
        QByteArray bytes;
        for (const QByteArray &frame : FrameCodec::liveDataFragments(text.left(kStreamSize / 1043 * 1024)))
            bytes += frame;
        return bytes;
    }();
    return stream;
}

const QByteArray &junkStream()
{
    static const QByteArray stream = [] {
        QByteArray bytes(kStreamSize, '\0');
        QRandomGenerator random(2);
        for (int i = 0; i < bytes.size(); i += 4) {
            const quint32 word = random.generate();
            std::memcpy(bytes.data() + i, &word, 4);
        }
        return bytes;
    }();
    return stream;
}

void runExtractor(benchmark::State &state, const QByteArray &stream)
{
    qint64 frames = 0;
    FrameExtractor extractor([&frames](const char *, int) { ++frames; });
    for (auto _ : state) {
        for (int pos = 0; pos < stream.size(); pos += kChunk)
            extractor.feed(stream.constData() + pos, qMin(kChunk, stream.size() - pos));
    }
    benchmark::DoNotOptimize(frames);
    state.SetBytesProcessed(qint64(state.iterations()) * stream.size());
    state.counters["frames/pass"] = double(frames) / double(state.iterations());
}

void runMemchr(benchmark::State &state, const QByteArray &stream)
{
    qint64 hits = 0;
    for (auto _ : state) {
        for (int pos = 0; pos < stream.size(); pos += kChunk) {
            const char *p = stream.constData() + pos;
            const char *end = p + qMin(kChunk, stream.size() - pos);
            while (p < end) {
                const void *hit = std::memchr(p, FrameCodec::StartMarker0, size_t(end - p));
                if (!hit)
                    break;
                ++hits;
                p = static_cast<const char *>(hit) + 1;
            }
        }
    }
    benchmark::DoNotOptimize(hits);
    state.SetBytesProcessed(qint64(state.iterations()) * stream.size());
}

void BM_ExtractFragments(benchmark::State &state) { runExtractor(state, fragmentStream()); }
void BM_MemchrFragments(benchmark::State &state) { runMemchr(state, fragmentStream()); }
void BM_ExtractJunk(benchmark::State &state) { runExtractor(state, junkStream()); }
void BM_MemchrJunk(benchmark::State &state) { runMemchr(state, junkStream()); }

BENCHMARK(BM_ExtractFragments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrFragments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractJunk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemchrJunk)->Unit(benchmark::kMillisecond);

// A report of about the given size, as the box would send it.
QList<QByteArray> reportFragments(int size)
{
    QJsonArray datas;
    QJsonObject report{{"projectName", "Plant A"}, {"plcName", "Big"}, {"sn", "SN1"},
                       {"time", "2024-05-06 07:08:09"}, {"description", ""}};
    int estimate = 100;
    for (int i = 0; estimate < size; ++i) {
        const QJsonObject point{{"name", QStringLiteral("Register %1").arg(i)},
                                {"addr", QString::number(40000 + i)},
                                {"dataType", "float"},
                                {"value", QString::number(i * 0.37, 'f', 2)},
                                {"valid", "1"}};
        estimate += QJsonDocument(point).toJson(QJsonDocument::Compact).size() + 1;
        datas.append(point);
    }
    report.insert("datas", datas);
    return FrameCodec::liveDataFragments(QJsonDocument(report).toJson(QJsonDocument::Compact));
}

void BM_Reassemble(benchmark::State &state)
{
    const QList<QByteArray> fragments = reportFragments(int(state.range(0)));
    qint64 bytes = 0;
    for (const QByteArray &f : fragments)
        bytes += f.size() - FrameCodec::FragmentOverhead;
    LiveDataAssembler assembler;
    for (auto _ : state) {
        LiveDataAssembler::Status status = LiveDataAssembler::Status::Dropped;
        for (const QByteArray &f : fragments)
            status = assembler.addFragment(f);
        if (status != LiveDataAssembler::Status::Complete)
            state.SkipWithError("report not complete");
        benchmark::DoNotOptimize(assembler.takeReport());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * bytes);
    state.SetComplexityN(bytes);
}

// Collecting only: every fragment but the last, then the collection is dropped.
void BM_CollectOnly(benchmark::State &state)
{
    const QList<QByteArray> fragments = reportFragments(int(state.range(0)));
    qint64 bytes = 0;
    for (const QByteArray &f : fragments)
        bytes += f.size() - FrameCodec::FragmentOverhead;
    LiveDataAssembler assembler;
    for (auto _ : state) {
        for (int i = 0; i < fragments.size() - 1; ++i)
            assembler.addFragment(fragments.at(i));
        assembler.clear();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * bytes);
    state.SetComplexityN(bytes);
}

BENCHMARK(BM_Reassemble)->RangeMultiplier(2)->Range(256 << 10, 4 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_CollectOnly)->RangeMultiplier(2)->Range(256 << 10, 4 << 20)->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
