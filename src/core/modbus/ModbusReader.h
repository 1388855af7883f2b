#pragma once

// Reads the points of one device's slaves (TCP or RTU) on the event loop, request by request
// along each slave's read plan, and writes single points. Only a reply that answers its request
// gives values (see ModbusClient). Requests that fail with exception 2 or 3 are repeated point
// by point, so one bad address does not spoil its neighbours. Used by the tool's test window
// and by the simulator.

#include "core/modbus/ModbusClient.h"
#include "core/modbus/ModbusLinkSettings.h"
#include "core/modbus/ModbusSlave.h"
#include "core/modbus/ModbusStatus.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QVector>


class ModbusReader : public QObject
{
    Q_OBJECT
public:
    struct PointResult {
        QString value;
        QString status;          // empty when read; else a ModbusStatus code
        QVector<quint16> words;  // the registers (or the bit) as received
        QString detail;          // why a reply was refused, for logs
        // What happened to the link when the status is about it (a connection error, or no
        // connection within its time-out), so the user is told which.
        ModbusClient::Result::Link link = ModbusClient::Result::Link::Fine;
        bool ok() const { return status.isEmpty(); }
    };
    using SlaveResults = QVector<PointResult>;

    static const QString &Timeout;
    static const QString &ConnectionError;

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

    // Ends the connection; a read or write that runs ends with "connection error".
    void close();

    // Sees every byte sent and received.
    const ModbusClient *client() const { return m_client; }

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

    void sendNextJob();
    void jobReplied(const ModbusClient::Result &result);
    void finishIfDone();
    bool splitRefused(const Job &job, const ModbusClient::Result &result);
    void decode(const Job &job, const ModbusClient::Result &result);
    void failJob(const Job &job, const QString &status, const QString &detail = QString(),
                 ModbusClient::Result::Link link = ModbusClient::Result::Link::Fine);
    static QString statusOf(const ModbusClient::Result &result);

    ModbusLinkSettings m_link;
    ModbusClient *m_client = nullptr;
    bool m_busy = false;
    bool m_writing = false;
    QVector<ModbusSlave> m_slaves;
    QVector<SlaveResults> m_results;
    QList<Job> m_jobs;
    Job m_current;
    bool m_inFlight = false;
    int m_requestCount = 0;
};

Q_DECLARE_METATYPE(ModbusReader::PointResult)
