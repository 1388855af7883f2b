// Device templates: a device saved as a template and added again gives the devices typing
// would have given (points, stations, hosts, DL/T 645 items across interface languages, the
// project file's very bytes); a broken template is refused with every problem placed by slave,
// row and column, and nothing reaches the library; the library lists, imports and deletes.

#include "ModalAnswer.h"
#include "TestDataLocation.h"
#include "core/checks/ProjectChecker.h"
#include "core/project/Dlt645Catalogue.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectItems.h"
#include "core/project/ProjectJson.h"
#include "ModbusTcpTestServer.h"
#include "ProbedModel.h"
#include "core/templates/DeviceTemplate.h"
#include "core/templates/ModelProbe.h"
#include "core/templates/TemplateExpansion.h"
#include "core/templates/TemplateLibrary.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "gui/templates/TemplateDialogs.h"
#include "gui/widgets/FileDialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeView>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

const QString kTemplateData = QStringLiteral(ORVANE_TEST_DATA_DIR "/templates/");

// A Modbus device as the editor's Save leaves it after the user typed it in.
ModbusDeviceRecord typedModbus(const QString &mode)
{
    ModbusDeviceRecord device;
    device.name = QStringLiteral("Meter");
    device.protocol = QStringLiteral("Modbus");
    device.mode = mode;
    if (mode == ModbusDeviceRecord::Rtu) {
        device.serial = {QStringLiteral("COM2"), QStringLiteral("9600"), QStringLiteral("8"), QStringLiteral("1"),
                         QStringLiteral("EVEN"), true, QStringLiteral("20")};
        device.rtuCommunicationTimeout = QStringLiteral("1500");
    } else {
        device.ip = QStringLiteral("192.168.1.60");
        device.port = QStringLiteral("502");
        device.connectionTimeout = QStringLiteral("2000");
        device.tcpCommunicationTimeout = QStringLiteral("1800");
        device.keepAlive = QStringLiteral("60000");
    }
    device.collectionInterval = QStringLiteral("2000");
    ModbusSlaveRecord slave;
    slave.title = QStringLiteral("Modbus-1");
    slave.stationNum = QStringLiteral("7");
    slave.byteOrder = QStringLiteral("CDAB");
    slave.startAddress0 = false;
    slave.points = {{"30001", "Ua", "float", "1", "r"},
                    {"30003", "Ia", "float", "1", "r"},
                    {"40001", "Serial", "string", "4", "r"},
                    {"00001", "Relay", "bool", "1", "rw"}};
    device.slaves = {slave};
    return device;
}

QStandardItem *committed(const ModbusDeviceRecord &device)
{
    QStandardItem *item = ProjectItems::newDevice(QIcon(), device.name, device.protocol);
    device.commitTo(item);
    return item;
}

DeviceTemplate throughFile(const DeviceTemplate &device)
{
    DeviceTemplate read;
    TemplateProblems problems;
    const bool ok = DeviceTemplate::parse(device.toBytes(), &read, &problems);
    if (!ok)
        qWarning() << problems.value(0).describe();
    return ok ? read : DeviceTemplate();
}

QStandardItem *newProject(QStandardItemModel *model)
{
    QStandardItem *project = ProjectItems::newProject(QIcon(), QStringLiteral("site"), QStringLiteral("/tmp"),
                                                      QStringLiteral("templates"));
    for (const QString &folder : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data})
        project->appendRow(ProjectItems::newFolder(QIcon(), folder));
    model->appendRow(project);
    return project;
}

// A Modbus template of one RTU slave whose points are "addr|name|type|length|perm;...".
QByteArray modbusJson(const QString &points, const QString &station = QStringLiteral("1"))
{
    QJsonArray array;
    for (const QString &row : points.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList c = row.split(QLatin1Char('|'));
        array.append(QJsonObject{{"addr", c.value(0)}, {"name", c.value(1)}, {"dataType", c.value(2)},
                                 {"length", c.value(3)}, {"permissions", c.value(4)}});
    }
    const QJsonObject root{{"format", DeviceTemplate::FormatName}, {"formatVersion", 1}, {"name", "T"},
                           {"protocol", "Modbus"},
                           {"link", QJsonObject{{"modbus", "ModbusRTU"}, {"serialport", "COM1"}}},
                           {"slaves", QJsonArray{QJsonObject{{"stationNum", station}, {"byteOrder", "ABCD"},
                                                             {"startAddress0", false}, {"points", array}}}}};
    return QJsonDocument(root).toJson();
}

