// The project checks, the diff of two project documents and the store of sent documents,
// without windows. Certificates are made by the test with the openssl command.

#include "CheckFixture.h"
#include "SmallDisk.h"
#include "TestCertificates.h"

#include "core/checks/CertificateInspector.h"
#include "core/deployment/DeploymentLog.h"
#include "core/deployment/DeploymentStore.h"
#include "core/checks/ModbusPointRules.h"
#include "core/checks/ProjectChecker.h"
#include "core/checks/ProjectDiff.h"
#include "core/project/Ipv4Address.h"
#include "core/project/ProjectJson.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

// Made once by initTestCase.
std::unique_ptr<TestCertificates> certs;

using Mutation = void (*)(CheckFixture &);
using Set = CheckFixture;

void enableSsl(CheckFixture &f)
{
    Set::set(f.service, Role::EnableSSL, "true");
    f.service->setData(certs->cert, Role::ServerCertificate);
    f.service->setData(certs->key, Role::ServerKey);
}

// The first slave's station number on a link of the given mode.
void setStation(CheckFixture &f, const char *mode, const char *station)
{
    Set::set(f.pump, Role::Modbus, mode);
    Set::set(f.pump, Role::SerialPort, "COM1");
    PointTable t = Set::table(f.pump);
    t["Modbus-1"][0][1] = QString::fromUtf8(station);
    Set::setTable(f.pump, t);
}

} // namespace

Q_DECLARE_METATYPE(Mutation)

class TstChecks : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void addresses_data();
    void addresses();
    void ipv4Spellings_data();
    void ipv4Spellings();
    void findings_data();
    void findings();
    void findingsFollowRowOrder();
    void fileWithSameNamesIsCheckedWhole();
    void certificateDetails();
    void diff_data();
    void diff();
    void diffInTheEditorsChineseWords();
    void store();
    void recordSkipsDamagedLines();
    void recordSurvivesFullDisk();

private:
    QTemporaryDir m_dir;
};

void TstChecks::initTestCase()
{
    QVERIFY(m_dir.isValid());
    certs = std::make_unique<TestCertificates>(m_dir.path());
}

void TstChecks::addresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("startAddress0");
    QTest::addColumn<int>("table"); // -1: cannot be read
    QTest::addColumn<int>("protocolAddress");

    QTest::newRow("coil, 1 digit padded") << "1" << true << 0 << 1;
    QTest::newRow("discrete input") << "10010" << true << 1 << 10;
    QTest::newRow("input register, counting from 1") << "30001" << false << 3 << 0;
    QTest::newRow("holding register") << "40100" << true << 4 << 100;
    QTest::newRow("6 digits") << "465535" << true << 4 << 65535;
    QTest::newRow("6 digits, counting from 1") << "400001" << false << 4 << 0;
    QTest::newRow("reference 0 counting from 1") << "40000" << false << -1 << 0;
    QTest::newRow("above 65535") << "465536" << true << -1 << 0;
    QTest::newRow("table 2") << "20001" << true << -1 << 0;
    QTest::newRow("7 digits") << "4000001" << true << -1 << 0;
    QTest::newRow("not a number") << "40x01" << true << -1 << 0;
    QTest::newRow("sign") << "-4001" << true << -1 << 0;
    QTest::newRow("empty") << "" << true << -1 << 0;
}

void TstChecks::addresses()
{
    QFETCH(QString, address);
    QFETCH(bool, startAddress0);
    QFETCH(int, table);
    QFETCH(int, protocolAddress);
    const ModbusPointRules::Location at = ModbusPointRules::locate(address, startAddress0);
    QCOMPARE(at.valid, table >= 0);
    if (at.valid) {
        QCOMPARE(int(at.table), table);
        QCOMPARE(at.address, protocolAddress);
    }
}

