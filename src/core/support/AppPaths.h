#pragma once

#include <QString>

// Where the tool keeps its own files. The log goes beside the executable and "Settings.ini"
// into the working directory, as long as those are writable; an installed program (in
// /usr/bin, started from anywhere) falls back to the user's data directory
// (QStandardPaths::AppLocalDataLocation), which is created on demand.

// The directory itself when it is a writable directory, otherwise the user's data directory.
QString writableDirOrUserData(const QString &preferredDir);

// Full path of "ORVANELOG.log".
QString logFilePath();

// Path of "Settings.ini": relative to the working directory when that is writable.
QString settingsFilePath();
