// orvane-boxsim --dlt645 real: the deployed project's DL/T 645 lines are polled for real through
// a pseudo-terminal pair against meters of the test's own, and their selected items reported;
// a stopped meter turns invalid, a started one reads again. Loopback address 127.0.23.1.

#include "BoxSimProcess.h"
#include "Dlt645MeterPeer.h"
#include "LiveReportLink.h"
#include "ModbusServerProcess.h"

#include <QJsonArray>
#include <QtTest>

namespace {

using Points = QMap<QString, QString>;

QJsonObject item(const char *addr, const char *format, const char *name, bool selected = true)
{
    return {{"select", selected ? "true" : "false"}, {"name", name}, {"addr", addr}, {"dataType", format}};
}

QJsonObject meter(const char *address, bool is2007, const QJsonArray &items)
{
    return {{"slaveAddress", address}, {"protocolVersion", is2007 ? 1 : 2}, {"datas", items}};
}

QJsonObject line(const char *name, const char *port, const QJsonArray &meters)
{
    // A pseudo-terminal takes no parity: the line is configured without one.
    const QJsonObject parameter{{"serialport", port}, {"baudRate", "9600"}, {"dataBit", "8"},
                                {"stopBit", "1"}, {"parityBit", "NONE"}, {"rtsEnable", "0"},
                                {"communicationTimeout", "300"}, {"communicationGap", "-1"},
                                {"collectionInterval", "300"}};
    return {{"name", name}, {"protocol", "DLT645"}, {"parameter", parameter}, {"datas", meters}};
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

class tst_BoxSimMeters : public QObject
{
    Q_OBJECT
private slots:
    void pollsRealMeters();
};

void tst_BoxSimMeters::pollsRealMeters()
{
    PtyPair pty;
    QVERIFY(pty.start());
    Dlt645MeterPeer peer;
    QVERIFY(peer.open(pty.second()));
    Dlt645MeterPeer::Meter &modern = peer.meter(QStringLiteral("210987654321"));
    modern.values.insert(0x00010000, hex("09 21 03 00"));
    modern.values.insert(0x02030000, hex("00 50 81"));
    Dlt645MeterPeer::Meter &old = peer.meter(QStringLiteral("000000000007"));
    old.edition = Dlt645::Edition::V1997;
    old.values.insert(0xB611, hex("20 02"));

    const QJsonArray standards{
        line("Meters", "COM1",
             {meter("210987654321", true,
                    {item("00010000", "XXXXXX.XX", "Energy"), item("02030000", "XX.XXXX", "Power"),
                     item("02010100", "XXX.X", "Unselected", false)}),
              meter("000000000007", false, {item("B611", "XXX", "Voltage 97")})}),
        line("Elsewhere", "COM2", {meter("AAAAAAAAAAAA", true, {item("00010000", "XXXXXX.XX", "Nowhere")})})};
    const QJsonObject project{{"name", "Plant M"}, {"description", ""}, {"standards", standards}};

    BoxSimProcess sim(QStringLiteral("127.0.23.1"),
                      {"--dlt645", "real", "--serial-map", "COM1=" + pty.first(), "--invalid-percent", "0"});
    QVERIFY(sim.writeDeployed(project));
    QVERIFY(sim.start());
    QVERIFY(sim.waitForOutput("no --serial-map for its port \"COM2\""));

    LiveReportLink link;
    QVERIFY(link.open(sim.address()));
    link.collect(1200);
    const Points values{{"Energy", "321.09|1"}, {"Power", "-1.5000|1"}, {"Voltage 97", "220|1"}};
    QCOMPARE(link.points("Meters"), values);
    QCOMPARE(link.points("Elsewhere"), (Points{{"Nowhere", "|0"}}));

    // Stopped: every item invalid within two rounds. A round of two dead meters takes one
    // 300 ms timeout per meter (the rest is not sent) after its 300 ms interval: two such
    // rounds, and room for a loaded machine.
    modern.silent = true;
    old.silent = true;
    link.collect(2 * (300 + 2 * 300) + 500);
    QCOMPARE(link.points("Meters"), (Points{{"Energy", "|0"}, {"Power", "|0"}, {"Voltage 97", "|0"}}));
    // Started again: values again.
    modern.silent = false;
    old.silent = false;
    link.collect(1500);
    QCOMPARE(link.points("Meters"), values);

    // Said once, not per round.
    QCOMPARE(sim.count("no --serial-map"), 1);
}

QTEST_GUILESS_MAIN(tst_BoxSimMeters)
#include "tst_boxsimmeters.moc"
