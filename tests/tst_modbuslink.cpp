// The reader against devices that misbehave: a Modbus TCP server of the test's own that spoils
// the reply to one request in a chosen way, and an RTU peer on a pseudo-terminal pair that
// answers late or with a bad checksum. Whatever comes, no point shows a value that is not the
// answer to its own request, and no round takes longer than its time-outs allow.
// Loopback address 127.0.9.30.

#include "ModbusServerProcess.h"
#include "ModbusTcpTestServer.h"
#include "RtuTestPeer.h"

#include "core/modbus/ModbusFrame.h"
#include "core/modbus/ModbusReader.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QtTest>

namespace {

const QString kAddress = QStringLiteral("127.0.9.30");
const int kPort = 1502;
const int kConnectTimeoutMs = 500;
const int kRequestTimeoutMs = 400;

// Register n of the test devices holds 1000 + n.
quint16 registerValue(int address)
{
    return quint16(1000 + address);
}

// How the reply to a request for register 0 is spoiled; register 100 is always answered well.
enum class Fault {
    None, UnitId, ProtocolId, Function, ByteCountLarge, ByteCountSmall, Length0, Length1, Length65535,
    LengthLong, LengthShort, Duplicate, Trickle, Late, Exception2
};

QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), int(list.size()));
}

QByteArray word(quint16 value)
{
    return ModbusTcpTestServer::word(value);
}

// Answers read requests for holding registers, one connection or many (the reader reconnects
// after a reply it cannot trust), spoiling the reply to a request for register 0.
class FaultyTcpServer : public QObject
{
public:
    explicit FaultyTcpServer(Fault fault)
        : m_server(registerValue, [this, fault](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
              reply(socket, request, ModbusTcpTestServer::wordAt(request, 8) == 0 ? fault : Fault::None, pdu);
          })
    {
    }

    bool listen() { return m_server.listen(kAddress, kPort); }

private:
    void reply(QTcpSocket *socket, const QByteArray &request, Fault fault, QByteArray pdu)
    {
        switch (fault) {
        case Fault::Function: pdu[0] = char(4); break;
        case Fault::ByteCountLarge: pdu[1] = char(pdu[1] + 2); pdu += word(0x7777); break;
        case Fault::ByteCountSmall: pdu[1] = char(pdu[1] - 2); pdu.chop(2); break;
        case Fault::Exception2: pdu = bytes({char(0x83), char(2)}); break;
        default: break;
        }
        QByteArray adu = ModbusTcpTestServer::adu(request, pdu);
        switch (fault) {
        case Fault::UnitId: adu[6] = char(adu[6] + 1); break;
        case Fault::ProtocolId: adu[3] = char(1); break;
        case Fault::Length0: adu.replace(4, 2, word(0)); break;
        case Fault::Length1: adu.replace(4, 2, word(1)); break;
        case Fault::Length65535: adu.replace(4, 2, word(65535)); break;
        case Fault::LengthLong: adu.replace(4, 2, word(quint16(pdu.size() + 4))); break;
        case Fault::LengthShort: adu.replace(4, 2, word(quint16(pdu.size()))); break;
        case Fault::Duplicate: adu += adu; break;
        default: break;
        }
        QPointer<QTcpSocket> guard(socket);
        if (fault == Fault::Late) {
            QTimer::singleShot(kRequestTimeoutMs + 150, this, [guard, adu] {
                if (guard)
                    guard->write(adu);
            });
        } else if (fault == Fault::Trickle) {
            for (int i = 0; i < adu.size(); ++i)
                QTimer::singleShot(15 * (i + 1), this, [guard, byte = adu.mid(i, 1)] {
                    if (guard)
                        guard->write(byte);
                });
        } else {
            socket->write(adu);
        }
    }

    ModbusTcpTestServer m_server;
};

ModbusSlave twoPoints()
{
    // Registers 0 and 100: too far apart for one request.
    return ModbusSlave(QStringLiteral("1"), QStringLiteral("ABCD"), true, false,
                       {{"40000", "A", "uint16", "1", "r"}, {"40100", "B", "uint16", "1", "r"}});
}

