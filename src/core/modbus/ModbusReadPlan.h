#pragma once

// Groups the readable points of one slave into as few read requests as the merging rule
// allows: per table, by address, a request grows while the gap to the next point is at most
// 16 registers (128 bits) and the request stays within 125 registers (2000 bits).

#include "core/modbus/ModbusPoint.h"

#include <QVector>

class ModbusReadPlan
{
public:
    static constexpr int MaxRegisters = 125;
    static constexpr int MaxBits = 2000;
    static constexpr int MaxRegisterGap = 16;
    static constexpr int MaxBitGap = 128;

    struct Request {
        ModbusPoint::Table table = ModbusPoint::Table::HoldingRegisters;
        int start = 0;
        int count = 0;
        QVector<int> points; // indexes into the list given to build()
    };

    // Points with an error are left out.
    static QVector<Request> build(const QVector<ModbusPoint> &points);
};
