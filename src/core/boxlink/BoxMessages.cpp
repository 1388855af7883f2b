#include "core/boxlink/BoxMessages.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace {

const QString kType = QStringLiteral("type");
const QString kPares = QStringLiteral("pares");
const QString kCode = QStringLiteral("code");

struct KindInfo {
    const char *readType;
    int writeType;
    QStringList keys;
};

const KindInfo &info(BoxMessages::Kind kind)
{
    static const KindInfo table[BoxMessages::KindCount] = {
        {"2", 102, {"lanIp", "lanMask", "lanGateway", "lanDns1", "lanDns2"}},
        {"3", 103, {"wanDhcp", "wanIp", "wanMask", "wanGateway", "wanDns1", "wanDns2"}},
        {"4", 104, {"wifiOnOff", "wifiMode", "ssid", "password", "wifiDhcp", "wifiIp", "wifiMask",
                    "wifiGateway", "wifiDns1", "wifiDns2"}},
        {"5", 105, {"lteOnOff", "AT1", "AT2", "AT3", "AT4", "AT5"}},
        {"8", 108, {"NTP"}},
        {"9", 109, {"date"}},
    };
    return table[kind];
}

QJsonObject request(const QJsonValue &type, const QJsonObject &pares)
{
    QJsonObject message;
    message.insert(kType, type);
    message.insert(kPares, pares);
    return message;
}

// Every member goes out, a null text as an empty string; only a DHCP choice that is neither
// "Enable" nor "Disabled" (dhcpFlag gives a null text) leaves its member out.
QJsonObject writeRequest(BoxMessages::Kind kind, const QStringList &values, int dhcpIndex = -1)
{
    const QStringList keys = BoxMessages::keys(kind);
    QJsonObject pares;
    for (int i = 0; i < keys.size(); ++i) {
        if (i == dhcpIndex && values.at(i).isNull())
            continue;
        pares.insert(keys.at(i), values.at(i).isNull() ? QStringLiteral("") : values.at(i));
    }
    return request(BoxMessages::writeType(kind), pares);
}

QJsonObject parseObject(const QByteArray &json, bool *ok)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    *ok = !document.isNull() && document.isObject();
    return document.object();
}

} // namespace

QString BoxMessages::readType(Kind kind)
{
    return QString::fromLatin1(info(kind).readType);
}

int BoxMessages::writeType(Kind kind)
{
    return info(kind).writeType;
}

QStringList BoxMessages::keys(Kind kind)
{
    return info(kind).keys;
}

bool BoxMessages::kindForReadType(const QString &type, Kind *kind)
{
    for (int k = 0; k < KindCount; ++k) {
        if (readType(Kind(k)) == type) {
            *kind = Kind(k);
            return true;
        }
    }
    return false;
}

bool BoxMessages::kindForWriteType(int type, Kind *kind)
{
    for (int k = 0; k < KindCount; ++k) {
        if (writeType(Kind(k)) == type) {
            *kind = Kind(k);
            return true;
        }
    }
    return false;
}

QJsonObject BoxMessages::readRequest(Kind kind)
{
    return request(readType(kind), QJsonObject());
}

QJsonObject BoxMessages::rebootRequest()
{
    QJsonObject pares;
    pares.insert(QStringLiteral("reboot"), QStringLiteral("reboot"));
    return request(rebootType(), pares);
}

QJsonObject BoxMessages::writeLanRequest(const QString &ip, const QString &mask,
                                         const QString &gateway, const QString &dns1,
                                         const QString &dns2)
{
    return writeRequest(Lan, {ip, mask, gateway, dns1, dns2});
}

QJsonObject BoxMessages::writeWanRequest(const QString &dhcp, const QString &ip,
                                         const QString &mask, const QString &gateway,
                                         const QString &dns1, const QString &dns2)
{
    return writeRequest(Wan, {dhcpFlag(dhcp), ip, mask, gateway, dns1, dns2}, 0);
}

