// The Modbus decoding contract: addresses, value decoding and encoding in every byte order,
// strings, the reading plan and the link parameters.

#include "core/modbus/ModbusLinkSettings.h"
#include "core/modbus/ModbusPoint.h"
#include "core/modbus/ModbusReadPlan.h"
#include "core/modbus/ModbusSlave.h"
#include "core/modbus/ModbusValueCodec.h"

#include <QtTest>

namespace {

QVector<quint16> wordsOf(const QString &text)
{
    QVector<quint16> words;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.append(quint16(word.toUInt(nullptr, 16)));
    return words;
}

QString hexOf(const QVector<quint16> &words)
{
    QStringList parts;
    for (quint16 word : words)
        parts.append(QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper());
    return parts.join(QLatin1Char(' '));
}

ModbusPoint registerPoint(const QString &type, const QString &length = QStringLiteral("1"))
{
    return ModbusPoint::fromRow({QStringLiteral("40001"), QStringLiteral("p"), type, length, QStringLiteral("rw")},
                                false);
}

} // namespace

class tst_ModbusCodec : public QObject
{
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
    void typesOnTables_data();
    void typesOnTables();
    void valuesInEveryByteOrder_data();
    void valuesInEveryByteOrder();
    void decodeOnly_data();
    void decodeOnly();
    void badWriteValues_data();
    void badWriteValues();
    void strings_data();
    void strings();
    void readingPlan_data();
    void readingPlan();
    void linkParameters();
};

void tst_ModbusCodec::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("startAddress0");
    QTest::addColumn<int>("function"); // 0: address error
    QTest::addColumn<int>("address");

    QTest::newRow("coil 1 from 1") << "1" << false << 1 << 0;
    QTest::newRow("coil 1 from 0") << "1" << true << 1 << 1;
    QTest::newRow("coil 0 from 1") << "0" << false << 0 << 0;
    QTest::newRow("coil 0 from 0") << "00000" << true << 1 << 0;
    QTest::newRow("discrete 10001") << "10001" << false << 2 << 0;
    QTest::newRow("discrete 19999 from 0") << "19999" << true << 2 << 9999;
    QTest::newRow("input 30010") << "30010" << false << 4 << 9;
    QTest::newRow("holding 40001") << "40001" << false << 3 << 0;
    QTest::newRow("holding 40001 from 0") << "40001" << true << 3 << 1;
    QTest::newRow("six digits 465536 from 0") << "465536" << true << 0 << 0;
    QTest::newRow("six digits input 300001") << "300001" << false << 4 << 0;
    QTest::newRow("six digits 465535 from 0") << "465535" << true << 3 << 65535;
    QTest::newRow("six digits 465536 from 1") << "465536" << false << 3 << 65535;
    QTest::newRow("six digits past 65535") << "499999" << true << 0 << 0;
    QTest::newRow("short number is a coil") << "123" << false << 1 << 122;
    QTest::newRow("table 2") << "20001" << false << 0 << 0;
    QTest::newRow("table 5") << "50001" << false << 0 << 0;
    QTest::newRow("seven digits") << "4000001" << false << 0 << 0;
    QTest::newRow("hex") << "0x10" << false << 0 << 0;
    QTest::newRow("sign") << "-40001" << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
}

void tst_ModbusCodec::addresses()
{
    QFETCH(QString, text);
    QFETCH(bool, startAddress0);
    QFETCH(int, function);
    QFETCH(int, address);
    const ModbusPoint point = ModbusPoint::fromRow({text, "p", "bool", "1", "r"}, startAddress0);
    if (function == 0) {
        QCOMPARE(point.error, ModbusPoint::AddressError);
        return;
    }
    QCOMPARE(point.error, QString());
    QCOMPARE(point.readFunction(), function);
    QCOMPARE(point.address, address);
}

