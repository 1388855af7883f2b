#pragma once

// A small project that passes every check: one Modbus TCP device "Pump" with one slave of two
// points, one DLT645 device "Meter" with one meter and one named point, the IEC61850 service
// without SSL. Tests break one thing in it at a time.

#include "core/project/ItemRecord.h"

#include <QStandardItem>
#include <QStandardItemModel>

struct CheckFixture
{
    QStandardItem *project = nullptr;
    QStandardItem *pump = nullptr;
    QStandardItem *meter = nullptr;
    QStandardItem *service = nullptr;
    QStandardItem *box = nullptr;

    explicit CheckFixture(QStandardItemModel &model, const QString &name = QStringLiteral("Plant"))
    {
        registerItemRecordTypes();
        project = new QStandardItem(name);
        project->setData(QStringLiteral("/tmp"), Role::ProjectPath);
        model.appendRow(project);
        QStandardItem *folders[4];
        const QStringList names{Folder::Standard, Folder::Service, Folder::Box, Folder::Data};
        for (int i = 0; i < 4; ++i) {
            folders[i] = new QStandardItem(names.at(i));
            project->appendRow(folders[i]);
        }

        pump = new QStandardItem(QStringLiteral("Pump"));
        set(pump, Role::Protocol, "Modbus");
        set(pump, Role::Modbus, "ModbusTCP");
        set(pump, Role::ModbusIp, "192.168.1.60");
        set(pump, Role::ModbusPort, "502");
        set(pump, Role::CollectionInterval, "2000");
        PointTable slaves;
        slaves.insert(QStringLiteral("Modbus-1"), {slaveHeader(true), point("40001", "flow"), point("40002", "level")});
        pump->setData(QVariant::fromValue(slaves), Role::PointTable);
        folders[0]->appendRow(pump);

        meter = new QStandardItem(QStringLiteral("Meter"));
        set(meter, Role::Protocol, "DLT645");
        set(meter, Role::SerialPort, "COM1");
        set(meter, Role::CollectionInterval, "2000");
        PointTable meters;
        meters.insert(QStringLiteral("DLT645-1"),
                      {meterHeader("AAAAAAAAAAAA"), meterRow(true, "A-phase voltage", "ua"),
                       meterRow(false, "B-phase voltage", "")});
        meter->setData(QVariant::fromValue(meters), Role::PointTable);
        folders[0]->appendRow(meter);

        service = new QStandardItem(QStringLiteral("IEC61850"));
        set(service, Role::ServiceProtocol, "IEC61850");
        set(service, Role::ServicePort, "102");
        set(service, Role::EnableSSL, "false");
        set(service, Role::IsVerifyClientCert, "false");
        folders[1]->appendRow(service);

        box = new QStandardItem(QStringLiteral("Box1"));
        set(box, Role::BoxIp, "127.0.0.1");
        folders[2]->appendRow(box);
    }

    static void set(QStandardItem *item, int role, const char *value)
    {
        item->setData(QVariant(QString::fromUtf8(value)), role);
    }
    static QVariantList slaveHeader(bool startAddress0)
    {
        return {QStringLiteral("standard"), QStringLiteral("1"), QStringLiteral("ABCD"), startAddress0, false};
    }
    static QVariantList point(const char *address, const char *name, const char *type = "uint16")
    {
        return {QString::fromUtf8(address), QString::fromUtf8(name), QString::fromUtf8(type),
                QStringLiteral("1"), QStringLiteral("r")};
    }
    static QVariantList meterHeader(const char *address)
    {
        return {QString::fromUtf8(address), QStringLiteral("DLT645_2007")};
    }
    static QVariantList meterRow(bool selected, const char *item, const char *name)
    {
        return {selected, QString::fromUtf8(item), QString::fromUtf8(name)};
    }

    static PointTable table(const QStandardItem *device)
    {
        return device->data(Role::PointTable).value<PointTable>();
    }
    static void setTable(QStandardItem *device, const PointTable &table)
    {
        device->setData(QVariant::fromValue(table), Role::PointTable);
    }
    // Appends rows to a tab of the device, creating the tab (with `header`) if needed.
    static void addRows(QStandardItem *device, const QString &tab, const QList<QVariantList> &rows,
                        const QVariantList &header = slaveHeader(true))
    {
        PointTable t = table(device);
        if (!t.contains(tab))
            t.insert(tab, {header});
        t[tab].append(rows);
        setTable(device, t);
    }
};
