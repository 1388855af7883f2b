#include "core/project/Ipv4Address.h"

#include <QVector>

#include <algorithm>

namespace {

// Each part's digits, or false when text is not four dot-separated runs of one to three digits.
bool splitParts(const QString &text, QVector<QStringRef> *parts)
{
    *parts = text.splitRef(QLatin1Char('.'));
    if (parts->size() != 4)
        return false;
    for (const QStringRef &part : *parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

bool leadingZero(const QStringRef &part)
{
    return part.size() > 1 && part.at(0) == QLatin1Char('0');
}

} // namespace

namespace Ipv4Address {

QHostAddress parse(const QString &text)
{
    QVector<QStringRef> parts;
    if (!splitParts(text, &parts))
        return QHostAddress();
    quint32 value = 0;
    for (const QStringRef &part : parts) {
        if (leadingZero(part))
            return QHostAddress();
        value = (value << 8) | quint32(part.toInt());
    }
    return QHostAddress(value);
}

bool hasLeadingZero(const QString &text)
{
    QVector<QStringRef> parts;
    return splitParts(text, &parts) && std::any_of(parts.cbegin(), parts.cend(), leadingZero);
}

} // namespace Ipv4Address