void tst_ModbusCodec::typesOnTables_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("length");
    QTest::addColumn<int>("count"); // 0: type error

    QTest::newRow("bool on coil") << "00001" << "bool" << "1" << 1;
    QTest::newRow("bool on discrete") << "10001" << "bool" << "1" << 1;
    QTest::newRow("int16 on coil") << "00001" << "int16" << "1" << 0;
    QTest::newRow("float on discrete") << "10001" << "float" << "1" << 0;
    QTest::newRow("bool on holding") << "40001" << "bool" << "1" << 1;
    QTest::newRow("uint8 on input") << "30001" << "uint8" << "1" << 1;
    QTest::newRow("int32") << "40001" << "int32" << "1" << 2;
    QTest::newRow("float") << "40001" << "float" << "1" << 2;
    QTest::newRow("uint64") << "30001" << "uint64" << "1" << 4;
    QTest::newRow("double") << "40001" << "double" << "1" << 4;
    QTest::newRow("string 5") << "40001" << "string" << "5" << 5;
    QTest::newRow("string 0") << "40001" << "string" << "0" << 0;
    QTest::newRow("string longer than a request") << "40001" << "string" << "126" << 0;
    QTest::newRow("unknown type") << "40001" << "Bool" << "1" << 0;
}

void tst_ModbusCodec::typesOnTables()
{
    QFETCH(QString, address);
    QFETCH(QString, type);
    QFETCH(QString, length);
    QFETCH(int, count);
    const ModbusPoint point = ModbusPoint::fromRow({address, "p", type, length, "r"}, false);
    QCOMPARE(point.error, count == 0 ? ModbusPoint::TypeError : QString());
    if (count > 0)
        QCOMPARE(point.count, count);
}

