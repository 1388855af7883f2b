// Protocol: reply handling on recorded frames, timers, and the whole link against
// orvane-boxsim on loopback (addresses 127.0.5.1 to 127.0.5.99, one per test case).

#include "BoxSimProcess.h"

#include "core/boxlink/BoxMessages.h"
#include "core/boxlink/BoxSession.h"
#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/Protocol.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QMessageBox>
#include <QSet>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_messages.append(message);
    if (type != QtDebugMsg && g_previousHandler)
        g_previousHandler(type, context, message);
}

// Collects debug and warning lines while it lives.
struct MessageCapture {
    MessageCapture()
    {
        g_messages.clear();
        g_previousHandler = qInstallMessageHandler(captureMessage);
    }
    ~MessageCapture() { qInstallMessageHandler(g_previousHandler); }
};

// Answers every modal message box with OK and remembers what it said.
class MessageBoxWatcher : public QObject
{
public:
    struct Box {
        QString title;
        QString text;
    };
    QList<Box> boxes;
    std::function<void()> whileOpen; // runs once per box, before it is answered

    // Shows a link's write replies as the box editor does, so they are answered here too.
    explicit MessageBoxWatcher(Protocol *link = nullptr)
    {
        if (link) {
            connect(link, &Protocol::writeReplyReceived, this,
                    [](const QString &title, const QString &text) { QMessageBox::information(nullptr, title, text); });
        }
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxWatcher::poll);
        m_timer.start();
    }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || m_busy)
            return;
        m_busy = true;
        boxes.append({box->windowTitle(), box->text()});
        if (whileOpen)
            whileOpen();
        box->button(QMessageBox::Ok)->click();
        m_busy = false;
    }

    QTimer m_timer;
    bool m_busy = false;
};

QStringList recordValues(const QVariant &value)
{
    const int type = value.userType();
    if (type == qMetaTypeId<LanAllocationData>()) {
        const auto r = value.value<LanAllocationData>();
        return {r.lanIp, r.lanMask, r.lanGateway, r.lanDns1, r.lanDns2};
    }
    if (type == qMetaTypeId<WanAllocationData>()) {
        const auto r = value.value<WanAllocationData>();
        return {r.wanDhcp, r.wanIp, r.wanMask, r.wanGateway, r.wanDns1, r.wanDns2};
    }
    if (type == qMetaTypeId<WifiAllocationData>()) {
        const auto r = value.value<WifiAllocationData>();
        return {r.wifiOnOff, r.wifiMode, r.ssid, r.password, r.wifiDhcp,
                r.wifiIp, r.wifiMask, r.wifiGateway, r.wifiDns1, r.wifiDns2};
    }
    if (type == qMetaTypeId<LteAllocationData>()) {
        const auto r = value.value<LteAllocationData>();
        return {r.lteOnOff, r.AT1, r.AT2, r.AT3, r.AT4, r.AT5};
    }
    if (type == qMetaTypeId<NTPAllocationData>())
        return {value.value<NTPAllocationData>().NTP};
    if (type == qMetaTypeId<timeAllocationData>())
        return {value.value<timeAllocationData>().date};
    return {};
}

// The six read signals, watched together.
struct ReadSpies {
    explicit ReadSpies(Protocol *p)
    {
        spies.emplace_back(new QSignalSpy(p, &Protocol::lanAllocationDataReceived));
        spies.emplace_back(new QSignalSpy(p, &Protocol::wanAllocationDataReceived));
        spies.emplace_back(new QSignalSpy(p, &Protocol::wifiAllocationDataReceived));
        spies.emplace_back(new QSignalSpy(p, &Protocol::lteAllocationDataReceived));
        spies.emplace_back(new QSignalSpy(p, &Protocol::NTPAllocationDataReceived));
        spies.emplace_back(new QSignalSpy(p, &Protocol::timeAllocationDataReceived));
    }
    QSignalSpy &operator[](int kind) { return *spies[size_t(kind)]; }
    int total() const
    {
        int n = 0;
        for (const auto &spy : spies)
            n += spy->count();
        return n;
    }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};

const char *const kKindNames[] = {"lan", "wan", "wifi", "lte", "ntp", "time"};

int kindByName(const QString &name)
{
    for (int k = 0; k < BoxMessages::KindCount; ++k) {
        if (name == QLatin1String(kKindNames[k]))
            return k;
    }
    return -1;
}

QStringList statusTexts(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts.append(arguments.first().toString());
    return texts;
}

#ifdef Q_OS_UNIX
// A listener at the box port whose accept queue is full and never drained: the kernel drops
// further connection requests, so a connect to it gets no answer at all.
class DeafListener
{
public:
    explicit DeafListener(const QString &address)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(FrameCodec::BoxPort);
        ::inet_pton(AF_INET, qPrintable(address), &a.sin_addr);
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
               && ::listen(m_fd, 0) == 0;
        // Fill the queue; each filler gets connected by the kernel without an accept.
        for (int i = 0; m_ok && i < 3; ++i) {
            auto *filler = new QTcpSocket;
            m_fillers.emplace_back(filler);
            filler->connectToHost(address, FrameCodec::BoxPort);
            filler->waitForConnected(200);
        }
    }
    ~DeafListener()
    {
        m_fillers.clear();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_ok; }

private:
    int m_fd = -1;
    bool m_ok = false;
    std::vector<std::unique_ptr<QTcpSocket>> m_fillers;
};
#endif

