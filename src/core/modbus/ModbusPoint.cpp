#include "core/modbus/ModbusPoint.h"

#include "core/modbus/ModbusReadPlan.h"

const QString ModbusPoint::AddressError = QStringLiteral("address error");
const QString ModbusPoint::TypeError = QStringLiteral("type error");

namespace {

struct TypeName {
    const char *text;
    ModbusPoint::Type type;
    int registers; // 0: the point's Length
};

const TypeName kTypes[] = {
    {"bool", ModbusPoint::Type::Bool, 1},     {"int8", ModbusPoint::Type::Int8, 1},
    {"uint8", ModbusPoint::Type::UInt8, 1},   {"int16", ModbusPoint::Type::Int16, 1},
    {"uint16", ModbusPoint::Type::UInt16, 1}, {"int32", ModbusPoint::Type::Int32, 2},
    {"uint32", ModbusPoint::Type::UInt32, 2}, {"int64", ModbusPoint::Type::Int64, 4},
    {"uint64", ModbusPoint::Type::UInt64, 4}, {"float", ModbusPoint::Type::Float, 2},
    {"double", ModbusPoint::Type::Double, 4}, {"string", ModbusPoint::Type::String, 0},
};

} // namespace

bool ModbusPoint::parseType(const QString &text, Type *type)
{
    for (const TypeName &entry : kTypes) {
        if (text == QLatin1String(entry.text)) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

QString ModbusPoint::typeName(Type type)
{
    for (const TypeName &entry : kTypes) {
        if (entry.type == type)
            return QLatin1String(entry.text);
    }
    return QString();
}

int ModbusPoint::registersOf(Type type)
{
    for (const TypeName &entry : kTypes) {
        if (entry.type == type)
            return entry.registers;
    }
    return 0;
}

bool ModbusPoint::parseAddress(const QString &text, bool startAddress0, Table *table, int *address)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 6)
        return false;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const QString padded = digits.size() == 6 ? digits : digits.rightJustified(5, QLatin1Char('0'));
    switch (padded.at(0).unicode()) {
    case '0': *table = Table::Coils; break;
    case '1': *table = Table::DiscreteInputs; break;
    case '3': *table = Table::InputRegisters; break;
    case '4': *table = Table::HoldingRegisters; break;
    default: return false;
    }
    const int reference = padded.mid(1).toInt();
    const int protocol = startAddress0 ? reference : reference - 1;
    if (protocol < 0 || protocol > 65535)
        return false;
    *address = protocol;
    return true;
}

ModbusPoint ModbusPoint::fromRow(const QStringList &row, bool startAddress0)
{
    ModbusPoint point;
    point.addressText = row.value(0);
    point.name = row.value(1);
    point.typeText = row.value(2);
    point.permissions = row.value(4);
    if (!parseAddress(point.addressText, startAddress0, &point.table, &point.address)) {
        point.error = AddressError;
        return point;
    }
    if (!parseType(point.typeText, &point.type)) {
        point.error = TypeError;
        return point;
    }
    if (point.isBitTable()) {
        if (point.type != Type::Bool)
            point.error = TypeError;
        point.count = 1;
        return point;
    }
    point.count = registersOf(point.type);
    if (point.type == Type::String) {
        bool ok = false;
        point.count = row.value(3).trimmed().toInt(&ok);
        // A string longer than one request can carry could never be read.
        if (!ok || point.count < 1 || point.count > ModbusReadPlan::MaxRegisters) {
            point.count = 0;
            point.error = TypeError;
            return point;
        }
    }
    if (point.address + point.count - 1 > 65535)
        point.error = AddressError;
    return point;
}

bool ModbusPoint::isWritable() const
{
    return error.isEmpty() && permissions == QLatin1String("rw")
           && (table == Table::Coils || table == Table::HoldingRegisters);
}

int ModbusPoint::readFunction() const
{
    switch (table) {
    case Table::Coils: return 1;
    case Table::DiscreteInputs: return 2;
    case Table::HoldingRegisters: return 3;
    case Table::InputRegisters: return 4;
    }
    return 0;
}
