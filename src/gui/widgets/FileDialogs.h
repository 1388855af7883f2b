#pragma once

// The file and directory choosers every dialog of the application uses. They wrap the
// QFileDialog statics unchanged, so users always see the normal dialogs; tests answer the
// next question instead through one hook.

#include <QFileDialog>
#include <QString>

class QWidget;

namespace FileDialogs {

// The next getOpenFileName(), getSaveFileName() or getExistingDirectory() returns `path` at
// once instead of showing a dialog (one shot). An empty path answers like a cancelled dialog.
void setNextAnswerForTesting(const QString &path);

QString getOpenFileName(QWidget *parent = nullptr, const QString &caption = QString(),
                        const QString &dir = QString(), const QString &filter = QString(),
                        QString *selectedFilter = nullptr,
                        QFileDialog::Options options = QFileDialog::Options());

QString getSaveFileName(QWidget *parent = nullptr, const QString &caption = QString(),
                        const QString &dir = QString(), const QString &filter = QString(),
                        QString *selectedFilter = nullptr,
                        QFileDialog::Options options = QFileDialog::Options());

QString getExistingDirectory(QWidget *parent = nullptr, const QString &caption = QString(),
                             const QString &dir = QString(),
                             QFileDialog::Options options = QFileDialog::ShowDirsOnly);

} // namespace FileDialogs
