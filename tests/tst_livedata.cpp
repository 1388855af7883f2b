// Live-data reassembly: fragments back into one report, bounded by the announced total, and
// the report handed on by Protocol.

#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/LiveDataAssembler.h"
#include "core/boxlink/Protocol.h"

#include <QJsonDocument>
#include <QtTest>

using Status = LiveDataAssembler::Status;
Q_DECLARE_METATYPE(QList<Status>)

namespace {

// A report of exactly the given size (padded with blanks after the object).
QByteArray reportText(int size, const QString &plcName = QStringLiteral("P1"))
{
    QJsonObject point;
    point.insert("name", "Temperature");
    point.insert("addr", "40001");
    point.insert("dataType", "float");
    point.insert("value", "21.50");
    point.insert("valid", "1");
    QJsonObject report;
    report.insert("projectName", "Plant A");
    report.insert("plcName", plcName);
    report.insert("description", "hall 3");
    report.insert("sn", "SN1");
    report.insert("time", "2024-05-06 07:08:09");
    report.insert("datas", QJsonArray{point});
    const QByteArray text = QJsonDocument(report).toJson(QJsonDocument::Compact);
    Q_ASSERT(text.size() <= size);
    return text.leftJustified(size, ' ');
}

QByteArray fragment(quint32 total, quint32 number, const QByteArray &payload, int lengthField = -1)
{
    QByteArray frame = FrameCodec::liveDataFragment(total, number, payload.constData(), payload.size());
    if (lengthField >= 0) {
        frame[11] = char(lengthField & 0xFF);
        frame[12] = char(lengthField >> 8);
    }
    return frame;
}

QStringList names(const QList<Status> &statuses)
{
    static const char *const text[] = {"Dropped", "Mismatch", "Inconsistent", "Pending",
                                       "Complete", "ParseFailed"};
    QStringList result;
    for (Status status : statuses)
        result.append(QLatin1String(text[int(status)]));
    return result;
}

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages.append(message);
}

// Collects the debug and warning lines written while it lives.
struct MessageCapture {
    MessageCapture()
    {
        g_messages.clear();
        g_previousHandler = qInstallMessageHandler(captureMessage);
    }
    ~MessageCapture() { qInstallMessageHandler(g_previousHandler); }
};

} // namespace

class tst_LiveData : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void assembly_data();
    void assembly();
    void textIsCollectedInOneAllocation();
    void protocolHandsOnTheReport();
    void eachLinkCollectsItsOwnReport();
    void protocolReportsDiscardedCollections_data();
    void protocolReportsDiscardedCollections();
    void disconnectionDropsAHalfReport();
};

void tst_LiveData::init()
{
    // The collection belongs to the process; start every test without one.
    Protocol protocol;
    protocol.handleDisconnected();
}

