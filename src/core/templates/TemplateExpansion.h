#pragma once

// Devices from one template. Over Modbus TCP each host gets a device of its own; on a serial
// line (Modbus RTU, DL/T 645) one device takes the line, with one tab per station number or
// meter address, since several devices on one port would fight over it; with more than one,
// each point name gets "_<station>" or "_<meter address>", as names are unique within a
// device. The records are
// copies: a later change to the template changes no device.

#include "core/templates/DeviceTemplate.h"

#include <QCoreApplication>
#include <QSet>
#include <QStringList>
#include <QVector>

class QStandardItem;

namespace TemplateExpansion {

// No list or range is taken beyond this many entries: a mistyped range ("10.0.0.1-10.9.0.1")
// would otherwise make a device per address.
constexpr int MaxEntries = 1000;

struct Request
{
    // "Meter-{n}": {n} counts from 1. Without {n} a single device takes the name as it is,
    // several get "-<n>" appended.
    QString namePattern;
    QString hosts;      // TCP: "192.168.1.10-192.168.1.12, 192.168.1.20" or "192.168.1.10-12"
    QString ports;      // TCP: one port for every host, or one per host ("502" or "502-504")
    QString addresses;  // serial: stations "1-3,7" or meter addresses "000000000001-000000000003"
    QString serialPort; // serial: the box's port; empty keeps the template's
};

// A device about to be added: exactly one of the two records is filled.
struct Device
{
    QString name;
    QString protocol;
    ModbusDeviceRecord modbus;
    Dlt645DeviceRecord dlt645;
    QString summary; // host and port, or stations/meter addresses, for the preview
};

struct Result
{
    QVector<Device> devices;
    QStringList errors; // translated; devices is empty when there is one

    bool ok() const { return errors.isEmpty(); }
};

// takenNames: the names already in the Standard folder.
Result expand(const DeviceTemplate &device, const Request &request, const QSet<QString> &takenNames);

// The list parsers, each false with a translated reason in `error`.
bool parseHosts(const QString &text, QStringList *hosts, QString *error);
bool parseNumbers(const QString &text, int lowest, int highest, QList<int> *numbers, QString *error);
bool parseMeterAddresses(const QString &text, QStringList *addresses, QString *error);

// A new device item under the Standard folder, its record written as the editor's Save would.
QStandardItem *makeItem(const Device &device);

} // namespace TemplateExpansion

// Texts of the expansion, in one translation context.
class TemplateExpansionText
{
    Q_DECLARE_TR_FUNCTIONS(TemplateExpansionText)
};
