// The traffic log and its pane: the frames a device received and sent, in order, through the
// Test Read window; how each way a request can end is marked and counted; the cap keeps the
// newest frames in the log and the table alike; the text export. Loopback 127.0.26.x.

#include "ModbusServerProcess.h"
#include "ModbusTcpTestServer.h"
#include "RtuTestPeer.h"

#include "core/modbus/ModbusClient.h"
#include "core/modbus/ModbusTraffic.h"
#include "gui/devices/ModbusTestReadDialog.h"
#include "gui/devices/TrafficPane.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Mark = ModbusTraffic::Mark;
using Direction = ModbusTraffic::Direction;

const int kRequestTimeoutMs = 200;

// Register 0 is always answered well, register 1 the way the test asks. What was answered
// goes to `sent`.
class RtuPeer : public RtuTestPeer
{
public:
    enum class Fault { None, Exception, BadCrc, OtherStation, Silent, Late };

    RtuPeer(const QString &device, Fault fault, QList<QByteArray> *sent)
        : RtuTestPeer(device, [fault, sent](QSerialPort &port, const QByteArray &request) {
            const bool faulty = request.at(3) == 1;
            const Fault spoil = faulty ? fault : Fault::None;
            QByteArray frame;
            if (spoil == Fault::Exception)
                frame = withCrc(request.left(1) + char(0x83) + char(0x02));
            else if (spoil == Fault::OtherStation)
                frame = withCrc(char(request.at(0) + 1) + request.mid(1, 1) + QByteArray::fromHex("021235"));
            else
                frame = withCrc(request.left(2) + char(2) + char(0x12) + char(faulty ? 0x35 : 0x34));
            if (spoil == Fault::BadCrc)
                frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
            if (spoil == Fault::Silent)
                return;
            if (spoil == Fault::Late) {
                QTimer::singleShot(kRequestTimeoutMs + 50, &port, [&port, frame] { port.write(frame); });
                return;
            }
            sent->append(frame);
            port.write(frame);
        })
    {
    }
};

bool request(ModbusClient &client, quint16 address, ModbusClient::Result *result)
{
    bool done = false;
    const auto connection = QObject::connect(&client, &ModbusClient::replied,
                                             [&](const ModbusClient::Result &r) { *result = r; done = true; });
    const bool ok = client.send(ModbusFrame::Request::read(7, ModbusFrame::ReadHoldingRegisters, address, 1))
                    && QTest::qWaitFor([&done] { return done; }, 5000);
    QObject::disconnect(connection);
    return ok;
}

int counterNamed(const ModbusTraffic::Counters &c, const QString &name)
{
    const QHash<QString, int> values{{QStringLiteral("exceptions"), c.exceptions},
                                     {QStringLiteral("crcErrors"), c.crcErrors},
                                     {QStringLiteral("wrongReplies"), c.wrongReplies},
                                     {QStringLiteral("timeouts"), c.timeouts}};
    return values.value(name, -1);
}

// A sent RTU frame that tells its index.
QByteArray numbered(int index)
{
    return RtuTestPeer::withCrc(QByteArray::fromHex("0103") + char(index >> 8) + char(index & 0xFF) + QByteArray::fromHex("0001"));
}

