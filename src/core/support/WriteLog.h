#pragma once

class QString;

// Appends "yyyy-MM-dd HH:mm:ss: message" to ORVANELOG.log beside the executable, or in the
// user's data directory when the executable's directory is not writable (see AppPaths.h).
// Silent when the file cannot be opened.
void writeLog(const QString &message);
