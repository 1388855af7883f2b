// Byte layouts of the box frames and the JSON requests, as both the tool and the simulator
// produce and read them.

#include "core/boxlink/BoxMessages.h"
#include "core/boxlink/FrameCodec.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QtTest>

Q_DECLARE_METATYPE(FrameCodec::Verdict)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A frame around any body, with a correct length field: lets a test build bodies the encoders
// would never produce.
QByteArray frameAround(quint8 command, const QByteArray &body)
{
    const int length = body.size() + 8;
    QByteArray frame = hex("1234");
    frame.append(char(command));
    frame.append('\0');
    frame.append(char(length & 0xFF));
    frame.append(char(length >> 8));
    return frame + body + hex("5678");
}

QByteArray lengthPrefixed(const QByteArray &text)
{
    return char(quint8(text.size())) + text;
}

} // namespace

class tst_FrameCodec : public QObject
{
    Q_OBJECT
private slots:
    void fixedFrames_data();
    void fixedFrames();
    void jsonMessageLayout_data();
    void jsonMessageLayout();
    void requests_data();
    void requests();
    void heartbeatReplyParsing_data();
    void heartbeatReplyParsing();
    void transferFragments_data();
    void transferFragments();
    void checksumFrame();
    void liveDataFragments();
    void verdicts_data();
    void verdicts();
    void discoveryReplyParsing_data();
    void discoveryReplyParsing();
};

void tst_FrameCodec::fixedFrames_data()
{
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("heartbeat request") << FrameCodec::heartbeatRequest() << hex("12 34 01 00 08 00 56 78");
    QTest::newRow("heartbeat reply 1.0.3 / A1 / M")
        << FrameCodec::heartbeatReply("1.0.3", "A1", "M")
        << hex("12 34 02 00 13 00 05 312e302e33 02 4131 01 4d 56 78");
    QTest::newRow("verdict: program update matched")
        << FrameCodec::transferVerdict(4, 0) << hex("12 34 04 00 0A 00 03 00 56 78");
    QTest::newRow("verdict: project deployment failed")
        << FrameCodec::transferVerdict(3, 1) << hex("12 34 03 00 0A 00 03 01 56 78");
    QTest::newRow("discovery request")
        << FrameCodec::discoveryRequest() << hex("12 34 00 00 53 65 61 72 63 68 20 42 6F 78 56 78");
    QTest::newRow("discovery reply")
        << FrameCodec::discoveryReply("10.0.0.7", "255.0.0.0", "TLK-BOX-600")
        << hex("12 34 FF FF") + QByteArray("10.0.0.7").leftJustified(16, '\0')
               + QByteArray("255.0.0.0").leftJustified(16, '\0') + char(11) + "TLK-BOX-600";
}

void tst_FrameCodec::fixedFrames()
{
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual.toHex(' '), expected.toHex(' '));
}

void tst_FrameCodec::jsonMessageLayout_data()
{
    QTest::addColumn<int>("textSize");
    QTest::addColumn<QByteArray>("lengthBytes"); // bytes 4 to 7: frame length, payload length

    QTest::newRow("100 bytes") << 100 << hex("6E 00 64 00");
    QTest::newRow("empty") << 0 << hex("0A 00 00 00");
    QTest::newRow("300 bytes (low byte 0x2C, high byte set)") << 300 << hex("36 01 2C 01");
    QTest::newRow("largest that fits") << 65525 << hex("FF FF F5 FF");
}

void tst_FrameCodec::jsonMessageLayout()
{
    QFETCH(int, textSize);
    QFETCH(QByteArray, lengthBytes);
    const QByteArray text(textSize, 'j');
    const QByteArray frame = FrameCodec::jsonMessage(text);
    QCOMPARE(frame.size(), textSize + 10);
    QCOMPARE(frame.left(4).toHex(' '), QByteArray("12 34 05 00"));
    QCOMPARE(frame.mid(4, 4).toHex(' '), lengthBytes.toHex(' '));
    QCOMPARE(frame.mid(8, textSize), text);
    QCOMPARE(frame.right(2).toHex(' '), QByteArray("56 78"));
}