// One reading of an address for the editors, the checks, the fleet window and orvane-deploy:
// four decimal parts, nothing else. The others are what the socket would read another way.
void TstChecks::ipv4Spellings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("octal part") << "127.0.4.020" << false;
    QTest::newRow("two leading zeros") << "192.168.001.010" << false;
    QTest::newRow("three parts") << "127.0.1044" << false;
    QTest::newRow("hex part") << "0x7f.0.4.20" << false;
    QTest::newRow("one number") << "2130707476" << false;
    QTest::newRow("trailing space") << "127.0.4.20 " << false;
    QTest::newRow("leading space") << " 127.0.4.20" << false;
    QTest::newRow("too few parts") << "1.2.3" << false;
    QTest::newRow("too many parts") << "1.2.3.4.5" << false;
    QTest::newRow("empty part") << "1..3.4" << false;
    QTest::newRow("part above 255") << "1.2.3.256" << false;
    QTest::newRow("sign") << "+1.2.3.4" << false;
    QTest::newRow("full-width digit") << QString::fromUtf8("1.2.3.\xef\xbc\x94") << false;
    QTest::newRow("plain") << "127.0.4.20" << true;
    QTest::newRow("zeros") << "0.0.0.0" << true;
    QTest::newRow("highest") << "255.255.255.255" << true;
    QTest::newRow("zero part inside") << "10.0.100.1" << true;
}

void TstChecks::ipv4Spellings()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const QHostAddress address = Ipv4Address::parse(text);
    QCOMPARE(!address.isNull(), valid);
    if (valid)
        QCOMPARE(address.toString(), text);

    // A stored project holding the spelling, as a Modbus device's or a box's address.
    QStandardItemModel model;
    CheckFixture fixture(model);
    fixture.pump->setData(text, Role::ModbusIp);
    fixture.box->setData(text, Role::BoxIp);
    QStringList withErrors;
    for (const CheckFinding &f : ProjectChecker::check(fixture.project)) {
        if (f.severity == CheckFinding::Error && f.text.contains(text))
            withErrors << f.item->text();
    }
    QCOMPARE(withErrors, valid ? QStringList() : QStringList({"Pump", "Box1"}));
}

