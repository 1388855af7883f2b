#pragma once

// The configuration a tree item carries in its data roles, and the keys under which the
// project file stores it. Every reader and writer names fields through these constants.

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

class QStandardItem;

// Slave or meter tab title -> rows; row 0 describes the slave or meter, further rows are points.
using PointTable = QMap<QString, QList<QVariantList>>;
Q_DECLARE_METATYPE(PointTable)

namespace Role {
// Project
constexpr int ProjectPath = 257;
constexpr int ProjectDescription = 258;

// Standard device (common part)
constexpr int Protocol = 400;
constexpr int PointTable = 401;
constexpr int CollectionInterval = 402;
constexpr int SerialPort = 403;
constexpr int BaudRate = 404;
constexpr int DataBit = 405;
constexpr int StopBit = 406;
constexpr int ParityBit = 407;
constexpr int RtsEnable = 408;
constexpr int CommunicationTimeout = 409;
constexpr int CommunicationGap = 410;
// Modbus device
constexpr int Modbus = 421;
constexpr int ModbusIp = 422;
constexpr int ModbusPort = 423;
constexpr int ConnectionTimeout = 424;
constexpr int KeepAlive = 425;
constexpr int CommunicationTimeoutRtu = 426;

// IEC61850 service
constexpr int ServiceProtocol = 427;
constexpr int ServicePort = 428;
constexpr int Authentication = 429;
constexpr int Password = 430;
constexpr int EnableGoosePublishing = 431;
constexpr int EnableSSL = 432;
constexpr int RootCertificatePath = 433;
constexpr int RootCertificate = 434;
constexpr int ServerCertificatePath = 435;
constexpr int ServerCertificate = 436;
constexpr int ServerKeyPath = 437;
constexpr int ServerKey = 438;
constexpr int IsVerifyClientCert = 439;
constexpr int ServerKeyPassword = 460;
// Client certificate n = 1..10
constexpr int clientCertificatePath(int n) { return 438 + 2 * n; }
constexpr int clientCertificate(int n) { return 439 + 2 * n; }

// Box
constexpr int BoxIp = 256;
constexpr int BoxModel = 257;
constexpr int LanIp = 371;
constexpr int LanMask = 372;
constexpr int LanGateway = 373;
constexpr int LanDns1 = 374;
constexpr int LanDns2 = 375;
constexpr int WanDhcp = 376;
constexpr int WanIp = 377;
constexpr int WanMask = 378;
constexpr int WanGateway = 379;
constexpr int WanDns1 = 380;
constexpr int WanDns2 = 381;
constexpr int WifiOnOff = 382;
constexpr int WifiMode = 383;
constexpr int WifiSsid = 384;
constexpr int WifiPassword = 385;
constexpr int WifiDhcp = 386;
constexpr int WifiIp = 387;
constexpr int WifiMask = 388;
constexpr int WifiGateway = 389;
constexpr int WifiDns1 = 390;
constexpr int WifiDns2 = 391;
constexpr int LteOnOff = 392;
constexpr int At1 = 393; // AT1..AT5 are 393..397
constexpr int At5 = 397;
constexpr int NtpServer = 398;
constexpr int BoxTime = 399;

// Data item
constexpr int DataRows = 256;
constexpr int DataDisplay = 257;
} // namespace Role

