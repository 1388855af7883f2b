#include "boxlink/FileTransfer.h"

#include "boxlink/FrameCodec.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>

namespace {
int &verdictTimeoutMs()
{
    static int ms = FileTransfer::kDefaultVerdictTimeoutMs;
    return ms;
}

int &stallTimeoutMs()
{
    static int ms = FileTransfer::kDefaultStallTimeoutMs;
    return ms;
}

constexpr int kVerdictSize = FrameCodec::VerdictSize;
// How much may wait in the socket's own buffer: enough to keep a fast link busy between two
// turns of the event loop, small enough that one refill is a short piece of work.
constexpr qint64 kQueuedBytes = 256 * 1024;

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

// The digest comes from a second reading of the file. Hashing costs more than a loopback copy
// of the same bytes, so it runs on a worker thread while the fragments go out.
struct FileTransfer::Digest {
    QString path;
    std::atomic<bool> cancel{false};
    // Declared after the flag: destroyed first, it waits for the thread that reads the flag.
    std::shared_future<std::optional<QByteArray>> result;
};

std::shared_ptr<FileTransfer::Digest> FileTransfer::startDigest(const QString &filePath)
{
    auto digest = std::make_shared<Digest>();
    digest->path = filePath;
    digest->result = std::async(std::launch::async, fileDigest, filePath, &digest->cancel).share();
    return digest;
}

void FileTransfer::cancelDigest(Digest &digest)
{
    digest.cancel = true;
}

FileTransfer::FileTransfer(QObject *parent)
    : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    m_stallTimer.setSingleShot(true);
    m_verdictTimer.setSingleShot(true);
    m_digestPoll.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &FileTransfer::onSocketError);
    connect(&m_stallTimer, &QTimer::timeout, this, &FileTransfer::onStall);
    connect(&m_verdictTimer, &QTimer::timeout, this, &FileTransfer::judgeVerdict);
    connect(&m_digestPoll, &QTimer::timeout, this, &FileTransfer::sendChecksumWhenReady);
}

FileTransfer::~FileTransfer()
{
    stopDigest();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void FileTransfer::setVerdictTimeoutForTesting(int ms)
{
    verdictTimeoutMs() = ms > 0 ? ms : kDefaultVerdictTimeoutMs;
}

int FileTransfer::verdictTimeout()
{
    return verdictTimeoutMs();
}

void FileTransfer::setStallTimeoutForTesting(int ms)
{
    stallTimeoutMs() = ms > 0 ? ms : kDefaultStallTimeoutMs;
}

int FileTransfer::stallTimeout()
{
    return stallTimeoutMs();
}

QString FileTransfer::outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::BindFailed:
        return tr("Failed to bind to the local address.");
    case Outcome::ConnectFailed:
        return tr("Failed to connect to server.");
    case Outcome::FileOpenFailed:
        return tr("Failed to open program file.");
    case Outcome::ConnectionLost:
        return tr("Not connected to server.");
    case Outcome::ChecksumOpenFailed:
        return tr("Failed to open program file for checksum.");
    case Outcome::Stalled:
        return tr("The box took no data; transfer stopped.");
    case Outcome::Cancelled:
        return tr("Cancelled");
    case Outcome::Timeout:
        return tr("Timeout");
    case Outcome::UnrecognisedReply:
        return tr("Unrecognised reply.");
    case Outcome::CommandTypeError:
        return tr("Command type error.");
    case Outcome::ReturnValueError:
        return tr("Verification data return value error.");
    case Outcome::ChecksumFailed:
        return tr("Checksum failed.");
    case Outcome::ChecksumSuccessful:
        return tr("Checksum successful.");
    }
    return QString();
}

FileTransfer::Outcome FileTransfer::send(quint8 command, const QString &filePath)
{
    Outcome result = Outcome::Cancelled;
    QEventLoop loop;
    const QMetaObject::Connection done =
        connect(this, &FileTransfer::finished, &loop, [&result, &loop](Outcome outcome) {
            result = outcome;
            loop.quit();
        });
    if (start(command, filePath) && isRunning())
        loop.exec();
    disconnect(done);
    return result;
}