QString countersCell(TrafficPane *pane, int row, int column)
{
    QTableWidgetItem *item = pane->countersTable()->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

Q_DECLARE_METATYPE(RtuPeer::Fault)
Q_DECLARE_METATYPE(ModbusTraffic::Mark)

class tst_Traffic : public QObject
{
    Q_OBJECT
private slots:
    void testReadShowsServerBytesInOrder();
    void outcomesAreMarkedAndCounted_data();
    void outcomesAreMarkedAndCounted();
    void capKeepsNewestFrames_data();
    void capKeepsNewestFrames();
    void viewFollowsOrStays_data();
    void viewFollowsOrStays();
    void savesAsText();
};

// What the server read and wrote, frame by frame, is what the Traffic tab lists; Reset starts
// the counters afresh and leaves the frames.
void tst_Traffic::testReadShowsServerBytesInOrder()
{
    QList<QPair<Direction, QByteArray>> wire; // as the server saw it: its input, its output
    ModbusTcpTestServer server([](int address) { return quint16(address + 0x100); },
                               [&wire](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
                                   const QByteArray reply = ModbusTcpTestServer::adu(request, pdu);
                                   wire.append({Direction::Sent, request});
                                   wire.append({Direction::Received, reply});
                                   socket->write(reply);
                               });
    QVERIFY(server.listen(QStringLiteral("127.0.26.1"), 1502));
    ModbusLinkSettings link;
    link.host = QStringLiteral("127.0.26.1");
    link.port = 1502;
    link.requestTimeoutMs = 2000;
    // Registers 0 and 300: two requests.
    const ModbusSlave slave(QStringLiteral("5"), QStringLiteral("ABCD"), true, false,
                            {{"40000", "A", "uint16", "1", "r"}, {"40300", "B", "uint16", "1", "r"}});
    ModbusTestReadDialog window(QStringLiteral("Pump"), link, slave);
    window.show();
    window.tabs()->setCurrentWidget(window.trafficPane());
    for (int round = 1; round <= 2; ++round) {
        window.readButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(window.readCount(), round, 5000);
    }
    QCOMPARE(wire.size(), 8);

    TrafficPane *pane = window.trafficPane();
    TrafficModel *model = pane->model();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), wire.size(), 2000);
    for (int row = 0; row < wire.size(); ++row) {
        const ModbusTraffic::Entry &entry = model->entry(row);
        QCOMPARE(entry.direction, wire.at(row).first);
        QCOMPARE(entry.bytes.toHex(' '), wire.at(row).second.toHex(' '));
        QCOMPARE(entry.unit, 5);
        QCOMPARE(entry.mark, Mark::None);
        QCOMPARE(entry.roundTripMs >= 0, entry.direction == Direction::Received);
        QCOMPARE(model->data(model->index(row, TrafficModel::ColBytes)).toString(),
                 QString::fromLatin1(wire.at(row).second.toHex(' ').toUpper()));
    }

    // One row for unit 5, one for all.
    QCOMPARE(pane->countersTable()->rowCount(), 2);
    QCOMPARE(countersCell(pane, 1, TrafficPane::CountRequests), QStringLiteral("4"));
    QCOMPARE(countersCell(pane, 1, TrafficPane::CountGood), QStringLiteral("4"));
    QVERIFY(!countersCell(pane, 1, TrafficPane::CountMax).isEmpty());
    pane->resetButton()->click();
    QCOMPARE(countersCell(pane, 0, TrafficPane::CountRequests), QStringLiteral("0"));
    QCOMPARE(countersCell(pane, 0, TrafficPane::CountMax), QString());
    QCOMPARE(model->rowCount(), wire.size());
}

void tst_Traffic::outcomesAreMarkedAndCounted_data()
{
    QTest::addColumn<RtuPeer::Fault>("fault");
    QTest::addColumn<Mark>("mark");          // of the second request's reply
    QTest::addColumn<QString>("counter");    // the one that counts it
    QTest::addColumn<bool>("replyBytes");    // the reply row holds bytes
    QTest::newRow("exception") << RtuPeer::Fault::Exception << Mark::Exception << "exceptions" << true;
    QTest::newRow("bad CRC") << RtuPeer::Fault::BadCrc << Mark::CrcError << "crcErrors" << true;
    QTest::newRow("other station") << RtuPeer::Fault::OtherStation << Mark::WrongReply << "wrongReplies" << true;
    QTest::newRow("silent") << RtuPeer::Fault::Silent << Mark::Timeout << "timeouts" << false;
    // The late reply comes after the time-out and is logged on its own, as not awaited.
    QTest::newRow("late") << RtuPeer::Fault::Late << Mark::Timeout << "timeouts" << false;
}

