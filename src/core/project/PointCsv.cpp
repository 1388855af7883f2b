#include "core/project/PointCsv.h"

#include <QRegularExpression>
#include <QTextCodec>

namespace {

// One record of the file: its fields and the line it starts on.
struct Record
{
    QStringList fields;
    int line = 0;
    bool unterminated = false; // a quoted field ran to the end of the text
};

// Splits the text into records. Outside quotes a "\n" ends a record (a "\r" before it is
// dropped, as a text-mode read would) and every "," ends a field. A quote opens a quoted
// field only as the first character of a field, so quote-free text splits exactly as
// QString::split(',') per line would; records of no characters at all are skipped.
QList<Record> splitRecords(const QString &text)
{
    QList<Record> records;
    const int size = text.size();
    int pos = 0;
    int line = 1;
    while (pos < size) {
        if (text.at(pos) == QLatin1Char('\n')) { // empty line
            ++pos;
            ++line;
            continue;
        }
        if (text.at(pos) == QLatin1Char('\r') && pos + 1 < size && text.at(pos + 1) == QLatin1Char('\n')) {
            pos += 2;
            ++line;
            continue;
        }

        Record record;
        record.line = line;
        QString field;
        bool endOfRecord = false;
        while (!endOfRecord) {
            field.clear();
            if (pos < size && text.at(pos) == QLatin1Char('"')) {
                ++pos;
                // Quoted part; one that runs to the end of the text marks the record.
                record.unterminated = true;
                while (pos < size) {
                    const QChar c = text.at(pos);
                    if (c == QLatin1Char('"')) {
                        if (pos + 1 < size && text.at(pos + 1) == QLatin1Char('"')) {
                            field += c;
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        record.unterminated = false;
                        break;
                    }
                    if (c == QLatin1Char('\n'))
                        ++line;
                    field += c;
                    ++pos;
                }
            }
            // Unquoted part (or whatever follows a closing quote), kept literally.
            const int start = pos;
            while (pos < size && text.at(pos) != QLatin1Char(',') && text.at(pos) != QLatin1Char('\n'))
                ++pos;
            int end = pos;
            if (pos < size && text.at(pos) == QLatin1Char('\n') && end > start
                && text.at(end - 1) == QLatin1Char('\r'))
                --end;
            field += text.midRef(start, end - start);
            record.fields.append(field);

            if (pos >= size) {
                endOfRecord = true;
            } else if (text.at(pos) == QLatin1Char(',')) {
                ++pos;
            } else { // '\n'
                ++pos;
                ++line;
                endOfRecord = true;
            }
        }
        records.append(record);
    }
    return records;
}

bool fullMatch(const QRegularExpression &re, const QString &text)
{
    return re.match(text).hasMatch();
}

} // namespace

const QStringList &PointCsv::dataTypes()
{
    static const QStringList types = {
        QStringLiteral("bool"),   QStringLiteral("int8"),   QStringLiteral("uint8"),
        QStringLiteral("int16"),  QStringLiteral("uint16"), QStringLiteral("int32"),
        QStringLiteral("uint32"), QStringLiteral("int64"),  QStringLiteral("uint64"),
        QStringLiteral("float"),  QStringLiteral("double"), QStringLiteral("string"),
    };
    return types;
}

const QStringList &PointCsv::permissions()
{
    static const QStringList choices = {QStringLiteral("r"), QStringLiteral("rw")};
    return choices;
}

bool PointCsv::isValidAddress(const QString &text)
{
    // \A...\z rather than ^...$: "$" would also accept a trailing line break.
    static const QRegularExpression re(QStringLiteral("\\A[\\x21-\\x7E]+\\z"));
    return fullMatch(re, text);
}

PointCsv::ReadResult PointCsv::read(const QString &text, const QStringList &headerLabels)
{
    return read(text, QList<QStringList>{headerLabels});
}

QString PointCsv::decode(const QByteArray &bytes)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray body = bytes.startsWith(bom) ? bytes.mid(bom.size()) : bytes;
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = utf8->toUnicode(body.constData(), body.size(), &state);
    // A byte order mark says UTF-8 whatever follows; without one, a single invalid or cut
    // sequence means the file is no UTF-8.
    if (body.size() != bytes.size() || (state.invalidChars == 0 && state.remainingChars == 0))
        return text;
    if (QTextCodec *gbk = QTextCodec::codecForName("GBK"))
        return gbk->toUnicode(bytes);
    return text;
}

PointCsv::ReadResult PointCsv::read(const QString &text, const QList<QStringList> &acceptedHeaders)
{
    static const QRegularExpression lengthRe(QStringLiteral("\\A-?\\d*\\z"));
    static const QRegularExpression permissionRe(QStringLiteral("\\A(r|rw)\\z"));

    ReadResult result;
    const QList<Record> records = splitRecords(text);
    int headerFields = -1;
    auto stop = [&result](Problem problem, int line) {
        result.messages.append({problem, line});
        result.stopped = true;
        result.rows.clear();
    };

    for (const Record &record : records) {
        const QStringList &fields = record.fields;
        if (record.unterminated) {
            stop(Problem::Quote, record.line);
            return result;
        }
        if (fields.size() < kMinimumFields) {
            stop(Problem::ColumnCount, record.line);
            return result;
        }
        if (headerFields < 0) {
            QStringList labels = fields;
            labels.removeAll(QString());
            if (!acceptedHeaders.contains(labels)) {
                stop(Problem::Header, record.line);
                return result;
            }
            headerFields = fields.size();
            continue;
        }

        if (!isValidAddress(fields.at(0))) {
            stop(Problem::Address, record.line);
            return result;
        }
        if (!dataTypes().contains(fields.at(2))) {
            // Imported with the default choices; length and permissions go unchecked.
            result.messages.append({Problem::Choice, record.line});
        } else {
            if (!fullMatch(lengthRe, fields.at(3))) {
                stop(Problem::Length, record.line);
                return result;
            }
            if (!fullMatch(permissionRe, fields.at(4)))
                result.messages.append({Problem::Choice, record.line});
        }

        QStringList kept;
        const int count = qMin(fields.size(), headerFields);
        kept.reserve(count);
        for (int i = 0; i < count; ++i)
            kept.append(fields.at(i).trimmed());
        result.rows.append(kept);
    }
    return result;
}

QString PointCsv::quoteField(const QString &value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"'))
        && !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool PointCsv::hasLineBreak(const QString &name)
{
    for (const QChar c : name) {
        switch (c.unicode()) {
        case 0x000A: case 0x000B: case 0x000C: case 0x000D: case 0x0085: case 0x2028: case 0x2029:
            return true;
        default:
            break;
        }
    }
    return false;
}

QString PointCsv::write(const QStringList &headerLabels, const QList<QStringList> &rows)
{
    QString out;
    auto appendLine = [&out](const QStringList &values) {
        for (int i = 0; i < values.size(); ++i) {
            if (i > 0)
                out += QLatin1Char(',');
            out += quoteField(values.at(i));
        }
        out += QLatin1Char('\n');
    };
    appendLine(headerLabels);
    for (const QStringList &row : rows)
        appendLine(row);
    return out;
}
