#include "LiveReporter.h"

#include "core/dlt645/Dlt645Value.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtMath>

#include <limits>

namespace {

const QString kValid = QStringLiteral("valid");

// A stable phase per point, so waves of different points do not move in step.
double phaseFor(const QString &name)
{
    return double(qHash(name) % 6283u) / 1000.0;
}

bool startsWithAny(const QString &text, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes) {
        if (text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

LiveReporter::LiveReporter(Settings settings, QRandomGenerator *random, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_random(random)
{
    m_clock.start();
}

LiveReporter::~LiveReporter() = default;

void LiveReporter::stop()
{
    for (const auto &device : m_devices)
        device->timer->stop();
    m_devices.clear();
}

bool LiveReporter::load(const QByteArray &projectBytes, QString *summary)
{
    stop();
    // A box is often sent again the project it already runs (a fleet deployed once more): the
    // parse, most of the work for a large project, is then skipped. Each load still starts
    // from the points' first values.
    if (!m_plan || projectBytes != m_planBytes) {
        m_plan = parse(projectBytes);
        m_planBytes = projectBytes;
    }
    if (!m_plan->valid) {
        *summary = QStringLiteral("deployed project is no JSON object; no live data");
        return false;
    }
    m_projectName = m_plan->projectName;
    m_description = m_plan->description;

    QStringList parts;
    for (const DevicePlan &planned : m_plan->devices) {
        auto device = std::make_shared<Device>();
        device->name = planned.name;
        device->points = planned.points;
        device->timer = std::make_unique<QTimer>();
        device->timer->setInterval(planned.interval);
        const int index = m_devices.size();
        connect(device->timer.get(), &QTimer::timeout, this, [this, index]() {
            const QByteArray text = QJsonDocument(nextReport(index)).toJson(QJsonDocument::Compact);
            emit reportReady(text, m_devices.at(index)->name);
        });
        parts.append(QStringLiteral("%1 (%2 points every %3 ms)")
                         .arg(device->name).arg(device->points.size()).arg(planned.interval));
        m_devices.append(device);
    }
    for (const auto &device : m_devices)
        device->timer->start();
    *summary = QStringLiteral("project \"%1\": %2 device(s)%3%4")
                   .arg(m_projectName)
                   .arg(m_devices.size())
                   .arg(parts.isEmpty() ? QString() : QStringLiteral(": "))
                   .arg(parts.join(QStringLiteral(", ")));
    return true;
}

std::shared_ptr<const LiveReporter::Plan> LiveReporter::parse(const QByteArray &projectBytes) const
{
    auto plan = std::make_shared<Plan>();
    const QJsonDocument document = QJsonDocument::fromJson(projectBytes);
    if (!document.isObject())
        return plan;
    plan->valid = true;
    const QJsonObject root = document.object();
    plan->projectName = root.value(QStringLiteral("name")).toString();
    plan->description = root.value(QStringLiteral("description")).toString();

    const QJsonArray standards = root.value(QStringLiteral("standards")).toArray();
    for (const QJsonValue &standardValue : standards) {
        const QJsonObject standard = standardValue.toObject();
        DevicePlan device;
        device.name = standard.value(QStringLiteral("name")).toString();
        const bool meter = standard.value(QStringLiteral("protocol")).toString()
                           == QLatin1String("DLT645");
        if ((!meter && m_settings.skipModbus) || (meter && m_settings.skipMeters))
            continue;
        const QJsonArray units = standard.value(QStringLiteral("datas")).toArray();
        for (const QJsonValue &unit : units) {
            const QJsonArray points = unit.toObject().value(QStringLiteral("datas")).toArray();
            for (const QJsonValue &pointValue : points) {
                const QJsonObject point = pointValue.toObject();
                if (!meter) {
                    device.points.append(modbusPoint(point));
                    continue;
                }
                // A meter is polled only for its selected items that have a data identifier.
                const QString select = point.value(QStringLiteral("select")).toString();
                if ((select == QLatin1String("true") || select == QLatin1String("1"))
                    && point.contains(QStringLiteral("addr")))
                    device.points.append(meterPoint(point));
            }
        }
        int interval = m_settings.intervalOverrideMs;
        if (interval <= 0) {
            const QJsonObject parameter = standard.value(QStringLiteral("parameter")).toObject();
            bool ok = false;
            interval = parameter.value(QStringLiteral("collectionInterval")).toString().toInt(&ok);
            if (!ok || interval <= 0)
                interval = 1000;
            interval = qMax(100, interval);
        }
        device.interval = interval;
        plan->devices.append(device);
    }
    return plan;
}

QJsonObject LiveReporter::nextReport(int deviceIndex)
{
    Device &device = *m_devices.at(deviceIndex);
    const double seconds = m_clock.elapsed() / 1000.0;
    QJsonArray datas;
    for (Point &point : device.points) {
        QJsonObject entry;
        entry.insert(QStringLiteral("name"), point.name);
        entry.insert(QStringLiteral("addr"), point.addr);
        entry.insert(QStringLiteral("dataType"), point.dataType);
        entry.insert(QStringLiteral("value"), point.value(seconds, m_random));
        const bool invalid = int(m_random->bounded(100)) < m_settings.invalidPercent;
        entry.insert(kValid, invalid ? QStringLiteral("0") : QStringLiteral("1"));
        datas.append(entry);
    }
    QJsonObject report;
    report.insert(QStringLiteral("projectName"), m_projectName);
    report.insert(QStringLiteral("plcName"), device.name);
    report.insert(QStringLiteral("description"), m_description);
    report.insert(QStringLiteral("sn"), m_settings.serialNumber);
    report.insert(QStringLiteral("time"), m_settings.clock ? m_settings.clock() : QString());
    report.insert(QStringLiteral("datas"), datas);
    return report;
}

LiveReporter::Point LiveReporter::modbusPoint(const QJsonObject &object)
{
    Point point;
    point.name = object.value(QStringLiteral("name")).toString();
    point.addr = object.value(QStringLiteral("addr")).toString();
    point.dataType = object.value(QStringLiteral("dataType")).toString();
    point.phase = phaseFor(point.name);
    const QString type = point.dataType.toLower();
    struct Range {
        const char *type;
        qint64 minimum, maximum;
    };
    static const Range ranges[] = {
        {"int8", -128, 127},
        {"uint8", 0, 255},
        {"int16", -32768, 32767},
        {"uint16", 0, 65535},
        {"int32", std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()},
        {"uint32", 0, std::numeric_limits<quint32>::max()},
        {"int64", std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()},
        {"uint64", 0, std::numeric_limits<qint64>::max()},
    };
    if (type == QLatin1String("bool")) {
        point.motion = Motion::Toggle;
    } else if (type == QLatin1String("float") || type == QLatin1String("double")) {
        point.motion = Motion::Wave;
        point.decimals = type == QLatin1String("float") ? 2 : 4;
    } else if (type == QLatin1String("string")) {
        point.motion = Motion::Text;
    } else {
        point.motion = Motion::Counter;
        point.maximum = 65535;
        for (const Range &range : ranges) {
            if (type == QLatin1String(range.type)) {
                point.minimum = range.minimum;
                point.maximum = range.maximum;
            }
        }
        point.counter = qBound(point.minimum, qint64(qHash(point.name) % 1000u), point.maximum);
    }
    return point;
}

LiveReporter::Point LiveReporter::meterPoint(const QJsonObject &object)
{
    Point point;
    point.name = object.value(QStringLiteral("name")).toString();
    point.addr = object.value(QStringLiteral("addr")).toString();
    point.dataType = object.value(QStringLiteral("dataType")).toString();
    point.phase = phaseFor(point.name + point.addr);
    point.decimals = Dlt645::parseFormat(point.dataType).decimals;
    if (point.decimals == 0)
        point.width = point.dataType.trimmed().size();
    const QString &addr = point.addr;
    if (startsWithAny(addr, {"0201", "B61"}))
        point.motion = Motion::Voltage;
    else if (startsWithAny(addr, {"0202", "B62"}))
        point.motion = Motion::Current;
    else if (startsWithAny(addr, {"0203", "0204", "0205", "B63", "B64"}))
        point.motion = Motion::Power;
    else if (startsWithAny(addr, {"0206", "B65"}))
        point.motion = Motion::PowerFactor;
    else if (startsWithAny(addr, {"0400040", "C03"}))
        point.motion = Motion::Constant;
    else if ((addr.size() == 8 && addr.startsWith(QLatin1String("00")))
             || startsWithAny(addr, {"90", "91"}))
        point.motion = Motion::Energy;
    else
        point.motion = point.decimals > 0 ? Motion::Wave : Motion::Counter;
    point.energy = 1000.0 + double(qHash(point.name) % 9000u);
    point.maximum = 999999;
    return point;
}

QString LiveReporter::Point::value(double seconds, QRandomGenerator *random)
{
    const double wave = qSin(2.0 * M_PI * seconds / 60.0 + phase);
    const double noise = random->generateDouble() - 0.5;
    auto fixed = [this](double v) {
        if (decimals > 0)
            return QString::number(v, 'f', decimals);
        const QString digits = QString::number(qRound64(v));
        return width > 0 ? digits.rightJustified(width, QLatin1Char('0')) : digits;
    };
    switch (motion) {
    case Motion::Toggle:
        ++counter;
        return (counter / 5) % 2 ? QStringLiteral("1") : QStringLiteral("0");
    case Motion::Counter: {
        const QString text = QString::number(counter);
        counter = counter >= maximum ? minimum : counter + 1;
        return text;
    }
    case Motion::Wave:
        return fixed(50.0 + 10.0 * wave + noise * 0.2);
    case Motion::Text:
        ++counter;
        return (counter / 10) % 4 == 3 ? QStringLiteral("IDLE") : QStringLiteral("RUN");
    case Motion::Energy:
        energy += 0.01 + 0.02 * random->generateDouble(); // only ever grows
        return fixed(energy);
    case Motion::Voltage:
        return fixed(230.0 + 2.0 * wave + noise * 0.6);
    case Motion::Current:
        return fixed(5.0 + 1.5 * wave + noise * 0.1);
    case Motion::Power:
        return fixed(1.15 + 0.35 * wave + noise * 0.02);
    case Motion::PowerFactor:
        return fixed(0.95 + 0.03 * wave);
    case Motion::Constant:
        return fixed(addr.endsWith(QLatin1String("A"), Qt::CaseInsensitive)
                             || addr.endsWith(QLatin1String("31"))
                         ? 6400
                         : 1200);
    }
    return QString();
}
