#include "core/dlt645/Dlt645Meter.h"

#include "core/project/Dlt645Catalogue.h"
#include "core/project/Dlt645DeviceRecord.h"

namespace {
int intOr(const QString &text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}
} // namespace

Dlt645Line Dlt645Line::fromTexts(const QString &port, const QString &baud, const QString &dataBits,
                                 const QString &stopBits, const QString &parity, const QString &rts,
                                 const QString &timeout, const QString &gap, const QString &interval)
{
    Dlt645Line line;
    line.projectPort = port;
    line.serial.baudRate = intOr(baud, 2400);
    line.serial.dataBits = intOr(dataBits, 8);
    line.serial.stopBits = intOr(stopBits, 1);
    line.serial.parity = parity.isEmpty() ? QStringLiteral("EVEN") : parity;
    line.serial.rts = rts == QLatin1String("1") || rts == QLatin1String("true");
    line.timeoutMs = intOr(timeout, Dlt645Reader::kDefaultTimeoutMs);
    if (line.timeoutMs <= 0)
        line.timeoutMs = Dlt645Reader::kDefaultTimeoutMs; // every request waits a bounded time
    line.gapMs = intOr(gap, -1);
    line.intervalMs = qMax(100, intOr(interval, 2000));
    return line;
}

Dlt645Line Dlt645Line::fromParameters(const QJsonObject &parameter)
{
    const auto text = [&parameter](const char *key) { return parameter.value(QLatin1String(key)).toString(); };
    return fromTexts(text("serialport"), text("baudRate"), text("dataBit"), text("stopBit"), text("parityBit"),
                     text("rtsEnable"), text("communicationTimeout"), text("communicationGap"),
                     text("collectionInterval"));
}

Dlt645Line Dlt645Line::fromRecord(const Dlt645DeviceRecord &record)
{
    const SerialLineRecord &serial = record.serial;
    return fromTexts(serial.serialPort, serial.baudRate, serial.dataBit, serial.stopBit, serial.parityBit,
                     serial.rtsEnable ? QStringLiteral("1") : QStringLiteral("0"), record.communicationTimeout,
                     serial.communicationGap, record.collectionInterval);
}

QString Dlt645Line::describe() const
{
    return QStringLiteral("%1 baud, %2 data bits, %3 stop bits, parity %4")
        .arg(serial.baudRate)
        .arg(serial.dataBits)
        .arg(serial.stopBits)
        .arg(serial.parity);
}

Dlt645Meter Dlt645Meter::fromRecord(const Dlt645MeterRecord &record, bool selectedOnly)
{
    Dlt645Meter meter;
    meter.address = record.slaveAddress;
    meter.edition = record.edition == Dlt645Catalogue::Edition1997Text ? Dlt645::Edition::V1997
                                                                        : Dlt645::Edition::V2007;
    const bool v1997 = meter.edition == Dlt645::Edition::V1997;
    const Dlt645Catalogue::NameLookup lookup;
    for (const Dlt645PointRecord &point : record.points) {
        if (selectedOnly && !point.selected)
            continue;
        Dlt645MeterItem item;
        item.dataItem = point.dataName;
        item.name = point.name;
        if (const Dlt645CatalogueEntry *entry =
                lookup.find(item.dataItem, v1997 ? Dlt645Catalogue::Edition::V1997 : Dlt645Catalogue::Edition::V2007)) {
            item.identifier = QString::fromLatin1(v1997 ? entry->code1997 : entry->code2007);
            item.format = QString::fromLatin1(v1997 ? entry->format1997 : entry->format2007);
        }
        meter.items.append(item);
    }
    return meter;
}

QVector<Dlt645Reader::Item> Dlt645Meter::readerItems(int meterNumber) const
{
    QVector<Dlt645Reader::Item> list;
    list.reserve(items.size());
    for (const Dlt645MeterItem &meterItem : items) {
        Dlt645Reader::Item item;
        item.meter = meterNumber;
        item.addressText = address;
        item.edition = edition;
        item.identifierText = meterItem.identifier;
        item.format = meterItem.format;
        list.append(item);
    }
    return list;
}
