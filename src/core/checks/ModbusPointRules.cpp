#include "core/checks/ModbusPointRules.h"

#include "core/modbus/ModbusPoint.h"

#include <QStringList>

// The reader's own rules decide; these functions only translate them for the checks.

ModbusPointRules::Location ModbusPointRules::locate(const QString &address, bool startAddress0)
{
    Location location;
    ModbusPoint::Table table = ModbusPoint::Table::Coils;
    int protocolAddress = -1;
    if (!ModbusPoint::parseAddress(address, startAddress0, &table, &protocolAddress))
        return location;
    switch (table) {
    case ModbusPoint::Table::Coils: location.table = Coils; break;
    case ModbusPoint::Table::DiscreteInputs: location.table = DiscreteInputs; break;
    case ModbusPoint::Table::InputRegisters: location.table = InputRegisters; break;
    case ModbusPoint::Table::HoldingRegisters: location.table = HoldingRegisters; break;
    }
    location.valid = true;
    location.address = protocolAddress;
    return location;
}

int ModbusPointRules::span(Table table, const QString &dataType, const QString &length)
{
    // The first reference of the table ("40001" counted from 1 is address 0) leaves the
    // whole address range to the size rule.
    const QString first = QString::number(int(table)) + QStringLiteral("0001");
    const ModbusPoint point =
        ModbusPoint::fromRow({first, QString(), dataType, length, QString()}, false);
    // A point of unknown type or size still takes its first register.
    return point.count > 0 ? point.count : 1;
}
