#include "core/templates/DeviceTemplate.h"

#include "core/dlt645/Dlt645Frame.h"
#include "core/modbus/ModbusPoint.h"
#include "core/modbus/ModbusReadPlan.h"
#include "core/project/Dlt645Catalogue.h"
#include "core/project/PointCsv.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>

#include <algorithm>
#include <vector>

const QString DeviceTemplate::FormatName = QStringLiteral("orvane-device-template");
const QString DeviceTemplate::Modbus = QStringLiteral("Modbus");
const QString DeviceTemplate::Dlt645 = QStringLiteral("DLT645");

namespace {

// Keys of the template file; the link keys are those of the project file.
const QString kFormat = QStringLiteral("format");
const QString kFormatVersion = QStringLiteral("formatVersion");
const QString kExample = QStringLiteral("example");
const QString kMaker = QStringLiteral("maker");
const QString kModel = QStringLiteral("model");
const QString kDescription = QStringLiteral("description");
const QString kName = QStringLiteral("name");
const QString kProtocol = QStringLiteral("protocol");
const QString kLink = QStringLiteral("link");
const QString kMode = QStringLiteral("modbus");
const QString kPort = QStringLiteral("port");
const QString kConnectionTimeout = QStringLiteral("connectionTimeout");
const QString kCommunicationTimeout = QStringLiteral("communicationTimeout");
const QString kKeepAlive = QStringLiteral("keepAlive");
const QString kCollectionInterval = QStringLiteral("collectionInterval");
const QString kSerialPort = QStringLiteral("serialport");
const QString kBaudRate = QStringLiteral("baudRate");
const QString kDataBit = QStringLiteral("dataBit");
const QString kStopBit = QStringLiteral("stopBit");
const QString kParityBit = QStringLiteral("parityBit");
const QString kRtsEnable = QStringLiteral("rtsEnable");
const QString kCommunicationGap = QStringLiteral("communicationGap");
const QString kSlaves = QStringLiteral("slaves");
const QString kSeries = QStringLiteral("series");
const QString kStationNum = QStringLiteral("stationNum");
const QString kByteOrder = QStringLiteral("byteOrder");
const QString kStartAddress0 = QStringLiteral("startAddress0");
const QString kCharReversed = QStringLiteral("charReversed");
const QString kPoints = QStringLiteral("points");
const QString kAddr = QStringLiteral("addr");
const QString kDataType = QStringLiteral("dataType");
const QString kLength = QStringLiteral("length");
const QString kPermissions = QStringLiteral("permissions");
const QString kMeters = QStringLiteral("meters");
const QString kEdition = QStringLiteral("protocolVersion");
const QString kItems = QStringLiteral("items");
const QString kProbe = QStringLiteral("probe");
const QString kTable = QStringLiteral("table");
const QString kAddress = QStringLiteral("address");
const QString kValue = QStringLiteral("value");

const QStringList kByteOrders = {QStringLiteral("ABCD"), QStringLiteral("BADC"), QStringLiteral("CDAB"),
                                 QStringLiteral("DCBA")};
const QStringList kProbeTables = {QStringLiteral("coils"), QStringLiteral("discreteInputs"),
                                  QStringLiteral("inputRegisters"), QStringLiteral("holdingRegisters")};

// Column names as the editors show them, through their own translations.
QString modbusColumn(const char *source)
{
    return QCoreApplication::translate("standardModbusEditDialog", source);
}
QString meterColumn(const char *source)
{
    return QCoreApplication::translate("standardDLT645EditDialog", source);
}
QString fieldLabel(const char *context, const char *source)
{
    QString label = QCoreApplication::translate(context, source);
    if (label.endsWith(QLatin1Char(':')) || label.endsWith(QChar(0xFF1A)))
        label.chop(1);
    return label;
}

QString modbusTitle(int index)
{
    return QStringLiteral("Modbus-%1").arg(index + 1);
}
QString meterTitle(int index)
{
    return QStringLiteral("DLT645-%1").arg(index + 1);
}

Dlt645Catalogue::Edition editionOf(const QString &text)
{
    return text == Dlt645Catalogue::Edition2007Text ? Dlt645Catalogue::Edition::V2007
                                                    : Dlt645Catalogue::Edition::V1997;
}

// The code a meter of this edition is polled with.
QString codeIn(const Dlt645CatalogueEntry &entry, Dlt645Catalogue::Edition edition)
{
    return QString::fromLatin1(edition == Dlt645Catalogue::Edition::V2007 ? entry.code2007 : entry.code1997);
}

// A catalogue entry of this edition for either of its codes, or -1.
int entryOf(const QString &code, const QString &edition)
{
    const int index = Dlt645Catalogue::indexOfCode(code);
    if (index < 0)
        return -1;
    if (editionOf(edition) == Dlt645Catalogue::Edition::V1997 && !Dlt645Catalogue::entries().at(index).in1997())
        return -1;
    return index;
}

QString text(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

bool flag(const QJsonObject &object, const QString &key, bool fallback)
{
    const QJsonValue value = object.value(key);
    return value.isBool() ? value.toBool() : fallback;
}

class Problems
{
public:
    explicit Problems(TemplateProblems *out) : m_out(out) {}
    void add(const QString &slave, int row, const QString &column, const QString &text)
    {
        if (m_out)
            m_out->append({slave, row, column, text});
    }

private:
    TemplateProblems *m_out;
};

QJsonArray arrayOf(const QJsonObject &object, const QString &key, const QString &slave, Problems &problems)
{
    const QJsonValue value = object.value(key);
    if (!value.isUndefined() && !value.isArray())
        problems.add(slave, -1, QString(), DeviceTemplate::tr("'%1' is not a list.").arg(key));
    return value.toArray();
}

// The problems of one tab, put in row order once the tab is done (overlaps are found last).
class TabOrder
{
public:
    explicit TabOrder(TemplateProblems *list) : m_list(list), m_first(list->size()) {}
    ~TabOrder()
    {
        std::stable_sort(m_list->begin() + m_first, m_list->end(),
                         [](const TemplateProblem &a, const TemplateProblem &b) { return a.row < b.row; });
    }

private:
    TemplateProblems *m_list;
    int m_first;
};

bool isNumberIn(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= lowest && value <= highest;
}

} // namespace

QString TemplateProblem::describe() const
{
    QStringList place;
    if (!slave.isEmpty())
        place.append(slave);
    if (row > 0)
        place.append(DeviceTemplate::tr("row %1").arg(row));
    if (!column.isEmpty())
        place.append(column);
    return place.isEmpty() ? text : place.join(QStringLiteral(", ")) + QStringLiteral(": ") + text;
}

int DeviceTemplate::pointCount() const
{
    int count = 0;
    for (const ModbusSlaveRecord &slave : slaves)
        count += slave.points.size();
    for (const TemplateMeter &meter : meters)
        count += meter.items.size();
    return count;
}

DeviceTemplate DeviceTemplate::fromModbus(const ModbusDeviceRecord &device)
{
    DeviceTemplate t;
    t.name = device.name;
    t.protocol = Modbus;
    t.mode = device.mode;
    if (device.usesRtu()) {
        t.serial = device.serial;
        t.communicationTimeout = device.rtuCommunicationTimeout;
    } else {
        t.port = device.port;
        t.connectionTimeout = device.connectionTimeout;
        t.communicationTimeout = device.tcpCommunicationTimeout;
        t.keepAlive = device.keepAlive;
    }
    t.collectionInterval = device.collectionInterval;
    t.slaves = device.slaves;
    for (ModbusSlaveRecord &slave : t.slaves) {
        slave.title.clear();
        // The table has five columns; what a stored row carries beyond them is not the model's.
        for (QStringList &point : slave.points) {
            while (point.size() < 5)
                point.append(QString());
            point = point.mid(0, 5);
        }
    }
    return t;
}

DeviceTemplate DeviceTemplate::fromDlt645(const Dlt645DeviceRecord &device)
{
    DeviceTemplate t;
    t.name = device.name;
    t.protocol = Dlt645;
    t.serial = device.serial;
    t.communicationTimeout = device.communicationTimeout;
    t.collectionInterval = device.collectionInterval;
    const Dlt645Catalogue::NameLookup lookup;
    for (const Dlt645MeterRecord &record : device.meters) {
        TemplateMeter meter;
        meter.edition = record.edition == Dlt645Catalogue::Edition2007Text ? Dlt645Catalogue::Edition2007Text
                                                                            : Dlt645Catalogue::Edition1997Text;
        const Dlt645Catalogue::Edition edition = editionOf(meter.edition);
        for (const Dlt645PointRecord &point : record.points) {
            if (!point.selected || point.dataName.isEmpty())
                continue;
            const Dlt645CatalogueEntry *entry = lookup.find(point.dataName, edition);
            // A row the writer could not save either (no such item in this edition) is no
            // part of the model.
            if (entry)
                meter.items.append({codeIn(*entry, edition), point.name});
        }
        t.meters.append(meter);
    }
    return t;
}

ModbusDeviceRecord DeviceTemplate::toModbus(const QString &deviceName) const
{
    ModbusDeviceRecord device;
    device.name = deviceName;
    device.protocol = Modbus;
    device.mode = mode;
    if (mode == ModbusDeviceRecord::Rtu) {
        device.serial = serial;
        device.rtuCommunicationTimeout = communicationTimeout;
    } else {
        device.port = port;
        device.connectionTimeout = connectionTimeout;
        device.tcpCommunicationTimeout = communicationTimeout;
        device.keepAlive = keepAlive;
    }
    device.collectionInterval = collectionInterval;
    device.slaves = slaves;
    for (int i = 0; i < device.slaves.size(); ++i)
        device.slaves[i].title = modbusTitle(i);
    return device;
}

QList<Dlt645PointRecord> DeviceTemplate::meterRows(const TemplateMeter &meter)
{
    const Dlt645Catalogue::Edition edition = editionOf(meter.edition);
    QHash<int, QString> chosen;
    for (const TemplateMeterItem &item : meter.items) {
        const int index = Dlt645Catalogue::indexOfCode(item.code);
        if (index >= 0)
            chosen.insert(index, item.name);
    }
    const QVector<QString> names = Dlt645Catalogue::translatedNameTable();
    const QVector<Dlt645CatalogueEntry> &entries = Dlt645Catalogue::entries();
    QList<Dlt645PointRecord> rows;
    for (int i = 0; i < entries.size(); ++i) {
        if (edition == Dlt645Catalogue::Edition::V1997 && !entries.at(i).in1997())
            continue;
        const auto it = chosen.constFind(i);
        rows.append({it != chosen.constEnd(), names.at(i), it != chosen.constEnd() ? *it : QString()});
    }
    return rows;
}

Dlt645DeviceRecord DeviceTemplate::toDlt645(const QString &deviceName) const
{
    Dlt645DeviceRecord device;
    device.name = deviceName;
    device.protocol = Dlt645;
    device.serial = serial;
    device.communicationTimeout = communicationTimeout;
    device.collectionInterval = collectionInterval;
    for (int i = 0; i < meters.size(); ++i) {
        Dlt645MeterRecord meter;
        meter.title = meterTitle(i);
        meter.edition = meters.at(i).edition;
        meter.points = meterRows(meters.at(i));
        device.meters.append(meter);
    }
    return device;
}

QJsonObject DeviceTemplate::toJson() const
{
    QJsonObject link{{kCollectionInterval, collectionInterval}, {kCommunicationTimeout, communicationTimeout}};
    if (isModbus())
        link.insert(kMode, mode);
    if (usesSerialLine()) {
        link.insert(kSerialPort, serial.serialPort);
        link.insert(kBaudRate, serial.baudRate);
        link.insert(kDataBit, serial.dataBit);
        link.insert(kStopBit, serial.stopBit);
        link.insert(kParityBit, serial.parityBit);
        link.insert(kRtsEnable, serial.rtsEnable);
        link.insert(kCommunicationGap, serial.communicationGap);
    } else {
        link.insert(kPort, port);
        link.insert(kConnectionTimeout, connectionTimeout);
        link.insert(kKeepAlive, keepAlive);
    }

    QJsonObject root{{kFormat, FormatName},     {kFormatVersion, FormatVersion}, {kName, name},
                     {kMaker, maker},           {kModel, model},                 {kDescription, description},
                     {kProtocol, protocol},     {kLink, link}};
    if (example)
        root.insert(kExample, true);
    if (isModbus()) {
        QJsonArray slaveArray;
        for (const ModbusSlaveRecord &slave : slaves) {
            QJsonArray points;
            for (const QStringList &point : slave.points)
                points.append(QJsonObject{{kAddr, point.value(0)},
                                          {kName, point.value(1)},
                                          {kDataType, point.value(2)},
                                          {kLength, point.value(3)},
                                          {kPermissions, point.value(4)}});
            slaveArray.append(QJsonObject{{kSeries, slave.series},
                                          {kStationNum, slave.stationNum},
                                          {kByteOrder, slave.byteOrder},
                                          {kStartAddress0, slave.startAddress0},
                                          {kCharReversed, slave.charReversed},
                                          {kPoints, points}});
        }
        root.insert(kSlaves, slaveArray);
    } else {
        QJsonArray meterArray;
        for (const TemplateMeter &meter : meters) {
            QJsonArray items;
            for (const TemplateMeterItem &item : meter.items)
                items.append(QJsonObject{{kAddr, item.code}, {kName, item.name}});
            meterArray.append(QJsonObject{{kEdition, meter.edition}, {kItems, items}});
        }
        root.insert(kMeters, meterArray);
    }
    if (probe.isSet())
        root.insert(kProbe, QJsonObject{{kTable, probe.table},
                                        {kAddress, probe.address},
                                        {kDataType, probe.dataType},
                                        {kLength, probe.length},
                                        {kValue, probe.value}});
    return root;
}

QByteArray DeviceTemplate::toBytes() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
}

