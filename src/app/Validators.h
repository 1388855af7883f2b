#pragma once

// Input validators shared by the editors.

class QObject;
class QValidator;

namespace Validators {

// Dotted IPv4 address, each part 0 to 255.
QValidator *ipv4(QObject *parent);
// Any text without a CJK unified ideograph (U+4E00 to U+9FA5).
QValidator *noCjk(QObject *parent);

} // namespace Validators
