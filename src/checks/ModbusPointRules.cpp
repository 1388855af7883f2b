#include "checks/ModbusPointRules.h"

ModbusPointRules::Location ModbusPointRules::locate(const QString &address, bool startAddress0)
{
    Location location;
    const int digits = address.size();
    if (digits == 0 || digits > 6)
        return location;
    int value = 0;
    for (const QChar c : address) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return location;
        value = value * 10 + (c.unicode() - '0');
    }
    const int divisor = digits == 6 ? 100000 : 10000;
    const int first = value / divisor;
    if (first != Coils && first != DiscreteInputs && first != InputRegisters && first != HoldingRegisters)
        return location;
    const int reference = value % divisor;
    const int protocolAddress = startAddress0 ? reference : reference - 1;
    if (protocolAddress < 0 || protocolAddress > 65535)
        return location;
    location.valid = true;
    location.table = Table(first);
    location.address = protocolAddress;
    return location;
}

int ModbusPointRules::span(Table, const QString &, const QString &)
{
    return 1;
}
