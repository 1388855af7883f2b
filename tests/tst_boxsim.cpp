// orvane-boxsim as a box: its command line, discovery, file transfers and their records, the
// request forms it accepts, and its live-data reports. Loopback addresses 127.0.5.100 to
// 127.0.5.199, one per test case.

#include "BoxSimProcess.h"

#include "core/boxlink/BoxMessages.h"
#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/FrameExtractor.h"
#include "core/boxlink/LiveDataAssembler.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray projectFixture()
{
    QFile file(QStringLiteral(ORVANE_TEST_DATA_DIR "/boxlink/project.json"));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// A plain TCP client speaking frames, with bounded blocking waits (the box is another process).
struct RawLink {
    QTcpSocket socket;
    FrameExtractor extractor;
    QList<QByteArray> frames;

    RawLink()
    {
        extractor.setHandler([this](const char *frame, int length) {
            frames.append(QByteArray(frame, length));
        });
    }

    bool open(const QString &address)
    {
        socket.connectToHost(address, FrameCodec::BoxPort);
        return socket.waitForConnected(3000);
    }

    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.waitForBytesWritten(3000);
    }

    // Reads for the given time.
    void pump(int milliseconds)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds) {
            if (socket.waitForReadyRead(int(qMax<qint64>(1, milliseconds - timer.elapsed()))))
                extractor.feed(socket.readAll());
            if (socket.state() != QAbstractSocket::ConnectedState)
                break;
        }
    }

    // Sends a JSON request and returns the JSON reply object, or an empty one after the wait.
    QJsonObject request(const QJsonObject &message, bool *answered = nullptr, int waitMs = 3000)
    {
        frames.clear();
        send(FrameCodec::jsonMessage(QJsonDocument(message).toJson()));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < waitMs) {
            for (const QByteArray &frame : qAsConst(frames)) {
                if (frame.at(2) == FrameCodec::JsonMessage) {
                    if (answered)
                        *answered = true;
                    return QJsonDocument::fromJson(frame.mid(8, frame.size() - 10)).object();
                }
            }
            pump(50);
        }
        if (answered)
            *answered = false;
        return QJsonObject();
    }
};

} // namespace

class tst_BoxSim : public QObject
{
    Q_OBJECT
private slots:
    void commandLineErrors_data();
    void commandLineErrors();
    void secondSimulatorOnTheSameAddressFails();
    void answersDiscovery();
    void transfers_data();
    void transfers();
    void requestForms_data();
    void requestForms();
    void liveDataReports();
    void deployedProjectStartsReports();
};

void tst_BoxSim::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << "Unknown option 'bogus'";
    QTest::newRow("missing value") << QStringList{"--listen"} << 1 << "Missing value after '--listen'";
    QTest::newRow("address that is no address") << QStringList{"--listen", "box.local"} << 1
                                                << "--listen needs an IPv4 address";
    QTest::newRow("IPv6 address") << QStringList{"--listen", "::1"} << 1
                                  << "--listen needs an IPv4 address";
    QTest::newRow("address not on this machine") << QStringList{"--listen", "192.0.2.55"} << 2
                                                 << "cannot listen on TCP 192.0.2.55:30088";
    QTest::newRow("reboot time no number") << QStringList{"--reboot-seconds", "soon"} << 1
                                           << "--reboot-seconds needs a whole number";
    QTest::newRow("checksum result above 255") << QStringList{"--checksum-result", "256"} << 1
                                               << "--checksum-result needs a whole number from 0 to 255";
    QTest::newRow("interval too short") << QStringList{"--interval", "5"} << 1
                                        << "--interval needs a whole number";
    QTest::newRow("empty write code") << QStringList{"--write-code", ""} << 1
                                      << "--write-code needs a code";
    QTest::newRow("stray argument") << QStringList{"now"} << 1 << "unexpected argument \"now\"";
    QTest::newRow("state path is a file")
        << QStringList{"--state", QStringLiteral(ORVANE_TEST_DATA_DIR "/boxlink/project.json")} << 2
        << "is not a directory";
}

