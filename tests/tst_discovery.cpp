// Register discovery against an in-process Modbus TCP server with readable ranges (a read
// touching any other address gets exception 2): which ranges are found, with how many
// requests, what can be missed, cancel, a device that stops answering, replies that lie; and
// one run over RTU against a server not written here on a pseudo-terminal pair.
// Loopback address 127.0.24.1.

#include "ModbusServerProcess.h"
#include "ModbusTcpTestServer.h"

#include "core/modbus/RegisterDiscovery.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kAddress = QStringLiteral("127.0.24.1");
constexpr quint16 kPort = 1502;

using Ranges = QVector<RegisterDiscovery::Range>;
using Table = ModbusPoint::Table;

quint16 valueAt(int address)
{
    return quint16(address * 3 + 1);
}

QVector<ModbusTcpTestServer::Range> serverRanges(const Ranges &ranges)
{
    QVector<ModbusTcpTestServer::Range> list;
    for (const RegisterDiscovery::Range &range : ranges)
        list.append({range.from, range.to});
    return list;
}

ModbusLinkSettings tcpLink(int timeoutMs = 1000)
{
    ModbusLinkSettings link;
    link.host = kAddress;
    link.port = kPort;
    link.requestTimeoutMs = timeoutMs;
    link.connectionTimeoutMs = timeoutMs;
    return link;
}

// Waits (bounded) for the run's one finished() and returns its result.
bool waitForEnd(QSignalSpy &spy, RegisterDiscovery::Result *result, int ms = 20000)
{
    if (spy.isEmpty() && !spy.wait(ms))
        return false;
    if (spy.size() != 1)
        return false;
    *result = spy.first().first().value<RegisterDiscovery::Result>();
    return true;
}

QString text(const Ranges &ranges)
{
    QStringList parts;
    for (const RegisterDiscovery::Range &range : ranges)
        parts << QStringLiteral("%1-%2").arg(range.from).arg(range.to);
    return parts.join(QLatin1Char(' '));
}

bool inside(const Ranges &ranges, int address)
{
    return std::any_of(ranges.begin(), ranges.end(),
                       [address](const RegisterDiscovery::Range &r) { return address >= r.from && address <= r.to; });
}

} // namespace

Q_DECLARE_METATYPE(Ranges)

class TestDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void findsReadableRanges_data();
    void findsReadableRanges();
    void cancel_data();
    void cancel();
    void deviceThatStopsAnswering_data();
    void deviceThatStopsAnswering();
    void wrongRepliesRefuseTheirBlockOnly();
    void rtuThroughPseudoTerminals();
    void interpretations_data();
    void interpretations();
    void jsonLines();
};

void TestDiscovery::findsReadableRanges_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<Ranges>("served");    // empty: every address reads
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<Ranges>("expected");
    QTest::addColumn<int>("maxRequests");
    QTest::addColumn<bool>("mayMiss");

    const Ranges two = {{0, 99}, {1000, 1049}};
    QTest::newRow("holding, two ranges") << int(Table::HoldingRegisters) << two << 0 << 9999 << two << 500 << true;
    QTest::newRow("input, two ranges") << int(Table::InputRegisters) << two << 0 << 9999 << two << 500 << true;
    QTest::newRow("coils, two ranges") << int(Table::Coils) << two << 0 << 9999 << two << 500 << true;
    QTest::newRow("discrete, on a block edge and at the end")
        << int(Table::DiscreteInputs) << Ranges{{2000, 3999}, {9990, 9999}} << 0 << 9999
        << Ranges{{2000, 3999}, {9990, 9999}} << 150 << true;
    QTest::newRow("window cuts the ranges")
        << int(Table::HoldingRegisters) << two << 50 << 1020 << Ranges{{50, 99}, {1000, 1020}} << 100 << true;
    // 125 and 249 are refused, yet 124 reads: the block is split until 130-140 shows.
    QTest::newRow("range just after a readable block")
        << int(Table::HoldingRegisters) << Ranges{{0, 124}, {130, 140}} << 0 << 999 << Ranges{{0, 124}, {130, 140}}
        << 100 << true;
    QTest::newRow("register alone on a block edge is found")
        << int(Table::HoldingRegisters) << Ranges{{0, 99}, {5124, 5124}} << 0 << 9999
        << Ranges{{0, 99}, {5124, 5124}} << 500 << true;
    // The known limit: inside a refused block, away from its edges, nothing is asked.
    QTest::newRow("register alone inside a refused block is missed")
        << int(Table::HoldingRegisters) << Ranges{{0, 99}, {5010, 5010}} << 0 << 9999 << Ranges{{0, 99}} << 500
        << true;
    QTest::newRow("everything reads: one request per block")
        << int(Table::HoldingRegisters) << Ranges{} << 0 << 9999 << Ranges{{0, 9999}} << 80 << false;
    QTest::newRow("nothing reads") << int(Table::HoldingRegisters) << Ranges{{60000, 60000}} << 0 << 999 << Ranges{}
                                   << 24 << true;
    QTest::newRow("top of the address space")
        << int(Table::HoldingRegisters) << Ranges{{65500, 65535}} << 65400 << 65535 << Ranges{{65500, 65535}} << 40
        << true;
}