void tst_ModbusCodec::valuesInEveryByteOrder_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("text");

    QTest::newRow("bool ABCD 1") << "bool" << "ABCD" << "0001" << "1";
    QTest::newRow("bool CDAB 1") << "bool" << "CDAB" << "0001" << "1";
    QTest::newRow("bool BADC 1") << "bool" << "BADC" << "0100" << "1";
    QTest::newRow("bool DCBA 1") << "bool" << "DCBA" << "0100" << "1";
    QTest::newRow("bool ABCD 0") << "bool" << "ABCD" << "0000" << "0";
    QTest::newRow("bool CDAB 0") << "bool" << "CDAB" << "0000" << "0";
    QTest::newRow("bool BADC 0") << "bool" << "BADC" << "0000" << "0";
    QTest::newRow("bool DCBA 0") << "bool" << "DCBA" << "0000" << "0";
    QTest::newRow("int8 ABCD -2") << "int8" << "ABCD" << "00FE" << "-2";
    QTest::newRow("int8 CDAB -2") << "int8" << "CDAB" << "00FE" << "-2";
    QTest::newRow("int8 BADC -2") << "int8" << "BADC" << "FE00" << "-2";
    QTest::newRow("int8 DCBA -2") << "int8" << "DCBA" << "FE00" << "-2";
    QTest::newRow("uint8 ABCD 254") << "uint8" << "ABCD" << "00FE" << "254";
    QTest::newRow("uint8 CDAB 254") << "uint8" << "CDAB" << "00FE" << "254";
    QTest::newRow("uint8 BADC 254") << "uint8" << "BADC" << "FE00" << "254";
    QTest::newRow("uint8 DCBA 254") << "uint8" << "DCBA" << "FE00" << "254";
    QTest::newRow("int16 ABCD -2") << "int16" << "ABCD" << "FFFE" << "-2";
    QTest::newRow("int16 CDAB -2") << "int16" << "CDAB" << "FFFE" << "-2";
    QTest::newRow("int16 BADC -2") << "int16" << "BADC" << "FEFF" << "-2";
    QTest::newRow("int16 DCBA -2") << "int16" << "DCBA" << "FEFF" << "-2";
    QTest::newRow("uint16 ABCD 4660") << "uint16" << "ABCD" << "1234" << "4660";
    QTest::newRow("uint16 CDAB 4660") << "uint16" << "CDAB" << "1234" << "4660";
    QTest::newRow("uint16 BADC 4660") << "uint16" << "BADC" << "3412" << "4660";
    QTest::newRow("uint16 DCBA 4660") << "uint16" << "DCBA" << "3412" << "4660";
    QTest::newRow("int32 ABCD 305419896") << "int32" << "ABCD" << "1234 5678" << "305419896";
    QTest::newRow("int32 CDAB 305419896") << "int32" << "CDAB" << "5678 1234" << "305419896";
    QTest::newRow("int32 BADC 305419896") << "int32" << "BADC" << "3412 7856" << "305419896";
    QTest::newRow("int32 DCBA 305419896") << "int32" << "DCBA" << "7856 3412" << "305419896";
    QTest::newRow("int32 ABCD -2") << "int32" << "ABCD" << "FFFF FFFE" << "-2";
    QTest::newRow("int32 CDAB -2") << "int32" << "CDAB" << "FFFE FFFF" << "-2";
    QTest::newRow("int32 BADC -2") << "int32" << "BADC" << "FFFF FEFF" << "-2";
    QTest::newRow("int32 DCBA -2") << "int32" << "DCBA" << "FEFF FFFF" << "-2";
    QTest::newRow("uint32 ABCD 4294967294") << "uint32" << "ABCD" << "FFFF FFFE" << "4294967294";
    QTest::newRow("uint32 CDAB 4294967294") << "uint32" << "CDAB" << "FFFE FFFF" << "4294967294";
    QTest::newRow("uint32 BADC 4294967294") << "uint32" << "BADC" << "FFFF FEFF" << "4294967294";
    QTest::newRow("uint32 DCBA 4294967294") << "uint32" << "DCBA" << "FEFF FFFF" << "4294967294";
    QTest::newRow("int64 ABCD 72623859790382856") << "int64" << "ABCD" << "0102 0304 0506 0708" << "72623859790382856";
    QTest::newRow("int64 CDAB 72623859790382856") << "int64" << "CDAB" << "0708 0506 0304 0102" << "72623859790382856";
    QTest::newRow("int64 BADC 72623859790382856") << "int64" << "BADC" << "0201 0403 0605 0807" << "72623859790382856";
    QTest::newRow("int64 DCBA 72623859790382856") << "int64" << "DCBA" << "0807 0605 0403 0201" << "72623859790382856";
    QTest::newRow("int64 ABCD -1") << "int64" << "ABCD" << "FFFF FFFF FFFF FFFF" << "-1";
    QTest::newRow("int64 CDAB -1") << "int64" << "CDAB" << "FFFF FFFF FFFF FFFF" << "-1";
    QTest::newRow("int64 BADC -1") << "int64" << "BADC" << "FFFF FFFF FFFF FFFF" << "-1";
    QTest::newRow("int64 DCBA -1") << "int64" << "DCBA" << "FFFF FFFF FFFF FFFF" << "-1";
    QTest::newRow("uint64 ABCD 18446744073709551614") << "uint64" << "ABCD" << "FFFF FFFF FFFF FFFE" << "18446744073709551614";
    QTest::newRow("uint64 CDAB 18446744073709551614") << "uint64" << "CDAB" << "FFFE FFFF FFFF FFFF" << "18446744073709551614";
    QTest::newRow("uint64 BADC 18446744073709551614") << "uint64" << "BADC" << "FFFF FFFF FFFF FEFF" << "18446744073709551614";
    QTest::newRow("uint64 DCBA 18446744073709551614") << "uint64" << "DCBA" << "FEFF FFFF FFFF FFFF" << "18446744073709551614";
    QTest::newRow("float ABCD 1234.56") << "float" << "ABCD" << "449A 51EC" << "1234.56";
    QTest::newRow("float CDAB 1234.56") << "float" << "CDAB" << "51EC 449A" << "1234.56";
    QTest::newRow("float BADC 1234.56") << "float" << "BADC" << "9A44 EC51" << "1234.56";
    QTest::newRow("float DCBA 1234.56") << "float" << "DCBA" << "EC51 9A44" << "1234.56";
    QTest::newRow("float ABCD -0.25") << "float" << "ABCD" << "BE80 0000" << "-0.25";
    QTest::newRow("float CDAB -0.25") << "float" << "CDAB" << "0000 BE80" << "-0.25";
    QTest::newRow("float BADC -0.25") << "float" << "BADC" << "80BE 0000" << "-0.25";
    QTest::newRow("float DCBA -0.25") << "float" << "DCBA" << "0000 80BE" << "-0.25";
    QTest::newRow("double ABCD 123456.789") << "double" << "ABCD" << "40FE 240C 9FBE 76C9" << "123456.789";
    QTest::newRow("double CDAB 123456.789") << "double" << "CDAB" << "76C9 9FBE 240C 40FE" << "123456.789";
    QTest::newRow("double BADC 123456.789") << "double" << "BADC" << "FE40 0C24 BE9F C976" << "123456.789";
    QTest::newRow("double DCBA 123456.789") << "double" << "DCBA" << "C976 BE9F 0C24 FE40" << "123456.789";
    QTest::newRow("double ABCD -1.2345678") << "double" << "ABCD" << "BFF3 C0CA 2A5B 1D5D" << "-1.2345678";
    QTest::newRow("double CDAB -1.2345678") << "double" << "CDAB" << "1D5D 2A5B C0CA BFF3" << "-1.2345678";
    QTest::newRow("double BADC -1.2345678") << "double" << "BADC" << "F3BF CAC0 5B2A 5D1D" << "-1.2345678";
    QTest::newRow("double DCBA -1.2345678") << "double" << "DCBA" << "5D1D 5B2A CAC0 F3BF" << "-1.2345678";
}

