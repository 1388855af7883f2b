#include "ModbusPoller.h"

#include "BoxSimulator.h"

#include "core/project/Ipv4Address.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>

ModbusPoller::ModbusPoller(Settings settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings))
{
}

ModbusPoller::~ModbusPoller() = default;

void ModbusPoller::stop()
{
    m_devices.clear();
}

QString ModbusPoller::refusalFor(const ModbusLinkSettings &link) const
{
    if (link.mode == ModbusLinkSettings::Mode::Rtu) {
        if (link.serialDevice.isEmpty())
            return QStringLiteral("no --serial-map for its port \"%1\"").arg(link.projectPort);
        return QString();
    }
    // "127.0.4.010" is octal .8 to the socket: polling it would read another host's registers.
    if (!Ipv4Address::isValid(link.host))
        return QStringLiteral("\"%1\" is not four decimal parts from 0 to 255 without leading zeros").arg(link.host);
    if (m_settings.allowNetwork)
        return QString();
    const QHostAddress address(link.host);
    if (address.isNull() || !address.isLoopback())
        return QStringLiteral("%1 is not a loopback address (--allow-network lets it be contacted)")
            .arg(link.host.isEmpty() ? QStringLiteral("\"\"") : link.host);
    return QString();
}

QString ModbusPoller::load(const QByteArray &projectBytes)
{
    stop();
    const QJsonObject root = QJsonDocument::fromJson(projectBytes).object();
    m_projectName = root.value(QStringLiteral("name")).toString();
    m_description = root.value(QStringLiteral("description")).toString();
    QStringList parts;
    for (const QJsonValue &value : root.value(QStringLiteral("standards")).toArray()) {
        const QJsonObject standard = value.toObject();
        if (standard.value(QStringLiteral("protocol")).toString() != QLatin1String("Modbus"))
            continue;
        auto device = std::make_shared<Device>();
        device->name = standard.value(QStringLiteral("name")).toString();
        device->link = ModbusLinkSettings::fromParameters(standard.value(QStringLiteral("modbus")).toString(),
                                                          standard.value(QStringLiteral("parameter")).toObject());
        device->link.serialDevice = m_settings.serialMap.value(device->link.projectPort);
        if (m_settings.intervalOverrideMs > 0)
            device->link.intervalMs = m_settings.intervalOverrideMs;
        for (const QJsonValue &slave : standard.value(QStringLiteral("datas")).toArray())
            device->slaves.append(ModbusSlave::fromJson(slave.toObject()));
        device->refusal = refusalFor(device->link);
        if (device->refusal.isEmpty()) {
            device->reader = std::make_unique<ModbusReader>(device->link);
            Device *raw = device.get();
            connect(device->reader.get(), &ModbusReader::readFinished, this,
                    [this, raw](const QVector<ModbusReader::SlaveResults> &results) { report(raw, results); });
        } else {
            simLog(QStringLiteral("modbus device \"%1\" (%2) not contacted, its points report invalid: %3")
                       .arg(device->name, device->link.describe(), device->refusal));
        }
        device->timer.setInterval(device->link.intervalMs);
        Device *raw = device.get();
        connect(&device->timer, &QTimer::timeout, this, [this, raw] { poll(raw); });
        parts.append(QStringLiteral("%1 (%2, every %3 ms)")
                         .arg(device->name, device->link.describe())
                         .arg(device->link.intervalMs));
        m_devices.append(device);
    }
    for (const auto &device : qAsConst(m_devices))
        device->timer.start();
    return QStringLiteral("%1 Modbus device(s) polled for real%2%3")
        .arg(m_devices.size())
        .arg(parts.isEmpty() ? QString() : QStringLiteral(": "))
        .arg(parts.join(QStringLiteral(", ")));
}

void ModbusPoller::poll(Device *device)
{
    if (!device->reader) {
        // Not contacted: every point as failed, at the device's own pace.
        QVector<ModbusReader::SlaveResults> results;
        for (const ModbusSlave &slave : qAsConst(device->slaves))
            results.append(ModbusReader::SlaveResults(slave.points.size()));
        report(device, results);
        return;
    }
    // A round that is still waiting for its replies is not doubled.
    if (!device->reader->isBusy())
        device->reader->read(device->slaves);
}

void ModbusPoller::report(Device *device, const QVector<ModbusReader::SlaveResults> &results)
{
    QString fault;
    for (const ModbusReader::SlaveResults &list : results)
        for (const ModbusReader::PointResult &result : list)
            if (fault.isEmpty() && !result.detail.isEmpty())
                fault = QStringLiteral("%1 (%2)").arg(result.status, result.detail);
    if (fault != device->lastFault && !fault.isEmpty())
        simLog(QStringLiteral("modbus device \"%1\": %2").arg(device->name, fault));
    device->lastFault = fault;

    QJsonArray datas;
    for (int s = 0; s < device->slaves.size(); ++s) {
        const ModbusSlave &slave = device->slaves.at(s);
        for (int p = 0; p < slave.points.size(); ++p) {
            const ModbusPoint &point = slave.points.at(p);
            const ModbusReader::PointResult result = results.value(s).value(p);
            datas.append(livePoint(point.name, point.addressText, point.typeText, result.value,
                                   device->reader && result.ok()));
        }
    }
    emit reportReady(liveReport({m_projectName, m_description, m_settings.serialNumber,
                                 m_settings.clock ? m_settings.clock() : QString()},
                                device->name, datas),
                     device->name);
}
