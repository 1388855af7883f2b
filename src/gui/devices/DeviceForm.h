#pragma once

// Controls and tab handling shared by the Modbus and DL/T 645 device editors.

#include <QStringList>

#include <functional>

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
// Titles every tab "<prefix>-<position from 1>"; returns the number for the next new tab.
int renumberTabs(QTabWidget *tabs, const QString &prefix);

} // namespace DeviceForm
