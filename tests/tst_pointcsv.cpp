// CSV reading and writing of a slave's data-point table, without widgets: every check, its
// order, what stops an import and what only warns, and that quoting round-trips values
// a plain comma split would tear apart.
#include "core/project/PointCsv.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

const QStringList kHeader = {"Address", "Name", "Type", "Length", "Permissions", "Deleat"};
const QString kHeaderLine = QStringLiteral("Address,Name,Type,Length,Permissions,Deleat\n");

QString problemName(PointCsv::Problem problem)
{
    switch (problem) {
    case PointCsv::Problem::ColumnCount: return QStringLiteral("ColumnCount");
    case PointCsv::Problem::Header: return QStringLiteral("Header");
    case PointCsv::Problem::Address: return QStringLiteral("Address");
    case PointCsv::Problem::Choice: return QStringLiteral("Choice");
    case PointCsv::Problem::Length: return QStringLiteral("Length");
    case PointCsv::Problem::Quote: return QStringLiteral("Quote");
    }
    return QString();
}

QStringList describe(const QList<PointCsv::Message> &messages)
{
    QStringList out;
    for (const PointCsv::Message &m : messages)
        out << QStringLiteral("%1@%2").arg(problemName(m.problem)).arg(m.line);
    return out;
}

// The reading rules applied literally to text without quotes: lines, empty ones skipped,
// split at every comma; used to show that quote-free files read as they always did.
PointCsv::ReadResult plainReference(const QString &text, const QStringList &header)
{
    static const QStringList types = PointCsv::dataTypes();
    PointCsv::ReadResult result;
    int headerFields = -1;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        auto stop = [&](PointCsv::Problem p) {
            result.messages.append({p, i + 1});
            result.stopped = true;
            result.rows.clear();
        };
        if (fields.size() < 6) {
            stop(PointCsv::Problem::ColumnCount);
            return result;
        }
        if (headerFields < 0) {
            QStringList labels = fields;
            labels.removeAll(QString());
            if (labels != header) {
                stop(PointCsv::Problem::Header);
                return result;
            }
            headerFields = fields.size();
            continue;
        }
        if (!QRegularExpression("^[\\x21-\\x7E]+$").match(fields[0]).hasMatch()) {
            stop(PointCsv::Problem::Address);
            return result;
        }
        if (!types.contains(fields[2])) {
            result.messages.append({PointCsv::Problem::Choice, i + 1});
        } else {
            if (!QRegularExpression("^-?\\d*$").match(fields[3]).hasMatch()) {
                stop(PointCsv::Problem::Length);
                return result;
            }
            if (!QRegularExpression("^(r|rw)$").match(fields[4]).hasMatch())
                result.messages.append({PointCsv::Problem::Choice, i + 1});
        }
        QStringList kept;
        for (int f = 0; f < qMin(fields.size(), headerFields); ++f)
            kept << fields[f].trimmed();
        result.rows << kept;
    }
    return result;
}

} // namespace

class TstPointCsv : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void decode_data();
    void decode();
    void quoteFreeTextReadsAsPlainSplit();
    void writeExactText();
    void roundTrip_data();
    void roundTrip();
    void randomRoundTrip();
};

