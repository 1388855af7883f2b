#include "core/modbus/ModbusSlave.h"

#include <QJsonArray>

const QString ModbusSlave::StationError = QStringLiteral("station error");

ModbusSlave::ModbusSlave(const QString &text, const QString &byteOrder, bool startAddress0,
                         bool charReversed, const QList<QStringList> &rows)
    : stationText(text)
    , codec(ModbusValueCodec::byteOrderFromText(byteOrder), charReversed)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (ok && number >= 0 && number <= 247)
        station = number;
    else
        error = StationError;
    points.reserve(rows.size());
    for (const QStringList &row : rows)
        points.append(ModbusPoint::fromRow(row, startAddress0));
}

ModbusSlave ModbusSlave::fromJson(const QJsonObject &object)
{
    QList<QStringList> rows;
    for (const QJsonValue &value : object.value(QStringLiteral("datas")).toArray()) {
        const QJsonObject point = value.toObject();
        rows.append({point.value(QStringLiteral("addr")).toString(),
                     point.value(QStringLiteral("name")).toString(),
                     point.value(QStringLiteral("dataType")).toString(),
                     point.value(QStringLiteral("length")).toString(),
                     point.value(QStringLiteral("permissions")).toString()});
    }
    const auto flag = [&object](const char *key) {
        return object.value(QLatin1String(key)).toString() == QLatin1String("1");
    };
    return ModbusSlave(object.value(QStringLiteral("stationNum")).toString(),
                       object.value(QStringLiteral("byteOrder")).toString(), flag("startAddress0"),
                       flag("charReversed"), rows);
}
