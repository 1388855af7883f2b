#include "core/modbus/ModbusValueCodec.h"

#include <cstring>
#include <limits>

namespace {

quint16 swapped(quint16 word)
{
    return quint16((word << 8) | (word >> 8));
}

template <typename To, typename From>
To bitCast(From from)
{
    static_assert(sizeof(To) == sizeof(From), "sizes differ");
    To to;
    std::memcpy(&to, &from, sizeof(To));
    return to;
}

} // namespace

ModbusValueCodec::ByteOrder ModbusValueCodec::byteOrderFromText(const QString &text)
{
    if (text == QLatin1String("BADC"))
        return ByteOrder::BADC;
    if (text == QLatin1String("CDAB"))
        return ByteOrder::CDAB;
    if (text == QLatin1String("DCBA"))
        return ByteOrder::DCBA;
    return ByteOrder::ABCD;
}

quint64 ModbusValueCodec::combine(const QVector<quint16> &words) const
{
    quint64 value = 0;
    const int n = words.size();
    for (int i = 0; i < n; ++i) {
        const quint16 word = words.at(lowWordFirst() ? n - 1 - i : i);
        value = (value << 16) | (swapBytes() ? swapped(word) : word);
    }
    return value;
}

QVector<quint16> ModbusValueCodec::split(quint64 value, int registers) const
{
    QVector<quint16> words(registers);
    for (int i = registers - 1; i >= 0; --i) {
        const quint16 word = quint16(value & 0xFFFF);
        value >>= 16;
        words[lowWordFirst() ? registers - 1 - i : i] = swapBytes() ? swapped(word) : word;
    }
    return words;
}

QString ModbusValueCodec::decode(const ModbusPoint &point, const QVector<quint16> &words) const
{
    if (words.size() < point.count || point.count < 1)
        return QString();
    using T = ModbusPoint::Type;
    if (point.type == T::String) {
        QByteArray bytes;
        bytes.reserve(point.count * 2);
        for (int i = 0; i < point.count; ++i) {
            const quint16 word = words.at(i);
            const char high = char(word >> 8), low = char(word & 0xFF);
            bytes.append(m_charReversed ? low : high);
            bytes.append(m_charReversed ? high : low);
        }
        while (!bytes.isEmpty() && (bytes.endsWith('\0') || bytes.endsWith(' ')))
            bytes.chop(1);
        return QString::fromLatin1(bytes);
    }
    if (point.type == T::Bool)
        return words.at(0) != 0 ? QStringLiteral("1") : QStringLiteral("0");
    const quint64 raw = combine(words.mid(0, point.count));
    switch (point.type) {
    case T::Int8: return QString::number(qint8(quint8(raw & 0xFF)));
    case T::UInt8: return QString::number(quint8(raw & 0xFF));
    case T::Int16: return QString::number(qint16(quint16(raw)));
    case T::UInt16: return QString::number(quint16(raw));
    case T::Int32: return QString::number(qint32(quint32(raw)));
    case T::UInt32: return QString::number(quint32(raw));
    case T::Int64: return QString::number(qint64(raw));
    case T::UInt64: return QString::number(raw);
    case T::Float: return QString::number(double(bitCast<float>(quint32(raw))), 'g', 7);
    case T::Double: return QString::number(bitCast<double>(raw), 'g', 15);
    default: break;
    }
    return QString();
}

bool ModbusValueCodec::encode(const ModbusPoint &point, const QString &text, QVector<quint16> *words,
                              QString *error) const
{
    using T = ModbusPoint::Type;
    const QString value = text.trimmed();
    bool ok = false;
    if (point.type == T::Bool) {
        const bool on = value == QLatin1String("1") || value == QLatin1String("true");
        if (!on && value != QLatin1String("0") && value != QLatin1String("false")) {
            *error = QStringLiteral("a bool is 1 or 0");
            return false;
        }
        // On a register table the value 1 is a register like any other.
        *words = point.isBitTable() ? QVector<quint16>{quint16(on)} : split(on ? 1 : 0, 1);
        return true;
    }
    if (point.type == T::String) {
        QByteArray bytes = text.toLatin1();
        if (bytes.size() > point.count * 2 || QString::fromLatin1(bytes) != text) {
            *error = QStringLiteral("at most %1 Latin-1 characters").arg(point.count * 2);
            return false;
        }
        bytes.append(QByteArray(point.count * 2 - bytes.size(), '\0'));
        words->clear();
        for (int i = 0; i < point.count; ++i) {
            const quint8 first = quint8(bytes.at(2 * i));
            const quint8 second = quint8(bytes.at(2 * i + 1));
            words->append(m_charReversed ? quint16((second << 8) | first) : quint16((first << 8) | second));
        }
        return true;
    }
    quint64 raw = 0;
    const auto inRange = [&](qint64 minimum, qint64 maximum) {
        const qint64 number = value.toLongLong(&ok);
        if (!ok || number < minimum || number > maximum) {
            *error = QStringLiteral("a whole number from %1 to %2").arg(minimum).arg(maximum);
            return false;
        }
        raw = quint64(number);
        return true;
    };
    switch (point.type) {
    case T::Int8:
        if (!inRange(-128, 127))
            return false;
        raw &= 0xFF;
        break;
    case T::UInt8:
        if (!inRange(0, 255))
            return false;
        break;
    case T::Int16:
        if (!inRange(-32768, 32767))
            return false;
        raw &= 0xFFFF;
        break;
    case T::UInt16:
        if (!inRange(0, 65535))
            return false;
        break;
    case T::Int32:
        if (!inRange(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()))
            return false;
        raw &= 0xFFFFFFFFu;
        break;
    case T::UInt32:
        if (!inRange(0, std::numeric_limits<quint32>::max()))
            return false;
        break;
    case T::Int64:
        if (!inRange(std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()))
            return false;
        break;
    case T::UInt64:
        raw = value.toULongLong(&ok);
        if (!ok) {
            *error = QStringLiteral("a whole number from 0 to %1").arg(std::numeric_limits<quint64>::max());
            return false;
        }
        break;
    case T::Float:
    case T::Double: {
        const double number = value.toDouble(&ok);
        if (!ok) {
            *error = QStringLiteral("a number");
            return false;
        }
        raw = point.type == T::Float ? quint64(bitCast<quint32>(float(number))) : bitCast<quint64>(number);
        break;
    }
    default:
        *error = QStringLiteral("unknown type");
        return false;
    }
    *words = split(raw, point.count);
    return true;
}
