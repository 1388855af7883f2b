#pragma once

// Controls and tab handling shared by the Modbus and DL/T 645 device editors.

#include "core/project/StandardDeviceRecord.h"

#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace DeviceForm {

// Serial-line choices, in the order the editors offer them.
QStringList serialPortChoices();
QStringList baudRateChoices();
QStringList dataBitChoices();
QStringList stopBitChoices();
QStringList parityChoices();

QComboBox *choiceCombo(const QStringList &choices);
// A line edit that takes integers from bottom to top.
QLineEdit *intEdit(int bottom = -1, int top = 2147483647);
// Index of the choice whose display text equals text exactly, or -1.
int findExact(const QComboBox *combo, const QString &text);
// Selects the choice whose display text equals text exactly; anything else changes nothing.
void selectExact(QComboBox *combo, const QString &text);
// Selects the choice whose display text equals text exactly, else the one of fallback (empty:
// the first choice).
void selectOr(QComboBox *combo, const QString &text, const QString &fallback = QString());

// The serial-line controls both editors show.
struct SerialLineControls
{
    QComboBox *serialPort;
    QComboBox *baudRate;
    QComboBox *dataBit;
    QComboBox *stopBit;
    QComboBox *parity;
    QCheckBox *rts;
    QLineEdit *gap;
};
SerialLineRecord readSerialLine(const SerialLineControls &controls);
// Choices by selectOr, with fallbacks for the baud rate and the parity.
void showSerialLine(const SerialLineControls &controls, const SerialLineRecord &line,
                    const QString &baudFallback = QString(), const QString &parityFallback = QString());

// Titles every tab "<prefix>-<position from 1>"; returns the number for the next new tab.
int renumberTabs(QTabWidget *tabs, const QString &prefix);

} // namespace DeviceForm
