// File transfer to a box: fragments, checksum frame and verdict, against the box simulator
// (which records what it received) or a scripted box for replies the simulator never gives.
#include "BoxTestSupport.h"

#include "core/boxlink/FileTransfer.h"
#include "core/boxlink/FrameCodec.h"

#include <QCryptographicHash>

namespace {

// Reads a transfer's frames up to its checksum frame (at most 5 s); false when the sender
// went away first.
bool readThroughChecksum(QTcpSocket *socket)
{
    QByteArray buffer;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        if (!socket->waitForReadyRead(100)) {
            if (socket->state() != QAbstractSocket::ConnectedState)
                return false;
            continue;
        }
        buffer += socket->readAll();
        while (buffer.size() >= FrameCodec::HeaderSize) {
            const int length = FrameCodec::frameLength(buffer);
            if (length < FrameCodec::MinFrameSize || buffer.size() < length)
                break;
            if (quint8(buffer.at(6)) == FrameCodec::TransferChecksum)
                return true;
            buffer.remove(0, length);
        }
    }
    return false;
}

// A box that takes one transfer and answers its checksum frame with the given pieces,
// 50 ms apart; or one that answers out of turn (Mode).
class ScriptedBox : public ThreadBox
{
public:
    enum Mode {
        AfterChecksum,        // the pieces, once the checksum frame is in
        VerdictFirstThenRead, // "matched" after 1 KiB, then reads on and stays silent
        VerdictFirstThenClose,
        CloseAfterChecksum,   // hangs up where the verdict should come
    };
    ScriptedBox(const QString &address, QList<QByteArray> pieces, Mode mode = AfterChecksum)
        : ThreadBox(address)
        , m_pieces(std::move(pieces))
        , m_mode(mode)
    {
    }
    ~ScriptedBox() override { wait(10000); }

protected:
    void serve(QTcpServer &server) override
    {
        if (!server.waitForNewConnection(5000))
            return;
        QTcpSocket *socket = server.nextPendingConnection();
        if (m_pieces == QList<QByteArray>{QByteArray("CLOSE")}) {
            // Hangs up in the middle of the fragments, with data still unread.
            socket->waitForReadyRead(5000);
            socket->abort();
            return;
        }
        if (m_mode == VerdictFirstThenRead || m_mode == VerdictFirstThenClose) {
            socket->waitForReadyRead(5000);
            socket->read(1024);
            socket->write(FrameCodec::transferVerdict(FileTransfer::ProgramUpdate, 0));
            socket->waitForBytesWritten(1000);
            if (m_mode == VerdictFirstThenClose) {
                socket->close();
                return;
            }
        }
        if (!readThroughChecksum(socket))
            return;
        if (m_mode == CloseAfterChecksum) {
            socket->close();
            return;
        }
        for (const QByteArray &piece : qAsConst(m_pieces)) {
            socket->write(piece);
            socket->waitForBytesWritten(1000);
            QThread::msleep(50);
        }
        socket->waitForDisconnected(6000);
    }

private:
    QList<QByteArray> m_pieces;
    Mode m_mode;
};

QByteArray fileContent(int size, int command)
{
    if (command == FileTransfer::ProjectDeployment) {
        // A project document of about the asked size, since the box reads what it is sent.
        QJsonObject project{{"name", "Deploy"},
                            {"description", QString(qMax(0, size - 80), QLatin1Char('d'))},
                            {"standards", QJsonArray()},
                            {"services", QJsonArray()},
                            {"boxs", QJsonArray()}};
        return QJsonDocument(project).toJson();
    }
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((quint32(i) * 131u + 7u) & 0xFFu);
    return bytes;
}

using Pieces = QList<QByteArray>;

} // namespace

Q_DECLARE_METATYPE(Pieces)

class TstFileTransfer : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        FileTransfer::setVerdictTimeoutForTesting(0);
        FileTransfer::setStallTimeoutForTesting(0);
    }
    void transfer_data();
    void transfer();
    void boxThatStopsReading_data();
    void boxThatStopsReading();
    void verdictOnlyAfterTheChecksum_data();
    void verdictOnlyAfterTheChecksum();
};

