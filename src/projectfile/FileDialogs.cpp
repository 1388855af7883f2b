#include "projectfile/FileDialogs.h"

#include <QFileDialog>

#include <optional>

namespace FileDialogs {

namespace {
std::optional<QString> &nextOpenFileName()
{
    static std::optional<QString> answer;
    return answer;
}
} // namespace

void setNextOpenFileNameForTesting(const QString &path)
{
    nextOpenFileName() = path;
}

QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                        const QString &filter)
{
    if (std::optional<QString> &answer = nextOpenFileName(); answer) {
        const QString path = *answer;
        answer.reset();
        return path;
    }
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

} // namespace FileDialogs