// A DL/T 645 template of one meter whose items are "code|name;...".
QByteArray meterJson(const QString &items, const QString &edition = QStringLiteral("DLT645_2007"))
{
    QJsonArray array;
    for (const QString &row : items.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        array.append(QJsonObject{{"addr", row.section(QLatin1Char('|'), 0, 0)}, {"name", row.section(QLatin1Char('|'), 1)}});
    const QJsonObject root{{"format", DeviceTemplate::FormatName}, {"formatVersion", 1}, {"name", "M"},
                           {"protocol", "DLT645"}, {"link", QJsonObject{{"serialport", "COM1"}}},
                           {"meters", QJsonArray{QJsonObject{{"protocolVersion", edition}, {"items", array}}}}};
    return QJsonDocument(root).toJson();
}

// Acts on the next modal dialog of this object name once it is up (within about two seconds).
void onNextDialog(const QString &objectName, std::function<void(QDialog *)> act)
{
    QTimer::singleShot(0, [=] {
        for (int i = 0; i < 200; ++i) {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (dialog && dialog->objectName() == objectName) {
                act(dialog);
                return;
            }
            QTest::qWait(10);
        }
    });
}

int visibleRows(const QTableWidget *table)
{
    int rows = 0;
    for (int row = 0; row < table->rowCount(); ++row)
        rows += !table->isRowHidden(row);
    return rows;
}

QStringList jsonFiles(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.json")}, QDir::Files);
}

} // namespace

class TestTemplates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerItemRecordTypes(); }

    void rtuDeviceAddedForThreeStations();
    void probeMatches_data();
    void probeMatches();
    void probeTellsTheModel();
    void tcpTemplateAddedForThreeHosts();
    void tcpHostsAndPorts_data();
    void tcpHostsAndPorts();
    void serialAddresses_data();
    void serialAddresses();
    void dlt645ItemsSurviveALanguageChange();
    void projectFileAsTyped();
    void brokenTemplatesAreRefused_data();
    void brokenTemplatesAreRefused();
    void libraryListsImportsAndDeletes();
    void examplesAreValid();
    void windowSearchesImportsExportsDeletes();
    void editorSavesItsUnsavedState();
    void addFromTemplateThroughTheMenu();

private:
    TestDataLocation m_data;
};

void TestTemplates::rtuDeviceAddedForThreeStations()
{
    const ModbusDeviceRecord original = typedModbus(ModbusDeviceRecord::Rtu);
    std::unique_ptr<QStandardItem> item(committed(original));
    const DeviceTemplate model = throughFile(DeviceTemplate::fromModbus(ModbusDeviceRecord::fromItem(item.get())));
    QVERIFY(model.validate().isEmpty());
    QCOMPARE(model.pointCount(), 4);

    TemplateExpansion::Request request;
    request.namePattern = QStringLiteral("Line 1");
    request.addresses = QStringLiteral("1-3");
    const TemplateExpansion::Result result = TemplateExpansion::expand(model, request, {});
    QVERIFY2(result.ok(), qPrintable(result.errors.join('\n')));
    QCOMPARE(result.devices.size(), 1);

    std::unique_ptr<QStandardItem> made(TemplateExpansion::makeItem(result.devices.first()));
    const ModbusDeviceRecord device = ModbusDeviceRecord::fromItem(made.get());
    QCOMPARE(device.name, QStringLiteral("Line 1"));
    QCOMPARE(device.mode, ModbusDeviceRecord::Rtu);
    QCOMPARE(device.serial.serialPort, original.serial.serialPort);
    QCOMPARE(device.serial.parityBit, original.serial.parityBit);
    QCOMPARE(device.serial.rtsEnable, original.serial.rtsEnable);
    QCOMPARE(device.rtuCommunicationTimeout, original.rtuCommunicationTimeout);
    QCOMPARE(device.slaves.size(), 3);
    const ModbusSlaveRecord &source = original.slaves.first();
    for (int i = 0; i < 3; ++i) {
        const ModbusSlaveRecord &slave = device.slaves.at(i);
        QCOMPARE(slave.title, QStringLiteral("Modbus-%1").arg(i + 1));
        QCOMPARE(slave.stationNum, QString::number(i + 1));
        // Only the names differ, by station, as they must be unique within the device.
        QList<QStringList> expected = source.points;
        for (QStringList &point : expected)
            point[1] += QStringLiteral("_%1").arg(i + 1);
        QCOMPARE(slave.points, expected);
        QCOMPARE(slave.byteOrder, source.byteOrder);
        QCOMPARE(slave.startAddress0, source.startAddress0);
    }
}

