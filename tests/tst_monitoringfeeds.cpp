// The live feeds behind the monitoring tables, without widgets: the rows a report becomes,
// when a device's rows go stale, what a trend draws and keeps, and how an export's range meets
// the recording.

#include "core/monitoring/MonitoringFeeds.h"
#include "core/monitoring/MonitoringRecorder.h"
#include "core/monitoring/SampleRing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using Ms = QList<qint64>;
using Runs = QList<Ms>;
Q_DECLARE_METATYPE(std::optional<qint64>)

class TstMonitoringFeeds : public QObject
{
    Q_OBJECT
private slots:
    void rowsFromReport();
    void staleAfter_data();
    void staleAfter();
    void staleByTimeAndLink();
    void forgetProject();
    void trendRuns_data();
    void trendRuns();
    void trendTimeSpan_data();
    void trendTimeSpan();
    void historyKeepsTheLastMinutes();
    void exportRange_data();
    void exportRange();
};

namespace {
QJsonArray reportOf(const QList<QPair<QString, QJsonValue>> &values)
{
    QJsonArray points;
    for (const auto &v : values)
        points.append(QJsonObject{{QStringLiteral("name"), v.first},
                                  {QStringLiteral("value"), v.second},
                                  {QStringLiteral("valid"), QStringLiteral("1")}});
    return points;
}

Ms timesOf(const QVector<SampleRing::Sample> &samples)
{
    Ms out;
    for (const SampleRing::Sample &s : samples)
        out << s.ms;
    return out;
}
} // namespace

void TstMonitoringFeeds::rowsFromReport()
{
    const QJsonArray points = QJsonDocument::fromJson(R"([
        {"name": "P1", "addr": "40001", "dataType": "float", "value": "1.5", "valid": "1"},
        "not a point",
        {"name": "P2", "addr": "40003", "dataType": "int16", "value": "7"},
        {"name": "P3", "valid": "0"}
    ])").array();
    const QVariantList rows = MonitoringFeeds::rowsFromReport(points, QStringLiteral("2026-01-02 03:04:05"));
    QCOMPARE(rows.size(), 3);
    const QVariantMap first = rows.at(0).toMap();
    QCOMPARE(first.value("name").toString(), QStringLiteral("P1"));
    QCOMPARE(first.value("addr").toString(), QStringLiteral("40001"));
    QCOMPARE(first.value("dataType").toString(), QStringLiteral("float"));
    QCOMPARE(first.value("value").toString(), QStringLiteral("1.5"));
    QCOMPARE(first.value("valid").toString(), QStringLiteral("1"));
    QCOMPARE(first.value("updateTime").toString(), QStringLiteral("2026-01-02 03:04:05"));
    // A point that does not say it is valid is not shown as valid.
    QCOMPARE(rows.at(1).toMap().value("valid").toString(), QStringLiteral("Invalid"));
    QCOMPARE(rows.at(2).toMap().value("valid").toString(), QStringLiteral("0"));
    QCOMPARE(rows.at(2).toMap().value("value").toString(), QString());
}

void TstMonitoringFeeds::staleAfter_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<qint64>("staleAfter");
    QTest::newRow("three intervals") << "5000" << qint64(15000);
    QTest::newRow("at least 3 s") << "100" << qint64(3000);
    QTest::newRow("default -1") << "-1" << qint64(6000);
    QTest::newRow("empty") << "" << qint64(6000);
    QTest::newRow("zero") << "0" << qint64(6000);
    QTest::newRow("not a number") << "1s" << qint64(6000);
}

void TstMonitoringFeeds::staleAfter()
{
    QFETCH(QString, interval);
    QFETCH(qint64, staleAfter);
    QCOMPARE(MonitoringFeeds::staleAfterMs(interval), staleAfter);
}

void TstMonitoringFeeds::staleByTimeAndLink()
{
    MonitoringFeeds feeds;
    QVERIFY(!feeds.dueStale(QStringLiteral("unknown"), 1000000));
    feeds.reported(QStringLiteral("meter"), QStringLiteral("A"), 10000, 3000);
    feeds.reported(QStringLiteral("plc"), QStringLiteral("B"), 10000, 3000);
    QVERIFY(!feeds.dueStale(QStringLiteral("meter"), 13000));
    QVERIFY(feeds.dueStale(QStringLiteral("meter"), 13001));

    // A lost link makes stale at once the devices of the projects that hold that box only.
    feeds.linkLost(QString(), [](const QString &project) { return project == QLatin1String("A"); });
    QVERIFY(feeds.dueStale(QStringLiteral("meter"), 10001));
    QVERIFY(!feeds.dueStale(QStringLiteral("plc"), 10001));
    // Still stale while the link stays down, however recent the last report ...
    QVERIFY(feeds.dueStale(QStringLiteral("meter"), 10000));
    // ... until the next report, which is current again.
    feeds.reported(QStringLiteral("meter"), QStringLiteral("A"), 20000, 3000);
    QVERIFY(!feeds.dueStale(QStringLiteral("meter"), 20500));

    // The link is judged by the project that reported last.
    feeds.reported(QStringLiteral("plc"), QStringLiteral("A"), 20000, 3000);
    feeds.linkLost(QString(), [](const QString &project) { return project == QLatin1String("B"); });
    QVERIFY(!feeds.dueStale(QStringLiteral("plc"), 20500));

    // Two boxes run project A: a feed whose box is known goes stale with that box's link only,
    // even though the other box's project holds it too.
    feeds.reported(QStringLiteral("plc @ Box1"), QStringLiteral("A"), 30000, 3000, QStringLiteral("127.0.0.1"));
    feeds.reported(QStringLiteral("plc @ Box2"), QStringLiteral("A"), 30000, 3000, QStringLiteral("127.0.0.2"));
    feeds.linkLost(QStringLiteral("127.0.0.2"), [](const QString &) { return true; });
    QVERIFY(!feeds.dueStale(QStringLiteral("plc @ Box1"), 30500));
    QVERIFY(feeds.dueStale(QStringLiteral("plc @ Box2"), 30500));
}

