// The meter reader on a pseudo-terminal pair against meters of the test's own: values only from
// replies that answer their request, a status for every fault, no request past its timeout.

#include "Dlt645MeterPeer.h"
#include "ModbusServerProcess.h"
#include "core/dlt645/Dlt645Reader.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Dlt645;

Q_DECLARE_METATYPE(Dlt645::Status)

namespace {
const QString kMeter = QStringLiteral("210987654321");
const QString kOther = QStringLiteral("000000000007");
constexpr int kTimeoutMs = 300;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

Dlt645Reader::Item item(int meter, const QString &address, const char *identifier, const char *format,
                        Edition edition = Edition::V2007)
{
    Dlt645Reader::Item it;
    it.meter = meter;
    it.addressText = address;
    it.edition = edition;
    it.identifierText = QString::fromLatin1(identifier);
    it.format = QString::fromLatin1(format);
    return it;
}

struct Round
{
    QVector<Dlt645Reader::Result> results;
    qint64 elapsedMs = 0;
};

Round readOnce(Dlt645Reader &reader, const QVector<Dlt645Reader::Item> &items)
{
    Round round;
    round.results.resize(items.size());
    QSignalSpy finished(&reader, &Dlt645Reader::roundFinished);
    const auto connection = QObject::connect(&reader, &Dlt645Reader::itemRead, &reader,
        [&round](int index, const Dlt645Reader::Result &result) { round.results[index] = result; });
    QElapsedTimer timer;
    timer.start();
    if (reader.readRound(items))
        finished.wait(items.size() * (kTimeoutMs + 200) + 2000);
    round.elapsedMs = timer.elapsed();
    QObject::disconnect(connection);
    return round;
}
} // namespace

class TstDlt645Read : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readsUnderLineFaults_data();
    void readsUnderLineFaults();
    void deadMeterHoldsNoLine();
    void lateReplyIsNotTheNextValue();
    void addressRead();
    void cancelEndsTheRound();
    void refusedRtsIsOnlyAWarning();

private:
    bool start();
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<Dlt645MeterPeer> m_peer;
    std::unique_ptr<Dlt645Reader> m_reader;
};

bool TstDlt645Read::start()
{
    m_pty = std::make_unique<PtyPair>();
    if (!m_pty->start())
        return false;
    m_peer = std::make_unique<Dlt645MeterPeer>();
    if (!m_peer->open(m_pty->second()))
        return false;
    m_reader = std::make_unique<Dlt645Reader>();
    SerialLine::Settings settings;
    settings.device = m_pty->first();
    settings.baudRate = 9600;
    QString error;
    if (!m_reader->open(settings, &error)) {
        qWarning() << "open:" << error;
        return false;
    }
    m_reader->setTimeouts(kTimeoutMs, -1);
    Dlt645MeterPeer::Meter &meter = m_peer->meter(kMeter);
    meter.values.insert(0x00010000, hex("09 21 03 00"));       // 321.09 kWh
    meter.values.insert(0x02030000, hex("00 50 81"));          // -1.5000 kW
    meter.values.insert(0x02010100, hex("05 22"));             // 220.5 V
    meter.values.insert(0x02020100, hex("34 12 0A"));          // not BCD
    meter.values.insert(0x02060000, hex("87 09 00"));          // one byte too many for X.XXX
    meter.errors.insert(0x00020000, 0x02);
    Dlt645MeterPeer::Meter &old = m_peer->meter(kOther);
    old.edition = Edition::V1997;
    old.values.insert(0x9010, hex("09 21 03 00"));
    old.values.insert(0xB611, hex("20 02"));
    return true;
}

void TstDlt645Read::init()
{
    QVERIFY2(start(), "pseudo-terminal pair and meters");
}

void TstDlt645Read::cleanup()
{
    m_reader.reset();
    m_peer.reset();
    m_pty.reset();
}