void TestDiscovery::findsReadableRanges()
{
    QFETCH(int, table);
    QFETCH(Ranges, served);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(Ranges, expected);
    QFETCH(int, maxRequests);
    QFETCH(bool, mayMiss);

    ModbusTcpTestServer server(valueAt);
    server.setReadable(serverRanges(served));
    QVERIFY(server.listen(kAddress, kPort));
    ModbusClient client(tcpLink());
    RegisterDiscovery discovery(&client);
    QSignalSpy finished(&discovery, &RegisterDiscovery::finished);
    int lastJudged = -1, total = 0;
    connect(&discovery, &RegisterDiscovery::progress, this, [&](int judged, int all) {
        QVERIFY(judged >= lastJudged);
        lastJudged = judged;
        total = all;
    });

    QVERIFY(discovery.start(7, Table(table), from, to));
    RegisterDiscovery::Result result;
    QVERIFY(waitForEnd(finished, &result));
    QVERIFY(result.completed());
    QCOMPARE(text(result.readable), text(expected));
    qInfo("%s: %d requests", QTest::currentDataTag(), result.requests);
    QVERIFY2(result.requests <= maxRequests, qPrintable(QString::number(result.requests)));
    QCOMPARE(result.requests, server.requests());
    QCOMPARE(lastJudged, to - from + 1);
    QCOMPARE(total, to - from + 1);

    // Every readable register's value, as the server holds it, and nothing else.
    const bool bits = table == int(Table::Coils) || table == int(Table::DiscreteInputs);
    int readable = 0;
    for (const RegisterDiscovery::Range &range : expected)
        readable += range.to - range.from + 1;
    QCOMPARE(result.values.size(), readable);
    for (auto it = result.values.cbegin(); it != result.values.cend(); ++it) {
        QVERIFY(inside(expected, it.key()));
        QCOMPARE(it.value(), bits ? quint16(valueAt(it.key()) & 1) : valueAt(it.key()));
    }

    // Whatever a run misses lies in what it says it did not ask.
    QCOMPARE(!result.unprobed.isEmpty(), mayMiss);
    QCOMPARE(!RegisterDiscovery::missedNotice(result).isEmpty(), mayMiss);
    for (const RegisterDiscovery::Range &range : served) {
        for (int a = qMax(range.from, from); a <= qMin(range.to, to); ++a)
            QVERIFY2(inside(result.readable, a) || inside(result.unprobed, a), qPrintable(QString::number(a)));
    }
}

void TestDiscovery::cancel_data()
{
    QTest::addColumn<bool>("whileWaiting");
    QTest::newRow("between requests") << false;
    QTest::newRow("while a request waits") << true;
}

// Ends at once, nothing more goes out, and the same client and discovery run again.
void TestDiscovery::cancel()
{
    QFETCH(bool, whileWaiting);
    ModbusTcpTestServer *served = nullptr;
    bool hold = false;
    ModbusTcpTestServer server(valueAt, [&](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
        if (!(hold && served->requests() >= 6))
            socket->write(ModbusTcpTestServer::adu(request, pdu));
    });
    served = &server;
    hold = whileWaiting;
    server.setReadable({{0, 99}, {1000, 1049}});
    QVERIFY(server.listen(kAddress, kPort));
    ModbusClient client(tcpLink(5000));
    RegisterDiscovery discovery(&client);
    QSignalSpy finished(&discovery, &RegisterDiscovery::finished);
    int sent = -1;
    const auto connection = connect(&discovery, &RegisterDiscovery::progress, this, [&] {
        if (!whileWaiting && sent < 0 && server.requests() >= 5) {
            sent = server.requests();
            discovery.cancel();
        }
    });

    QVERIFY(discovery.start(1, Table::HoldingRegisters));
    if (whileWaiting) {
        QTRY_COMPARE_WITH_TIMEOUT(server.requests(), 6, 5000);
        QVERIFY(discovery.isRunning());
        sent = 6;
        discovery.cancel();
        QCOMPARE(finished.size(), 1); // before cancel() returned
    }
    RegisterDiscovery::Result result;
    QVERIFY(waitForEnd(finished, &result, 5000));
    QCOMPARE(result.end, RegisterDiscovery::Result::End::Cancelled);
    QVERIFY(!discovery.isRunning());
    QVERIFY(!RegisterDiscovery::endText(result).isEmpty());
    QCOMPARE(result.requests, sent);
    QTest::qWait(100);
    QCOMPARE(server.requests(), sent);

    disconnect(connection);
    hold = false;
    finished.clear();
    QVERIFY(discovery.start(1, Table::HoldingRegisters));
    QVERIFY(waitForEnd(finished, &result));
    QVERIFY(result.completed());
    QCOMPARE(text(result.readable), QStringLiteral("0-99 1000-1049"));
}

