#pragma once

// The live feeds behind the monitoring area, one per device name (with the box that reports it,
// when two boxes may report the same device): which open projects feed it,
// when it last reported, and whether its rows are current. Also the rows a box report becomes
// and the clock all live-data times are read from.

#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

namespace MonitoringClock {
// Milliseconds since the epoch: the system clock unless a test set its own.
qint64 nowMs();
// An empty function restores the system clock.
void set(std::function<qint64()> msNow);
} // namespace MonitoringClock

struct MonitoringFeed {
    QSet<QString> projects;
    QString lastProject;
    QString boxIp; // the box whose session delivered the last report; empty when unknown
    qint64 receivedMs = 0;
    qint64 staleAfterMs = 0;
    bool linkLost = false;
    bool stale = false; // as last shown
};

class MonitoringFeeds
{
public:
    // Three collection intervals (the device's interval text, in ms), at least 3 s; without a
    // readable positive interval the box's default of 2 s counts.
    static qint64 staleAfterMs(const QString &collectionInterval);
    // A report's points as rows (name, addr, dataType, value, valid, updateTime); a point
    // without validity is "Invalid", an entry that is no object is skipped.
    static QVariantList rowsFromReport(const QJsonArray &points, const QString &updateTime);

    // The name of a device's feed, tab and data item: the device's name, followed by the box
    // that reports it when known, since two boxes may run the same project.
    static QString feedName(const QString &device, const QString &box);

    // The device reported for the project (through the session of the box at boxIp, when
    // known): its rows are current until staleAfterMs has passed.
    void reported(const QString &device, const QString &project, qint64 receivedMs, qint64 staleAfterMs,
                  const QString &boxIp = QString());
    // The link of the box at boxIp went down: every feed that box delivered, and every feed of
    // unknown box whose latest project holds it, is stale until its next report.
    void linkLost(const QString &boxIp, const std::function<bool(const QString &project)> &projectHoldsBox);
    // Whether the device's rows are to show stale at `nowMs`.
    bool dueStale(const QString &device, qint64 nowMs) const;
    // The project is gone: the devices that no open project feeds any more, now forgotten.
    QStringList forgetProject(const QString &project);

    MonitoringFeed *find(const QString &device);
    QStringList devices() const { return m_feeds.keys(); }

private:
    QHash<QString, MonitoringFeed> m_feeds;
};
