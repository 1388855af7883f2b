#pragma once

// The rows both serial "Test Read" windows show: the device of this PC to read through (the
// system's ports, or a typed path), the line's settings, and the note that the box's port name
// is not this PC's and that a serial line has one master.

#include <QCoreApplication>
#include <QString>

class QComboBox;
class QFormLayout;

class SerialDeviceRows
{
    // First written for the Modbus window, whose translations they keep.
    Q_DECLARE_TR_FUNCTIONS(ModbusTestReadDialog)
public:
    struct Line {
        QString device; // preselected; may be empty
        int baudRate = 0;
        int dataBits = 0;
        int stopBits = 0;
        QString parity;
        QString projectPort; // "COM1": the box's name for its port
    };
    // Adds the rows to `form`; returns the device choice.
    static QComboBox *add(QFormLayout *form, const Line &line);
};
