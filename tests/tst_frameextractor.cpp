// The frame extractor: frames come out whole, once and in order, however the stream is cut.

#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/FrameExtractor.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A frame of the given total length whose body never contains 0x12.
QByteArray frameOfLength(quint8 command, int length, char fill = 'a')
{
    QByteArray frame = hex("1234");
    frame.append(char(command));
    frame.append('\0');
    frame.append(char(length & 0xFF));
    frame.append(char((length >> 8) & 0xFF));
    for (int i = 6; i < length - 2; ++i)
        frame.append(char(fill + (i % 20)));
    frame.append(hex("5678"));
    return frame;
}

QByteArray withWrongEnd(QByteArray frame)
{
    frame[frame.size() - 1] = 'X';
    return frame;
}

// Feeds chunks and collects the frames, checking that held bytes never exceed the buffer.
struct Collector {
    FrameExtractor extractor;
    QList<QByteArray> frames;
    int maxHeld = 0;

    Collector()
    {
        extractor.setHandler([this](const char *frame, int length) {
            frames.append(QByteArray(frame, length));
        });
    }

    void feed(const QByteArray &chunk)
    {
        extractor.feed(chunk);
        maxHeld = qMax(maxHeld, extractor.heldCount());
    }
};

QList<QByteArray> extract(const QList<QByteArray> &chunks, int *maxHeld = nullptr)
{
    Collector collector;
    for (const QByteArray &chunk : chunks)
        collector.feed(chunk);
    if (maxHeld)
        *maxHeld = collector.maxHeld;
    return collector.frames;
}

QString describe(const QList<QByteArray> &frames)
{
    QStringList parts;
    for (const QByteArray &frame : frames)
        parts.append(QStringLiteral("cmd %1 len %2").arg(quint8(frame.at(2))).arg(frame.size()));
    return parts.join(QStringLiteral(", "));
}

} // namespace

class tst_FrameExtractor : public QObject
{
    Q_OBJECT
private slots:
    void cases_data();
    void cases();
    void sameFramesAtEverySplitPoint();
    void sameFramesForRandomCuts();
    void liveFragmentsWithMarkersInsideAtEverySplitPoint();
    void heldBytesStayInsideTheBuffer();
    void feedingFromTheHandlerKeepsStreamOrder();
    void resetForgetsHeldBytes();
};

void tst_FrameExtractor::cases_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray a = frameOfLength(5, 40);
    const QByteArray b = frameOfLength(2, 19, 'k');
    const QByteArray big = frameOfLength(6, 1043);
    const QByteArray oversized = frameOfLength(5, 5000);

    QTest::newRow("two frames in one chunk") << QList<QByteArray>{a + b} << QList<QByteArray>{a, b};
    QTest::newRow("split after the first 3 bytes")
        << QList<QByteArray>{a.left(3), a.mid(3)} << QList<QByteArray>{a};
    QTest::newRow("split inside the body")
        << QList<QByteArray>{big.left(500), big.mid(500, 300), big.mid(800)} << QList<QByteArray>{big};
    QTest::newRow("split between the marker bytes")
        << QList<QByteArray>{"junk" + a.left(1), a.mid(1)} << QList<QByteArray>{a};
    QTest::newRow("garbage before a start marker")
        << QList<QByteArray>{"\x01\x02garbage\x34\x56" + a} << QList<QByteArray>{a};
    QTest::newRow("wrong end marker, next frame in the same chunk")
        << QList<QByteArray>{withWrongEnd(a) + b} << QList<QByteArray>{b};
    QTest::newRow("wrong end marker found after a split")
        << QList<QByteArray>{withWrongEnd(a).left(20), withWrongEnd(a).mid(20) + b}
        << QList<QByteArray>{b};
    QTest::newRow("frame length below 8 is no frame")
        << QList<QByteArray>{hex("12 34 05 00 07 00 56 78") + b} << QList<QByteArray>{b};
    QTest::newRow("frame length 0")
        << QList<QByteArray>{hex("12 34 05 00 00 00") + b} << QList<QByteArray>{b};
    QTest::newRow("oversized frame in one chunk is refused")
        << QList<QByteArray>{oversized + b} << QList<QByteArray>{b};
    QTest::newRow("oversized frame arriving split is refused")
        << QList<QByteArray>{oversized.left(3000), oversized.mid(3000, 1500), oversized.mid(4500) + b}
        << QList<QByteArray>{b};
    QTest::newRow("a frame hidden behind a false start inside held bytes")
        << QList<QByteArray>{hex("12 34 05 00 00 01") + b.left(10), b.mid(10) + QByteArray(300, 'z')}
        << QList<QByteArray>{b};
    QTest::newRow("a frame whole inside the held bytes of a false start")
        << QList<QByteArray>{hex("12 34 05 00 40 00") + b + "tail", QByteArray(80, 'z') + a}
        << QList<QByteArray>{b, a};
    // A start marker inside an unfinished frame proves nothing; once the frame's end is due and
    // wrong, it is given up and the frame inside it is found.
    QTest::newRow("a frame cut short is given up only when its end proves wrong")
        << QList<QByteArray>{big.left(100), b, QByteArray(1000, 'z')} << QList<QByteArray>{b};
    QTest::newRow("header completed from the next chunk")
        << QList<QByteArray>{a.left(2), a.mid(2, 2), a.mid(4)} << QList<QByteArray>{a};
    QTest::newRow("smallest frame") << QList<QByteArray>{FrameCodec::heartbeatRequest()}
                                    << QList<QByteArray>{FrameCodec::heartbeatRequest()};
    QTest::newRow("largest frame the buffer takes, split")
        << QList<QByteArray>{frameOfLength(5, 4096).left(4095), frameOfLength(5, 4096).right(1)}
        << QList<QByteArray>{frameOfLength(5, 4096)};
    QTest::newRow("one byte too large for the buffer, split")
        << QList<QByteArray>{frameOfLength(5, 4097).left(4000), frameOfLength(5, 4097).mid(4000) + a}
        << QList<QByteArray>{a};
    QTest::newRow("unfinished frame waits") << QList<QByteArray>{a + big.left(600)}
                                            << QList<QByteArray>{a};
}

