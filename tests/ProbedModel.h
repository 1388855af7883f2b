#pragma once

// A Modbus device template that only carries an identification probe: a holding register and
// the uint16 value the model reads there.

#include "core/templates/DeviceTemplate.h"

inline DeviceTemplate probedModel(const QString &maker, const QString &name, int address, const QString &value)
{
    DeviceTemplate device;
    device.name = name;
    device.maker = maker;
    device.model = name;
    device.protocol = QStringLiteral("Modbus");
    device.probe.table = QStringLiteral("holdingRegisters");
    device.probe.address = address;
    device.probe.dataType = QStringLiteral("uint16");
    device.probe.value = value;
    return device;
}
