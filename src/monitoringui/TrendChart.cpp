#include "monitoringui/TrendChart.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
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

bool sampleValid(const QJsonValue &validity)
{
    const QString text = validity.isString() ? validity.toString()
                         : validity.isDouble() ? QString::number(validity.toDouble())
                                               : QString();
    return !(text.isEmpty() || text == QLatin1String("0") || text == QLatin1String("Invalid"));
}
} // namespace

struct TrendChart::Trace {
    QString name;
    SampleRing ring;
    QValueAxis *axis = nullptr;
    QColor colour;
    QList<QLineSeries *> series; // a pool: one per unbroken run, spare ones empty
    int drawn = 0;
};

TrendChart::TrendChart(const QString &device, std::function<qint64()> msNow, QWidget *parent)
    : QWidget(parent, Qt::Window), m_device(device), m_msNow(std::move(msNow))
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

    m_minutes = new QSpinBox;
    m_minutes->setRange(1, 24 * 60);
    m_minutes->setValue(10);
    m_minutes->setSuffix(tr(" min"));
    connect(m_minutes, QOverload<int>::of(&QSpinBox::valueChanged), this, &TrendChart::refresh);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Last")));
    top->addWidget(m_minutes);
    top->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view);
    resize(800, 450);
}

TrendChart::~TrendChart() = default;

TrendChart::Trace *TrendChart::trace(const QString &name) const
{
    for (const auto &t : m_traces)
        if (t->name == name)
            return t.get();
    return nullptr;
}

void TrendChart::addPoint(const QString &name)
{
    if (trace(name))
        return;
    auto t = std::make_unique<Trace>();
    t->name = name;
    t->colour = kColours[m_traces.size() % (sizeof kColours / sizeof kColours[0])];
    t->axis = new QValueAxis;
    t->axis->setTitleText(name);
    t->axis->setLabelsColor(t->colour);
    t->axis->setTitleBrush(t->colour);
    m_chart->addAxis(t->axis, m_traces.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
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
    static const QString valueKey = QStringLiteral("value");
    static const QString validKey = QStringLiteral("valid");
    for (const auto &t : m_traces) {
        const auto found = indexOfName.constFind(t->name);
        if (found == indexOfName.constEnd())
            continue;
        const QJsonObject point = points.at(found.value()).toObject();
        const QJsonValue value = point.value(valueKey);
        bool numeric = value.isDouble();
        double number = value.toDouble();
        if (value.isString())
            number = value.toString().trimmed().toDouble(&numeric);
        t->ring.append(ms, number, numeric && sampleValid(point.value(validKey)));
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

const SampleRing *TrendChart::ring(const QString &name) const
{
    const Trace *t = trace(name);
    return t ? &t->ring : nullptr;
}

QList<QLineSeries *> TrendChart::drawnRuns(const QString &name) const
{
    const Trace *t = trace(name);
    return t ? t->series.mid(0, t->drawn) : QList<QLineSeries *>();
}

QValueAxis *TrendChart::valueAxis(const QString &name) const
{
    const Trace *t = trace(name);
    return t ? t->axis : nullptr;
}

void TrendChart::refresh()
{
    const qint64 to = m_msNow();
    const qint64 from = to - qint64(m_minutes->value()) * 60 * 1000;
    // Up to four samples per column of four pixels: a point per pixel keeps every peak in
    // sight, more only costs time.
    const int columns = qMax(100, int(m_chart->plotArea().width()) / 4);
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    for (const auto &t : m_traces) {
        const QVector<QVector<QPointF>> runs = t->ring.runs(from, to, columns);
        double low = std::numeric_limits<double>::max();
        double high = std::numeric_limits<double>::lowest();
        while (t->series.size() < runs.size()) {
            auto *series = new QLineSeries;
            series->setName(t->name);
            series->setPen(QPen(t->colour, 1.5));
            series->setUseOpenGL(false);
            m_chart->addSeries(series);
            series->attachAxis(m_timeAxis);
            series->attachAxis(t->axis);
            // One legend entry per point, not per run.
            if (!t->series.isEmpty())
                for (QLegendMarker *marker : m_chart->legend()->markers(series))
                    marker->setVisible(false);
            t->series.append(series);
        }
        for (int i = 0; i < t->series.size(); ++i) {
            if (i < runs.size()) {
                for (const QPointF &p : runs[i]) {
                    low = qMin(low, p.y());
                    high = qMax(high, p.y());
                }
                t->series[i]->replace(runs[i]);
            } else if (i < t->drawn) {
                t->series[i]->clear();
            }
        }
        t->drawn = runs.size();
        if (runs.isEmpty())
            low = 0, high = 1;
        else if (low == high)
            low -= 1, high += 1;
        // An unchanged range would still walk every attached series.
        if (t->axis->min() != low || t->axis->max() != high)
            t->axis->setRange(low, high);
    }
}
