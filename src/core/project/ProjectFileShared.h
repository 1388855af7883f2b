#pragma once

// What the project file's writer and reader share: the protocol texts they compare, the
// translated authentication choices and the record access both sides use. Internal to them.

#include "core/project/ItemRecord.h"

#include <QJsonValue>
#include <QObject>
#include <QStandardItem>
#include <QString>

namespace ProjectJson {
namespace FileText {

inline const QString kDlt645 = QStringLiteral("DLT645");
inline const QString kModbus = QStringLiteral("Modbus");
inline const QString kModbusTcp = QStringLiteral("ModbusTCP");
inline const QString kModbusRtu = QStringLiteral("ModbusRTU");
inline const QString kIec61850 = QStringLiteral("IEC61850");
inline const QString kTrue = QStringLiteral("true");
inline const QString kFalse = QStringLiteral("false");
inline const QString kOne = QStringLiteral("1");
inline const QString kZero = QStringLiteral("0");

// Translated choice texts of the IEC61850 authentication field, context "QObject".
inline QString noneText() { return QObject::tr("None"); }
inline QString passwordText() { return QObject::tr("Password"); }

inline QString text(const QStandardItem *item, int role)
{
    return item->data(role).toString();
}

inline void setText(QStandardItem *item, int role, const QString &value)
{
    item->setData(QVariant(value), role);
}

// "true" in a record is "1" in the file, anything else "0".
inline QString flagToFile(const QVariant &value)
{
    return value.toString() == kTrue ? kOne : kZero;
}

inline QString flagFromFile(const QJsonValue &value)
{
    return value.toString() == kOne ? kTrue : kFalse;
}

} // namespace FileText
} // namespace ProjectJson
