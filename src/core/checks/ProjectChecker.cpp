#include "core/checks/ProjectChecker.h"

#include "core/checks/CertificateInspector.h"
#include "core/checks/ModbusPointRules.h"
#include "core/dlt645/Dlt645Frame.h"
#include "core/project/Ipv4Address.h"
#include "core/project/ItemRecord.h"

#include <QHash>
#include <QStandardItem>

#include <algorithm>
#include <vector>

namespace {

const QString kTrue = QStringLiteral("true");
const QString kModbus = QStringLiteral("Modbus");
const QString kDlt645 = QStringLiteral("DLT645");
const QString kModbusTcp = QStringLiteral("ModbusTCP");
const QString kModbusRtu = QStringLiteral("ModbusRTU");
const QString kIec61850 = QStringLiteral("IEC61850");
constexpr int kShortestInterval = 100;
constexpr int kShortestPassword = 8;

inline QString text(const QStandardItem *item, int role)
{
    return item->data(role).toString();
}

inline QString cell(const QVariantList &row, int column)
{
    return column < row.size() ? row.at(column).toString() : QString();
}

// Findings of one item, kept in (tab, row) order whatever order the rules ran in.
class Collector
{
public:
    Collector(CheckFindings *out, QStandardItem *item) : m_out(out), m_item(item) {}
    ~Collector()
    {
        std::stable_sort(m_found.begin(), m_found.end(), [](const CheckFinding &a, const CheckFinding &b) {
            return a.tab != b.tab ? a.tab < b.tab : a.row < b.row;
        });
        m_out->append(m_found);
    }
    void error(const QString &message, const QString &tab = QString(), int row = -1)
    {
        add(CheckFinding::Error, message, tab, row);
    }
    void warning(const QString &message, const QString &tab = QString(), int row = -1)
    {
        add(CheckFinding::Warning, message, tab, row);
    }

private:
    void add(CheckFinding::Severity severity, const QString &message, const QString &tab, int row)
    {
        m_found.append({severity, m_item, tab, row, message});
    }
    CheckFindings *m_out;
    QStandardItem *m_item;
    CheckFindings m_found;
};

// "-1" asks the box for its default port.
bool isPort(const QString &port)
{
    bool ok = false;
    const int value = port.toInt(&ok);
    return ok && (value == -1 || (value >= 1 && value <= 65535));
}

// Twelve hexadecimal digits, as the meter reader needs them.
bool isMeterAddress(const QString &address)
{
    Dlt645::Address parsed{};
    return Dlt645::parseAddress(address, &parsed);
}

void checkInterval(Collector &found, const QStandardItem *device)
{
    const QString interval = text(device, Role::CollectionInterval);
    bool ok = false;
    const int value = interval.toInt(&ok);
    if (ok && value != -1 && value < kShortestInterval)
        found.warning(ProjectChecker::tr("The collection interval of %1 ms is below %2 ms.")
                          .arg(interval)
                          .arg(kShortestInterval));
}

// Where a point name was first used within one device.
struct Place
{
    QString tab;
    int row;
};

void checkDuplicateName(Collector &found, QHash<QString, Place> &names, const QString &name,
                        const QString &tab, int row)
{
    if (name.isEmpty())
        return;
    const auto it = names.constFind(name);
    if (it == names.constEnd()) {
        names.insert(name, {tab, row});
        return;
    }
    found.error(ProjectChecker::tr("The point name '%1' is already used in %2, row %3.")
                    .arg(name, it->tab)
                    .arg(it->row),
                tab, row);
}

struct Span
{
    int table;
    int first;
    int last;
    int row;
};

// Sorted by table and start, a point overlaps when it starts at or before the furthest
// register reached so far in its table.
void checkOverlaps(Collector &found, std::vector<Span> &spans, const QList<QVariantList> &rows,
                   const QString &tab)
{
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) {
        if (a.table != b.table)
            return a.table < b.table;
        return a.first != b.first ? a.first < b.first : a.row < b.row;
    });
    int table = -1;
    int reach = -1;
    int reachRow = -1;
    for (const Span &span : spans) {
        if (span.table != table) {
            table = span.table;
            reach = -1;
        }
        if (span.first <= reach) {
            found.error(ProjectChecker::tr("The registers of this point overlap those of '%1' in row %2.")
                            .arg(cell(rows.at(reachRow), 1))
                            .arg(reachRow),
                        tab, span.row);
        }
        if (span.last > reach) {
            reach = span.last;
            reachRow = span.row;
        }
    }
}

// An address as the box and the tool read it: four decimal parts. A leading zero is named on
// its own, as some readers take "010" for octal 8 and would poll another host.
void checkAddress(Collector &found, const QString &address)
{
    if (Ipv4Address::hasLeadingZero(address))
        found.error(ProjectChecker::tr("The IP address '%1' has a part with a leading zero, which some devices "
                                       "read as an octal number; write it without leading zeros.")
                        .arg(address));
    else if (!Ipv4Address::isValid(address))
        found.error(ProjectChecker::tr("The IP address '%1' is not a valid IPv4 address.").arg(address));
}

