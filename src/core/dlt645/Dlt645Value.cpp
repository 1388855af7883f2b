#include "core/dlt645/Dlt645Value.h"

namespace Dlt645 {

ValueFormat parseFormat(const QString &format)
{
    ValueFormat parsed;
    bool point = false;
    // The 1997 format of one item ends in a blank, which says nothing about the value.
    for (QChar c : format.trimmed()) {
        if (c == QLatin1Char('X') || c == QLatin1Char('N')) {
            ++parsed.digits;
            if (point)
                ++parsed.decimals;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            return ValueFormat();
        }
    }
    if (parsed.digits == parsed.decimals)
        return ValueFormat();
    return parsed;
}

bool isSignedItem(Edition edition, quint32 identifier)
{
    if (edition != Edition::V2007)
        return false;
    const quint32 group = identifier >> 16;
    return group >= 0x0202 && group <= 0x0206;
}

QString unitOf(Edition edition, quint32 identifier)
{
    if (edition == Edition::V2007) {
        const quint32 group = identifier >> 16;
        if (identifier == 0x04000409)
            return QStringLiteral("imp/kWh");
        if (identifier == 0x0400040A)
            return QStringLiteral("imp/kvarh");
        if (group == 0x0000 || group == 0x0001 || group == 0x0002 || group == 0x0015
            || group == 0x0029 || group == 0x003D)
            return QStringLiteral("kWh");
        if (group >= 0x0003 && group <= 0x0008)
            return QStringLiteral("kvarh");
        switch (group) {
        case 0x0201: return QStringLiteral("V");
        case 0x0202: return QStringLiteral("A");
        case 0x0203: return QStringLiteral("kW");
        case 0x0204: return QStringLiteral("kvar");
        case 0x0205: return QStringLiteral("kVA");
        default: return QString();
        }
    }
    switch (identifier >> 4) {
    case 0x901: case 0x902: return QStringLiteral("kWh");
    case 0x913: case 0x914: case 0x915: case 0x916: return QStringLiteral("kvarh");
    case 0xB61: return QStringLiteral("V");
    case 0xB62: return QStringLiteral("A");
    case 0xB63: return QStringLiteral("kW");
    case 0xB64: return QStringLiteral("kvar");
    default: break;
    }
    if (identifier == 0xC030)
        return QStringLiteral("imp/kWh");
    if (identifier == 0xC031)
        return QStringLiteral("imp/kvarh");
    return QString();
}

Value decodeValue(const QByteArray &bytes, const ValueFormat &format, bool isSigned)
{
    Value value;
    if (!format.isValid() || bytes.size() != format.bytes()) {
        value.status = Status::WrongLength;
        return value;
    }
    bool negative = false;
    QString digits;
    digits.reserve(2 * bytes.size());
    for (int i = bytes.size() - 1; i >= 0; --i) {
        quint8 byte = quint8(bytes.at(i));
        if (isSigned && i == bytes.size() - 1) {
            negative = byte & 0x80;
            byte &= 0x7F;
        }
        for (int nibble : {byte >> 4, byte & 0x0F}) {
            if (nibble > 9) {
                value.status = Status::BadDigits;
                return value;
            }
            digits += QChar('0' + nibble);
        }
    }
    // An odd digit count leaves the top nibble unused: it must be zero.
    if (digits.size() > format.digits) {
        if (digits.at(0) != QLatin1Char('0')) {
            value.status = Status::BadDigits;
            return value;
        }
        digits.remove(0, 1);
    }
    QString whole = digits.left(format.digits - format.decimals);
    const QString fraction = digits.right(format.decimals);
    int firstSignificant = 0;
    while (firstSignificant < whole.size() - 1 && whole.at(firstSignificant) == QLatin1Char('0'))
        ++firstSignificant;
    whole.remove(0, firstSignificant);
    value.text = format.decimals > 0 ? whole + QLatin1Char('.') + fraction : whole;
    // A set sign bit on zero is no negative value.
    if (negative && digits.count(QLatin1Char('0')) != digits.size())
        value.text.prepend(QLatin1Char('-'));
    return value;
}

} // namespace Dlt645