void TstFileTransfer::transfer_data()
{
    QTest::addColumn<QString>("box");          // "sim", "scripted" or "none"
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<Pieces>("reply");         // scripted box only
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("size");             // -1: no such file
    QTest::addColumn<QString>("local");
    QTest::addColumn<bool>("removeAfterDigest");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<int>("finalProgress");
    QTest::addColumn<bool>("fileRemains");

    const QString ok = QStringLiteral("Checksum Result:Checksum successful.");
    const int program = FileTransfer::ProgramUpdate;
    const int project = FileTransfer::ProjectDeployment;
    const QString none = QStringLiteral("0.0.0.0");
    auto outcome = [](FileTransfer::Outcome o) { return int(o); };

    QTest::newRow("program of 2500 bytes")
        << "sim" << "127.0.6.1" << QStringList() << Pieces() << program << 2500 << none << false
        << outcome(FileTransfer::Outcome::ChecksumSuccessful) << QStringList{ok} << QStringList()
        << 100 << true;
    QTest::newRow("empty program")
        << "sim" << "127.0.6.2" << QStringList() << Pieces() << program << 0 << none << false
        << outcome(FileTransfer::Outcome::ChecksumSuccessful) << QStringList{ok} << QStringList()
        << 0 << true;
    QTest::newRow("project, temporary file removed")
        << "sim" << "127.0.6.3" << QStringList() << Pieces() << project << 3000 << none << true
        << outcome(FileTransfer::Outcome::ChecksumSuccessful) << QStringList{ok} << QStringList()
        << 100 << false;
    QTest::newRow("from a chosen local address")
        << "sim" << "127.0.6.4" << QStringList() << Pieces() << program << 1024
        << "127.0.6.240" << false << outcome(FileTransfer::Outcome::ChecksumSuccessful)
        << QStringList{ok} << QStringList() << 100 << true;
    QTest::newRow("checksum failed")
        << "sim" << "127.0.6.5" << QStringList{"--checksum-result", "1"} << Pieces() << program
        << 2500 << none << false << outcome(FileTransfer::Outcome::ChecksumFailed)
        << QStringList{"Checksum Result:Checksum failed."} << QStringList() << 0 << true;
    QTest::newRow("no verdict")
        << "sim" << "127.0.6.6" << QStringList{"--no-verdict"} << Pieces() << project << 1500
        << none << true << outcome(FileTransfer::Outcome::Timeout)
        << QStringList{"Timeout:Timeout while waiting for checksum result."}
        << QStringList{"Timeout|Timeout while waiting for checksum result."} << 0 << false;
    QTest::newRow("connection refused")
        << "none" << "127.0.6.7" << QStringList() << Pieces() << project << 100 << none << true
        << outcome(FileTransfer::Outcome::ConnectFailed)
        << QStringList{"Connection Status:Failed to connect to server for program update."}
        << QStringList() << -1 << true;
    QTest::newRow("local address not ours")
        << "none" << "127.0.6.8" << QStringList() << Pieces() << program << 100 << "192.0.2.1"
        << false << outcome(FileTransfer::Outcome::BindFailed)
        << QStringList{"Binding Status: Failed to bind to 192.0.2.1"} << QStringList() << -1 << true;
    QTest::newRow("program file missing")
        << "sim" << "127.0.6.9" << QStringList() << Pieces() << program << -1 << none << false
        << outcome(FileTransfer::Outcome::FileOpenFailed)
        << QStringList{"Update Status:Could not read the file: No such file or directory"}
        << QStringList{"Error|Failed to open program file."} << -1 << false;
    QTest::newRow("other command echoed")
        << "scripted" << "127.0.6.10" << QStringList()
        << Pieces{FrameCodec::transferVerdict(FileTransfer::ProgramUpdate, 0)} << project << 2100
        << none << true << outcome(FileTransfer::Outcome::CommandTypeError)
        << QStringList{"Checksum Result:Command type error."} << QStringList() << 0 << false;
    QByteArray notAResult = FrameCodec::transferVerdict(FileTransfer::ProgramUpdate, 0);
    notAResult[6] = 0x04;
    QTest::newRow("not a checksum result")
        << "scripted" << "127.0.6.11" << QStringList() << Pieces{notAResult} << program << 2100
        << none << false << outcome(FileTransfer::Outcome::ReturnValueError)
        << QStringList{"Checksum Result:Verification data return value error."} << QStringList()
        << 0 << true;
    const QByteArray good = FrameCodec::transferVerdict(FileTransfer::ProgramUpdate, 0);
    QTest::newRow("verdict in two pieces")
        << "scripted" << "127.0.6.12" << QStringList() << Pieces{good.left(4), good.mid(4)}
        << program << 2100 << none << false << outcome(FileTransfer::Outcome::ChecksumSuccessful)
        << QStringList{ok} << QStringList() << 100 << true;
    QTest::newRow("box hangs up while fragments go out")
        << "scripted" << "127.0.6.14" << QStringList() << Pieces{QByteArray("CLOSE")} << program
        << 8 * 1024 * 1024 << none << false << outcome(FileTransfer::Outcome::ConnectionLost)
        << QStringList{"Connection Status:Not connected to server."} << QStringList() << -2 << true;
    QTest::newRow("reply of 12 bytes")
        << "scripted" << "127.0.6.13" << QStringList() << Pieces{good + QByteArray("\x56\x78", 2)}
        << program << 2100 << none << false << outcome(FileTransfer::Outcome::UnrecognisedReply)
        << QStringList() << QStringList() << 100 << true;
}

