#include "gui/widgets/Validators.h"

#include "core/project/Ipv4Address.h"

#include <QCoreApplication>
#include <QIntValidator>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
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

QValidator *integer(int bottom, int top, QObject *parent)
{
    auto *validator = new QIntValidator(bottom, top, parent);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(c);
    return validator;
}

namespace {

QString bareLabel(const Field &field)
{
    QString label = field.label.trimmed();
    if (label.endsWith(QLatin1Char(':')) || label.endsWith(QChar(0xFF1A)))
        label.chop(1);
    return label;
}

} // namespace

bool confirmAcceptable(QWidget *parent, const QVector<Field> &fields)
{
    for (const Field &field : fields) {
        if (!field.edit || field.edit->text().isEmpty() || field.edit->hasAcceptableInput())
            continue;
        // The value itself is not repeated: it may be a password.
        QMessageBox::warning(parent, QCoreApplication::translate("Validators", "Warning"),
                             QCoreApplication::translate("Validators",
                                                         "The value of \"%1\" is out of range, incomplete "
                                                         "or not allowed. Nothing was saved.")
                                 .arg(bareLabel(field)));
        return false;
    }
    return true;
}

bool confirmNoLeadingZero(QWidget *parent, const QVector<Field> &fields)
{
    for (const Field &field : fields) {
        if (!field.edit || !Ipv4Address::hasLeadingZero(field.edit->text()))
            continue;
        QMessageBox::warning(parent, QCoreApplication::translate("Validators", "Warning"),
                             QCoreApplication::translate("Validators",
                                                         "The IP address \"%1\" in \"%2\" has a part with a "
                                                         "leading zero, which some devices read as an octal "
                                                         "number (010 as 8). Write it without leading zeros.")
                                 .arg(field.edit->text(), bareLabel(field)));
        return false;
    }
    return true;
}

} // namespace Validators
