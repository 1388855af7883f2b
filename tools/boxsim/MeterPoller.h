#pragma once

// Polls the DL/T 645 lines of the deployed project for real (--dlt645 real): each line at its
// collection interval, one request at a time with the same reader as the tool's "Test Read",
// every meter's selected items in the device's report. A line whose serial port has no
// --serial-map, or whose device cannot be opened, reports every item invalid; the reason is
// logged once.

#include "core/dlt645/Dlt645Reader.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class MeterPoller : public QObject
{
    Q_OBJECT
public:
    struct Settings {
        QString serialNumber;
        QMap<QString, QString> serialMap; // project port ("COM1") -> serial device
        int intervalOverrideMs = 0;       // 0: each device's collectionInterval
        std::function<QString()> clock;
    };

    explicit MeterPoller(Settings settings, QObject *parent = nullptr);
    ~MeterPoller() override;

    // Replaces the polled lines with the DL/T 645 devices of the project; a summary line for
    // the log.
    QString load(const QByteArray &projectBytes);
    void stop();

signals:
    void reportReady(const QByteArray &text, const QString &device);

private:
    struct Point {
        QString name, addr, dataType;
    };
    struct Line {
        QString name;
        QString port;
        SerialLine::Settings serial;
        int timeoutMs = 0, gapMs = -1, intervalMs = 1000;
        QVector<Dlt645Reader::Item> items;
        QVector<Point> points;
        QVector<Dlt645Reader::Result> results;
        QString fault; // the last reason logged, so a lasting fault is logged once
        std::unique_ptr<Dlt645Reader> reader;
        QTimer timer;
    };

    void poll(Line *line);
    void logOnce(Line *line, const QString &fault);
    void report(Line *line);

    Settings m_settings;
    QString m_projectName;
    QString m_description;
    QList<std::shared_ptr<Line>> m_lines;
};
