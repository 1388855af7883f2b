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
    };
    Stage stage = Ok;
    QString error; // the device's error text; empty when stage is Ok

    bool ok() const { return stage == Ok; }
};

// Replaces `path` with `bytes` atomically (text mode: platform line ends). Where the
// directory refuses new files but the file itself may be written, it is written in place
// (the one case where a failed write can leave the file partly written).
Result writeFile(const QString &path, const QByteArray &bytes);

// Reads all of `path` as text mode would (CR bytes dropped) into `bytes`; `bytes` is left
// empty on failure.
Result readFile(const QString &path, QByteArray *bytes);

// True when `name` can stand as one file name inside a chosen directory: no "/" or "\\",
// not "." or "..", no control characters. Project names become file names, so a name that
// fails here could put the project file somewhere else.
bool isPlainFileName(const QString &name);

} // namespace ProjectFileIo
