#pragma once

// A DL/T 645 device as its tree item keeps it: the serial line, time-out, polling interval
// and one entry per meter with its catalogue rows. The editor fills its form from one and
// commits one on Save.

#include "core/project/StandardDeviceRecord.h"

#include <QList>
#include <QString>
#include <QVector>

class QStandardItem;

// One catalogue row of a meter: selected or not, the data item's name as shown, the user's name.
struct Dlt645PointRecord
{
    bool selected = false;
    QString dataName;
    QString name;
};

struct Dlt645MeterRecord
{
    QString title; // "DLT645-<n>"
    // A new tab's values; an entry whose row 0 holds fewer than two values keeps them.
    QString slaveAddress = QStringLiteral("AAAAAAAAAAAA");
    QString edition = QStringLiteral("DLT645_2007");
    QList<Dlt645PointRecord> points;
};

struct Dlt645DeviceRecord
{
    QString name;
    QString protocol;
    SerialLineRecord serial;
    QString communicationTimeout;
    QString collectionInterval;
    QVector<Dlt645MeterRecord> meters; // in the point table's key order

    static Dlt645DeviceRecord fromItem(const QStandardItem *item);
    // Name, every field (roles 400..410) and the whole point table.
    void commitTo(QStandardItem *item) const;
    // The editor's defaults for the text fields the item holds none of.
    static void writeDefaults(QStandardItem *item);
};
