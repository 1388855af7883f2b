#include "core/deployment/AnsibleInventory.h"

#include <QSet>

namespace AnsibleInventory {

namespace {

QString cleaned(const QString &text, bool host)
{
    QString out;
    for (const QChar c : text.trimmed()) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                           || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_')
                           || (host && (c == QLatin1Char('-') || c == QLatin1Char('.')));
        out += plain ? c : QLatin1Char('_');
    }
    return out;
}

} // namespace

QString groupName(const QString &text)
{
    QString name = cleaned(text, false);
    if (name.isEmpty())
        return QStringLiteral("orvane_boxes");
    // Ansible refuses a group that is no identifier.
    if (name.at(0).isDigit())
        name.prepend(QStringLiteral("group_"));
    return name;
}

QString hostName(const QString &text)
{
    const QString name = cleaned(text, true);
    return name.isEmpty() ? QStringLiteral("box") : name;
}

QString ini(const QString &group, const QList<Host> &hosts)
{
    QString text = QStringLiteral("[%1]\n").arg(groupName(group));
    QSet<QString> taken;
    for (const Host &host : hosts) {
        const QString base = hostName(host.name);
        QString name = base;
        for (int n = 2; taken.contains(name); ++n)
            name = QStringLiteral("%1_%2").arg(base).arg(n);
        taken.insert(name);
        text += QStringLiteral("%1 box_ip=%2\n").arg(name, host.ip);
    }
    return text;
}

} // namespace AnsibleInventory
