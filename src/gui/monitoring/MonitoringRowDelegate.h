#pragma once

// Draws a monitoring table's rows by their state: invalid values red always, every other row
// grey while the device's data is stale; the tooltip of a row tells the age of its value.

#include <QStyledItemDelegate>

#include <functional>

class MonitoringRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // msNow gives the current time in milliseconds (a seam for tests).
    MonitoringRowDelegate(std::function<qint64()> msNow, QObject *parent = nullptr);

    void setStale(bool stale) { m_stale = stale; }
    bool isStale() const { return m_stale; }
    void setReceivedAt(qint64 ms) { m_receivedMs = ms; }

    // The text colour of the cell, invalid when the default one is used.
    QColor foreground(const QModelIndex &index) const;
    QString ageText() const;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    std::function<qint64()> m_msNow;
    qint64 m_receivedMs = 0;
    bool m_stale = false;
};