QByteArray projectFixture()
{
    QFile file(QStringLiteral(ORVANE_TEST_DATA_DIR "/boxlink/project.json"));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class tst_Protocol : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    // Recorded frames, no network.
    void replies_data();
    void replies();
    void heartbeatReplies_data();
    void heartbeatReplies();
    void repliesInOneChunkKeepTheirOrder();
    void framesArrivingWhileABoxIsOpenKeepStreamOrder();
    void requestsWithoutConnection();
    void silenceWarningIsPostponedByHeartbeatReplies();
    void bindFailureIsReported();
    void bindFailureIsReportedOncePerConnect_data();
    void bindFailureIsReportedOncePerConnect();
    void writeRequestsKeepNullMembers_data();
    void writeRequestsKeepNullMembers();

    // Against the simulator.
    void connectShowsConnectedAndVersion();
    void sessionsKeepTheirOwnBox();
    void silentBoxIsNotConnected();
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void refusedWriteShowsTheCode();
    void faultyStreamsChangeNothing_data();
    void faultyStreamsChangeNothing();
    void rebootDropsTheLink();
    void silenceWarning_data();
    void silenceWarning();
    void connectWhileConnectingRetries();
    void connectsFromTheChosenLocalAddress();
    void connectErrorsAreNamed_data();
    void connectErrorsAreNamed();
    void retriesUntilTheBoxAnswers();
    void retriesGiveUpAfterTheirWindow();
};

void tst_Protocol::cleanup()
{
    Protocol::setTimerPeriodsForTesting(0, 0, 0);
    Protocol::setRetryLimitsForTesting(0, 0);
}

void tst_Protocol::replies_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("kind");      // read signal expected, or empty
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("title");     // message box expected, or empty
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("debugLine"); // expected among the debug lines, or empty

    const QString none;
    QTest::newRow("LAN read")
        << QByteArray(R"({"type":"2","pares":{"lanIp":"10.0.0.2","lanMask":"255.0.0.0",
                      "lanGateway":"10.0.0.1","lanDns1":"1.1.1.1","lanDns2":"8.8.8.8"}})")
        << "lan" << QStringList{"10.0.0.2", "255.0.0.0", "10.0.0.1", "1.1.1.1", "8.8.8.8"} << none
        << none << none;
    QTest::newRow("LAN read lacking lanDns2: nothing")
        << QByteArray(R"({"type":"2","pares":{"lanIp":"a","lanMask":"b","lanGateway":"c",
                      "lanDns1":"d"}})")
        << none << QStringList() << none << none << none;
    QTest::newRow("LAN read whose lanDns2 is the number 8: empty member")
        << QByteArray(R"({"type":"2","pares":{"lanIp":"a","lanMask":"b","lanGateway":"c",
                      "lanDns1":"d","lanDns2":8}})")
        << "lan" << QStringList{"a", "b", "c", "d", ""} << none << none << none;
    QTest::newRow("pares that is no object: nothing")
        << QByteArray(R"({"type":"8","pares":"NTP"})") << none << QStringList() << none << none
        << none;
    QTest::newRow("WAN read")
        << QByteArray(R"({"type":"3","pares":{"wanDhcp":"1","wanIp":"i","wanMask":"m",
                      "wanGateway":"g","wanDns1":"d1","wanDns2":"d2"}})")
        << "wan" << QStringList{"1", "i", "m", "g", "d1", "d2"} << none << none << none;
    QTest::newRow("WiFi read, ON as sent")
        << QByteArray(R"({"type":"4","pares":{"wifiOnOff":"ON","wifiMode":"station","ssid":"s",
                      "password":"p","wifiDhcp":"0","wifiIp":"i","wifiMask":"m","wifiGateway":"g",
                      "wifiDns1":"d1","wifiDns2":"d2","extra":"ignored"}})")
        << "wifi" << QStringList{"ON", "station", "s", "p", "0", "i", "m", "g", "d1", "d2"} << none
        << none << none;
    QTest::newRow("LTE read")
        << QByteArray(R"({"type":"5","pares":{"lteOnOff":"off","AT1":"1","AT2":"2","AT3":"3",
                      "AT4":"4","AT5":"5"}})")
        << "lte" << QStringList{"off", "1", "2", "3", "4", "5"} << none << none << none;
    QTest::newRow("NTP read") << QByteArray(R"({"type":"8","pares":{"NTP":"10.1.1.1"}})") << "ntp"
                              << QStringList{"10.1.1.1"} << none << none << none;
    QTest::newRow("clock read, any form")
        << QByteArray(R"({"type":"9","pares":{"date":"Tue May 7 2024"}})") << "time"
        << QStringList{"Tue May 7 2024"} << none << none << none;
    QTest::newRow("type as the number 2: ignored")
        << QByteArray(R"({"type":2,"pares":{"lanIp":"a","lanMask":"b","lanGateway":"c",
                      "lanDns1":"d","lanDns2":"e"}})")
        << none << QStringList() << none << none << none;
    QTest::newRow("type 7: one debug line") << QByteArray(R"({"type":"7","pares":{}})") << none
                                            << QStringList() << none << none
                                            << "Unhandled type string: 7";
    QTest::newRow("no JSON") << QByteArray("{\"type\":\"2\",") << none << QStringList() << none
                             << none << none;
    QTest::newRow("array") << QByteArray(R"(["2"])") << none << QStringList() << none << none << none;
    QTest::newRow("no type") << QByteArray(R"({"code":"200"})") << none << QStringList() << none
                             << none << none;

    QTest::newRow("LAN write succeeded")
        << QByteArray(R"({"type":"102","code":"200"})") << none << QStringList()
        << "Write LAN Allocation" << "LAN allocation write successful." << none;
    QTest::newRow("LAN write refused with 500")
        << QByteArray(R"({"type":"102","code":"500"})") << none << QStringList()
        << "Write LAN Allocation" << "LAN allocation write failed. Error code: 500" << none;
    QTest::newRow("code as the number 200: nothing")
        << QByteArray(R"({"type":"102","code":200})") << none << QStringList() << none << none
        << none;
    QTest::newRow("write reply without code: nothing")
        << QByteArray(R"({"type":"103"})") << none << QStringList() << none << none << none;
    QTest::newRow("WAN write") << QByteArray(R"({"type":"103","code":"200"})") << none
                               << QStringList() << "Write WAN Allocation"
                               << "WAN allocation write successful." << none;
    QTest::newRow("WiFi write refused") << QByteArray(R"({"type":"104","code":"E1"})") << none
                                        << QStringList() << "Write WIFI Allocation"
                                        << "WIFI allocation write failed. Error code: E1" << none;
    QTest::newRow("LTE write") << QByteArray(R"({"type":"105","code":"200"})") << none
                               << QStringList() << "Write LTE Allocation"
                               << "LTE allocation write successful." << none;
    QTest::newRow("NTP write") << QByteArray(R"({"type":"108","code":"200"})") << none
                               << QStringList() << "Write NTP Allocation"
                               << "NTP allocation write successful." << none;
    QTest::newRow("clock write refused") << QByteArray(R"({"type":"109","code":"400"})") << none
                                         << QStringList() << "Write time Allocation"
                                         << "time allocation write failed. Error code: 400" << none;
    QTest::newRow("reboot") << QByteArray(R"({"type":"6","code":"200"})") << none << QStringList()
                            << "Write Restart Allocation" << "Restart allocation write successful."
                            << none;
    QTest::newRow("reboot refused") << QByteArray(R"({"type":"6","code":"503"})") << none
                                    << QStringList() << "Write Restart Allocation"
                                    << "Restart allocation write failed. Error code: 503" << none;
}