void tst_LiveData::assembly_data()
{
    QTest::addColumn<QList<QByteArray>>("fragments");
    QTest::addColumn<QList<Status>>("statuses");
    QTest::addColumn<QString>("plcName"); // of the completed report, if any

    const QByteArray text = reportText(2100);
    const QByteArray f1 = fragment(2100, 1, text.left(1024));
    const QByteArray f2 = fragment(2100, 2, text.mid(1024, 1024));
    const QByteArray f3 = fragment(2100, 3, text.mid(2048));
    const QByteArray other = fragment(999, 1, QByteArray(100, ' '));

    QTest::newRow("three fragments of 2100 bytes")
        << QList<QByteArray>{f1, f2, f3}
        << QList<Status>{Status::Pending, Status::Pending, Status::Complete} << "P1";
    QTest::newRow("another total in between discards the collection")
        << QList<QByteArray>{f1, other, f2, f3}
        << QList<Status>{Status::Pending, Status::Mismatch, Status::Pending, Status::ParseFailed}
        << "";
    QTest::newRow("length field disagrees with the frame")
        << QList<QByteArray>{f1, fragment(2100, 2, text.mid(1024, 1024), 1000), f3}
        << QList<Status>{Status::Pending, Status::Inconsistent, Status::ParseFailed} << "";
    QTest::newRow("payload would pass the announced total")
        << QList<QByteArray>{fragment(1500, 1, QByteArray(1024, ' ')),
                             fragment(1500, 2, QByteArray(1024, ' '))}
        << QList<Status>{Status::Pending, Status::Inconsistent} << "";
    QTest::newRow("a repeated fragment cannot grow the text past the total")
        << QList<QByteArray>{f1, f1, f2, f3}
        << QList<Status>{Status::Pending, Status::Pending, Status::Inconsistent, Status::ParseFailed}
        << "";
    QTest::newRow("frame shorter than 19 bytes is dropped, collection kept")
        << QList<QByteArray>{f1, f1.left(16) + "\x56\x78", f2, f3}
        << QList<Status>{Status::Pending, Status::Dropped, Status::Pending, Status::Complete} << "P1";
    QTest::newRow("total above the limit is refused")
        << QList<QByteArray>{fragment(LiveDataAssembler::MaxReportSize + 1, 1, QByteArray(1024, ' '))}
        << QList<Status>{Status::Dropped} << "";
    QTest::newRow("single fragment") << QList<QByteArray>{fragment(300, 1, reportText(300, "M7"))}
                                     << QList<Status>{Status::Complete} << "M7";
    QTest::newRow("report that is no JSON") << QList<QByteArray>{fragment(8, 1, "not json")}
                                            << QList<Status>{Status::ParseFailed} << "";
    QTest::newRow("empty report") << QList<QByteArray>{fragment(0, 1, QByteArray())}
                                  << QList<Status>{Status::ParseFailed} << "";
}

void tst_LiveData::assembly()
{
    QFETCH(QList<QByteArray>, fragments);
    QFETCH(QList<Status>, statuses);
    QFETCH(QString, plcName);

    LiveDataAssembler assembler;
    QList<Status> actual;
    QString completed;
    for (const QByteArray &frame : fragments) {
        actual.append(assembler.addFragment(frame));
        if (actual.last() == Status::Complete)
            completed = assembler.takeReport().value("plcName").toString();
        QVERIFY(quint32(assembler.collected().size()) <= assembler.expectedTotal()
                || assembler.collected().isEmpty());
    }
    QCOMPARE(names(actual), names(statuses));
    QCOMPARE(completed, plcName);
}

void tst_LiveData::textIsCollectedInOneAllocation()
{
    const QByteArray text = reportText(100000);
    const QList<QByteArray> frames = FrameCodec::liveDataFragments(text);
    LiveDataAssembler assembler;
    QCOMPARE(assembler.addFragment(frames.first()), Status::Pending);
    QVERIFY(assembler.collected().capacity() >= 100000);
    const char *storage = assembler.collected().constData();
    for (int i = 1; i < frames.size() - 1; ++i) {
        QCOMPARE(assembler.addFragment(frames.at(i)), Status::Pending);
        QCOMPARE(assembler.collected().constData(), storage);
    }
    QCOMPARE(assembler.addFragment(frames.last()), Status::Complete);
    // Released after the report is whole.
    QCOMPARE(assembler.collected().capacity(), 0);
    QCOMPARE(assembler.expectedTotal(), 0u);
}

void tst_LiveData::protocolHandsOnTheReport()
{
    Protocol protocol;
    QSignalSpy spy(&protocol, &Protocol::dataReceived);
    const QList<QByteArray> frames = FrameCodec::liveDataFragments(reportText(2100));
    QCOMPARE(frames.size(), 3);
    {
        MessageCapture capture;
        protocol.processReceivedBytes(frames[0] + frames[1] + frames[2]);
        QVERIFY(g_messages.contains(QStringLiteral("data长度::2100")));
        QCOMPARE(g_messages.last(), QStringLiteral("完成data::"));
    }
    QCOMPARE(spy.count(), 1);
    const auto data = spy.first().first().value<Protocol::dataMonitoringData>();
    QCOMPARE(data.projectName, QStringLiteral("Plant A"));
    QCOMPARE(data.plcName, QStringLiteral("P1"));
    QCOMPARE(data.description, QStringLiteral("hall 3"));
    QCOMPARE(data.sn, QStringLiteral("SN1"));
    QCOMPARE(data.time, QStringLiteral("2024-05-06 07:08:09"));
    QCOMPARE(data.datas.size(), 1);
    QCOMPARE(data.datas.first().toObject().value("value").toString(), QStringLiteral("21.50"));
}

