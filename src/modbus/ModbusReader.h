#pragma once

// Reads the points of one device's slaves over Qt's Modbus client (TCP or RTU) on the event
// loop, request by request along each slave's read plan, and writes single points. Requests
// that fail with exception 2 or 3 are repeated point by point, so one bad address does not
// spoil its neighbours. Used by the tool's test window and by the simulator.

#include "modbus/ModbusLinkSettings.h"
#include "modbus/ModbusSlave.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>

class QModbusClient;
class QModbusReply;

class ModbusReader : public QObject
{
    Q_OBJECT
public:
    struct PointResult {
        QString value;
        QString status;          // empty when read; else "timeout", "exception N", ...
        QVector<quint16> words;  // the registers (or the bit) as received
        bool ok() const { return status.isEmpty(); }
    };
    using SlaveResults = QVector<PointResult>;

    static const QString Timeout;
    static const QString ConnectionError;

    explicit ModbusReader(const ModbusLinkSettings &link, QObject *parent = nullptr);
    ~ModbusReader() override;

    const ModbusLinkSettings &link() const { return m_link; }
    bool isBusy() const { return m_busy; }

    // Reads every point once; readFinished() follows with one result list per slave, in the
    // order given. False (and nothing started) while another read or write runs.
    bool read(const QVector<ModbusSlave> &slaves);

    // Writes one point of a slave (function 5, 6 or 16); writeFinished() follows. False with
    // a reason when busy, when the point cannot be written or the value does not fit.
    bool write(const ModbusSlave &slave, int pointIndex, const QString &value, QString *error);

    // Read requests sent by the last read (repeats of refused requests included).
    int requestCount() const { return m_requestCount; }

    void close();

signals:
    void readFinished(const QVector<ModbusReader::SlaveResults> &results);
    void writeFinished(const QString &status); // empty on success

private:
    struct Job {
        int slave = 0;
        ModbusPoint::Table table = ModbusPoint::Table::HoldingRegisters;
        int start = 0;
        int count = 0;
        QVector<int> points;
    };

    void whenConnected(std::function<void(const QString &failure)> next);
    void connectionSettled(const QString &failure);
    void sendNextJob();
    void finishIfDone();
    bool splitRefused(const Job &job, QModbusReply *reply);
    void jobReplied(const Job &job, QModbusReply *reply);
    void failJob(const Job &job, const QString &status);
    static QString replyStatus(QModbusReply *reply);

    ModbusLinkSettings m_link;
    QModbusClient *m_client = nullptr;
    QTimer m_connectTimer;
    std::function<void(const QString &)> m_onConnected;
    bool m_busy = false;
    bool m_inFlight = false;
    QVector<ModbusSlave> m_slaves;
    QVector<SlaveResults> m_results;
    QList<Job> m_jobs;
    int m_requestCount = 0;
};

Q_DECLARE_METATYPE(ModbusReader::PointResult)