void tst_Protocol::replies()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, kind);
    QFETCH(QStringList, values);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, debugLine);

    Protocol protocol;
    ReadSpies reads(&protocol);
    MessageBoxWatcher watcher(&protocol);
    {
        MessageCapture capture;
        protocol.processReceivedBytes(FrameCodec::jsonMessage(json));
    }
    if (kind.isEmpty()) {
        QCOMPARE(reads.total(), 0);
    } else {
        QCOMPARE(reads.total(), 1);
        QSignalSpy &spy = reads[kindByName(kind)];
        QCOMPARE(spy.count(), 1);
        QCOMPARE(recordValues(spy.first().first()), values);
    }
    if (title.isEmpty()) {
        QTest::qWait(20); // a box would have been found by now
        QCOMPARE(watcher.boxes.size(), 0);
    } else {
        QCOMPARE(watcher.boxes.size(), 1);
        QCOMPARE(watcher.boxes.first().title, title);
        QCOMPARE(watcher.boxes.first().text, text);
    }
    if (!debugLine.isEmpty())
        QVERIFY2(g_messages.contains(debugLine), qPrintable(g_messages.join(" | ")));
}

void tst_Protocol::heartbeatReplies_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("direct"); // handed to the slot, bypassing the extractor
    QTest::addColumn<QString>("version"); // empty: no "Connected"
    QTest::addColumn<QStringList>("debugLines");

    const QByteArray v200(200, '9');
    QTest::newRow("1.0.3 / A1 / M") << FrameCodec::heartbeatReply("1.0.3", "A1", "M") << false
                                    << "1.0.3"
                                    << QStringList{"Box Version: 1.0.3", "Box Serial Number: A1",
                                                   "Box Model: M"};
    QTest::newRow("version of 200 bytes") << FrameCodec::heartbeatReply(v200, "S", "M") << false
                                          << QString(v200) << QStringList{"Box Model: M"};
    QTest::newRow("frame length 130")
        << FrameCodec::heartbeatReply(QByteArray(100, 'x'), "0123456789", "MODEL-XYZ") << false
        << QString(100, 'x') << QStringList{"Box Serial Number: 0123456789", "Box Model: MODEL-XYZ"};
    QByteArray pastEnd = FrameCodec::heartbeatReply("1.0.3", "A1", "M");
    pastEnd[12] = char(0xF0); // serial length far beyond the frame
    QTest::newRow("strings past the end marker") << pastEnd << false << QString() << QStringList();
    QByteArray wrongFooter = FrameCodec::heartbeatReply("1.0.3", "A1", "M");
    wrongFooter[wrongFooter.size() - 1] = 'y';
    QTest::newRow("wrong footer") << wrongFooter << true << QString()
                                  << QStringList{"Invalid package footer."};
    QByteArray wrongLength = FrameCodec::heartbeatReply("1.0.3", "A1", "M");
    wrongLength[4] = char(wrongLength.size() + 1);
    QTest::newRow("length field differs from the size") << wrongLength << true << QString()
                                                        << QStringList();
}

void tst_Protocol::heartbeatReplies()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, direct);
    QFETCH(QString, version);
    QFETCH(QStringList, debugLines);

    Protocol protocol;
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    MessageCapture capture;
    if (direct)
        protocol.receiveHeartbeatResponse(frame);
    else
        protocol.processReceivedBytes(frame);

    if (version.isEmpty()) {
        QCOMPARE(statuses.count(), 0);
        QCOMPARE(versions.count(), 0);
    } else {
        QCOMPARE(statusTexts(statuses), QStringList{"Connection status: Connected"});
        QCOMPARE(versions.count(), 1);
        QCOMPARE(versions.first().first().toString(), version);
    }
    for (const QString &line : debugLines)
        QVERIFY2(g_messages.contains(line), qPrintable(g_messages.join(" | ")));
}

void tst_Protocol::repliesInOneChunkKeepTheirOrder()
{
    Protocol protocol;
    QStringList order;
    connect(&protocol, &Protocol::NTPAllocationDataReceived, this,
            [&](NTPAllocationData d) { order.append("ntp " + d.NTP); });
    connect(&protocol, &Protocol::versionReceived, this,
            [&](QString v) { order.append("version " + v); });
    protocol.processReceivedBytes(FrameCodec::jsonMessage(R"({"type":"8","pares":{"NTP":"a"}})")
                                  + FrameCodec::heartbeatReply("2.0", "S", "M")
                                  + FrameCodec::jsonMessage(R"({"type":"8","pares":{"NTP":"b"}})"));
    QCOMPARE(order, (QStringList{"ntp a", "version 2.0", "ntp b"}));
}

