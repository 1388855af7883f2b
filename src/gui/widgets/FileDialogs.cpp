#include "gui/widgets/FileDialogs.h"

#include <optional>

namespace FileDialogs {

namespace {
std::optional<QString> &nextAnswer()
{
    static std::optional<QString> answer;
    return answer;
}

// Consumes the pending test answer, if any.
std::optional<QString> takeNextAnswer()
{
    std::optional<QString> answer;
    answer.swap(nextAnswer());
    return answer;
}
} // namespace

void setNextAnswerForTesting(const QString &path)
{
    nextAnswer() = path;
}

QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                        const QString &filter, QString *selectedFilter, QFileDialog::Options options)
{
    if (std::optional<QString> answer = takeNextAnswer())
        return *answer;
    return QFileDialog::getOpenFileName(parent, caption, dir, filter, selectedFilter, options);
}

QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                        const QString &filter, QString *selectedFilter, QFileDialog::Options options)
{
    if (std::optional<QString> answer = takeNextAnswer())
        return *answer;
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter, options);
}

QString getExistingDirectory(QWidget *parent, const QString &caption, const QString &dir,
                             QFileDialog::Options options)
{
    if (std::optional<QString> answer = takeNextAnswer())
        return *answer;
    return QFileDialog::getExistingDirectory(parent, caption, dir, options);
}

} // namespace FileDialogs
