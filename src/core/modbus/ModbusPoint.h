#pragma once

// One data point of a slave tab, as the reader sees it: which table it lives in, its
// protocol address, how many registers (or bits) it spans, or why it cannot be read.

#include <QString>
#include <QStringList>

class ModbusPoint
{
public:
    enum class Table { Coils, DiscreteInputs, InputRegisters, HoldingRegisters };
    enum class Type { Bool, Int8, UInt8, Int16, UInt16, Int32, UInt32, Int64, UInt64, Float, Double, String };

    // Status texts of a point that was not read.
    static const QString AddressError;
    static const QString TypeError;

    // A row of the point table: address, name, type, length, permissions (more values are
    // ignored, missing ones read as empty).
    static ModbusPoint fromRow(const QStringList &row, bool startAddress0);

    // The address rules: up to 5 digits read as 5 (zero-padded), 6 digits as they are; the
    // first digit picks the table, the rest is the reference, counted from 0 or from 1.
    static bool parseAddress(const QString &text, bool startAddress0, Table *table, int *address);
    static bool parseType(const QString &text, Type *type);
    // The text a row holds for a type ("uint16"), and the registers a point of it spans (a
    // string: 0, its length decides).
    static QString typeName(Type type);
    static int registersOf(Type type);

    bool isBitTable() const { return table == Table::Coils || table == Table::DiscreteInputs; }
    // An "rw" point on a coil or holding-register table that could be read.
    bool isWritable() const;
    // Modbus read function of the table: 1, 2, 4 or 3.
    int readFunction() const;

    QString name;
    QString addressText;
    QString typeText;
    QString permissions;
    Table table = Table::HoldingRegisters;
    Type type = Type::Bool;
    int address = -1;  // protocol address, 0..65535
    int count = 0;     // registers, or bits on a bit table
    QString error;     // AddressError, TypeError or empty
};