QJsonObject BoxMessages::writeWifiRequest(const QString &onOff, const QString &mode,
                                          const QString &ssid, const QString &password,
                                          const QString &dhcp, const QString &ip,
                                          const QString &mask, const QString &gateway,
                                          const QString &dns1, const QString &dns2)
{
    return writeRequest(Wifi, {onOff, mode, ssid, password, dhcpFlag(dhcp), ip, mask, gateway,
                               dns1, dns2},
                        4);
}

QJsonObject BoxMessages::writeLteRequest(const QString &onOff, const QString &at1,
                                         const QString &at2, const QString &at3,
                                         const QString &at4, const QString &at5)
{
    return writeRequest(Lte, {onOff, at1, at2, at3, at4, at5});
}

QJsonObject BoxMessages::writeNtpRequest(const QString &ntp)
{
    return writeRequest(Ntp, {ntp});
}

QJsonObject BoxMessages::writeTimeRequest(const QString &date)
{
    return writeRequest(Time, {date});
}

QString BoxMessages::dhcpFlag(const QString &choice)
{
    if (choice == QLatin1String("Enable"))
        return QStringLiteral("1");
    if (choice == QLatin1String("Disabled"))
        return QStringLiteral("0");
    return QString();
}

QJsonObject BoxMessages::readReply(Kind kind, const QJsonObject &pares)
{
    return request(readType(kind), pares);
}

QJsonObject BoxMessages::codeReply(const QString &type, const QString &code)
{
    QJsonObject reply;
    reply.insert(kType, type);
    reply.insert(kCode, code);
    return reply;
}

bool BoxMessages::parseReadReply(const QByteArray &json, Kind kind, QStringList *values)
{
    bool ok = false;
    const QJsonObject reply = parseObject(json, &ok);
    if (!ok)
        return false;
    const QJsonValue paresValue = reply.value(kPares);
    if (!paresValue.isObject())
        return false;
    const QJsonObject pares = paresValue.toObject();
    const QStringList names = keys(kind);
    QStringList result;
    for (const QString &name : names) {
        if (!pares.contains(name))
            return false; // partial settings are never handed on
        result.append(pares.value(name).toString());
    }
    *values = result;
    return true;
}

bool BoxMessages::parseLan(const QByteArray &json, LanAllocationData *r)
{
    QStringList v;
    if (!parseReadReply(json, Lan, &v))
        return false;
    *r = LanAllocationData{v[0], v[1], v[2], v[3], v[4]};
    return true;
}

bool BoxMessages::parseWan(const QByteArray &json, WanAllocationData *r)
{
    QStringList v;
    if (!parseReadReply(json, Wan, &v))
        return false;
    *r = WanAllocationData{v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

bool BoxMessages::parseWifi(const QByteArray &json, WifiAllocationData *r)
{
    QStringList v;
    if (!parseReadReply(json, Wifi, &v))
        return false;
    *r = WifiAllocationData{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]};
    return true;
}

bool BoxMessages::parseLte(const QByteArray &json, LteAllocationData *r)
{
    QStringList v;
    if (!parseReadReply(json, Lte, &v))
        return false;
    *r = LteAllocationData{v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

bool BoxMessages::parseNtp(const QByteArray &json, NTPAllocationData *r)
{
    QStringList v;
    if (!parseReadReply(json, Ntp, &v))
        return false;
    *r = NTPAllocationData{v[0]};
    return true;
}

bool BoxMessages::parseTime(const QByteArray &json, timeAllocationData *r)
{
    QStringList v;
    if (!parseReadReply(json, Time, &v))
        return false;
    *r = timeAllocationData{v[0]};
    return true;
}

bool BoxMessages::parseCodeReply(const QByteArray &json, QString *code)
{
    bool ok = false;
    const QJsonObject reply = parseObject(json, &ok);
    if (!ok)
        return false;
    const QJsonValue value = reply.value(kCode);
    if (!value.isString())
        return false;
    *code = value.toString();
    return true;
}