void tst_FrameCodec::requests_data()
{
    QTest::addColumn<QJsonObject>("request");
    QTest::addColumn<QByteArray>("expected");

    using M = BoxMessages;
    QTest::newRow("read LAN: type is the string 2, pares empty")
        << M::readRequest(M::Lan) << QByteArray(R"({"type":"2","pares":{}})");
    QTest::newRow("read WAN") << M::readRequest(M::Wan) << QByteArray(R"({"type":"3","pares":{}})");
    QTest::newRow("read WiFi") << M::readRequest(M::Wifi) << QByteArray(R"({"type":"4","pares":{}})");
    QTest::newRow("read LTE") << M::readRequest(M::Lte) << QByteArray(R"({"type":"5","pares":{}})");
    QTest::newRow("read NTP") << M::readRequest(M::Ntp) << QByteArray(R"({"type":"8","pares":{}})");
    QTest::newRow("read clock") << M::readRequest(M::Time) << QByteArray(R"({"type":"9","pares":{}})");
    QTest::newRow("reboot") << M::rebootRequest()
                            << QByteArray(R"({"type":"6","pares":{"reboot":"reboot"}})");
    QTest::newRow("write LAN: type is the number 102")
        << M::writeLanRequest("10.1.1.2", "255.255.0.0", "10.1.0.1", "1.1.1.1", "9.9.9.9")
        << QByteArray(R"({"type":102,"pares":{"lanIp":"10.1.1.2","lanMask":"255.255.0.0",
                      "lanGateway":"10.1.0.1","lanDns1":"1.1.1.1","lanDns2":"9.9.9.9"}})");
    QTest::newRow("write WAN, Enable -> 1")
        << M::writeWanRequest("Enable", "a", "b", "c", "d", "e")
        << QByteArray(R"({"type":103,"pares":{"wanDhcp":"1","wanIp":"a","wanMask":"b",
                      "wanGateway":"c","wanDns1":"d","wanDns2":"e"}})");
    QTest::newRow("write WAN, Disabled -> 0")
        << M::writeWanRequest("Disabled", "a", "b", "c", "d", "e")
        << QByteArray(R"({"type":103,"pares":{"wanDhcp":"0","wanIp":"a","wanMask":"b",
                      "wanGateway":"c","wanDns1":"d","wanDns2":"e"}})");
    QTest::newRow("write WAN, empty choice -> no wanDhcp")
        << M::writeWanRequest("", "a", "b", "c", "d", "e")
        << QByteArray(R"({"type":103,"pares":{"wanIp":"a","wanMask":"b","wanGateway":"c",
                      "wanDns1":"d","wanDns2":"e"}})");
    QTest::newRow("write WAN, other text -> no wanDhcp")
        << M::writeWanRequest("enable", "", "", "", "", "")
        << QByteArray(R"({"type":103,"pares":{"wanIp":"","wanMask":"","wanGateway":"",
                      "wanDns1":"","wanDns2":""}})");
    QTest::newRow("write WiFi, Disabled -> 0")
        << M::writeWifiRequest("on", "station", "net", "pw", "Disabled", "i", "m", "g", "d1", "d2")
        << QByteArray(R"({"type":104,"pares":{"wifiOnOff":"on","wifiMode":"station","ssid":"net",
                      "password":"pw","wifiDhcp":"0","wifiIp":"i","wifiMask":"m",
                      "wifiGateway":"g","wifiDns1":"d1","wifiDns2":"d2"}})");
    QTest::newRow("write WiFi, no choice -> no wifiDhcp")
        << M::writeWifiRequest("off", "station", "", "", "", "i", "m", "g", "d1", "d2")
        << QByteArray(R"({"type":104,"pares":{"wifiOnOff":"off","wifiMode":"station","ssid":"",
                      "password":"","wifiIp":"i","wifiMask":"m","wifiGateway":"g",
                      "wifiDns1":"d1","wifiDns2":"d2"}})");
    QTest::newRow("write LTE")
        << M::writeLteRequest("ON", "AT+A", "AT+B", "", "x", "y")
        << QByteArray(R"({"type":105,"pares":{"lteOnOff":"ON","AT1":"AT+A","AT2":"AT+B","AT3":"",
                      "AT4":"x","AT5":"y"}})");
    QTest::newRow("write NTP") << M::writeNtpRequest("10.0.0.1")
                               << QByteArray(R"({"type":108,"pares":{"NTP":"10.0.0.1"}})");
    QTest::newRow("write clock") << M::writeTimeRequest("2024-02-29 23:59:58")
                                 << QByteArray(R"({"type":109,"pares":{"date":"2024-02-29 23:59:58"}})");
}