void tst_ModbusCodec::valuesInEveryByteOrder()
{
    QFETCH(QString, type);
    QFETCH(QString, order);
    QFETCH(QString, words);
    QFETCH(QString, text);
    const ModbusPoint point = registerPoint(type);
    QVERIFY(point.error.isEmpty());
    const ModbusValueCodec codec(ModbusValueCodec::byteOrderFromText(order));
    QCOMPARE(codec.decode(point, wordsOf(words)), text);
    // A write puts back exactly the registers a read takes the value from.
    QVector<quint16> encoded;
    QString error;
    QVERIFY2(codec.encode(point, text, &encoded, &error), qPrintable(error));
    QCOMPARE(hexOf(encoded), words);
}

void tst_ModbusCodec::decodeOnly_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("text");

    QTest::newRow("int8 ignores the high byte") << "40001" << "int8" << "ABCD" << "12FE" << "-2";
    QTest::newRow("uint8 swapped") << "40001" << "uint8" << "BADC" << "12FE" << "18";
    QTest::newRow("bool register any bit") << "40001" << "bool" << "ABCD" << "8000" << "1";
    QTest::newRow("coil on") << "00001" << "bool" << "ABCD" << "0001" << "1";
    QTest::newRow("discrete off") << "10001" << "bool" << "DCBA" << "0000" << "0";
    QTest::newRow("float 7 digits") << "40001" << "float" << "ABCD" << "4B3C 614E" << "1.234568e+07";
    QTest::newRow("double 15 digits") << "40001" << "double" << "ABCD" << "3FB9 9999 9999 999A" << "0.1";
    QTest::newRow("float pi") << "40001" << "float" << "DCBA" << "DB0F 4940" << "3.141593";
    QTest::newRow("double pi") << "40001" << "double" << "CDAB" << "2D18 5444 21FB 4009" << "3.14159265358979";
}

void tst_ModbusCodec::decodeOnly()
{
    QFETCH(QString, address);
    QFETCH(QString, type);
    QFETCH(QString, order);
    QFETCH(QString, words);
    QFETCH(QString, text);
    const ModbusPoint point = ModbusPoint::fromRow({address, "p", type, "1", "r"}, false);
    QVERIFY(point.error.isEmpty());
    QCOMPARE(ModbusValueCodec(ModbusValueCodec::byteOrderFromText(order)).decode(point, wordsOf(words)), text);
}

