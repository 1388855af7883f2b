#pragma once

// One slave tab as the reader needs it: station number, value codec, address base and the
// points. A station number outside 0..247 makes every point of the tab fail.

#include "core/modbus/ModbusPoint.h"
#include "core/modbus/ModbusValueCodec.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QVector>

class ModbusSlave
{
public:
    static const QString StationError;

    ModbusSlave() = default;
    // rows: the data-point rows of the tab (address, name, type, length, permissions).
    ModbusSlave(const QString &stationText, const QString &byteOrder, bool startAddress0,
                bool charReversed, const QList<QStringList> &rows);

    // A slave object of the project file ("stationNum", "byteOrder", "startAddress0",
    // "charReversed" as "1"/"0", "datas").
    static ModbusSlave fromJson(const QJsonObject &object);

    QString stationText;
    int station = -1;
    QString error; // StationError or empty
    ModbusValueCodec codec;
    QVector<ModbusPoint> points;
};
