#pragma once

// The recent samples of one live point in a ring of fixed capacity, so memory stays bounded
// whatever the run time, and their drawable form: unbroken runs, thinned per pixel column.
// Also the short history kept for every live point, and the time span a trend shows.

#include <QHash>
#include <QJsonArray>
#include <QPointF>
#include <QString>
#include <QVector>

#include <deque>
#include <optional>

class QJsonObject;

class SampleRing
{
public:
    struct Sample {
        qint64 ms = 0;
        double value = 0;
        bool valid = false; // false: a gap (invalid or non-numeric value)
    };

    static constexpr int kDefaultCapacity = 10000;

    // A reported point (its "value" and "valid") as a sample received at ms: valid only when
    // the value is a number and the point does not say it is invalid.
    static Sample fromPoint(qint64 ms, const QJsonObject &point);

    explicit SampleRing(int capacity = kDefaultCapacity);

    // Samples are expected in time order; the oldest goes when the ring is full.
    void append(qint64 ms, double value, bool valid);
    void append(const Sample &sample) { append(sample.ms, sample.value, sample.valid); }
    int size() const { return m_count; }
    int capacity() const { return m_samples.size(); }
    const Sample &at(int i) const; // 0 is the oldest

    // The samples of [fromMs, toMs] as unbroken runs (x: ms, y: value), a gap wherever a
    // sample is invalid and, with breakAfterMs > 0, wherever more than breakAfterMs passed
    // between two samples (no report came). With `columns` > 0 each run is thinned to its
    // first, lowest, highest and last sample per column of (toMs - fromMs) / columns, so a run
    // keeps its shape.
    QVector<QVector<QPointF>> runs(qint64 fromMs, qint64 toMs, int columns, qint64 breakAfterMs = 0) const;

private:
    QVector<Sample> m_samples;
    int m_first = 0;
    int m_count = 0;
};

// The samples of every point of every reporting device over the last minutes, kept whether a
// chart shows them or not, so that a trend opened later starts with what came before. Bounded
// by age and by count per point.
class SampleHistory
{
public:
    static constexpr qint64 kDefaultKeepMs = 10 * 60 * 1000;
    // Ten minutes of reports 200 ms apart.
    static constexpr int kDefaultMaxPerPoint = 3000;

    explicit SampleHistory(qint64 keepMs = kDefaultKeepMs, int maxPerPoint = kDefaultMaxPerPoint);

    // Takes the points of one report of the device received at ms (objects with "name",
    // "value" and "valid"); what the device's points hold from before ms - keepMs goes, and a
    // point no longer reported is forgotten once its last sample has gone.
    void append(const QString &device, qint64 ms, const QJsonArray &points);
    // The point's kept samples, oldest first.
    QVector<SampleRing::Sample> samples(const QString &device, const QString &point) const;
    void forget(const QString &device);

private:
    qint64 m_keepMs;
    int m_maxPerPoint;
    QHash<QString, QHash<QString, std::deque<SampleRing::Sample>>> m_devices;
};

namespace Trend {
struct TimeSpan {
    qint64 fromMs = 0;
    qint64 toMs = 0;
};

// The time a trend shows at nowMs: from its oldest sample on, growing with the data until it
// spans windowMs, then sliding with now. It spans at least minSpanMs (bounded by windowMs),
// so the first samples start at the left edge instead of crowding against the right one;
// without any sample it starts at now.
TimeSpan timeSpan(std::optional<qint64> oldestMs, qint64 nowMs, qint64 windowMs, qint64 minSpanMs);
} // namespace Trend