// A good request, then one that ends the way the row says, over RTU: the log holds request,
// reply, request, reply-or-nothing with the right marks; only the right counter moves.
void tst_Traffic::outcomesAreMarkedAndCounted()
{
    QFETCH(RtuPeer::Fault, fault);
    QFETCH(Mark, mark);
    QFETCH(QString, counter);
    QFETCH(bool, replyBytes);
    PtyPair pty;
    QVERIFY(pty.start());
    QList<QByteArray> answered;
    RtuPeer peer(pty.second(), fault, &answered);
    QVERIFY(peer.open());
    ModbusLinkSettings link;
    link.mode = ModbusLinkSettings::Mode::Rtu;
    link.serialDevice = pty.first();
    link.requestTimeoutMs = kRequestTimeoutMs;
    ModbusClient client(link);
    ModbusTraffic traffic;
    traffic.attach(&client);

    ModbusClient::Result result;
    QVERIFY(request(client, 0, &result));
    QVERIFY(result.ok());
    QVERIFY(request(client, 1, &result));
    QVERIFY(!result.ok());
    if (fault == RtuPeer::Fault::Late)
        QTRY_COMPARE_WITH_TIMEOUT(traffic.size(), 5, 2000);
    else
        QTest::qWait(ModbusTraffic::StrayQuietMs * 3); // nothing more may come

    QCOMPARE(traffic.size(), fault == RtuPeer::Fault::Late ? 5 : 4);
    QCOMPARE(traffic.at(0).bytes, ModbusFrame::rtuAdu(ModbusFrame::Request::read(7, 3, 0, 1)));
    QCOMPARE(traffic.at(1).bytes, answered.value(0));
    QCOMPARE(traffic.at(1).mark, Mark::None);
    QCOMPARE(traffic.at(2).direction, Direction::Sent);
    const ModbusTraffic::Entry &reply = traffic.at(3);
    QCOMPARE(reply.mark, mark);
    QCOMPARE(reply.unit, 7);
    QCOMPARE(reply.direction, replyBytes ? Direction::Received : Direction::None);
    QCOMPARE(reply.bytes, replyBytes ? answered.value(1) : QByteArray());
    QCOMPARE(reply.roundTripMs >= 0, replyBytes);
    if (mark == Mark::Exception)
        QCOMPARE(reply.exceptionCode, 2);
    if (fault == RtuPeer::Fault::Late) {
        QCOMPARE(traffic.at(4).mark, Mark::Unexpected);
        QCOMPARE(traffic.at(4).bytes.size(), 7);
    }

    const ModbusTraffic::Counters c = traffic.counters().value(7);
    QCOMPARE(traffic.counters().keys(), QList<int>{7});
    QCOMPARE(c.requests, 2);
    QCOMPARE(c.goodReplies, 1);
    QCOMPARE(counterNamed(c, counter), 1);
    QCOMPARE(c.exceptions + c.crcErrors + c.wrongReplies + c.timeouts + c.connectionErrors, 1);
    // Answers (good ones and exceptions) time the round trip; garbled and missing ones do not.
    QCOMPARE(c.timedReplies, mark == Mark::Exception ? 2 : 1);
    QVERIFY(c.minRoundTripMs > 0 && c.minRoundTripMs <= c.meanRoundTripMs() && c.meanRoundTripMs() <= c.maxRoundTripMs);
    QVERIFY(c.maxRoundTripMs < kRequestTimeoutMs);
}

void tst_Traffic::capKeepsNewestFrames_data()
{
    QTest::addColumn<QList<int>>("batches"); // frames logged between two refreshes of the pane
    QTest::newRow("one batch past the cap") << QList<int>{10005};
    QTest::newRow("the table drops its oldest") << QList<int>{5000, 5005};
    QTest::newRow("full, then a few") << QList<int>{9999, 1, 5};
}

void tst_Traffic::capKeepsNewestFrames()
{
    QFETCH(QList<int>, batches);
    ModbusTraffic traffic;
    traffic.setRtu(true);
    TrafficPane pane(&traffic);
    int logged = 0;
    for (int batch : batches) {
        for (int i = 0; i < batch; ++i)
            traffic.recordSent(numbered(logged++));
        pane.refresh();
    }
    QCOMPARE(traffic.size(), ModbusTraffic::DefaultCapacity);
    QCOMPARE(pane.model()->rowCount(), ModbusTraffic::DefaultCapacity);
    const int firstKept = logged - ModbusTraffic::DefaultCapacity;
    QCOMPARE(traffic.at(0).bytes, numbered(firstKept));
    QCOMPARE(pane.model()->entry(0).bytes, numbered(firstKept));
    QCOMPARE(pane.model()->entry(ModbusTraffic::DefaultCapacity - 1).bytes, numbered(logged - 1));
    // The counters count every request, kept in the log or not.
    QCOMPARE(traffic.total().requests, logged);
}

