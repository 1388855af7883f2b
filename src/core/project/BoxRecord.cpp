#include "core/project/BoxRecord.h"

#include "core/project/ItemRecord.h"

#include <QStandardItem>

namespace {
struct Field
{
    int role;
    QString BoxRecord::*member;
};

// Every role but the AT strings, which are an array.
const Field kFields[] = {
    {Role::BoxIp, &BoxRecord::ip},
    {Role::BoxModel, &BoxRecord::model},
    {Role::LanIp, &BoxRecord::lanIp},
    {Role::LanMask, &BoxRecord::lanMask},
    {Role::LanGateway, &BoxRecord::lanGateway},
    {Role::LanDns1, &BoxRecord::lanDns1},
    {Role::LanDns2, &BoxRecord::lanDns2},
    {Role::WanDhcp, &BoxRecord::wanDhcp},
    {Role::WanIp, &BoxRecord::wanIp},
    {Role::WanMask, &BoxRecord::wanMask},
    {Role::WanGateway, &BoxRecord::wanGateway},
    {Role::WanDns1, &BoxRecord::wanDns1},
    {Role::WanDns2, &BoxRecord::wanDns2},
    {Role::WifiOnOff, &BoxRecord::wifiOnOff},
    {Role::WifiMode, &BoxRecord::wifiMode},
    {Role::WifiSsid, &BoxRecord::wifiSsid},
    {Role::WifiPassword, &BoxRecord::wifiPassword},
    {Role::WifiDhcp, &BoxRecord::wifiDhcp},
    {Role::WifiIp, &BoxRecord::wifiIp},
    {Role::WifiMask, &BoxRecord::wifiMask},
    {Role::WifiGateway, &BoxRecord::wifiGateway},
    {Role::WifiDns1, &BoxRecord::wifiDns1},
    {Role::WifiDns2, &BoxRecord::wifiDns2},
    {Role::LteOnOff, &BoxRecord::lteOnOff},
    {Role::NtpServer, &BoxRecord::ntpServer},
    {Role::BoxTime, &BoxRecord::boxTime},
};
} // namespace

BoxRecord BoxRecord::load(const QStandardItem *item)
{
    BoxRecord record;
    if (!item)
        return record;
    record.name = item->text();
    for (const Field &field : kFields)
        record.*field.member = item->data(field.role).toString();
    for (int i = 0; i < 5; ++i)
        record.at[i] = item->data(Role::At1 + i).toString();
    return record;
}

void BoxRecord::commit(QStandardItem *item) const
{
    if (!item)
        return;
    item->setText(name);
    for (const Field &field : kFields)
        item->setData(QVariant(this->*field.member), field.role);
    for (int i = 0; i < 5; ++i)
        item->setData(QVariant(at[i]), Role::At1 + i);
}
