#include "core/boxlink/FileTransfer.h"

#include "core/boxlink/FrameCodec.h"
#include "core/project/ProjectFileIo.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

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

} // namespace

FileTransfer::FileTransfer(QObject *parent)
    : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    m_stallTimer.setSingleShot(true);
    m_verdictTimer.setSingleShot(true);
    m_digestPoll.setSingleShot(true);
    m_ackPoll.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &FileTransfer::onSocketError);
    connect(&m_stallTimer, &QTimer::timeout, this, &FileTransfer::onStall);
    connect(&m_verdictTimer, &QTimer::timeout, this, &FileTransfer::judgeVerdict);
    connect(&m_digestPoll, &QTimer::timeout, this, &FileTransfer::sendChecksumWhenReady);
    connect(&m_ackPoll, &QTimer::timeout, this, [this] {
        if (m_stage == Stage::Flushing && m_socket->bytesToWrite() == 0)
            awaitVerdict();
    });
}

FileTransfer::~FileTransfer()
{
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
    case Outcome::VerdictLost:
        return tr("Connection lost before the checksum result.");
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
    return runToEnd([&] { return start(command, filePath); });
}

FileTransfer::Outcome FileTransfer::send(quint8 command, SharedPayload payload)
{
    return runToEnd([&] { return start(command, std::move(payload)); });
}

FileTransfer::Outcome FileTransfer::runToEnd(const std::function<bool()> &begin)
{
    Outcome result = Outcome::Cancelled;
    QEventLoop loop;
    const QMetaObject::Connection done =
        connect(this, &FileTransfer::finished, &loop, [&result, &loop](Outcome outcome) {
            result = outcome;
            loop.quit();
        });
    if (begin() && isRunning())
        loop.exec();
    disconnect(done);
    return result;
}

bool FileTransfer::start(quint8 command, const QString &filePath)
{
    if (m_stage != Stage::Idle)
        return false;
    m_path = filePath;
    m_payload.reset();
    return begin(command);
}

bool FileTransfer::start(quint8 command, SharedPayload payload)
{
    if (m_stage != Stage::Idle || !payload)
        return false;
    m_path.clear();
    m_payload = std::move(payload);
    return begin(command);
}

bool FileTransfer::begin(quint8 command)
{
    m_command = command;
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
    connect(m_socket, &QTcpSocket::readyRead, this, &FileTransfer::onReadyRead);
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
    if (!m_payload) {
        QString error;
        m_payload = TransferPayload::readFile(m_path, ProjectFileIo::kPipeDeadlineMs, &error);
        if (!m_payload) {
            qDebug() << "Cannot read" << m_path << error;
            Report report;
            report.warningTitle = tr("Error");
            report.warningText = tr("Failed to open program file.");
            report.message = tr("Update Status:Could not read the file: %1").arg(error);
            finish(Outcome::FileOpenFailed, report);
            return;
        }
    }

    emit progressChanged(0);
    m_size = m_payload->size();
    m_stage = Stage::Sending;
    m_stallTimer.start(stallTimeout());
    fillSocket();
}

void FileTransfer::fillSocket()
{
    const quint32 total = quint32(m_size);
    const QByteArray &bytes = m_payload->bytes();
    QByteArray batch;
    while (m_stage == Stage::Sending && m_socket->bytesToWrite() + batch.size() < kQueuedBytes) {
        if (m_sent >= m_size) {
            m_stage = Stage::AwaitingDigest;
            break;
        }
        const int length = int(qMin<qint64>(FrameCodec::FragmentPayloadSize, m_size - m_sent));
        ++m_number;
        batch += FrameCodec::transferFragment(m_command, total, m_number,
                                              QByteArray::fromRawData(bytes.constData() + m_sent, length));
        m_sent += length;
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
    if (m_stage != Stage::AwaitingDigest)
        return;
    if (!m_payload->digestReady()) {
        // Look again shortly; the event loop keeps running meanwhile.
        m_digestPoll.start(2);
        return;
    }
    const QByteArray digest = m_payload->digest();
    if (m_removeAfterDigest && !m_payload->path().isEmpty())
        QFile::remove(m_payload->path());

    m_sentDigest = digest;
    m_socket->write(FrameCodec::checksumFrame(m_command, quint32(m_size), digest));
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

bool FileTransfer::everythingAcknowledged() const
{
#ifdef Q_OS_LINUX
    // Bytes the box's end has not acknowledged yet, the checksum frame's last ones included.
    // A socket already closed cannot tell: then nothing counts as delivered.
    int unacknowledged = 0;
    return m_socket->socketDescriptor() >= 0
           && ::ioctl(int(m_socket->socketDescriptor()), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
#else
    return true;
#endif
}

void FileTransfer::awaitVerdict()
{
    // A verdict counts only for a box that has the whole checksum frame: until its end has
    // acknowledged every byte, whatever it says was said before it could check anything.
    if (!everythingAcknowledged()) {
        m_ackPoll.start(5);
        return;
    }
    m_stage = Stage::AwaitingVerdict;
    m_stallTimer.stop();
    if (m_socket->bytesAvailable() >= kVerdictSize)
        judgeVerdict();
    else
        m_verdictTimer.start(verdictTimeout());
}

void FileTransfer::onReadyRead()
{
    if (m_stage == Stage::AwaitingVerdict) {
        if (m_socket->bytesAvailable() >= kVerdictSize)
            judgeVerdict();
        return;
    }
    if (m_stage == Stage::Idle)
        return;
    // The reply's own segment acknowledges what the box had when it answered: with nothing
    // left unacknowledged the box had the whole checksum frame, whatever this side's state.
    if (m_stage == Stage::Flushing && m_socket->bytesToWrite() == 0 && everythingAcknowledged()) {
        m_ackPoll.stop();
        awaitVerdict();
        return;
    }
    // An answer before the box has the file and its checksum is no verdict on them (a box
    // that took 1 KiB of 1 MiB and said "matched"): dropped, so it cannot pass for one later.
    const QByteArray early = m_socket->readAll();
    qDebug() << "Reply before the checksum frame reached the box, ignored:" << early.toHex(' ');
}

void FileTransfer::onStall()
{
    if (m_stage == Stage::Idle || m_stage == Stage::AwaitingVerdict)
        return;
    if (!m_socket || (m_socket->bytesToWrite() == 0 && m_stage != Stage::Flushing)) {
        // Nothing queued (the digest is still being taken): not the box's doing. While
        // flushing, bytes the box does not acknowledge are.
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
    case Stage::Flushing:
        if (m_socket->bytesToWrite() == 0) {
            // The checksum frame went out whole; only the box's answer is missing.
            m_stage = Stage::AwaitingVerdict;
            onSocketError();
            return;
        }
        Q_FALLTHROUGH();
    case Stage::Sending:
    case Stage::AwaitingDigest:
        report.message = tr("Connection Status:Not connected to server.");
        finish(Outcome::ConnectionLost, report);
        return;
    case Stage::AwaitingVerdict:
        // A box may hang up right behind its verdict: whatever arrived is judged, on time.
        if (m_socket->bytesAvailable() >= kVerdictSize) {
            judgeVerdict();
            return;
        }
        // No verdict can come any more; waiting out the verdict time would only hide why.
        report.resetProgress = true;
        report.message = tr("Checksum Result:Connection lost before the checksum result.");
        finish(Outcome::VerdictLost, report);
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
    m_ackPoll.stop();
    m_payload.reset();
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