void TstDlt645Read::readsUnderLineFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("format");
    QTest::addColumn<Dlt645::Status>("status");
    QTest::addColumn<QString>("value");

    const QString energy = QStringLiteral("00010000");
    const QString money = QStringLiteral("XXXXXX.XX");
    QTest::newRow("four FE") << "preamble4" << kMeter << energy << money << Status::Ok << "321.09";
    QTest::newRow("no preamble") << "preamble0" << kMeter << energy << money << Status::Ok << "321.09";
    QTest::newRow("stray bytes") << "stray" << kMeter << energy << money << Status::Ok << "321.09";
    QTest::newRow("doubled 68") << "doubled" << kMeter << energy << money << Status::Ok << "321.09";
    QTest::newRow("wildcard address") << "" << "AAAAAAAAAAAA" << energy << money << Status::Ok << "321.09";
    QTest::newRow("signed power") << "" << kMeter << "02030000" << "XX.XXXX" << Status::Ok << "-1.5000";
    QTest::newRow("voltage") << "" << kMeter << "02010100" << "XXX.X" << Status::Ok << "220.5";
    QTest::newRow("1997 meter") << "" << kOther << "9010" << "XXXXXX.XX " << Status::Ok << "321.09";
    QTest::newRow("1997 voltage") << "" << kOther << "B611" << "XXX" << Status::Ok << "220";
    QTest::newRow("error reply") << "" << kMeter << "00020000" << money << Status::ErrorReply << "";
    QTest::newRow("not BCD") << "" << kMeter << "02020100" << "XXX.XXX" << Status::BadDigits << "";
    QTest::newRow("wrong length") << "" << kMeter << "02060000" << "X.XXX" << Status::WrongLength << "";
    QTest::newRow("another meter answers") << "wrongAddress" << kMeter << energy << money << Status::WrongAddress << "";
    QTest::newRow("bad checksum") << "corrupt" << kMeter << energy << money << Status::ChecksumError << "";
    QTest::newRow("silence") << "silent" << kMeter << energy << money << Status::Timeout << "";
    QTest::newRow("address too short") << "" << "21098765432" << energy << money << Status::BadAddress << "";
}

void TstDlt645Read::readsUnderLineFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, address);
    QFETCH(QString, identifier);
    QFETCH(QString, format);
    QFETCH(Dlt645::Status, status);
    QFETCH(QString, value);

    m_peer->preamble = fault == QLatin1String("preamble4") ? 4 : fault == QLatin1String("preamble0") ? 0 : 2;
    if (fault == QLatin1String("stray"))
        m_peer->stray = hex("00 68 13 16 FF 68");
    m_peer->doubled68 = fault == QLatin1String("doubled");
    m_peer->wrongAddress = fault == QLatin1String("wrongAddress");
    m_peer->corrupt = fault == QLatin1String("corrupt");
    m_peer->meter(kMeter).silent = fault == QLatin1String("silent");

    const Edition edition = identifier.size() == 4 ? Edition::V1997 : Edition::V2007;
    Dlt645Reader::Item it = item(0, address, "", "", edition);
    it.identifierText = identifier;
    it.format = format;
    const Round round = readOnce(*m_reader, {it});
    const Dlt645Reader::Result &result = round.results.at(0);
    QCOMPARE(result.status, status);
    QCOMPARE(result.value, value);
    QCOMPARE(result.ok(), status == Status::Ok);
    if (status == Status::ErrorReply)
        QCOMPARE(result.errorCode, quint8(0x02));
    if (status == Status::Ok)
        QCOMPARE(result.answeredBy, edition == Edition::V1997 ? kOther : kMeter);
    // Nothing waits past its own timeout (with room for a loaded machine).
    QVERIFY2(round.elapsedMs < kTimeoutMs + 1000, qPrintable(QString::number(round.elapsedMs)));
}

void TstDlt645Read::deadMeterHoldsNoLine()
{
    const QString dead = QStringLiteral("999999999999");
    m_peer->meter(dead).silent = true;
    const QVector<Dlt645Reader::Item> items{
        item(0, dead, "00010000", "XXXXXX.XX"), item(0, dead, "02030000", "XX.XXXX"),
        item(0, dead, "02010100", "XXX.X"),     item(1, kMeter, "00010000", "XXXXXX.XX"),
        item(1, kMeter, "02010100", "XXX.X")};
    const Round round = readOnce(*m_reader, items);
    QCOMPARE(round.results.at(0).status, Status::Timeout);
    QCOMPARE(round.results.at(1).status, Status::NotSent);
    QCOMPARE(round.results.at(2).status, Status::NotSent);
    QCOMPARE(round.results.at(3).value, QStringLiteral("321.09"));
    QCOMPARE(round.results.at(4).value, QStringLiteral("220.5"));
    QCOMPARE(m_reader->requestCount(), 3);
    QVERIFY2(round.elapsedMs < 2 * kTimeoutMs, qPrintable(QString::number(round.elapsedMs)));

    // A meter that answered once in a round keeps its turn for every item, silent or not.
    m_peer->meter(dead).silent = false;
    m_peer->meter(dead).values.insert(0x00010000, hex("00 00 00 00"));
    const Round again = readOnce(*m_reader, items);
    QCOMPARE(again.results.at(0).value, QStringLiteral("0.00"));
    QCOMPARE(again.results.at(1).status, Status::ErrorReply); // the meter has no such item
}