void tst_Traffic::viewFollowsOrStays_data()
{
    QTest::addColumn<bool>("scrolledUp");
    QTest::newRow("at the end: follows the newest") << false;
    QTest::newRow("scrolled up: stays on its frames") << true;
}

// With a full log new frames push the oldest out; the frames a reader looks at stay where
// they are, unless the reader is at the end, where the newest stays in sight.
void tst_Traffic::viewFollowsOrStays()
{
    QFETCH(bool, scrolledUp);
    ModbusTraffic traffic;
    traffic.setRtu(true);
    TrafficPane pane(&traffic);
    pane.resize(800, 600);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    int logged = 0;
    for (; logged < ModbusTraffic::DefaultCapacity; ++logged)
        traffic.recordSent(numbered(logged));
    pane.refresh();
    QTableView *view = pane.view();
    QScrollBar *bar = view->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 1000);
    if (scrolledUp)
        bar->setValue(1000);
    else
        view->scrollToBottom();
    QTest::qWait(10);
    const quint64 topBefore = pane.model()->entry(view->rowAt(0)).sequence;

    for (int i = 0; i < 50; ++i)
        traffic.recordSent(numbered(logged++));
    pane.refresh();
    QTest::qWait(10);
    const quint64 topAfter = pane.model()->entry(view->rowAt(0)).sequence;
    if (scrolledUp) {
        QCOMPARE(topAfter, topBefore);
    } else {
        QCOMPARE(topAfter, topBefore + 50);
        QCOMPARE(bar->value(), bar->maximum());
    }
}

// An exchange over TCP (a good reply, an exception, a reply in two pieces, a time-out, a stray
// frame, a link that cannot be opened) written as text matches the fixture but for the times
// and round trips; a file that cannot be written is reported and left alone.
void tst_Traffic::savesAsText()
{
    ModbusTraffic traffic;
    const auto adu = [](const char *hex) { return QByteArray::fromHex(hex); };
    const auto ended = [](ModbusClient::Result::Status status, int code = 0, const QString &reason = QString()) {
        ModbusClient::Result result;
        result.status = status;
        result.exceptionCode = code;
        result.reason = reason;
        return result;
    };
    using S = ModbusClient::Result::Status;
    traffic.recordSent(adu("000100000006010300000001"));
    traffic.recordReceived(adu("00010000000501030204d2"));
    traffic.recordResult(ended(S::Ok));
    traffic.recordSent(adu("000200000006020300630001"));
    traffic.recordReceived(adu("000200000003028302"));
    traffic.recordResult(ended(S::Exception, 2));
    traffic.recordSent(adu("000300000006010300000001"));
    traffic.recordReceived(adu("00030000000501"));
    traffic.recordReceived(adu("030204d2"));
    traffic.recordResult(ended(S::Ok));
    traffic.recordSent(adu("000400000006010300000001"));
    traffic.recordResult(ended(S::Timeout, 0, QStringLiteral("no whole reply within 200 ms (0 bytes came)")));
    traffic.recordReceived(adu("00040000000501030204d2"));
    // Next, before the stray frame is quiet long enough to be logged: it stays a frame of its own.
    traffic.recordResult(ended(S::ConnectionError, 0, QStringLiteral("Connection refused")));

    QTemporaryDir dir;
    TrafficPane pane(&traffic);
    const QString path = dir.filePath(QStringLiteral("traffic.txt"));
    QString error;
    QVERIFY2(pane.saveTo(path, &error), qPrintable(error));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(saved.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString()); // ends with a line break
    const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\t"));
    const QRegularExpression roundTrip(QStringLiteral("rtt \\d+\\.\\d ms"));
    for (QString &line : lines) {
        QVERIFY2(time.match(line).hasMatch(), qPrintable(line));
        line.remove(time).replace(roundTrip, QStringLiteral("rtt N ms"));
    }
    QFile fixture(QStringLiteral(ORVANE_TEST_DATA_DIR "/traffic/exchange.txt"));
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    QCOMPARE(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'), QString::fromUtf8(fixture.readAll()));

    const QString nowhere = dir.filePath(QStringLiteral("missing/traffic.txt"));
    QVERIFY(!pane.saveTo(nowhere, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(nowhere));
}

QTEST_MAIN(tst_Traffic)
#include "tst_traffic.moc"