void TestTemplates::tcpTemplateAddedForThreeHosts()
{
    const DeviceTemplate model = throughFile(DeviceTemplate::fromModbus(typedModbus(ModbusDeviceRecord::Tcp)));
    TemplateExpansion::Request request;
    request.namePattern = QStringLiteral("Drive {n}");
    request.hosts = QStringLiteral("10.0.0.254-10.0.1.0");
    const TemplateExpansion::Result result = TemplateExpansion::expand(model, request, {QStringLiteral("Drive 4")});
    QVERIFY2(result.ok(), qPrintable(result.errors.join('\n')));
    QCOMPARE(result.devices.size(), 3);
    const QStringList hosts{"10.0.0.254", "10.0.0.255", "10.0.1.0"};
    for (int i = 0; i < 3; ++i) {
        const ModbusDeviceRecord &device = result.devices.at(i).modbus;
        QCOMPARE(device.name, QStringLiteral("Drive %1").arg(i + 1));
        QCOMPARE(device.ip, hosts.at(i));
        QCOMPARE(device.port, QStringLiteral("502"));
        QCOMPARE(device.slaves.size(), 1);
        QCOMPARE(device.slaves.first().stationNum, QStringLiteral("7")); // the unit id stays
        QCOMPARE(device.slaves.first().points.size(), 4);
    }

    // A name already in the Standard folder: nothing is made.
    request.hosts = QStringLiteral("10.0.0.1-4");
    const TemplateExpansion::Result clash = TemplateExpansion::expand(model, request, {QStringLiteral("Drive 4")});
    QVERIFY(!clash.ok());
    QVERIFY(clash.devices.isEmpty());
    QVERIFY(clash.errors.first().contains(QStringLiteral("Drive 4")));
}

void TestTemplates::tcpHostsAndPorts_data()
{
    QTest::addColumn<QString>("hosts");
    QTest::addColumn<QString>("ports");
    QTest::addColumn<QStringList>("expected"); // "ip:port"; empty: refused

    QTest::newRow("list, template port") << "192.168.1.5, 192.168.1.9;192.168.1.7" << ""
                                         << QStringList{"192.168.1.5:502", "192.168.1.9:502", "192.168.1.7:502"};
    QTest::newRow("one port for all") << "192.168.1.5-6" << "1502" << QStringList{"192.168.1.5:1502", "192.168.1.6:1502"};
    QTest::newRow("port per host") << "192.168.1.5-6" << "502-503" << QStringList{"192.168.1.5:502", "192.168.1.6:503"};
    QTest::newRow("port count differs") << "192.168.1.5-7" << "502,503" << QStringList();
    QTest::newRow("leading zero") << "192.168.1.010" << "" << QStringList();
    QTest::newRow("backwards range") << "192.168.1.9-192.168.1.5" << "" << QStringList();
    QTest::newRow("port zero") << "192.168.1.5" << "0" << QStringList();
    QTest::newRow("port -1 typed") << "192.168.1.5" << "-1" << QStringList();
    QTest::newRow("huge range") << "10.0.0.0-10.255.255.255" << "" << QStringList();
    QTest::newRow("nothing") << " , " << "" << QStringList();
}

void TestTemplates::tcpHostsAndPorts()
{
    QFETCH(QString, hosts);
    QFETCH(QString, ports);
    QFETCH(QStringList, expected);
    const DeviceTemplate model = DeviceTemplate::fromModbus(typedModbus(ModbusDeviceRecord::Tcp));
    const TemplateExpansion::Result result =
        TemplateExpansion::expand(model, {QStringLiteral("D{n}"), hosts, ports, QString(), QString()}, {});
    QStringList made;
    for (const TemplateExpansion::Device &device : result.devices)
        made << device.modbus.ip + ':' + device.modbus.port;
    QCOMPARE(made, expected);
    QCOMPARE(result.ok(), !expected.isEmpty());
}

void TestTemplates::serialAddresses_data()
{
    QTest::addColumn<bool>("meters");
    QTest::addColumn<QString>("addresses");
    QTest::addColumn<QStringList>("expected"); // station numbers or meter addresses; empty: refused

    QTest::newRow("stations") << false << "1-3, 10" << QStringList{"1", "2", "3", "10"};
    QTest::newRow("station 0") << false << "0-2" << QStringList();
    QTest::newRow("station 248") << false << "248" << QStringList();
    QTest::newRow("station text") << false << "one" << QStringList();
    QTest::newRow("meters") << true << "000000000099-000000000101 a1b2c3d4e5f6"
                            << QStringList{"000000000099", "000000000100", "000000000101", "A1B2C3D4E5F6"};
    QTest::newRow("short meter address") << true << "12345" << QStringList();
    QTest::newRow("hex range") << true << "00000000000A-00000000000F" << QStringList();
}