void TstChecks::findings_data()
{
    QTest::addColumn<Mutation>("mutation");
    QTest::addColumn<int>("severity"); // -1: no finding
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("tab");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<int>("nowShiftDays");

    const int none = -1, error = CheckFinding::Error, warning = CheckFinding::Warning;
    auto row = [](const char *name, Mutation m, int severity, const char *item, const char *tab, int r,
                  const char *fragment, int shift = 0) {
        QTest::newRow(name) << m << severity << QString::fromUtf8(item) << QString::fromUtf8(tab) << r
                            << QString::fromUtf8(fragment) << shift;
    };

    row("sound project", [](CheckFixture &) {}, none, "", "", -1, "");

    // Every item is checked, and items are told apart by name.
    row("device in a second Standard folder", [](CheckFixture &f) {
            auto *folder = new QStandardItem(Folder::Standard);
            f.project->appendRow(folder);
            QStandardItem *copy = f.pump->clone();
            copy->setText(QStringLiteral("Pump 2"));
            Set::set(copy, Role::ModbusIp, "not-an-ip");
            folder->appendRow(copy);
        }, error, "Pump 2", "", -1, "'not-an-ip'");
    row("two devices of one name", [](CheckFixture &f) { f.pump->parent()->appendRow(f.pump->clone()); },
        error, "Pump", "", -1, "Another item in the Standard folder is also named 'Pump'");
    row("two boxes of one name", [](CheckFixture &f) { f.box->parent()->appendRow(f.box->clone()); },
        error, "Box1", "", -1, "Another item in the Box folder is also named 'Box1'");

    // Modbus registers and names
    row("same register twice", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-1", {Set::point("40002", "c")}); },
        error, "Pump", "Modbus-1", 3, "overlap those of 'level' in row 2");
    row("same register, 5 and 6 digits", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-1", {Set::point("400001", "c")}); },
        error, "Pump", "Modbus-1", 3, "overlap those of 'flow' in row 1");
    row("float reaches into the next register", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-1", {Set::point("40003", "c", "float"), Set::point("40004", "d")}); },
        error, "Pump", "Modbus-1", 4, "overlap those of 'c' in row 3");
    row("double ends before the next point", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-1", {Set::point("40003", "c", "double"), Set::point("40007", "d")}); },
        none, "", "", -1, "");
    row("same number, other table", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-1", {Set::point("30001", "c")}); },
        none, "", "", -1, "");
    row("same register, other slave", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-2", {Set::point("40001", "c")}); },
        none, "", "", -1, "");
    row("name used in another slave", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-2", {Set::point("40005", "level")}); },
        error, "Pump", "Modbus-2", 1, "'level' is already used in Modbus-1, row 2");
    row("unreadable address", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-1", {Set::point("D100", "c")}); },
        warning, "Pump", "Modbus-1", 3, "'D100' cannot be read");

    // Modbus link
    row("IP part above 255", [](CheckFixture &f) { Set::set(f.pump, Role::ModbusIp, "192.168.1.256"); },
        error, "Pump", "", -1, "'192.168.1.256' is not a valid IPv4");
    row("IP empty", [](CheckFixture &f) { Set::set(f.pump, Role::ModbusIp, ""); }, error, "Pump", "", -1, "IPv4");
    row("IP with a leading zero", [](CheckFixture &f) { Set::set(f.pump, Role::ModbusIp, "127.0.4.010"); },
        error, "Pump", "", -1, "'127.0.4.010' has a part with a leading zero");
    row("port not a number", [](CheckFixture &f) { Set::set(f.pump, Role::ModbusPort, "50x"); }, error, "Pump", "", -1, "port '50x'");
    row("port 0", [](CheckFixture &f) { Set::set(f.pump, Role::ModbusPort, "0"); }, error, "Pump", "", -1, "port '0'");
    row("port 65536", [](CheckFixture &f) { Set::set(f.pump, Role::ModbusPort, "65536"); }, error, "Pump", "", -1, "port '65536'");
    row("port -1 is the default", [](CheckFixture &f) { Set::set(f.pump, Role::ModbusPort, "-1"); }, none, "", "", -1, "");
    row("RTU without serial port", [](CheckFixture &f) { Set::set(f.pump, Role::Modbus, "ModbusRTU"); },
        error, "Pump", "", -1, "No serial port");

    // Station numbers: 1..247 on a serial line, a unit id of one byte on TCP
    const char *rtuRange = "is not a number from 1 to 247";
    const char *tcpRange = "is not a Modbus TCP unit id from 0 to 255";
    row("RTU station 300", [](CheckFixture &f) { setStation(f, "ModbusRTU", "300"); }, error, "Pump", "Modbus-1", -1, rtuRange);
    row("RTU station -1", [](CheckFixture &f) { setStation(f, "ModbusRTU", "-1"); }, error, "Pump", "Modbus-1", -1, rtuRange);
    row("RTU station 0, the broadcast", [](CheckFixture &f) { setStation(f, "ModbusRTU", "0"); },
        error, "Pump", "Modbus-1", -1, rtuRange);
    row("RTU station abc", [](CheckFixture &f) { setStation(f, "ModbusRTU", "abc"); }, error, "Pump", "Modbus-1", -1,
        "'abc' is not a number");
    row("RTU station empty", [](CheckFixture &f) { setStation(f, "ModbusRTU", ""); }, error, "Pump", "Modbus-1", -1, rtuRange);
    row("RTU station 247", [](CheckFixture &f) { setStation(f, "ModbusRTU", "247"); }, none, "", "", -1, "");
    row("TCP unit id 0", [](CheckFixture &f) { setStation(f, "ModbusTCP", "0"); }, none, "", "", -1, "");
    row("TCP unit id 255", [](CheckFixture &f) { setStation(f, "ModbusTCP", "255"); }, none, "", "", -1, "");
    row("TCP unit id 256", [](CheckFixture &f) { setStation(f, "ModbusTCP", "256"); }, error, "Pump", "Modbus-1", -1, tcpRange);
    row("TCP unit id -1", [](CheckFixture &f) { setStation(f, "ModbusTCP", "-1"); }, error, "Pump", "Modbus-1", -1, tcpRange);
    row("TCP unit id abc", [](CheckFixture &f) { setStation(f, "ModbusTCP", "abc"); }, error, "Pump", "Modbus-1", -1, tcpRange);

    // Box addresses
    row("box LAN address with a leading zero", [](CheckFixture &f) { Set::set(f.box, Role::LanGateway, "192.168.001.1"); },
        error, "Box1", "", -1, "'192.168.001.1' has a part with a leading zero");
    row("box LAN address half typed", [](CheckFixture &f) { Set::set(f.box, Role::LanIp, "192.168.1"); },
        none, "", "", -1, "");
    row("interval below 100 ms", [](CheckFixture &f) { Set::set(f.pump, Role::CollectionInterval, "50"); },
        warning, "Pump", "", -1, "50 ms is below 100 ms");
    row("interval -1", [](CheckFixture &f) { Set::set(f.pump, Role::CollectionInterval, "-1"); }, none, "", "", -1, "");
    row("slave tab without points", [](CheckFixture &f) { Set::addRows(f.pump, "Modbus-2", {}); },
        warning, "Pump", "Modbus-2", -1, "no points");
    row("device without slaves", [](CheckFixture &f) { Set::setTable(f.pump, {}); },
        warning, "Pump", "", -1, "no slave tabs");

    // DL/T 645
    row("meter without serial port", [](CheckFixture &f) { Set::set(f.meter, Role::SerialPort, ""); },
        error, "Meter", "", -1, "No serial port");
    row("meter address too short", [](CheckFixture &f) {
            PointTable t = Set::table(f.meter);
            t["DLT645-1"][0] = Set::meterHeader("12345");
            Set::setTable(f.meter, t);
        }, error, "Meter", "DLT645-1", -1, "'12345' is not 12 hexadecimal");
    row("meter address not hex", [](CheckFixture &f) {
            PointTable t = Set::table(f.meter);
            t["DLT645-1"][0] = Set::meterHeader("AAAAAAAAAAAG");
            Set::setTable(f.meter, t);
        }, error, "Meter", "DLT645-1", -1, "12 hexadecimal");
    row("selected row without name", [](CheckFixture &f) {
            PointTable t = Set::table(f.meter);
            t["DLT645-1"][2] = Set::meterRow(true, "B-phase voltage", " ");
            Set::setTable(f.meter, t);
        }, error, "Meter", "DLT645-1", 2, "'B-phase voltage' has no name");
    row("meter name used in another meter", [](CheckFixture &f) {
            Set::addRows(f.meter, "DLT645-2", {Set::meterRow(true, "A-phase voltage", "ua")}, Set::meterHeader("000000000001"));
        }, error, "Meter", "DLT645-2", 1, "'ua' is already used in DLT645-1, row 1");
    row("meter without selection", [](CheckFixture &f) {
            Set::addRows(f.meter, "DLT645-2", {Set::meterRow(false, "A-phase voltage", "x")}, Set::meterHeader("000000000001"));
        }, warning, "Meter", "DLT645-2", -1, "no selected data items");

    // IEC61850
    row("short password", [](CheckFixture &f) {
            f.service->setData(QObject::tr("Password"), Role::Authentication);
            Set::set(f.service, Role::Password, "1234567");
        }, warning, "IEC61850", "", -1, "fewer than 8 characters");
    row("password of 8", [](CheckFixture &f) {
            f.service->setData(QObject::tr("Password"), Role::Authentication);
            Set::set(f.service, Role::Password, "12345678");
        }, none, "", "", -1, "");
    row("SSL with matching pair", enableSsl, none, "", "", -1, "");
    row("SSL without server certificate", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(QString(), Role::ServerCertificate);
        }, error, "IEC61850", "", -1, "no server certificate");
    row("SSL with only a root certificate", [](CheckFixture &f) {
            Set::set(f.service, Role::EnableSSL, "true");
            f.service->setData(certs->cert, Role::RootCertificate);
            f.service->setData(certs->key, Role::ServerKey);
        }, error, "IEC61850", "", -1, "no server certificate");
    row("SSL without server key", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(QString(), Role::ServerKey);
        }, error, "IEC61850", "", -1, "no server key");
    row("key of another pair", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(certs->otherKey, Role::ServerKey);
        }, error, "IEC61850", "", -1, "does not match the server certificate");
    row("PEM that is not a certificate", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(certs->key, Role::RootCertificate);
        }, error, "IEC61850", "", -1, "root certificate does not parse");
    row("encrypted key with its password", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(certs->encryptedKey, Role::ServerKey);
            Set::set(f.service, Role::ServerKeyPassword, "secret");
        }, none, "", "", -1, "");
    row("encrypted key, wrong password", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(certs->encryptedKey, Role::ServerKey);
            Set::set(f.service, Role::ServerKeyPassword, "wrong");
        }, error, "IEC61850", "", -1, "server key does not parse");
    row("DER pair", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(certs->certDer, Role::ServerCertificate);
            f.service->setData(certs->keyDer, Role::ServerKey);
        }, none, "", "", -1, "");
    row("client verification without client certificate", [](CheckFixture &f) {
            enableSsl(f);
            Set::set(f.service, Role::IsVerifyClientCert, "true");
        }, error, "IEC61850", "", -1, "no client certificate");
    row("client certificate in slot 7", [](CheckFixture &f) {
            enableSsl(f);
            Set::set(f.service, Role::IsVerifyClientCert, "true");
            f.service->setData(certs->cert, Role::clientCertificate(7));
        }, none, "", "", -1, "");
    row("Ed25519 pair", [](CheckFixture &f) {
            enableSsl(f);
            f.service->setData(certs->edCert, Role::ServerCertificate);
            f.service->setData(certs->edKey, Role::ServerKey);
        }, error, "IEC61850", "", -1, "server key is of a type that is not supported (ED25519)");
    row("expired certificate", enableSsl, warning, "IEC61850", "", -1, "server certificate has expired (valid from", 400);
    row("certificate not valid yet", enableSsl, warning, "IEC61850", "", -1, "server certificate is not valid yet", -2);
    row("certificates ignored without SSL", [](CheckFixture &f) {
            f.service->setData(certs->otherKey, Role::ServerCertificate);
        }, none, "", "", -1, "");
}