void tst_FrameExtractor::cases()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, expected);
    int maxHeld = 0;
    const QList<QByteArray> frames = extract(chunks, &maxHeld);
    QCOMPARE(describe(frames), describe(expected));
    QCOMPARE(frames, expected);
    QVERIFY(maxHeld <= FrameExtractor::BufferSize);
}

namespace {

// Several frames with everything the extractor must step over: junk, false starts with wrong
// end markers, a length below 8, and a frame longer than the buffer. With hiddenFrame, one
// false start claims a length that reaches over a real frame, which must be found again once
// the false start is refused.
struct MixedStream {
    QByteArray bytes;
    QList<QByteArray> frames;

    explicit MixedStream(bool hiddenFrame)
    {
        const auto add = [this](const QByteArray &frame) {
            bytes += frame;
            frames.append(frame);
        };
        bytes += "leading junk \x01\x02\x56\x78\x34";
        add(FrameCodec::heartbeatReply("1.0.3", "A1", "M"));
        bytes += withWrongEnd(frameOfLength(5, 60));
        add(FrameCodec::jsonMessage(R"({"type":"2","pares":{}})"));
        bytes += hex("12 34 05 00 06 00 56 78"); // length below 8
        bytes += "more junk";
        add(frameOfLength(6, 1043));
        bytes += frameOfLength(5, 5000); // longer than the buffer
        add(frameOfLength(5, 200, 'A'));
        bytes += withWrongEnd(frameOfLength(2, 12));
        add(FrameCodec::heartbeatRequest());
        add(frameOfLength(6, 1043, 'B'));
        if (hiddenFrame) {
            bytes += hex("12 34 05 00 50 00"); // reaches 80 bytes, over the next frame
            add(frameOfLength(2, 19, 'k'));
            bytes += QByteArray(70, '-');
        }
        bytes += "\x34\x12 trailing junk \x78";
        add(frameOfLength(5, 30));
    }
};

} // namespace

void tst_FrameExtractor::sameFramesAtEverySplitPoint()
{
    const MixedStream stream(true);
    const QList<QByteArray> whole = extract({stream.bytes});
    QCOMPARE(describe(whole), describe(stream.frames));
    QCOMPARE(whole, stream.frames);

    for (int cut = 0; cut <= stream.bytes.size(); ++cut) {
        int maxHeld = 0;
        const QList<QByteArray> frames =
            extract({stream.bytes.left(cut), stream.bytes.mid(cut)}, &maxHeld);
        if (frames != stream.frames)
            QFAIL(qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(describe(frames))));
        QVERIFY(maxHeld <= FrameExtractor::BufferSize);
    }

    QList<QByteArray> bytewise;
    for (char byte : stream.bytes)
        bytewise.append(QByteArray(1, byte));
    QCOMPARE(extract(bytewise), stream.frames);
}

void tst_FrameExtractor::sameFramesForRandomCuts()
{
    const MixedStream stream(true);
    QRandomGenerator random(20240611);
    for (int round = 0; round < 300; ++round) {
        QList<QByteArray> chunks;
        const int maxPiece = 1 + int(random.bounded(round % 2 ? 40 : 3000));
        for (int pos = 0; pos < stream.bytes.size();) {
            const int piece = 1 + int(random.bounded(maxPiece));
            chunks.append(stream.bytes.mid(pos, piece));
            pos += piece;
        }
        const QList<QByteArray> frames = extract(chunks);
        if (frames != stream.frames)
            QFAIL(qPrintable(QStringLiteral("round %1: %2").arg(round).arg(describe(frames))));
    }
}

