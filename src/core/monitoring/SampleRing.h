#pragma once

// The recent samples of one live point in a ring of fixed capacity, so memory stays bounded
// whatever the run time, and their drawable form: unbroken runs, thinned per pixel column.

#include <QPointF>
#include <QVector>

class SampleRing
{
public:
    struct Sample {
        qint64 ms = 0;
        double value = 0;
        bool valid = false; // false: a gap (invalid or non-numeric value)
    };

    static constexpr int kDefaultCapacity = 10000;

    explicit SampleRing(int capacity = kDefaultCapacity);

    // Samples are expected in time order; the oldest goes when the ring is full.
    void append(qint64 ms, double value, bool valid);
    int size() const { return m_count; }
    int capacity() const { return m_samples.size(); }
    const Sample &at(int i) const; // 0 is the oldest

    // The samples of [fromMs, toMs] as unbroken runs (x: ms, y: value), a gap wherever a
    // sample is invalid. With `columns` > 0 each run is thinned to its first, lowest, highest
    // and last sample per column of (toMs - fromMs) / columns, so a run keeps its shape.
    QVector<QVector<QPointF>> runs(qint64 fromMs, qint64 toMs, int columns) const;

private:
    QVector<Sample> m_samples;
    int m_first = 0;
    int m_count = 0;
};