void tst_BoxSim::commandLineErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);

    QTemporaryDir state;
    QStringList all;
    if (!arguments.contains("--listen"))
        all += QStringList{"--listen", "127.0.5.100"};
    if (!arguments.contains("--state"))
        all += QStringList{"--state", state.path()};
    all += arguments;
    QProcess process;
    process.start(BoxSimProcess::program(), all);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
}

void tst_BoxSim::secondSimulatorOnTheSameAddressFails()
{
    BoxSimProcess first(QStringLiteral("127.0.5.101"));
    QVERIFY(first.start());
    QTemporaryDir state;
    QProcess second;
    second.start(BoxSimProcess::program(), {"--listen", "127.0.5.101", "--state", state.path()});
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitCode(), 2);
    QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains("cannot listen"));

    // A corrupt settings file is refused the same way, before anything listens.
    QFile settings(state.filePath("settings.json"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("{ not json");
    settings.close();
    QProcess third;
    third.start(BoxSimProcess::program(), {"--listen", "127.0.5.101", "--state", state.path()});
    QVERIFY(third.waitForFinished(5000));
    QCOMPARE(third.exitCode(), 2);
    QVERIFY(QString::fromUtf8(third.readAllStandardError()).contains("corrupt settings file"));
}

void tst_BoxSim::answersDiscovery()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.102"), {"--model", "TLK-GW-A1", "--mask", "255.255.0.0"});
    QVERIFY(sim.start());
    QUdpSocket udp;
    QVERIFY(udp.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));

    udp.writeDatagram(FrameCodec::discoveryRequest().left(15), QHostAddress(sim.address()),
                      FrameCodec::BoxPort);
    udp.writeDatagram(FrameCodec::discoveryRequest(), QHostAddress(sim.address()), FrameCodec::BoxPort);
    QTRY_VERIFY_WITH_TIMEOUT(udp.hasPendingDatagrams(), 3000);
    const QNetworkDatagram reply = udp.receiveDatagram();
    QCOMPARE(reply.senderAddress(), QHostAddress(sim.address()));
    FrameCodec::DiscoveryInfo info;
    QVERIFY(FrameCodec::parseDiscoveryReply(reply.data(), &info));
    QCOMPARE(info.ip, sim.address());
    QCOMPARE(info.mask, QStringLiteral("255.255.0.0"));
    QCOMPARE(info.model, QStringLiteral("TLK-GW-A1"));

    // Only the exact request is answered.
    QTest::qWait(200);
    QVERIFY(!udp.hasPendingDatagrams());
    QVERIFY(sim.output().contains("ignored datagram of 15 bytes"));
}

void tst_BoxSim::transfers_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<int>>("order");     // fragment order sent, empty: 1, 2, 3, ...
    QTest::addColumn<bool>("wrongDigest");
    QTest::addColumn<QByteArray>("verdict");   // empty: none expected
    QTest::addColumn<QString>("storedAs");
    QTest::addColumn<QString>("error");        // expected among the record's errors

    QByteArray image(2500, '\0');
    QRandomGenerator random(5);
    for (char &byte : image)
        byte = char(random.bounded(256)); // binary data, start markers included

    QTest::newRow("program update of 2500 bytes")
        << "127.0.5.110" << QStringList() << 4 << image << QList<int>() << false
        << hex("12 34 04 00 0A 00 03 00 56 78") << "program.bin" << "";
    QTest::newRow("project deployment")
        << "127.0.5.111" << QStringList() << 3 << projectFixture() << QList<int>() << false
        << hex("12 34 03 00 0A 00 03 00 56 78") << "deployed.json" << "";
    QTest::newRow("empty file") << "127.0.5.112" << QStringList() << 4 << QByteArray() << QList<int>()
                                << false << hex("12 34 04 00 0A 00 03 00 56 78") << "program.bin" << "";
    QTest::newRow("wrong digest") << "127.0.5.113" << QStringList() << 4 << image << QList<int>()
                                  << true << hex("12 34 04 00 0A 00 03 01 56 78") << ""
                                  << "digest does not match the received bytes";
    QTest::newRow("fragments out of order")
        << "127.0.5.114" << QStringList() << 3 << image << QList<int>{2, 1, 3} << false
        << hex("12 34 03 00 0A 00 03 01 56 78") << "" << "fragment 2: expected number 1";
    QTest::newRow("forced checksum result")
        << "127.0.5.115" << QStringList{"--checksum-result", "7"} << 4 << image << QList<int>()
        << false << hex("12 34 04 00 0A 00 03 07 56 78") << "" << "";
    QTest::newRow("no verdict") << "127.0.5.116" << QStringList{"--no-verdict"} << 4 << image
                                << QList<int>() << false << QByteArray() << "program.bin" << "";
}