// One round of the reader: its results, and how long it took.
bool readRound(ModbusReader &reader, ModbusReader::SlaveResults *results, qint64 *elapsedMs)
{
    bool done = false;
    const auto connection = QObject::connect(&reader, &ModbusReader::readFinished,
                                             [&](const QVector<ModbusReader::SlaveResults> &all) {
        *results = all.value(0);
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    const bool started = reader.read({twoPoints()});
    const bool finished = started && QTest::qWaitFor([&done] { return done; }, 10000);
    *elapsedMs = timer.elapsed();
    QObject::disconnect(connection);
    return finished && results->size() == 2;
}

QString shown(const ModbusReader::PointResult &result)
{
    return result.ok() ? result.value : QStringLiteral("[%1]").arg(result.status);
}

// Two rounds back to back: what is left of the first (a late or repeated reply, a cut frame)
// is never taken for an answer in the second, nor register 0's reply for register 100's.
void checkRounds(ModbusReader &reader, const QString &expected, qint64 boundMs)
{
    for (int round = 0; round < 2; ++round) {
        ModbusReader::SlaveResults results;
        qint64 elapsed = 0;
        QVERIFY(readRound(reader, &results, &elapsed));
        QCOMPARE(shown(results.at(0)), expected);
        QCOMPARE(shown(results.at(1)), QStringLiteral("1100"));
        QCOMPARE(reader.requestCount(), 2);
        QVERIFY2(elapsed < boundMs, qPrintable(QStringLiteral("round %1 took %2 ms").arg(round).arg(elapsed)));
    }
}

// A scripted RTU device on the far end of a pseudo-terminal pair.
class RtuPeer : public RtuTestPeer
{
public:
    enum class Fault { None, Late, BadCrc, OtherStation };

    RtuPeer(const QString &device, Fault fault)
        : RtuTestPeer(device, [fault](QSerialPort &port, const QByteArray &request) {
            const quint16 address = quint16((quint8(request[2]) << 8) | quint8(request[3]));
            const quint16 count = quint16((quint8(request[4]) << 8) | quint8(request[5]));
            QByteArray frame = bytes({char(request[0]), char(request[1]), char(2 * count)});
            for (int i = 0; i < count; ++i)
                frame += word(registerValue(address + i));
            const Fault spoil = address == 0 ? fault : Fault::None;
            if (spoil == Fault::OtherStation)
                frame[0] = char(frame[0] + 1);
            frame = withCrc(frame);
            if (spoil == Fault::BadCrc)
                frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
            if (spoil == Fault::Late)
                QTimer::singleShot(kRequestTimeoutMs + 100, &port, [&port, frame] { port.write(frame); });
            else
                port.write(frame);
        })
    {
    }
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class tst_ModbusLink : public QObject
{
    Q_OBJECT
private slots:
    void tcpReplyFaults_data();
    void tcpReplyFaults();
    void rtuReplyFaults_data();
    void rtuReplyFaults();
    void writeReplies_data();
    void writeReplies();
    void otherSpellingContactsNoDevice();
};

void tst_ModbusLink::tcpReplyFaults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("expected"); // register 0's point; register 100's is always right
    const QString wrong = QStringLiteral("[wrong reply]");
    QTest::newRow("good reply") << Fault::None << QStringLiteral("1000");
    QTest::newRow("other unit id") << Fault::UnitId << wrong;
    QTest::newRow("other protocol id") << Fault::ProtocolId << wrong;
    QTest::newRow("function 4 for 3") << Fault::Function << wrong;
    QTest::newRow("byte count too large") << Fault::ByteCountLarge << wrong;
    QTest::newRow("byte count too small") << Fault::ByteCountSmall << wrong;
    QTest::newRow("length 0") << Fault::Length0 << wrong;
    QTest::newRow("length 1") << Fault::Length1 << wrong;
    QTest::newRow("length 65535") << Fault::Length65535 << wrong;
    QTest::newRow("length beyond the PDU") << Fault::LengthLong << QStringLiteral("[timeout]");
    QTest::newRow("length short of the PDU") << Fault::LengthShort << wrong;
    QTest::newRow("reply sent twice") << Fault::Duplicate << QStringLiteral("1000");
    QTest::newRow("reply trickled byte by byte") << Fault::Trickle << QStringLiteral("1000");
    QTest::newRow("late reply") << Fault::Late << QStringLiteral("[timeout]");
    QTest::newRow("exception 2") << Fault::Exception2 << QStringLiteral("[exception 2]");
}

void tst_ModbusLink::tcpReplyFaults()
{
    QFETCH(Fault, fault);
    QFETCH(QString, expected);
    FaultyTcpServer server(fault);
    QVERIFY(server.listen());
    ModbusLinkSettings link;
    link.host = kAddress;
    link.port = kPort;
    link.connectionTimeoutMs = kConnectTimeoutMs;
    link.requestTimeoutMs = kRequestTimeoutMs;
    ModbusReader reader(link);
    // Two requests, each within its time-out, and at most one reconnect.
    checkRounds(reader, expected, 2 * kRequestTimeoutMs + kConnectTimeoutMs + 200);
}

void tst_ModbusLink::rtuReplyFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("expected");
    QTest::newRow("good reply") << int(RtuPeer::Fault::None) << QStringLiteral("1000");
    QTest::newRow("late reply") << int(RtuPeer::Fault::Late) << QStringLiteral("[timeout]");
    QTest::newRow("bad CRC") << int(RtuPeer::Fault::BadCrc) << QStringLiteral("[CRC error]");
    QTest::newRow("other station") << int(RtuPeer::Fault::OtherStation) << QStringLiteral("[wrong reply]");
}

void tst_ModbusLink::rtuReplyFaults()
{
    QFETCH(int, fault);
    QFETCH(QString, expected);
    PtyPair pty;
    QVERIFY(pty.start());
    RtuPeer peer(pty.second(), RtuPeer::Fault(fault));
    QVERIFY(peer.open());
    ModbusLinkSettings link;
    link.mode = ModbusLinkSettings::Mode::Rtu;
    link.serialDevice = pty.first();
    link.baudRate = 9600;
    link.requestTimeoutMs = kRequestTimeoutMs;
    ModbusReader reader(link);
    // Each request within its time-out, and after a failure the line left to fall silent for
    // at most two more.
    checkRounds(reader, expected, 4 * kRequestTimeoutMs + 200);
}

// A write counts as done only when the device echoes what was written where.
void tst_ModbusLink::writeReplies_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("reply"); // the reply PDU as hex
    QTest::addColumn<int>("status");       // ModbusFrame::Reply::Status
    const int ok = int(ModbusFrame::Reply::Status::Ok);
    const int wrong = int(ModbusFrame::Reply::Status::WrongReply);
    // Requests: address 0x0010, value 0x1234 (function 6), on (5), two registers (16).
    QTest::newRow("6 echoed") << 6 << QByteArray("0600101234") << ok;
    QTest::newRow("6 other address") << 6 << QByteArray("0600111234") << wrong;
    QTest::newRow("6 other value") << 6 << QByteArray("0600101235") << wrong;
    QTest::newRow("6 cut short") << 6 << QByteArray("06001012") << wrong;
    QTest::newRow("5 echoed") << 5 << QByteArray("050010ff00") << ok;
    QTest::newRow("5 echo of off") << 5 << QByteArray("0500100000") << wrong;
    QTest::newRow("16 echoed") << 16 << QByteArray("1000100002") << ok;
    QTest::newRow("16 other quantity") << 16 << QByteArray("1000100001") << wrong;
    QTest::newRow("16 answered as 6") << 16 << QByteArray("0600100002") << wrong;
    QTest::newRow("16 refused") << 16 << QByteArray("9004") << int(ModbusFrame::Reply::Status::Exception);
}