bool FileTransfer::start(quint8 command, const QString &filePath)
{
    if (m_stage != Stage::Idle)
        return false;
    m_command = command;
    m_path = filePath;
    m_size = 0;
    m_sent = 0;
    m_number = 0;
    m_shownPercent = 0;
    m_sentDigest.clear();

    m_socket = new QTcpSocket(this);
    if (m_localAddress != QLatin1String("0.0.0.0")
        && !m_socket->bind(QHostAddress(m_localAddress), 0)) {
        Report report;
        report.message = tr("Binding Status: Failed to bind to %1").arg(m_localAddress);
        finish(Outcome::BindFailed, report);
        return true;
    }
    connect(m_socket, &QTcpSocket::connected, this, &FileTransfer::onConnected);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &FileTransfer::onBytesWritten);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        if (m_stage == Stage::AwaitingVerdict && m_socket->bytesAvailable() >= kVerdictSize)
            judgeVerdict();
    });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &FileTransfer::onSocketError);

    m_stage = Stage::Connecting;
    m_connectTimer.start(kConnectTimeoutMs);
    m_socket->connectToHost(m_host, FrameCodec::BoxPort, QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
    return true;
}

void FileTransfer::cancel()
{
    if (m_stage == Stage::Idle)
        return;
    Report report;
    report.resetProgress = true;
    report.message = m_command == ProgramUpdate
                         ? tr("Update Status:Program update cancelled, not completed.")
                         : tr("Update Status:Project deployment cancelled, not completed.");
    finish(Outcome::Cancelled, report);
}

void FileTransfer::onConnected()
{
    if (m_stage != Stage::Connecting)
        return;
    m_connectTimer.stop();
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        Report report;
        report.warningTitle = tr("Error");
        report.warningText = tr("Failed to open program file.");
        finish(Outcome::FileOpenFailed, report);
        return;
    }
    m_ownDigest = !m_sharedDigest || m_sharedDigest->path != m_path;
    m_digest = m_ownDigest ? startDigest(m_path) : m_sharedDigest;

    emit progressChanged(0);
    m_size = m_file.size();
    m_stage = Stage::Sending;
    m_stallTimer.start(stallTimeout());
    fillSocket();
}

void FileTransfer::fillSocket()
{
    const quint32 total = quint32(m_size);
    QByteArray batch;
    while (m_stage == Stage::Sending && m_socket->bytesToWrite() + batch.size() < kQueuedBytes) {
        const QByteArray chunk = m_file.atEnd() ? QByteArray() : m_file.read(FrameCodec::FragmentPayloadSize);
        if (chunk.isEmpty()) {
            m_file.close();
            m_stage = Stage::AwaitingDigest;
            break;
        }
        ++m_number;
        batch += FrameCodec::transferFragment(m_command, total, m_number, chunk);
        m_sent += chunk.size();
        const int percent = int(m_sent * 100 / m_size);
        if (percent != m_shownPercent) {
            m_shownPercent = percent;
            emit progressChanged(percent);
        }
    }
    if (!batch.isEmpty()) {
        m_socket->write(batch);
        m_stallTimer.start(stallTimeout());
    }
    if (m_stage == Stage::AwaitingDigest)
        sendChecksumWhenReady();
}

void FileTransfer::sendChecksumWhenReady()
{
    if (m_stage != Stage::AwaitingDigest || !m_digest)
        return;
    if (m_digest->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        // Look again shortly; the event loop keeps running meanwhile.
        m_digestPoll.start(2);
        return;
    }
    const std::optional<QByteArray> digest = m_digest->result.get();
    const bool ownDigest = m_ownDigest;
    m_digest.reset();
    m_ownDigest = false;
    if (!digest) {
        Report report;
        report.warningTitle = tr("Error");
        report.warningText = tr("Failed to open program file for checksum.");
        finish(Outcome::ChecksumOpenFailed, report);
        return;
    }
    if (m_removeAfterDigest && ownDigest) // others may still send a file they share
        QFile::remove(m_path);

    m_sentDigest = *digest;
    m_socket->write(FrameCodec::checksumFrame(m_command, quint32(m_size), *digest));
    m_stallTimer.start(stallTimeout());
    m_stage = Stage::Flushing;
    if (m_socket->bytesToWrite() == 0)
        awaitVerdict();
}

void FileTransfer::onBytesWritten()
{
    // Any progress of the socket restarts the watchdog.
    if (m_stage == Stage::Idle)
        return;
    m_stallTimer.start(stallTimeout());
    if (m_stage == Stage::Sending)
        fillSocket();
    else if (m_stage == Stage::Flushing && m_socket->bytesToWrite() == 0)
        awaitVerdict();
}

