#include "gui/monitoring/TrendChart.h"

#include "core/monitoring/MonitoringFeeds.h"

#include <QDateTime>
#include <QGraphicsPathItem>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <limits>

using namespace QtCharts;

namespace {
const QColor kColours[] = {QColor(0x12, 0x96, 0xdb), QColor(0xd9, 0x53, 0x19), QColor(0x2c, 0xa0, 0x2c),
                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b), QColor(0x7f, 0x7f, 0x7f)};

// The shortest time axis: the first samples of a new point start at the left edge.
constexpr qint64 kMinSpanMs = 10 * 1000;
} // namespace

struct TrendChart::Trace {
    QString name;
    SampleRing ring;
    QValueAxis *axis = nullptr;
    QColor colour;
    QLineSeries *legendEntry = nullptr; // empty; names the point in the legend
    QGraphicsPathItem *path = nullptr;
    QVector<QVector<QPointF>> runs;
    double low = 0; // the point's own range
    double high = 1;
    Trace *shownOn = this; // the point whose axis it is drawn against
    double axisLow = 0;    // that axis' range
    double axisHigh = 1;
    double narrowest = 1; // as axis: the narrowest own range drawn against it
};

TrendChart::TrendChart(const QString &device, std::function<qint64()> msNow, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_device(device)
    , m_msNow(std::move(msNow))
    , m_breakAfterMs(MonitoringFeeds::staleAfterMs(QString()))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Trend: %1").arg(device));
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_view = new QChartView(m_chart);
    m_view->setRenderHint(QPainter::Antialiasing, false);
    // The thinning follows the plot's width, and the paths its geometry.
    connect(m_chart, &QChart::plotAreaChanged, this, &TrendChart::refresh);

    m_minutes = new QSpinBox;
    m_minutes->setRange(1, 24 * 60);
    m_minutes->setValue(10);
    m_minutes->setSuffix(tr(" min"));
    connect(m_minutes, QOverload<int>::of(&QSpinBox::valueChanged), this, &TrendChart::refresh);

    // Without a window manager's frame this is the way to close the window by mouse.
    auto *close = new QPushButton(tr("Close"));
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Last")));
    top->addWidget(m_minutes);
    top->addStretch();
    top->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view);
    resize(800, 450);
}

TrendChart::~TrendChart()
{
    // The chart outlives the traces by a moment (children go after members): no redraw then.
    disconnect(m_chart, nullptr, this, nullptr);
}

TrendChart::Trace *TrendChart::trace(const QString &name) const
{
    for (const auto &t : m_traces)
        if (t->name == name)
            return t.get();
    return nullptr;
}

