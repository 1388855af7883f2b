#pragma once

// The status codes a Modbus point or write ends with (empty: read or written) and the one
// place that turns a code into the text shown to the user, in the interface's language.

#include <QString>
#include <QStringList>

namespace ModbusStatus {

extern const QString Timeout;
extern const QString ConnectionError;
extern const QString WrongReply;   // a reply that does not answer the request it came for
extern const QString CrcError;     // RTU: a reply whose checksum is wrong
extern const QString Busy;         // a write asked for while a read or write runs
extern const QString ReadOnlyPoint;

// "exception N": the device refused the request with exception code N.
QString exception(int code);

// Every code a status can hold (an exception stands for all "exception N").
QStringList codes();

} // namespace ModbusStatus

// The translated text of a status code; an unknown text is shown as it is.
QString modbusStatusText(const QString &status);