void TstPointCsv::read_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("stopped");

    using Rows = QList<QStringList>;
    const QString h = kHeaderLine;

    QTest::newRow("empty file") << QString() << Rows() << QStringList() << false;
    QTest::newRow("header only") << h << Rows() << QStringList() << false;
    QTest::newRow("blank lines and header with trailing comma")
        << QString("\n\nAddress,Name,Type,Length,Permissions,Deleat,\n\n1,T,int16,1,r,\n")
        << Rows{{"1", "T", "int16", "1", "r", ""}} << QStringList() << false;
    QTest::newRow("CRLF line ends")
        << QString("Address,Name,Type,Length,Permissions,Deleat\r\n1,T,bool,1,r,\r\n")
        << Rows{{"1", "T", "bool", "1", "r", ""}} << QStringList() << false;
    QTest::newRow("header with five fields") << QString("Address,Name,Type,Length,Permissions\n")
                                             << Rows() << QStringList{"ColumnCount@1"} << true;
    QTest::newRow("data line with five fields")
        << h + "1,A,bool,1,r,\n2,B,bool,1,r\n" << Rows() << QStringList{"ColumnCount@3"} << true;
    QTest::newRow("blank-only line is not empty")
        << h + "   \n" << Rows() << QStringList{"ColumnCount@2"} << true;
    QTest::newRow("wrong header label") << QString("Address,Name,Type,Length,Permission,Deleat\n1,A,bool,1,r,\n")
                                        << Rows() << QStringList{"Header@1"} << true;
    QTest::newRow("header out of order") << QString("Name,Address,Type,Length,Permissions,Deleat\n")
                                         << Rows() << QStringList{"Header@1"} << true;
    QTest::newRow("header label padded") << QString("Address ,Name,Type,Length,Permissions,Deleat\n")
                                         << Rows() << QStringList{"Header@1"} << true;
    QTest::newRow("address with blank stops after good lines")
        << h + "1,A,bool,1,r,\n1 2,B,bool,1,r,\n" << Rows() << QStringList{"Address@3"} << true;
    QTest::newRow("address checked before trimming")
        << h + " 7,A,bool,1,r,\n" << Rows() << QStringList{"Address@2"} << true;
    QTest::newRow("empty address") << h + ",A,bool,1,r,\n" << Rows() << QStringList{"Address@2"} << true;
    QTest::newRow("Bool warns, length unchecked")
        << h + "1,A,Bool,x,zz,\n" << Rows{{"1", "A", "Bool", "x", "zz", ""}} << QStringList{"Choice@2"} << false;
    QTest::newRow("bad length") << h + "1,A,int16,1.5,r,\n" << Rows() << QStringList{"Length@2"} << true;
    QTest::newRow("negative and empty length pass")
        << h + "1,A,int16,-5,r,\n2,B,string,,rw,\n"
        << Rows{{"1", "A", "int16", "-5", "r", ""}, {"2", "B", "string", "", "rw", ""}} << QStringList() << false;
    QTest::newRow("bad permissions warns")
        << h + "1,A,bool,1,w,\n" << Rows{{"1", "A", "bool", "1", "w", ""}} << QStringList{"Choice@2"} << false;
    QTest::newRow("warning then stop keeps only the stop's effect")
        << h + "1,A,Bool,1,r,\n2,B,bool,x,r,\n" << Rows() << QStringList{"Choice@2", "Length@3"} << true;
    QTest::newRow("fields trimmed")
        << h + "1, Temp ,int16,2,rw, x \n" << Rows{{"1", "Temp", "int16", "2", "rw", "x"}} << QStringList() << false;
    QTest::newRow("padded type warns and is kept trimmed")
        << h + "1,A, int16 ,2,rw,\n" << Rows{{"1", "A", "int16", "2", "rw", ""}} << QStringList{"Choice@2"} << false;
    QTest::newRow("no more fields than the header")
        << h + "1,A,bool,1,r,,extra,more\n" << Rows{{"1", "A", "bool", "1", "r", ""}} << QStringList() << false;
    QTest::newRow("quoted comma and quotes")
        << h + "\"1,2\",\"say \"\"hi\"\"\",bool,1,r,\n"
        << Rows{{"1,2", "say \"hi\"", "bool", "1", "r", ""}} << QStringList() << false;
    QTest::newRow("quoted line break counts lines")
        << h + "1,\"two\nlines\",bool,1,r,\n2,B,bool,x,r,\n" << Rows() << QStringList{"Length@4"} << true;
    QTest::newRow("quote inside an unquoted field is literal")
        << h + "1,a\"b,bool,1,r,\n" << Rows{{"1", "a\"b", "bool", "1", "r", ""}} << QStringList() << false;
    QTest::newRow("quoted header labels")
        << QString("\"Address\",Name,Type,Length,Permissions,\"Deleat\"\n1,A,bool,1,r,\n")
        << Rows{{"1", "A", "bool", "1", "r", ""}} << QStringList() << false;
    // A quote left open would swallow every following line into one name.
    QTest::newRow("unterminated quote stops at its row")
        << h + "1,A,bool,1,r,\n\"2,B,bool,1,r,\n3,C,bool,1,r,\n4,D,bool,1,r,\n" << Rows()
        << QStringList{"Quote@3"} << true;
    QTest::newRow("unterminated quote counted after a quoted line break")
        << h + "1,\"two\nlines\",bool,1,r,\n2,B,bool,1,r,\"\n" << Rows() << QStringList{"Quote@4"} << true;
    QTest::newRow("unterminated quote in the header") << QString("\"Address,Name,Type,Length,Permissions,Deleat\n")
                                                     << Rows() << QStringList{"Quote@1"} << true;
    QTest::newRow("an earlier stop comes first")
        << h + "1 2,A,bool,1,r,\n2,\"B,bool,1,r,\n" << Rows() << QStringList{"Address@2"} << true;
}

void TstPointCsv::read()
{
    QFETCH(QString, text);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QStringList, messages);
    QFETCH(bool, stopped);

    const PointCsv::ReadResult result = PointCsv::read(text, kHeader);
    QCOMPARE(describe(result.messages), messages);
    QCOMPARE(result.stopped, stopped);
    QCOMPARE(result.rows, rows);
}

