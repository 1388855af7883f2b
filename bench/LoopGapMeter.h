#pragma once

// The longest gap between two turns of the event loop while it runs: a 1 ms timer whose firings
// bound how long anything held the loop (a zero timer would spin and compete with the peers for
// the cores).

#include <QElapsedTimer>
#include <QTimer>

class LoopGapMeter
{
public:
    LoopGapMeter()
    {
        m_turns.setInterval(1);
        m_turns.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_turns, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = qMax(m_longestNs, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_last = 0;
        m_clock.start();
        m_turns.start();
    }
    void stop() { m_turns.stop(); }
    qint64 longestGapNs() const { return m_longestNs; }

private:
    QElapsedTimer m_clock;
    QTimer m_turns;
    qint64 m_last = 0;
    qint64 m_longestNs = 0;
};
