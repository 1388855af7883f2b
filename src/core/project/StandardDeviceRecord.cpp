#include "core/project/StandardDeviceRecord.h"

#include "core/project/ItemRecord.h"

#include <QStandardItem>

namespace {

const int kSerialTextRoles[] = {Role::SerialPort, Role::BaudRate, Role::DataBit, Role::StopBit, Role::ParityBit,
                                Role::RtsEnable, Role::CommunicationGap};

} // namespace

SerialLineRecord SerialLineRecord::fromItem(const QStandardItem *item)
{
    SerialLineRecord line;
    line.serialPort = item->data(Role::SerialPort).toString();
    line.baudRate = item->data(Role::BaudRate).toString();
    line.dataBit = item->data(Role::DataBit).toString();
    line.stopBit = item->data(Role::StopBit).toString();
    line.parityBit = item->data(Role::ParityBit).toString();
    line.rtsEnable = roleFlag(item, Role::RtsEnable);
    line.communicationGap = item->data(Role::CommunicationGap).toString();
    return line;
}

void SerialLineRecord::commitTo(QStandardItem *item) const
{
    item->setData(QVariant(serialPort), Role::SerialPort);
    item->setData(QVariant(baudRate), Role::BaudRate);
    item->setData(QVariant(dataBit), Role::DataBit);
    item->setData(QVariant(stopBit), Role::StopBit);
    item->setData(QVariant(parityBit), Role::ParityBit);
    item->setData(QVariant(rtsEnable), Role::RtsEnable);
    item->setData(QVariant(communicationGap), Role::CommunicationGap);
}

void SerialLineRecord::clear(QStandardItem *item)
{
    for (int role : kSerialTextRoles)
        item->setData(QVariant(), role);
}

void writeEmptyDefaults(QStandardItem *item, const QVector<RoleDefault> &defaults)
{
    for (const RoleDefault &field : defaults) {
        if (item->data(field.first).toString().isEmpty())
            item->setData(QVariant(field.second), field.first);
    }
}

bool roleFlag(const QStandardItem *item, int role)
{
    return item->data(role).toString() == QLatin1String("true");
}