void TstFileTransfer::transfer()
{
    QFETCH(QString, box);
    QFETCH(QString, address);
    QFETCH(QStringList, simArgs);
    QFETCH(Pieces, reply);
    QFETCH(int, command);
    QFETCH(int, size);
    QFETCH(QString, local);
    QFETCH(bool, removeAfterDigest);
    QFETCH(int, outcome);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, warnings);
    QFETCH(int, finalProgress);
    QFETCH(bool, fileRemains);

    QTemporaryDir dir;
    const QString path = dir.filePath(command == FileTransfer::ProjectDeployment ? "temp.json" : "image.bin");
    const QByteArray content = size >= 0 ? fileContent(size, command) : QByteArray();
    if (size >= 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    std::unique_ptr<BoxSim> sim;
    std::unique_ptr<ScriptedBox> scripted;
    if (box == QLatin1String("sim")) {
        sim = std::make_unique<BoxSim>(address, simArgs);
        QVERIFY2(sim->start(), "simulator did not start");
    } else if (box == QLatin1String("scripted")) {
        scripted = std::make_unique<ScriptedBox>(address, reply);
        QVERIFY(scripted->startListening());
    }
    FileTransfer::setVerdictTimeoutForTesting(300);

    FileTransfer transfer;
    transfer.setHostAddress(address);
    transfer.setLocalAddress(local);
    transfer.setRemoveFileAfterDigest(removeAfterDigest);
    QList<int> progress;
    QStringList seenMessages;
    QStringList seenWarnings;
    connect(&transfer, &FileTransfer::progressChanged, [&](int p) { progress << p; });
    connect(&transfer, &FileTransfer::messageAppended, [&](const QString &m) { seenMessages << m; });
    connect(&transfer, &FileTransfer::warningRequested,
            [&](const QString &t, const QString &m) { seenWarnings << t + "|" + m; });

    QElapsedTimer clock;
    clock.start();
    const FileTransfer::Outcome result = transfer.send(quint8(command), path);
    QVERIFY2(clock.elapsed() < 5000, "the shortened verdict wait applies");

    QCOMPARE(int(result), outcome);
    QCOMPARE(seenMessages, messages);
    QCOMPARE(seenWarnings, warnings);
    if (finalProgress != -2) // -2: wherever the transfer broke off
        QCOMPARE(progress.isEmpty() ? -1 : progress.last(), finalProgress);
    for (int i = 1; i + 1 < progress.size(); ++i)
        QVERIFY(progress[i] >= progress[i - 1]);
    if (size == 2500 && finalProgress == 100)
        QCOMPARE(progress, QList<int>({0, 40, 81, 100}));
    QCOMPARE(QFile::exists(path), fileRemains);

    if (!sim || size < 0)
        return;

    // What reached the box: every fragment, then the checksum frame.
    QList<QJsonObject> records;
    QTRY_VERIFY_WITH_TIMEOUT(!(records = sim->transfers()).isEmpty(), 3000);
    QCOMPARE(records.size(), 1);
    const QJsonObject record = records.first();
    QCOMPARE(record.value("command").toInt(), command);
    QCOMPARE(record.value("errors").toArray(), QJsonArray());
    const QJsonArray fragments = record.value("fragments").toArray();
    const int total = content.size();
    QCOMPARE(fragments.size(), (total + 1023) / 1024);
    for (int i = 0; i < fragments.size(); ++i) {
        const QJsonObject f = fragments.at(i).toObject();
        const int chunk = qMin(1024, total - i * 1024);
        QCOMPARE(f.value("number").toInt(), i + 1);
        QCOMPARE(f.value("chunkLength").toInt(), chunk);
        QCOMPARE(f.value("frameLength").toInt(), chunk + 19);
        QCOMPARE(f.value("total").toInt(), total);
        QCOMPARE(f.value("kind").toInt(), 1);
    }
    const QJsonObject checksum = record.value("checksum").toObject();
    QCOMPARE(checksum.value("frameLength").toInt(), 30);
    QCOMPARE(checksum.value("size").toInt(), total);
    QCOMPARE(checksum.value("digestLength").toInt(), 16);
    QCOMPARE(checksum.value("digest").toString(),
             QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()));
    if (local != QLatin1String("0.0.0.0"))
        QVERIFY2(record.value("peer").toString().startsWith(local + ":"),
                 qPrintable(record.value("peer").toString()));
    if (result == FileTransfer::Outcome::ChecksumSuccessful)
        QCOMPARE(sim->stateFile(command == FileTransfer::ProjectDeployment ? "deployed.json" : "program.bin"),
                 content);
}

