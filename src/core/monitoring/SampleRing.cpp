#include "core/monitoring/SampleRing.h"

#include <algorithm>

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

QVector<QVector<QPointF>> SampleRing::runs(qint64 fromMs, qint64 toMs, int columns) const
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
