#include "core/project/ModbusDeviceRecord.h"

#include "core/project/ItemRecord.h"

#include <QStandardItem>

const QString ModbusDeviceRecord::Tcp = QStringLiteral("ModbusTCP");
const QString ModbusDeviceRecord::Rtu = QStringLiteral("ModbusRTU");

namespace {

const int kSlaveValues = 5; // row 0: series, station, byte order, start address 0, char reversed

ModbusSlaveRecord slaveFromRows(const QString &title, const QList<QVariantList> &rows)
{
    ModbusSlaveRecord slave;
    slave.title = title;
    if (!rows.isEmpty() && rows.first().size() >= kSlaveValues) {
        const QVariantList &header = rows.first();
        slave.series = header.at(0).toString();
        slave.stationNum = header.at(1).toString();
        slave.byteOrder = header.at(2).toString();
        slave.startAddress0 = header.at(3).toBool();
        slave.charReversed = header.at(4).toBool();
    }
    slave.points.reserve(qMax(0, rows.size() - 1));
    for (int r = 1; r < rows.size(); ++r) {
        QStringList values;
        values.reserve(rows.at(r).size());
        for (const QVariant &value : rows.at(r))
            values.append(value.toString());
        slave.points.append(values);
    }
    return slave;
}

QList<QVariantList> rowsOf(const ModbusSlaveRecord &slave)
{
    QList<QVariantList> rows;
    rows.reserve(slave.points.size() + 1);
    rows.append(QVariantList{slave.series, slave.stationNum, slave.byteOrder, slave.startAddress0,
                             slave.charReversed});
    for (const QStringList &point : slave.points) {
        QVariantList values;
        values.reserve(point.size());
        for (const QString &text : point)
            values.append(text);
        rows.append(values);
    }
    return rows;
}

void setText(QStandardItem *item, int role, bool keep, const QString &text)
{
    item->setData(keep ? QVariant(text) : QVariant(), role);
}

} // namespace

ModbusDeviceRecord ModbusDeviceRecord::fromItem(const QStandardItem *item)
{
    auto text = [item](int role) { return item->data(role).toString(); };
    ModbusDeviceRecord record;
    record.name = item->text();
    record.protocol = text(Role::Protocol);
    record.mode = text(Role::Modbus);
    record.ip = text(Role::ModbusIp);
    record.port = text(Role::ModbusPort);
    record.connectionTimeout = text(Role::ConnectionTimeout);
    record.tcpCommunicationTimeout = text(Role::CommunicationTimeout);
    record.keepAlive = text(Role::KeepAlive);
    record.serial = SerialLineRecord::fromItem(item);
    record.rtuCommunicationTimeout = text(Role::CommunicationTimeoutRtu);
    record.collectionInterval = text(Role::CollectionInterval);
    const PointTable table = item->data(Role::PointTable).value<PointTable>();
    record.slaves.reserve(table.size());
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        record.slaves.append(slaveFromRows(it.key(), it.value()));
    return record;
}

void ModbusDeviceRecord::commitTo(QStandardItem *item) const
{
    item->setText(name);
    item->setData(QVariant(protocol), Role::Protocol);
    item->setData(QVariant(mode), Role::Modbus);

    const bool tcp = usesTcp();
    setText(item, Role::ModbusIp, tcp, ip);
    setText(item, Role::ModbusPort, tcp, port);
    setText(item, Role::ConnectionTimeout, tcp, connectionTimeout);
    setText(item, Role::CommunicationTimeout, tcp, tcpCommunicationTimeout);
    setText(item, Role::KeepAlive, tcp, keepAlive);

    const bool rtu = usesRtu();
    if (rtu)
        serial.commitTo(item);
    else
        SerialLineRecord::clear(item);
    setText(item, Role::CommunicationTimeoutRtu, rtu, rtuCommunicationTimeout);

    item->setData(QVariant(collectionInterval), Role::CollectionInterval);

    PointTable table;
    for (const ModbusSlaveRecord &slave : slaves)
        table.insert(slave.title, rowsOf(slave));
    item->setData(QVariant::fromValue(table), Role::PointTable);
}

void ModbusDeviceRecord::writeDefaults(QStandardItem *item)
{
    writeEmptyDefaults(item, {{Role::ModbusIp, QStringLiteral("192.168.1.60")},
                              {Role::ModbusPort, QStringLiteral("502")},
                              {Role::ConnectionTimeout, QStringLiteral("2000")},
                              {Role::CommunicationTimeout, QStringLiteral("2000")},
                              {Role::KeepAlive, QStringLiteral("60000")},
                              {Role::CommunicationTimeoutRtu, QStringLiteral("2000")},
                              {Role::CommunicationGap, QStringLiteral("-1")},
                              {Role::CollectionInterval, QStringLiteral("2000")}});
}

QJsonObject ModbusDeviceRecord::linkParameters() const
{
    const bool rtu = usesRtu();
    QJsonObject parameter{{Key::CollectionInterval, collectionInterval},
                          {Key::CommunicationTimeout, rtu ? rtuCommunicationTimeout : tcpCommunicationTimeout}};
    if (!rtu) {
        parameter.insert(Key::Ip, ip);
        parameter.insert(Key::Port, port);
        parameter.insert(Key::ConnectionTimeout, connectionTimeout);
    } else {
        parameter.insert(Key::SerialPort, serial.serialPort);
        parameter.insert(Key::BaudRate, serial.baudRate);
        parameter.insert(Key::DataBit, serial.dataBit);
        parameter.insert(Key::StopBit, serial.stopBit);
        parameter.insert(Key::ParityBit, serial.parityBit);
    }
    return parameter;
}