void TestTemplates::serialAddresses()
{
    QFETCH(bool, meters);
    QFETCH(QString, addresses);
    QFETCH(QStringList, expected);
    DeviceTemplate model;
    TemplateProblems problems;
    QVERIFY(DeviceTemplate::parse(meters ? meterJson("02010100|Ua") : modbusJson("40001|P|uint16|1|r"), &model,
                                  &problems));
    const TemplateExpansion::Result result =
        TemplateExpansion::expand(model, {QStringLiteral("Line"), QString(), QString(), addresses, QStringLiteral("COM3")}, {});
    QCOMPARE(result.ok(), !expected.isEmpty());
    QStringList made;
    for (const TemplateExpansion::Device &device : result.devices) {
        for (const ModbusSlaveRecord &slave : device.modbus.slaves)
            made << slave.stationNum;
        for (const Dlt645MeterRecord &meter : device.dlt645.meters)
            made << meter.slaveAddress;
        QCOMPARE(meters ? device.dlt645.serial.serialPort : device.modbus.serial.serialPort, QStringLiteral("COM3"));
    }
    QCOMPARE(made, expected);
}

void TestTemplates::dlt645ItemsSurviveALanguageChange()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(":/adsdemo/chinese.qm")));
    QCoreApplication::installTranslator(&chinese);

    // Typed in the Chinese interface: the rows hold the Chinese names of the catalogue.
    TemplateMeter typed;
    typed.edition = Dlt645Catalogue::Edition1997Text;
    typed.items = {{"B611", "Ua"}, {"9010", "Ep"}};
    Dlt645DeviceRecord device;
    device.name = QStringLiteral("meters");
    device.protocol = QStringLiteral("DLT645");
    device.meters.append({QStringLiteral("DLT645-1"), QStringLiteral("000000000001"), typed.edition,
                          DeviceTemplate::meterRows(typed)});
    const QString chineseVoltage = device.meters.first().points.at(
        Dlt645Catalogue::sourceNames(Dlt645Catalogue::Edition::V1997).indexOf("A-phase voltage")).dataName;
    QVERIFY(chineseVoltage != QLatin1String("A-phase voltage"));
    const QByteArray saved = DeviceTemplate::fromDlt645(device).toBytes();
    QCoreApplication::removeTranslator(&chinese);

    DeviceTemplate model;
    TemplateProblems problems;
    QVERIFY(DeviceTemplate::parse(saved, &model, &problems));
    const TemplateExpansion::Result result =
        TemplateExpansion::expand(model, {QStringLiteral("M"), {}, {}, QStringLiteral("000000000001"), {}}, {});
    QVERIFY(result.ok());
    const Dlt645MeterRecord &meter = result.devices.first().dlt645.meters.first();
    QCOMPARE(meter.points.size(), 30);
    QStringList selected;
    for (const Dlt645PointRecord &point : meter.points) {
        if (point.selected)
            selected << point.dataName + '=' + point.name;
    }
    // Catalogue order, English names, the user's names.
    QCOMPARE(selected, (QStringList{"Positive active total electrical energy=Ep", "A-phase voltage=Ua"}));
}

void TestTemplates::projectFileAsTyped()
{
    // Typed: what the editors' Save leaves in the items, one TCP device and one DL/T 645 line.
    QStandardItemModel typedModel;
    QStandardItem *typed = newProject(&typedModel);
    ModbusDeviceRecord tcp = typedModbus(ModbusDeviceRecord::Tcp);
    tcp.name = QStringLiteral("Meter 1");
    QStandardItem *tcpItem = ProjectItems::newDevice(QIcon(), tcp.name, tcp.protocol);
    ModbusDeviceRecord::writeDefaults(tcpItem); // the editor writes them when it opens
    tcp.commitTo(tcpItem);
    typed->child(0)->appendRow(tcpItem);
    Dlt645DeviceRecord line;
    line.name = QStringLiteral("Line");
    line.protocol = QStringLiteral("DLT645");
    line.serial = {QStringLiteral("COM1"), QStringLiteral("2400"), QStringLiteral("8"), QStringLiteral("1"),
                   QStringLiteral("EVEN"), false, QStringLiteral("-1")};
    line.communicationTimeout = QStringLiteral("2000");
    line.collectionInterval = QStringLiteral("2000");
    for (const QString &address : {QStringLiteral("000000000001"), QStringLiteral("000000000002")}) {
        TemplateMeter items; // names unique within the device, as the checks want them
        items.items = {{"02010100", "Ua_" + address}, {"00010000", "Ep_" + address}};
        line.meters.append({QStringLiteral("DLT645-%1").arg(line.meters.size() + 1), address,
                            QStringLiteral("DLT645_2007"), DeviceTemplate::meterRows(items)});
    }
    QStandardItem *lineItem = ProjectItems::newDevice(QIcon(), line.name, line.protocol);
    Dlt645DeviceRecord::writeDefaults(lineItem);
    line.commitTo(lineItem);
    typed->child(0)->appendRow(lineItem);

    // From templates: the same two devices.
    QStandardItemModel madeModel;
    QStandardItem *made = newProject(&madeModel);
    for (const QString &name : {QStringLiteral("tcp-meter.json"), QStringLiteral("dlt645-line.json")}) {
        const TemplateLibrary::Entry entry = TemplateLibrary::read(kTemplateData + name);
        QVERIFY2(entry.usable(), qPrintable(entry.problems.value(0).describe()));
        const bool tcpTemplate = !entry.device.usesSerialLine();
        const TemplateExpansion::Result result = TemplateExpansion::expand(
            entry.device,
            {tcpTemplate ? QStringLiteral("Meter {n}") : QStringLiteral("Line"), QStringLiteral("192.168.1.60"),
             QString(), QStringLiteral("000000000001-000000000002"), QString()},
            {});
        QVERIFY(result.ok());
        for (const TemplateExpansion::Device &device : result.devices)
            made->child(0)->appendRow(TemplateExpansion::makeItem(device));
    }

    const QByteArray typedBytes = ProjectJson::projectFileBytes(typed);
    QCOMPARE(ProjectJson::projectFileBytes(made), typedBytes);
    QFile golden(kTemplateData + QStringLiteral("project-as-typed.json"));
    QVERIFY(golden.open(QIODevice::ReadOnly));
    QCOMPARE(typedBytes, golden.readAll());
}

