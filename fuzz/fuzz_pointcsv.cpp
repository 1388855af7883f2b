// The point-table import on arbitrary bytes, decoded as the import decodes a file (UTF-8 with or
// without a byte order mark, else GBK); whatever it accepted, written and read again, gives the
// same rows (as far as the table's columns go).

#include "FuzzCheck.h"
#include "core/project/PointCsv.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QStringList header = {"Address", "Name", "Type", "Length", "Permissions", "Deleat"};
    const QString text = PointCsv::decode(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    const PointCsv::ReadResult first = PointCsv::read(text, header);
    if (first.stopped)
        return 0;
    const QString written = PointCsv::write(header, first.rows);
    const PointCsv::ReadResult second = PointCsv::read(written, header);
    if (second.stopped) {
        // A line whose type is no choice goes in without its length checked (a padded
        // " int16 " counts as no choice but is kept trimmed), so that length may stop the
        // second read. Nothing else may.
        bool warned = false;
        for (const PointCsv::Message &m : first.messages)
            warned = warned || m.problem == PointCsv::Problem::Choice;
        FUZZ_CHECK(warned && second.messages.last().problem == PointCsv::Problem::Length);
        return 0;
    }
    // A header with extra empty labels lets rows keep extra fields; the table has only its
    // own columns, and those are what must survive.
    QList<QStringList> shown;
    for (const QStringList &row : first.rows)
        shown.append(row.mid(0, header.size()));
    FUZZ_CHECK(second.rows == shown);
    return 0;
}
