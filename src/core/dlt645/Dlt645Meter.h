#pragma once

// What reading a DL/T 645 line needs, taken from where the project keeps it: the line's serial
// settings and timing from the device's parameter texts, and each meter's items from its tab
// record (the catalogue gives every named data item its identifier and value format).

#include "core/dlt645/Dlt645Reader.h"

#include <QJsonObject>
#include <QString>
#include <QVector>

struct Dlt645DeviceRecord;
struct Dlt645MeterRecord;

struct Dlt645Line
{
    QString projectPort;          // "COM1": the box's name for its port
    SerialLine::Settings serial;  // device left empty: this computer's device is chosen apart
    int timeoutMs = Dlt645Reader::kDefaultTimeoutMs;
    int gapMs = -1;
    int intervalMs = 2000;

    // From the texts the editor and the project file hold ("2400", "EVEN", "1"/"true" for RTS).
    static Dlt645Line fromTexts(const QString &port, const QString &baud, const QString &dataBits,
                                const QString &stopBits, const QString &parity, const QString &rts,
                                const QString &timeout, const QString &gap, const QString &interval);
    // From a device's "parameter" object of the project file.
    static Dlt645Line fromParameters(const QJsonObject &parameter);
    // From the device's record as the editor holds it (unsaved changes included).
    static Dlt645Line fromRecord(const Dlt645DeviceRecord &record);
    // "2400 baud, 8 data bits, 1 stop bits, parity EVEN", for logs.
    QString describe() const;
};

struct Dlt645MeterItem
{
    QString name;       // the user's name of the item
    QString dataItem;   // the catalogue's name as the tab shows it
    QString identifier; // empty when the catalogue has no such item in this edition
    QString format;
};

struct Dlt645Meter
{
    QString address;
    Dlt645::Edition edition = Dlt645::Edition::V2007;
    QVector<Dlt645MeterItem> items;

    // A meter tab's record; only its selected rows when `selectedOnly`.
    static Dlt645Meter fromRecord(const Dlt645MeterRecord &record, bool selectedOnly = true);
    // The reader's items for this meter, numbered `meterNumber`.
    QVector<Dlt645Reader::Item> readerItems(int meterNumber = 0) const;
};