void TestDiscovery::deviceThatStopsAnswering_data()
{
    QTest::addColumn<bool>("listening");
    QTest::addColumn<int>("silentAfter"); // requests answered before the server falls silent; -1: none
    QTest::addColumn<bool>("gateway");    // silent: a gateway answers "target failed to respond"
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("found");

    const int noAnswer = int(RegisterDiscovery::Result::End::NoAnswer);
    QTest::newRow("silent from the start") << true << -1 << false << noAnswer << 3 << "";
    // Block 0-124 refused, 0 answers, 124 not, 0-62 read; then 63-123 and its two edges go
    // unanswered.
    QTest::newRow("falls silent") << true << 4 << false << noAnswer << 7 << "0-62";
    QTest::newRow("gateway without its device") << true << -1 << true << noAnswer << 3 << "";
    QTest::newRow("nobody listens") << false << -1 << false << int(RegisterDiscovery::Result::End::LinkFailed) << 1
                                    << "";
}

void TestDiscovery::deviceThatStopsAnswering()
{
    QFETCH(bool, listening);
    QFETCH(int, silentAfter);
    QFETCH(bool, gateway);
    QFETCH(int, end);
    QFETCH(int, requests);
    QFETCH(QString, found);

    int answered = 0;
    ModbusTcpTestServer server(valueAt, [&](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
        if (answered++ < silentAfter)
            socket->write(ModbusTcpTestServer::adu(request, pdu));
        else if (gateway)
            socket->write(ModbusTcpTestServer::adu(request, QByteArray(1, char(request[7] | 0x80)) + '\x0B'));
    });
    server.setReadable({{0, 99}});
    if (listening)
        QVERIFY(server.listen(kAddress, kPort));
    ModbusClient client(tcpLink(50));
    RegisterDiscovery discovery(&client);
    discovery.setTimeoutsInARow(3);
    QSignalSpy finished(&discovery, &RegisterDiscovery::finished);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(discovery.start(1, Table::HoldingRegisters));
    RegisterDiscovery::Result result;
    QVERIFY(waitForEnd(finished, &result, 5000));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(int(result.end), end);
    QCOMPARE(result.requests, requests);
    QCOMPARE(text(result.readable), found);
    const QString reason = RegisterDiscovery::endText(result);
    QVERIFY(!reason.isEmpty());
    if (result.end == RegisterDiscovery::Result::End::NoAnswer) {
        QCOMPARE(result.timeouts, 3);
        QVERIFY2(reason.contains(QLatin1String("3 requests in a row")), qPrintable(reason));
    } else {
        QVERIFY(!result.linkReason.isEmpty());
    }
    QVERIFY(RegisterDiscovery::rangesAsJsonLines(result).last().contains(QLatin1String("\"stopped\"")));
}

// A reply for another unit is no answer to the block: counted, and only that block is split.
void TestDiscovery::wrongRepliesRefuseTheirBlockOnly()
{
    ModbusTcpTestServer server(valueAt, [](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
        QByteArray adu = ModbusTcpTestServer::adu(request, pdu);
        if (ModbusTcpTestServer::wordAt(request, 8) == 500)
            adu[6] = char(adu[6] + 1);
        socket->write(adu);
    });
    QVERIFY(server.listen(kAddress, kPort));
    ModbusClient client(tcpLink());
    RegisterDiscovery discovery(&client);
    QSignalSpy finished(&discovery, &RegisterDiscovery::finished);
    QVERIFY(discovery.start(1, Table::HoldingRegisters, 0, 999));
    RegisterDiscovery::Result result;
    QVERIFY(waitForEnd(finished, &result));
    QVERIFY(result.completed());
    QCOMPARE(text(result.readable), QStringLiteral("0-499 501-999"));
    QCOMPARE(result.wrongReplies, 2); // the block 500-624, then 500 alone; then 501-562 reads
    QCOMPARE(result.timeouts, 0);
}

