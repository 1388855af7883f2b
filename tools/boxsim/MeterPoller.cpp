#include "MeterPoller.h"

#include "BoxSimulator.h"

#include "core/dlt645/Dlt645Meter.h"
#include "core/dlt645/Dlt645Status.h"

#include <QJsonArray>
#include <QJsonDocument>

MeterPoller::MeterPoller(Settings settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings))
{
}

MeterPoller::~MeterPoller() = default;

void MeterPoller::stop()
{
    m_lines.clear();
}

QString MeterPoller::load(const QByteArray &projectBytes)
{
    stop();
    const QJsonObject root = QJsonDocument::fromJson(projectBytes).object();
    m_projectName = root.value(QStringLiteral("name")).toString();
    m_description = root.value(QStringLiteral("description")).toString();
    QStringList parts;
    for (const QJsonValue &value : root.value(QStringLiteral("standards")).toArray()) {
        const QJsonObject standard = value.toObject();
        if (standard.value(QStringLiteral("protocol")).toString() != QLatin1String("DLT645"))
            continue;
        auto line = std::make_shared<Line>();
        line->name = standard.value(QStringLiteral("name")).toString();
        const Dlt645Line settings = Dlt645Line::fromParameters(standard.value(QStringLiteral("parameter")).toObject());
        line->port = settings.projectPort;
        line->serial = settings.serial;
        line->serial.device = m_settings.serialMap.value(line->port);
        line->timeoutMs = settings.timeoutMs;
        line->gapMs = settings.gapMs;
        line->intervalMs = m_settings.intervalOverrideMs > 0 ? m_settings.intervalOverrideMs : settings.intervalMs;
        const QJsonArray meters = standard.value(QStringLiteral("datas")).toArray();
        for (int m = 0; m < meters.size(); ++m) {
            const QJsonObject meter = meters.at(m).toObject();
            const bool is2007 = meter.value(QStringLiteral("protocolVersion")).toInt(0) == 1;
            for (const QJsonValue &pointValue : meter.value(QStringLiteral("datas")).toArray()) {
                const QJsonObject point = pointValue.toObject();
                const QString select = point.value(QStringLiteral("select")).toString();
                if (select != QLatin1String("true") && select != QLatin1String("1"))
                    continue;
                Dlt645Reader::Item item;
                item.meter = m;
                item.addressText = meter.value(QStringLiteral("slaveAddress")).toString();
                item.edition = is2007 ? Dlt645::Edition::V2007 : Dlt645::Edition::V1997;
                item.identifierText = point.value(QStringLiteral("addr")).toString();
                item.format = point.value(QStringLiteral("dataType")).toString();
                line->items.append(item);
                line->points.append({point.value(QStringLiteral("name")).toString(), item.identifierText,
                                     item.format});
            }
        }
        line->results.resize(line->items.size());
        Line *raw = line.get();
        if (line->serial.device.isEmpty()) {
            logOnce(raw, QStringLiteral("no --serial-map for its port \"%1\", its items report invalid")
                             .arg(line->port));
        } else {
            line->reader = std::make_unique<Dlt645Reader>();
            line->reader->setTimeouts(line->timeoutMs, line->gapMs);
            connect(line->reader.get(), &Dlt645Reader::itemRead, this,
                    [raw](int index, const Dlt645Reader::Result &result) {
                        if (index >= 0 && index < raw->results.size())
                            raw->results[index] = result;
                    });
            connect(line->reader.get(), &Dlt645Reader::roundFinished, this, [this, raw] { report(raw); });
            connect(line->reader.get(), &Dlt645Reader::lineWarning, this, [raw](const QString &text) {
                simLog(QStringLiteral("dlt645 device \"%1\": %2").arg(raw->name, text));
            });
        }
        line->timer.setInterval(line->intervalMs);
        connect(&line->timer, &QTimer::timeout, this, [this, raw] { poll(raw); });
        parts.append(QStringLiteral("%1 (%2 on %3, %4 item(s), every %5 ms)")
                         .arg(line->name, line->port,
                              line->serial.device.isEmpty() ? QStringLiteral("no device") : line->serial.device)
                         .arg(line->items.size())
                         .arg(line->intervalMs));
        m_lines.append(line);
    }
    for (const auto &line : qAsConst(m_lines))
        line->timer.start();
    return QStringLiteral("%1 DL/T 645 line(s) polled for real%2%3")
        .arg(m_lines.size())
        .arg(parts.isEmpty() ? QString() : QStringLiteral(": "))
        .arg(parts.join(QStringLiteral(", ")));
}

void MeterPoller::logOnce(Line *line, const QString &fault)
{
    if (fault != line->fault && !fault.isEmpty())
        simLog(QStringLiteral("dlt645 device \"%1\": %2").arg(line->name, fault));
    line->fault = fault;
}

void MeterPoller::poll(Line *line)
{
    if (line->reader && !line->reader->isOpen()) {
        QString error;
        if (!line->reader->open(line->serial, &error))
            logOnce(line, QStringLiteral("%1 cannot be opened (%2), its items report invalid")
                              .arg(line->serial.device, error));
    }
    if (!line->reader || !line->reader->isOpen()) {
        // Not read: every item as failed, at the line's own pace.
        line->results.fill(Dlt645Reader::Result());
        report(line);
        return;
    }
    // A round that is still waiting for its replies is not doubled.
    if (!line->reader->isBusy()) {
        line->results.fill(Dlt645Reader::Result());
        line->reader->readRound(line->items);
    }
}

void MeterPoller::report(Line *line)
{
    QString fault;
    for (const Dlt645Reader::Result &result : qAsConst(line->results)) {
        if (!result.ok()) {
            fault = QStringLiteral("first failing item: %1").arg(Dlt645Status::text(result.status, result.errorCode));
            break;
        }
    }
    if (line->reader && line->reader->isOpen())
        logOnce(line, fault);

    QJsonArray datas;
    for (int i = 0; i < line->points.size(); ++i) {
        const Point &point = line->points.at(i);
        const Dlt645Reader::Result &result = line->results.at(i);
        datas.append(livePoint(point.name, point.addr, point.dataType, result.value, result.ok()));
    }
    emit reportReady(liveReport({m_projectName, m_description, m_settings.serialNumber,
                                 m_settings.clock ? m_settings.clock() : QString()},
                                line->name, datas),
                     line->name);
}
