// DL/T 645 framing, reply checks and value formats, on bytes written out by hand.

#include "core/dlt645/Dlt645Frame.h"
#include "core/dlt645/Dlt645Value.h"

#include <QtTest>

using namespace Dlt645;

Q_DECLARE_METATYPE(Dlt645::Status)

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

Address address(const char *text)
{
    Address parsed{};
    if (!parseAddress(QString::fromLatin1(text), &parsed))
        qFatal("bad test address %s", text);
    return parsed;
}

// A meter's reply as it would send it (preamble included).
QByteArray reply(const char *meter, quint8 control, const QByteArray &data)
{
    Frame frame;
    frame.address = address(meter);
    frame.control = control;
    frame.data = data;
    return encodeFrame(frame, true);
}
} // namespace

class TstDlt645Frame : public QObject
{
    Q_OBJECT
private slots:
    void requestsOnTheWire_data();
    void requestsOnTheWire();
    void addressesAndIdentifiers();
    void framesFoundByStructure_data();
    void framesFoundByStructure();
    void repliesCheckedAgainstRequest_data();
    void repliesCheckedAgainstRequest();
    void valuesByFormat_data();
    void valuesByFormat();
};

void TstDlt645Frame::requestsOnTheWire_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    quint32 id = 0;
    QVERIFY(parseIdentifier(QStringLiteral("00010000"), Edition::V2007, &id));
    QTest::newRow("2007 read") << encode(readRequest(Edition::V2007, address("210987654321"), id))
                               << hex("FE FE FE FE 68 21 43 65 87 09 21 68 11 04 33 33 34 33 2C 16");
    QVERIFY(parseIdentifier(QStringLiteral("9010"), Edition::V1997, &id));
    QTest::newRow("1997 read") << encode(readRequest(Edition::V1997, address("210987654321"), id))
                               << hex("FE FE FE FE 68 21 43 65 87 09 21 68 01 02 43 C3 53 16");
    QTest::newRow("address read") << encode(addressRequest())
                                  << hex("FE FE FE FE 68 AA AA AA AA AA AA 68 13 00 DF 16");
}

void TstDlt645Frame::requestsOnTheWire()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    QCOMPARE(sent.toHex(' '), expected.toHex(' '));
}

void TstDlt645Frame::addressesAndIdentifiers()
{
    Address parsed{};
    QVERIFY(parseAddress(QStringLiteral("210987654321"), &parsed));
    QCOMPARE(addressText(parsed), QStringLiteral("210987654321"));
    QVERIFY(parseAddress(QStringLiteral("aaaaaaaaaaaa"), &parsed));
    QVERIFY(parsed == broadcastAddress());
    for (const char *bad : {"", "21098765432", "2109876543210", "21098765432G", "21 098765432"})
        QVERIFY2(!parseAddress(QString::fromLatin1(bad), &parsed), bad);

    quint32 id = 0;
    QVERIFY(!parseIdentifier(QStringLiteral("9010"), Edition::V2007, &id));
    QVERIFY(!parseIdentifier(QStringLiteral("00010000"), Edition::V1997, &id));
    QVERIFY(!parseIdentifier(QStringLiteral("0001000G"), Edition::V2007, &id));

    // AA stands for any byte where the request has it, and only there.
    QVERIFY(addressMatches(broadcastAddress(), address("210987654321")));
    QVERIFY(addressMatches(address("AAAA87654321"), address("210987654321")));
    QVERIFY(!addressMatches(address("AAAA87654320"), address("210987654321")));
    QVERIFY(!addressMatches(address("210987654321"), address("AAAAAAAAAAAA")));
}

void TstDlt645Frame::framesFoundByStructure_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("end");

    const QByteArray good = reply("210987654321", Reply2007, hex("00 00 01 00 09 03 21 00"));
    const QByteArray bare = good.mid(kPreambleSize);
    QTest::newRow("preamble") << good << int(Scan::Found) << good.size();
    QTest::newRow("no preamble") << bare << int(Scan::Found) << bare.size();
    QTest::newRow("one FE") << (hex("FE") + bare) << int(Scan::Found) << bare.size() + 1;
    QTest::newRow("stray bytes") << (hex("00 13 68 16 FF") + bare) << int(Scan::Found) << bare.size() + 5;
    QTest::newRow("doubled 68") << (hex("68") + bare) << int(Scan::Found) << bare.size() + 1;
    QTest::newRow("trailing bytes") << (bare + hex("FE FE")) << int(Scan::Found) << bare.size();
    QTest::newRow("cut short") << bare.left(bare.size() - 1) << int(Scan::NeedMore) << 0;
    QTest::newRow("empty") << QByteArray() << int(Scan::NeedMore) << 0;
    QByteArray corrupt = bare;
    corrupt[12] = char(corrupt[12] ^ 0x01);
    QTest::newRow("bad checksum") << corrupt << int(Scan::BadChecksum) << 0;
    QTest::newRow("bad checksum, then good") << (corrupt + bare) << int(Scan::Found)
                                             << corrupt.size() + bare.size();
    QByteArray noEnd = bare;
    noEnd[noEnd.size() - 1] = 0x17;
    QTest::newRow("no end byte") << noEnd << int(Scan::NeedMore) << 0;
}

