#pragma once

// A window charting the recent values of one or more points of one device, fed with every
// report. Each point keeps its samples in a bounded ring and has its own value axis; gaps
// stand where values were invalid or not numbers and where no report came for three
// collection intervals. A point's line is one path with a break per gap rather than a line
// series per unbroken run: a series per run costs tens of kilobytes each, and their number
// grows with the gaps in the window. The time axis follows the data from the oldest sample
// until the chosen minutes are full, then slides.

#include "core/monitoring/SampleRing.h"

#include <QHash>
#include <QJsonArray>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QGraphicsPathItem;
class QSpinBox;

namespace QtCharts {
class QChart;
class QChartView;
class QDateTimeAxis;
class QValueAxis;
} // namespace QtCharts

class TrendChart : public QWidget
{
    Q_OBJECT
public:
    // msNow gives the current time in milliseconds (a seam for tests).
    TrendChart(const QString &device, std::function<qint64()> msNow, QWidget *parent = nullptr);
    ~TrendChart() override;

    QString device() const { return m_device; }
    // Adds a point (no-op when it is shown already) with the samples kept for it so far,
    // oldest first.
    void addPoint(const QString &name, const QVector<SampleRing::Sample> &kept = {});
    QStringList pointNames() const;

    // Takes the samples of one report received at ms; indexOfName maps a point name to its
    // entry in points. Redraws at once.
    void appendReport(qint64 ms, const QHash<QString, int> &indexOfName, const QJsonArray &points);
    // The same without redrawing.
    void appendSamples(qint64 ms, const QHash<QString, int> &indexOfName, const QJsonArray &points);

    int minutes() const;
    void setMinutes(int minutes);
    // A line breaks where more than this passed between two reports.
    qint64 breakAfterMs() const { return m_breakAfterMs; }
    void setBreakAfterMs(qint64 ms);
    // The time axis' range now, in ms.
    qint64 shownFromMs() const { return m_from; }
    qint64 shownToMs() const { return m_to; }
    const SampleRing *ring(const QString &name) const;
    // The unbroken runs drawn now for the point (x: ms, y: value), thinned for the width.
    QVector<QVector<QPointF>> drawnRuns(const QString &name) const;
    QtCharts::QValueAxis *valueAxis(const QString &name) const;
    void refresh();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Trace;
    Trace *trace(const QString &name) const;
    void drawPaths();

    QString m_device;
    std::function<qint64()> m_msNow;
    std::vector<std::unique_ptr<Trace>> m_traces;
    QtCharts::QChart *m_chart = nullptr;
    QtCharts::QChartView *m_view = nullptr;
    QtCharts::QDateTimeAxis *m_timeAxis = nullptr;
    qint64 m_from = 0;
    qint64 m_to = 0;
    qint64 m_breakAfterMs;
    QSpinBox *m_minutes = nullptr;
};
