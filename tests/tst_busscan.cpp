// The bus scan against our own RTU slaves on a pseudo-terminal pair (ids that answer, refuse,
// garble or answer late, a line that echoes), through the settings seam for the sweep, against
// a TCP gateway, and through the orvane-modbus command line. Loopback addresses 127.0.28.1 and 127.0.28.2.

#include "ModbusServerProcess.h"
#include "ModbusTcpTestServer.h"

#include "core/modbus/ModbusBusScan.h"
#include "core/modbus/SerialLine.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kGateway = QStringLiteral("127.0.28.1");
const QString kNobody = QStringLiteral("127.0.28.2");
constexpr int kPort = 1502;

ModbusBusScan::Options rtuOptions(const QString &device, const QString &ids, int waitMs)
{
    ModbusBusScan::Options options;
    options.serialDevice = device;
    options.settings = {ModbusBusScan::LineSetting{}};
    options.waitMs = waitMs;
    for (const QString &part : ids.split(QLatin1Char('-')))
        options.ids.append(part.toInt());
    if (options.ids.size() == 2) {
        const int last = options.ids.takeLast();
        for (int id = options.ids.first() + 1; id <= last; ++id)
            options.ids.append(id);
    }
    return options;
}

// "3 registers" per row, in the order found.
QStringList runToEnd(ModbusBusScan &scan, const ModbusBusScan::Options &options, int timeoutMs)
{
    QSignalSpy finished(&scan, &ModbusBusScan::finished);
    if (!scan.start(options) || !finished.wait(timeoutMs))
        return {QStringLiteral("scan did not run to its end")};
    QStringList found;
    for (const ModbusBusScan::Row &row : scan.rows())
        found.append(QStringLiteral("%1 %2").arg(row.id).arg(ModbusBusScan::replyName(row.reply)));
    return found;
}

} // namespace

class tst_busscan : public QObject
{
    Q_OBJECT

private slots:
    void rtuScanCreditsOnlyOwnReplies_data();
    void rtuScanCreditsOnlyOwnReplies();
    void sweepTriesCommonSettingsFirst();
    void cancelEndsWithinOneWait();
    void tcpGatewayAnswers_data();
    void tcpGatewayAnswers();
    void commandLine_data();
    void commandLine();
};

void tst_busscan::rtuScanCreditsOnlyOwnReplies_data()
{
    QTest::addColumn<QStringList>("slaves");
    QTest::addColumn<QString>("ids");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("three slaves, one refusing") << QStringList{"--ids", "3,17,200", "--exception-id", "17"}
                                                << "1-247" << QStringList{"3 registers", "17 exception", "200 registers"};
    QTest::newRow("bad CRC") << QStringList{"--ids", "4", "--garbled-id", "5"} << "3-7"
                             << QStringList{"4 registers", "5 garbled"};
    QTest::newRow("adapter echo") << QStringList{"--ids", "3", "--echo"} << "1-5" << QStringList{"3 registers"};
    // Id 5's reply comes in the wait of a later id: it is nobody's answer.
    QTest::newRow("late reply") << QStringList{"--ids", "7", "--late-id", "5", "--late-ms", "25"} << "4-8"
                                << QStringList{"7 registers"};
}

void tst_busscan::rtuScanCreditsOnlyOwnReplies()
{
    QFETCH(QStringList, slaves);
    QFETCH(QString, ids);
    QFETCH(QStringList, expected);
    PtyPair pty;
    QVERIFY(pty.start());
    ModbusServerProcess process;
    QVERIFY2(process.startSlaves(pty.second(), slaves), qPrintable(process.errors()));

    ModbusBusScan scan;
    QCOMPARE(runToEnd(scan, rtuOptions(pty.first(), ids, 10), 30000), expected);
    QCOMPARE(scan.outcome(), ModbusBusScan::Outcome::Completed);
    QVERIFY(!scan.everyIdAnswered());
    for (const ModbusBusScan::Row &row : scan.rows())
        QCOMPARE(row.setting, ModbusBusScan::LineSetting{});
}