void tst_Protocol::framesArrivingWhileABoxIsOpenKeepStreamOrder()
{
    // A write reply's box runs a nested event loop. Frames arriving meanwhile are handled at
    // once, but only after the frames that came before them.
    Protocol protocol;
    QStringList order;
    connect(&protocol, &Protocol::NTPAllocationDataReceived, this,
            [&](NTPAllocationData d) { order.append(d.NTP); });
    MessageBoxWatcher watcher(&protocol);
    watcher.whileOpen = [&]() {
        order.append("box open");
        protocol.processReceivedBytes(FrameCodec::jsonMessage(R"({"type":"8","pares":{"NTP":"later"}})"));
        order.append("box closing");
    };
    protocol.processReceivedBytes(FrameCodec::jsonMessage(R"({"type":"108","code":"200"})")
                                  + FrameCodec::jsonMessage(R"({"type":"8","pares":{"NTP":"earlier"}})"));
    QCOMPARE(order, (QStringList{"box open", "earlier", "later", "box closing"}));
}

void tst_Protocol::requestsWithoutConnection()
{
    Protocol::setTimerPeriodsForTesting(50, 0, 0);
    Protocol protocol;
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    protocol.readLanAllocation();
    QCOMPARE(statusTexts(statuses), QStringList{"Not connected to server."});
    protocol.writeTimeAllocation("2024-01-01 00:00:00");
    QCOMPARE(statuses.count(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(statuses.count() >= 4, 2000);
    QCOMPARE(statuses.last().first().toString(),
             QStringLiteral("Connection status: Not connected to server."));
}

void tst_Protocol::silenceWarningIsPostponedByHeartbeatReplies()
{
    Protocol::setTimerPeriodsForTesting(60000, 400, 0);
    QElapsedTimer clock;
    clock.start();
    Protocol protocol;
    QList<qint64> offline;
    connect(&protocol, &Protocol::offlineOccurred, this, [&]() { offline.append(clock.elapsed()); });

    QTest::qWait(150);
    QVERIFY(offline.isEmpty());
    const qint64 replied = clock.elapsed();
    protocol.processReceivedBytes(FrameCodec::heartbeatReply("1", "2", "3"));
    QTRY_VERIFY_WITH_TIMEOUT(!offline.isEmpty(), 3000);
    // Qt's coarse timers may fire up to 5 % early.
    QVERIFY2(offline.first() - replied >= 375, qPrintable(QString::number(offline.first() - replied)));
    QTest::qWait(900); // single-shot: no second warning without a new start
    QCOMPARE(offline.size(), 1);

    // A disconnection starts the silence period again.
    protocol.handleDisconnected();
    QTRY_COMPARE_WITH_TIMEOUT(offline.size(), 2, 3000);
}

void tst_Protocol::bindFailureIsReported()
{
    Protocol protocol;
    QSignalSpy failures(&protocol, &Protocol::bindingFailed);
    protocol.bindToAddress(QHostAddress(QStringLiteral("192.0.2.1")));
    QCOMPARE(failures.count(), 1);
    QCOMPARE(failures.first().first().toString(),
             QStringLiteral("Failed to bind to IP address: 192.0.2.1"));
}

void tst_Protocol::bindFailureIsReportedOncePerConnect_data()
{
    QTest::addColumn<bool>("bindFirst"); // bindToAddress, or only setLocalAddress, before the connect
    QTest::newRow("bound before the connect") << true;
    QTest::newRow("address kept for the connect") << false;
}

void tst_Protocol::bindFailureIsReportedOncePerConnect()
{
    QFETCH(bool, bindFirst);
    Protocol protocol;
    QSignalSpy failures(&protocol, &Protocol::bindingFailed);
    const QHostAddress gone(QStringLiteral("192.0.2.1"));
    if (bindFirst)
        protocol.bindToAddress(gone);
    else
        protocol.setLocalAddress(gone);
    protocol.connectToServer(QStringLiteral("127.0.5.21"));
    QCOMPARE(failures.count(), 1);
}

void tst_Protocol::writeRequestsKeepNullMembers_data()
{
    QTest::addColumn<QJsonObject>("request");
    QTest::addColumn<QByteArray>("expected");
    using M = BoxMessages;
    const QString null;
    QTest::newRow("LAN")
        << M::writeLanRequest("10.1.1.2", null, null, "1.1.1.1", null)
        << QByteArray(R"({"type":102,"pares":{"lanIp":"10.1.1.2","lanMask":"","lanGateway":"",
                      "lanDns1":"1.1.1.1","lanDns2":""}})");
    QTest::newRow("WAN, unknown DHCP choice: only that member left out")
        << M::writeWanRequest("auto", null, "m", null, null, null)
        << QByteArray(R"({"type":103,"pares":{"wanIp":"","wanMask":"m","wanGateway":"",
                      "wanDns1":"","wanDns2":""}})");
    QTest::newRow("WiFi, null DHCP choice")
        << M::writeWifiRequest("on", "station", null, null, null, "i", null, null, null, null)
        << QByteArray(R"({"type":104,"pares":{"wifiOnOff":"on","wifiMode":"station","ssid":"",
                      "password":"","wifiIp":"i","wifiMask":"","wifiGateway":"",
                      "wifiDns1":"","wifiDns2":""}})");
    QTest::newRow("4G") << M::writeLteRequest("on", null, "AT+B", null, null, null)
                        << QByteArray(R"({"type":105,"pares":{"lteOnOff":"on","AT1":"","AT2":"AT+B",
                                      "AT3":"","AT4":"","AT5":""}})");
    QTest::newRow("NTP") << M::writeNtpRequest(null) << QByteArray(R"({"type":108,"pares":{"NTP":""}})");
    QTest::newRow("clock") << M::writeTimeRequest(null) << QByteArray(R"({"type":109,"pares":{"date":""}})");
}

void tst_Protocol::writeRequestsKeepNullMembers()
{
    QFETCH(QJsonObject, request);
    QFETCH(QByteArray, expected);
    const QJsonObject wanted = QJsonDocument::fromJson(expected).object();
    QVERIFY(!wanted.isEmpty());
    QCOMPARE(request, wanted);
}

