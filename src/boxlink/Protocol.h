#pragma once

// The TCP link to one box: heartbeat, silence warning, frame extraction and the typed
// signals of the box's replies.

#include "boxlink/FrameExtractor.h"
#include "boxlink/SettingsRecords.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

class Protocol : public QObject
{
    Q_OBJECT
public:
    // One live report of a polled device.
    struct dataMonitoringData {
        QString projectName;
        QString plcName;
        QString description;
        QString sn;
        QString time;
        QJsonArray datas;
        dataMonitoringData() = default;
        explicit dataMonitoringData(const QJsonObject &report);
    };

    explicit Protocol(QObject *parent = nullptr);
    ~Protocol() override;

    // Binds now and keeps the address for later connects.
    void bindToAddress(QHostAddress address);
    // Only keeps the address: the next connect binds to it (and reports a failure once).
    void setLocalAddress(const QHostAddress &address)
    {
        m_bindAddress = address;
        m_bindFailureShown = false;
    }
    void connectToServer(QString host);
    void disconnectFromServer();
    void sendMessage(QJsonObject message);

    void readLanAllocation();
    void readWanAllocation();
    void readWifiAllocation();
    void readLteAllocation();
    void rebootDevice();
    void readNTPAllocation();
    void readTimeAllocation();
    void writeLanAllocation(QString ip, QString mask, QString gateway, QString dns1, QString dns2);
    void writeWanAllocation(QString dhcp, QString ip, QString mask, QString gateway, QString dns1,
                            QString dns2);
    void writeWifiAllocation(QString onOff, QString mode, QString ssid, QString password,
                             QString dhcp, QString ip, QString mask, QString gateway, QString dns1,
                             QString dns2);
    void writeLteAllocation(QString onOff, QString at1, QString at2, QString at3, QString at4,
                            QString at5);
    void writeNTPAllocation(QString ntp);
    void writeTimeAllocation(QString date);

    // Hands received bytes to the frame extractor; receiveResponse() feeds it what the socket
    // has, tests feed recorded streams.
    void processReceivedBytes(const QByteArray &chunk);

    // Registers the settings records and the live report as queued-signal value types.
    static void registerMetaTypes();

    // Test seam: timer periods of Protocols created afterwards (heartbeat, silence) and of
    // later reconnect delays. The product never calls it. Non-positive values restore the
    // defaults of 5000, 30000 and 2000 ms.
    static void setTimerPeriodsForTesting(int heartbeatMs, int silenceMs, int retryMs);

signals:
    void connectionStatusChanged(QString status);
    void versionReceived(QString version);
    void offlineOccurred();
    void lanAllocationDataReceived(LanAllocationData lanData);
    void wanAllocationDataReceived(WanAllocationData wanData);
    void wifiAllocationDataReceived(WifiAllocationData wifiData);
    void lteAllocationDataReceived(LteAllocationData lteData);
    void NTPAllocationDataReceived(NTPAllocationData NTPData);
    void timeAllocationDataReceived(timeAllocationData timeData);
    void dataReceived(Protocol::dataMonitoringData data);
    void bindingFailed(QString error);

public slots:
    void handleDisconnected();
    void sendHeartbeat();
    void receiveResponse();
    void receiveHeartbeatResponse(QByteArray responseData);
    void dataMonitoring(QByteArray frame);
    void handleOffline();
    void rebootDeviceReturn(QByteArray json);
    void readLanAllocationReturn(QByteArray json);
    void readWanAllocationReturn(QByteArray json);
    void readWifiAllocationReturn(QByteArray json);
    void readLteAllocationReturn(QByteArray json);
    void readNTPAllocationReturn(QByteArray json);
    void readTimeAllocationReturn(QByteArray json);
    void writeLanAllocationReturn(QByteArray json);
    void writeWanAllocationReturn(QByteArray json);
    void writeWifiAllocationReturn(QByteArray json);
    void writeLteAllocationReturn(QByteArray json);
    void writeNTPAllocationReturn(QByteArray json);
    void writeTimeAllocationReturn(QByteArray json);

private:
    void bindSocket();
    void openConnection(const QString &host);
    void dispatchFrame(const char *frame, int length);
    void handleJsonMessage(const QByteArray &frame);
    void showCodeReply(const QByteArray &json, const QString &title, const QString &success,
                       const QString &failure);

    QTcpSocket m_socket;
    QTimer m_heartbeatTimer;
    QTimer m_silenceTimer;
    QHostAddress m_bindAddress;
    bool m_bindFailureShown = false;
    FrameExtractor m_extractor;
};

Q_DECLARE_METATYPE(Protocol::dataMonitoringData)