void TrendChart::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TrendChart::addPoint(const QString &name, const QVector<SampleRing::Sample> &kept)
{
    if (trace(name))
        return;
    auto t = std::make_unique<Trace>();
    t->name = name;
    for (const SampleRing::Sample &sample : kept)
        t->ring.append(sample);
    t->colour = kColours[m_traces.size() % (sizeof kColours / sizeof kColours[0])];
    t->axis = new QValueAxis;
    t->axis->setTitleText(name);
    t->axis->setLabelsColor(t->colour);
    t->axis->setTitleBrush(t->colour);
    m_chart->addAxis(t->axis, m_traces.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
    t->legendEntry = new QLineSeries;
    t->legendEntry->setName(name);
    t->legendEntry->setPen(QPen(t->colour, 1.5));
    m_chart->addSeries(t->legendEntry);
    t->legendEntry->attachAxis(m_timeAxis);
    t->legendEntry->attachAxis(t->axis);
    t->path = new QGraphicsPathItem(m_chart);
    t->path->setPen(QPen(t->colour, 1.5));
    t->path->setZValue(10); // above the grid and the plot background
    m_traces.push_back(std::move(t));
    refresh();
}

QStringList TrendChart::pointNames() const
{
    QStringList names;
    for (const auto &t : m_traces)
        names << t->name;
    return names;
}

void TrendChart::appendReport(qint64 ms, const QHash<QString, int> &indexOfName, const QJsonArray &points)
{
    appendSamples(ms, indexOfName, points);
    refresh();
}

void TrendChart::appendSamples(qint64 ms, const QHash<QString, int> &indexOfName, const QJsonArray &points)
{
    for (const auto &t : m_traces) {
        const auto found = indexOfName.constFind(t->name);
        if (found != indexOfName.constEnd())
            t->ring.append(SampleRing::fromPoint(ms, points.at(found.value()).toObject()));
    }
}

int TrendChart::minutes() const
{
    return m_minutes->value();
}

void TrendChart::setMinutes(int minutes)
{
    m_minutes->setValue(minutes);
}

void TrendChart::setBreakAfterMs(qint64 ms)
{
    if (ms == m_breakAfterMs)
        return;
    m_breakAfterMs = ms;
    refresh();
}

const SampleRing *TrendChart::ring(const QString &name) const
{
    const Trace *t = trace(name);
    return t ? &t->ring : nullptr;
}

QVector<QVector<QPointF>> TrendChart::drawnRuns(const QString &name) const
{
    const Trace *t = trace(name);
    return t ? t->runs : QVector<QVector<QPointF>>();
}

QValueAxis *TrendChart::valueAxis(const QString &name) const
{
    const Trace *t = trace(name);
    return t ? t->shownOn->axis : nullptr;
}

void TrendChart::refresh()
{
    std::optional<qint64> oldest;
    for (const auto &t : m_traces)
        if (t->ring.size() > 0)
            oldest = qMin(t->ring.at(0).ms, oldest.value_or(t->ring.at(0).ms));
    const Trend::TimeSpan span =
        Trend::timeSpan(oldest, m_msNow(), qint64(m_minutes->value()) * 60 * 1000, kMinSpanMs);
    m_from = span.fromMs;
    m_to = span.toMs;
    // Up to four samples per column of four pixels: a point per pixel keeps every peak in
    // sight, more only costs time.
    const int columns = qMax(100, int(m_chart->plotArea().width()) / 4);
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_from), QDateTime::fromMSecsSinceEpoch(m_to));
    for (const auto &t : m_traces) {
        t->runs = t->ring.runs(m_from, m_to, columns, m_breakAfterMs);
        double low = std::numeric_limits<double>::max();
        double high = std::numeric_limits<double>::lowest();
        for (const QVector<QPointF> &run : qAsConst(t->runs))
            for (const QPointF &p : run) {
                low = qMin(low, p.y());
                high = qMax(high, p.y());
            }
        if (t->runs.isEmpty())
            low = 0, high = 1;
        else if (low == high)
            low -= 1, high += 1;
        t->low = low;
        t->high = high;
    }
    // Points of alike ranges share one axis, so a chart of similar values is not crowded
    // with near-identical scales: alike when the joint range is at most twice each own
    // range, so every line keeps at least half the height.
    QList<Trace *> axes;
    for (const auto &t : m_traces) {
        t->shownOn = t.get();
        // Nothing to draw yet says nothing about the range to come.
        for (Trace *axis : t->runs.isEmpty() ? QList<Trace *>() : axes) {
            const double low = qMin(axis->axisLow, t->low);
            const double high = qMax(axis->axisHigh, t->high);
            if (high - low <= 2 * qMin(axis->narrowest, t->high - t->low)) {
                t->shownOn = axis;
                axis->axisLow = low;
                axis->axisHigh = high;
                axis->narrowest = qMin(axis->narrowest, t->high - t->low);
                break;
            }
        }
        if (t->shownOn == t.get()) {
            t->axisLow = t->low;
            t->axisHigh = t->high;
            t->narrowest = t->high - t->low;
            if (!t->runs.isEmpty())
                axes.append(t.get());
        }
    }
    for (const auto &t : m_traces) {
        QStringList names;
        for (const auto &other : m_traces)
            if (other->shownOn == t.get())
                names << other->name;
        const bool shown = !names.isEmpty();
        if (t->axis->isVisible() != shown)
            t->axis->setVisible(shown);
        if (!shown)
            continue;
        const QString title = names.join(QStringLiteral(", "));
        if (t->axis->titleText() != title) {
            // A shared axis belongs to no one line's colour.
            const QColor colour = names.size() == 1 ? t->colour : palette().color(QPalette::WindowText);
            t->axis->setTitleText(title);
            t->axis->setLabelsColor(colour);
            t->axis->setTitleBrush(colour);
        }
        // An unchanged range would still walk every attached series.
        if (t->axis->min() != t->axisLow || t->axis->max() != t->axisHigh)
            t->axis->setRange(t->axisLow, t->axisHigh);
    }
    drawPaths();
}

void TrendChart::drawPaths()
{
    // Both axes are linear, so a value maps to the plot area by scale and offset, the same
    // mapping the axes draw their ticks with.
    const QRectF plot = m_chart->plotArea();
    const double xScale = m_to > m_from ? plot.width() / double(m_to - m_from) : 0;
    for (const auto &t : m_traces) {
        const double low = t->shownOn->axisLow;
        const double yScale = plot.height() / (t->shownOn->axisHigh - low);
        QPainterPath path;
        for (const QVector<QPointF> &run : qAsConst(t->runs)) {
            const auto map = [&](const QPointF &p) {
                return QPointF(plot.left() + (p.x() - double(m_from)) * xScale,
                               plot.bottom() - (p.y() - low) * yScale);
            };
            path.moveTo(map(run.first()));
            // A lone value between two gaps still shows, as a dot.
            if (run.size() == 1)
                path.lineTo(map(run.first()) + QPointF(1, 0));
            for (int i = 1; i < run.size(); ++i)
                path.lineTo(map(run[i]));
        }
        t->path->setPath(path);
    }
}
