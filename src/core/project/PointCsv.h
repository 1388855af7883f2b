#pragma once

// Reading and writing the data-point table of one Modbus slave as CSV text. Kept free of
// widgets so the checks can be exercised (and fuzzed) on plain strings; the editor turns
// the problems into message boxes and the rows into table rows.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class PointCsv
{
public:
    enum class Problem {
        ColumnCount, // a line with fewer than six fields: stops
        Header,      // the first line is not the table's header: stops
        Address,     // field 1 is not printable ASCII without blanks: stops
        Choice,      // type or permissions not one of the choices: warned, line kept
        Length,      // field 4 is not an optionally signed run of digits: stops
        Quote,       // a quoted field is never closed: stops
    };

    struct Message
    {
        Problem problem;
        int line; // 1-based line of the file where the record starts
    };

    struct ReadResult
    {
        QList<QStringList> rows;  // accepted data lines, fields trimmed
        QList<Message> messages;  // in the order found; a stopping one is always last
        bool stopped = false;     // true: the table must stay as it was
    };

    static constexpr int kMinimumFields = 6;

    // The data types a point may have, in the order the editor offers them.
    static const QStringList &dataTypes();
    static const QStringList &permissions();

    // The address rule shared by the table cells and the import: one or more printable
    // ASCII characters, no blank.
    static bool isValidAddress(const QString &text);

    // Parses a whole file. Fields may be quoted as RFC 4180 does (a quote opening a field,
    // doubled quotes inside, commas and line breaks inside); text without quotes splits at
    // every comma exactly as a plain split would. A quote that is never closed stops the
    // read at the record it opens, instead of taking the rest of the file into one field.
    static ReadResult read(const QString &text, const QStringList &headerLabels);
    // The same, accepting any of the given headers: a file exported in one interface language
    // imports in the other.
    static ReadResult read(const QString &text, const QList<QStringList> &acceptedHeaders);

    // The text of a CSV file's bytes: valid UTF-8 (with or without a byte order mark) is
    // UTF-8; anything else is taken as GBK, which spreadsheet programs write on Chinese
    // systems. Carriage returns are left for the reader.
    static QString decode(const QByteArray &bytes);

    // One line per row after the header line, each ended by "\n"; values that would not
    // read back as themselves (comma, quote, line break) are quoted.
    static QString write(const QStringList &headerLabels, const QList<QStringList> &rows);

    static QString quoteField(const QString &value);

    // Whether a point name holds a line break; such a name would reach the project file and
    // the box as two lines, so the editor refuses it like a name with a comma.
    static bool hasLineBreak(const QString &name);
};