void tst_Protocol::connectShowsConnectedAndVersion()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.1"), {"--version", "4.2.1-sim"});
    QVERIFY(sim.start());
    Protocol protocol;
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    protocol.connectToServer(sim.address());
    QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 1, 5000);
    QCOMPARE(versions.first().first().toString(), QStringLiteral("4.2.1-sim"));
    QCOMPARE(statusTexts(statuses),
             (QStringList{"Connection status: connecting..", "Connection status: Connected"}));
    QVERIFY(sim.output().contains(" heartbeat"));

    // Connected: connecting again changes nothing.
    protocol.connectToServer(sim.address());
    QTest::qWait(100);
    QCOMPARE(statuses.count(), 2);

    protocol.disconnectFromServer();
    QTRY_COMPARE_WITH_TIMEOUT(statuses.last().first().toString(),
                              QStringLiteral("Connection status: Disconnected"), 3000);
}

// Each box has a session of its own: what one reports and whether its link is up never mixes
// with another's, and dropping one leaves the other as it was.
void tst_Protocol::sessionsKeepTheirOwnBox()
{
    BoxSimProcess simA(QStringLiteral("127.0.5.90"), {"--version", "1.0.1-a"});
    BoxSimProcess simB(QStringLiteral("127.0.5.91"), {"--version", "2.0.2-b"});
    QVERIFY(simA.start() && simB.start());
    BoxSession a;
    BoxSession b;
    QList<QPair<QString, bool>> links;
    QStringList versions;
    for (BoxSession *session : {&a, &b}) {
        connect(session, &BoxSession::linkStateChanged, this,
                [&links](const QString &ip, bool up) { links.append({ip, up}); });
        connect(session, &BoxSession::versionReceived, this,
                [&versions, session, &a](const QString &v) { versions << (session == &a ? "a " : "b ") + v; });
    }
    a.setBoxAddress(simA.address());
    b.setBoxAddress(simB.address());
    a.connectToBox();
    b.connectToBox();
    QTRY_COMPARE_WITH_TIMEOUT(versions.size(), 2, 5000);
    QCOMPARE(QSet<QString>(versions.begin(), versions.end()), (QSet<QString>{"a 1.0.1-a", "b 2.0.2-b"}));
    QCOMPARE(links.size(), 2);

    QVERIFY(a.disconnectFromBox());
    QVERIFY(!a.link());
    QCOMPARE(links.last(), qMakePair(simA.address(), false));
    QVERIFY(!a.disconnectFromBox());
    QTest::qWait(200);
    QCOMPARE(links.size(), 3);
    QVERIFY(b.link());
    b.shutDown();
    QCOMPARE(links.last(), qMakePair(simB.address(), false));
}

// A box that stops answering (its process frozen) is not shown as connected, and coming back
// is said; both Message lines name the box.
void tst_Protocol::silentBoxIsNotConnected()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.92"));
    QVERIFY(sim.start());
    Protocol::setTimerPeriodsForTesting(100, 500, 0);
    BoxSession session;
    QStringList statuses;
    QStringList messages;
    connect(&session, &BoxSession::connectionStatusChanged, this, [&statuses](const QString &s) { statuses << s; });
    connect(&session, &BoxSession::messageAppended, this, [&messages](const QString &m) { messages << m; });
    session.setBoxAddress(sim.address());
    session.connectToBox();
    QTRY_COMPARE_WITH_TIMEOUT(statuses.isEmpty() ? QString() : statuses.last(),
                              QStringLiteral("Connection status: Connected"), 5000);

    QCOMPARE(::kill(pid_t(sim.processId()), SIGSTOP), 0);
    QTRY_COMPARE_WITH_TIMEOUT(statuses.last(), QStringLiteral("Connection status: no answer from the box for 0.5 s"), 3000);
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().startsWith(QStringLiteral("Box 127.0.5.92: !!!No communication")), qPrintable(messages.first()));

    QCOMPARE(::kill(pid_t(sim.processId()), SIGCONT), 0);
    QTRY_COMPARE_WITH_TIMEOUT(statuses.last(), QStringLiteral("Connection status: Connected"), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 2, 3000);
    QCOMPARE(messages.last(), QStringLiteral("Box 127.0.5.92: it answers again; the link is back."));
    session.shutDown();
}

void tst_Protocol::settingsRoundTrip_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("written"); // arguments of the write operation
    QTest::addColumn<QStringList>("read");    // the record read back
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("LAN") << "127.0.5.2" << "lan"
                         << QStringList{"10.2.3.4", "255.255.0.0", "10.2.0.1", "1.1.1.1", "8.8.4.4"}
                         << QStringList{"10.2.3.4", "255.255.0.0", "10.2.0.1", "1.1.1.1", "8.8.4.4"}
                         << "Write LAN Allocation" << "LAN allocation write successful.";
    QTest::newRow("WAN with DHCP Enable")
        << "127.0.5.3" << "wan"
        << QStringList{"Enable", "172.16.0.9", "255.255.0.0", "172.16.0.1", "9.9.9.9", "1.0.0.1"}
        << QStringList{"1", "172.16.0.9", "255.255.0.0", "172.16.0.1", "9.9.9.9", "1.0.0.1"}
        << "Write WAN Allocation" << "WAN allocation write successful.";
    QTest::newRow("WiFi with DHCP Disabled")
        << "127.0.5.4" << "wifi"
        << QStringList{"on", "station", "plant-net", "secret", "Disabled", "192.168.5.2",
                       "255.255.255.0", "192.168.5.1", "8.8.8.8", "1.1.1.1"}
        << QStringList{"on", "station", "plant-net", "secret", "0", "192.168.5.2",
                       "255.255.255.0", "192.168.5.1", "8.8.8.8", "1.1.1.1"}
        << "Write WIFI Allocation" << "WIFI allocation write successful.";
    QTest::newRow("LTE") << "127.0.5.5" << "lte"
                         << QStringList{"on", "AT+X", "AT+Y", "", "AT+Z", "AT&F"}
                         << QStringList{"on", "AT+X", "AT+Y", "", "AT+Z", "AT&F"}
                         << "Write LTE Allocation" << "LTE allocation write successful.";
    QTest::newRow("NTP") << "127.0.5.6" << "ntp" << QStringList{"10.0.0.123"}
                         << QStringList{"10.0.0.123"} << "Write NTP Allocation"
                         << "NTP allocation write successful.";
    QTest::newRow("clock") << "127.0.5.7" << "time" << QStringList{"2031-05-06 07:08:09"}
                           << QStringList{"2031-05-06 07:08:09"} << "Write time Allocation"
                           << "time allocation write successful.";
}