void tst_busscan::sweepTriesCommonSettingsFirst()
{
    PtyPair pty;
    QVERIFY(pty.start());
    ModbusServerProcess process;
    QVERIFY(process.startSlaves(pty.second(), {"--ids", "3"}));

    ModbusBusScan scan;
    const ModbusBusScan::LineSetting right{19200, "EVEN", 1};
    // Under any other setting the slave's reply would not be heard.
    scan.setReceiveFilter([right](const ModbusBusScan::LineSetting &setting, const QByteArray &bytes) {
        return setting == right ? bytes : QByteArray();
    });
    QStringList tried;
    scan.setSettingApplier([&tried](const ModbusBusScan::LineSetting &setting) {
        tried.append(setting.describe());
        return true;
    });
    ModbusBusScan::Options options = rtuOptions(pty.first(), "2-4", 10);
    options.settings = ModbusBusScan::sweepOrder({9600, 19200, 38400}, {"NONE", "EVEN"}, {1});
    QCOMPARE(runToEnd(scan, options, 30000), QStringList{"3 registers"});
    QCOMPARE(scan.rows().first().setting, right);
    QCOMPARE(tried, (QStringList{"9600 8N1", "19200 8E1", "9600 8E1", "38400 8N1", "19200 8N1", "38400 8E1"}));
}

void tst_busscan::cancelEndsWithinOneWait()
{
    PtyPair pty;
    QVERIFY(pty.start());
    constexpr int waitMs = 300;
    ModbusBusScan scan;
    QSignalSpy finished(&scan, &ModbusBusScan::finished);
    QElapsedTimer sinceCancel;
    connect(&scan, &ModbusBusScan::progress, this, [&](const ModbusBusScan::LineSetting &, int id) {
        if (id == 3) // in the middle of the scan and of id 2's wait
            QTimer::singleShot(waitMs / 2, &scan, [&] {
                sinceCancel.start();
                scan.cancel();
            });
    });
    QVERIFY(scan.start(rtuOptions(pty.first(), "1-247", waitMs)));
    QVERIFY(finished.wait(10000));
    QVERIFY(sinceCancel.isValid());
    QVERIFY2(sinceCancel.elapsed() <= waitMs, qPrintable(QString::number(sinceCancel.elapsed())));
    QCOMPARE(finished.first().first().value<ModbusBusScan::Outcome>(), ModbusBusScan::Outcome::Cancelled);
    QVERIFY(!scan.serialLine()->isOpen());
    QTest::qWait(waitMs);
    QCOMPARE(finished.size(), 1);
}

void tst_busscan::tcpGatewayAnswers_data()
{
    QTest::addColumn<bool>("answersAll");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("any id answers") << true
                                    << QStringList{"1 registers", "2 registers", "3 registers", "4 registers",
                                                   "5 registers", "6 registers"};
    // 0x0A and 0x0B are the gateway's "nothing there".
    QTest::newRow("one device and one refusing") << false << QStringList{"2 registers", "5 exception"};
}

void tst_busscan::tcpGatewayAnswers()
{
    QFETCH(bool, answersAll);
    QFETCH(QStringList, expected);
    ModbusTcpTestServer gateway([](int address) { return quint16(address); },
                                [answersAll](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
                                    const int unit = quint8(request.at(6));
                                    QByteArray reply = pdu;
                                    if (!answersAll && unit != 2)
                                        reply = QByteArray().append(char(0x83)).append(
                                            char(unit == 5 ? 0x02 : unit % 2 ? 0x0A : 0x0B));
                                    socket->write(ModbusTcpTestServer::adu(request, reply));
                                });
    QVERIFY(gateway.listen(kGateway, kPort));
    ModbusBusScan scan;
    ModbusBusScan::Options options;
    options.tcp = true;
    options.host = kGateway;
    options.port = kPort;
    options.ids = {1, 2, 3, 4, 5, 6};
    options.waitMs = 500;
    QCOMPARE(runToEnd(scan, options, 10000), expected);
    QCOMPARE(scan.everyIdAnswered(), answersAll);
    QCOMPARE(scan.statusText().startsWith("Every id answered"), answersAll);
}

