#pragma once

// Input validators shared by the editors, and the check their Save runs on validated fields.

#include <QString>
#include <QVector>

class QLineEdit;
class QObject;
class QValidator;
class QWidget;

namespace Validators {

// Dotted IPv4 address, each part 0 to 255.
QValidator *ipv4(QObject *parent);
// Any text without a CJK unified ideograph (U+4E00 to U+9FA5).
QValidator *noCjk(QObject *parent);
// Plain integers from bottom to top, read in the C locale with group separators refused:
// the box reads "1,024" as no number at all.
QValidator *integer(int bottom, int top, QObject *parent);

// A validated line edit and the label the user knows it by.
struct Field
{
    QString label;
    const QLineEdit *edit = nullptr;
};

// A validator lets intermediate text stand ("-", "99999" for a port), and text set from a
// record is never validated at all. True when every field is empty or acceptable; otherwise
// warns, naming the first field that is neither, and returns false.
bool confirmAcceptable(QWidget *parent, const QVector<Field> &fields);

// The IPv4 validator lets "192.168.001.010" stand, which some devices read as octal (another
// host). True when no field holds an address with such a part; otherwise warns, naming the
// first field that does, and returns false: the caller then saves or sends nothing.
bool confirmNoLeadingZero(QWidget *parent, const QVector<Field> &fields);

} // namespace Validators
