#pragma once

// The JSON messages that read and write a box's settings and reboot it: request builders for
// the tool, reply builders for a box, and the reply rules the tool applies.
//
// Reads and the reboot carry "type" as a string, writes as a number (100 plus the read's
// number); every reply carries it as a string. All setting values are strings.

#include "core/boxlink/SettingsRecords.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class BoxMessages
{
public:
    enum Kind { Lan, Wan, Wifi, Lte, Ntp, Time };
    static constexpr int KindCount = 6;

    // "2", "3", "4", "5", "8", "9".
    static QString readType(Kind kind);
    // 102, 103, 104, 105, 108, 109.
    static int writeType(Kind kind);
    static QString rebootType() { return QStringLiteral("6"); }
    // The record's members, in record order.
    static QStringList keys(Kind kind);
    // Finds the kind whose read type (or write type, as text) is the given text.
    static bool kindForReadType(const QString &type, Kind *kind);
    static bool kindForWriteType(int type, Kind *kind);

    // --- Requests ---------------------------------------------------------------------------
    static QJsonObject readRequest(Kind kind);
    static QJsonObject rebootRequest();
    static QJsonObject writeLanRequest(const QString &ip, const QString &mask,
                                       const QString &gateway, const QString &dns1,
                                       const QString &dns2);
    static QJsonObject writeWanRequest(const QString &dhcp, const QString &ip, const QString &mask,
                                       const QString &gateway, const QString &dns1,
                                       const QString &dns2);
    static QJsonObject writeWifiRequest(const QString &onOff, const QString &mode,
                                        const QString &ssid, const QString &password,
                                        const QString &dhcp, const QString &ip,
                                        const QString &mask, const QString &gateway,
                                        const QString &dns1, const QString &dns2);
    static QJsonObject writeLteRequest(const QString &onOff, const QString &at1,
                                       const QString &at2, const QString &at3, const QString &at4,
                                       const QString &at5);
    static QJsonObject writeNtpRequest(const QString &ntp);
    static QJsonObject writeTimeRequest(const QString &date);
    // The dialog's DHCP choice as the box's flag: "Enable" -> "1", "Disabled" -> "0", anything
    // else -> a null string (the member is left out).
    static QString dhcpFlag(const QString &choice);

    // --- Replies (box side) -----------------------------------------------------------------
    static QJsonObject readReply(Kind kind, const QJsonObject &pares);
    static QJsonObject codeReply(const QString &type, const QString &code);

    // --- Replies (tool side) ----------------------------------------------------------------
    // A read reply's values in key order: only when the text is an object whose "pares" object
    // holds every member of the record. Members that are not strings read as empty text.
    static bool parseReadReply(const QByteArray &json, Kind kind, QStringList *values);
    static bool parseLan(const QByteArray &json, LanAllocationData *record);
    static bool parseWan(const QByteArray &json, WanAllocationData *record);
    static bool parseWifi(const QByteArray &json, WifiAllocationData *record);
    static bool parseLte(const QByteArray &json, LteAllocationData *record);
    static bool parseNtp(const QByteArray &json, NTPAllocationData *record);
    static bool parseTime(const QByteArray &json, timeAllocationData *record);
    // A write or reboot reply's "code": only when the text is an object whose "code" is a
    // string.
    static bool parseCodeReply(const QByteArray &json, QString *code);
};