void tst_FrameCodec::requests()
{
    QFETCH(QJsonObject, request);
    QFETCH(QByteArray, expected);
    // QJsonObject equality also compares value types: "102" and 102 differ.
    const QJsonObject wanted = QJsonDocument::fromJson(expected).object();
    QVERIFY(!wanted.isEmpty());
    QCOMPARE(request, wanted);
}

void tst_FrameCodec::heartbeatReplyParsing_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("model");

    QTest::newRow("1.0.3 / A1 / M") << FrameCodec::heartbeatReply("1.0.3", "A1", "M") << true
                                    << "1.0.3" << "A1" << "M";
    const QByteArray v200(200, 'v');
    QTest::newRow("version of 200 bytes (length byte C8)")
        << FrameCodec::heartbeatReply(v200, "S", "M") << true << QString(v200) << "S" << "M";
    // 8 + 3 + 100 + 10 + 9 = 130: frame length byte 0x82.
    const QByteArray v100(100, 'x');
    QTest::newRow("frame length 130") << FrameCodec::heartbeatReply(v100, "0123456789", "MODEL-XYZ")
                                      << true << QString(v100) << "0123456789" << "MODEL-XYZ";
    const QByteArray s255(255, 's');
    QTest::newRow("three strings of 255 bytes")
        << FrameCodec::heartbeatReply(s255, s255, s255) << true << QString(s255) << QString(s255)
        << QString(s255);
    QTest::newRow("UTF-8 text") << FrameCodec::heartbeatReply("V2", QString("序列").toUtf8(), "盒")
                                << true << "V2" << QString("序列") << QString("盒");
    QTest::newRow("empty strings") << FrameCodec::heartbeatReply("", "", "") << true << "" << ""
                                   << "";
    QTest::newRow("serial runs past the end marker")
        << frameAround(2, lengthPrefixed("1.0.3") + char(64) + "A1" + lengthPrefixed("M")) << false
        << "" << "" << "";
    QTest::newRow("model would take the end marker")
        << frameAround(2, lengthPrefixed("1.0.3") + lengthPrefixed("A1") + char(3) + "M") << false
        << "" << "" << "";
    QTest::newRow("no model length") << frameAround(2, lengthPrefixed("1.0.3") + lengthPrefixed("A1"))
                                     << false << "" << "" << "";
    QTest::newRow("no body") << FrameCodec::heartbeatRequest() << false << "" << "" << "";
    QTest::newRow("shorter than a frame") << hex("12 34 02 00 07") << false << "" << "" << "";
}

void tst_FrameCodec::heartbeatReplyParsing()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, valid);
    FrameCodec::BoxIdentity identity;
    QCOMPARE(FrameCodec::parseHeartbeatReply(frame, &identity), valid);
    if (!valid)
        return;
    QTEST(identity.version, "version");
    QTEST(identity.serialNumber, "serial");
    QTEST(identity.model, "model");
}

void tst_FrameCodec::transferFragments_data()
{
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<QList<int>>("chunkLengths");

    QTest::newRow("2500 bytes") << 2500 << QList<int>{1024, 1024, 452};
    QTest::newRow("empty file: no fragment") << 0 << QList<int>{};
    QTest::newRow("exactly 1024") << 1024 << QList<int>{1024};
    QTest::newRow("1025") << 1025 << QList<int>{1024, 1};
}

