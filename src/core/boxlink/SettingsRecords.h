#pragma once

// Box settings as they travel from the link to the box dialog. Members are named after the
// box's JSON keys.

#include <QMetaType>
#include <QString>

struct LanAllocationData {
    QString lanIp, lanMask, lanGateway, lanDns1, lanDns2;
};

struct WanAllocationData {
    QString wanDhcp, wanIp, wanMask, wanGateway, wanDns1, wanDns2;
};

struct WifiAllocationData {
    QString wifiOnOff, wifiMode, ssid, password, wifiDhcp, wifiIp, wifiMask, wifiGateway, wifiDns1,
        wifiDns2;
};

struct LteAllocationData {
    QString lteOnOff, AT1, AT2, AT3, AT4, AT5;
};

struct NTPAllocationData {
    QString NTP;
};

struct timeAllocationData {
    QString date;
};

Q_DECLARE_METATYPE(LanAllocationData)
Q_DECLARE_METATYPE(WanAllocationData)
Q_DECLARE_METATYPE(WifiAllocationData)
Q_DECLARE_METATYPE(LteAllocationData)
Q_DECLARE_METATYPE(NTPAllocationData)
Q_DECLARE_METATYPE(timeAllocationData)