void TstPointCsv::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString chinese = QStringLiteral("地址,名称\n");
    QTest::newRow("ASCII") << QByteArray("Address,Name\n") << QStringLiteral("Address,Name\n");
    QTest::newRow("UTF-8") << chinese.toUtf8() << chinese;
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + chinese.toUtf8() << chinese;
    // "地址,名称" as a spreadsheet writes it on a Chinese system: no valid UTF-8.
    QTest::newRow("GBK") << QByteArray("\xB5\xD8\xD6\xB7,\xC3\xFB\xB3\xC6\n") << chinese;
}

void TstPointCsv::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(PointCsv::decode(bytes), text);
}

void TstPointCsv::quoteFreeTextReadsAsPlainSplit()
{
    // Random quote-free files, line by line, from field values that hit every rule.
    const QStringList values = {"1", "A", " x ", "-5", "1.5", "", "a b", "bool", "Bool", "int16",
                                "string", "r", "rw", "w", "Name"};
    QRandomGenerator rng(20240607);
    for (int round = 0; round < 3000; ++round) {
        QString text = rng.bounded(8) == 0 ? QString() : kHeaderLine;
        if (rng.bounded(8) == 0)
            text = kHeaderLine.chopped(1) + ",\n";
        const int lines = int(rng.bounded(7));
        for (int line = 0; line < lines; ++line) {
            if (rng.bounded(6) == 0) {
                text += QLatin1Char('\n');
                continue;
            }
            QStringList fields = {"1", "A", "int16", "1", "r", ""};
            const int size = 4 + int(rng.bounded(5));
            while (fields.size() < size)
                fields << QString();
            while (fields.size() > size)
                fields.removeLast();
            for (int f = 0; f < fields.size(); ++f) {
                if (rng.bounded(4) == 0)
                    fields[f] = values.at(int(rng.bounded(values.size())));
            }
            text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
        }
        const PointCsv::ReadResult got = PointCsv::read(text, kHeader);
        const PointCsv::ReadResult want = plainReference(text, kHeader);
        QVERIFY2(got.rows == want.rows && describe(got.messages) == describe(want.messages)
                     && got.stopped == want.stopped,
                 qPrintable(QStringLiteral("text: %1").arg(text)));
    }
}

void TstPointCsv::writeExactText()
{
    const QString text = PointCsv::write(kHeader, {{"40001", "Temp", "int16", "1", "r", ""},
                                                   {"1,2", "say \"hi\"", "string", "8", "rw", ""}});
    QCOMPARE(text, QString("Address,Name,Type,Length,Permissions,Deleat\n"
                           "40001,Temp,int16,1,r,\n"
                           "\"1,2\",\"say \"\"hi\"\"\",string,8,rw,\n"));
    QCOMPARE(PointCsv::write(kHeader, {}), kHeaderLine);
}

void TstPointCsv::roundTrip_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::newRow("plain") << QStringList{"40001", "Temp", "int16", "1", "r", ""};
    QTest::newRow("comma in address") << QStringList{"1,2", "A", "bool", "1", "r", ""};
    QTest::newRow("quotes in name") << QStringList{"7", "say \"hi\"", "bool", "1", "rw", ""};
    QTest::newRow("leading quote") << QStringList{"\"x", "\"", "bool", "1", "r", ""};
    QTest::newRow("line break in name") << QStringList{"7", "a\nb", "string", "4", "r", ""};
    QTest::newRow("only commas") << QStringList{",,", ",", "bool", "1", "r", ","};
}

void TstPointCsv::roundTrip()
{
    QFETCH(QStringList, row);
    const PointCsv::ReadResult result = PointCsv::read(PointCsv::write(kHeader, {row, row}), kHeader);
    QVERIFY(result.messages.isEmpty());
    QCOMPARE(result.rows, (QList<QStringList>{row, row}));
}

void TstPointCsv::randomRoundTrip()
{
    // Any address that passes the address rule and any name without surrounding blanks
    // (import trims) must come back unchanged.
    const QString alphabet = QStringLiteral("ab,\"\n1 :[]_.");
    QRandomGenerator rng(77);
    auto randomText = [&](bool printable) {
        QString s;
        const int n = 1 + int(rng.bounded(8));
        for (int i = 0; i < n; ++i) {
            const QChar c = alphabet.at(int(rng.bounded(alphabet.size())));
            s += printable && (c == QLatin1Char(' ') || c == QLatin1Char('\n')) ? QLatin1Char('x') : c;
        }
        return s.trimmed().isEmpty() ? QStringLiteral("z") : s.trimmed();
    };
    for (int round = 0; round < 500; ++round) {
        QList<QStringList> rows;
        for (int r = 0; r < 4; ++r)
            rows << QStringList{randomText(true), randomText(false), "uint32", "2", "rw", ""};
        const PointCsv::ReadResult result = PointCsv::read(PointCsv::write(kHeader, rows), kHeader);
        QVERIFY(result.messages.isEmpty());
        QCOMPARE(result.rows, rows);
    }
}

QTEST_GUILESS_MAIN(TstPointCsv)
#include "tst_pointcsv.moc"