void tst_FrameCodec::transferFragments()
{
    QFETCH(int, fileSize);
    QFETCH(QList<int>, chunkLengths);
    QByteArray file(fileSize, '\0');
    for (int i = 0; i < fileSize; ++i)
        file[i] = char(i * 7 + 3);

    const QList<QByteArray> frames = FrameCodec::transferFragments(3, file);
    QCOMPARE(frames.size(), chunkLengths.size());
    QByteArray joined;
    for (int i = 0; i < frames.size(); ++i) {
        const QByteArray &frame = frames.at(i);
        const int chunk = chunkLengths.at(i);
        QCOMPARE(frame.size(), chunk + 19);
        QCOMPARE(FrameCodec::frameLength(frame), chunk + 19);
        QCOMPARE(frame.left(4).toHex(' '), QByteArray("12 34 03 00"));
        QCOMPARE(quint8(frame.at(6)), quint8(0x01));
        FrameCodec::FragmentHeader header;
        QVERIFY(FrameCodec::parseFragmentHeader(frame.constData(), frame.size(), &header));
        QCOMPARE(header.total, quint32(fileSize));
        QCOMPARE(int(header.length), chunk);
        QCOMPARE(header.number, quint32(i + 1));
        QVERIFY(FrameCodec::hasEndMarker(frame));
        joined += frame.mid(17, chunk);
    }
    QCOMPARE(joined, file);
    if (fileSize == 2500) {
        QCOMPARE(frames.at(0).mid(4, 13).toHex(' '),
                 QByteArray("13 04 01 c4 09 00 00 00 04 01 00 00 00"));
        QCOMPARE(frames.at(2).mid(4, 13).toHex(' '),
                 QByteArray("d7 01 01 c4 09 00 00 c4 01 03 00 00 00"));
    }
}

void tst_FrameCodec::checksumFrame()
{
    const QByteArray file(2500, 'p');
    const QByteArray md5 = QCryptographicHash::hash(file, QCryptographicHash::Md5);
    const QByteArray frame = FrameCodec::checksumFrame(4, 2500, md5);
    QCOMPARE(frame.size(), 30);
    QCOMPARE(frame.left(12).toHex(' '), QByteArray("12 34 04 00 1e 00 02 c4 09 00 00 10"));
    QCOMPARE(frame.mid(12, 16), md5);
    QCOMPARE(frame.right(2).toHex(' '), QByteArray("56 78"));

    FrameCodec::ChecksumInfo info;
    QVERIFY(FrameCodec::parseChecksumFrame(frame, &info));
    QCOMPARE(info.size, 2500u);
    QCOMPARE(info.digest, md5);

    const QByteArray emptyMd5 = QCryptographicHash::hash(QByteArray(), QCryptographicHash::Md5);
    QCOMPARE(FrameCodec::checksumFrame(3, 0, emptyMd5).mid(6, 6).toHex(' '),
             QByteArray("02 00 00 00 00 10"));
    QByteArray shortDigest = frame;
    shortDigest[11] = 15; // the digest length no longer matches the frame
    QVERIFY(!FrameCodec::parseChecksumFrame(shortDigest, &info));
    QVERIFY(!FrameCodec::parseChecksumFrame(frame.left(20), &info));
}

void tst_FrameCodec::liveDataFragments()
{
    QByteArray report = "{\"datas\":[],\"plcName\":\"P\"}";
    report = report.leftJustified(2100, ' ');
    const QList<QByteArray> frames = FrameCodec::liveDataFragments(report);
    QCOMPARE(frames.size(), 3);
    const int lengths[] = {1024, 1024, 52};
    QByteArray joined;
    for (int i = 0; i < 3; ++i) {
        FrameCodec::FragmentHeader header;
        QVERIFY(FrameCodec::parseFragmentHeader(frames[i].constData(), frames[i].size(), &header));
        QCOMPARE(header.command, quint8(6));
        QCOMPARE(header.total, 2100u);
        QCOMPARE(int(header.length), lengths[i]);
        QCOMPARE(header.number, quint32(i + 1));
        QCOMPARE(FrameCodec::frameLength(frames[i]), lengths[i] + 19);
        joined += frames[i].mid(17, lengths[i]);
    }
    QCOMPARE(joined, report);
    // The last fragment is the one whose length and number reach the total.
    QCOMPARE(52 + (3 - 1) * 1024, 2100);
}