void TestTemplates::brokenTemplatesAreRefused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected"); // TemplateProblem::describe() prefixes, in order

    QTest::newRow("duplicate name") << modbusJson("40001|P|uint16|1|r;40002|P|uint16|1|r")
                                    << QStringList{"Modbus-1, row 2, Name: The name 'P' is already used in Modbus-1, row 1."};
    QTest::newRow("overlap") << modbusJson("40001|P|float|1|r;40002|Q|uint16|1|r")
                             << QStringList{"Modbus-1, row 2, Address: The point overlaps the point of row 1."};
    QTest::newRow("past the table") << modbusJson("465536|S|string|4|r")
                                    << QStringList{"Modbus-1, row 1, Address: The point's 4 registers run past"};
    QTest::newRow("no such table") << modbusJson("20001|P|uint16|1|r;4000x|Q|uint16|1|r")
                                   << QStringList{"Modbus-1, row 1, Address: '20001' is not an address",
                                                  "Modbus-1, row 2, Address: '4000x' is not an address"};
    QTest::newRow("types and lengths")
        << modbusJson("40001|A|int24|1|r;40010|B|string|0|r;40020|C|string|126|r;00001|D|uint16|1|r")
        << QStringList{"Modbus-1, row 1, Type: 'int24' is not a data type.",
                       "Modbus-1, row 2, Length: The length '0' of a string",
                       "Modbus-1, row 3, Length: The length '126' of a string",
                       "Modbus-1, row 4, Type: A point of a bit table is of type bool"};
    QTest::newRow("permissions and empty name") << modbusJson("40001||uint16|1|w")
                                                << QStringList{"Modbus-1, row 1, Name: The point has no name.",
                                                               "Modbus-1, row 1, Permissions: The permissions 'w'"};
    QTest::newRow("station") << modbusJson("40001|P|uint16|1|r", "248")
                             << QStringList{"Modbus-1, Station Num: The station number '248'"};
    QTest::newRow("unknown item") << meterJson("02010100|Ua;12345678|X")
                                  << QStringList{"DLT645-1, row 2, Data name: '12345678' is no data item of DLT645_2007."};
    QTest::newRow("2007 item on a 1997 meter") << meterJson("00150000|Ea", "DLT645_1997")
                                               << QStringList{"DLT645-1, row 1, Data name: '00150000' is no data item"};
    QTest::newRow("item twice, by either code") << meterJson("02010100|Ua;B611|Ua2")
                                                << QStringList{"DLT645-1, row 2, Data name: The data item 'B611' is already selected in row 1."};
    QTest::newRow("edition") << meterJson("02010100|Ua", "DLT645_2020")
                             << QStringList{"DLT645-1, Protocol Version: The edition 'DLT645_2020'"};
    QByteArray newer = meterJson("02010100|Ua");
    newer.replace("\"formatVersion\": 1", "\"formatVersion\": 2");
    QTest::newRow("newer format") << newer << QStringList{"The template's format version is 2; this program reads version 1."};
    QTest::newRow("project file") << QByteArray(R"({"name":"p","standards":[]})") << QStringList{"The file is not a device template."};
    QTest::newRow("not JSON") << QByteArray("{\"format\":") << QStringList{"The file is not valid JSON"};
    QTest::newRow("too large") << QByteArray(DeviceTemplate::FileLimit + 1, ' ') << QStringList{"The file cannot be read"};
}