void TstChecks::findings()
{
    QFETCH(Mutation, mutation);
    QFETCH(int, severity);
    QFETCH(QString, item);
    QFETCH(QString, tab);
    QFETCH(int, row);
    QFETCH(QString, fragment);
    QFETCH(int, nowShiftDays);

    QStandardItemModel model;
    CheckFixture fixture(model);
    mutation(fixture);
    const CheckFindings found =
        ProjectChecker::check(fixture.project, QDateTime::currentDateTimeUtc().addDays(nowShiftDays));
    QStringList all;
    for (const CheckFinding &f : found)
        all << QStringLiteral("%1 %2 %3 %4: %5").arg(f.severity).arg(f.item->text(), f.tab).arg(f.row).arg(f.text);
    if (severity < 0) {
        QVERIFY2(found.isEmpty(), qPrintable(all.join('\n')));
        return;
    }
    QVERIFY2(found.size() == 1, qPrintable(all.join('\n')));
    const CheckFinding &f = found.first();
    QCOMPARE(int(f.severity), severity);
    QCOMPARE(f.item->text(), item);
    QCOMPARE(f.tab, tab);
    QCOMPARE(f.row, row);
    QVERIFY2(f.text.contains(fragment), qPrintable(f.text));
    QCOMPARE(ProjectChecker::hasErrors(found), severity == CheckFinding::Error);
}

