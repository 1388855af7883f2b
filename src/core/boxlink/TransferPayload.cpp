#include "core/boxlink/TransferPayload.h"

#include "core/project/ProjectFileIo.h"

#include <QCryptographicHash>

namespace {

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
    QByteArray bytes;
    const ProjectFileIo::Result read = ProjectFileIo::readBounded(path, kMaxSize, &bytes, deadlineMs);
    if (!read.ok()) {
        *error = read.error;
        return nullptr;
    }
    return fromBytes(bytes, path);
}