void tst_Protocol::settingsRoundTrip()
{
    QFETCH(QString, address);
    QFETCH(QString, kind);
    QFETCH(QStringList, written);
    QFETCH(QStringList, read);
    QFETCH(QString, title);
    QFETCH(QString, text);

    BoxSimProcess sim(address);
    QVERIFY(sim.start());
    Protocol protocol;
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    ReadSpies reads(&protocol);
    protocol.connectToServer(address);
    QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 1, 5000);

    MessageBoxWatcher watcher(&protocol);
    const QStringList &w = written;
    const int k = kindByName(kind);
    switch (k) {
    case BoxMessages::Lan:
        protocol.writeLanAllocation(w[0], w[1], w[2], w[3], w[4]);
        break;
    case BoxMessages::Wan:
        protocol.writeWanAllocation(w[0], w[1], w[2], w[3], w[4], w[5]);
        break;
    case BoxMessages::Wifi:
        protocol.writeWifiAllocation(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9]);
        break;
    case BoxMessages::Lte:
        protocol.writeLteAllocation(w[0], w[1], w[2], w[3], w[4], w[5]);
        break;
    case BoxMessages::Ntp:
        protocol.writeNTPAllocation(w[0]);
        break;
    case BoxMessages::Time:
        protocol.writeTimeAllocation(w[0]);
        break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 5000);
    QCOMPARE(watcher.boxes.first().title, title);
    QCOMPARE(watcher.boxes.first().text, text);

    // Read back from a fresh simulator on the same state: the write survived a restart.
    protocol.disconnectFromServer();
    sim.stop();
    QVERIFY(sim.start());
    Protocol second;
    QSignalSpy secondVersions(&second, &Protocol::versionReceived);
    ReadSpies secondReads(&second);
    second.connectToServer(address);
    QTRY_COMPARE_WITH_TIMEOUT(secondVersions.count(), 1, 5000);
    switch (k) {
    case BoxMessages::Lan: second.readLanAllocation(); break;
    case BoxMessages::Wan: second.readWanAllocation(); break;
    case BoxMessages::Wifi: second.readWifiAllocation(); break;
    case BoxMessages::Lte: second.readLteAllocation(); break;
    case BoxMessages::Ntp: second.readNTPAllocation(); break;
    case BoxMessages::Time: second.readTimeAllocation(); break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(secondReads[k].count(), 1, 5000);
    QCOMPARE(secondReads.total(), 1);
    const QStringList values = recordValues(secondReads[k].first().first());
    if (k == BoxMessages::Time) {
        // The box clock runs on from the written time.
        const QDateTime wanted = QDateTime::fromString(read.first(), "yyyy-MM-dd HH:mm:ss");
        const QDateTime got = QDateTime::fromString(values.value(0), "yyyy-MM-dd HH:mm:ss");
        QVERIFY2(got.isValid() && qAbs(wanted.secsTo(got)) <= 10, qPrintable(values.value(0)));
    } else {
        QCOMPARE(values, read);
        const QJsonObject group = sim.settings().value(kKindNames[k]).toObject();
        const QStringList keys = BoxMessages::keys(BoxMessages::Kind(k));
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(group.value(keys[i]).toString(), read[i]);
    }
}

void tst_Protocol::refusedWriteShowsTheCode()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.8"), {"--write-code", "500"});
    QVERIFY(sim.start());
    const QJsonObject before = sim.settings();
    Protocol protocol;
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    protocol.connectToServer(sim.address());
    QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 1, 5000);

    MessageBoxWatcher watcher(&protocol);
    protocol.writeLanAllocation("1.2.3.4", "255.0.0.0", "1.0.0.1", "1.1.1.1", "2.2.2.2");
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 5000);
    QCOMPARE(watcher.boxes.first().title, QStringLiteral("Write LAN Allocation"));
    QCOMPARE(watcher.boxes.first().text,
             QStringLiteral("LAN allocation write failed. Error code: 500"));
    QCOMPARE(sim.settings(), before);
}

void tst_Protocol::faultyStreamsChangeNothing_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("faults");

    QTest::newRow("clean stream") << "127.0.5.10" << QStringList();
    QTest::newRow("junk between frames") << "127.0.5.11" << QStringList{"--garbage"};
    QTest::newRow("frames in small pieces") << "127.0.5.12" << QStringList{"--split"};
    QTest::newRow("both") << "127.0.5.13" << QStringList{"--garbage", "--split"};
}