// Two boxes report at once: each link collects its own report, so fragments of one never
// complete or spoil the other's.
void tst_LiveData::eachLinkCollectsItsOwnReport()
{
    Protocol first;
    Protocol second;
    QSignalSpy firstSpy(&first, &Protocol::dataReceived);
    QSignalSpy secondSpy(&second, &Protocol::dataReceived);
    const QList<QByteArray> a = FrameCodec::liveDataFragments(reportText(2100, "first"));
    const QList<QByteArray> b = FrameCodec::liveDataFragments(reportText(2100, "second"));
    QCOMPARE(a.size(), 3);
    QCOMPARE(b.size(), 3);
    first.processReceivedBytes(a[0]);
    second.processReceivedBytes(b[0]);
    first.processReceivedBytes(a[1]);
    second.processReceivedBytes(b[1] + b[2]);
    QCOMPARE(firstSpy.count(), 0);
    first.processReceivedBytes(a[2]);
    QCOMPARE(firstSpy.count(), 1);
    QCOMPARE(secondSpy.count(), 1);
    QCOMPARE(firstSpy.first().first().value<Protocol::dataMonitoringData>().plcName, QStringLiteral("first"));
    QCOMPARE(secondSpy.first().first().value<Protocol::dataMonitoringData>().plcName, QStringLiteral("second"));
}

void tst_LiveData::protocolReportsDiscardedCollections_data()
{
    QTest::addColumn<QList<QByteArray>>("fragments");
    QTest::addColumn<QString>("line");

    const QByteArray text = reportText(2100);
    QTest::newRow("total disagrees")
        << QList<QByteArray>{fragment(2100, 1, text.left(1024)), fragment(999, 2, QByteArray(10, ' '))}
        << QStringLiteral("长度不符::999");
    QTest::newRow("no JSON") << QList<QByteArray>{fragment(5, 1, "{{{{{")}
                             << QStringLiteral("Failed to parse JSON data");
}

void tst_LiveData::protocolReportsDiscardedCollections()
{
    QFETCH(QList<QByteArray>, fragments);
    QFETCH(QString, line);
    Protocol protocol;
    QSignalSpy spy(&protocol, &Protocol::dataReceived);
    MessageCapture capture;
    for (const QByteArray &frame : fragments)
        protocol.processReceivedBytes(frame);
    QVERIFY2(g_messages.contains(line), qPrintable(g_messages.join(" | ")));
    QCOMPARE(spy.count(), 0);
}

void tst_LiveData::disconnectionDropsAHalfReport()
{
    Protocol protocol;
    QSignalSpy reports(&protocol, &Protocol::dataReceived);
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    const QList<QByteArray> frames = FrameCodec::liveDataFragments(reportText(2100));
    protocol.processReceivedBytes(frames[0] + frames[1]);

    protocol.handleDisconnected();
    QCOMPARE(statuses.last().first().toString(), QStringLiteral("Connection status: Disconnected"));

    // A new report starts a new collection; with the old one still open its total would
    // disagree and the new report would be lost.
    protocol.processReceivedBytes(fragment(400, 1, reportText(400, "fresh")));
    QCOMPARE(reports.count(), 1);
    QCOMPARE(reports.first().first().value<Protocol::dataMonitoringData>().plcName,
             QStringLiteral("fresh"));
}

QTEST_MAIN(tst_LiveData)
#include "tst_livedata.moc"