// Overlaps are found after sorting, yet they are reported in the table's row order.
void TstChecks::findingsFollowRowOrder()
{
    QStandardItemModel model;
    CheckFixture fixture(model);
    Set::addRows(fixture.pump, "Modbus-1",
                 {Set::point("40001", "c"), Set::point("bad", "d"), Set::point("40002", "e")});
    const CheckFindings found = ProjectChecker::check(fixture.project);
    QList<int> rows;
    for (const CheckFinding &f : found)
        rows << f.row;
    QCOMPARE(rows, (QList<int>{3, 4, 5}));
}

// Deployment checks the document as loaded: the first of two devices named "PLC" is checked too.
void TstChecks::fileWithSameNamesIsCheckedWhole()
{
    QFile file(QStringLiteral(ORVANE_TEST_DATA_DIR "/projectfile/duplicate_devices.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStandardItemModel model;
    const ProjectJson::LoadOutcome loaded =
        ProjectJson::loadProjectIntoModel(&model, QJsonDocument::fromJson(file.readAll()).object(), QString());
    const CheckFindings found = ProjectChecker::check(loaded.project);
    QStringList texts;
    for (const CheckFinding &f : found) {
        QCOMPARE(f.item->text(), QStringLiteral("PLC"));
        texts << QStringLiteral("%1 %2").arg(f.item->row()).arg(f.text);
    }
    QVERIFY(ProjectChecker::hasErrors(found));
    QVERIFY2(!texts.filter(QRegularExpression(QStringLiteral("^0 .*'not-an-ip'"))).isEmpty(),
             qPrintable(texts.join('\n')));
    QCOMPARE(texts.filter(QRegularExpression(QStringLiteral("^1 .*also named 'PLC'"))).size(), 1);
}

void TstChecks::certificateDetails()
{
    const QSslCertificate cert = CertificateInspector::certificate(certs->certDer);
    QVERIFY(!cert.isNull());
    QCOMPARE(CertificateInspector::subjectText(cert), QStringLiteral("CN=server, O=Orvane"));
    QCOMPARE(CertificateInspector::issuerText(cert), CertificateInspector::subjectText(cert));
    QVERIFY(CertificateInspector::isCurrentlyValid(cert, QDateTime::currentDateTimeUtc()));
    QVERIFY(CertificateInspector::keyMatches(cert, CertificateInspector::privateKey(certs->encryptedKey, "secret")));
    QVERIFY(CertificateInspector::privateKey(certs->encryptedKey, QString()).isNull());
    QVERIFY(CertificateInspector::certificate(QStringLiteral("not base64 !")).isNull());
}

void TstChecks::diff_data()
{
    QTest::addColumn<Mutation>("mutation");
    QTest::addColumn<QStringList>("expected"); // kind|place|label|old|new

    QTest::newRow("nothing") << Mutation([](CheckFixture &) {}) << QStringList();
    QTest::newRow("point renamed and one added")
        << Mutation([](CheckFixture &f) {
               PointTable t = Set::table(f.pump);
               t["Modbus-1"][1][1] = QStringLiteral("flow2");
               t["Modbus-1"].append(Set::point("40010", "temp"));
               Set::setTable(f.pump, t);
           })
        << QStringList{"2|device 'Pump' / slave 1 / point 'flow2'|Name|flow|flow2",
                       "0|device 'Pump' / slave 1 / point 'temp'|||Address: 40010, Type: uint16"};
    QTest::newRow("point moved keeps its name")
        << Mutation([](CheckFixture &f) {
               PointTable t = Set::table(f.pump);
               t["Modbus-1"][2][0] = QStringLiteral("40020");
               Set::setTable(f.pump, t);
           })
        << QStringList{"2|device 'Pump' / slave 1 / point 'level'|Address|40002|40020"};
    QTest::newRow("point removed, slave and device added")
        << Mutation([](CheckFixture &f) {
               PointTable t = Set::table(f.pump);
               t["Modbus-1"].removeAt(1);
               t.insert("Modbus-2", {Set::slaveHeader(false)});
               Set::setTable(f.pump, t);
               auto *fan = new QStandardItem(QStringLiteral("Fan"));
               Set::set(fan, Role::Protocol, "Modbus");
               f.pump->parent()->appendRow(fan);
           })
        << QStringList{"1|device 'Pump' / slave 1 / point 'flow'||Address: 40001, Type: uint16|",
                       "0|device 'Pump' / slave 2|||",
                       "0|device 'Fan'|||"};
    QTest::newRow("parameters, meter, service and box")
        << Mutation([](CheckFixture &f) {
               Set::set(f.pump, Role::ModbusPort, "503");
               PointTable t = Set::table(f.meter);
               t["DLT645-1"][0] = Set::meterHeader("000000000001");
               t["DLT645-1"][2] = Set::meterRow(true, "B-phase voltage", "ub");
               Set::setTable(f.meter, t);
               Set::set(f.service, Role::ServicePort, "103");
               Set::set(f.box, Role::LanIp, "10.0.0.2");
           })
        << QStringList{"2|device 'Pump'|Port|502|503",
                       "2|device 'Meter' / meter 1|Slave Address|AAAAAAAAAAAA|000000000001",
                       "2|device 'Meter' / meter 1 / point 'ub'|Name||ub",
                       "2|device 'Meter' / meter 1 / point 'ub'|Selected|false|true",
                       "2|service 'IEC61850'|Port|102|103",
                       "2|box 'Box1'|LAN IP||10.0.0.2"};
    // Each editor's own label, also where the stored key is spelled otherwise ("stationNum",
    // "wifissid"); a meter row named by the catalogue's data name.
    QTest::newRow("labels of every editor, meter rows added and removed")
        << Mutation([](CheckFixture &f) {
               PointTable t = Set::table(f.pump);
               t["Modbus-1"][0][1] = QStringLiteral("7");
               Set::setTable(f.pump, t);
               Set::set(f.meter, Role::SerialPort, "COM2");
               t = Set::table(f.meter);
               t["DLT645-1"].removeAt(1);
               t["DLT645-1"].append(Set::meterRow(true, "C-phase voltage", "uc"));
               Set::setTable(f.meter, t);
               Set::set(f.service, Role::Authentication, "Password");
               Set::set(f.service, Role::Password, "s3cret");
               Set::set(f.box, Role::WifiSsid, "Hall 2");
           })
        << QStringList{"2|device 'Pump' / slave 1|Station Num|1|7",
                       "2|device 'Meter'|Serial Port|COM1|COM2",
                       "0|device 'Meter' / meter 1 / point 'uc'|||Data identifier: 02010300, Data name: C-phase voltage",
                       "1|device 'Meter' / meter 1 / point 'ua'||Data identifier: 02010100, Data name: A-phase voltage|",
                       "2|service 'IEC61850'|Authentication||1",
                       "2|service 'IEC61850'|Password||s3cret",
                       "2|box 'Box1'|WiFi SSID||Hall 2"};
    QTest::newRow("device removed")
        << Mutation([](CheckFixture &f) { f.meter->parent()->removeRow(f.meter->row()); })
        << QStringList{"1|device 'Meter'|||"};
}

void TstChecks::diff()
{
    QFETCH(Mutation, mutation);
    QFETCH(QStringList, expected);
    QStandardItemModel model;
    CheckFixture fixture(model);
    const QJsonObject before = ProjectJson::buildProjectJson(fixture.project);
    mutation(fixture);
    const QJsonObject after = ProjectJson::buildProjectJson(fixture.project);
    QStringList seen;
    for (const ProjectChange &c : ProjectDiff::compare(before, after))
        seen << QStringLiteral("%1|%2|%3|%4|%5").arg(c.kind).arg(c.place, c.label, c.oldValue, c.newValue);
    QCOMPARE(seen, expected);
}

// In the Chinese interface a change is named exactly as its editor names the field (without
// the form's colon), and an added point's address and type read in Chinese too.
void TstChecks::diffInTheEditorsChineseWords()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(":/adsdemo/chinese.qm")));
    QVERIFY(QCoreApplication::installTranslator(&chinese));
    const auto removeTranslator = qScopeGuard([&chinese] { QCoreApplication::removeTranslator(&chinese); });
    QStandardItemModel model;
    CheckFixture fixture(model);
    const QJsonObject before = ProjectJson::buildProjectJson(fixture.project);
    Set::set(fixture.pump, Role::ModbusPort, "503");
    PointTable t = Set::table(fixture.pump);
    t["Modbus-1"][0][1] = QStringLiteral("7");
    t["Modbus-1"].append(Set::point("40010", "temp"));
    Set::setTable(fixture.pump, t);
    Set::set(fixture.box, Role::LanIp, "10.0.0.2");
    QStringList seen;
    for (const ProjectChange &c : ProjectDiff::compare(before, ProjectJson::buildProjectJson(fixture.project)))
        seen << QStringList{c.label, c.oldValue, c.newValue}.join(QLatin1Char('|'));
    QCOMPARE(seen, QStringList({QString::fromUtf8("端口|502|503"), QString::fromUtf8("站号|1|7"),
                                QString::fromUtf8("||地址：40010，类型：uint16"), QStringLiteral("LAN IP||10.0.0.2")}));
}