void tst_FrameExtractor::liveFragmentsWithMarkersInsideAtEverySplitPoint()
{
    // A report of 13,330 (0x3412) bytes: every fragment carries 12 34 at bytes 7-8 of its header,
    // and the report text holds both markers as well.
    QByteArray report = "{\"projectName\":\"P\",\"datas\":[{\"value\":\"\x12\x34\x56\x78\"}],\"pad\":\"";
    report += QByteArray(13330 - report.size() - 2, 'x');
    report += "\"}";
    QCOMPARE(report.size(), 0x3412);
    const QList<QByteArray> fragments = FrameCodec::liveDataFragments(report);
    QVERIFY(fragments.size() > 3);
    QByteArray stream;
    for (const QByteArray &fragment : fragments) {
        QCOMPARE(fragment.mid(7, 2), hex("12 34"));
        stream += fragment;
    }
    // The markers inside the text land in the first fragment's body.
    QVERIFY(fragments.first().indexOf(hex("12 34 56 78")) > FrameCodec::FragmentPayloadOffset);

    for (int cut = 0; cut <= stream.size(); ++cut) {
        const QList<QByteArray> frames = extract({stream.left(cut), stream.mid(cut)});
        if (frames != fragments)
            QFAIL(qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(describe(frames))));
    }
    // Cut in three around the first fragment's header as well.
    for (int first = 1; first < 12; ++first) {
        for (int second = first + 1; second < 40; ++second) {
            const QList<QByteArray> frames =
                extract({stream.left(first), stream.mid(first, second - first), stream.mid(second)});
            if (frames != fragments)
                QFAIL(qPrintable(QStringLiteral("cuts at %1, %2: %3").arg(first).arg(second).arg(describe(frames))));
        }
    }
}

void tst_FrameExtractor::heldBytesStayInsideTheBuffer()
{
    // Random bytes rich in start markers and plausible lengths, in chunks of every size: the
    // extractor must neither crash nor hold more than its buffer, and whatever it hands out
    // must be a frame.
    QRandomGenerator random(7);
    for (int round = 0; round < 200; ++round) {
        QByteArray noise(20000, '\0');
        for (char &byte : noise) {
            const quint32 r = random.bounded(100);
            byte = r < 10 ? '\x12' : r < 20 ? '\x34' : r < 25 ? '\x0F' : char(random.bounded(256));
        }
        Collector collector;
        for (int pos = 0; pos < noise.size();) {
            const int piece = 1 + int(random.bounded(round % 3 ? 64 : 5000));
            collector.feed(noise.mid(pos, piece));
            pos += piece;
        }
        QVERIFY(collector.maxHeld <= FrameExtractor::BufferSize);
        for (const QByteArray &frame : qAsConst(collector.frames)) {
            QVERIFY(frame.size() >= 8 && frame.size() <= FrameExtractor::BufferSize);
            QCOMPARE(FrameCodec::frameLength(frame), frame.size());
            QVERIFY(frame.startsWith("\x12\x34") && FrameCodec::hasEndMarker(frame));
        }
    }
}

void tst_FrameExtractor::feedingFromTheHandlerKeepsStreamOrder()
{
    // A reply slot may run a nested event loop that delivers the next chunk while the current
    // one is only half consumed: frames must still come out in stream order.
    const QByteArray f1 = frameOfLength(5, 30, 'a');
    const QByteArray f2 = frameOfLength(5, 31, 'b');
    const QByteArray f3 = frameOfLength(5, 32, 'c');
    const QByteArray f4 = frameOfLength(5, 33, 'd');
    const QByteArray later = f3.mid(10) + f4;

    FrameExtractor extractor;
    QList<QByteArray> frames;
    bool fed = false;
    extractor.setHandler([&](const char *frame, int length) {
        frames.append(QByteArray(frame, length));
        if (!fed) {
            fed = true;
            extractor.feed(later);
        }
    });
    extractor.feed(f1 + f2 + f3.left(10));
    QCOMPARE(frames, (QList<QByteArray>{f1, f2, f3, f4}));
}

void tst_FrameExtractor::resetForgetsHeldBytes()
{
    const QByteArray a = frameOfLength(5, 40);
    Collector collector;
    collector.feed(a.left(20));
    QCOMPARE(collector.extractor.heldCount(), 20);
    collector.extractor.reset();
    collector.feed(a.mid(20) + a);
    QCOMPARE(collector.frames, QList<QByteArray>{a});
}

QTEST_GUILESS_MAIN(tst_FrameExtractor)
#include "tst_frameextractor.moc"
