#include "boxlink/FileTransfer.h"

#include "boxlink/FrameCodec.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <future>
#include <optional>

namespace {
int &verdictTimeoutMs()
{
    static int ms = FileTransfer::kDefaultVerdictTimeoutMs;
    return ms;
}

constexpr int kBlockingWaitMs = 30000;
constexpr int kVerdictSize = FrameCodec::VerdictSize;
constexpr qint64 kPacingBytes = 64 * 1024;

// MD5 of the whole file, or nothing when it cannot be opened. Gives up early when cancelled.
std::optional<QByteArray> fileDigest(const QString &path, const std::atomic<bool> *cancel)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        if (*cancel)
            return std::nullopt;
        const qint64 n = file.read(block.data(), block.size());
        if (n <= 0)
            break;
        hash.addData(block.constData(), int(n));
    }
    return hash.result();
}
} // namespace

FileTransfer::FileTransfer(QObject *parent)
    : QObject(parent)
{
}

FileTransfer::~FileTransfer() = default;

void FileTransfer::setVerdictTimeoutForTesting(int ms)
{
    verdictTimeoutMs() = ms > 0 ? ms : kDefaultVerdictTimeoutMs;
}

int FileTransfer::verdictTimeout()
{
    return verdictTimeoutMs();
}

void FileTransfer::closeSocket()
{
    if (!m_socket)
        return;
    m_socket->disconnectFromHost();
    m_socket->deleteLater();
    m_socket = nullptr;
}

FileTransfer::Outcome FileTransfer::send(quint8 command, const QString &filePath)
{
    closeSocket();
    m_socket = new QTcpSocket(this);

    if (m_localAddress != QLatin1String("0.0.0.0")) {
        if (!m_socket->bind(QHostAddress(m_localAddress), 0)) {
            emit messageAppended(tr("Binding Status: Failed to bind to %1").arg(m_localAddress));
            delete m_socket;
            m_socket = nullptr;
            return Outcome::BindFailed;
        }
    }

    m_socket->connectToHost(m_host, FrameCodec::BoxPort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (!m_socket->waitForConnected(kBlockingWaitMs)) {
        emit messageAppended(
            tr("Connection Status:Failed to connect to server for program update."));
        delete m_socket;
        m_socket = nullptr;
        return Outcome::ConnectFailed;
    }

    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        // The connection is of no further use; leaving it open would keep the box waiting.
        closeSocket();
        emit warningRequested(tr("Error"), tr("Failed to open program file."));
        return Outcome::FileOpenFailed;
    }

    // The digest comes from a second reading of the file. Hashing costs more than the loopback
    // copy itself, so it runs on a worker thread while the fragments go out; nothing else
    // leaves the GUI thread.
    std::atomic<bool> cancelDigest{false};
    std::future<std::optional<QByteArray>> pendingDigest =
        std::async(std::launch::async, fileDigest, filePath, &cancelDigest);
    struct DigestGuard {
        std::atomic<bool> &cancel;
        std::future<std::optional<QByteArray>> &pending;
        ~DigestGuard()
        {
            cancel = true;
            if (pending.valid())
                pending.wait();
        }
    } digestGuard{cancelDigest, pendingDigest};

    emit progressChanged(0);
    const qint64 size = file.size();
    const quint32 total = quint32(size);
    qint64 sent = 0;
    quint32 number = 0;
    int shownPercent = 0;
    bool lost = false;
    QByteArray chunk;
    while (!file.atEnd()) {
        chunk = file.read(FrameCodec::FragmentPayloadSize);
        if (chunk.isEmpty())
            break;
        ++number;
        if (!m_socket->isOpen() || m_socket->state() != QAbstractSocket::ConnectedState) {
            emit messageAppended(tr("Connection Status:Not connected to server."));
            lost = true;
            break;
        }
        m_socket->write(FrameCodec::transferFragment(command, total, number, chunk));
        // Paced by the network: never more than a few dozen frames wait in our buffer.
        if (m_socket->bytesToWrite() >= kPacingBytes)
            m_socket->waitForBytesWritten(kBlockingWaitMs);
        sent += chunk.size();
        const int percent = int(sent * 100 / size);
        if (percent != shownPercent) {
            shownPercent = percent;
            emit progressChanged(percent);
        }
    }
    file.close();
    if (!lost && m_socket->bytesToWrite() > 0)
        m_socket->waitForBytesWritten(kBlockingWaitMs);
    if (lost || !m_socket->isOpen() || m_socket->state() != QAbstractSocket::ConnectedState) {
        closeSocket();
        return Outcome::ConnectionLost;
    }

    const std::optional<QByteArray> digest = pendingDigest.get();
    if (!digest) {
        closeSocket();
        emit warningRequested(tr("Error"), tr("Failed to open program file for checksum."));
        return Outcome::ChecksumOpenFailed;
    }
    if (m_removeAfterDigest)
        QFile::remove(filePath);

    m_socket->write(FrameCodec::checksumFrame(command, total, *digest));
    m_socket->waitForBytesWritten(kBlockingWaitMs);

    // The verdict may arrive in pieces; wait until all ten bytes are in or the time is up.
    QTimer timer;
    timer.setSingleShot(true);
    if (m_socket->bytesAvailable() < kVerdictSize) {
        QEventLoop loop;
        QTcpSocket *socket = m_socket;
        connect(socket, &QTcpSocket::readyRead, &loop, [&loop, socket] {
            if (socket->bytesAvailable() >= kVerdictSize)
                loop.quit();
        });
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(verdictTimeoutMs());
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

    if (m_socket->bytesAvailable() < kVerdictSize && !timer.isActive()) {
        emit progressChanged(0);
        closeSocket();
        emit warningRequested(tr("Timeout"), tr("Timeout while waiting for checksum result."));
        emit messageAppended(tr("Timeout:Timeout while waiting for checksum result."));
        return Outcome::Timeout;
    }
    timer.stop();

    const QByteArray reply = m_socket->readAll();
    Outcome outcome = Outcome::UnrecognisedReply;
    QString text;
    switch (FrameCodec::judgeVerdict(reply, command)) {
    case FrameCodec::Verdict::NotAVerdict:
        break;
    case FrameCodec::Verdict::CommandTypeError:
        outcome = Outcome::CommandTypeError;
        text = tr("Checksum Result:Command type error.");
        break;
    case FrameCodec::Verdict::ValueError:
        outcome = Outcome::ReturnValueError;
        text = tr("Checksum Result:Verification data return value error.");
        break;
    case FrameCodec::Verdict::ChecksumFailed:
        outcome = Outcome::ChecksumFailed;
        text = tr("Checksum Result:Checksum failed.");
        break;
    case FrameCodec::Verdict::ChecksumMatched:
        outcome = Outcome::ChecksumSuccessful;
        text = tr("Checksum Result:Checksum successful.");
        break;
    }
    if (outcome != Outcome::ChecksumSuccessful && outcome != Outcome::UnrecognisedReply)
        emit progressChanged(0);
    if (!text.isEmpty())
        emit messageAppended(text);
    else
        qDebug() << "Unrecognised checksum reply:" << reply.toHex(' ');
    closeSocket();
    return outcome;
}
