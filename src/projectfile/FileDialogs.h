#pragma once

// File choosers of the project-file commands. Tests answer the next question without a
// dialog; users always see the normal QFileDialog.

#include <QString>

class QWidget;

namespace FileDialogs {

// The next getOpenFileName() returns `path` at once instead of showing a dialog (one shot).
void setNextOpenFileNameForTesting(const QString &path);

QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                        const QString &filter);

} // namespace FileDialogs
