#pragma once

// The link to one Modbus device: TCP (address, port) or RTU (a serial device and its line
// settings), the two time-outs and the polling interval, read from the device's parameters.

#include <QJsonObject>
#include <QString>

class ModbusLinkSettings
{
public:
    enum class Mode { Tcp, Rtu };

    static constexpr int DefaultTimeoutMs = 1000;
    static constexpr int DefaultIntervalMs = 1000;
    static constexpr int MinimumIntervalMs = 100;

    // mode: "ModbusTCP" or "ModbusRTU" (anything else reads as TCP); parameter: the device's
    // "parameter" object of the project file.
    static ModbusLinkSettings fromParameters(const QString &mode, const QJsonObject &parameter);

    // "-1", empty or no positive number: the default.
    static int timeoutFromText(const QString &text);
    // Below 100 ms, "-1" or no number: 1000 ms.
    static int intervalFromText(const QString &text);

    QString describe() const;

    Mode mode = Mode::Tcp;
    QString host;
    int port = 502;
    QString projectPort;   // the box's name for its serial port, e.g. "COM1"
    QString serialDevice;  // the serial device this machine opens for it
    int baudRate = 115200;
    int dataBits = 8;
    int stopBits = 1;
    QString parity = QStringLiteral("NONE");
    int connectionTimeoutMs = DefaultTimeoutMs;
    int requestTimeoutMs = DefaultTimeoutMs;
    int intervalMs = DefaultIntervalMs;
};
