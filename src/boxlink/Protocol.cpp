#include "boxlink/Protocol.h"

Protocol::dataMonitoringData::dataMonitoringData(const QJsonObject &report)
    : projectName(report.value(QStringLiteral("projectName")).toString())
    , plcName(report.value(QStringLiteral("plcName")).toString())
    , description(report.value(QStringLiteral("description")).toString())
    , sn(report.value(QStringLiteral("sn")).toString())
    , time(report.value(QStringLiteral("time")).toString())
    , datas(report.value(QStringLiteral("datas")).toArray())
{
}

Protocol::Protocol(QObject *parent) : QObject(parent) {}
Protocol::~Protocol() = default;
void Protocol::bindToAddress(QHostAddress) {}
void Protocol::connectToServer(QString) {}
void Protocol::disconnectFromServer() {}
void Protocol::sendMessage(QJsonObject) {}
void Protocol::readLanAllocation() {}
void Protocol::readWanAllocation() {}
void Protocol::readWifiAllocation() {}
void Protocol::readLteAllocation() {}
void Protocol::rebootDevice() {}
void Protocol::readNTPAllocation() {}
void Protocol::readTimeAllocation() {}
void Protocol::writeLanAllocation(QString, QString, QString, QString, QString) {}
void Protocol::writeWanAllocation(QString, QString, QString, QString, QString, QString) {}
void Protocol::writeWifiAllocation(QString, QString, QString, QString, QString, QString, QString, QString, QString, QString) {}
void Protocol::writeLteAllocation(QString, QString, QString, QString, QString, QString) {}
void Protocol::writeNTPAllocation(QString) {}
void Protocol::writeTimeAllocation(QString) {}
void Protocol::handleDisconnected() {}
void Protocol::sendHeartbeat() {}
void Protocol::receiveResponse() {}
void Protocol::receiveHeartbeatResponse(QByteArray) {}
void Protocol::dataMonitoring(QByteArray) {}
void Protocol::handleOffline() {}
void Protocol::rebootDeviceReturn(QByteArray) {}
void Protocol::readLanAllocationReturn(QByteArray) {}
void Protocol::readWanAllocationReturn(QByteArray) {}
void Protocol::readWifiAllocationReturn(QByteArray) {}
void Protocol::readLteAllocationReturn(QByteArray) {}
void Protocol::readNTPAllocationReturn(QByteArray) {}
void Protocol::readTimeAllocationReturn(QByteArray) {}
void Protocol::writeLanAllocationReturn(QByteArray) {}
void Protocol::writeWanAllocationReturn(QByteArray) {}
void Protocol::writeWifiAllocationReturn(QByteArray) {}
void Protocol::writeLteAllocationReturn(QByteArray) {}
void Protocol::writeNTPAllocationReturn(QByteArray) {}
void Protocol::writeTimeAllocationReturn(QByteArray) {}
