#pragma once

// Turns registers found by a register discovery into data-point rows of a slave tab: the
// address written as that tab reads it (its table digit, a reference counted from 0 or from
// 1), one point per selected register or per run of registers the chosen type spans, and a
// name no other row of the tab has. Free of widgets, so the rules are checked on plain values.

#include "core/modbus/ModbusPoint.h"
#include "core/modbus/ModbusValueCodec.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <QVector>

namespace DiscoveredPoints {

// What the rows must fit: the tab's address base and the names its rows already use.
struct Tab {
    bool startAddress0 = true;
    QStringList names;
};

struct Outcome {
    QList<QStringList> rows;  // address, name, type, length, permissions
    // Selected registers that gave no point: the type needs registers after them that were
    // not read.
    QVector<int> leftOut;
};

// The address text of protocol address `address` (0..65535) of `table` in a tab with this
// base: "40001" style, the reference in at least four digits (a six-character text above 9999).
QString addressText(ModbusPoint::Table table, int address, bool startAddress0);

// Whether a point of this type reads the same value in both orders (a 16-bit type sees only
// the byte swap inside its register; a bit no order at all).
bool sameReading(ModbusPoint::Table table, ModbusPoint::Type type, ModbusValueCodec::ByteOrder a,
                 ModbusValueCodec::ByteOrder b);

// The rows for the selected registers of `table`, read-only, in address order. A point starts
// at each selected register not already spanned by the point before it, and only where every
// register it spans was read (`values`). On a bit table every point is a bool.
Outcome rows(ModbusPoint::Table table, const QVector<int> &selected, const QMap<int, quint16> &values,
             ModbusPoint::Type type, const Tab &tab);

} // namespace DiscoveredPoints