void tst_FrameCodec::verdicts_data()
{
    QTest::addColumn<quint8>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<FrameCodec::Verdict>("verdict");

    using V = FrameCodec::Verdict;
    const QByteArray ok4 = hex("12 34 04 00 0A 00 03 00 56 78");
    QTest::newRow("program update matched") << quint8(4) << ok4 << V::ChecksumMatched;
    QTest::newRow("same bytes after a deployment") << quint8(3) << ok4 << V::CommandTypeError;
    QTest::newRow("failed") << quint8(4) << hex("12 34 04 00 0A 00 03 01 56 78") << V::ChecksumFailed;
    QTest::newRow("byte 6 not 3") << quint8(4) << hex("12 34 04 00 0A 00 02 00 56 78") << V::ValueError;
    QTest::newRow("byte 3 not 0") << quint8(4) << hex("12 34 04 01 0A 00 03 00 56 78") << V::CommandTypeError;
    QTest::newRow("length and end marker unchecked")
        << quint8(3) << hex("12 34 03 00 00 00 03 00 00 00") << V::ChecksumMatched;
    QTest::newRow("9 bytes") << quint8(4) << ok4.left(9) << V::NotAVerdict;
    QTest::newRow("11 bytes") << quint8(4) << ok4 + 'x' << V::NotAVerdict;
    QTest::newRow("no start marker") << quint8(4) << hex("12 35 04 00 0A 00 03 00 56 78") << V::NotAVerdict;
}

void tst_FrameCodec::verdicts()
{
    QFETCH(quint8, command);
    QFETCH(QByteArray, reply);
    QTEST(FrameCodec::judgeVerdict(reply, command), "verdict");
}

void tst_FrameCodec::discoveryReplyParsing_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("model");

    const QByteArray example = hex("12 34 FF FF") + QByteArray("192.168.1.10").leftJustified(16, '\0')
                               + QByteArray("255.255.255.0").leftJustified(16, ' ') + char(11)
                               + "TLK-BOX-600";
    QTest::newRow("NUL- and blank-padded fields")
        << example << true << "192.168.1.10" << "255.255.255.0" << "TLK-BOX-600";
    QTest::newRow("round trip") << FrameCodec::discoveryReply("10.9.8.7", "255.255.0.0", "TLK-GW-A1")
                                << true << "10.9.8.7" << "255.255.0.0" << "TLK-GW-A1";
    QTest::newRow("round trip, no model")
        << FrameCodec::discoveryReply("10.9.8.7", "255.255.0.0", QString()) << true << "10.9.8.7"
        << "255.255.0.0" << "";
    QTest::newRow("model length beyond the datagram")
        << example.left(36) + char(200) + "ABCDE" << true << "192.168.1.10" << "255.255.255.0"
        << "ABCDE";
    QTest::newRow("37 bytes") << example.left(37) << false << "" << "" << "";
    QTest::newRow("header FF FE") << QByteArray(example).replace(3, 1, "\xFE") << false << "" << ""
                                  << "";
}

void tst_FrameCodec::discoveryReplyParsing()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, valid);
    FrameCodec::DiscoveryInfo info;
    QCOMPARE(FrameCodec::parseDiscoveryReply(datagram, &info), valid);
    if (!valid)
        return;
    QTEST(info.ip, "ip");
    QTEST(info.mask, "mask");
    QTEST(info.model, "model");
}

QTEST_GUILESS_MAIN(tst_FrameCodec)
#include "tst_framecodec.moc"
