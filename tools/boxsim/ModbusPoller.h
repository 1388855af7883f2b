#pragma once

// Polls the Modbus devices of the deployed project for real (--modbus real): TCP and RTU,
// each at its collection interval, with the same reader as the tool's "Test Read", and turns
// each round into a live-data report. Devices off loopback are left alone unless allowed, and
// RTU devices need a serial device mapped to their port; such devices report every point
// invalid, and the reason is logged once.

#include "core/modbus/ModbusLinkSettings.h"
#include "core/modbus/ModbusReader.h"
#include "core/modbus/ModbusSlave.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class ModbusPoller : public QObject
{
    Q_OBJECT
public:
    struct Settings {
        QString serialNumber;
        QMap<QString, QString> serialMap; // project port ("COM1") -> serial device
        bool allowNetwork = false;
        int intervalOverrideMs = 0;       // 0: each device's collectionInterval
        std::function<QString()> clock;
    };

    explicit ModbusPoller(Settings settings, QObject *parent = nullptr);
    ~ModbusPoller() override;

    // Replaces the polled devices with the Modbus devices of the project; a summary line
    // for the log.
    QString load(const QByteArray &projectBytes);
    void stop();

signals:
    void reportReady(const QByteArray &text, const QString &device);

private:
    struct Device {
        QString name;
        ModbusLinkSettings link;
        QVector<ModbusSlave> slaves;
        QString refusal; // why it is not contacted; empty when polled
        QString lastFault; // the last reply refusal logged, so a lasting fault is logged once
        std::unique_ptr<ModbusReader> reader;
        QTimer timer;
    };

    QString refusalFor(const ModbusLinkSettings &link) const;
    void poll(Device *device);
    void report(Device *device, const QVector<ModbusReader::SlaveResults> &results);

    Settings m_settings;
    QString m_projectName;
    QString m_description;
    QList<std::shared_ptr<Device>> m_devices;
};