void TstChecks::store()
{
    QTemporaryDir dir;
    const DeploymentStore store(dir.path());
    QJsonObject document;
    QVERIFY(!store.lastDocument("127.0.0.1", "Plant", &document));

    QVERIFY(store.store("127.0.0.1", "Plant", R"({"name":"Plant","description":"one"})"));
    QVERIFY(store.store("127.0.0.1", "Plant", R"({"name":"Plant","description":"two"})"));
    QVERIFY(store.lastDocument("127.0.0.1", "Plant", &document));
    QCOMPARE(document.value("description").toString(), QStringLiteral("two"));
    // Keyed by both: another box or another project has nothing yet.
    QVERIFY(!store.lastDocument("127.0.0.2", "Plant", &document));
    QVERIFY(!store.lastDocument("127.0.0.1", "Plant2", &document));

    // Record texts never leave the store's directory, whatever they hold.
    for (const QString &ip : {QStringLiteral("../../x"), QStringLiteral("/etc")}) {
        const QString path = QDir::cleanPath(store.documentPath(ip, "../../p/q"));
        QVERIFY2(path.startsWith(QDir::cleanPath(dir.path()) + '/'), qPrintable(path));
        QVERIFY(store.store(ip, "../../p/q", "{}"));
        QVERIFY(store.lastDocument(ip, "../../p/q", &document));
    }
    // An unreadable copy counts as none: nothing to compare with.
    QFile broken(store.documentPath("127.0.0.1", "Plant"));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("{not json");
    broken.close();
    QVERIFY(!store.lastDocument("127.0.0.1", "Plant", &document));
}

