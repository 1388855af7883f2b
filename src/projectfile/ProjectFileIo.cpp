#include "projectfile/ProjectFileIo.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace ProjectFileIo {

Result writeFile(const QString &path, const QByteArray &bytes)
{
    Result result;
    QSaveFile file(path);
    // The user may own the file but not its directory: the temporary cannot be made there,
    // and writing in place is then the only way to save at all.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        result.stage = Result::OpenFailed;
        result.error = file.errorString();
        return result;
    }
    // A full disk may take part of the data and then refuse the rest: write() then returns
    // a short count, not -1, and a short write while flushing the buffer is not seen by
    // commit() at all (it would rename the truncated file over the old one). So both are
    // checked here, and the temporary is discarded unless every byte made it.
    const qint64 written = file.write(bytes);
    const bool flushed = written == bytes.size() && file.flush();
    if (!flushed) {
        result.stage = Result::WriteFailed;
        // A short write carries no error text from Qt ("Unknown error"); say what happened.
        result.error = written == -1
                           ? file.errorString()
                           : QCoreApplication::translate("ProjectFileIo",
                                                         "The file could not be written completely; "
                                                         "the disk may be full.");
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
    // Text-mode reading drops every CR byte; doing that here on one whole read gives the same
    // bytes as QIODevice::Text without its chunked copying of large files.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
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
    // memchr: QByteArray::contains(char) goes byte by byte, a noticeable part of a large load.
    if (memchr(content.constData(), '\r', size_t(content.size())))
        content.replace("\r", "");
    *bytes = std::move(content);
    return result;
}

bool isPlainFileName(const QString &name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace ProjectFileIo
