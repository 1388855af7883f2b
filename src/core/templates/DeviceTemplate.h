#pragma once

// One device model described once: its link defaults and its slave or meter tabs with their
// points, kept in a JSON file of its own (never in a project file). A template is made from a
// device record, checked, and turned back into records for as many devices as a site has.

#include "core/project/Dlt645DeviceRecord.h"
#include "core/project/ModbusDeviceRecord.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// One reason a template is refused, placed like a point-table cell: the slave or meter tab
// ("Modbus-2", "DLT645-1"; empty for the template as a whole), the point row counted from 1
// (0: the tab's own values; -1: none) and the column's name as the editor shows it.
struct TemplateProblem
{
    QString slave;
    int row = -1;
    QString column;
    QString text; // translated

    // "Modbus-1, row 3, Address: ..." as one line for a list or a message box.
    QString describe() const;
};
using TemplateProblems = QList<TemplateProblem>;

// A register that tells the model apart on a bus scan: where it lies and what it reads.
struct TemplateProbe
{
    QString table;    // "coils", "discreteInputs", "inputRegisters", "holdingRegisters"
    int address = -1; // protocol address 0..65535
    QString dataType; // as a point's type ("uint16", "string" ...)
    QString length;   // registers of a string
    QString value;    // the number or text the model reads there

    bool isSet() const { return !table.isEmpty(); }
};

// A DL/T 645 item by its data identifier: the same in every interface language.
struct TemplateMeterItem
{
    QString code; // 2007 or 1997 data identifier of the catalogue
    QString name; // the user's name for it
};

struct TemplateMeter
{
    QString edition = QStringLiteral("DLT645_2007");
    QList<TemplateMeterItem> items; // the selected ones only
};

class DeviceTemplate
{
    Q_DECLARE_TR_FUNCTIONS(DeviceTemplate)
public:
    static const QString FormatName; // "orvane-device-template"
    static constexpr int FormatVersion = 1;
    static const QString Modbus;     // protocol texts, as a device item keeps them
    static const QString Dlt645;
    // Far above any real model (a thousand points take some 100 KiB).
    static constexpr qint64 FileLimit = qint64(4) * 1024 * 1024;

    QString name;
    QString maker;
    QString model;
    QString description;
    QString protocol;
    bool example = false;

    // Link defaults. Modbus keeps the fields of its mode; the host and the station or meter
    // addresses are given when devices are added.
    QString mode; // ModbusTCP / ModbusRTU; empty for DL/T 645
    QString port;
    QString connectionTimeout;
    QString communicationTimeout;
    QString keepAlive;
    SerialLineRecord serial;
    QString collectionInterval;

    QVector<ModbusSlaveRecord> slaves; // Modbus; titles are not kept
    QVector<TemplateMeter> meters;     // DL/T 645
    TemplateProbe probe;

    bool isModbus() const { return protocol == Modbus; }
    bool isDlt645() const { return protocol == Dlt645; }
    bool usesSerialLine() const { return isDlt645() || mode == ModbusDeviceRecord::Rtu; }
    int pointCount() const;
    const TemplateProbe &identificationProbe() const { return probe; }

    // From an editor's record (saved or not). DL/T 645 rows are matched through the names of
    // the language active now, which is the language the record was filled in.
    static DeviceTemplate fromModbus(const ModbusDeviceRecord &device);
    static DeviceTemplate fromDlt645(const Dlt645DeviceRecord &device);

    // A device as the editor would have saved it after typing the template in; the station of
    // every slave and the address of every meter as the template has them.
    ModbusDeviceRecord toModbus(const QString &deviceName) const;
    Dlt645DeviceRecord toDlt645(const QString &deviceName) const;
    // One meter's rows as the editor keeps them: the whole catalogue of its edition, in the
    // language active now, selected and named where the template says.
    static QList<Dlt645PointRecord> meterRows(const TemplateMeter &meter);

    QJsonObject toJson() const;
    QByteArray toBytes() const;
    // Reads what is there; what cannot be read (wrong format, version, shape) goes to
    // `problems`. validate() adds the rest.
    static DeviceTemplate fromJson(const QJsonObject &object, TemplateProblems *problems);
    // Parses and validates: true only when no problem was found.
    static bool parse(const QByteArray &bytes, DeviceTemplate *out, TemplateProblems *problems);

    // Every problem, by slave, row and column, in tab and row order.
    TemplateProblems validate() const;
};