void TstDlt645Frame::framesFoundByStructure()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    QFETCH(int, end);
    const Scan found = scan(bytes);
    QCOMPARE(int(found.result), result);
    if (result == Scan::Found) {
        QCOMPARE(found.end, end);
        QCOMPARE(addressText(found.frame.address), QStringLiteral("210987654321"));
        QCOMPARE(found.frame.control, quint8(Reply2007));
        QCOMPARE(found.frame.data.toHex(' '), QByteArray("00 00 01 00 09 03 21 00"));
    }
}

void TstDlt645Frame::repliesCheckedAgainstRequest_data()
{
    QTest::addColumn<QString>("requested");
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("identifier"); // empty: the address read
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<Dlt645::Status>("status");
    QTest::addColumn<QByteArray>("value");

    const int v07 = int(Edition::V2007), v97 = int(Edition::V1997);
    const int ok = int(Verdict::Accepted), refused = int(Verdict::Refused), ignored = int(Verdict::Ignored);
    const QString meter = QStringLiteral("210987654321");
    const QString energy = QStringLiteral("00010000");
    const QByteArray energyReply = hex("00 00 01 00 09 03 21 00");

    QTest::newRow("2007 value") << meter << v07 << energy << reply("210987654321", Reply2007, energyReply)
                                << ok << Status::Ok << hex("09 03 21 00");
    QTest::newRow("wildcard takes any meter")
        << QStringLiteral("AAAAAAAAAAAA") << v07 << energy << reply("123456789012", Reply2007, energyReply)
        << ok << Status::Ok << hex("09 03 21 00");
    QTest::newRow("another meter") << meter << v07 << energy << reply("210987654320", Reply2007, energyReply)
                                   << refused << Status::WrongAddress << QByteArray();
    QTest::newRow("another item") << meter << v07 << energy
                                  << reply("210987654321", Reply2007, hex("00 00 02 00 09 03 21 00"))
                                  << refused << Status::WrongIdentifier << QByteArray();
    QTest::newRow("2007 error") << meter << v07 << energy << reply("210987654321", Error2007, hex("02"))
                                << ok << Status::ErrorReply << QByteArray();
    QTest::newRow("1997 reply to 2007") << meter << v07 << energy
                                        << reply("210987654321", Reply1997, hex("10 90 09 03 21 00"))
                                        << refused << Status::WrongControl << QByteArray();
    QTest::newRow("own request heard") << meter << v07 << energy
                                       << reply("210987654321", Read2007, hex("00 00 01 00"))
                                       << ignored << Status::Timeout << QByteArray();
    QTest::newRow("short data") << meter << v07 << energy << reply("210987654321", Reply2007, hex("00 00 01"))
                                << refused << Status::WrongLength << QByteArray();
    QTest::newRow("1997 value") << meter << v97 << QStringLiteral("9010")
                                << reply("210987654321", Reply1997, hex("10 90 09 03 21 00"))
                                << ok << Status::Ok << hex("09 03 21 00");
    QTest::newRow("1997 error") << meter << v97 << QStringLiteral("9010")
                                << reply("210987654321", Error1997, hex("01"))
                                << ok << Status::ErrorReply << QByteArray();
    QTest::newRow("address reply") << QStringLiteral("AAAAAAAAAAAA") << v07 << QString()
                                   << reply("210987654321", AddressReply2007, hex("21 43 65 87 09 21"))
                                   << ok << Status::Ok << QByteArray();
    QTest::newRow("address reply disagrees")
        << QStringLiteral("AAAAAAAAAAAA") << v07 << QString()
        << reply("210987654321", AddressReply2007, hex("22 43 65 87 09 21"))
        << refused << Status::WrongAddress << QByteArray();
}

void TstDlt645Frame::repliesCheckedAgainstRequest()
{
    QFETCH(QString, requested);
    QFETCH(int, edition);
    QFETCH(QString, identifier);
    QFETCH(QByteArray, answer);
    QFETCH(int, verdict);
    QFETCH(Dlt645::Status, status);
    QFETCH(QByteArray, value);

    Request request = addressRequest();
    if (!identifier.isEmpty()) {
        Address meter{};
        quint32 id = 0;
        QVERIFY(parseAddress(requested, &meter));
        QVERIFY(parseIdentifier(identifier, Edition(edition), &id));
        request = readRequest(Edition(edition), meter, id);
    }
    const Scan found = scan(answer);
    QCOMPARE(int(found.result), int(Scan::Found));
    Reply checked;
    QCOMPARE(int(check(request, found.frame, &checked)), verdict);
    QCOMPARE(checked.status, status);
    QCOMPARE(checked.value.toHex(' '), value.toHex(' '));
    if (status == Status::ErrorReply)
        QVERIFY(checked.errorCode != 0);
    // What the meter says it is, shown to the user whatever the request's wildcards.
    if (verdict == int(Verdict::Accepted))
        QVERIFY(checked.address == found.frame.address);
}

