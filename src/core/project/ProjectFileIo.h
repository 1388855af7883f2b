#pragma once

// Whole-file reads and writes of project documents. Writes go through a temporary file that
// replaces the old one only once every byte is on disk, so a failed save leaves the previous
// file whole (unless the directory allows no temporary; see writeFile).

#include <QByteArray>
#include <QString>

namespace ProjectFileIo {

struct Result
{
    enum Stage {
        Ok,
        OpenFailed,  // the file (or its temporary) could not be opened
        WriteFailed, // opened, but writing or committing failed
        ReadFailed,  // opened, but reading failed
        TooLarge,    // more bytes than the caller's limit (a device may never end)
    };
    Stage stage = Ok;
    QString error; // the device's error text; empty when stage is Ok

    bool ok() const { return stage == Ok; }
};

// Replaces `path` with `bytes` atomically (text mode: platform line ends). Where the
// directory refuses new files but the file itself may be written, it is written in place
// (the one case where a failed write can leave the file partly written).
Result writeFile(const QString &path, const QByteArray &bytes);

// Far above any real project (100,000 points take some 20 MiB), far below what would exhaust
// memory.
constexpr qint64 kProjectFileLimit = qint64(256) * 1024 * 1024;

// How long an interactive read waits for a pipe's writer to end it.
constexpr int kPipeDeadlineMs = 5000;

// Reads `path` once, at most `limit` bytes, into `bytes`, as they are: the one bounded read
// of outside files (projects, program images, certificates and keys). A regular file is read
// as it is; anything else (a pipe fed to /dev/stdin, a FIFO, a device) until it ends, which
// must happen within `deadlineMs`, and no further than limit + 1 bytes, so a device that never
// ends (/dev/zero) or a file that grows while read costs no more than that. Opening never
// waits for a FIFO's writer. `bytes` is left empty on failure; `error` is a translated clause
// ("it holds more than 4 MiB") or the system's text.
Result readBounded(const QString &path, qint64 limit, QByteArray *bytes, int deadlineMs = kPipeDeadlineMs);

// Reads all of `path` as text mode would (CR bytes dropped) into `bytes`, refusing a file of
// more than kProjectFileLimit bytes; `bytes` is left empty on failure.
Result readFile(const QString &path, QByteArray *bytes);

// True when `name` can stand as one file name inside a chosen directory: not empty (the
// file would be the hidden ".json"), no "/" or "\\", not "." or "..", no control characters.
// Project names become file names, so a name that fails here could put the project file
// somewhere else.
bool isPlainFileName(const QString &name);

} // namespace ProjectFileIo
