#include "gui/monitoring/MonitoringRowDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace {
constexpr int kValidColumn = 4;
}

MonitoringRowDelegate::MonitoringRowDelegate(std::function<qint64()> msNow, QObject *parent)
    : QStyledItemDelegate(parent), m_msNow(std::move(msNow))
{
}

QColor MonitoringRowDelegate::foreground(const QModelIndex &index) const
{
    const QString validity = index.sibling(index.row(), kValidColumn).data().toString();
    if (validity == tr("Invalid"))
        return QColor(Qt::red);
    if (m_stale)
        return QColor(Qt::gray);
    return QColor();
}

QString MonitoringRowDelegate::ageText() const
{
    const qint64 seconds = qMax<qint64>(0, (m_msNow() - m_receivedMs) / 1000);
    if (m_stale)
        return tr("Stale: last value received %1 s ago").arg(seconds);
    return tr("Value received %1 s ago").arg(seconds);
}

bool MonitoringRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                      const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event && event->type() == QEvent::ToolTip && index.isValid()) {
        QToolTip::showText(event->globalPos(), ageText(), view);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

void MonitoringRowDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QColor colour = foreground(index);
    if (colour.isValid()) {
        option->palette.setColor(QPalette::Text, colour);
        option->palette.setColor(QPalette::HighlightedText, colour);
    }
}
