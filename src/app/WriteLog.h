#pragma once

class QString;

// Appends "yyyy-MM-dd HH:mm:ss: message" to ORVANELOG.log beside the executable.
// Silent when the file cannot be opened.
void writeLog(const QString &message);