void tst_Protocol::faultyStreamsChangeNothing()
{
    QFETCH(QString, address);
    QFETCH(QStringList, faults);

    QTemporaryDir state;
    QFile deployed(state.filePath("deployed.json"));
    QVERIFY(deployed.open(QIODevice::WriteOnly));
    deployed.write(projectFixture());
    deployed.close();

    BoxSimProcess sim(address,
                      faults + QStringList{"--interval", "250", "--seed", "11", "--serial", "SN-T1"},
                      state.path());
    QVERIFY(sim.start());
    Protocol protocol;
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    QSignalSpy reports(&protocol, &Protocol::dataReceived);
    ReadSpies reads(&protocol);
    MessageBoxWatcher watcher(&protocol);
    MessageCapture capture;

    protocol.connectToServer(address);
    QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 1, 5000);
    QCOMPARE(versions.first().first().toString(), QStringLiteral("1.0.3"));
    QCOMPARE(statuses.last().first().toString(), QStringLiteral("Connection status: Connected"));

    protocol.readLanAllocation();
    protocol.readNTPAllocation();
    QTRY_COMPARE_WITH_TIMEOUT(reads.total(), 2, 5000);
    QCOMPARE(recordValues(reads[BoxMessages::Lan].first().first()),
             (QStringList{"192.168.1.100", "255.255.255.0", "192.168.1.1", "8.8.8.8",
                          "114.114.114.114"}));
    protocol.writeNTPAllocation("10.9.9.9");
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 5000);
    QCOMPARE(watcher.boxes.first().text, QStringLiteral("NTP allocation write successful."));

    // Live data: every report of both devices arrives whole, with exactly their points.
    QTRY_VERIFY_WITH_TIMEOUT(reports.count() >= 6, 8000);
    QMap<QString, QStringList> pointsByDevice;
    QMap<QString, int> reportsByDevice;
    for (const QList<QVariant> &arguments : qAsConst(reports)) {
        const auto data = arguments.first().value<Protocol::dataMonitoringData>();
        QCOMPARE(data.projectName, QStringLiteral("Plant A"));
        QCOMPARE(data.sn, QStringLiteral("SN-T1"));
        QVERIFY(QDateTime::fromString(data.time, "yyyy-MM-dd HH:mm:ss").isValid());
        QStringList names;
        for (const QJsonValue &point : data.datas) {
            names.append(point.toObject().value("name").toString());
            const QString valid = point.toObject().value("valid").toString();
            QVERIFY(valid == "1" || valid == "0");
        }
        pointsByDevice[data.plcName] = names;
        ++reportsByDevice[data.plcName];
    }
    QCOMPARE(pointsByDevice.keys(), (QStringList{"Meter-1", "PLC-1"}));
    QCOMPARE(pointsByDevice["PLC-1"],
             (QStringList{"Counter", "Temperature", "Pressure", "Running", "Label", "Offset"}));
    QCOMPARE(pointsByDevice["Meter-1"], (QStringList{"Ua", "Energy", "Ia"}));

    // Nothing was lost on the way: every report the simulator sent so far has arrived (the
    // one in flight aside), and no collection was ever discarded.
    const int sent = sim.count("live data for ");
    QVERIFY2(reports.count() >= sent - 2, qPrintable(QStringLiteral("%1 of %2").arg(reports.count()).arg(sent)));
    for (const QString &line : qAsConst(g_messages)) {
        QVERIFY2(!line.startsWith(QStringLiteral("长度不符")) && !line.contains("discarded")
                     && !line.contains("Failed to parse"),
                 qPrintable(line));
    }
    QCOMPARE(statuses.count(QList<QVariant>{"Connection status: Disconnected"}), 0);
}

void tst_Protocol::rebootDropsTheLink()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.14"), {"--reboot-seconds", "1"});
    QVERIFY(sim.start());
    Protocol protocol;
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    protocol.connectToServer(sim.address());
    QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 1, 5000);

    MessageBoxWatcher watcher(&protocol);
    protocol.rebootDevice();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 5000);
    QCOMPARE(watcher.boxes.first().title, QStringLiteral("Write Restart Allocation"));
    QCOMPARE(watcher.boxes.first().text, QStringLiteral("Restart allocation write successful."));
    QTRY_COMPARE_WITH_TIMEOUT(statuses.last().first().toString(),
                              QStringLiteral("Connection status: Disconnected"), 5000);

    // The link stays down: nothing reconnects by itself, and the rebooting box refuses.
    protocol.connectToServer(sim.address());
    QTest::qWait(300);
    QCOMPARE(versions.count(), 1);

    QVERIFY(sim.waitForOutput("back up after reboot", 5000));
    protocol.connectToServer(sim.address());
    QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 2, 5000);
}

void tst_Protocol::silenceWarning_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("warnings");

    QTest::newRow("box stays silent") << "127.0.5.15" << QStringList{"--silent"} << 1;
    QTest::newRow("box answers") << "127.0.5.16" << QStringList() << 0;
}

void tst_Protocol::silenceWarning()
{
    QFETCH(QString, address);
    QFETCH(QStringList, arguments);
    QFETCH(int, warnings);

    BoxSimProcess sim(address, arguments);
    QVERIFY(sim.start());
    Protocol::setTimerPeriodsForTesting(100, 500, 0);
    Protocol protocol;
    QSignalSpy offline(&protocol, &Protocol::offlineOccurred);
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    protocol.connectToServer(address);
    QTest::qWait(1500);
    QCOMPARE(offline.count(), warnings);
    QCOMPARE(versions.isEmpty(), warnings == 1);
    // Heartbeats went out all the while, answered or not.
    QVERIFY(sim.count(" heartbeat") >= 5);
}

void tst_Protocol::connectWhileConnectingRetries()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.17"));
    QVERIFY(sim.start());
    Protocol::setTimerPeriodsForTesting(0, 0, 300);
    Protocol protocol;
    QElapsedTimer clock;
    QStringList texts;
    QList<qint64> times;
    connect(&protocol, &Protocol::connectionStatusChanged, this, [&](QString text) {
        texts.append(text);
        times.append(clock.elapsed());
    });
    clock.start();
    protocol.connectToServer(sim.address());
    protocol.connectToServer(sim.address()); // still connecting
    QTRY_VERIFY_WITH_TIMEOUT(texts.contains("Connection status: Connected"), 5000);

    const int waiting = texts.indexOf("Connection status: Waiting for connection.");
    const int retry = texts.indexOf("Connection status: Reconnecting...");
    QVERIFY2(texts.first() == "Connection status: connecting.." && waiting == 1 && retry > waiting
                 && texts.lastIndexOf("Connection status: Connected") > retry,
             qPrintable(texts.join(" | ")));
    QVERIFY(times[retry] - times[waiting] >= 290);
}

void tst_Protocol::connectsFromTheChosenLocalAddress()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.18"));
    QVERIFY(sim.start());
    Protocol::setTimerPeriodsForTesting(0, 0, 100);
    Protocol protocol;
    QSignalSpy failures(&protocol, &Protocol::bindingFailed);
    QSignalSpy versions(&protocol, &Protocol::versionReceived);
    protocol.bindToAddress(QHostAddress(QStringLiteral("127.0.5.19")));
    protocol.connectToServer(sim.address());
    QTRY_COMPARE_WITH_TIMEOUT(versions.count(), 1, 5000);
    QCOMPARE(failures.count(), 0);
    QVERIFY2(sim.output().contains("127.0.5.19:"), qPrintable(sim.output()));
}

