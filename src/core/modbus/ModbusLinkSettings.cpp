#include "core/modbus/ModbusLinkSettings.h"

int ModbusLinkSettings::timeoutFromText(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value > 0 ? value : DefaultTimeoutMs;
}

int ModbusLinkSettings::intervalFromText(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= MinimumIntervalMs ? value : DefaultIntervalMs;
}

ModbusLinkSettings ModbusLinkSettings::fromParameters(const QString &mode, const QJsonObject &parameter)
{
    const auto text = [&parameter](const char *key) {
        return parameter.value(QLatin1String(key)).toString();
    };
    const auto number = [&text](const char *key, int fallback) {
        bool ok = false;
        const int value = text(key).trimmed().toInt(&ok);
        return ok && value > 0 ? value : fallback;
    };
    ModbusLinkSettings link;
    link.mode = mode == QLatin1String("ModbusRTU") ? Mode::Rtu : Mode::Tcp;
    link.host = text("ip").trimmed();
    link.port = number("port", 502);
    link.projectPort = text("serialport");
    link.baudRate = number("baudRate", 115200);
    link.dataBits = number("dataBit", 8);
    link.stopBits = number("stopBit", 1);
    if (!text("parityBit").isEmpty())
        link.parity = text("parityBit");
    link.connectionTimeoutMs = link.mode == Mode::Tcp ? timeoutFromText(text("connectionTimeout"))
                                                      : DefaultTimeoutMs;
    link.requestTimeoutMs = timeoutFromText(text("communicationTimeout"));
    link.intervalMs = intervalFromText(text("collectionInterval"));
    return link;
}

QString ModbusLinkSettings::describe() const
{
    if (mode == Mode::Tcp)
        return QStringLiteral("ModbusTCP %1:%2").arg(host).arg(port);
    return QStringLiteral("ModbusRTU %1 (%2) %3 %4%5%6")
        .arg(projectPort, serialDevice.isEmpty() ? QStringLiteral("-") : serialDevice)
        .arg(baudRate)
        .arg(dataBits)
        .arg(parity.left(1))
        .arg(stopBits);
}