void TstFileTransfer::boxThatStopsReading_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("cancel"); // cancel() after a moment instead of waiting
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");

    QTest::newRow("no byte taken: watchdog")
        << "127.0.6.20" << int(FileTransfer::ProgramUpdate) << false << int(FileTransfer::Outcome::Stalled)
        << "Connection Status:The box took no data for 2 seconds; transfer stopped.";
    QTest::newRow("program update cancelled")
        << "127.0.6.21" << int(FileTransfer::ProgramUpdate) << true << int(FileTransfer::Outcome::Cancelled)
        << "Update Status:Program update cancelled, not completed.";
    QTest::newRow("deployment cancelled")
        << "127.0.6.22" << int(FileTransfer::ProjectDeployment) << true << int(FileTransfer::Outcome::Cancelled)
        << "Update Status:Project deployment cancelled, not completed.";
}

void TstFileTransfer::boxThatStopsReading()
{
    QFETCH(QString, address);
    QFETCH(int, command);
    QFETCH(bool, cancel);
    QFETCH(int, outcome);
    QFETCH(QString, message);

    // 16 MiB: more than the socket buffers of both ends take.
    QTemporaryDir dir;
    const QString path = dir.filePath("image.bin");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(fileContent(16 * 1024 * 1024, FileTransfer::ProgramUpdate)) == 16 * 1024 * 1024);
    }
    SilentBox box(address);
    QVERIFY(box.startListening());
    FileTransfer::setStallTimeoutForTesting(2000);

    FileTransfer transfer;
    transfer.setHostAddress(address);
    QStringList messages;
    QList<int> progress;
    QList<FileTransfer::Outcome> ends;
    connect(&transfer, &FileTransfer::messageAppended, [&](const QString &m) { messages << m; });
    connect(&transfer, &FileTransfer::progressChanged, [&](int p) { progress << p; });
    connect(&transfer, &FileTransfer::finished, [&](FileTransfer::Outcome o) { ends << o; });

    // The event loop keeps turning while the transfer runs: a timer measures the gaps.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, [&] {
        longestGap = qMax(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    ticker.start();

    QVERIFY(transfer.start(quint8(command), path));
    QVERIFY(transfer.isRunning());
    QVERIFY(!transfer.start(quint8(command), path)); // one at a time
    if (cancel) {
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last() > 0, 10000);
        QTest::qWait(300);
        QVERIFY(transfer.isRunning());
        QElapsedTimer cancelClock;
        cancelClock.start();
        transfer.cancel();
        QTRY_VERIFY_WITH_TIMEOUT(!ends.isEmpty(), 1000);
        QVERIFY(cancelClock.elapsed() < 1000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!ends.isEmpty(), 40000);
        QVERIFY2(clock.elapsed() < 40000, qPrintable(QString::number(clock.elapsed())));
    }
    QCOMPARE(ends, QList<FileTransfer::Outcome>{FileTransfer::Outcome(outcome)});
    QCOMPARE(messages, QStringList{message});
    QVERIFY(!messages.join('\n').contains("successful"));
    QCOMPARE(progress.last(), 0);
    QVERIFY(!transfer.isRunning());
    // Generous: the suite also runs under sanitizers on two shared cores.
    QVERIFY2(longestGap < 1000, qPrintable(QString::number(longestGap)));
    QVERIFY(lastTick > clock.elapsed() - 1000);
}