void tst_busscan::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("slaves"); // the slave program's options; empty: ids 3 and 17

    // Discovery over the slave program: the same ranges and request count as the core gives.
    const QStringList ranges{"--ids", "3", "--holding", "0-99,1000-1049", "--coils", "0-15"};
    QTest::newRow("discover holding, json")
        << QStringList{"discover", "--serial", "@PTY", "--id", "3", "--json"} << 0
        << QStringList{R"({"table": "holding", "from": 0, "to": 99})", R"({"table": "holding", "from": 1000, "to": 1049})",
                       R"({"requests": 288})"}
        << ranges;
    QTest::newRow("discover coils, text")
        << QStringList{"discover", "--serial", "@PTY", "--id", "3", "--table", "coils", "--to", "3999"} << 0
        << QStringList{"coils 0-15", "requests: #"} << ranges;
    QTest::newRow("discover without an id") << QStringList{"discover", "--serial", "@PTY"} << 2 << QStringList{}
                                            << ranges;
    QTest::newRow("discover, unknown table")
        << QStringList{"discover", "--serial", "@PTY", "--id", "3", "--table", "flags"} << 2 << QStringList{} << ranges;
    QTest::newRow("discover, no such device")
        << QStringList{"discover", "--serial", "/nonexistent/tty", "--id", "3"} << 1 << QStringList{"requests: #"}
        << ranges;
    QTest::newRow("json over a pty")
        << QStringList{"scan", "--serial", "@PTY", "--ids", "1-20", "--wait", "10", "--json"} << 0
        << QStringList{R"({"id": 3, "baud": 9600, "parity": "N", "stop_bits": 1, "reply": "registers", "rtt_ms": #})",
                       R"({"id": 17, "baud": 9600, "parity": "N", "stop_bits": 1, "reply": "exception", "rtt_ms": #})"} << QStringList();
    QTest::newRow("text, stop at first")
        << QStringList{"scan", "--serial", "@PTY", "--ids", "1-20", "--wait", "10", "--parity", "N", "--first"} << 0
        << QStringList{"3 9600 8N1 registers # ms"} << QStringList();
    QTest::newRow("two speeds, a probe address the slaves refuse")
        << QStringList{"scan", "--serial", "@PTY", "--ids", "2-4", "--wait", "10", "--baud", "19200,9600",
                       "--probe-address", "500"} << 0
        << QStringList{"3 9600 8N1 exception 2 # ms", "3 19200 8N1 exception 2 # ms"} << QStringList();
    QTest::newRow("no such device") << QStringList{"scan", "--serial", "/nonexistent/tty"} << 1 << QStringList{} << QStringList();
    QTest::newRow("nobody at the address")
        << QStringList{"scan", "--tcp", kNobody + ":" + QString::number(kPort), "--ids", "1"} << 1 << QStringList{} << QStringList();
    QTest::newRow("bad parity") << QStringList{"scan", "--serial", "@PTY", "--parity", "X"} << 2 << QStringList{} << QStringList();
    QTest::newRow("broadcast id") << QStringList{"scan", "--serial", "@PTY", "--ids", "0-3"} << 2 << QStringList{} << QStringList();
    QTest::newRow("no line") << QStringList{"scan", "--json"} << 2 << QStringList{} << QStringList();
    QTest::newRow("both lines") << QStringList{"scan", "--serial", "@PTY", "--tcp", "h:1"} << 2 << QStringList{} << QStringList();
    QTest::newRow("unknown command") << QStringList{"sweep"} << 2 << QStringList{} << QStringList();
}

void tst_busscan::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, slaves);
    PtyPair pty;
    QVERIFY(pty.start());
    ModbusServerProcess server;
    QVERIFY(server.startSlaves(pty.second(), slaves.isEmpty() ? QStringList{"--ids", "3,17", "--exception-id", "17"} : slaves));
    arguments.replaceInStrings("@PTY", pty.first());

    QProcess cli;
    cli.start(QStringLiteral(ORVANE_BIN_DIR "/orvane-modbus"), arguments);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(cli.readAllStandardError()));
    QString output = QString::fromUtf8(cli.readAllStandardOutput());
    output.replace(QRegularExpression(QStringLiteral("\\b\\d+\\.\\d\\b")), QStringLiteral("#"));
    // A request count that depends on timing reads "#" in the table.
    if (lines.contains(QStringLiteral("requests: #")))
        output.replace(QRegularExpression(QStringLiteral("requests: \\d+")), QStringLiteral("requests: #"));
    QCOMPARE(output.split('\n', Qt::SkipEmptyParts), lines);
}

QTEST_GUILESS_MAIN(tst_busscan)
#include "tst_busscan.moc"
