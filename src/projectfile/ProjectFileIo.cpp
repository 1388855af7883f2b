#include "projectfile/ProjectFileIo.h"

#include <QFile>
#include <QSaveFile>

namespace ProjectFileIo {

Result writeFile(const QString &path, const QByteArray &bytes)
{
    Result result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        result.stage = Result::OpenFailed;
        result.error = file.errorString();
        return result;
    }
    // Errors may surface on write() or only when the buffer is flushed by commit(); in both
    // cases the temporary is discarded and the old file stays as it was.
    if (file.write(bytes) == -1) {
        result.stage = Result::WriteFailed;
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.stage = Result::WriteFailed;
        result.error = file.errorString();
    }
    return result;
}

Result readFile(const QString &path, QByteArray *bytes)
{
    Result result;
    bytes->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        result.stage = Result::OpenFailed;
        result.error = file.errorString();
        return result;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.stage = Result::ReadFailed;
        result.error = file.errorString();
        return result;
    }
    *bytes = std::move(content);
    return result;
}

} // namespace ProjectFileIo