void TstFileTransfer::verdictOnlyAfterTheChecksum_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("outcome"); // -1: anything but success
    QTest::addColumn<QString>("message");

    QTest::newRow("matched after 1 KiB, then reads the rest")
        << "127.0.6.30" << int(ScriptedBox::VerdictFirstThenRead) << int(FileTransfer::Outcome::Timeout)
        << "Timeout:Timeout while waiting for checksum result.";
    QTest::newRow("matched after 1 KiB, then hangs up")
        << "127.0.6.31" << int(ScriptedBox::VerdictFirstThenClose) << -1 << QString();
    QTest::newRow("hangs up instead of a verdict")
        << "127.0.6.32" << int(ScriptedBox::CloseAfterChecksum) << int(FileTransfer::Outcome::VerdictLost)
        << "Checksum Result:Connection lost before the checksum result.";
}

void TstFileTransfer::verdictOnlyAfterTheChecksum()
{
    QFETCH(QString, address);
    QFETCH(int, mode);
    QFETCH(int, outcome);
    QFETCH(QString, message);

    ScriptedBox box(address, {}, ScriptedBox::Mode(mode));
    QVERIFY(box.startListening());
    FileTransfer::setVerdictTimeoutForTesting(3000);

    FileTransfer transfer;
    transfer.setHostAddress(address);
    QStringList messages;
    connect(&transfer, &FileTransfer::messageAppended, [&](const QString &m) { messages << m; });
    QElapsedTimer clock;
    clock.start();
    const FileTransfer::Outcome result = transfer.send(
        FileTransfer::ProgramUpdate, TransferPayload::fromBytes(fileContent(1024 * 1024, FileTransfer::ProgramUpdate)));

    QVERIFY(result != FileTransfer::Outcome::ChecksumSuccessful);
    QVERIFY2(!messages.join('\n').contains("successful"), qPrintable(messages.join('\n')));
    if (outcome >= 0)
        QCOMPARE(int(result), outcome);
    if (!message.isEmpty())
        QCOMPARE(messages, QStringList{message});
    // A hang-up is told at once, not after the verdict wait.
    if (mode != ScriptedBox::VerdictFirstThenRead)
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TstFileTransfer)
#include "tst_filetransfer.moc"
