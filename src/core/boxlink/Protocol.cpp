#include "core/boxlink/Protocol.h"

#include "core/boxlink/BoxMessages.h"
#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/LiveDataAssembler.h"
#include "core/project/Ipv4Address.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>

namespace {

int s_heartbeatMs = 5000;
int s_silenceMs = 30000;
int s_retryMs = 2000;
int s_retryWindowMs = 120000;
int s_connectTimeoutMs = 10000;

} // namespace

Protocol::dataMonitoringData::dataMonitoringData(const QJsonObject &report)
    : projectName(report.value(QStringLiteral("projectName")).toString())
    , plcName(report.value(QStringLiteral("plcName")).toString())
    , description(report.value(QStringLiteral("description")).toString())
    , sn(report.value(QStringLiteral("sn")).toString())
    , time(report.value(QStringLiteral("time")).toString())
    , datas(report.value(QStringLiteral("datas")).toArray())
{
}

void Protocol::registerMetaTypes()
{
    qRegisterMetaType<LanAllocationData>("LanAllocationData");
    qRegisterMetaType<WanAllocationData>("WanAllocationData");
    qRegisterMetaType<WifiAllocationData>("WifiAllocationData");
    qRegisterMetaType<LteAllocationData>("LteAllocationData");
    qRegisterMetaType<NTPAllocationData>("NTPAllocationData");
    qRegisterMetaType<timeAllocationData>("timeAllocationData");
    qRegisterMetaType<Protocol::dataMonitoringData>("Protocol::dataMonitoringData");
    qRegisterMetaType<Protocol::dataMonitoringData>("dataMonitoringData");
}

int Protocol::silenceMs()
{
    return s_silenceMs;
}

void Protocol::setTimerPeriodsForTesting(int heartbeatMs, int silenceMs, int retryMs)
{
    s_heartbeatMs = heartbeatMs > 0 ? heartbeatMs : 5000;
    s_silenceMs = silenceMs > 0 ? silenceMs : 30000;
    s_retryMs = retryMs > 0 ? retryMs : 2000;
}

void Protocol::setRetryLimitsForTesting(int windowMs, int connectTimeoutMs)
{
    s_retryWindowMs = windowMs > 0 ? windowMs : 120000;
    s_connectTimeoutMs = connectTimeoutMs > 0 ? connectTimeoutMs : 10000;
}

Protocol::Protocol(QObject *parent)
    : QObject(parent)
    , m_extractor([this](const char *frame, int length) { dispatchFrame(frame, length); })
{
    registerMetaTypes();
    m_heartbeatTimer.setInterval(s_heartbeatMs);
    m_silenceTimer.setInterval(s_silenceMs);
    m_silenceTimer.setSingleShot(true);
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &Protocol::sendHeartbeat);
    connect(&m_silenceTimer, &QTimer::timeout, this, &Protocol::handleOffline);
    connect(&m_socket, &QTcpSocket::disconnected, this, &Protocol::handleDisconnected);
    connect(&m_socket, &QTcpSocket::connected, this, &Protocol::onConnected);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, &Protocol::onSocketError);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &Protocol::retryNow);
    // Without it an unanswered connect stays "connecting" for as long as the system tries.
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &Protocol::onConnectTimeout);
    m_heartbeatTimer.start();
    m_silenceTimer.start();
}

Protocol::~Protocol()
{
    // The socket would report its own closing while this object is half destroyed.
    m_socket.disconnect(this);
    m_socket.abort();
}

void Protocol::bindToAddress(QHostAddress address)
{
    m_bindAddress = address;
    m_boundByCaller = true;
    m_ownSocketCall = true;
    m_bindFailureShown = !m_socket.bind(address, 0);
    m_ownSocketCall = false;
    if (m_bindFailureShown)
        emit bindingFailed(tr("Failed to bind to IP address: %1").arg(address.toString()));
}

void Protocol::bindSocket()
{
    // Bound a moment ago by bindToAddress: binding again would fail.
    if (m_socket.state() == QAbstractSocket::BoundState)
        return;
    if (m_bindAddress.isNull()) {
        m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
        return;
    }
    // Reported once for a connect: not again after bindToAddress, nor on each retry. The
    // socket's own error signal for it is not a failed connect; the attempt reports its own.
    m_ownSocketCall = true;
    const bool bound = m_socket.bind(m_bindAddress, 0);
    m_ownSocketCall = false;
    if (bound || m_bindFailureShown)
        return;
    m_bindFailureShown = true;
    emit bindingFailed(tr("Failed to bind to IP address: %1").arg(m_bindAddress.toString()));
}