void TestTemplates::brokenTemplatesAreRefused()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(json) == json.size());
    file.close();

    TemplateLibrary library(dir.filePath(QStringLiteral("own")), {});
    TemplateProblems problems;
    QString error;
    QVERIFY(!library.importFile(path, &problems, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(problems.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(problems.at(i).describe().startsWith(expected.at(i)), qPrintable(problems.at(i).describe()));
    QVERIFY(jsonFiles(library.ownFolder()).isEmpty());
}

void TestTemplates::libraryListsImportsAndDeletes()
{
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkpath(shared));
    QVERIFY(QFile::copy(kTemplateData + QStringLiteral("tcp-meter.json"), shared + QStringLiteral("/meter.json")));
    QSettings settings(dir.filePath(QStringLiteral("Settings.ini")), QSettings::IniFormat);
    settings.setValue(TemplateLibrary::FoldersKey, QStringList{shared});
    TemplateLibrary library = TemplateLibrary::fromSettings(settings);
    QCOMPARE(library.ownFolder(), m_data.path() + QStringLiteral("/templates"));

    // Saved twice under the same name: two files, neither overwritten.
    const DeviceTemplate own = DeviceTemplate::fromModbus(typedModbus(ModbusDeviceRecord::Rtu));
    TemplateProblems problems;
    QString error;
    QString first;
    QString second;
    QVERIFY(library.save(own, &problems, &error, &first));
    QVERIFY(library.save(own, &problems, &error, &second));
    QVERIFY(first != second);

    QString imported;
    QVERIFY(library.importFile(shared + QStringLiteral("/meter.json"), &problems, &error, &imported));
    QCOMPARE(QFileInfo(imported).absolutePath(), library.ownFolder());

    const QVector<TemplateLibrary::Entry> entries = library.list();
    int mine = 0;
    int fromShared = 0;
    int examples = 0;
    for (const TemplateLibrary::Entry &entry : entries) {
        QVERIFY2(entry.usable(), qPrintable(entry.path));
        mine += entry.own;
        fromShared += entry.path.startsWith(shared);
        examples += entry.device.example;
    }
    QCOMPARE(mine, 3);
    QCOMPARE(fromShared, 1);
    QVERIFY(examples >= 2);

    // Only the own folder's files may go.
    QVERIFY(!library.remove(shared + QStringLiteral("/meter.json"), &error));
    QVERIFY(QFile::exists(shared + QStringLiteral("/meter.json")));
    QVERIFY(library.remove(first, &error));
    QVERIFY(!QFile::exists(first));
    QVERIFY(QDir(library.ownFolder()).removeRecursively());
}

void TestTemplates::examplesAreValid()
{
    const QStringList files = QDir(TemplateLibrary::ExamplesFolder).entryList({QStringLiteral("*.json")});
    QVERIFY(files.size() >= 2);
    QStringList protocols;
    for (const QString &file : files) {
        const TemplateLibrary::Entry entry = TemplateLibrary::read(TemplateLibrary::ExamplesFolder + '/' + file);
        QVERIFY2(entry.usable(), qPrintable(file + ": " + entry.problems.value(0).describe()));
        QVERIFY(entry.device.example);
        protocols << entry.device.protocol;

        // What they make passes the project checks.
        QStandardItemModel model;
        QStandardItem *project = newProject(&model);
        const TemplateExpansion::Result result = TemplateExpansion::expand(
            entry.device, {QStringLiteral("D{n}"), QStringLiteral("192.168.1.10-11"), QString(),
                           entry.device.isDlt645() ? QStringLiteral("000000000001-000000000002") : QStringLiteral("1-2"),
                           QString()}, {});
        QVERIFY(result.ok());
        for (const TemplateExpansion::Device &device : result.devices)
            project->child(0)->appendRow(TemplateExpansion::makeItem(device));
        for (const CheckFinding &finding : ProjectChecker::check(project))
            QVERIFY2(finding.severity != CheckFinding::Error, qPrintable(file + ": " + finding.text));
    }
    QVERIFY(protocols.contains("Modbus") && protocols.contains("DLT645"));
}

void TestTemplates::windowSearchesImportsExportsDeletes()
{
    QTemporaryDir dir;
    const QString own = dir.filePath(QStringLiteral("own"));
    TemplatesWindow window(TemplateLibrary(own, {}));
    QTableWidget *table = window.table();
    const int examples = table->rowCount();
    QVERIFY(examples >= 2);
    window.searchEdit()->setText(QStringLiteral("io-8di"));
    QCOMPARE(visibleRows(table), 1);
    window.searchEdit()->setText(QStringLiteral("generic"));
    QCOMPARE(visibleRows(table), examples);
    window.searchEdit()->clear();

    // A broken file is refused, its problem named by place, and nothing is copied.
    const QString broken = dir.filePath(QStringLiteral("broken.json"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(modbusJson("40001|P|uint16|1|r;40001|Q|uint16|1|r"));
    file.close();
    QString warning;
    FileDialogs::setNextAnswerForTesting(broken);
    ModalAnswer::answerNext(QMessageBox::Ok, &warning);
    window.importTemplate();
    QVERIFY2(warning.contains(QStringLiteral("Modbus-1, row 2, Address")), qPrintable(warning));
    QCOMPARE(table->rowCount(), examples);
    QVERIFY(jsonFiles(own).isEmpty());

    FileDialogs::setNextAnswerForTesting(kTemplateData + QStringLiteral("tcp-meter.json"));
    window.importTemplate();
    QCOMPARE(table->rowCount(), examples + 1);
    QCOMPARE(jsonFiles(own).size(), 1);

    // Examples may be exported but not deleted; the own copy may be deleted.
    int mine = -1;
    int example = -1;
    for (int row = 0; row < table->rowCount(); ++row)
        (window.entryAt(row)->own ? mine : example) = row;
    table->selectRow(example);
    QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("deleteButton"))->isEnabled());
    const QString exported = dir.filePath(QStringLiteral("exported.json"));
    FileDialogs::setNextAnswerForTesting(exported);
    window.exportTemplate();
    QVERIFY(TemplateLibrary::read(exported).usable());

    bool textShown = false;
    onNextDialog(QStringLiteral("templateText"), [&](QDialog *viewer) {
        textShown = viewer->findChild<QPlainTextEdit *>()->toPlainText().contains(DeviceTemplate::FormatName);
        viewer->reject();
    });
    window.openAsText();
    QVERIFY(textShown);

    table->selectRow(mine);
    ModalAnswer::answerNext(QMessageBox::Yes);
    window.deleteTemplate();
    QCOMPARE(table->rowCount(), examples);
    QVERIFY(jsonFiles(own).isEmpty());
}

void TestTemplates::editorSavesItsUnsavedState()
{
    std::unique_ptr<QStandardItem> item(committed(typedModbus(ModbusDeviceRecord::Rtu)));
    standardModbusEditDialog editor(item.get());
    editor.nameEdit()->setText(QStringLiteral("Edited")); // not saved into the item

    QString saved;
    onNextDialog(QStringLiteral("saveTemplateDialog"), [&saved](QDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("templateMaker"))->setText(QStringLiteral("ACME"));
        ModalAnswer::answerNext(QMessageBox::Ok, &saved);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    });
    editor.findChild<QPushButton *>(QStringLiteral("saveTemplateButton"))->click();
    QVERIFY2(saved.contains(QStringLiteral("'Edited'")), qPrintable(saved));
    QCOMPARE(item->text(), QStringLiteral("Meter"));

    const QString ownFolder = userTemplateLibrary().ownFolder();
    const QStringList files = jsonFiles(ownFolder);
    QCOMPARE(files.size(), 1);
    const TemplateLibrary::Entry entry = TemplateLibrary::read(ownFolder + '/' + files.first());
    QVERIFY(entry.usable());
    QCOMPARE(entry.device.maker, QStringLiteral("ACME"));
    QCOMPARE(entry.device.slaves.first().points, typedModbus(ModbusDeviceRecord::Rtu).slaves.first().points);
    QVERIFY(QFile::remove(ownFolder + '/' + files.first()));
}

