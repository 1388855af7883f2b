#pragma once

// The TCP link to one box: heartbeat, silence warning, frame extraction and the typed
// signals of the box's replies.

#include "core/boxlink/FrameExtractor.h"
#include "core/boxlink/LiveDataAssembler.h"
#include "core/boxlink/SettingsRecords.h"

#include <QElapsedTimer>
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
        // Not from the report: when its last fragment arrived (ms since the epoch, 0 when it
        // did not come over a link) and, filled in by the box's session, which box sent it.
        qint64 receivedMs = 0;
        QString boxName;
        QString boxIp;
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
    // Only four decimal parts without leading zeros are contacted; any other non-empty host is
    // refused with invalidAddressStatus(host) and no retry.
    void connectToServer(QString host);
    static QString invalidAddressStatus(const QString &host);
    // Also ends a running series of retries.
    void disconnectFromServer();

    // With auto-reconnect, a failed connect or a lost link is retried every reconnect delay
    // until the link is up again or the retry window (2 minutes) has passed. Off by default.
    void setAutoReconnect(bool on) { m_autoReconnect = on; }
    bool retrying() const { return m_retryTimer.isActive(); }
    // The host of the last connect, empty before any.
    QString host() const { return m_host; }
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
    // How long the box may stay silent before offlineOccurred (30 s outside tests).
    static int silenceMs();
    // Test seam: how long retries go on and how long one connect attempt may take. Non-positive
    // values restore the defaults of 120000 and 10000 ms.
    static void setRetryLimitsForTesting(int windowMs, int connectTimeoutMs);

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
    // The TCP link came up (true) or went down (false); only on changes.
    void linkStateChanged(bool up);
    // Auto-reconnect has given up; the status text says why.
    void reconnectGaveUp(QString status);
    // The box's answer to a write or a reboot, worded for the user; the box editor shows it.
    void writeReplyReceived(QString title, QString text);

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
    void onConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onConnectTimeout();
    void failAttempt(const QString &reason);
    void retryNow();
    void endRetries();
    void setLinkUp(bool up);
    void dispatchFrame(const char *frame, int length);
    void handleJsonMessage(const QByteArray &frame);
    void showCodeReply(const QByteArray &json, const QString &title, const QString &success,
                       const QString &failure);

    QTcpSocket m_socket;
    QTimer m_heartbeatTimer;
    QTimer m_silenceTimer;
    QHostAddress m_bindAddress;
    // A bind failure is reported once per connect, its retries included.
    bool m_bindFailureShown = false;
    bool m_boundByCaller = false;
    FrameExtractor m_extractor;
    // Per link: with several boxes reporting at once, fragments of two reports must never meet.
    LiveDataAssembler m_assembler;

    QString m_host;
    bool m_autoReconnect = false;
    bool m_stopped = false;    // the user disconnected: a drop is no failure
    bool m_linkUp = false;
    bool m_attemptRunning = false; // a connect is under way and has not failed yet
    bool m_errorStanding = false; // an error text is shown while retries run or after giving up
    bool m_ownSocketCall = false; // our own abort or bind: its socket signals are no failure
    int m_retryAttempt = 0;
    QElapsedTimer m_retryClock; // since the first failure of the current series
    QTimer m_retryTimer;
    QTimer m_connectTimer;
};

Q_DECLARE_METATYPE(Protocol::dataMonitoringData)