void TstMonitoringFeeds::forgetProject()
{
    MonitoringFeeds feeds;
    feeds.reported(QStringLiteral("shared"), QStringLiteral("A"), 1, 3000);
    feeds.reported(QStringLiteral("shared"), QStringLiteral("B"), 2, 3000);
    feeds.reported(QStringLiteral("own"), QStringLiteral("A"), 3, 3000);
    QCOMPARE(feeds.forgetProject(QStringLiteral("A")), QStringList{QStringLiteral("own")});
    QVERIFY(feeds.find(QStringLiteral("shared")));
    QVERIFY(!feeds.find(QStringLiteral("own")));
    QCOMPARE(feeds.forgetProject(QStringLiteral("B")), QStringList{QStringLiteral("shared")});
    QVERIFY(feeds.devices().isEmpty());
}

void TstMonitoringFeeds::trendRuns_data()
{
    // Samples at the given seconds (a negative one is an invalid value at that second), split
    // into the runs a line is drawn of; a silence of more than breakAfter seconds breaks it.
    QTest::addColumn<Ms>("samples");
    QTest::addColumn<qint64>("breakAfter");
    QTest::addColumn<int>("columns");
    QTest::addColumn<Runs>("runs");
    QTest::newRow("steady reports, one line") << Ms{0, 2, 4, 6} << qint64(6) << 0 << Runs{{0, 2, 4, 6}};
    QTest::newRow("silence of more than three intervals")
        << Ms{0, 2, 10, 12} << qint64(6) << 0 << Runs{{0, 2}, {10, 12}};
    QTest::newRow("exactly three intervals, as staleness") << Ms{0, 6, 8} << qint64(6) << 0 << Runs{{0, 6, 8}};
    QTest::newRow("silence after an invalid value") << Ms{0, -2, 10, 12} << qint64(6) << 0 << Runs{{0}, {10, 12}};
    QTest::newRow("silence within one thinned column")
        << Ms{0, 2, 10, 12} << qint64(6) << 1 << Runs{{0, 2}, {10, 12}};
}