void tst_Protocol::connectErrorsAreNamed_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("deaf"); // a listener that never answers, or none at all
    QTest::addColumn<QString>("status");

    QTest::newRow("nobody listens") << "127.0.5.30" << false
                                    << "Connection status: refused (Connection refused)";
    QTest::newRow("nobody answers") << "127.0.5.31" << true
                                    << "Connection status: timed out (no answer within 0.3 s)";
}

void tst_Protocol::connectErrorsAreNamed()
{
    QFETCH(QString, address);
    QFETCH(bool, deaf);
    QFETCH(QString, status);
#ifdef Q_OS_UNIX
    std::unique_ptr<DeafListener> listener;
    if (deaf) {
        listener.reset(new DeafListener(address));
        QVERIFY(listener->ok());
    }
#else
    if (deaf)
        QSKIP("needs a POSIX listener");
#endif
    Protocol::setRetryLimitsForTesting(0, 300);
    Protocol protocol;
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    protocol.connectToServer(address);
    QTRY_COMPARE_WITH_TIMEOUT(statuses.count(), 2, 3000);
    QCOMPARE(statusTexts(statuses),
             QStringList({QStringLiteral("Connection status: connecting.."), status}));
}

void tst_Protocol::retriesUntilTheBoxAnswers()
{
    // Heartbeats often, so their "not connected" text would show between retries.
    Protocol::setTimerPeriodsForTesting(40, 0, 150);
    Protocol protocol;
    protocol.setAutoReconnect(true);
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    QSignalSpy links(&protocol, &Protocol::linkStateChanged);
    BoxSimProcess sim(QStringLiteral("127.0.5.32"));
    protocol.connectToServer(sim.address());

    const QString refused = QStringLiteral("Connection status: refused (Connection refused), retrying, attempt %1");
    QTRY_VERIFY2_WITH_TIMEOUT(statusTexts(statuses).contains(refused.arg(3)), qPrintable(statusTexts(statuses).join(" | ")), 5000);
    QVERIFY(protocol.retrying());
    QVERIFY(sim.start());
    QTRY_COMPARE_WITH_TIMEOUT(statuses.last().first().toString(),
                              QStringLiteral("Connection status: Connected"), 5000);
    QVERIFY(!protocol.retrying());

    QStringList texts = statusTexts(statuses);
    texts.removeAll(QStringLiteral("Connection status: Connected"));
    QCOMPARE(texts.first(), QStringLiteral("Connection status: connecting.."));
    for (int i = 1; i < texts.size(); ++i)
        QCOMPARE(texts.at(i), refused.arg(i));
    QCOMPARE(links.count(), 1);
    QCOMPARE(links.first().first().toBool(), true);

    // A lost link is retried too, and the link reports it went down and came back.
    sim.stop();
    QTRY_VERIFY_WITH_TIMEOUT(statusTexts(statuses).lastIndexOf(refused.arg(2)) > statusTexts(statuses).indexOf(QStringLiteral("Connection status: Connected")), 5000);
    QVERIFY2(statusTexts(statuses).contains(
                 QStringLiteral("Connection status: link lost, retrying, attempt 1")),
             qPrintable(statusTexts(statuses).join(" | ")));
    QCOMPARE(links.count(), 2);
    QVERIFY(sim.start());
    QTRY_COMPARE_WITH_TIMEOUT(links.count(), 3, 5000);

    // Disconnecting on purpose retries nothing.
    const int before = statuses.count();
    protocol.disconnectFromServer();
    QTRY_COMPARE_WITH_TIMEOUT(links.count(), 4, 3000);
    QTest::qWait(400);
    QVERIFY(!protocol.retrying());
    QVERIFY(statusTexts(statuses).mid(before).filter(QStringLiteral("retrying")).isEmpty());
}

void tst_Protocol::retriesGiveUpAfterTheirWindow()
{
    Protocol::setTimerPeriodsForTesting(40, 0, 100);
    Protocol::setRetryLimitsForTesting(500, 0);
    Protocol protocol;
    protocol.setAutoReconnect(true);
    QSignalSpy statuses(&protocol, &Protocol::connectionStatusChanged);
    QSignalSpy gaveUp(&protocol, &Protocol::reconnectGaveUp);
    QSignalSpy failures(&protocol, &Protocol::bindingFailed);
    // An address of no local interface: the bind fails on the connect and on every retry.
    protocol.setLocalAddress(QHostAddress(QStringLiteral("192.0.2.1")));
    protocol.connectToServer(QStringLiteral("127.0.5.33"));
    QTRY_COMPARE_WITH_TIMEOUT(gaveUp.count(), 1, 5000);
    const QString last = statuses.last().first().toString();
    QVERIFY2(last.startsWith(QStringLiteral("Connection status: "))
                 && last.contains(QStringLiteral(", gave up after "))
                 && last.endsWith(QStringLiteral(" retries; press Connect to try again")),
             qPrintable(last));
    QCOMPARE(gaveUp.first().first().toString(), last);
    QCOMPARE(failures.count(), 1); // not once per retry

    // Nothing more is tried, and the heartbeat leaves the text alone.
    const int count = statuses.count();
    QTest::qWait(400);
    QCOMPARE(statuses.count(), count);
    QVERIFY(!protocol.retrying());

    // Connect starts afresh.
    protocol.connectToServer(QStringLiteral("127.0.5.33"));
    QTRY_VERIFY_WITH_TIMEOUT(statusTexts(statuses).mid(count).filter(", retrying, attempt 1").size() == 1,
                             3000);
    QCOMPARE(failures.count(), 2); // once more for the new connect
}

QTEST_MAIN(tst_Protocol)
#include "tst_protocol.moc"