void Protocol::openConnection(const QString &host)
{
    m_extractor.reset();
    m_attemptRunning = true;
    m_connectTimer.start(s_connectTimeoutMs);
    m_socket.connectToHost(host, FrameCodec::BoxPort, QIODevice::ReadWrite,
                           QAbstractSocket::AnyIPProtocol);
    // Unique, so repeated connects do not multiply heartbeats and reads.
    connect(&m_socket, &QTcpSocket::connected, this, &Protocol::sendHeartbeat,
            Qt::UniqueConnection);
    connect(&m_socket, &QTcpSocket::readyRead, this, &Protocol::receiveResponse,
            Qt::UniqueConnection);
}

QString Protocol::invalidAddressStatus(const QString &host)
{
    return tr("Connection status: \"%1\" is not a valid IPv4 address").arg(host);
}

void Protocol::connectToServer(QString host)
{
    // The socket would take "127.0.4.020" as octal (.16) or look a name up: another machine.
    // Nothing is contacted, and no retry follows.
    if (!host.isEmpty() && !Ipv4Address::isValid(host)) {
        disconnectFromServer();
        m_host.clear();
        m_errorStanding = true; // the heartbeat leaves this status standing
        emit connectionStatusChanged(invalidAddressStatus(host));
        return;
    }
    m_host = host;
    m_stopped = false;
    endRetries();
    if (!m_boundByCaller)
        m_bindFailureShown = false;
    m_boundByCaller = false;
    switch (m_socket.state()) {
    case QAbstractSocket::UnconnectedState:
        bindSocket();
        openConnection(host);
        emit connectionStatusChanged(tr("Connection status: connecting.."));
        break;
    case QAbstractSocket::ConnectedState:
        break;
    default:
        m_socket.disconnectFromHost();
        emit connectionStatusChanged(tr("Connection status: Waiting for connection."));
        QTimer::singleShot(s_retryMs, this, [this, host]() {
            // This attempt replaces one that a failure meanwhile may have scheduled.
            m_retryTimer.stop();
            // A connect still in progress only closes once it has finished; start afresh.
            if (m_socket.state() != QAbstractSocket::UnconnectedState) {
                m_ownSocketCall = true;
                m_socket.abort();
                m_ownSocketCall = false;
            }
            bindSocket();
            openConnection(host);
            emit connectionStatusChanged(tr("Connection status: Reconnecting..."));
        });
        break;
    }
}

void Protocol::disconnectFromServer()
{
    m_stopped = true;
    m_connectTimer.stop();
    endRetries();
    if (m_socket.isOpen())
        m_socket.disconnectFromHost();
}

void Protocol::sendMessage(QJsonObject message)
{
    if (!m_socket.isOpen()) {
        emit connectionStatusChanged(tr("Not connected to server."));
        return;
    }
    const QByteArray frame = FrameCodec::jsonMessage(QJsonDocument(message).toJson());
    if (frame.isEmpty()) {
        qWarning().noquote() << "JSON message too long for one frame; not sent.";
        return;
    }
    m_socket.write(frame);
}

void Protocol::readLanAllocation()
{
    sendMessage(BoxMessages::readRequest(BoxMessages::Lan));
}

void Protocol::readWanAllocation()
{
    sendMessage(BoxMessages::readRequest(BoxMessages::Wan));
}

void Protocol::readWifiAllocation()
{
    sendMessage(BoxMessages::readRequest(BoxMessages::Wifi));
}

void Protocol::readLteAllocation()
{
    sendMessage(BoxMessages::readRequest(BoxMessages::Lte));
}

void Protocol::rebootDevice()
{
    sendMessage(BoxMessages::rebootRequest());
}

void Protocol::readNTPAllocation()
{
    sendMessage(BoxMessages::readRequest(BoxMessages::Ntp));
}

void Protocol::readTimeAllocation()
{
    sendMessage(BoxMessages::readRequest(BoxMessages::Time));
}

void Protocol::writeLanAllocation(QString ip, QString mask, QString gateway, QString dns1,
                                  QString dns2)
{
    sendMessage(BoxMessages::writeLanRequest(ip, mask, gateway, dns1, dns2));
}

void Protocol::writeWanAllocation(QString dhcp, QString ip, QString mask, QString gateway,
                                  QString dns1, QString dns2)
{
    sendMessage(BoxMessages::writeWanRequest(dhcp, ip, mask, gateway, dns1, dns2));
}