void tst_BoxSim::transfers()
{
    QFETCH(QString, address);
    QFETCH(QStringList, arguments);
    QFETCH(int, command);
    QFETCH(QByteArray, file);
    QFETCH(QList<int>, order);
    QFETCH(bool, wrongDigest);
    QFETCH(QByteArray, verdict);
    QFETCH(QString, storedAs);
    QFETCH(QString, error);

    BoxSimProcess sim(address, arguments);
    QVERIFY(sim.start());
    QTcpSocket socket;
    socket.connectToHost(address, FrameCodec::BoxPort);
    QVERIFY(socket.waitForConnected(3000));

    const QList<QByteArray> fragments = FrameCodec::transferFragments(quint8(command), file);
    QList<int> sent = order;
    for (int i = 1; sent.size() < fragments.size(); ++i)
        sent.append(i);
    for (int number : qAsConst(sent)) {
        socket.write(fragments.at(number - 1));
        QVERIFY(socket.waitForBytesWritten(3000));
    }
    const QByteArray md5 = QCryptographicHash::hash(wrongDigest ? file + 'x' : file,
                                                    QCryptographicHash::Md5);
    socket.write(FrameCodec::checksumFrame(quint8(command), quint32(file.size()), md5));
    QVERIFY(socket.waitForBytesWritten(3000));

    if (verdict.isEmpty()) {
        QVERIFY(!socket.waitForReadyRead(800));
        QTRY_COMPARE_WITH_TIMEOUT(sim.transferRecords().size(), 1, 3000);
    } else {
        QVERIFY(socket.waitForReadyRead(3000));
        QByteArray reply = socket.readAll();
        while (reply.size() < verdict.size() && socket.waitForReadyRead(500))
            reply += socket.readAll();
        QCOMPARE(reply.toHex(' '), verdict.toHex(' '));
    }

    // The record, as the box dialog's tests read it.
    const QList<QJsonObject> records = sim.transferRecords();
    QCOMPARE(records.size(), 1);
    const QJsonObject record = records.first();
    QCOMPARE(record.value("command").toInt(), command);
    const QJsonArray recorded = record.value("fragments").toArray();
    QCOMPARE(recorded.size(), fragments.size());
    for (int i = 0; i < recorded.size(); ++i) {
        const QJsonObject entry = recorded.at(i).toObject();
        const int number = sent.at(i);
        const int chunk = qMin(1024, file.size() - (number - 1) * 1024);
        QCOMPARE(entry.value("number").toInt(), number);
        QCOMPARE(entry.value("chunkLength").toInt(), chunk);
        QCOMPARE(entry.value("frameLength").toInt(), chunk + 19);
        QCOMPARE(entry.value("total").toInt(), file.size());
        QCOMPARE(entry.value("kind").toInt(), 1);
    }
    const QJsonObject checksum = record.value("checksum").toObject();
    QCOMPARE(checksum.value("frameLength").toInt(), 30);
    QCOMPARE(checksum.value("size").toInt(), file.size());
    QCOMPARE(checksum.value("digestLength").toInt(), 16);
    QCOMPARE(checksum.value("digest").toString(), QString::fromLatin1(md5.toHex()));
    QCOMPARE(record.value("receivedBytes").toInt(), file.size());
    QCOMPARE(record.value("verdictSent").toBool(), !verdict.isEmpty());
    if (!verdict.isEmpty())
        QCOMPARE(record.value("result").toInt(), int(quint8(verdict.at(7))));
    QCOMPARE(record.value("storedAs").toString(), storedAs);
    const QStringList errors = record.value("errors").toVariant().toStringList();
    QCOMPARE(record.value("verified").toBool(), errors.isEmpty());
    if (!error.isEmpty())
        QVERIFY2(errors.contains(error), qPrintable(errors.join(" | ")));
    else
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(" | ")));

    // Only a verified file is kept, byte for byte.
    for (const QString &name : {QStringLiteral("deployed.json"), QStringLiteral("program.bin")}) {
        QFile stored(sim.statePath(name));
        QCOMPARE(stored.exists(), name == storedAs);
        if (name == storedAs) {
            QVERIFY(stored.open(QIODevice::ReadOnly));
            QCOMPARE(stored.readAll(), file);
        }
    }
}

