#include "projectfile/ProjectFileIo.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

Result readBounded(const QString &path, qint64 limit, QByteArray *bytes)
{
    Result result;
    bytes->clear();
    QFile file;
#ifdef Q_OS_UNIX
    // Opening a FIFO without a writer would block the GUI thread for good; non-blocking, it
    // opens at once and reads what is there. Regular files and devices ignore the flag.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.stage = Result::OpenFailed;
        result.error = QString::fromLocal8Bit(strerror(errno));
        return result;
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(fd);
        result.stage = Result::OpenFailed;
        result.error = QString::fromLocal8Bit(strerror(EISDIR));
        return result;
    }
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
#endif
        result.stage = Result::OpenFailed;
        result.error = file.errorString();
        return result;
    }
    // Read in steps rather than trusting size(): a device reports 0, and a file may grow.
    QByteArray content;
    constexpr qint64 kStep = 1 << 20;
    for (;;) {
        const qint64 room = limit + 1 - content.size();
        if (room <= 0)
            break;
        const int offset = content.size();
        const qint64 want = qMin(room, kStep);
        content.resize(offset + int(want));
        const qint64 got = file.read(content.data() + offset, want);
        if (got < 0) {
            result.stage = Result::ReadFailed;
            result.error = file.errorString();
            return result;
        }
        content.resize(offset + int(got));
        if (got == 0)
            break;
    }
    if (content.size() > limit) {
        result.stage = Result::TooLarge;
        result.error = QCoreApplication::translate("ProjectFileIo", "The file holds more than %1 MiB.")
                           .arg((limit + (1 << 20) - 1) >> 20);
        return result;
    }
    *bytes = std::move(content);
    return result;
}

Result readFile(const QString &path, QByteArray *bytes)
{
    // Text-mode reading drops every CR byte; doing that here on one whole read gives the same
    // bytes as QIODevice::Text without its chunked copying of large files.
    bytes->clear();
    QByteArray content;
    const Result result = readBounded(path, kProjectFileLimit, &content);
    if (!result.ok())
        return result;
    // memchr: QByteArray::contains(char) goes byte by byte, a noticeable part of a large load.
    if (memchr(content.constData(), '\r', size_t(content.size())))
        content.replace("\r", "");
    *bytes = std::move(content);
    return result;
}

bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace ProjectFileIo
