// The records the editors load from a tree item and commit on Save: nothing a record passes
// through may be lost or changed, and a Modbus device keeps only the fields of its mode.

#include "core/project/Dlt645DeviceRecord.h"
#include "core/project/Iec61850ServiceRecord.h"
#include "core/project/ItemRecord.h"
#include "core/project/ModbusDeviceRecord.h"
#include "core/project/ProjectJson.h"

#include <QFile>
#include <QJsonDocument>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QtTest>

namespace {

// Every record role of a standard device or a service.
const int kFirstRole = Role::Protocol;
const int kLastRole = Role::ServerKeyPassword;

QByteArray readFixture(const QString &name)
{
    QFile file(QStringLiteral(ORVANE_TEST_DATA_DIR "/projectfile/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A point table as its readers see it: every cell as text.
QMap<QString, QList<QStringList>> tableTexts(const QStandardItem *item)
{
    QMap<QString, QList<QStringList>> texts;
    const PointTable table = item->data(Role::PointTable).value<PointTable>();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        QList<QStringList> &rows = texts[it.key()];
        for (const QVariantList &row : it.value()) {
            QStringList cells;
            for (const QVariant &cell : row)
                cells << cell.toString();
            rows << cells;
        }
    }
    return texts;
}

const QVector<int> kTcpRoles{Role::ModbusIp, Role::ModbusPort, Role::ConnectionTimeout, Role::CommunicationTimeout,
                             Role::KeepAlive};
const QVector<int> kRtuRoles{Role::SerialPort, Role::BaudRate, Role::DataBit, Role::StopBit, Role::ParityBit,
                             Role::RtsEnable, Role::CommunicationTimeoutRtu, Role::CommunicationGap};

// The roles a Modbus device leaves unset: those of the mode it does not use.
QVector<int> unusedRoles(const QStandardItem *item)
{
    if (item->data(Role::Protocol).toString() != QLatin1String("Modbus"))
        return {};
    return item->data(Role::Modbus).toString() == QLatin1String("ModbusRTU") ? kTcpRoles : kRtuRoles;
}

// A fresh item holding what the record of `item` commits.
QStandardItem *committedCopy(const QStandardItem *item, const QString &folder)
{
    auto *copy = new QStandardItem;
    if (folder == Folder::Service) {
        Iec61850ServiceRecord::fromItem(item).commitTo(copy);
    } else if (item->data(Role::Protocol).toString() == QLatin1String("Modbus")) {
        ModbusDeviceRecord::fromItem(item).commitTo(copy);
    } else {
        Dlt645DeviceRecord::fromItem(item).commitTo(copy);
    }
    return copy;
}

} // namespace

class TstItemRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTripKeepsEveryField_data();
    void roundTripKeepsEveryField();
    void everyFieldSurvives_data();
    void everyFieldSurvives();
    void modbusKeepsOnlyModeInUse_data();
    void modbusKeepsOnlyModeInUse();
    void shortEntryKeepsNewTabValues();
};

void TstItemRecords::initTestCase()
{
    registerItemRecordTypes();
}

void TstItemRecords::roundTripKeepsEveryField_data()
{
    QTest::addColumn<QString>("file");
    for (const char *name : {"modbus_tcp.json", "modbus_rtu.json", "dlt645.json", "iec61850_client_certs.json"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TstItemRecords::roundTripKeepsEveryField()
{
    QFETCH(QString, file);
    const QByteArray bytes = readFixture(file);
    QVERIFY(!bytes.isEmpty());
    QStandardItemModel model;
    QStandardItem *project =
        ProjectJson::loadProjectIntoModel(&model, QJsonDocument::fromJson(bytes).object(), QStringLiteral("/tmp")).project;
    QVERIFY(project);
    const QByteArray before = ProjectJson::projectFileBytes(project);

    int replaced = 0;
    for (const QString &folderText : {Folder::Standard, Folder::Service}) {
        QStandardItem *folder = childWithText(project, folderText);
        QVERIFY(folder);
        for (int row = 0; row < folder->rowCount(); ++row) {
            const QStandardItem *original = folder->child(row);
            QStandardItem *copy = committedCopy(original, folderText);
            QCOMPARE(copy->text(), original->text());
            const QVector<int> unused = unusedRoles(original);
            for (int role = kFirstRole; role <= kLastRole; ++role) {
                const QString where = QStringLiteral("%1, role %2").arg(original->text()).arg(role);
                if (unused.contains(role))
                    QVERIFY2(!copy->data(role).isValid(), qPrintable(where));
                else if (role != Role::PointTable)
                    QVERIFY2(copy->data(role).toString() == original->data(role).toString(), qPrintable(where));
            }
            QCOMPARE(tableTexts(copy), tableTexts(original));
            folder->setChild(row, copy);
            ++replaced;
        }
    }
    QVERIFY(replaced > 0);
    // Every tab, point and field is still there for the file, byte for byte.
    QCOMPARE(ProjectJson::projectFileBytes(project), before);
}

void TstItemRecords::everyFieldSurvives_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QVector<int>>("roles");

    auto range = [](int first, int last) {
        QVector<int> roles;
        for (int role = first; role <= last; ++role)
            roles << role;
        return roles;
    };
    const QVector<int> standard = range(kFirstRole, Role::CommunicationGap);
    const QVector<int> modbus = standard + range(Role::Modbus, Role::CommunicationTimeoutRtu);
    QTest::newRow("Modbus TCP") << Folder::Standard << "Modbus" << "ModbusTCP" << modbus;
    QTest::newRow("Modbus RTU") << Folder::Standard << "Modbus" << "ModbusRTU" << modbus;
    QTest::newRow("DLT645") << Folder::Standard << "DLT645" << QString() << standard;
    QTest::newRow("IEC61850") << Folder::Service << "IEC61850" << QString() << range(Role::ServiceProtocol, kLastRole);
}

void TstItemRecords::everyFieldSurvives()
{
    QFETCH(QString, folder);
    QFETCH(QString, protocol);
    QFETCH(QString, mode);
    QFETCH(QVector<int>, roles);

    // A text of its own in every field (yes/no fields "true"), so a field dropped or written
    // to another role shows.
    const QVector<int> flags{Role::RtsEnable, Role::EnableGoosePublishing, Role::EnableSSL, Role::IsVerifyClientCert};
    QStandardItem item(QStringLiteral("Item"));
    for (int role : roles)
        item.setData(flags.contains(role) ? QStringLiteral("true") : QStringLiteral("text %1").arg(role), role);
    item.setData(protocol, folder == Folder::Service ? int(Role::ServiceProtocol) : int(Role::Protocol));
    item.setData(mode, Role::Modbus);
    PointTable table;
    table.insert(QStringLiteral("T-1"), {QVariantList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                                      QStringLiteral("true"), QStringLiteral("false")},
                                         QVariantList{QStringLiteral("true"), QStringLiteral("d"), QStringLiteral("e")}});
    if (folder == Folder::Standard)
        item.setData(QVariant::fromValue(table), Role::PointTable);

    QScopedPointer<QStandardItem> copy(committedCopy(&item, folder));
    const QVector<int> unused = unusedRoles(&item);
    QCOMPARE(copy->text(), item.text());
    for (int role : roles) {
        const QString where = QString::number(role);
        if (unused.contains(role))
            QVERIFY2(!copy->data(role).isValid(), qPrintable(where));
        else if (role != Role::PointTable)
            QVERIFY2(copy->data(role).toString() == item.data(role).toString(), qPrintable(where));
    }
    if (folder == Folder::Standard)
        QCOMPARE(tableTexts(copy.data()).value(QStringLiteral("T-1")).value(0).value(1), QStringLiteral("b"));
}

void TstItemRecords::modbusKeepsOnlyModeInUse_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QVector<int>>("kept");
    QTest::addColumn<QVector<int>>("unset");
    QTest::newRow("TCP") << QStringLiteral("ModbusTCP") << kTcpRoles << kRtuRoles;
    QTest::newRow("RTU") << QStringLiteral("ModbusRTU") << kRtuRoles << kTcpRoles;
}

void TstItemRecords::modbusKeepsOnlyModeInUse()
{
    QFETCH(QString, mode);
    QFETCH(QVector<int>, kept);
    QFETCH(QVector<int>, unset);

    QStandardItem item(QStringLiteral("PLC"));
    for (int role : kept + unset)
        item.setData(QStringLiteral("true"), role);
    ModbusDeviceRecord record = ModbusDeviceRecord::fromItem(&item);
    record.mode = mode;
    record.collectionInterval = QStringLiteral("500");
    record.commitTo(&item);

    for (int role : kept)
        QVERIFY2(item.data(role).toString() == QLatin1String("true"), qPrintable(QString::number(role)));
    for (int role : unset)
        QVERIFY2(!item.data(role).isValid(), qPrintable(QString::number(role)));
    QCOMPARE(item.data(Role::Modbus).toString(), mode);
    QCOMPARE(item.data(Role::CollectionInterval).toString(), QStringLiteral("500"));
}

void TstItemRecords::shortEntryKeepsNewTabValues()
{
    // A hand-edited or truncated entry: row 0 too short, points of any length.
    QStandardItem modbus;
    PointTable slaves;
    slaves.insert(QStringLiteral("Modbus-1"), {QVariantList{QStringLiteral("standard"), QStringLiteral("7")},
                                               QVariantList{QStringLiteral("40001")},
                                               QVariantList{}});
    modbus.setData(QVariant::fromValue(slaves), Role::PointTable);
    const ModbusDeviceRecord device = ModbusDeviceRecord::fromItem(&modbus);
    QCOMPARE(device.slaves.size(), 1);
    const ModbusSlaveRecord &slave = device.slaves.first();
    QCOMPARE(slave.stationNum, QStringLiteral("1"));
    QCOMPARE(slave.byteOrder, QStringLiteral("ABCD"));
    QVERIFY(slave.startAddress0);
    QCOMPARE(slave.points, (QList<QStringList>{{QStringLiteral("40001")}, {}}));

    QStandardItem dlt;
    PointTable meters;
    meters.insert(QStringLiteral("DLT645-1"), {QVariantList{QStringLiteral("123")},
                                               QVariantList{QStringLiteral("true"), QStringLiteral("Voltage")}});
    dlt.setData(QVariant::fromValue(meters), Role::PointTable);
    const Dlt645DeviceRecord meter = Dlt645DeviceRecord::fromItem(&dlt);
    QCOMPARE(meter.meters.size(), 1);
    QCOMPARE(meter.meters.first().slaveAddress, QStringLiteral("AAAAAAAAAAAA"));
    QCOMPARE(meter.meters.first().edition, QStringLiteral("DLT645_2007"));
    QCOMPARE(meter.meters.first().points.size(), 1);
    QVERIFY(meter.meters.first().points.first().selected);
    QCOMPARE(meter.meters.first().points.first().dataName, QStringLiteral("Voltage"));
    QVERIFY(meter.meters.first().points.first().name.isEmpty());
}

QTEST_MAIN(TstItemRecords)
#include "tst_itemrecords.moc"