void tst_BoxSim::requestForms_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply"); // empty: not answered
    QTest::addColumn<QString>("lanIp");    // stored afterwards

    QTest::newRow("read with a string type") << "127.0.5.130" << QByteArray(R"({"type":"8","pares":{}})")
                                             << QByteArray(R"({"type":"8","pares":{"NTP":"192.168.1.1"}})") << "192.168.1.100";
    QTest::newRow("read with a number type is no request")
        << "127.0.5.131" << QByteArray(R"({"type":8,"pares":{}})") << QByteArray() << "192.168.1.100";
    QTest::newRow("write with a string type is no request")
        << "127.0.5.132" << QByteArray(R"({"type":"108","pares":{"NTP":"1.2.3.4"}})") << QByteArray() << "192.168.1.100";
    QTest::newRow("write with a number value is refused")
        << "127.0.5.133" << QByteArray(R"({"type":108,"pares":{"NTP":1234}})")
        << QByteArray(R"({"type":"108","code":"400"})") << "192.168.1.100";
    QTest::newRow("clock write with another date form is refused")
        << "127.0.5.134" << QByteArray(R"({"type":109,"pares":{"date":"06/05/2031 07:08"}})")
        << QByteArray(R"({"type":"109","code":"400"})") << "192.168.1.100";
    QTest::newRow("partial write keeps the other members")
        << "127.0.5.135" << QByteArray(R"({"type":102,"pares":{"lanIp":"10.0.0.9"}})")
        << QByteArray(R"({"type":"102","code":"200"})") << "10.0.0.9";
    QTest::newRow("reboot without its parameter")
        << "127.0.5.136" << QByteArray(R"({"type":"6","pares":{}})") << QByteArray() << "192.168.1.100";
    QTest::newRow("unknown type") << "127.0.5.137" << QByteArray(R"({"type":"7","pares":{}})")
                                  << QByteArray() << "192.168.1.100";
}

void tst_BoxSim::requestForms()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(QString, lanIp);

    BoxSimProcess sim(address);
    QVERIFY(sim.start());
    RawLink link;
    QVERIFY(link.open(address));
    bool answered = false;
    // The box answers within milliseconds; silence for half a second means no answer.
    const QJsonObject got = link.request(QJsonDocument::fromJson(request).object(), &answered,
                                         reply.isEmpty() ? 500 : 3000);
    QCOMPARE(answered, !reply.isEmpty());
    if (!reply.isEmpty())
        QCOMPARE(got, QJsonDocument::fromJson(reply).object());

    // Nothing but the accepted write changed.
    const QJsonObject lan = sim.settings().value("lan").toObject();
    QCOMPARE(lan.value("lanIp").toString(), lanIp);
    QCOMPARE(sim.settings().value("ntp").toObject().value("NTP").toString(),
             QStringLiteral("192.168.1.1"));
    QCOMPARE(lan.value("lanMask").toString(), QStringLiteral("255.255.255.0"));
}

