#pragma once

// Controls and tab handling shared by the Modbus and DL/T 645 device editors.

#include "core/project/StandardDeviceRecord.h"

#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
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

// Two form columns side by side, filled by the caller: the editors' fields take half the
// height, so a point table shows below them on a 768-pixel screen.
QHBoxLayout *formColumns(QFormLayout **left, QFormLayout **right);

// A tab page's point table: as tall as the editor leaves room for, never less than a few rows;
// each column at least as wide as its header text, or the given width.
void shapePointTable(QTableWidget *table, const int *columnWidths);

// Titles every tab "<prefix>-<position from 1>"; returns the number for the next new tab.
int renumberTabs(QTabWidget *tabs, const QString &prefix);

} // namespace DeviceForm