void Protocol::writeWifiAllocation(QString onOff, QString mode, QString ssid, QString password,
                                   QString dhcp, QString ip, QString mask, QString gateway,
                                   QString dns1, QString dns2)
{
    sendMessage(BoxMessages::writeWifiRequest(onOff, mode, ssid, password, dhcp, ip, mask, gateway,
                                              dns1, dns2));
}

void Protocol::writeLteAllocation(QString onOff, QString at1, QString at2, QString at3,
                                  QString at4, QString at5)
{
    sendMessage(BoxMessages::writeLteRequest(onOff, at1, at2, at3, at4, at5));
}

void Protocol::writeNTPAllocation(QString ntp)
{
    sendMessage(BoxMessages::writeNtpRequest(ntp));
}

void Protocol::writeTimeAllocation(QString date)
{
    sendMessage(BoxMessages::writeTimeRequest(date));
}

void Protocol::handleDisconnected()
{
    emit connectionStatusChanged(tr("Connection status: Disconnected"));
    m_silenceTimer.start();
    m_assembler.clear();
    // Held bytes belong to the old connection's stream.
    m_extractor.reset();
    setLinkUp(false);
    // A close of our own is followed by a new attempt already.
    if (m_autoReconnect && !m_stopped && !m_ownSocketCall && !m_host.isEmpty())
        failAttempt(tr("link lost"));
}

void Protocol::sendHeartbeat()
{
    // Between retries the error and its retries say more; a write would only fail again.
    if (m_errorStanding && m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    if (m_socket.isOpen())
        m_socket.write(FrameCodec::heartbeatRequest());
    else
        emit connectionStatusChanged(tr("Connection status: Not connected to server."));
}

void Protocol::onConnected()
{
    m_connectTimer.stop();
    m_attemptRunning = false;
    endRetries();
    setLinkUp(true);
}

void Protocol::onSocketError(QAbstractSocket::SocketError error)
{
    // Only the first error of an attempt counts: later writes may report the same again.
    if (m_ownSocketCall || !m_attemptRunning)
        return;
    // A drop of an established link is told by the socket's disconnect. Qt may also report a
    // stale error of an earlier attempt once connected.
    if (error == QAbstractSocket::RemoteHostClosedError
        || m_socket.state() == QAbstractSocket::ConnectedState)
        return;
    m_connectTimer.stop();
    m_attemptRunning = false;
    QString kind;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        kind = tr("refused");
        break;
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::NetworkError:
        kind = m_socket.errorString().contains(QLatin1String("timed out"), Qt::CaseInsensitive)
                   ? tr("timed out")
                   : tr("host unreachable");
        break;
    case QAbstractSocket::SocketTimeoutError:
        kind = tr("timed out");
        break;
    default:
        kind = tr("connection failed");
        break;
    }
    failAttempt(QStringLiteral("%1 (%2)").arg(kind, m_socket.errorString()));
}

void Protocol::onConnectTimeout()
{
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        return;
    m_attemptRunning = false;
    m_ownSocketCall = true;
    m_socket.abort();
    m_ownSocketCall = false;
    failAttempt(tr("timed out (no answer within %1 s)").arg(s_connectTimeoutMs / 1000.0));
}

// Shows what went wrong and, with auto-reconnect, schedules the next attempt or gives up.
void Protocol::failAttempt(const QString &reason)
{
    if (!m_autoReconnect || m_stopped) {
        emit connectionStatusChanged(tr("Connection status: %1").arg(reason));
        return;
    }
    m_errorStanding = true;
    if (!m_retryClock.isValid()) {
        m_retryClock.start();
        m_retryAttempt = 0;
    }
    if (m_retryClock.elapsed() + s_retryMs > s_retryWindowMs) {
        const QString status =
            tr("Connection status: %1, gave up after %2 retries; press Connect to try again")
                .arg(reason)
                .arg(m_retryAttempt);
        m_retryClock.invalidate();
        emit connectionStatusChanged(status);
        emit reconnectGaveUp(status);
        return;
    }
    ++m_retryAttempt;
    emit connectionStatusChanged(
        tr("Connection status: %1, retrying, attempt %2").arg(reason).arg(m_retryAttempt));
    m_retryTimer.start(s_retryMs);
}

