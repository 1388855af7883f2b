#pragma once

// Makes the live-data reports of the deployed project: one report per standard device, every
// collectionInterval milliseconds (at least 100, or the --interval override), with values that
// move plausibly for their data type.

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class LiveReporter : public QObject
{
    Q_OBJECT
public:
    struct Settings {
        QString serialNumber;
        int intervalOverrideMs = 0;  // 0: each device's collectionInterval
        int invalidPercent = 2;      // share of readings reported with "valid" "0"
        bool skipModbus = false;     // Modbus devices are polled for real elsewhere
        bool skipMeters = false;     // DL/T 645 lines are polled for real elsewhere
        std::function<QString()> clock;
    };

    LiveReporter(Settings settings, QRandomGenerator *random, QObject *parent = nullptr);
    ~LiveReporter() override;

    // Replaces the reported project. False (and nothing reported) when the bytes are not a
    // project document.
    bool load(const QByteArray &projectBytes, QString *summary);
    void stop();

    // The next report of one device (also used by the timers).
    QJsonObject nextReport(int deviceIndex);
    int deviceCount() const { return m_devices.size(); }

signals:
    void reportReady(const QByteArray &text, const QString &device);

private:
    enum class Motion { Toggle, Counter, Wave, Text, Energy, Voltage, Current, Power, PowerFactor,
                        Constant };
    struct Point {
        QString name, addr, dataType;
        Motion motion = Motion::Counter;
        qint64 counter = 0;
        qint64 minimum = 0, maximum = 0;
        double energy = 0;
        double phase = 0;
        int decimals = 2;
        int width = 0;
        QString value(double seconds, QRandomGenerator *random);
    };
    struct Device {
        QString name;
        QList<Point> points;
        std::unique_ptr<QTimer> timer;
    };

    // What a project makes of the reporter, before any value has moved.
    struct DevicePlan {
        QString name;
        QList<Point> points;
        int interval = 1000;
    };
    struct Plan {
        bool valid = false; // false: the bytes are no JSON object
        QString projectName;
        QString description;
        QList<DevicePlan> devices;
    };

    std::shared_ptr<const Plan> parse(const QByteArray &projectBytes) const;
    static Point modbusPoint(const QJsonObject &object);
    static Point meterPoint(const QJsonObject &object);

    Settings m_settings;
    QRandomGenerator *m_random;
    QString m_projectName;
    QString m_description;
    QList<std::shared_ptr<Device>> m_devices;
    QByteArray m_planBytes; // the bytes m_plan was made from
    std::shared_ptr<const Plan> m_plan;
    QElapsedTimer m_clock;
};