DeviceTemplate DeviceTemplate::fromJson(const QJsonObject &object, TemplateProblems *problems)
{
    Problems found(problems);
    DeviceTemplate t;
    if (text(object, kFormat) != FormatName) {
        // Whatever else it is, it is not one of ours: one problem says all.
        found.add(QString(), -1, QString(), tr("The file is not a device template."));
        return t;
    }
    const QJsonValue version = object.value(kFormatVersion);
    if (!version.isDouble() || version.toDouble() != FormatVersion)
        found.add(QString(), -1, QString(),
                  tr("The template's format version is %1; this program reads version %2.")
                      .arg(version.isDouble() ? QString::number(version.toDouble()) : tr("missing"))
                      .arg(FormatVersion));
    t.name = text(object, kName);
    t.maker = text(object, kMaker);
    t.model = text(object, kModel);
    t.description = text(object, kDescription);
    t.protocol = text(object, kProtocol);
    t.example = flag(object, kExample, false);

    const QJsonObject link = object.value(kLink).toObject();
    t.mode = text(link, kMode);
    t.port = text(link, kPort);
    t.connectionTimeout = text(link, kConnectionTimeout);
    t.communicationTimeout = text(link, kCommunicationTimeout);
    t.keepAlive = text(link, kKeepAlive);
    t.collectionInterval = text(link, kCollectionInterval);
    t.serial.serialPort = text(link, kSerialPort);
    t.serial.baudRate = text(link, kBaudRate);
    t.serial.dataBit = text(link, kDataBit);
    t.serial.stopBit = text(link, kStopBit);
    t.serial.parityBit = text(link, kParityBit);
    t.serial.rtsEnable = flag(link, kRtsEnable, false);
    t.serial.communicationGap = text(link, kCommunicationGap);

    const QJsonArray slaveArray = arrayOf(object, kSlaves, QString(), found);
    for (int i = 0; i < slaveArray.size(); ++i) {
        const QJsonObject s = slaveArray.at(i).toObject();
        ModbusSlaveRecord slave;
        slave.series = s.contains(kSeries) ? text(s, kSeries) : slave.series;
        slave.stationNum = text(s, kStationNum);
        slave.byteOrder = text(s, kByteOrder);
        slave.startAddress0 = flag(s, kStartAddress0, slave.startAddress0);
        slave.charReversed = flag(s, kCharReversed, slave.charReversed);
        const QJsonArray points = arrayOf(s, kPoints, modbusTitle(i), found);
        slave.points.reserve(points.size());
        for (const QJsonValue &value : points) {
            const QJsonObject p = value.toObject();
            slave.points.append({text(p, kAddr), text(p, kName), text(p, kDataType), text(p, kLength),
                                 text(p, kPermissions)});
        }
        t.slaves.append(slave);
    }
    const QJsonArray meterArray = arrayOf(object, kMeters, QString(), found);
    for (int i = 0; i < meterArray.size(); ++i) {
        const QJsonObject m = meterArray.at(i).toObject();
        TemplateMeter meter;
        meter.edition = text(m, kEdition);
        for (const QJsonValue &value : arrayOf(m, kItems, meterTitle(i), found)) {
            const QJsonObject item = value.toObject();
            meter.items.append({text(item, kAddr), text(item, kName)});
        }
        t.meters.append(meter);
    }
    const QJsonObject probe = object.value(kProbe).toObject();
    if (!probe.isEmpty()) {
        t.probe.table = text(probe, kTable);
        t.probe.address = probe.value(kAddress).isDouble() ? probe.value(kAddress).toInt(-1) : -1;
        t.probe.dataType = text(probe, kDataType);
        t.probe.length = text(probe, kLength);
        t.probe.value = text(probe, kValue);
    }
    return t;
}