void Protocol::retryNow()
{
    if (m_stopped || m_host.isEmpty() || m_socket.state() == QAbstractSocket::ConnectedState)
        return;
    if (m_socket.state() != QAbstractSocket::UnconnectedState) {
        m_ownSocketCall = true;
        m_socket.abort();
        m_ownSocketCall = false;
    }
    bindSocket();
    openConnection(m_host);
}

void Protocol::endRetries()
{
    m_retryTimer.stop();
    m_retryClock.invalidate();
    m_retryAttempt = 0;
    m_errorStanding = false;
}

void Protocol::setLinkUp(bool up)
{
    if (m_linkUp == up)
        return;
    m_linkUp = up;
    emit linkStateChanged(up);
}

void Protocol::receiveResponse()
{
    const QByteArray bytes = m_socket.readAll();
    processReceivedBytes(bytes);
}

void Protocol::processReceivedBytes(const QByteArray &chunk)
{
    m_extractor.feed(chunk);
}

void Protocol::dispatchFrame(const char *data, int length)
{
    // A copy first: a reply slot may run a nested event loop that feeds the extractor again.
    const QByteArray frame(data, length);
    if (FrameCodec::frameLength(frame) != frame.size() || frame.at(3) != 0)
        return;
    switch (quint8(frame.at(2))) {
    case FrameCodec::HeartbeatReply:
        receiveHeartbeatResponse(frame);
        break;
    case FrameCodec::JsonMessage:
        handleJsonMessage(frame);
        break;
    case FrameCodec::LiveDataFragment:
        dataMonitoring(frame);
        break;
    default:
        break;
    }
}

void Protocol::handleJsonMessage(const QByteArray &frame)
{
    if (frame.size() < FrameCodec::JsonOverhead)
        return;
    const QByteArray json = frame.mid(8, frame.size() - FrameCodec::JsonOverhead);
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (document.isNull() || !document.isObject())
        return;
    const QJsonValue typeValue = document.object().value(QStringLiteral("type"));
    if (!typeValue.isString())
        return;
    const QString type = typeValue.toString();

    using Slot = void (Protocol::*)(QByteArray);
    static const struct {
        const char *type;
        Slot slot;
    } table[] = {
        {"2", &Protocol::readLanAllocationReturn},
        {"102", &Protocol::writeLanAllocationReturn},
        {"3", &Protocol::readWanAllocationReturn},
        {"103", &Protocol::writeWanAllocationReturn},
        {"4", &Protocol::readWifiAllocationReturn},
        {"104", &Protocol::writeWifiAllocationReturn},
        {"5", &Protocol::readLteAllocationReturn},
        {"105", &Protocol::writeLteAllocationReturn},
        {"6", &Protocol::rebootDeviceReturn},
        {"8", &Protocol::readNTPAllocationReturn},
        {"108", &Protocol::writeNTPAllocationReturn},
        {"9", &Protocol::readTimeAllocationReturn},
        {"109", &Protocol::writeTimeAllocationReturn},
    };
    for (const auto &entry : table) {
        if (type == QLatin1String(entry.type)) {
            (this->*entry.slot)(json);
            return;
        }
    }
    qDebug().noquote() << QStringLiteral("Unhandled type string: ") + type;
}

void Protocol::receiveHeartbeatResponse(QByteArray responseData)
{
    m_heartbeatTimer.start();
    m_silenceTimer.start();
    if (FrameCodec::frameLength(responseData) != responseData.size())
        return;
    if (!FrameCodec::hasEndMarker(responseData)) {
        qDebug().noquote() << "Invalid package footer.";
        return;
    }
    FrameCodec::BoxIdentity identity;
    if (!FrameCodec::parseHeartbeatReply(responseData, &identity)) {
        qDebug().noquote() << "Heartbeat reply strings run past the frame; ignored.";
        return;
    }
    emit connectionStatusChanged(tr("Connection status: Connected"));
    emit versionReceived(identity.version);
    qDebug().noquote() << QStringLiteral("Box Version: ") + identity.version;
    qDebug().noquote() << QStringLiteral("Box Serial Number: ") + identity.serialNumber;
    qDebug().noquote() << QStringLiteral("Box Model: ") + identity.model;
}

