#include "core/project/Dlt645DeviceRecord.h"

#include "core/project/ItemRecord.h"

#include <QStandardItem>

namespace {

Dlt645MeterRecord meterFromRows(const QString &title, const QList<QVariantList> &rows)
{
    Dlt645MeterRecord meter;
    meter.title = title;
    if (!rows.isEmpty() && rows.first().size() >= 2) {
        meter.slaveAddress = rows.first().at(0).toString();
        meter.edition = rows.first().at(1).toString();
    }
    meter.points.reserve(qMax(0, rows.size() - 1));
    for (int r = 1; r < rows.size(); ++r) {
        const QVariantList &stored = rows.at(r);
        auto value = [&stored](int column) {
            return column < stored.size() ? stored.at(column).toString() : QString();
        };
        meter.points.append({value(0) == QLatin1String("true"), value(1), value(2)});
    }
    return meter;
}

QList<QVariantList> rowsOf(const Dlt645MeterRecord &meter)
{
    QList<QVariantList> rows;
    rows.reserve(meter.points.size() + 1);
    rows.append(QVariantList{meter.slaveAddress, meter.edition});
    for (const Dlt645PointRecord &point : meter.points)
        rows.append(QVariantList{point.selected, point.dataName, point.name});
    return rows;
}

} // namespace

Dlt645DeviceRecord Dlt645DeviceRecord::fromItem(const QStandardItem *item)
{
    Dlt645DeviceRecord record;
    record.name = item->text();
    record.protocol = item->data(Role::Protocol).toString();
    record.serial = SerialLineRecord::fromItem(item);
    record.communicationTimeout = item->data(Role::CommunicationTimeout).toString();
    record.collectionInterval = item->data(Role::CollectionInterval).toString();
    const PointTable table = item->data(Role::PointTable).value<PointTable>();
    record.meters.reserve(table.size());
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        record.meters.append(meterFromRows(it.key(), it.value()));
    return record;
}

void Dlt645DeviceRecord::commitTo(QStandardItem *item) const
{
    item->setText(name);
    item->setData(QVariant(protocol), Role::Protocol);
    serial.commitTo(item);
    item->setData(QVariant(communicationTimeout), Role::CommunicationTimeout);
    item->setData(QVariant(collectionInterval), Role::CollectionInterval);

    PointTable table;
    for (const Dlt645MeterRecord &meter : meters)
        table.insert(meter.title, rowsOf(meter));
    item->setData(QVariant::fromValue(table), Role::PointTable);
}

void Dlt645DeviceRecord::writeDefaults(QStandardItem *item)
{
    writeEmptyDefaults(item, {{Role::CommunicationTimeout, QStringLiteral("2000")},
                              {Role::CommunicationGap, QStringLiteral("-1")},
                              {Role::CollectionInterval, QStringLiteral("2000")}});
}