bool DeviceTemplate::parse(const QByteArray &bytes, DeviceTemplate *out, TemplateProblems *problems)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        problems->append({QString(), -1, QString(),
                          error.error != QJsonParseError::NoError
                              ? tr("The file is not valid JSON (%1 at byte %2).").arg(error.errorString()).arg(error.offset)
                              : tr("The file is not a device template.")});
        return false;
    }
    const int before = problems->size();
    *out = fromJson(document.object(), problems);
    // A file of another format says so once, rather than through every field it lacks.
    if (problems->size() == before)
        problems->append(out->validate());
    return problems->size() == before;
}

TemplateProblems DeviceTemplate::validate() const
{
    TemplateProblems list;
    Problems found(&list);
    auto general = [&found](const QString &message) { found.add(QString(), -1, QString(), message); };

    if (name.trimmed().isEmpty())
        general(tr("The template has no name."));
    if (!isModbus() && !isDlt645()) {
        general(tr("The protocol '%1' is neither Modbus nor DLT645.").arg(protocol));
        return list;
    }
    if (isModbus() && mode != ModbusDeviceRecord::Tcp && mode != ModbusDeviceRecord::Rtu)
        general(tr("The Modbus mode '%1' is neither ModbusTCP nor ModbusRTU.").arg(mode));
    if (isModbus() && !meters.isEmpty())
        general(tr("A Modbus template cannot have meters."));
    if (isDlt645() && !slaves.isEmpty())
        general(tr("A DLT645 template cannot have Modbus slave tabs."));
    if (isModbus() && !usesSerialLine() && port != QLatin1String("-1") && !isNumberIn(port, 1, 65535))
        general(tr("The port '%1' is not a number from 1 to 65535 (or -1 for the default).").arg(port));
    if (isModbus() && slaves.isEmpty())
        general(tr("The template has no slave tabs."));
    if (isDlt645() && meters.isEmpty())
        general(tr("The template has no meters."));

    // Point names are unique within a device, so within everything one device gets.
    QHash<QString, QPair<QString, int>> names;
    auto checkName = [&](const QString &pointName, const QString &tab, int row, const QString &column) {
        if (pointName.trimmed().isEmpty()) {
            found.add(tab, row, column, tr("The point has no name."));
            return;
        }
        const auto it = names.constFind(pointName);
        if (it != names.constEnd())
            found.add(tab, row, column,
                      tr("The name '%1' is already used in %2, row %3.").arg(pointName, it->first).arg(it->second));
        else
            names.insert(pointName, {tab, row});
    };

    const QString addressColumn = modbusColumn("Address");
    const QString typeColumn = modbusColumn("Type");
    const QString lengthColumn = modbusColumn("Length");
    for (int s = 0; s < slaves.size(); ++s) {
        const ModbusSlaveRecord &slave = slaves.at(s);
        const QString tab = modbusTitle(s);
        const TabOrder order(&list);
        const bool rtu = mode == ModbusDeviceRecord::Rtu;
        if (!isNumberIn(slave.stationNum, rtu ? 1 : 0, rtu ? 247 : 255))
            found.add(tab, 0, fieldLabel("standardModbusEditDialog", "Station Num:"),
                      tr("The station number '%1' is not a number from %2 to %3.")
                          .arg(slave.stationNum)
                          .arg(rtu ? 1 : 0)
                          .arg(rtu ? 247 : 255));
        if (!kByteOrders.contains(slave.byteOrder))
            found.add(tab, 0, fieldLabel("standardModbusEditDialog", "Byte Order:"),
                      tr("The byte order '%1' is not one of %2.").arg(slave.byteOrder, kByteOrders.join(QStringLiteral(", "))));

        struct Span { int table; int first; int last; int row; };
        std::vector<Span> spans;
        for (int r = 0; r < slave.points.size(); ++r) {
            const QStringList &row = slave.points.at(r);
            const int number = r + 1;
            checkName(row.value(1), tab, number, modbusColumn("Name"));
            ModbusPoint::Table table = ModbusPoint::Table::Coils;
            int address = -1;
            const bool located = ModbusPoint::parseAddress(row.value(0), slave.startAddress0, &table, &address);
            if (!located)
                found.add(tab, number, addressColumn,
                          tr("'%1' is not an address of a Modbus table (0xxxx, 1xxxx, 3xxxx, 4xxxx, "
                             "within 0 to 65535).").arg(row.value(0)));
            ModbusPoint::Type type = ModbusPoint::Type::Bool;
            if (!ModbusPoint::parseType(row.value(2), &type)) {
                found.add(tab, number, typeColumn, tr("'%1' is not a data type.").arg(row.value(2)));
            } else if (located && (table == ModbusPoint::Table::Coils || table == ModbusPoint::Table::DiscreteInputs)
                       && type != ModbusPoint::Type::Bool) {
                found.add(tab, number, typeColumn, tr("A point of a bit table is of type bool, not '%1'.").arg(row.value(2)));
            } else if (type == ModbusPoint::Type::String && !isNumberIn(row.value(3).trimmed(), 1, ModbusReadPlan::MaxRegisters)) {
                found.add(tab, number, lengthColumn,
                          tr("The length '%1' of a string is not a number from 1 to %2 registers.")
                              .arg(row.value(3))
                              .arg(ModbusReadPlan::MaxRegisters));
            } else if (type != ModbusPoint::Type::String && !row.value(3).isEmpty() && !isNumberIn(row.value(3), 0, 65535)) {
                found.add(tab, number, lengthColumn, tr("The length '%1' is not a number.").arg(row.value(3)));
            }
            if (!PointCsv::permissions().contains(row.value(4)))
                found.add(tab, number, modbusColumn("Permissions"),
                          tr("The permissions '%1' are neither r nor rw.").arg(row.value(4)));
            if (!located)
                continue;
            const ModbusPoint point = ModbusPoint::fromRow(row, slave.startAddress0);
            const int count = point.count > 0 ? point.count : 1;
            if (point.error == ModbusPoint::AddressError)
                found.add(tab, number, addressColumn,
                          tr("The point's %1 registers run past the end of the table.").arg(count));
            spans.push_back({int(table), address, address + count - 1, number});
        }
        std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) {
            return a.table != b.table ? a.table < b.table : a.first != b.first ? a.first < b.first : a.row < b.row;
        });
        int table = -1;
        int reach = -1;
        int reachRow = -1;
        for (const Span &span : spans) {
            if (span.table != table) {
                table = span.table;
                reach = -1;
            }
            if (span.first <= reach)
                found.add(tab, span.row, addressColumn, tr("The point overlaps the point of row %1.").arg(reachRow));
            if (span.last > reach) {
                reach = span.last;
                reachRow = span.row;
            }
        }
    }

    for (int m = 0; m < meters.size(); ++m) {
        const TemplateMeter &meter = meters.at(m);
        const QString tab = meterTitle(m);
        const TabOrder order(&list);
        if (meter.edition != Dlt645Catalogue::Edition2007Text && meter.edition != Dlt645Catalogue::Edition1997Text)
            found.add(tab, 0, fieldLabel("standardDLT645EditDialog", "Protocol Version:"),
                      tr("The edition '%1' is neither %2 nor %3.")
                          .arg(meter.edition, Dlt645Catalogue::Edition2007Text, Dlt645Catalogue::Edition1997Text));
        QHash<int, int> seen;
        for (int r = 0; r < meter.items.size(); ++r) {
            const TemplateMeterItem &item = meter.items.at(r);
            const int number = r + 1;
            const int entry = entryOf(item.code, meter.edition);
            if (entry < 0)
                found.add(tab, number, meterColumn("Data name"),
                          tr("'%1' is no data item of %2.").arg(item.code, meter.edition));
            else if (seen.contains(entry))
                found.add(tab, number, meterColumn("Data name"),
                          tr("The data item '%1' is already selected in row %2.").arg(item.code).arg(seen.value(entry)));
            else
                seen.insert(entry, number);
            checkName(item.name, tab, number, meterColumn("Name"));
        }
    }

    if (probe.isSet()) {
        const QString where = tr("Identification probe");
        if (!kProbeTables.contains(probe.table))
            found.add(where, -1, QString(), tr("The table '%1' is not one of %2.").arg(probe.table, kProbeTables.join(QStringLiteral(", "))));
        if (probe.address < 0 || probe.address > 65535)
            found.add(where, -1, QString(), tr("The register address is not a number from 0 to 65535."));
        ModbusPoint::Type type = ModbusPoint::Type::Bool;
        if (!ModbusPoint::parseType(probe.dataType, &type))
            found.add(where, -1, QString(), tr("'%1' is not a data type.").arg(probe.dataType));
    }

    return list;
}