// Station numbers: an RTU slave answers to 1..247 (0 is the broadcast, which no slave answers);
// a Modbus TCP unit id is one byte, and 0 and 255 are the usual ids of a device without a gateway.
void checkStations(Collector &found, const QString &mode, const PointTable &table)
{
    const bool rtu = mode == kModbusRtu;
    if (!rtu && mode != kModbusTcp)
        return;
    const int lowest = rtu ? 1 : 0;
    const int highest = rtu ? 247 : 255;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        const QString station = cell(it.value().first(), 1);
        bool ok = false;
        const int value = station.toInt(&ok);
        if (ok && value >= lowest && value <= highest)
            continue;
        found.error(rtu ? ProjectChecker::tr("The station number '%1' is not a number from 1 to 247, "
                                             "which a Modbus RTU slave needs.").arg(station)
                        : ProjectChecker::tr("The station number '%1' is not a Modbus TCP unit id "
                                             "from 0 to 255.").arg(station),
                    it.key());
    }
}

void checkModbus(Collector &found, const QStandardItem *device)
{
    const QString mode = text(device, Role::Modbus);
    if (mode == kModbusTcp) {
        checkAddress(found, text(device, Role::ModbusIp));
        const QString port = text(device, Role::ModbusPort);
        if (!isPort(port))
            found.error(ProjectChecker::tr("The port '%1' is not a number from 1 to 65535 (or -1 for the default).")
                            .arg(port));
    } else if (mode == kModbusRtu && text(device, Role::SerialPort).isEmpty()) {
        found.error(ProjectChecker::tr("No serial port is set."));
    }
    checkInterval(found, device);

    const PointTable table = device->data(Role::PointTable).value<PointTable>();
    if (table.isEmpty())
        found.warning(ProjectChecker::tr("The device has no slave tabs."));
    checkStations(found, mode, table);
    QHash<QString, Place> names;
    std::vector<Span> spans;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QString &tab = it.key();
        const QList<QVariantList> &rows = it.value();
        if (rows.size() <= 1)
            found.warning(ProjectChecker::tr("The slave tab has no points."), tab);
        const bool startAddress0 = cell(rows.value(0), 3) == kTrue;
        spans.clear();
        spans.reserve(size_t(rows.size()));
        for (int r = 1; r < rows.size(); ++r) {
            const QVariantList &row = rows.at(r);
            const QString address = cell(row, 0);
            const ModbusPointRules::Location at = ModbusPointRules::locate(address, startAddress0);
            if (at.valid) {
                const int span = ModbusPointRules::span(at.table, cell(row, 2), cell(row, 3));
                spans.push_back({int(at.table), at.address, at.address + span - 1, r});
            } else {
                found.warning(ProjectChecker::tr("The address '%1' cannot be read as a Modbus address "
                                                 "(the box may still accept it).")
                                  .arg(address),
                              tab, r);
            }
            checkDuplicateName(found, names, cell(row, 1), tab, r);
        }
        checkOverlaps(found, spans, rows, tab);
    }
}

void checkDlt645(Collector &found, const QStandardItem *device)
{
    if (text(device, Role::SerialPort).isEmpty())
        found.error(ProjectChecker::tr("No serial port is set."));
    checkInterval(found, device);

    const PointTable table = device->data(Role::PointTable).value<PointTable>();
    if (table.isEmpty())
        found.warning(ProjectChecker::tr("The device has no meters."));
    QHash<QString, Place> names;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QString &tab = it.key();
        const QList<QVariantList> &rows = it.value();
        const QString address = cell(rows.value(0), 0);
        if (!isMeterAddress(address))
            found.error(ProjectChecker::tr("The meter address '%1' is not 12 hexadecimal digits.").arg(address),
                        tab);
        int selected = 0;
        for (int r = 1; r < rows.size(); ++r) {
            const QVariantList &row = rows.at(r);
            const QString dataItem = cell(row, 1);
            if (dataItem.isEmpty() || cell(row, 0) != kTrue)
                continue;
            ++selected;
            const QString name = cell(row, 2);
            if (name.trimmed().isEmpty())
                found.error(ProjectChecker::tr("The selected data item '%1' has no name.").arg(dataItem), tab, r);
            else
                checkDuplicateName(found, names, name, tab, r);
        }
        if (selected == 0)
            found.warning(ProjectChecker::tr("The meter has no selected data items."), tab);
    }
}

// A certificate slot with content: it must parse, and should be valid now. Returns it parsed.
QSslCertificate checkCertificate(Collector &found, const QString &label, const QString &content,
                                 const QDateTime &now)
{
    const QSslCertificate certificate = CertificateInspector::certificate(content);
    if (certificate.isNull()) {
        found.error(ProjectChecker::tr("The %1 does not parse as a certificate.").arg(label));
        return certificate;
    }
    const QString from = CertificateInspector::dateText(certificate.effectiveDate());
    const QString to = CertificateInspector::dateText(certificate.expiryDate());
    if (now > certificate.expiryDate())
        found.warning(ProjectChecker::tr("The %1 has expired (valid from %2 to %3).").arg(label, from, to));
    else if (now < certificate.effectiveDate())
        found.warning(ProjectChecker::tr("The %1 is not valid yet (valid from %2 to %3).").arg(label, from, to));
    return certificate;
}

