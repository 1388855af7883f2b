#include "core/templates/TemplateExpansion.h"

#include "core/dlt645/Dlt645Frame.h"
#include "core/project/Ipv4Address.h"
#include "core/project/ProjectItems.h"

#include <QRegularExpression>
#include <QStandardItem>

namespace TemplateExpansion {

namespace {

// Entries separated by commas, semicolons or white space; a range is "first-last".
QStringList entriesOf(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

bool tooMany(qint64 count, QString *error)
{
    if (count <= MaxEntries)
        return false;
    *error = TemplateExpansionText::tr("The list names more than %1 entries.").arg(MaxEntries);
    return true;
}

QString nameFor(const QString &pattern, int counter, int total)
{
    static const QString counterMark = QStringLiteral("{n}");
    if (pattern.contains(counterMark))
        return QString(pattern).replace(counterMark, QString::number(counter));
    return total == 1 ? pattern : pattern + QStringLiteral("-%1").arg(counter);
}

// Point names are unique within a device (the box reports values by name, and the project
// checks refuse a repeated one), so on a line of several stations or meters each tab's names
// carry its station number or meter address.
QString uniqueName(const QString &name, const QString &station)
{
    return name + QLatin1Char('_') + station;
}

} // namespace

bool parseHosts(const QString &text, QStringList *hosts, QString *error)
{
    hosts->clear();
    for (const QString &entry : entriesOf(text)) {
        const int dash = entry.indexOf(QLatin1Char('-'));
        const QString first = dash < 0 ? entry : entry.left(dash);
        QString last = dash < 0 ? entry : entry.mid(dash + 1);
        const QHostAddress from = Ipv4Address::parse(first);
        // "192.168.1.10-12": the last part alone ends the range.
        if (!from.isNull() && dash >= 0 && !last.contains(QLatin1Char('.')))
            last = first.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.') + last;
        const QHostAddress to = Ipv4Address::parse(last);
        if (from.isNull() || to.isNull()) {
            *error = TemplateExpansionText::tr("'%1' is not an IPv4 address or a range of them.").arg(entry);
            return false;
        }
        const quint32 a = from.toIPv4Address();
        const quint32 b = to.toIPv4Address();
        if (b < a) {
            *error = TemplateExpansionText::tr("The range '%1' ends before it starts.").arg(entry);
            return false;
        }
        if (tooMany(qint64(hosts->size()) + qint64(b - a) + 1, error))
            return false;
        for (quint64 ip = a; ip <= b; ++ip)
            hosts->append(QHostAddress(quint32(ip)).toString());
    }
    if (hosts->isEmpty()) {
        *error = TemplateExpansionText::tr("No host is given.");
        return false;
    }
    return true;
}

bool parseNumbers(const QString &text, int lowest, int highest, QList<int> *numbers, QString *error)
{
    numbers->clear();
    for (const QString &entry : entriesOf(text)) {
        const int dash = entry.indexOf(QLatin1Char('-'), 1);
        bool okFirst = false;
        bool okLast = false;
        const int first = (dash < 0 ? entry : entry.left(dash)).toInt(&okFirst);
        const int last = dash < 0 ? first : entry.mid(dash + 1).toInt(&okLast);
        if (!okFirst || (dash >= 0 && !okLast) || first < lowest || last > highest || last < first) {
            *error = TemplateExpansionText::tr("'%1' is not a number or range within %2 to %3.").arg(entry).arg(lowest).arg(highest);
            return false;
        }
        if (tooMany(qint64(numbers->size()) + last - first + 1, error))
            return false;
        for (int n = first; n <= last; ++n)
            numbers->append(n);
    }
    if (numbers->isEmpty()) {
        *error = TemplateExpansionText::tr("No number is given.");
        return false;
    }
    return true;
}

bool parseMeterAddresses(const QString &text, QStringList *addresses, QString *error)
{
    addresses->clear();
    auto isAddress = [](const QString &address) {
        Dlt645::Address parsed{};
        return Dlt645::parseAddress(address, &parsed);
    };
    for (const QString &entry : entriesOf(text)) {
        const int dash = entry.indexOf(QLatin1Char('-'));
        if (dash < 0) {
            if (!isAddress(entry)) {
                *error = TemplateExpansionText::tr("'%1' is not a meter address of 12 hexadecimal digits.").arg(entry);
                return false;
            }
            if (tooMany(addresses->size() + 1, error))
                return false;
            addresses->append(entry.toUpper());
            continue;
        }
        // Meter addresses count in decimal digits (the number printed on the meter).
        bool okFirst = false;
        bool okLast = false;
        const QString firstText = entry.left(dash);
        const QString lastText = entry.mid(dash + 1);
        const qulonglong first = firstText.toULongLong(&okFirst, 10);
        const qulonglong last = lastText.toULongLong(&okLast, 10);
        if (firstText.size() != 12 || lastText.size() != 12 || !okFirst || !okLast || last < first) {
            *error = TemplateExpansionText::tr("'%1' is not a range of 12-digit decimal meter addresses.").arg(entry);
            return false;
        }
        if (tooMany(qint64(addresses->size()) + qint64(last - first) + 1, error))
            return false;
        for (qulonglong n = first; n <= last; ++n)
            addresses->append(QStringLiteral("%1").arg(n, 12, 10, QLatin1Char('0')));
    }
    if (addresses->isEmpty()) {
        *error = TemplateExpansionText::tr("No meter address is given.");
        return false;
    }
    return true;
}

Result expand(const DeviceTemplate &device, const Request &request, const QSet<QString> &takenNames)
{
    Result result;
    auto fail = [&result](const QString &error) {
        result.devices.clear();
        result.errors.append(error);
        return result;
    };
    if (request.namePattern.trimmed().isEmpty())
        return fail(TemplateExpansionText::tr("The name pattern is empty."));
    QString error;

    if (!device.usesSerialLine()) {
        QStringList hosts;
        if (!parseHosts(request.hosts, &hosts, &error))
            return fail(error);
        // No ports given: every host takes the template's, which may be "-1" (the box's default).
        QStringList ports{device.port};
        if (!request.ports.trimmed().isEmpty()) {
            QList<int> numbers;
            if (!parseNumbers(request.ports, 1, 65535, &numbers, &error))
                return fail(error);
            ports.clear();
            for (int number : qAsConst(numbers))
                ports.append(QString::number(number));
        }
        if (ports.size() != 1 && ports.size() != hosts.size())
            return fail(TemplateExpansionText::tr("%1 ports for %2 hosts: give one port for all or one per host.")
                            .arg(ports.size())
                            .arg(hosts.size()));
        for (int i = 0; i < hosts.size(); ++i) {
            Device made;
            made.name = nameFor(request.namePattern.trimmed(), i + 1, hosts.size());
            made.protocol = device.protocol;
            made.modbus = device.toModbus(made.name);
            made.modbus.ip = hosts.at(i);
            made.modbus.port = ports.size() == 1 ? ports.first() : ports.at(i);
            made.summary = made.modbus.ip + QLatin1Char(':') + made.modbus.port;
            result.devices.append(made);
        }
    } else {
        Device made;
        made.name = nameFor(request.namePattern.trimmed(), 1, 1);
        made.protocol = device.protocol;
        if (device.isModbus()) {
            QList<int> stations;
            if (!parseNumbers(request.addresses, 1, 247, &stations, &error))
                return fail(error);
            made.modbus = device.toModbus(made.name);
            const QVector<ModbusSlaveRecord> model = made.modbus.slaves;
            made.modbus.slaves.clear();
            QStringList shown;
            for (int station : stations) {
                for (ModbusSlaveRecord slave : model) {
                    slave.title = QStringLiteral("Modbus-%1").arg(made.modbus.slaves.size() + 1);
                    slave.stationNum = QString::number(station);
                    if (stations.size() > 1) {
                        for (QStringList &point : slave.points)
                            point[1] = uniqueName(point.value(1), slave.stationNum);
                    }
                    made.modbus.slaves.append(slave);
                }
                shown.append(QString::number(station));
            }
            if (!request.serialPort.isEmpty())
                made.modbus.serial.serialPort = request.serialPort;
            made.summary = TemplateExpansionText::tr("stations %1").arg(shown.join(QStringLiteral(", ")));
        } else {
            QStringList addresses;
            if (!parseMeterAddresses(request.addresses, &addresses, &error))
                return fail(error);
            made.dlt645 = device.toDlt645(made.name);
            const QVector<Dlt645MeterRecord> model = made.dlt645.meters;
            made.dlt645.meters.clear();
            for (const QString &address : addresses) {
                for (Dlt645MeterRecord meter : model) {
                    meter.title = QStringLiteral("DLT645-%1").arg(made.dlt645.meters.size() + 1);
                    meter.slaveAddress = address;
                    if (addresses.size() > 1) {
                        for (Dlt645PointRecord &point : meter.points) {
                            if (point.selected)
                                point.name = uniqueName(point.name, address);
                        }
                    }
                    made.dlt645.meters.append(meter);
                }
            }
            if (!request.serialPort.isEmpty())
                made.dlt645.serial.serialPort = request.serialPort;
            made.summary = TemplateExpansionText::tr("meters %1").arg(addresses.join(QStringLiteral(", ")));
        }
        result.devices.append(made);
    }

    QStringList clashes;
    for (const Device &made : qAsConst(result.devices)) {
        if (takenNames.contains(made.name))
            clashes.append(made.name);
    }
    if (!clashes.isEmpty())
        return fail(TemplateExpansionText::tr("These names are already used in the Standard folder: %1.").arg(clashes.join(QStringLiteral(", "))));
    return result;
}

QStandardItem *makeItem(const Device &device)
{
    QStandardItem *item =
        ProjectItems::newDevice(ProjectItems::protocolIcon(device.protocol), device.name, device.protocol);
    if (device.protocol == DeviceTemplate::Dlt645)
        device.dlt645.commitTo(item);
    else
        device.modbus.commitTo(item);
    return item;
}

} // namespace TemplateExpansion