// pymodbus's map has holding registers 0-12 and 14 (see modbus_server.py): 13 is refused.
void TestDiscovery::rtuThroughPseudoTerminals()
{
    PtyPair pty;
    QVERIFY(pty.start());
    ModbusServerProcess server;
    QVERIFY(server.startRtu(pty.second(), 115200));
    ModbusLinkSettings link;
    link.mode = ModbusLinkSettings::Mode::Rtu;
    link.serialDevice = pty.first();
    link.requestTimeoutMs = 2000;
    ModbusClient client(link);
    RegisterDiscovery discovery(&client);
    QSignalSpy finished(&discovery, &RegisterDiscovery::finished);
    QVERIFY(discovery.start(1, Table::HoldingRegisters, 0, 199));
    RegisterDiscovery::Result result;
    QVERIFY(waitForEnd(finished, &result, 30000));
    QVERIFY2(result.completed(), qPrintable(RegisterDiscovery::endText(result)));
    QCOMPARE(text(result.readable), QStringLiteral("0-12 14-14"));
    QCOMPARE(result.values.value(0), quint16(0xFFFE));
    QCOMPARE(result.values.value(14), quint16(99));
    QCOMPARE(result.timeouts + result.wrongReplies, 0);
    qInfo("%d requests", result.requests);
}

void TestDiscovery::interpretations_data()
{
    QTest::addColumn<QVector<quint16>>("words");
    QTest::addColumn<QStringList>("expected"); // "type order value", in the function's order

    QTest::newRow("one register") << QVector<quint16>{0xFFFE} << QStringList{"uint16 65534", "int16 -2"};
    // 12.5f is 0x41480000; -2 as int32 is 0xFFFFFFFE.
    QTest::newRow("12.5 as ABCD") << QVector<quint16>{0x4148, 0x0000}
                                  << QStringList{"uint16 16712", "int16 16712",
                                                 "ABCD uint32 1095237632", "ABCD int32 1095237632", "ABCD float 12.5",
                                                 "BADC uint32 1212219392", "BADC int32 1212219392",
                                                 "BADC float 197632", "CDAB uint32 16712", "CDAB int32 16712",
                                                 "CDAB float 2.34185e-41", "DCBA uint32 18497", "DCBA int32 18497",
                                                 "DCBA float 2.591982e-41"};
    QTest::newRow("-2 as CDAB") << QVector<quint16>{0xFFFE, 0xFFFF}
                                << QStringList{"uint16 65534", "int16 -2",
                                               "ABCD uint32 4294901759", "ABCD int32 -65537", "ABCD float nan",
                                               "BADC uint32 4278190079", "BADC int32 -16777217",
                                               "BADC float -1.701412e+38",
                                               "CDAB uint32 4294967294", "CDAB int32 -2", "CDAB float nan",
                                               "DCBA uint32 4294967039", "DCBA int32 -257", "DCBA float nan"};
}

void TestDiscovery::interpretations()
{
    QFETCH(QVector<quint16>, words);
    QFETCH(QStringList, expected);
    static const char *orders[] = {"ABCD", "BADC", "CDAB", "DCBA"};
    QStringList got;
    for (const RegisterDiscovery::Interpretation &i : RegisterDiscovery::interpretations(words)) {
        const char *type = i.type == ModbusPoint::Type::UInt16  ? "uint16"
                           : i.type == ModbusPoint::Type::Int16 ? "int16"
                           : i.type == ModbusPoint::Type::UInt32 ? "uint32"
                           : i.type == ModbusPoint::Type::Int32 ? "int32"
                           : i.type == ModbusPoint::Type::Float ? "float"
                                                                : "?";
        const bool single = i.type == ModbusPoint::Type::UInt16 || i.type == ModbusPoint::Type::Int16;
        got << (single ? QStringLiteral("%1 %2").arg(type, i.value)
                       : QStringLiteral("%1 %2 %3").arg(orders[int(i.order)], type, i.value));
    }
    QCOMPARE(got, expected);
}

void TestDiscovery::jsonLines()
{
    RegisterDiscovery::Result result;
    result.table = Table::Coils;
    result.readable = {{0, 99}, {1000, 1049}};
    result.requests = 270;
    QCOMPARE(RegisterDiscovery::rangesAsJsonLines(result),
             QStringList({R"({"table": "coils", "from": 0, "to": 99})",
                          R"({"table": "coils", "from": 1000, "to": 1049})", R"({"requests": 270})"}));
    result.readable.clear();
    result.end = RegisterDiscovery::Result::End::NoAnswer;
    QCOMPARE(RegisterDiscovery::rangesAsJsonLines(result), QStringList{R"({"requests": 270, "stopped": "no answer"})"});

    for (const char *name : {"holding", "input", "coils", "discrete"}) {
        ModbusPoint::Table table;
        QVERIFY(RegisterDiscovery::tableFromName(QString::fromLatin1(name), &table));
        QCOMPARE(RegisterDiscovery::tableName(table), QString::fromLatin1(name));
    }
    ModbusPoint::Table table;
    QVERIFY(!RegisterDiscovery::tableFromName(QStringLiteral("Holding"), &table));
}

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