void tst_ModbusCodec::badWriteValues_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");

    QTest::newRow("bool 2") << "bool" << "2";
    QTest::newRow("int8 128") << "int8" << "128";
    QTest::newRow("uint8 -1") << "uint8" << "-1";
    QTest::newRow("int16 40000") << "int16" << "40000";
    QTest::newRow("uint32 text") << "uint32" << "abc";
    QTest::newRow("float empty") << "float" << "";
    QTest::newRow("string too long") << "string" << "ABC";
}

void tst_ModbusCodec::badWriteValues()
{
    QFETCH(QString, type);
    QFETCH(QString, value);
    QVector<quint16> words;
    QString error;
    QVERIFY(!ModbusValueCodec().encode(registerPoint(type), value, &words, &error));
    QVERIFY(!error.isEmpty());
}

void tst_ModbusCodec::strings_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<bool>("charReversed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("roundTrip");

    QTest::newRow("plain") << "4142 4344" << false << "ABCD" << true;
    QTest::newRow("reversed") << "4142 4344" << true << "BADC" << true;
    QTest::newRow("odd length padded with NUL") << "4142 4300" << false << "ABC" << true;
    QTest::newRow("reversed odd length") << "4241 0043" << true << "ABC" << true;
    QTest::newRow("trailing spaces and NULs") << "4142 2000 2020" << false << "AB" << false;
    QTest::newRow("inner space kept") << "4120 4200" << false << "A B" << true;
    QTest::newRow("empty") << "0000 0000" << false << "" << true;
}

void tst_ModbusCodec::strings()
{
    QFETCH(QString, words);
    QFETCH(bool, charReversed);
    QFETCH(QString, text);
    QFETCH(bool, roundTrip);
    const QVector<quint16> registers = wordsOf(words);
    const ModbusPoint point = registerPoint("string", QString::number(registers.size()));
    // The byte order never applies to strings.
    for (const char *order : {"ABCD", "DCBA"}) {
        const ModbusValueCodec codec(ModbusValueCodec::byteOrderFromText(order), charReversed);
        QCOMPARE(codec.decode(point, registers), text);
        if (roundTrip) {
            QVector<quint16> encoded;
            QString error;
            QVERIFY(codec.encode(point, text, &encoded, &error));
            QCOMPARE(hexOf(encoded), words);
        }
    }
}

void tst_ModbusCodec::readingPlan_data()
{
    // points: "address type [length]" separated by commas; requests: "function start count"
    // separated by commas, in plan order.
    QTest::addColumn<QString>("points");
    QTest::addColumn<QString>("requests");

    QTest::newRow("adjacent registers") << "40001 int16, 40002 float, 40004 double" << "3 0 7";
    QTest::newRow("gap of 16 merges") << "40001 int16, 40018 int16" << "3 0 18";
    QTest::newRow("gap of 17 splits") << "40001 int16, 40019 int16" << "3 0 1, 3 18 1";
    QTest::newRow("sorted by address") << "40050 int16, 40001 uint16, 40040 int32" << "3 0 1, 3 39 11";
    const QString chain = "40001 int16, 40017 int16, 40033 int16, 40049 int16, 40065 int16, "
                          "40081 int16, 40097 int16, 40113 int16, ";
    QTest::newRow("125 registers fit") << chain + "40122 double" << "3 0 125";
    QTest::newRow("126 registers split") << chain + "40123 double" << "3 0 113, 3 122 4";
    QTest::newRow("long string") << "40001 string 124, 40125 int32" << "3 0 124, 3 124 2";
    QTest::newRow("overlapping points") << "40001 double, 40002 int16" << "3 0 4";
    QTest::newRow("tables apart") << "40001 int16, 30001 int16, 00001 bool, 10001 bool"
                                  << "1 0 1, 2 0 1, 4 0 1, 3 0 1";
    QTest::newRow("bit gap of 128 merges") << "00001 bool, 00130 bool" << "1 0 130";
    QTest::newRow("bit gap of 129 splits") << "00001 bool, 00131 bool" << "1 0 1, 1 130 1";
    QTest::newRow("2000 bits fit") << "00001 bool, 00100 bool, 00200 bool, 00300 bool, 00400 bool, "
                                      "00500 bool, 00600 bool, 00700 bool, 00800 bool, 00900 bool, "
                                      "01000 bool, 01100 bool, 01200 bool, 01300 bool, 01400 bool, "
                                      "01500 bool, 01600 bool, 01700 bool, 01800 bool, 01900 bool, "
                                      "02000 bool, 02001 bool"
                                   << "1 0 2000, 1 2000 1";
    QTest::newRow("errors left out") << "40001 int16, 50001 int16, 00001 int16, 40003 int16" << "3 0 3";
}

