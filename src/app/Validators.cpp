#include "app/Validators.h"

#include <QRegExpValidator>
#include <QRegularExpressionValidator>

namespace Validators {

QValidator *ipv4(QObject *parent)
{
    return new QRegExpValidator(
        QRegExp(QStringLiteral("^((25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}"
                               "(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)$"),
                Qt::CaseSensitive),
        parent);
}

QValidator *noCjk(QObject *parent)
{
    return new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[^\\x{4E00}-\\x{9FA5}]*$")), parent);
}

} // namespace Validators
