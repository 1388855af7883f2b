#pragma once

// Meter values by the project file's format strings ("XXXXXX.XX", "XX.XXXX", "NNNNNN", the
// 1997 "XXXXXX.XX " with its trailing blank, ...): the count of digits and decimals comes from
// the format, the byte count is half the digits rounded up, value bytes arrive least
// significant first as BCD. Signed 2007 items carry the sign in the top bit.

#include "core/dlt645/Dlt645Frame.h"

#include <QByteArray>
#include <QString>

namespace Dlt645 {

struct ValueFormat
{
    int digits = 0;
    int decimals = 0;
    int bytes() const { return (digits + 1) / 2; }
    bool isValid() const { return digits > 0; }
};

// An invalid format (digits 0) for a text that is not X/N digits with at most one point.
ValueFormat parseFormat(const QString &format);

// Current, active, reactive and apparent power, and power factor (2007 identifiers
// 0202xxxx..0206xxxx) carry a sign in the highest bit of their most significant byte.
bool isSignedItem(Edition edition, quint32 identifier);

struct Value
{
    Status status = Status::Ok;
    QString text; // exactly the format's decimals, no leading zeros before the point
};

// The unit an item's identifier implies ("kWh", "V", ...), empty where it has none (power
// factor) or the identifier is not one the catalogue knows.
QString unitOf(Edition edition, quint32 identifier);

Value decodeValue(const QByteArray &bytes, const ValueFormat &format, bool isSigned);

} // namespace Dlt645
