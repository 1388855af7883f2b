#include "core/checks/ProjectDiff.h"

#include "core/project/Dlt645Catalogue.h"
#include "core/project/ItemRecord.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <functional>
#include <vector>

namespace {

const QString kSeparator = QStringLiteral(" / ");
const QString kDlt645 = QStringLiteral("DLT645");

QString valueText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String: return value.toString();
    case QJsonValue::Double: return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array: return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object: return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    default: return QString();
    }
}

// Whose editor sets an object's fields: a change is named with that editor's own label.
enum class Owner { Project, ModbusDevice, MeterDevice, Slave, ModbusPoint, Meter, MeterPoint, Service, Box };

const char *const kModbusEditor = "standardModbusEditDialog";
const char *const kMeterEditor = "standardDLT645EditDialog";
const char *const kServiceEditor = "ServiceIEC61850EditDialog";
const char *const kBoxEditor = "BoxEditDialog";

// Source texts of labels by stored key; looked up in the context of the editor that shows them.
using Labels = QHash<QString, const char *>;

// The editors' form labels end in a colon ("IP:", in Chinese "IP："); the list has a column
// of its own for them.
QString shownLabel(const char *context, const char *source)
{
    QString label = QCoreApplication::translate(context, source).trimmed();
    while (label.endsWith(QLatin1Char(':')) || label.endsWith(QChar(0xFF1A)))
        label.chop(1);
    return label.trimmed();
}

QString lookUp(const char *context, const Labels &labels, const QString &key)
{
    const char *source = labels.value(key);
    return source ? shownLabel(context, source) : key;
}

