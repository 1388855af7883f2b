#include "core/monitoring/SampleRing.h"

#include <QJsonObject>

#include <algorithm>

namespace {
bool saysValid(const QJsonValue &validity)
{
    const QString text = validity.isString() ? validity.toString()
                         : validity.isDouble() ? QString::number(validity.toDouble())
                                               : QString();
    return !(text.isEmpty() || text == QLatin1String("0") || text == QLatin1String("Invalid"));
}
} // namespace

SampleRing::Sample SampleRing::fromPoint(qint64 ms, const QJsonObject &point)
{
    static const QString valueKey = QStringLiteral("value");
    static const QString validKey = QStringLiteral("valid");
    const QJsonValue value = point.value(valueKey);
    bool numeric = value.isDouble();
    double number = value.toDouble();
    if (value.isString())
        number = value.toString().trimmed().toDouble(&numeric);
    return Sample{ms, number, numeric && saysValid(point.value(validKey))};
}

SampleRing::SampleRing(int capacity) : m_samples(qMax(1, capacity)) {}

void SampleRing::append(qint64 ms, double value, bool valid)
{
    const int cap = m_samples.size();
    Sample &slot = m_samples[(m_first + m_count) % cap];
    slot = Sample{ms, value, valid};
    if (m_count < cap)
        ++m_count;
    else
        m_first = (m_first + 1) % cap;
}

const SampleRing::Sample &SampleRing::at(int i) const
{
    return m_samples.at((m_first + i) % m_samples.size());
}

QVector<QVector<QPointF>> SampleRing::runs(qint64 fromMs, qint64 toMs, int columns, qint64 breakAfterMs) const
{
    QVector<QVector<QPointF>> out;
    if (m_count == 0 || toMs < fromMs)
        return out;
    // First sample inside the window, by binary search over the time-ordered ring.
    int lo = 0, hi = m_count;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (at(mid).ms < fromMs)
            lo = mid + 1;
        else
            hi = mid;
    }
    const double span = double(toMs - fromMs) + 1;
    QVector<QPointF> run;
    // The column being gathered: its first, lowest, highest and last sample.
    int column = -1;
    QPointF first, low, high, last;
    auto flush = [&] {
        if (column < 0)
            return;
        QPointF pts[4] = {first, low, high, last};
        std::sort(pts + 1, pts + 3, [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
        for (const QPointF &p : pts)
            if (run.isEmpty() || run.last() != p)
                run.append(p);
        column = -1;
    };
    auto endRun = [&] {
        flush();
        if (!run.isEmpty())
            out.append(run);
        run.clear();
    };
    for (int i = lo; i < m_count; ++i) {
        const Sample &s = at(i);
        if (s.ms > toMs)
            break;
        // The time since the report before (inside the window or not) tells a silent spell.
        if (breakAfterMs > 0 && i > 0 && s.ms - at(i - 1).ms > breakAfterMs)
            endRun();
        if (!s.valid) {
            endRun();
            continue;
        }
        const QPointF p(double(s.ms), s.value);
        if (columns <= 0) {
            run.append(p);
            continue;
        }
        const int c = int(double(s.ms - fromMs) * columns / span);
        if (c != column) {
            flush();
            column = c;
            first = low = high = last = p;
            continue;
        }
        if (p.y() < low.y())
            low = p;
        if (p.y() > high.y())
            high = p;
        last = p;
    }
    endRun();
    return out;
}

SampleHistory::SampleHistory(qint64 keepMs, int maxPerPoint)
    : m_keepMs(keepMs), m_maxPerPoint(qMax(1, maxPerPoint))
{
}

void SampleHistory::append(const QString &device, qint64 ms, const QJsonArray &points)
{
    static const QString nameKey = QStringLiteral("name");
    auto &kept = m_devices[device];
    for (const QJsonValue &entry : points) {
        if (!entry.isObject())
            continue;
        const QJsonObject point = entry.toObject();
        kept[point.value(nameKey).toString()].push_back(SampleRing::fromPoint(ms, point));
    }
    const qint64 oldest = ms - m_keepMs;
    for (auto it = kept.begin(); it != kept.end();) {
        std::deque<SampleRing::Sample> &samples = it.value();
        while (!samples.empty() && (samples.front().ms < oldest || int(samples.size()) > m_maxPerPoint))
            samples.pop_front();
        it = samples.empty() ? kept.erase(it) : std::next(it);
    }
    if (kept.isEmpty())
        m_devices.remove(device);
}

QVector<SampleRing::Sample> SampleHistory::samples(const QString &device, const QString &point) const
{
    QVector<SampleRing::Sample> out;
    const auto found = m_devices.constFind(device);
    if (found == m_devices.constEnd())
        return out;
    const auto samples = found->constFind(point);
    if (samples == found->constEnd())
        return out;
    out.reserve(int(samples->size()));
    for (const SampleRing::Sample &s : *samples)
        out.append(s);
    return out;
}

void SampleHistory::forget(const QString &device)
{
    m_devices.remove(device);
}

Trend::TimeSpan Trend::timeSpan(std::optional<qint64> oldestMs, qint64 nowMs, qint64 windowMs, qint64 minSpanMs)
{
    const qint64 window = qMax<qint64>(1, windowMs);
    const qint64 minSpan = qBound<qint64>(1, minSpanMs, window);
    const qint64 from = oldestMs ? qMax(*oldestMs, nowMs - window) : nowMs;
    return TimeSpan{from, qMax(nowMs, from + minSpan)};
}