void TstMonitoringFeeds::trendRuns()
{
    QFETCH(Ms, samples);
    QFETCH(qint64, breakAfter);
    QFETCH(int, columns);
    QFETCH(Runs, runs);
    SampleRing ring(100);
    for (qint64 s : samples)
        ring.append(qAbs(s) * 1000, 1.0, s >= 0);
    Runs drawn;
    for (const QVector<QPointF> &run : ring.runs(0, 60'000, columns, breakAfter * 1000)) {
        Ms times;
        for (const QPointF &p : run)
            times << qint64(p.x()) / 1000;
        drawn << times;
    }
    QCOMPARE(drawn, runs);
}

void TstMonitoringFeeds::trendTimeSpan_data()
{
    // Seconds; the window is ten minutes and the shortest span ten seconds.
    QTest::addColumn<std::optional<qint64>>("oldest");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::newRow("no sample yet: starts at now") << std::optional<qint64>() << qint64(1000) << qint64(1000)
                                                  << qint64(1010);
    QTest::newRow("first seconds: data from the left edge")
        << std::optional<qint64>(997) << qint64(1000) << qint64(997) << qint64(1007);
    QTest::newRow("growing: first sample to now")
        << std::optional<qint64>(700) << qint64(1000) << qint64(700) << qint64(1000);
    QTest::newRow("full: slides with now") << std::optional<qint64>(0) << qint64(1000) << qint64(400)
                                           << qint64(1000);
    QTest::newRow("clock set back behind the samples")
        << std::optional<qint64>(2000) << qint64(1000) << qint64(2000) << qint64(2010);
}

void TstMonitoringFeeds::trendTimeSpan()
{
    QFETCH(std::optional<qint64>, oldest);
    QFETCH(qint64, now);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    if (oldest)
        oldest = *oldest * 1000;
    const Trend::TimeSpan span = Trend::timeSpan(oldest, now * 1000, 600'000, 10'000);
    QCOMPARE(span.fromMs, from * 1000);
    QCOMPARE(span.toMs, to * 1000);
}

void TstMonitoringFeeds::historyKeepsTheLastMinutes()
{
    // Kept for 10 s, at most four samples a point.
    SampleHistory history(10'000, 4);
    history.append(QStringLiteral("P1"), 0, reportOf({{"a", 1}, {"b", "n/a"}, {"gone", 3}}));
    history.append(QStringLiteral("P2"), 0, reportOf({{"a", 9}}));
    QCOMPARE(timesOf(history.samples("P1", "b")), Ms{0});
    QVERIFY2(!history.samples("P1", "b").first().valid, "a value that is no number is a gap");
    QCOMPARE(history.samples("P1", "a").first().value, 1.0);
    for (qint64 ms = 2000; ms <= 12'000; ms += 2000)
        history.append(QStringLiteral("P1"), ms, reportOf({{"a", 1}, {"b", 2}}));
    // Bounded by count, then by age; a point no longer reported goes once its time is over.
    QCOMPARE(timesOf(history.samples("P1", "a")), (Ms{6000, 8000, 10'000, 12'000}));
    history.append(QStringLiteral("P1"), 19'000, reportOf({{"a", 1}}));
    QCOMPARE(timesOf(history.samples("P1", "a")), (Ms{10'000, 12'000, 19'000}));
    QCOMPARE(timesOf(history.samples("P1", "gone")), Ms{});
    // Devices are apart, and one that is forgotten keeps nothing.
    QCOMPARE(history.samples("P2", "a").first().value, 9.0);
    history.forget(QStringLiteral("P1"));
    QCOMPARE(timesOf(history.samples("P1", "a")), Ms{});
    QCOMPARE(timesOf(history.samples("P2", "a")), Ms{0});
}

void TstMonitoringFeeds::exportRange_data()
{
    // A recording of reports received at the given seconds; an export of [from, to] (seconds)
    // goes as asked, offers the recorded part of the range (and exports from the first report
    // on), or says that there is nothing to export.
    using Scope = MonitoringRecorder::ExportScope;
    QTest::addColumn<Ms>("reports");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<int>("scope");
    QTest::addColumn<Ms>("exported"); // from, to; for an offer also the two times named
    const Ms rec{10, 20, 30, 60, 70};
    QTest::newRow("inside") << rec << qint64(15) << qint64(65) << int(Scope::AsAsked) << Ms{15, 65};
    QTest::newRow("from the first report on") << rec << qint64(10) << qint64(30) << int(Scope::AsAsked) << Ms{10, 30};
    QTest::newRow("beyond the last report") << rec << qint64(60) << qint64(100) << int(Scope::AsAsked)
                                             << Ms{60, 100};
    QTest::newRow("begins before the recording")
        << rec << qint64(0) << qint64(25) << int(Scope::BeforeRecording) << Ms{10, 25, 10, 20};
    QTest::newRow("around the whole recording")
        << rec << qint64(0) << qint64(100) << int(Scope::BeforeRecording) << Ms{10, 100, 10, 70};
    QTest::newRow("wholly before") << rec << qint64(0) << qint64(9) << int(Scope::NothingRecorded) << Ms{};
    QTest::newRow("wholly after") << rec << qint64(71) << qint64(100) << int(Scope::NothingRecorded) << Ms{};
    QTest::newRow("in a pause of the recording")
        << rec << qint64(31) << qint64(59) << int(Scope::NothingRecorded) << Ms{};
    QTest::newRow("empty recording") << Ms{} << qint64(0) << qint64(100) << int(Scope::NothingRecorded) << Ms{};
    QTest::newRow("ends before it begins") << rec << qint64(30) << qint64(20) << int(Scope::Reversed) << Ms{};
}

void TstMonitoringFeeds::exportRange()
{
    QFETCH(Ms, reports);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(int, scope);
    QFETCH(Ms, exported);
    constexpr qint64 base = 1'700'000'000'000;
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("rec.sqlite"));
    {
        MonitoringRecorder recorder;
        QVERIFY(recorder.open(db));
        for (qint64 s : reports)
            QVERIFY(recorder.record("SN1", "A", "P1", QString(), base + s * 1000, reportOf({{"t", 1}})));
    }
    MonitoringRecorder::Recorded recorded;
    QString error;
    QVERIFY2(MonitoringRecorder::recorded(db, base + from * 1000, base + to * 1000, &recorded, &error),
             qPrintable(error));
    const auto plan = MonitoringRecorder::planExport(base + from * 1000, base + to * 1000, recorded);
    QCOMPARE(int(plan.scope), scope);
    const auto seconds = [&](qint64 ms) { return (ms - base) / 1000; };
    if (!exported.isEmpty()) {
        QCOMPARE((Ms{seconds(plan.fromMs), seconds(plan.toMs)}), exported.mid(0, 2));
        if (exported.size() > 2)
            QCOMPARE((Ms{seconds(plan.recordedFromMs), seconds(plan.recordedToMs)}), exported.mid(2));
    }
}

QTEST_GUILESS_MAIN(TstMonitoringFeeds)
#include "tst_monitoringfeeds.moc"