// Both device editors label their common fields with the same source texts, each in its own
// context; a key only one kind of device has never turns up in the other's documents.
const Labels &deviceLabels()
{
    static const Labels labels{
        {Key::Protocol, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Protocol:")},
        {Key::Modbus, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Modbus:")},
        {Key::Ip, QT_TRANSLATE_NOOP("standardModbusEditDialog", "IP:")},
        {Key::Port, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Port:")},
        {Key::ConnectionTimeout, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Connection Timeout:")},
        {Key::CommunicationTimeout, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Communication Timeout:")},
        {Key::KeepAlive, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Keep Alive Time:")},
        {Key::SerialPort, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Serial Port:")},
        {Key::BaudRate, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Baud Rate:")},
        {Key::DataBit, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Data Bit:")},
        {Key::StopBit, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Stop Bit:")},
        {Key::ParityBit, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Parity Bit:")},
        {Key::RtsEnable, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Rts Enable:")},
        {Key::CommunicationGap, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Communication Gap:")},
        {Key::CollectionInterval, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Collection Interval")},
        // A slave tab
        {Key::Series, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Series:")},
        {Key::StationNum, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Station Num:")},
        {Key::ByteOrder, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Byte Order:")},
        {Key::StartAddress0, QT_TRANSLATE_NOOP("standardModbusEditDialog", "StartAddress0:")},
        {Key::CharReversed, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Char Reversed:")},
        // A meter tab
        {Key::SlaveAddress, QT_TRANSLATE_NOOP("standardDLT645EditDialog", "Slave Address:")},
        {Key::ProtocolVersion, QT_TRANSLATE_NOOP("standardDLT645EditDialog", "Protocol Version:")},
    };
    return labels;
}

// The point table's column headers.
const Labels &modbusPointLabels()
{
    static const Labels labels{
        {Key::Addr, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Address")},
        {Key::Name, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Name")},
        {Key::DataType, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Type")},
        {Key::Length, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Length")},
        {Key::Permissions, QT_TRANSLATE_NOOP("standardModbusEditDialog", "Permissions")},
    };
    return labels;
}

// A meter row shows only its name and data name; the rest of what it stores gets words here.
const Labels &meterPointLabels()
{
    static const Labels labels{
        {Key::Select, QT_TRANSLATE_NOOP("ProjectDiff", "Selected")},
        {Key::Addr, QT_TRANSLATE_NOOP("ProjectDiff", "Data identifier")},
        {Key::DataType, QT_TRANSLATE_NOOP("ProjectDiff", "Value format")},
    };
    return labels;
}

const Labels &serviceLabels()
{
    static const Labels labels{
        {Key::Protocol, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Protocol:")},
        {Key::Port, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Port:")},
        {Key::EnableGoosePublishing, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Enable GoosePublishing:")},
        {Key::EnableSSL, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Enable SSL:")},
        {Key::IsVerifyClientCert, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "IsVerifyClientCert:")},
        {Key::Authentication, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Authentication:")},
        {Key::Password, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Password:")},
        {Key::RootCertificate, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Root Certificate:")},
        {Key::ServerCertificate, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Server Certificate:")},
        {Key::ServerKey, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Server Key:")},
        {Key::ServerKeyPassword, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Server Key Password:")},
    };
    return labels;
}

// "rootCertificatePath" is where the editor loaded "Root Certificate:" from, and so on.
QString serviceLabel(const QString &key)
{
    static const QRegularExpression client(QStringLiteral("^clientCertificate(Path)?(\\d+)$"));
    const QRegularExpressionMatch m = client.match(key);
    if (m.hasMatch()) {
        const QString label =
            shownLabel(kServiceEditor, QT_TRANSLATE_NOOP("ServiceIEC61850EditDialog", "Client Certificate%1:"))
                .arg(m.captured(2));
        return m.capturedLength(1) ? ProjectDiff::tr("%1 (file path)").arg(label) : label;
    }
    const QString file = key.endsWith(QLatin1String("Path")) ? key.chopped(4) : QString();
    if (serviceLabels().contains(file))
        return ProjectDiff::tr("%1 (file path)").arg(lookUp(kServiceEditor, serviceLabels(), file));
    return lookUp(kServiceEditor, serviceLabels(), key);
}

// The box keeps its network settings as "lanIp", "wanDhcp", "wifissid": the group's tab title
// and the field's label, as the box editor names both.
QString boxLabel(const QString &key)
{
    static const Labels fields{
        {QStringLiteral("ip"), QT_TRANSLATE_NOOP("BoxEditDialog", "IP:")},
        {QStringLiteral("mask"), QT_TRANSLATE_NOOP("BoxEditDialog", "Mask:")},
        {QStringLiteral("gateway"), QT_TRANSLATE_NOOP("BoxEditDialog", "Gateway:")},
        {QStringLiteral("dns1"), QT_TRANSLATE_NOOP("BoxEditDialog", "Dns1:")},
        {QStringLiteral("dns2"), QT_TRANSLATE_NOOP("BoxEditDialog", "Dns2:")},
        {QStringLiteral("dhcp"), QT_TRANSLATE_NOOP("BoxEditDialog", "Dhcp:")},
        {QStringLiteral("mode"), QT_TRANSLATE_NOOP("BoxEditDialog", "Mode:")},
        {QStringLiteral("ssid"), QT_TRANSLATE_NOOP("BoxEditDialog", "SSID:")},
        {QStringLiteral("password"), QT_TRANSLATE_NOOP("BoxEditDialog", "Password:")},
        {QStringLiteral("wifiOnOff"), QT_TRANSLATE_NOOP("BoxEditDialog", "wifiOnOff:")},
        {QStringLiteral("lteOnOff"), QT_TRANSLATE_NOOP("BoxEditDialog", "4G:")},
    };
    struct Group
    {
        QString prefix;
        const char *context;
        const char *title;
    };
    static const QList<Group> groups{
        {QStringLiteral("lan"), kBoxEditor, QT_TRANSLATE_NOOP("BoxEditDialog", "LAN")},
        {QStringLiteral("wan"), kBoxEditor, QT_TRANSLATE_NOOP("BoxEditDialog", "WAN")},
        {QStringLiteral("wifi"), "ProjectDiff", QT_TRANSLATE_NOOP("ProjectDiff", "WiFi")},
    };
    if (fields.contains(key))
        return lookUp(kBoxEditor, fields, key);
    for (const Group &group : groups) {
        const QString rest = key.startsWith(group.prefix) ? key.mid(group.prefix.size()).toLower() : QString();
        if (fields.contains(rest))
            return shownLabel(group.context, group.title) + QLatin1Char(' ') + lookUp(kBoxEditor, fields, rest);
    }
    return key;
}

// A field this tool writes gets its label; a key only an older or newer document holds is
// shown as it is rather than not at all.
QString fieldLabel(Owner owner, const QString &key)
{
    switch (owner) {
    case Owner::Project:
        return key == Key::Description
                   ? shownLabel("EditProjectDialog", QT_TRANSLATE_NOOP("EditProjectDialog", "Description:"))
                   : key;
    case Owner::ModbusDevice:
    case Owner::Slave: return lookUp(kModbusEditor, deviceLabels(), key);
    case Owner::MeterDevice:
    case Owner::Meter: return lookUp(kMeterEditor, deviceLabels(), key);
    case Owner::ModbusPoint: return lookUp(kModbusEditor, modbusPointLabels(), key);
    case Owner::MeterPoint:
        return key == Key::Name ? shownLabel(kMeterEditor, QT_TRANSLATE_NOOP("standardDLT645EditDialog", "Name"))
                                : lookUp("ProjectDiff", meterPointLabels(), key);
    case Owner::Service: return serviceLabel(key);
    case Owner::Box: return boxLabel(key);
    }
    return key;
}

// An added or removed point in a few words: where it reads and what.
QString pointSummary(bool meter, const QJsonObject &point)
{
    const Owner owner = meter ? Owner::MeterPoint : Owner::ModbusPoint;
    const QString addr = point.value(Key::Addr).toString();
    QString what = fieldLabel(owner, Key::DataType);
    QString value = point.value(Key::DataType).toString();
    // A meter row is known by what its editor calls the data name, when the identifier is one
    // of the catalogue's.
    const int entry = meter ? Dlt645Catalogue::indexOfCode(addr) : -1;
    if (entry >= 0) {
        what = shownLabel(kMeterEditor, QT_TRANSLATE_NOOP("standardDLT645EditDialog", "Data name"));
        value = QCoreApplication::translate("QObject", Dlt645Catalogue::entries().at(entry).name);
    }
    return ProjectDiff::tr("%1: %2, %3: %4").arg(fieldLabel(owner, Key::Addr), addr, what, value);
}

class Differ
{
public:
    ProjectChanges changes;

    void scalars(Owner owner, const QString &place, const QJsonObject &before, const QJsonObject &after,
                 const QSet<QString> &skip)
    {
        QStringList keys = before.keys() + after.keys();
        keys.sort();
        keys.removeDuplicates();
        for (const QString &key : qAsConst(keys)) {
            if (skip.contains(key))
                continue;
            const QJsonValue old = before.value(key);
            const QJsonValue now = after.value(key);
            if (old != now)
                changes.append({ProjectChange::Changed, place, key, fieldLabel(owner, key), valueText(old),
                                valueText(now)});
        }
    }

    void added(const QString &place, const QString &what = QString())
    {
        changes.append({ProjectChange::Added, place, {}, {}, {}, what});
    }
    void removed(const QString &place, const QString &what = QString())
    {
        changes.append({ProjectChange::Removed, place, {}, {}, what, {}});
    }

    // Pairs elements of the two arrays whose `key` texts are equal, in order of appearance
    // (the n-th "a" before with the n-th "a" after); -1 where an element found no partner.
    static void pairBy(const QJsonArray &before, const QJsonArray &after, const QString &key,
                       std::vector<int> &partnerOfAfter, std::vector<bool> &beforeTaken)
    {
        QHash<QString, QList<int>> waiting;
        for (int i = 0; i < before.size(); ++i)
            if (!beforeTaken[size_t(i)])
                waiting[before.at(i).toObject().value(key).toString()].append(i);
        for (int j = 0; j < after.size(); ++j) {
            if (partnerOfAfter[size_t(j)] >= 0)
                continue;
            auto it = waiting.find(after.at(j).toObject().value(key).toString());
            if (it == waiting.end() || it->isEmpty())
                continue;
            const int i = it->takeFirst();
            partnerOfAfter[size_t(j)] = i;
            beforeTaken[size_t(i)] = true;
        }
    }

    // Matches by each key in turn, then reports pairs (in the order of `after`), additions
    // and removals, each of these with `summary` of the element when given.
    void matched(const QJsonArray &before, const QJsonArray &after, const QStringList &keys,
                 const std::function<QString(const QJsonObject &)> &placeOf,
                 const std::function<void(const QString &, const QJsonObject &, const QJsonObject &)> &compare,
                 const std::function<QString(const QJsonObject &)> &summary = {})
    {
        const auto what = [&summary](const QJsonObject &element) { return summary ? summary(element) : QString(); };
        std::vector<int> partner(size_t(after.size()), -1);
        std::vector<bool> taken(size_t(before.size()), false);
        for (const QString &key : keys)
            pairBy(before, after, key, partner, taken);
        for (int j = 0; j < after.size(); ++j) {
            const QJsonObject now = after.at(j).toObject();
            if (partner[size_t(j)] < 0)
                added(placeOf(now), what(now));
            else
                compare(placeOf(now), before.at(partner[size_t(j)]).toObject(), now);
        }
        for (int i = 0; i < before.size(); ++i)
            if (!taken[size_t(i)])
                removed(placeOf(before.at(i).toObject()), what(before.at(i).toObject()));
    }

    void points(bool meter, const QString &place, const QJsonArray &before, const QJsonArray &after)
    {
        matched(before, after, {Key::Addr, Key::Name},
                [&](const QJsonObject &point) {
                    const QString name = point.value(Key::Name).toString();
                    return place + kSeparator
                           + (name.isEmpty()
                                  ? ProjectDiff::tr("point at %1").arg(point.value(Key::Addr).toString())
                                  : ProjectDiff::tr("point '%1'").arg(name));
                },
                [&](const QString &at, const QJsonObject &old, const QJsonObject &now) {
                    scalars(meter ? Owner::MeterPoint : Owner::ModbusPoint, at, old, now, {});
                },
                [meter](const QJsonObject &point) { return pointSummary(meter, point); });
    }

    // Slaves and meters have no name of their own: they pair by position.
    void devices(const QString &place, const QJsonObject &before, const QJsonObject &after)
    {
        const bool meters = after.value(Key::Protocol).toString() == kDlt645;
        const Owner owner = meters ? Owner::MeterDevice : Owner::ModbusDevice;
        scalars(owner, place, before, after, {Key::Name, Key::Parameter, Key::Datas});
        scalars(owner, place, before.value(Key::Parameter).toObject(), after.value(Key::Parameter).toObject(), {});
        const QJsonArray old = before.value(Key::Datas).toArray();
        const QJsonArray now = after.value(Key::Datas).toArray();
        for (int i = 0; i < qMax(old.size(), now.size()); ++i) {
            const QString at = place + kSeparator
                               + (meters ? ProjectDiff::tr("meter %1") : ProjectDiff::tr("slave %1")).arg(i + 1);
            if (i >= old.size()) {
                added(at);
            } else if (i >= now.size()) {
                removed(at);
            } else {
                const QJsonObject a = old.at(i).toObject();
                const QJsonObject b = now.at(i).toObject();
                scalars(meters ? Owner::Meter : Owner::Slave, at, a, b, {Key::Datas});
                points(meters, at, a.value(Key::Datas).toArray(), b.value(Key::Datas).toArray());
            }
        }
    }

    void named(const QJsonArray &before, const QJsonArray &after, const QString &placePattern,
               const std::function<void(const QString &, const QJsonObject &, const QJsonObject &)> &compare)
    {
        matched(before, after, {Key::Name},
                [&](const QJsonObject &element) { return placePattern.arg(element.value(Key::Name).toString()); },
                compare);
    }
};

} // namespace

ProjectChanges ProjectDiff::compare(const QJsonObject &before, const QJsonObject &after)
{
    Differ differ;
    differ.scalars(Owner::Project, tr("project"), before, after, {Key::Name, Key::Standards, Key::Services, Key::Boxs});
    differ.named(before.value(Key::Standards).toArray(), after.value(Key::Standards).toArray(),
                 tr("device '%1'"),
                 [&](const QString &at, const QJsonObject &a, const QJsonObject &b) { differ.devices(at, a, b); });
    differ.named(before.value(Key::Services).toArray(), after.value(Key::Services).toArray(),
                 tr("service '%1'"), [&](const QString &at, const QJsonObject &a, const QJsonObject &b) {
                     differ.scalars(Owner::Service, at, a, b, {Key::Name, Key::ExtendedParameters});
                     differ.scalars(Owner::Service, at, a.value(Key::ExtendedParameters).toObject(),
                                    b.value(Key::ExtendedParameters).toObject(), {});
                 });
    differ.named(before.value(Key::Boxs).toArray(), after.value(Key::Boxs).toArray(), tr("box '%1'"),
                 [&](const QString &at, const QJsonObject &a, const QJsonObject &b) {
                     differ.scalars(Owner::Box, at, a, b, {Key::Name});
                 });
    return differ.changes;
}
