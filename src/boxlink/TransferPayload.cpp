#include "boxlink/TransferPayload.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

QByteArray md5(const QByteArray &bytes, const std::atomic<bool> *cancel)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    constexpr int kBlock = 1024 * 1024;
    for (int at = 0; at < bytes.size(); at += kBlock) {
        if (*cancel)
            return QByteArray();
        hash.addData(bytes.constData() + at, qMin(kBlock, bytes.size() - at));
    }
    return hash.result();
}

} // namespace

TransferPayload::TransferPayload(const QByteArray &bytes, const QString &path)
    : m_bytes(bytes)
    , m_path(path)
{
    // The thread gets its own reference to the same bytes: implicit sharing, no copy.
    m_digest = std::async(std::launch::async, md5, m_bytes, &m_cancel).share();
}

TransferPayload::~TransferPayload()
{
    m_cancel = true;
    if (m_digest.valid())
        m_digest.wait();
}

SharedPayload TransferPayload::fromBytes(const QByteArray &bytes, const QString &path)
{
    return SharedPayload(new TransferPayload(bytes, path));
}

bool TransferPayload::digestReady() const
{
    return m_digest.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

QByteArray TransferPayload::digest() const
{
    return m_digest.get();
}

SharedPayload TransferPayload::readFile(const QString &path, int deadlineMs, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const QString tooLarge = tr("it is larger than %1 MiB").arg(kMaxSize / (1024 * 1024));
    // Looked at before opening: opening a device may already do something (a tape rewinds,
    // a terminal becomes ours).
    struct stat info;
    if (::stat(name.constData(), &info) != 0) {
        *error = systemError(errno);
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = tr("it is a directory");
        return nullptr;
    }
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        *error = tr("it is a device, not a file");
        return nullptr;
    }
    // Not blocking: a FIFO without a writer would hold open() until one comes.
    Descriptor file;
    file.fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0) {
        *error = systemError(errno);
        return nullptr;
    }
    if (::fstat(file.fd, &info) != 0) {
        *error = systemError(errno);
        return nullptr;
    }
    const bool regular = S_ISREG(info.st_mode);
    if (!regular && !S_ISFIFO(info.st_mode) && !S_ISSOCK(info.st_mode)) {
        *error = tr("it is a device, not a file");
        return nullptr;
    }
    if (regular && info.st_size > kMaxSize) {
        *error = tooLarge;
        return nullptr;
    }

    QByteArray bytes;
    if (regular)
        bytes.reserve(int(info.st_size));
    const QDeadlineTimer deadline(qMax(0, deadlineMs));
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        if (!regular) {
            // A pipe ends when its writer closes it; Linux reports no hang-up on a FIFO that
            // never had a writer, so waiting here is bounded by the deadline alone.
            pollfd ready{file.fd, POLLIN, 0};
            const int waited = ::poll(&ready, 1, int(qMin<qint64>(deadline.remainingTime(), 1000)));
            if (waited < 0 && errno != EINTR) {
                *error = systemError(errno);
                return nullptr;
            }
            if (waited <= 0) {
                if (deadline.hasExpired()) {
                    *error = tr("it did not end within %1 s").arg(deadlineMs / 1000.0);
                    return nullptr;
                }
                continue;
            }
        }
        const ssize_t n = ::read(file.fd, block.data(), size_t(block.size()));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            *error = systemError(errno);
            return nullptr;
        }
        if (n == 0)
            break;
        if (bytes.size() + n > kMaxSize) {
            *error = tooLarge;
            return nullptr;
        }
        bytes.append(block.constData(), int(n));
    }
    return fromBytes(bytes, path);
}