void TestTemplates::addFromTemplateThroughTheMenu()
{
    QTemporaryDir work;
    QVERIFY(QDir::setCurrent(work.path()));
    CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
    const QString ownFolder = userTemplateLibrary().ownFolder();
    QVERIFY(QDir().mkpath(ownFolder));
    QVERIFY(QFile::copy(kTemplateData + QStringLiteral("tcp-meter.json"), ownFolder + QStringLiteral("/meter.json")));

    CMainWindow window;
    window.handleProjectCreated(QStringLiteral("site"), work.path(), QString());
    QStandardItem *project = window.projectModel()->findItems(QStringLiteral("site")).value(0);
    QVERIFY(project);
    QStandardItem *standards = project->child(0);
    window.projectView()->setCurrentIndex(standards->index());

    // Wrong hosts: nothing to add; cancelled: nothing added.
    bool refused = false;
    onNextDialog(QStringLiteral("addFromTemplateDialog"), [&](QDialog *dialog) {
        auto *add = static_cast<AddFromTemplateDialog *>(dialog);
        add->templateCombo()->setCurrentText(QStringLiteral("Meter"));
        add->hostsEdit()->setText(QStringLiteral("192.168.1.300"));
        refused = !add->addButton()->isEnabled() && add->problemLabel()->text().contains(QStringLiteral("192.168.1.300"));
        add->addButton()->click(); // disabled: nothing happens
        add->reject();
    });
    window.standardAddFromTemplateFile();
    QVERIFY(refused);
    QCOMPARE(standards->rowCount(), 0);

    int previewed = 0;
    onNextDialog(QStringLiteral("addFromTemplateDialog"), [&](QDialog *dialog) {
        auto *add = static_cast<AddFromTemplateDialog *>(dialog);
        add->templateCombo()->setCurrentText(QStringLiteral("Meter"));
        add->nameEdit()->setText(QStringLiteral("Meter {n}"));
        add->hostsEdit()->setText(QStringLiteral("192.168.1.10-12"));
        previewed = add->previewTable()->rowCount();
        add->addButton()->click();
    });
    window.standardAddFromTemplateFile();
    QCOMPARE(previewed, 3);
    QCOMPARE(standards->rowCount(), 3);
    QCOMPARE(standards->child(2)->text(), QStringLiteral("Meter 3"));
    QCOMPARE(standards->child(2)->data(Role::ModbusIp).toString(), QStringLiteral("192.168.1.12"));
    const CheckFindings findings = ProjectChecker::check(project);
    QVERIFY(!ProjectChecker::hasErrors(findings));
    QVERIFY(QFile::remove(ownFolder + QStringLiteral("/meter.json")));
}