void checkService(Collector &found, const QStandardItem *service, const QDateTime &now)
{
    if (text(service, Role::EnableSSL) != kTrue) {
        // The password travels only without SSL (the file leaves it out otherwise).
        const QString auth = text(service, Role::Authentication);
        if (auth == QObject::tr("Password") && text(service, Role::Password).size() < kShortestPassword)
            found.warning(ProjectChecker::tr("The password has fewer than %1 characters.").arg(kShortestPassword));
        return;
    }

    const QString root = text(service, Role::RootCertificate);
    if (!root.isEmpty())
        checkCertificate(found, ProjectChecker::tr("root certificate"), root, now);

    QSslCertificate serverCertificate;
    const QString server = text(service, Role::ServerCertificate);
    if (server.isEmpty())
        found.error(ProjectChecker::tr("SSL is on but no server certificate is set."));
    else
        serverCertificate = checkCertificate(found, ProjectChecker::tr("server certificate"), server, now);

    const QString keyText = text(service, Role::ServerKey);
    if (keyText.isEmpty()) {
        found.error(ProjectChecker::tr("SSL is on but no server key is set."));
    } else {
        const QString password = text(service, Role::ServerKeyPassword);
        const QSslKey key = CertificateInspector::privateKey(keyText, password);
        const QString unsupported =
            key.isNull() ? CertificateInspector::unsupportedKeyType(keyText, password) : QString();
        if (!unsupported.isEmpty())
            found.error(
                ProjectChecker::tr("The server key is of a type that is not supported (%1).").arg(unsupported));
        else if (key.isNull())
            found.error(ProjectChecker::tr("The server key does not parse (not a private key, or a wrong password)."));
        else if (!serverCertificate.isNull() && !CertificateInspector::keyMatches(serverCertificate, key))
            found.error(ProjectChecker::tr("The server key does not match the server certificate."));
    }

    if (text(service, Role::IsVerifyClientCert) != kTrue)
        return;
    int clients = 0;
    for (int n = 1; n <= 10; ++n) {
        const QString client = text(service, Role::clientCertificate(n));
        if (client.isEmpty())
            continue;
        ++clients;
        checkCertificate(found, ProjectChecker::tr("client certificate %1").arg(n), client, now);
    }
    if (clients == 0)
        found.error(ProjectChecker::tr("Client verification is on but no client certificate is set."));
}

// Items are told apart by name (loading into an open project, live data): a name taken by an
// earlier item of the same kind is an error on every later one.
void checkUniqueName(Collector &found, QHash<QString, int> &seen, const QStandardItem *item)
{
    if (seen[item->text()]++ > 0)
        found.error(ProjectChecker::tr("Another item in the %1 folder is also named '%2'.")
                        .arg(item->parent() ? item->parent()->text() : QString(), item->text()));
}

// A box's own address, which the fleet window sends to, and the network settings it stores.
// A half-typed setting is the box dialog's business (it may be saved, and the box refuses it);
// a leading zero is not: the box would take it as another address.
void checkBox(Collector &found, const QStandardItem *box)
{
    const QString ip = text(box, Role::BoxIp);
    if (!ip.isEmpty())
        checkAddress(found, ip);
    for (const int first : {Role::LanIp, Role::WanIp, Role::WifiIp}) {
        for (int role = first; role < first + 5; ++role) {
            const QString setting = text(box, role);
            if (Ipv4Address::hasLeadingZero(setting))
                checkAddress(found, setting);
        }
    }
}

} // namespace

CheckFindings ProjectChecker::check(const QStandardItem *project, const QDateTime &now)
{
    CheckFindings findings;
    if (!project)
        return findings;
    // Every item the project file would hold, not one per folder or per name.
    QHash<QString, int> names;
    for (QStandardItem *device : itemsInFolders(project, Folder::Standard)) {
        Collector found(&findings, device);
        checkUniqueName(found, names, device);
        const QString protocol = text(device, Role::Protocol);
        if (protocol == kModbus)
            checkModbus(found, device);
        else if (protocol == kDlt645)
            checkDlt645(found, device);
    }
    names.clear();
    for (QStandardItem *service : itemsInFolders(project, Folder::Service)) {
        Collector found(&findings, service);
        checkUniqueName(found, names, service);
        if (text(service, Role::ServiceProtocol) == kIec61850)
            checkService(found, service, now);
    }
    names.clear();
    for (QStandardItem *box : itemsInFolders(project, Folder::Box)) {
        Collector found(&findings, box);
        checkUniqueName(found, names, box);
        checkBox(found, box);
    }
    return findings;
}

bool ProjectChecker::hasErrors(const CheckFindings &findings)
{
    return std::any_of(findings.cbegin(), findings.cend(),
                       [](const CheckFinding &f) { return f.severity == CheckFinding::Error; });
}