void tst_BoxSim::liveDataReports()
{
    // The fixture project plus a device with enough points for a report of several fragments.
    QJsonObject project = QJsonDocument::fromJson(projectFixture()).object();
    QJsonArray points;
    for (int i = 0; i < 80; ++i) {
        points.append(QJsonObject{{"addr", QString::number(40100 + i)},
                                  {"name", QStringLiteral("Register %1").arg(i)},
                                  {"dataType", i % 2 ? "int16" : "double"},
                                  {"length", "1"},
                                  {"permissions", "R"}});
    }
    QJsonArray standards = project.value("standards").toArray();
    standards.append(QJsonObject{{"name", "Big"},
                                 {"protocol", "Modbus"},
                                 {"modbus", "ModbusRTU"},
                                 {"parameter", QJsonObject{{"collectionInterval", "100"}}},
                                 {"datas", QJsonArray{QJsonObject{{"datas", points}}}}});
    project.insert("standards", standards);
    BoxSimProcess sim(QStringLiteral("127.0.5.140"),
                      {"--interval", "100", "--serial", "SN-X", "--invalid-percent", "30"});
    QVERIFY(sim.writeDeployed(project));
    QVERIFY(sim.start());

    RawLink link;
    QVERIFY(link.open(sim.address()));
    link.send(FrameCodec::heartbeatRequest()); // makes it a link
    RawLink transfer;
    QVERIFY(transfer.open(sim.address()));
    transfer.send(FrameCodec::transferFragment(4, 5000, 1, QByteArray(1024, 'b')));
    link.pump(1300);
    transfer.pump(50);

    QCOMPARE(transfer.frames.size(), 0); // a transfer's connection never gets live data

    LiveDataAssembler assembler;
    QMap<QString, QList<QJsonObject>> reports;
    quint32 expectedNumber = 1;
    for (const QByteArray &frame : qAsConst(link.frames)) {
        if (frame.at(2) != FrameCodec::LiveDataFragment)
            continue;
        FrameCodec::FragmentHeader header;
        QVERIFY(FrameCodec::parseFragmentHeader(frame.constData(), frame.size(), &header));
        QCOMPARE(header.number, expectedNumber);
        QCOMPARE(int(header.length), frame.size() - 19);
        const bool last = header.length + (header.number - 1) * 1024 == header.total;
        QVERIFY(last || header.length == 1024);
        expectedNumber = last ? 1 : expectedNumber + 1;
        const LiveDataAssembler::Status status = assembler.addFragment(frame);
        QVERIFY(status == LiveDataAssembler::Status::Pending
                || status == LiveDataAssembler::Status::Complete);
        if (status == LiveDataAssembler::Status::Complete) {
            const QJsonObject report = assembler.takeReport();
            reports[report.value("plcName").toString()].append(report);
        }
    }
    QCOMPARE(reports.keys(), (QStringList{"Big", "Meter-1", "PLC-1"}));
    QSet<QString> validities;
    for (const QList<QJsonObject> &list : qAsConst(reports)) {
        // Every 100 ms for about 1.3 s.
        QVERIFY2(list.size() >= 6 && list.size() <= 15, qPrintable(QString::number(list.size())));
        for (const QJsonObject &report : list) {
            QCOMPARE(report.value("projectName").toString(), QStringLiteral("Plant A"));
            QCOMPARE(report.value("sn").toString(), QStringLiteral("SN-X"));
            QVERIFY(QDateTime::fromString(report.value("time").toString(), "yyyy-MM-dd HH:mm:ss").isValid());
            for (const QJsonValue &point : report.value("datas").toArray())
                validities.insert(point.toObject().value("valid").toString());
        }
    }
    QCOMPARE(validities, (QSet<QString>{"0", "1"}));
    QVERIFY(QJsonDocument(reports["Big"].first()).toJson(QJsonDocument::Compact).size() > 2048);

    // Values move by type: counters count, energy only grows, voltages stay near 230 V.
    const auto valuesOf = [&](const QString &device, const QString &name) {
        QStringList values;
        for (const QJsonObject &report : reports[device]) {
            for (const QJsonValue &point : report.value("datas").toArray()) {
                if (point.toObject().value("name").toString() == name)
                    values.append(point.toObject().value("value").toString());
            }
        }
        return values;
    };
    QCOMPARE(reports["Meter-1"].first().value("datas").toArray().size(), 3); // selected items
    const QStringList counter = valuesOf("PLC-1", "Counter");
    for (int i = 1; i < counter.size(); ++i)
        QCOMPARE(counter[i].toInt(), counter[i - 1].toInt() + 1);
    const QStringList energy = valuesOf("Meter-1", "Energy");
    for (int i = 1; i < energy.size(); ++i)
        QVERIFY(energy[i].toDouble() > energy[i - 1].toDouble());
    for (const QString &value : energy)
        QVERIFY2(QRegularExpression("^\\d+\\.\\d\\d$").match(value).hasMatch(), qPrintable(value));
    for (const QString &value : valuesOf("Meter-1", "Ua")) {
        QVERIFY2(QRegularExpression("^\\d+\\.\\d$").match(value).hasMatch(), qPrintable(value));
        QVERIFY(qAbs(value.toDouble() - 230.0) < 5.0);
    }
    for (const QString &value : valuesOf("PLC-1", "Running"))
        QVERIFY(value == "0" || value == "1");
}

