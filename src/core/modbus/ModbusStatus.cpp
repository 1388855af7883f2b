#include "core/modbus/ModbusStatus.h"

#include "core/modbus/ModbusPoint.h"
#include "core/modbus/ModbusSlave.h"

#include <QCoreApplication>

namespace ModbusStatus {

const QString Timeout = QStringLiteral("timeout");
const QString ConnectionError = QStringLiteral("connection error");
const QString WrongReply = QStringLiteral("wrong reply");
const QString CrcError = QStringLiteral("CRC error");
const QString Busy = QStringLiteral("busy");
const QString ReadOnlyPoint = QStringLiteral("read-only point");

namespace {
const QString ExceptionPrefix = QStringLiteral("exception ");
}

QString exception(int code)
{
    return ExceptionPrefix + QString::number(code);
}

QStringList codes()
{
    return {Timeout, ConnectionError, WrongReply, CrcError, Busy, ReadOnlyPoint, exception(2),
            ModbusPoint::AddressError, ModbusPoint::TypeError, ModbusSlave::StationError};
}

} // namespace ModbusStatus

QString modbusStatusText(const QString &status)
{
    using namespace ModbusStatus;
    static const struct {
        const QString &code;
        const char *text;
    } texts[] = {
        {Timeout, QT_TRANSLATE_NOOP("ModbusStatus", "timeout")},
        {ConnectionError, QT_TRANSLATE_NOOP("ModbusStatus", "connection error")},
        {WrongReply, QT_TRANSLATE_NOOP("ModbusStatus", "wrong reply")},
        {CrcError, QT_TRANSLATE_NOOP("ModbusStatus", "CRC error")},
        {Busy, QT_TRANSLATE_NOOP("ModbusStatus", "busy")},
        {ReadOnlyPoint, QT_TRANSLATE_NOOP("ModbusStatus", "read-only point")},
        {ModbusPoint::AddressError, QT_TRANSLATE_NOOP("ModbusStatus", "address error")},
        {ModbusPoint::TypeError, QT_TRANSLATE_NOOP("ModbusStatus", "type error")},
        {ModbusSlave::StationError, QT_TRANSLATE_NOOP("ModbusStatus", "station error")},
    };
    for (const auto &entry : texts) {
        if (status == entry.code)
            return QCoreApplication::translate("ModbusStatus", entry.text);
    }
    if (status.startsWith(ExceptionPrefix))
        return QCoreApplication::translate("ModbusStatus", "exception %1").arg(status.mid(ExceptionPrefix.size()));
    return status;
}
