#include "core/project/ProjectFileIo.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

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

Result readBounded(const QString &path, qint64 limit, QByteArray *bytes, int deadlineMs)
{
    Result result;
    bytes->clear();
    const auto fail = [&result](Result::Stage stage, const QString &error) {
        result.stage = stage;
        result.error = error;
        return result;
    };
    const auto systemError = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    const auto tooLarge = [limit] {
        return QCoreApplication::translate("ProjectFileIo", "it holds more than %1 MiB")
            .arg((limit + (1 << 20) - 1) >> 20);
    };
    const QByteArray name = QFile::encodeName(path);
    // Not blocking: a FIFO without a writer would hold open() until one comes.
    Descriptor file;
    file.fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0)
        return fail(Result::OpenFailed, systemError());
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return fail(Result::OpenFailed, systemError());
    if (S_ISDIR(info.st_mode))
        return fail(Result::OpenFailed, QCoreApplication::translate("ProjectFileIo", "it is a directory"));
    const bool regular = S_ISREG(info.st_mode);
    if (regular && info.st_size > limit)
        return fail(Result::TooLarge, tooLarge());

    // Read into the buffer itself, no copy: a regular file in one buffer of its size and one
    // byte more (to see it grow), anything else in growing steps, never past limit + 1 bytes.
    constexpr qint64 kStep = 256 * 1024;
    QByteArray content(int(regular ? info.st_size + 1 : qMin(kStep, limit + 1)), Qt::Uninitialized);
    qint64 used = 0;
    const QDeadlineTimer deadline(qMax(0, deadlineMs));
    for (;;) {
        if (!regular) {
            // A pipe ends when its writer closes it; Linux reports no hang-up on a FIFO that
            // never had a writer, so the wait is bounded by the deadline alone.
            pollfd ready{file.fd, POLLIN, 0};
            const int waited = ::poll(&ready, 1, int(qMin<qint64>(deadline.remainingTime(), 1000)));
            if (waited < 0 && errno != EINTR)
                return fail(Result::ReadFailed, systemError());
            if (waited <= 0) {
                if (deadline.hasExpired()) {
                    return fail(Result::ReadFailed, QCoreApplication::translate("ProjectFileIo", "it did not end within %1 s")
                                                        .arg(deadlineMs / 1000.0));
                }
                continue;
            }
        }
        if (used == content.size())
            content.resize(int(qMin(limit + 1, qMax(2 * used, kStep))));
        const ssize_t n = ::read(file.fd, content.data() + used, size_t(content.size() - used));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return fail(Result::ReadFailed, systemError());
        }
        if (n == 0)
            break;
        used += n;
        if (used > limit)
            return fail(Result::TooLarge, tooLarge());
    }
    content.resize(int(used));
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
