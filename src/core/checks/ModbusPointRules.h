#pragma once

// How a Modbus point's address and data type map onto a slave's tables, for the project
// checks: the Modbus reader's rules (modbus/ModbusPoint) seen through the checks' types.

#include <QString>

class ModbusPointRules
{
public:
    enum Table { Coils = 0, DiscreteInputs = 1, InputRegisters = 3, HoldingRegisters = 4 };

    struct Location
    {
        bool valid = false;
        Table table = Coils;
        int address = 0; // protocol address, 0..65535
    };

    // Decimal digits only: up to 5 digits read zero-padded to 5, 6 digits as they are. The
    // first digit picks the table, the rest is the reference; the protocol address is the
    // reference (addresses count from 0) or the reference minus 1.
    static Location locate(const QString &address, bool startAddress0);

    // Registers (or bits on the bit tables) that one point occupies from its address: by data
    // type, "Length" registers for a string, one where the type or length is unreadable.
    static int span(Table table, const QString &dataType, const QString &length);
};