void Protocol::dataMonitoring(QByteArray frame)
{
    LiveDataAssembler &assembler = m_assembler;
    const bool starting = assembler.expectedTotal() == 0;
    const LiveDataAssembler::Status status = assembler.addFragment(frame);
    if (status == LiveDataAssembler::Status::Dropped) {
        qDebug().noquote() << "Live-data frame too short or its total too large; dropped.";
        return;
    }
    if (starting)
        qDebug().noquote() << QStringLiteral("data长度::") + QString::number(assembler.lastTotal());

    switch (status) {
    case LiveDataAssembler::Status::Mismatch:
        qDebug().noquote() << QStringLiteral("长度不符::") + QString::number(assembler.lastTotal());
        break;
    case LiveDataAssembler::Status::Inconsistent:
        qDebug().noquote() << "Live-data fragment does not fit the announced total; report "
                              "discarded.";
        break;
    case LiveDataAssembler::Status::Pending:
        qDebug().noquote() << QStringLiteral("未达到data长度::%1/%2")
                                  .arg(assembler.collected().size())
                                  .arg(assembler.expectedTotal());
        break;
    case LiveDataAssembler::Status::ParseFailed:
        qWarning().noquote() << "Failed to parse JSON data";
        break;
    case LiveDataAssembler::Status::Complete: {
        dataMonitoringData data(assembler.takeReport());
        data.receivedMs = QDateTime::currentMSecsSinceEpoch();
        emit dataReceived(data);
        qDebug().noquote() << QStringLiteral("完成data::");
        break;
    }
    case LiveDataAssembler::Status::Dropped:
        break;
    }
}

void Protocol::handleOffline()
{
    emit offlineOccurred();
}

void Protocol::showCodeReply(const QByteArray &json, const QString &title, const QString &success,
                             const QString &failure)
{
    QString code;
    if (!BoxMessages::parseCodeReply(json, &code))
        return;
    const QString text = code == QLatin1String("200") ? success : failure + code;
    emit writeReplyReceived(title, text);
}

void Protocol::rebootDeviceReturn(QByteArray json)
{
    showCodeReply(json, tr("Write Restart Allocation"), tr("Restart allocation write successful."),
                  tr("Restart allocation write failed. Error code: "));
}

void Protocol::readLanAllocationReturn(QByteArray json)
{
    LanAllocationData record;
    if (BoxMessages::parseLan(json, &record))
        emit lanAllocationDataReceived(record);
}

void Protocol::readWanAllocationReturn(QByteArray json)
{
    WanAllocationData record;
    if (BoxMessages::parseWan(json, &record))
        emit wanAllocationDataReceived(record);
}

void Protocol::readWifiAllocationReturn(QByteArray json)
{
    WifiAllocationData record;
    if (BoxMessages::parseWifi(json, &record))
        emit wifiAllocationDataReceived(record);
}

void Protocol::readLteAllocationReturn(QByteArray json)
{
    LteAllocationData record;
    if (BoxMessages::parseLte(json, &record))
        emit lteAllocationDataReceived(record);
}

void Protocol::readNTPAllocationReturn(QByteArray json)
{
    NTPAllocationData record;
    if (BoxMessages::parseNtp(json, &record))
        emit NTPAllocationDataReceived(record);
}

void Protocol::readTimeAllocationReturn(QByteArray json)
{
    timeAllocationData record;
    if (BoxMessages::parseTime(json, &record))
        emit timeAllocationDataReceived(record);
}

void Protocol::writeLanAllocationReturn(QByteArray json)
{
    showCodeReply(json, tr("Write LAN Allocation"), tr("LAN allocation write successful."),
                  tr("LAN allocation write failed. Error code: "));
}

void Protocol::writeWanAllocationReturn(QByteArray json)
{
    showCodeReply(json, tr("Write WAN Allocation"), tr("WAN allocation write successful."),
                  tr("WAN allocation write failed. Error code: "));
}

void Protocol::writeWifiAllocationReturn(QByteArray json)
{
    showCodeReply(json, tr("Write WIFI Allocation"), tr("WIFI allocation write successful."),
                  tr("WIFI allocation write failed. Error code: "));
}

void Protocol::writeLteAllocationReturn(QByteArray json)
{
    showCodeReply(json, tr("Write LTE Allocation"), tr("LTE allocation write successful."),
                  tr("LTE allocation write failed. Error code: "));
}

void Protocol::writeNTPAllocationReturn(QByteArray json)
{
    showCodeReply(json, tr("Write NTP Allocation"), tr("NTP allocation write successful."),
                  tr("NTP allocation write failed. Error code: "));
}

void Protocol::writeTimeAllocationReturn(QByteArray json)
{
    showCodeReply(json, tr("Write time Allocation"), tr("time allocation write successful."),
                  tr("time allocation write failed. Error code: "));
}
