#pragma once

#include <QJsonArray>
#include <QJsonObject>

// The simulated box: TCP and UDP port 30088 on one address, the link traffic (heartbeat,
// settings, reboot, live data), file transfers and discovery, including discovery requests
// broadcast to 255.255.255.255.

#include "LiveReporter.h"
#include "MeterPoller.h"
#include "ModbusPoller.h"
#include "SimConnection.h"
#include "SimState.h"

#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QUdpSocket>

struct SimOptions {
    QHostAddress listen = QHostAddress(QStringLiteral("127.0.0.1"));
    QString stateDirectory;
    QString version = QStringLiteral("1.0.3");
    QString serialNumber = QStringLiteral("SN600-000001");
    QString model = QStringLiteral("TLK-BOX-600");
    QString mask = QStringLiteral("255.255.255.0");
    int rebootSeconds = 3;
    QString writeCode = QStringLiteral("200");
    int checksumResult = -1; // forced verdict byte; -1: 0 when verified, 1 otherwise
    bool noVerdict = false;
    bool silent = false;
    bool garbage = false;
    bool split = false;
    int intervalMs = 0;      // live-data period for every device; 0: the project's own
    int invalidPercent = 2;
    quint32 seed = 0;        // 0: a different run every time
    bool realModbus = false; // poll the project's Modbus devices instead of inventing values
    bool realMeters = false; // poll the project's DL/T 645 lines instead of inventing values
    QMap<QString, QString> serialMap; // project serial port -> serial device, for RTU devices
    bool allowNetwork = false;        // real polling may contact devices off loopback
};

// One line on standard output, flushed at once so a reader sees it immediately.
void simLog(const QString &line);

// One device's live report as the box sends it, and one point entry of it, for the pollers
// that read devices for real.
struct ReportHeader {
    QString projectName, description, serialNumber, time;
};
QJsonObject livePoint(const QString &name, const QString &addr, const QString &dataType,
                      const QString &value, bool valid);
QByteArray liveReport(const ReportHeader &header, const QString &device, const QJsonArray &datas);

class BoxSimulator : public QObject
{
    Q_OBJECT
public:
    explicit BoxSimulator(const SimOptions &options, QObject *parent = nullptr);
    ~BoxSimulator() override;

    // Opens the state directory and starts listening. False with a reason on failure.
    bool start(QString *error);

private:
    void acceptConnections();
    void connectionClosed(SimConnection *connection);
    void handleFrame(SimConnection *connection, const QByteArray &frame);
    void handleJson(SimConnection *connection, const QByteArray &frame);
    void handleTransferFrame(SimConnection *connection, const QByteArray &frame);
    void finishTransfer(SimConnection *connection);
    void recordAbandonedTransfer(SimConnection *connection);
    void readDatagrams(QUdpSocket *socket);
    QString replyAddress(const QNetworkDatagram &request) const;
    void scheduleReboot();
    void beginReboot();
    void endReboot(int attempt);
    void sendReport(const QByteArray &text, const QString &device);
    void loadDeployedProject();
    void loadProject(const QByteArray &bytes);
    bool listenTcp(QString *error);

    SimOptions m_options;
    QRandomGenerator m_random;
    SimState m_state;
    QTcpServer m_server;
    QUdpSocket m_udp;
    // Linux hands a limited broadcast only to sockets bound to the wildcard or to the broadcast
    // address itself, never to one bound to a unicast address; shared, so that simulators on
    // several addresses each get a copy.
    QUdpSocket m_broadcastUdp;
    QList<SimConnection *> m_connections;
    LiveReporter *m_reporter = nullptr;
    ModbusPoller *m_poller = nullptr;
    MeterPoller *m_meterPoller = nullptr;
    bool m_rebooting = false;
    bool m_rebootPending = false;
};
