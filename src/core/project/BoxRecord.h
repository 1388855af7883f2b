#pragma once

// The record of a box item: its name (the item's text) and the texts its data roles hold (see
// Role in ItemRecord.h). The box editor loads one from the item and commits it on Save; every
// field is written back as a string, an unset role reads as an empty one.

#include <QString>

class QStandardItem;

struct BoxRecord
{
    QString name;
    QString ip;
    QString model;
    QString lanIp, lanMask, lanGateway, lanDns1, lanDns2;
    QString wanDhcp, wanIp, wanMask, wanGateway, wanDns1, wanDns2;
    QString wifiOnOff, wifiMode, wifiSsid, wifiPassword, wifiDhcp;
    QString wifiIp, wifiMask, wifiGateway, wifiDns1, wifiDns2;
    QString lteOnOff;
    QString at[5];
    QString ntpServer;
    QString boxTime;

    // A null item gives a record of empty fields.
    static BoxRecord load(const QStandardItem *item);
    void commit(QStandardItem *item) const;
};
