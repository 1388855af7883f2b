#pragma once

// Turns the registers (or bits) of one point into its value text and a value text back into
// registers, by the slave's byte order and char-reversed setting. The only place these
// rules live; the tool's test window and the simulator both use it.

#include "core/modbus/ModbusPoint.h"

#include <QString>
#include <QVector>

class ModbusValueCodec
{
public:
    // First letter pair: word order; second pair: byte order inside each register.
    enum class ByteOrder { ABCD, BADC, CDAB, DCBA };

    // Unknown texts read as "ABCD".
    static ByteOrder byteOrderFromText(const QString &text);

    explicit ModbusValueCodec(ByteOrder order = ByteOrder::ABCD, bool charReversed = false)
        : m_order(order), m_charReversed(charReversed)
    {
    }

    // `words` holds the point's registers as received, or its bit (0 or 1) on a bit table;
    // it must hold point.count values.
    QString decode(const ModbusPoint &point, const QVector<quint16> &words) const;

    // The registers (or the bit) that write `text` into the point. False with a reason when
    // the text is no value of the point's type.
    bool encode(const ModbusPoint &point, const QString &text, QVector<quint16> *words,
                QString *error) const;

private:
    bool lowWordFirst() const { return m_order == ByteOrder::CDAB || m_order == ByteOrder::DCBA; }
    bool swapBytes() const { return m_order == ByteOrder::BADC || m_order == ByteOrder::DCBA; }
    quint64 combine(const QVector<quint16> &words) const;
    QVector<quint16> split(quint64 value, int registers) const;

    ByteOrder m_order;
    bool m_charReversed;
};
