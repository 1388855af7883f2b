#include "core/dlt645/Dlt645Status.h"

#include <QCoreApplication>

namespace Dlt645Status {

QString text(Dlt645::Status status)
{
    using Dlt645::Status;
    const char *source = "";
    switch (status) {
    case Status::Ok: source = QT_TRANSLATE_NOOP("Dlt645Status", "read"); break;
    case Status::Timeout: source = QT_TRANSLATE_NOOP("Dlt645Status", "no answer within the timeout"); break;
    case Status::ErrorReply: source = QT_TRANSLATE_NOOP("Dlt645Status", "error reply"); break;
    case Status::ChecksumError: source = QT_TRANSLATE_NOOP("Dlt645Status", "checksum error"); break;
    case Status::WrongAddress: source = QT_TRANSLATE_NOOP("Dlt645Status", "answer from another meter address"); break;
    case Status::WrongControl: source = QT_TRANSLATE_NOOP("Dlt645Status", "answer of another kind"); break;
    case Status::WrongIdentifier: source = QT_TRANSLATE_NOOP("Dlt645Status", "answer for another data item"); break;
    case Status::WrongLength: source = QT_TRANSLATE_NOOP("Dlt645Status", "wrong data length"); break;
    case Status::BadDigits: source = QT_TRANSLATE_NOOP("Dlt645Status", "not a decimal (BCD) value"); break;
    case Status::NotSent: source = QT_TRANSLATE_NOOP("Dlt645Status", "not sent: the meter did not answer"); break;
    case Status::BadAddress: source = QT_TRANSLATE_NOOP("Dlt645Status", "the meter address is not 12 hexadecimal digits"); break;
    case Status::BadIdentifier: source = QT_TRANSLATE_NOOP("Dlt645Status", "unknown data item"); break;
    case Status::LineError: source = QT_TRANSLATE_NOOP("Dlt645Status", "serial line error"); break;
    }
    return QCoreApplication::translate("Dlt645Status", source);
}

QString text(Dlt645::Status status, quint8 errorCode)
{
    if (status != Dlt645::Status::ErrorReply)
        return text(status);
    return QCoreApplication::translate("Dlt645Status", "error reply 0x%1")
        .arg(errorCode, 2, 16, QLatin1Char('0'));
}

} // namespace Dlt645Status