void TstDlt645Frame::valuesByFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("identifier"); // decides the sign; 2007 unless four characters
    QTest::addColumn<QByteArray>("bytes");   // least significant first, as received
    QTest::addColumn<Dlt645::Status>("status");
    QTest::addColumn<QString>("text");

    const QString energy = QStringLiteral("00010000");
    QTest::newRow("XXXXXX.XX") << "XXXXXX.XX" << energy << hex("09 21 03 00") << Status::Ok << "321.09";
    QTest::newRow("XXXXXX.XX zero") << "XXXXXX.XX" << energy << hex("00 00 00 00") << Status::Ok << "0.00";
    QTest::newRow("XXXXXX.XX max") << "XXXXXX.XX" << energy << hex("99 99 99 99") << Status::Ok << "999999.99";
    QTest::newRow("1997 trailing blank") << "XXXXXX.XX " << "9020" << hex("09 21 03 00") << Status::Ok << "321.09";
    QTest::newRow("XX.XXXX power") << "XX.XXXX" << "02030000" << hex("00 50 01") << Status::Ok << "1.5000";
    QTest::newRow("XX.XXXX negative power") << "XX.XXXX" << "02030000" << hex("00 50 81") << Status::Ok << "-1.5000";
    QTest::newRow("XX.XXXX negative reactive") << "XX.XXXX" << "02040100" << hex("34 12 80") << Status::Ok << "-0.1234";
    QTest::newRow("XX.XXXX negative apparent") << "XX.XXXX" << "02050000" << hex("00 00 90") << Status::Ok << "-10.0000";
    QTest::newRow("XXX.XXX current") << "XXX.XXX" << "02020100" << hex("34 12 00") << Status::Ok << "1.234";
    QTest::newRow("XXX.XXX negative current") << "XXX.XXX" << "02020100" << hex("34 12 80") << Status::Ok << "-1.234";
    QTest::newRow("X.XXX power factor") << "X.XXX" << "02060000" << hex("87 09") << Status::Ok << "0.987";
    QTest::newRow("X.XXX negative power factor") << "X.XXX" << "02060000" << hex("87 89") << Status::Ok << "-0.987";
    QTest::newRow("XXX.X voltage") << "XXX.X" << "02010100" << hex("05 22") << Status::Ok << "220.5";
    QTest::newRow("voltage is unsigned") << "XXX.X" << "02010100" << hex("05 82") << Status::Ok << "820.5";
    QTest::newRow("voltage not BCD") << "XXX.X" << "02010100" << hex("05 A2") << Status::BadDigits << "";
    QTest::newRow("XX.XX 1997 current") << "XX.XX" << "B621" << hex("50 01") << Status::Ok << "1.50";
    QTest::newRow("1997 has no sign") << "XX.XX" << "B640" << hex("50 81") << Status::Ok << "81.50";
    QTest::newRow("XXX 1997 voltage") << "XXX" << "B611" << hex("20 02") << Status::Ok << "220";
    QTest::newRow("XXX top nibble set") << "XXX" << "B611" << hex("20 12") << Status::BadDigits << "";
    QTest::newRow("XXXXXX constant") << "XXXXXX" << "04000409" << hex("00 16 00") << Status::Ok << "1600";
    QTest::newRow("NNNNNN 1997 constant") << "NNNNNN" << "C030" << hex("00 16 00") << Status::Ok << "1600";
    QTest::newRow("not BCD") << "XXXXXX.XX" << energy << hex("0A 00 00 00") << Status::BadDigits << "";
    QTest::newRow("too short") << "XXXXXX.XX" << energy << hex("09 21 03") << Status::WrongLength << "";
    QTest::newRow("too long") << "XX.XXXX" << "02030000" << hex("00 50 01 00") << Status::WrongLength << "";
    QTest::newRow("no format") << "" << energy << hex("00") << Status::WrongLength << "";
}

void TstDlt645Frame::valuesByFormat()
{
    QFETCH(QString, format);
    QFETCH(QString, identifier);
    QFETCH(QByteArray, bytes);
    QFETCH(Dlt645::Status, status);
    QFETCH(QString, text);

    const Edition edition = identifier.size() == 4 ? Edition::V1997 : Edition::V2007;
    quint32 id = 0;
    QVERIFY(parseIdentifier(identifier, edition, &id));
    const Value value = decodeValue(bytes, parseFormat(format), isSignedItem(edition, id));
    QCOMPARE(value.status, status);
    if (status == Status::Ok)
        QCOMPARE(value.text, text);
}

QTEST_GUILESS_MAIN(TstDlt645Frame)
#include "tst_dlt645frame.moc"