void FileTransfer::awaitVerdict()
{
    m_stage = Stage::AwaitingVerdict;
    m_stallTimer.stop();
    if (m_socket->bytesAvailable() >= kVerdictSize)
        judgeVerdict();
    else
        m_verdictTimer.start(verdictTimeout());
}

void FileTransfer::onStall()
{
    if (m_stage == Stage::Idle || m_stage == Stage::AwaitingVerdict)
        return;
    if (!m_socket || m_socket->bytesToWrite() == 0) {
        // Nothing queued (the digest is still being taken): not the box's doing.
        m_stallTimer.start(stallTimeout());
        return;
    }
    Report report;
    report.resetProgress = true;
    report.message = tr("Connection Status:The box took no data for %1 seconds; transfer stopped.")
                         .arg(stallTimeout() / 1000.0);
    finish(Outcome::Stalled, report);
}

void FileTransfer::onSocketError()
{
    Report report;
    switch (m_stage) {
    case Stage::Connecting:
        report.message = tr("Connection Status:Failed to connect to server for program update.");
        finish(Outcome::ConnectFailed, report);
        return;
    case Stage::Sending:
    case Stage::AwaitingDigest:
    case Stage::Flushing:
        report.message = tr("Connection Status:Not connected to server.");
        finish(Outcome::ConnectionLost, report);
        return;
    case Stage::AwaitingVerdict:
        // A box may hang up right behind its verdict: whatever arrived is judged, on time.
        if (m_socket->bytesAvailable() >= kVerdictSize)
            judgeVerdict();
        return;
    case Stage::Idle:
        return;
    }
}

void FileTransfer::judgeVerdict()
{
    if (m_stage != Stage::AwaitingVerdict)
        return;
    Report report;
    if (m_socket->bytesAvailable() < kVerdictSize) {
        report.resetProgress = true;
        report.warningTitle = tr("Timeout");
        report.warningText = tr("Timeout while waiting for checksum result.");
        report.message = tr("Timeout:Timeout while waiting for checksum result.");
        finish(Outcome::Timeout, report);
        return;
    }

    const QByteArray reply = m_socket->readAll();
    Outcome outcome = Outcome::UnrecognisedReply;
    switch (FrameCodec::judgeVerdict(reply, m_command)) {
    case FrameCodec::Verdict::NotAVerdict:
        qDebug() << "Unrecognised checksum reply:" << reply.toHex(' ');
        break;
    case FrameCodec::Verdict::CommandTypeError:
        outcome = Outcome::CommandTypeError;
        report.message = tr("Checksum Result:Command type error.");
        break;
    case FrameCodec::Verdict::ValueError:
        outcome = Outcome::ReturnValueError;
        report.message = tr("Checksum Result:Verification data return value error.");
        break;
    case FrameCodec::Verdict::ChecksumFailed:
        outcome = Outcome::ChecksumFailed;
        report.message = tr("Checksum Result:Checksum failed.");
        break;
    case FrameCodec::Verdict::ChecksumMatched:
        outcome = Outcome::ChecksumSuccessful;
        report.message = tr("Checksum Result:Checksum successful.");
        break;
    }
    report.resetProgress = outcome != Outcome::ChecksumSuccessful && outcome != Outcome::UnrecognisedReply;
    finish(outcome, report);
}

void FileTransfer::stopDigest()
{
    if (!m_digest)
        return;
    // A shared digest is the owner's to stop: other transfers may still wait for it.
    if (m_ownDigest) {
        m_digest->cancel = true;
        if (m_digest->result.valid())
            m_digest->result.wait();
    }
    m_digest.reset();
    m_ownDigest = false;
}

void FileTransfer::dropSocket(bool graceful)
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    if (graceful)
        m_socket->disconnectFromHost();
    else
        m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void FileTransfer::finish(Outcome outcome, const Report &report)
{
    // All state is settled before any signal leaves: a handler may show a modal box, start
    // the next transfer or delete this object.
    m_stage = Stage::Idle;
    m_connectTimer.stop();
    m_stallTimer.stop();
    m_verdictTimer.stop();
    m_digestPoll.stop();
    m_file.close();
    stopDigest();
    dropSocket(outcome == Outcome::Timeout || boxAnswered(outcome));

    QPointer<FileTransfer> self(this);
    if (report.resetProgress)
        emit progressChanged(0);
    if (self && !report.warningText.isEmpty())
        emit warningRequested(report.warningTitle, report.warningText);
    if (self && !report.message.isEmpty())
        emit messageAppended(report.message);
    if (self)
        emit finished(outcome);
}
