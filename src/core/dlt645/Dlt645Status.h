#pragma once

// What a meter read's status says, in the user's language (the simulator's log gets the
// source texts).

#include "core/dlt645/Dlt645Frame.h"

#include <QString>

namespace Dlt645Status {

QString text(Dlt645::Status status);
// The text with an error reply's code ("error reply 0x02").
QString text(Dlt645::Status status, quint8 errorCode);

} // namespace Dlt645Status