void tst_BoxSim::deployedProjectStartsReports()
{
    BoxSimProcess sim(QStringLiteral("127.0.5.141"), {"--interval", "100"});
    QVERIFY(sim.start());
    RawLink link;
    QVERIFY(link.open(sim.address()));
    link.send(FrameCodec::heartbeatRequest());
    link.pump(300);
    for (const QByteArray &frame : qAsConst(link.frames))
        QVERIFY(frame.at(2) != FrameCodec::LiveDataFragment); // nothing deployed yet

    // The same project again after another one: each deployment replaces what is reported.
    const QByteArray plantA = projectFixture();
    QJsonObject renamed = QJsonDocument::fromJson(plantA).object();
    renamed.insert("name", "Plant B");
    QJsonArray standards = renamed.value("standards").toArray();
    standards.removeLast();
    renamed.insert("standards", standards);
    const QByteArray plantB = QJsonDocument(renamed).toJson();
    const QSet<QString> devicesB{standards.first().toObject().value("name").toString()};
    const QList<QPair<QByteArray, QPair<QString, QSet<QString>>>> deployments{
        {plantA, {"Plant A", {"PLC-1", "Meter-1"}}},
        {plantB, {"Plant B", devicesB}},
        {plantA, {"Plant A", {"PLC-1", "Meter-1"}}}};
    for (const auto &deployment : deployments) {
        const QByteArray &project = deployment.first;
        QTcpSocket transfer;
        transfer.connectToHost(sim.address(), FrameCodec::BoxPort);
        QVERIFY(transfer.waitForConnected(3000));
        for (const QByteArray &fragment : FrameCodec::transferFragments(3, project))
            transfer.write(fragment);
        transfer.write(FrameCodec::checksumFrame(3, quint32(project.size()),
                                                 QCryptographicHash::hash(project, QCryptographicHash::Md5)));
        QVERIFY(transfer.waitForReadyRead(3000));
        QCOMPARE(transfer.readAll().toHex(' '), hex("12 34 03 00 0A 00 03 00 56 78").toHex(' '));

        // Reports of the project deployed before may still be under way: only the last
        // stretch counts.
        link.pump(200);
        link.frames.clear();
        link.pump(500);
        LiveDataAssembler assembler;
        QSet<QString> names;
        QSet<QString> devices;
        for (const QByteArray &frame : qAsConst(link.frames)) {
            if (frame.at(2) == FrameCodec::LiveDataFragment
                && assembler.addFragment(frame) == LiveDataAssembler::Status::Complete) {
                const QJsonObject report = assembler.takeReport();
                names.insert(report.value("projectName").toString());
                devices.insert(report.value("plcName").toString());
            }
        }
        QCOMPARE(names, QSet<QString>{deployment.second.first});
        QCOMPARE(devices, deployment.second.second);
    }
}

QTEST_GUILESS_MAIN(tst_BoxSim)
#include "tst_boxsim.moc"
