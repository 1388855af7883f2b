#include "gui/devices/SerialDeviceRows.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSerialPortInfo>

QComboBox *SerialDeviceRows::add(QFormLayout *form, const Line &line)
{
    auto *combo = new QComboBox;
    combo->setEditable(true);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        combo->addItem(info.systemLocation());
    combo->setCurrentText(line.device);
    form->addRow(tr("Serial device:"), combo);
    form->addRow(tr("Line:"), new QLabel(tr("%1 baud, %2 data bits, %3 stop bits, parity %4")
                                             .arg(line.baudRate)
                                             .arg(line.dataBits)
                                             .arg(line.stopBits)
                                             .arg(line.parity)));
    auto *note = new QLabel(tr("\"%1\" is the box's name for its port: choose the serial device "
                               "of this PC. A serial line allows one master, so the box must not "
                               "poll this line while you test it.")
                                .arg(line.projectPort));
    note->setWordWrap(true);
    note->setObjectName(QStringLiteral("oneMasterNote"));
    form->addRow(note);
    return combo;
}