void TstDlt645Read::lateReplyIsNotTheNextValue()
{
    // The first answer comes after its timeout, while the second item waits: it must not be
    // taken for the second item's value, which has the same length and format.
    m_peer->answerDelayMs = kTimeoutMs + 100;
    const Round round = readOnce(*m_reader, {item(0, kMeter, "00010000", "XXXXXX.XX"),
                                             item(0, kMeter, "00020000", "XXXXXX.XX")});
    QCOMPARE(round.results.at(0).status, Status::Timeout);
    QVERIFY(!round.results.at(1).ok());
    QVERIFY(round.results.at(1).value.isEmpty());
}

void TstDlt645Read::addressRead()
{
    QSignalSpy read(m_reader.get(), &Dlt645Reader::addressRead);
    m_peer->meter(kOther).silent = true; // alone on the line
    QVERIFY(m_reader->readAddress());
    QVERIFY(read.wait(kTimeoutMs + 2000));
    auto result = read.takeFirst().at(0).value<Dlt645Reader::Result>();
    QCOMPARE(result.status, Status::Ok);
    QCOMPARE(result.answeredBy, kMeter);

    m_peer->meter(kMeter).silent = true;
    QVERIFY(m_reader->readAddress());
    QVERIFY(read.wait(kTimeoutMs + 2000));
    result = read.takeFirst().at(0).value<Dlt645Reader::Result>();
    QCOMPARE(result.status, Status::Timeout);
}

void TstDlt645Read::cancelEndsTheRound()
{
    m_peer->answerDelayMs = 150;
    QVector<int> seen;
    QVector<Status> statuses;
    connect(m_reader.get(), &Dlt645Reader::itemRead, this, [&](int index, const Dlt645Reader::Result &r) {
        seen.append(index);
        statuses.append(r.status);
    });
    QSignalSpy finished(m_reader.get(), &Dlt645Reader::roundFinished);
    QVERIFY(m_reader->readRound({item(0, kMeter, "00010000", "XXXXXX.XX"), item(0, kMeter, "02010100", "XXX.X")}));
    QTest::qWait(50);
    m_reader->cancel();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(seen, (QVector<int>{0, 1}));
    QCOMPARE(statuses, (QVector<Status>{Status::NotSent, Status::NotSent}));
    QVERIFY(!m_reader->isBusy());

    // The cancelled request's reply arrives during the next round and is not its value.
    disconnect(m_reader.get(), &Dlt645Reader::itemRead, this, nullptr);
    m_peer->answerDelayMs = 0;
    const Round round = readOnce(*m_reader, {item(0, kMeter, "02010100", "XXX.X")});
    QCOMPARE(round.results.at(0).value, QStringLiteral("220.5"));
}

void TstDlt645Read::refusedRtsIsOnlyAWarning()
{
    // A pseudo-terminal has no modem lines: raising RTS fails there, as on adapters without it.
    Dlt645Reader reader;
    QSignalSpy warned(&reader, &Dlt645Reader::lineWarning);
    SerialLine::Settings settings;
    settings.device = m_pty->first();
    settings.baudRate = 9600;
    settings.rts = true;
    QString error;
    m_reader.reset(); // one reader on the line at a time
    QVERIFY2(reader.open(settings, &error), qPrintable(error));
    QCOMPARE(warned.count(), 1);
    QVERIFY(warned.first().first().toString().contains(QStringLiteral("RTS")));
    reader.setTimeouts(kTimeoutMs, -1);
    const Round round = readOnce(reader, {item(0, kMeter, "02010100", "XXX.X")});
    QCOMPARE(round.results.at(0).value, QStringLiteral("220.5"));
}

QTEST_GUILESS_MAIN(TstDlt645Read)
#include "tst_dlt645read.moc"
