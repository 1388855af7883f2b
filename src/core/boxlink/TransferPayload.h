#pragma once

// The bytes one transfer sends, read once, and their MD5 taken from those same bytes. A file
// read twice (once to check or send, once to digest) may give two different contents: a pipe
// gives nothing the second time, a file being rewritten something else. Immutable once made,
// so several transfers (a fleet sending one document to many boxes) share one.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <future>
#include <memory>

class TransferPayload
{
public:
    // Well above any real project document or program image; the frame's size field would
    // allow 4 GiB, memory would not.
    static constexpr qint64 kMaxSize = 256 * 1024 * 1024;

    // Takes the bytes as they are. `path` is only where they came from (may be empty).
    static std::shared_ptr<const TransferPayload> fromBytes(const QByteArray &bytes, const QString &path = QString());

    // Reads a file once, at most kMaxSize bytes (see ProjectFileIo::readBounded): a pipe or
    // FIFO must end within `deadlineMs`. Null with the reason in `error` when the file cannot
    // be sent.
    static std::shared_ptr<const TransferPayload> readFile(const QString &path, int deadlineMs, QString *error);

    ~TransferPayload();
    TransferPayload(const TransferPayload &) = delete;
    TransferPayload &operator=(const TransferPayload &) = delete;

    const QByteArray &bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }
    QString path() const { return m_path; }

    // The MD5 is taken on a worker thread, since hashing costs more than a loopback copy of
    // the same bytes: a transfer sends the fragments meanwhile.
    bool digestReady() const;
    // Waits for the digest when it is not ready yet.
    QByteArray digest() const;

private:
    TransferPayload(const QByteArray &bytes, const QString &path);

    QByteArray m_bytes;
    QString m_path;
    std::atomic<bool> m_cancel{false};
    // Declared after the flag: the destructor stops the thread that reads it.
    std::shared_future<QByteArray> m_digest;
};

using SharedPayload = std::shared_ptr<const TransferPayload>;
