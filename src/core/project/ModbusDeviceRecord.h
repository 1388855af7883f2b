#pragma once

// A standard Modbus device as its tree item keeps it: the link of its mode (TCP or RTU), the
// polling interval and one entry per slave with its points. The editor fills its form from
// one and commits one on Save; the Test Read window reads its link from one.

#include "core/project/StandardDeviceRecord.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QStandardItem;

// One slave: row 0 of its point-table entry, then its points (address, name, data type,
// length, permissions; a stored row may carry more or fewer values).
struct ModbusSlaveRecord
{
    QString title; // "Modbus-<n>"
    // The slave values of a new tab; an entry whose row 0 holds fewer than five values keeps them.
    QString series = QStringLiteral("standard");
    QString stationNum = QStringLiteral("1");
    QString byteOrder = QStringLiteral("ABCD");
    bool startAddress0 = true;
    bool charReversed = false;
    QList<QStringList> points;
};

struct ModbusDeviceRecord
{
    static const QString Tcp; // "ModbusTCP"
    static const QString Rtu; // "ModbusRTU"

    QString name;
    QString protocol;
    QString mode;
    // TCP mode
    QString ip;
    QString port;
    QString connectionTimeout;
    QString tcpCommunicationTimeout;
    QString keepAlive;
    // RTU mode
    SerialLineRecord serial;
    QString rtuCommunicationTimeout;

    QString collectionInterval;
    QVector<ModbusSlaveRecord> slaves; // in the point table's key order

    bool usesTcp() const { return mode == Tcp; }
    bool usesRtu() const { return mode == Rtu; }

    static ModbusDeviceRecord fromItem(const QStandardItem *item);
    // Name, fields and the whole point table. Only the fields of the mode in use are kept:
    // the other mode's are unset, so they never reach the project file.
    void commitTo(QStandardItem *item) const;
    // The editor's defaults for the text fields the item holds none of.
    static void writeDefaults(QStandardItem *item);

    // The link in the shape of the project file's "parameter" object (TCP unless the mode
    // is RTU), as the Modbus reader takes it.
    QJsonObject linkParameters() const;
};
