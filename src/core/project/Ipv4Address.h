#pragma once

// The one reading of an IPv4 address typed by a person, stored in a project file or given on
// a command line. Only four decimal parts from 0 to 255 joined by dots are an address.
// inet_aton and QHostAddress also take "127.0.4.020" (octal: .16), "127.0.1044", "0x7f.0.4.20"
// and "2130707476", so a spelling the user never meant would reach another machine.

#include <QHostAddress>
#include <QString>

namespace Ipv4Address {

// The address, or a null QHostAddress for any other spelling: a part with a leading zero
// ("0" itself is fine), fewer or more than four parts, a space, a sign, hex or one number.
QHostAddress parse(const QString &text);

inline bool isValid(const QString &text)
{
    return !parse(text).isNull();
}

// True when text would be an address but for a part with a leading zero ("192.168.001.010"):
// the editors' typing rule lets it through, so their Save and the checks name it on its own.
bool hasLeadingZero(const QString &text);

} // namespace Ipv4Address
