#include "core/monitoring/MonitoringFeeds.h"

#include <QDateTime>
#include <QJsonObject>
#include <QVariantMap>

namespace {
constexpr qint64 kMinStaleMs = 3000;
constexpr qint64 kDefaultIntervalMs = 2000;

std::function<qint64()> &clockOverride()
{
    static std::function<qint64()> msNow;
    return msNow;
}
} // namespace

qint64 MonitoringClock::nowMs()
{
    const auto &msNow = clockOverride();
    return msNow ? msNow() : QDateTime::currentMSecsSinceEpoch();
}

void MonitoringClock::set(std::function<qint64()> msNow)
{
    clockOverride() = std::move(msNow);
}

qint64 MonitoringFeeds::staleAfterMs(const QString &collectionInterval)
{
    bool ok = false;
    const qint64 ms = collectionInterval.toLongLong(&ok);
    const qint64 interval = ok && ms > 0 ? ms : kDefaultIntervalMs;
    return qMax(kMinStaleMs, 3 * interval);
}

QVariantList MonitoringFeeds::rowsFromReport(const QJsonArray &points, const QString &updateTime)
{
    QVariantList rows;
    rows.reserve(points.size());
    for (const QJsonValue &value : points) {
        if (!value.isObject())
            continue;
        const QJsonObject point = value.toObject();
        QString valid = point.value(QStringLiteral("valid")).toString();
        if (valid.isEmpty())
            valid = QStringLiteral("Invalid");
        QVariantMap row;
        row.insert(QStringLiteral("name"), point.value(QStringLiteral("name")).toString());
        row.insert(QStringLiteral("addr"), point.value(QStringLiteral("addr")).toString());
        row.insert(QStringLiteral("dataType"), point.value(QStringLiteral("dataType")).toString());
        row.insert(QStringLiteral("value"), point.value(QStringLiteral("value")).toString());
        row.insert(QStringLiteral("valid"), valid);
        row.insert(QStringLiteral("updateTime"), updateTime);
        rows.append(row);
    }
    return rows;
}

QString MonitoringFeeds::feedName(const QString &device, const QString &box)
{
    return box.isEmpty() ? device : QStringLiteral("%1 @ %2").arg(device, box);
}

void MonitoringFeeds::reported(const QString &device, const QString &project, qint64 receivedMs,
                               qint64 staleAfterMs, const QString &boxIp)
{
    MonitoringFeed &feed = m_feeds[device];
    feed.boxIp = boxIp;
    feed.projects.insert(project);
    feed.lastProject = project;
    feed.receivedMs = receivedMs;
    feed.staleAfterMs = staleAfterMs;
    feed.linkLost = false;
}

void MonitoringFeeds::linkLost(const QString &boxIp,
                               const std::function<bool(const QString &project)> &projectHoldsBox)
{
    for (MonitoringFeed &feed : m_feeds) {
        if (feed.boxIp.isEmpty() ? projectHoldsBox(feed.lastProject) : feed.boxIp == boxIp)
            feed.linkLost = true;
    }
}

bool MonitoringFeeds::dueStale(const QString &device, qint64 nowMs) const
{
    const auto feed = m_feeds.constFind(device);
    if (feed == m_feeds.constEnd())
        return false;
    return feed->linkLost || nowMs - feed->receivedMs > feed->staleAfterMs;
}

QStringList MonitoringFeeds::forgetProject(const QString &project)
{
    QStringList gone;
    for (auto it = m_feeds.begin(); it != m_feeds.end();) {
        it->projects.remove(project);
        if (!it->projects.isEmpty()) {
            ++it;
            continue;
        }
        gone << it.key();
        it = m_feeds.erase(it);
    }
    return gone;
}

MonitoringFeed *MonitoringFeeds::find(const QString &device)
{
    const auto it = m_feeds.find(device);
    return it == m_feeds.end() ? nullptr : &*it;
}
