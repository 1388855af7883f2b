// The live feeds behind the monitoring tables, without widgets: the rows a report becomes and
// when a device's rows go stale.

#include "core/monitoring/MonitoringFeeds.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

class TstMonitoringFeeds : public QObject
{
    Q_OBJECT
private slots:
    void rowsFromReport();
    void staleAfter_data();
    void staleAfter();
    void staleByTimeAndLink();
    void forgetProject();
};

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

QTEST_GUILESS_MAIN(TstMonitoringFeeds)
#include "tst_monitoringfeeds.moc"