void TestTemplates::probeMatches_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QVector<quint16>>("words");
    QTest::addColumn<bool>("matches");

    QTest::newRow("uint16 equal") << "holdingRegisters" << "uint16" << "" << "600" << QVector<quint16>{600} << true;
    QTest::newRow("uint16 other") << "holdingRegisters" << "uint16" << "" << "600" << QVector<quint16>{601} << false;
    QTest::newRow("number written otherwise") << "inputRegisters" << "uint16" << "" << "0600" << QVector<quint16>{600}
                                              << true;
    QTest::newRow("float") << "holdingRegisters" << "float" << "" << "1.5" << QVector<quint16>{0x3FC0, 0x0000} << true;
    QTest::newRow("text padded with NULs") << "holdingRegisters" << "string" << "2" << "PM"
                                           << QVector<quint16>{0x504D, 0x0000} << true;
    QTest::newRow("text other") << "holdingRegisters" << "string" << "2" << "PM" << QVector<quint16>{0x5058, 0x0000}
                                << false;
    QTest::newRow("coil") << "coils" << "bool" << "" << "1" << QVector<quint16>{1} << true;
    QTest::newRow("too few registers") << "holdingRegisters" << "float" << "" << "1.5" << QVector<quint16>{0x3FC0}
                                       << false;
    QTest::newRow("unknown table") << "flags" << "uint16" << "" << "1" << QVector<quint16>{1} << false;
}

void TestTemplates::probeMatches()
{
    QFETCH(QString, table);
    QFETCH(QString, type);
    QFETCH(QString, length);
    QFETCH(QString, value);
    QFETCH(QVector<quint16>, words);
    QFETCH(bool, matches);
    TemplateProbe probe;
    probe.table = table;
    probe.address = 100;
    probe.dataType = type;
    probe.length = length;
    probe.value = value;
    QCOMPARE(ModelProbe::matches(probe, words), matches);
}

// Of three known models, the slave reads what one of them reads at its probe; another's probe
// lies where the slave refuses, a third reads another value.
void TestTemplates::probeTellsTheModel()
{
    ModbusTcpTestServer server([](int address) { return quint16(address == 100 ? 600 : 7); });
    server.setReadable({{0, 199}});
    QVERIFY(server.listen(QStringLiteral("127.0.30.1"), 1502));
    ModbusLinkSettings link;
    link.host = QStringLiteral("127.0.30.1");
    link.port = 1502;
    ModbusClient client(link);
    const DeviceTemplate meter = probedModel("ACME", "PM600", 100, "600");
    const DeviceTemplate drive = probedModel("ACME", "VF7", 100, "7");
    const DeviceTemplate far = probedModel("Other", "X1", 5000, "600");
    DeviceTemplate withoutProbe = probedModel("Other", "X2", 100, "600");
    withoutProbe.probe = TemplateProbe();
    const QVector<ModelProbe::Candidate> candidates = ModelProbe::candidates({meter, drive, far, withoutProbe});
    QCOMPARE(candidates.size(), 3);

    ModelProbe probe(&client);
    QSignalSpy finished(&probe, &ModelProbe::finished);
    QVERIFY(probe.start(1, candidates));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toStringList(), QStringList{QStringLiteral("ACME PM600 (PM600)")});
    QCOMPARE(server.requests(), 3);
}

QTEST_MAIN(TestTemplates)
#include "tst_templates.moc"
