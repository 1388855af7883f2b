// orvane-boxsim --modbus real: the deployed project's Modbus devices are polled for real, over
// TCP and over RTU through a pseudo-terminal pair, against the tests' pymodbus server; devices
// that are off loopback, spelled other than as four decimal parts, or on an unmapped port are
// not contacted. Loopback addresses 127.0.5.200 to 127.0.5.209.

#include "BoxSimProcess.h"
#include "ModbusServerProcess.h"

#include "LiveReportLink.h"

#include <QJsonArray>
#include <QTcpSocket>
#include <QtTest>

namespace {

const int kPort = 1502;

QJsonObject point(const char *addr, const char *name, const char *type, const char *length = "1")
{
    return {{"addr", addr}, {"name", name}, {"dataType", type}, {"length", length}, {"permissions", "r"}};
}

QJsonObject device(const char *name, const char *mode, const QJsonObject &parameter, const QJsonArray &points)
{
    const QJsonObject slave{{"series", "standard"}, {"stationNum", "1"}, {"byteOrder", "ABCD"},
                            {"startAddress0", "1"}, {"charReversed", "0"}, {"datas", points}};
    return {{"name", name}, {"protocol", "Modbus"}, {"modbus", mode}, {"parameter", parameter},
            {"datas", QJsonArray{slave}}};
}

using Points = QMap<QString, QString>;

} // namespace

class tst_BoxSimModbus : public QObject
{
    Q_OBJECT
private slots:
    void pollsRealDevices();
    void optionsNeedRealMode();
};

void tst_BoxSimModbus::pollsRealDevices()
{
    const QString serverAddress = QStringLiteral("127.0.5.201");
    ModbusServerProcess tcpServer;
    QVERIFY(tcpServer.startTcp(serverAddress, kPort));
    PtyPair pty;
    QVERIFY(pty.start());
    ModbusServerProcess rtuServer;
    QVERIFY(rtuServer.startRtu(pty.second(), 9600));

    const QJsonObject tcpLink{{"ip", serverAddress}, {"port", QString::number(kPort)}, {"connectionTimeout", "300"},
                              {"communicationTimeout", "300"}, {"collectionInterval", "200"}};
    const QJsonArray standards{
        device("Tcp", "ModbusTCP", tcpLink,
               {point("40000", "Minus two", "int16"), point("40002", "Float", "float"),
                point("40013", "Missing", "int16"), point("00000", "Coil", "bool")}),
        device("Rtu", "ModbusRTU",
               {{"serialport", "COM1"}, {"baudRate", "9600"}, {"communicationTimeout", "500"},
                {"collectionInterval", "200"}},
               {point("40001", "Hex", "uint16"), point("40008", "Tag", "string", "3")}),
        device("Field", "ModbusTCP", QJsonObject{{"ip", "192.168.1.60"}, {"port", "502"}, {"collectionInterval", "200"}},
               {point("40001", "Far", "int16")}),
        // Octal 0311 is 201: the socket would poll the server, which this device never named.
        device("Octal", "ModbusTCP", QJsonObject{{"ip", "127.0.5.0311"}, {"port", QString::number(kPort)}, {"collectionInterval", "200"}},
               {point("40000", "Wrong host", "int16")}),
        device("Unmapped", "ModbusRTU", QJsonObject{{"serialport", "COM2"}, {"collectionInterval", "200"}},
               {point("40001", "Nowhere", "int16")}),
        QJsonObject{{"name", "Meter"}, {"protocol", "DLT645"}, {"parameter", QJsonObject{{"collectionInterval", "200"}}},
                    {"datas", QJsonArray{QJsonObject{{"slaveAddress", "1"}, {"protocolVersion", 1},
                                                     {"datas", QJsonArray{QJsonObject{{"select", "true"},
                                                                                      {"name", "Energy"},
                                                                                      {"addr", "00010000"},
                                                                                      {"dataType", "XXXXXX.XX"}}}}}}}}};
    const QJsonObject project{{"name", "Plant R"}, {"description", ""}, {"standards", standards}};

    BoxSimProcess sim(QStringLiteral("127.0.5.200"),
                      {"--modbus", "real", "--serial-map", "COM1=" + pty.first(), "--invalid-percent", "0"});
    QVERIFY(sim.writeDeployed(project));
    QVERIFY(sim.start());
    QVERIFY(sim.waitForOutput("192.168.1.60 is not a loopback address"));
    QVERIFY(sim.waitForOutput("no --serial-map for its port \"COM2\""));
    QVERIFY(sim.waitForOutput("\"127.0.5.0311\" is not four decimal parts"));
    QCOMPARE(sim.count("not contacted"), 3);

    LiveReportLink link;
    QVERIFY(link.open(sim.address()));
    link.collect(1500);
    const Points tcpValues{{"Minus two", "-2|1"}, {"Float", "1234.56|1"}, {"Missing", "|0"}, {"Coil", "1|1"}};
    QCOMPARE(link.points("Tcp"), tcpValues);
    QCOMPARE(link.points("Rtu"), (Points{{"Hex", "4660|1"}, {"Tag", "Pump-7|1"}}));
    QCOMPARE(link.points("Field"), (Points{{"Far", "|0"}}));
    QCOMPARE(link.points("Unmapped"), (Points{{"Nowhere", "|0"}}));
    QCOMPARE(link.points("Octal"), (Points{{"Wrong host", "|0"}}));
    QCOMPARE(link.points("Meter").value("Energy").right(2), QStringLiteral("|1")); // still invented

    // The server goes away: its points turn invalid; it comes back: so do they.
    tcpServer.stop();
    link.collect(1500);
    QCOMPARE(link.points("Tcp"), (Points{{"Minus two", "|0"}, {"Float", "|0"}, {"Missing", "|0"}, {"Coil", "|0"}}));
    QCOMPARE(link.points("Rtu").value("Hex"), QStringLiteral("4660|1"));
    QVERIFY(tcpServer.startTcp(serverAddress, kPort));
    link.collect(2000);
    QCOMPARE(link.points("Tcp"), tcpValues);

    // Said once, not per round.
    QCOMPARE(sim.count("not contacted"), 3);
}

void tst_BoxSimModbus::optionsNeedRealMode()
{
    const QList<QStringList> refused{{"--modbus", "fake"},
                                     {"--serial-map", "COM1=/dev/null"},
                                     {"--dlt645", "fake"},
                                     {"--dlt645", "real", "--allow-network"},
                                     {"--allow-network"},
                                     {"--modbus", "real", "--serial-map", "COM1"},
                                     {"--modbus", "real", "--serial-map", "=/dev/ttyS0"}};
    for (const QStringList &arguments : refused) {
        QProcess process;
        process.start(BoxSimProcess::program(), QStringList{"--listen", "127.0.5.202"} + arguments);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
    QProcess help;
    help.start(BoxSimProcess::program(), {"--help"});
    QVERIFY(help.waitForFinished(5000));
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    QVERIFY(text.contains("--modbus") && text.contains("invented") && text.contains("--serial-map")
            && text.contains("--allow-network") && text.contains("--dlt645"));
}

QTEST_GUILESS_MAIN(tst_BoxSimModbus)
#include "tst_boxsimmodbus.moc"
