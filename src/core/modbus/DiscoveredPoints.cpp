#include "core/modbus/DiscoveredPoints.h"

#include "core/modbus/RegisterDiscovery.h"

#include <QSet>

#include <algorithm>

namespace DiscoveredPoints {

namespace {

QChar tableDigit(ModbusPoint::Table table)
{
    switch (table) {
    case ModbusPoint::Table::Coils: return QLatin1Char('0');
    case ModbusPoint::Table::DiscreteInputs: return QLatin1Char('1');
    case ModbusPoint::Table::InputRegisters: return QLatin1Char('3');
    case ModbusPoint::Table::HoldingRegisters: return QLatin1Char('4');
    }
    return QLatin1Char('4');
}

bool swapsBytes(ModbusValueCodec::ByteOrder order)
{
    return order == ModbusValueCodec::ByteOrder::BADC || order == ModbusValueCodec::ByteOrder::DCBA;
}

} // namespace

QString addressText(ModbusPoint::Table table, int address, bool startAddress0)
{
    const int reference = startAddress0 ? address : address + 1;
    return tableDigit(table) + QStringLiteral("%1").arg(reference, 4, 10, QLatin1Char('0'));
}

bool sameReading(ModbusPoint::Table table, ModbusPoint::Type type, ModbusValueCodec::ByteOrder a,
                 ModbusValueCodec::ByteOrder b)
{
    if (table == ModbusPoint::Table::Coils || table == ModbusPoint::Table::DiscreteInputs
        || type == ModbusPoint::Type::Bool)
        return true;
    if (ModbusPoint::registersOf(type) == 1)
        return swapsBytes(a) == swapsBytes(b);
    return a == b;
}

Outcome rows(ModbusPoint::Table table, const QVector<int> &selected, const QMap<int, quint16> &values,
             ModbusPoint::Type type, const Tab &tab)
{
    const bool bits = table == ModbusPoint::Table::Coils || table == ModbusPoint::Table::DiscreteInputs;
    if (bits)
        type = ModbusPoint::Type::Bool;
    const int span = qMax(1, ModbusPoint::registersOf(type));

    QVector<int> addresses = selected;
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());

    QSet<QString> taken;
    for (const QString &name : tab.names)
        taken.insert(name);
    const QString base = RegisterDiscovery::tableName(table);

    Outcome outcome;
    int next = -1; // the first register the last point does not span
    for (const int address : qAsConst(addresses)) {
        if (address < next)
            continue;
        bool read = address + span - 1 <= 65535;
        for (int i = 0; i < span && read; ++i)
            read = values.contains(address + i);
        if (!read) {
            outcome.leftOut.append(address);
            continue;
        }
        next = address + span;
        QString name = QStringLiteral("%1_%2").arg(base).arg(address);
        for (int n = 2; taken.contains(name); ++n)
            name = QStringLiteral("%1_%2_%3").arg(base).arg(address).arg(n);
        taken.insert(name);
        outcome.rows.append({addressText(table, address, tab.startAddress0), name, ModbusPoint::typeName(type),
                             QStringLiteral("1"), QStringLiteral("r")});
    }
    return outcome;
}

} // namespace DiscoveredPoints