void tst_ModbusLink::writeReplies()
{
    QFETCH(int, function);
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    ModbusFrame::Request request;
    request.function = quint8(function);
    request.address = 0x0010;
    request.values = function == 16 ? QVector<quint16>{0x1234, 0x5678} : QVector<quint16>{quint16(function == 5 ? 1 : 0x1234)};
    request.count = quint16(request.values.size());
    const QByteArray pdu = QByteArray::fromHex(reply);
    QCOMPARE(int(ModbusFrame::parsePdu(request, pdu.constData(), pdu.size()).status), status);
}

// "127.0.9.010" is 127.0.9.8 to the socket's own reading (octal): whoever calls the reader,
// such a spelling reaches no device.
void tst_ModbusLink::otherSpellingContactsNoDevice()
{
    int served = 0;
    ModbusTcpTestServer server([&served](int address) {
        ++served;
        return registerValue(address);
    });
    QVERIFY(server.listen(QStringLiteral("127.0.9.8"), kPort));
    for (const QString &host : {QStringLiteral("127.0.9.8"), QStringLiteral("127.0.9.010")}) {
        ModbusLinkSettings link;
        link.host = host;
        link.port = kPort;
        link.connectionTimeoutMs = kConnectTimeoutMs;
        link.requestTimeoutMs = kRequestTimeoutMs;
        ModbusReader reader(link);
        ModbusReader::SlaveResults results;
        qint64 elapsed = 0;
        served = 0;
        QVERIFY(readRound(reader, &results, &elapsed));
        const bool written = host == QLatin1String("127.0.9.8");
        QCOMPARE(shown(results.at(1)), written ? QStringLiteral("1100") : QStringLiteral("[connection error]"));
        QCOMPARE(served > 0, written);
    }
}

QTEST_GUILESS_MAIN(tst_ModbusLink)
#include "tst_modbuslink.moc"