namespace {
DeploymentRecord sample(const QString &box)
{
    DeploymentRecord record;
    record.boxIp = box;
    record.projectName = QStringLiteral("Plant");
    record.md5 = QByteArray(16, '\x5a');
    record.outcome = FileTransfer::Outcome::ChecksumSuccessful;
    record.verdict = QStringLiteral("Checksum successful.");
    record.time = QDateTime(QDate(2026, 12, 1), QTime(9, 0), Qt::UTC);
    return record;
}

QStringList boxes(const QList<DeploymentRecord> &records)
{
    QStringList out;
    for (const DeploymentRecord &r : records)
        out << r.boxIp;
    return out;
}
} // namespace

void TstChecks::recordSkipsDamagedLines()
{
    // A cut-off line with the next record glued on, a whole one, and a cut-off last line with
    // no line end: only the whole ones count, and the damage is told.
    QTemporaryDir dir;
    const DeploymentLog log(dir.path());
    QVERIFY(QDir().mkpath(QFileInfo(log.path()).absolutePath()));
    QVERIFY(QFile::copy(QStringLiteral(ORVANE_TEST_DATA_DIR "/checks/records-damaged.jsonl"), log.path()));
    QFile::setPermissions(log.path(), QFile::ReadOwner | QFile::WriteOwner);
    int damaged = -1;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("damaged lines, skipped: 2,4$"));
    QCOMPARE(boxes(log.records(&damaged)), QStringList({"10.0.0.1", "10.0.0.4"}));
    QCOMPARE(damaged, 2);

    // The next record starts a line of its own instead of joining the cut-off one.
    QVERIFY(log.append(sample("10.0.0.6")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("damaged lines, skipped: 2,4$"));
    QCOMPARE(boxes(log.records(&damaged)), QStringList({"10.0.0.1", "10.0.0.4", "10.0.0.6"}));
    QCOMPARE(damaged, 2);
    DeploymentRecord last;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("damaged lines, skipped: 2,4$"));
    QVERIFY(log.last("10.0.0.6", &last));
    QCOMPARE(last.md5, QByteArray(16, '\x5a'));
}