void tst_ModbusCodec::readingPlan()
{
    QFETCH(QString, points);
    QFETCH(QString, requests);
    QVector<ModbusPoint> list;
    for (const QString &entry : points.split(QLatin1Char(','))) {
        const QStringList parts = entry.simplified().split(QLatin1Char(' '));
        list.append(ModbusPoint::fromRow({parts.at(0), "p", parts.at(1), parts.value(2, "1"), "r"}, false));
    }
    QStringList planned;
    QSet<int> covered;
    for (const ModbusReadPlan::Request &request : ModbusReadPlan::build(list)) {
        ModbusPoint probe;
        probe.table = request.table;
        planned.append(QStringLiteral("%1 %2 %3").arg(probe.readFunction()).arg(request.start).arg(request.count));
        for (int index : request.points) {
            const ModbusPoint &point = list.at(index);
            QVERIFY(point.table == request.table);
            QVERIFY(point.address >= request.start);
            QVERIFY(point.address + point.count <= request.start + request.count);
            covered.insert(index);
        }
    }
    QCOMPARE(planned.join(QStringLiteral(", ")), requests);
    for (int i = 0; i < list.size(); ++i)
        QCOMPARE(covered.contains(i), list.at(i).error.isEmpty());
}

void tst_ModbusCodec::linkParameters()
{
    const QJsonObject tcp{{"ip", "127.0.0.9"}, {"port", "1502"}, {"connectionTimeout", "-1"},
                          {"communicationTimeout", "250"}, {"collectionInterval", "99"}};
    ModbusLinkSettings link = ModbusLinkSettings::fromParameters("ModbusTCP", tcp);
    QCOMPARE(link.mode, ModbusLinkSettings::Mode::Tcp);
    QCOMPARE(link.host, QStringLiteral("127.0.0.9"));
    QCOMPARE(link.port, 1502);
    QCOMPARE(link.connectionTimeoutMs, 1000);
    QCOMPARE(link.requestTimeoutMs, 250);
    QCOMPARE(link.intervalMs, 1000);

    const QJsonObject rtu{{"serialport", "COM2"}, {"baudRate", "9600"}, {"dataBit", "7"},
                          {"stopBit", "2"}, {"parityBit", "EVEN"}, {"communicationTimeout", ""},
                          {"collectionInterval", "100"}};
    link = ModbusLinkSettings::fromParameters("ModbusRTU", rtu);
    QCOMPARE(link.mode, ModbusLinkSettings::Mode::Rtu);
    QCOMPARE(link.projectPort, QStringLiteral("COM2"));
    QCOMPARE(link.baudRate, 9600);
    QCOMPARE(link.dataBits, 7);
    QCOMPARE(link.stopBits, 2);
    QCOMPARE(link.parity, QStringLiteral("EVEN"));
    QCOMPARE(link.requestTimeoutMs, 1000);
    QCOMPARE(link.intervalMs, 100);
    QCOMPARE(ModbusLinkSettings::intervalFromText("-1"), 1000);

    // Station numbers: 0..247, anything else fails the whole tab.
    for (const char *station : {"0", "247"})
        QCOMPARE(ModbusSlave(station, "ABCD", true, false, {}).error, QString());
    for (const char *station : {"-1", "248", "", "x"})
        QCOMPARE(ModbusSlave(station, "ABCD", true, false, {}).error, ModbusSlave::StationError);
}

QTEST_GUILESS_MAIN(tst_ModbusCodec)
#include "tst_modbuscodec.moc"
