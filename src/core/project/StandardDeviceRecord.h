#pragma once

// What the two standard device kinds (Modbus, DL/T 645) keep alike: their serial line, and
// the way a text field gets its editor default. Read from and written to a tree item's roles.

#include <QPair>
#include <QString>
#include <QVector>

class QStandardItem;

// Serial port, line settings, RTS and the gap between frames (roles 403..408, 410). The
// time-out is not here: the two kinds keep it under different roles.
struct SerialLineRecord
{
    QString serialPort;
    QString baudRate;
    QString dataBit;
    QString stopBit;
    QString parityBit;
    bool rtsEnable = false;
    QString communicationGap;

    static SerialLineRecord fromItem(const QStandardItem *item);
    void commitTo(QStandardItem *item) const;
    // Unsets every field, as a Modbus device in TCP mode keeps them.
    static void clear(QStandardItem *item);
};

// Role and the text it takes when the item holds none.
using RoleDefault = QPair<int, QString>;

// Writes each default into its role where the item's text is empty: an editor shows a new
// device's defaults, and the record keeps them from then on, saved or not.
void writeEmptyDefaults(QStandardItem *item, const QVector<RoleDefault> &defaults);

// A yes/no role as every reader takes it: the text "true" (a bool reads so too).
bool roleFlag(const QStandardItem *item, int role);