void TstChecks::recordSurvivesFullDisk()
{
    QTemporaryDir dir;
    SmallDisk::Tmpfs disk(dir.path(), 64 * 1024);
    SMALLDISK_REQUIRE(disk);
    const DeploymentLog log(dir.path());

    // Records up to where the next one crosses into a new page of the file, which a full
    // disk no longer has: that write is cut short.
    QStringList written;
    const qint64 lineSize = QJsonDocument(sample("10.0.0.1").toJson()).toJson(QJsonDocument::Compact).size() + 1;
    do {
        written << QStringLiteral("10.0.0.%1").arg(written.size() + 1);
        QVERIFY(log.append(sample(written.last())));
    } while (QFileInfo(log.path()).size() % 4096 + lineSize <= 4096 && written.size() < 40);
    const QByteArray before = [&log] {
        QFile f(log.path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QVERIFY(disk.fill(QStringLiteral("filler")) > 0);

    QString error;
    QVERIFY(!log.append(sample("10.0.0.200"), &error));
    QCOMPARE(error, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    // A transfer's record says so in words for the user, for whoever sent to show.
    QVERIFY(!log.recordTransfer("10.0.0.202", "Plant", FileTransfer::ProjectDeployment, QByteArray(16, '\x11'),
                                FileTransfer::Outcome::ChecksumSuccessful, &error));
    QCOMPARE(error, QStringLiteral("The transfer was not recorded in %1: %2")
                        .arg(QDir::toNativeSeparators(log.path()), QString::fromLocal8Bit(std::strerror(ENOSPC))));
    QFile file(log.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before); // no cut-off line left behind
    file.close();

    // Space again: the next record reads back whole, after all the earlier ones.
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("filler"))));
    QVERIFY2(log.append(sample("10.0.0.201"), &error), qPrintable(error));
    int damaged = -1;
    QCOMPARE(boxes(log.records(&damaged)), written + QStringList{"10.0.0.201"});
    QCOMPARE(damaged, 0);
}

QTEST_GUILESS_MAIN(TstChecks)
#include "tst_checks.moc"
