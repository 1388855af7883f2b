// Register words as a device may send them, decoded as every point type in every byte order,
// plus the address text and reading plan of points made from the same bytes.
// Input: byte 0 picks the type, byte 1 the byte order and char reversal, byte 2 the string
// length; the following 2-byte pairs are the registers; the whole input is also tried as an
// address text.

#include "FuzzCheck.h"
#include "core/modbus/ModbusPoint.h"
#include "core/modbus/ModbusReadPlan.h"
#include "core/modbus/ModbusValueCodec.h"

#include <QString>
#include <QVector>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    static const char *types[] = {"bool", "int8", "uint8", "int16", "uint16", "int32", "uint32",
                                  "int64", "uint64", "float", "double", "string"};
    const QString type = QString::fromLatin1(types[data[0] % 12]);
    const auto order = ModbusValueCodec::ByteOrder(data[1] % 4);
    const bool reversed = data[1] & 0x80;
    const ModbusValueCodec codec(order, reversed);
    const ModbusPoint point = ModbusPoint::fromRow(
        {QStringLiteral("40001"), QStringLiteral("p"), type, QString::number(data[2]), QStringLiteral("rw")}, false);

    QVector<quint16> words;
    for (size_t i = 3; i + 1 < size; i += 2)
        words.append(quint16((data[i] << 8) | data[i + 1]));

    const QString text = codec.decode(point, words);
    if (!point.error.isEmpty() || words.size() < point.count) {
        FUZZ_CHECK(text.isEmpty());
    } else if (point.type == ModbusPoint::Type::String) {
        FUZZ_CHECK(text.size() <= 2 * point.count);
    } else {
        FUZZ_CHECK(!text.isEmpty());
        // Whole-register integers survive a write of what was read.
        const bool exact = point.count >= 1 && point.type != ModbusPoint::Type::Float
                           && point.type != ModbusPoint::Type::Double && point.type != ModbusPoint::Type::Bool
                           && point.type != ModbusPoint::Type::Int8 && point.type != ModbusPoint::Type::UInt8;
        QVector<quint16> back;
        QString error;
        FUZZ_CHECK(codec.encode(point, text, &back, &error));
        FUZZ_CHECK(back.size() == point.count);
        if (exact)
            FUZZ_CHECK(back == words.mid(0, point.count));
    }

    // The same bytes as address texts of many points: the plan stays within its limits.
    QVector<ModbusPoint> points;
    const QString all = QString::fromLatin1(reinterpret_cast<const char *>(data), int(size));
    for (const QString &address : all.split(QLatin1Char(',')))
        points.append(ModbusPoint::fromRow({address, QStringLiteral("p"), type, QString::number(data[2]),
                                            QStringLiteral("r")}, data[1] & 1));
    for (const ModbusPoint &p : points) {
        if (p.error.isEmpty())
            FUZZ_CHECK(p.address >= 0 && p.address + p.count - 1 <= 65535 && p.count >= 1);
    }
    for (const ModbusReadPlan::Request &request : ModbusReadPlan::build(points)) {
        const bool bits = request.table == ModbusPoint::Table::Coils
                          || request.table == ModbusPoint::Table::DiscreteInputs;
        FUZZ_CHECK(request.count >= 1
                   && request.count <= (bits ? ModbusReadPlan::MaxBits : ModbusReadPlan::MaxRegisters));
        for (int index : request.points) {
            const ModbusPoint &p = points.at(index);
            FUZZ_CHECK(p.address >= request.start && p.address + p.count <= request.start + request.count);
        }
    }
    return 0;
}
