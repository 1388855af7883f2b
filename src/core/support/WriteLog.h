#pragma once

#include <QtGlobal>

class QString;

// Appends "yyyy-MM-dd HH:mm:ss: message" to ORVANELOG.log beside the executable, or in the
// user's data directory when the executable's directory is not writable (see AppPaths.h).
// Silent when the file cannot be opened.
void writeLog(const QString &message);

// The log grows by a line per live report; past this size it is rotated.
constexpr qint64 kLogRotateBytes = 10 * 1024 * 1024;
// Rotated files kept beside the log: "<log>.1" (newest) to "<log>.3" (oldest).
constexpr int kLogKeptFiles = 3;

// Appends one line to the log at `path`, first rotating it by rename (log -> log.1 -> log.2 ->
// log.3, the oldest dropped) when the line would take it past `rotateBytes`. A rotation that
// fails leaves the log in place and the line is still appended. False when nothing was written.
bool appendLogLine(const QString &path, const QString &message, qint64 rotateBytes = kLogRotateBytes);