namespace Key {
inline const QString Name = QStringLiteral("name");
inline const QString Description = QStringLiteral("description");
inline const QString Standards = QStringLiteral("standards");
inline const QString Services = QStringLiteral("services");
inline const QString Boxs = QStringLiteral("boxs");
inline const QString Protocol = QStringLiteral("protocol");
inline const QString Parameter = QStringLiteral("parameter");
inline const QString Datas = QStringLiteral("datas");
inline const QString Modbus = QStringLiteral("modbus");
inline const QString SerialPort = QStringLiteral("serialport");
inline const QString BaudRate = QStringLiteral("baudRate");
inline const QString DataBit = QStringLiteral("dataBit");
inline const QString StopBit = QStringLiteral("stopBit");
inline const QString ParityBit = QStringLiteral("parityBit");
inline const QString RtsEnable = QStringLiteral("rtsEnable");
inline const QString CommunicationTimeout = QStringLiteral("communicationTimeout");
inline const QString CommunicationGap = QStringLiteral("communicationGap");
inline const QString CollectionInterval = QStringLiteral("collectionInterval");
inline const QString Ip = QStringLiteral("ip");
inline const QString Port = QStringLiteral("port");
inline const QString ConnectionTimeout = QStringLiteral("connectionTimeout");
inline const QString KeepAlive = QStringLiteral("keepAlive");
// Meter object
inline const QString SlaveAddress = QStringLiteral("slaveAddress");
inline const QString ProtocolVersion = QStringLiteral("protocolVersion");
inline const QString Select = QStringLiteral("select");
inline const QString Addr = QStringLiteral("addr");
inline const QString DataType = QStringLiteral("dataType");
// Slave object
inline const QString Series = QStringLiteral("series");
inline const QString StationNum = QStringLiteral("stationNum");
inline const QString ByteOrder = QStringLiteral("byteOrder");
inline const QString StartAddress0 = QStringLiteral("startAddress0");
inline const QString CharReversed = QStringLiteral("charReversed");
inline const QString Length = QStringLiteral("length");
inline const QString Permissions = QStringLiteral("permissions");
// Service object
inline const QString EnableGoosePublishing = QStringLiteral("enableGoosePublishing");
inline const QString EnableSSL = QStringLiteral("enableSSL");
inline const QString IsVerifyClientCert = QStringLiteral("isVerifyClientCert");
inline const QString ExtendedParameters = QStringLiteral("extendedParameters");
inline const QString Authentication = QStringLiteral("authentication");
inline const QString Password = QStringLiteral("password");
inline const QString RootCertificate = QStringLiteral("rootCertificate");
inline const QString RootCertificatePath = QStringLiteral("rootCertificatePath");
inline const QString ServerCertificate = QStringLiteral("serverCertificate");
inline const QString ServerCertificatePath = QStringLiteral("serverCertificatePath");
inline const QString ServerKey = QStringLiteral("serverKey");
inline const QString ServerKeyPath = QStringLiteral("serverKeyPath");
inline const QString ServerKeyPassword = QStringLiteral("serverKeyPassword");
inline QString clientCertificate(int n) { return QStringLiteral("clientCertificate%1").arg(n); }
inline QString clientCertificatePath(int n) { return QStringLiteral("clientCertificatePath%1").arg(n); }
// Box object: "ip" then the 22 network keys, stored in roles 371..392 in this order
inline const QStringList BoxNetworkKeys = {
    QStringLiteral("lanIp"), QStringLiteral("lanMask"), QStringLiteral("lanGateway"),
    QStringLiteral("lanDns1"), QStringLiteral("lanDns2"), QStringLiteral("wanDhcp"),
    QStringLiteral("wanIp"), QStringLiteral("wanMask"), QStringLiteral("wanGateway"),
    QStringLiteral("wanDns1"), QStringLiteral("wanDns2"), QStringLiteral("wifiOnOff"),
    QStringLiteral("wifiMode"), QStringLiteral("wifissid"), QStringLiteral("wifipassword"),
    QStringLiteral("wifiDhcp"), QStringLiteral("wifiIp"), QStringLiteral("wifiMask"),
    QStringLiteral("wifiGateway"), QStringLiteral("wifiDns1"), QStringLiteral("wifiDns2"),
    QStringLiteral("lteOnOff")};
} // namespace Key

// Folder texts of a project item, always in this order (child 0..3).
namespace Folder {
inline const QString Standard = QStringLiteral("Standard");
inline const QString Service = QStringLiteral("Service");
inline const QString Box = QStringLiteral("Box");
inline const QString Data = QStringLiteral("Data");
} // namespace Folder

// The first child of parent whose text is text, or null. Item texts are the keys of the tree:
// project names at the top, folder texts, item names within a folder.
QStandardItem *childWithText(const QStandardItem *parent, const QString &text);

// Every item of every child folder of `project` with this text, in tree order: what the
// project file holds of that kind (a tree built elsewhere may hold a folder twice).
QVector<QStandardItem *> itemsInFolders(const QStandardItem *project, const QString &folderText);

// Registers PointTable with the meta-type system; call once before the first QVariant use
// (the application and the tests do so at start-up; calling it twice is harmless).
void registerItemRecordTypes();
