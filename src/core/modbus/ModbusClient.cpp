#include "core/modbus/ModbusClient.h"

#include "core/modbus/SerialLine.h"
#include "core/project/Ipv4Address.h"

#include <QSignalBlocker>
#include <QTcpSocket>

namespace {

ModbusClient::Result fromReply(const ModbusFrame::Reply &reply)
{
    using S = ModbusClient::Result::Status;
    ModbusClient::Result result;
    switch (reply.status) {
    case ModbusFrame::Reply::Status::Ok: result.status = S::Ok; break;
    case ModbusFrame::Reply::Status::Exception: result.status = S::Exception; break;
    case ModbusFrame::Reply::Status::WrongReply: result.status = S::WrongReply; break;
    case ModbusFrame::Reply::Status::CrcError: result.status = S::CrcError; break;
    }
    result.exceptionCode = reply.exceptionCode;
    result.values = reply.values;
    result.reason = reply.reason;
    return result;
}

} // namespace

ModbusClient::ModbusClient(const ModbusLinkSettings &link, QObject *parent)
    : QObject(parent), m_link(link)
{
    qRegisterMetaType<ModbusClient::Result>();
    m_connectTimer.setSingleShot(true);
    m_replyTimer.setSingleShot(true);
    m_silenceTimer.setSingleShot(true);
    m_silenceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        failLink(Result::Status::Timeout, QStringLiteral("no connection within %1 ms").arg(m_link.connectionTimeoutMs),
                 Result::Link::NoConnection);
    });
    // Fires whatever bytes come meanwhile: no reply, however it trickles, extends the wait.
    connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        Result result;
        result.status = Result::Status::Timeout;
        result.reason = QStringLiteral("no whole reply within %1 ms (%2 bytes came)")
                            .arg(m_link.requestTimeoutMs)
                            .arg(m_buffer.size());
        // The rest of a cut frame would be read as the start of the next one.
        if (m_socket && !m_buffer.isEmpty())
            dropConnection();
        m_recover = true;
        finish(result);
    });

    if (m_link.mode == ModbusLinkSettings::Mode::Tcp) {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, [this] {
            m_connectTimer.stop();
            if (m_waiting && !m_sent)
                transmit();
        });
        connect(m_socket, &QTcpSocket::readyRead, this, &ModbusClient::tcpBytes);
        const auto lost = [this] {
            m_buffer.clear();
            if (!m_waiting)
                return;
            // Refused before it was up, or up and then gone: the user's next step differs.
            const bool refused = m_socket->state() != QAbstractSocket::ConnectedState
                                 && m_socket->error() == QAbstractSocket::ConnectionRefusedError;
            if (m_sent) {
                Result result;
                result.status = Result::Status::ConnectionError;
                result.reason = m_socket->errorString();
                result.link = Result::Link::Dropped;
                finish(result);
            } else {
                failLink(Result::Status::ConnectionError, m_socket->errorString(),
                         refused ? Result::Link::Refused : Result::Link::Dropped);
            }
        };
        connect(m_socket, &QTcpSocket::errorOccurred, this, lost);
        connect(m_socket, &QTcpSocket::disconnected, this, lost);
    } else {
        m_line = new SerialLine(this);
        m_line->setSettings({m_link.serialDevice, m_link.baudRate, m_link.dataBits, m_link.stopBits, m_link.parity});
        connect(m_line, &SerialLine::bytesSent, this, &ModbusClient::bytesSent);
        connect(m_line, &SerialLine::bytesReceived, this, &ModbusClient::rtuBytes);
        connect(&m_silenceTimer, &QTimer::timeout, this, &ModbusClient::rtuFrameEnded);
        connect(m_line, &SerialLine::failed, this, [this](const QString &error) {
            m_line->close();
            if (!m_waiting)
                return;
            Result result;
            result.status = Result::Status::ConnectionError;
            result.reason = error;
            result.link = Result::Link::SerialUnusable;
            finish(result);
        });
    }
}

ModbusClient::~ModbusClient()
{
    // Nothing is reported from here: whoever listens may be half destroyed.
    m_waiting = false;
    dropConnection();
}

void ModbusClient::close()
{
    m_connectTimer.stop();
    m_replyTimer.stop();
    m_silenceTimer.stop();
    dropConnection();
    if (m_waiting) {
        Result result;
        result.status = Result::Status::ConnectionError;
        result.reason = QStringLiteral("closed");
        finish(result);
    }
}

// Quietly: the caller reports what happened.
void ModbusClient::dropConnection()
{
    m_buffer.clear();
    if (m_socket) {
        const QSignalBlocker block(m_socket);
        m_socket->abort();
    }
    if (m_line) {
        const QSignalBlocker block(m_line);
        m_line->close();
    }
}

bool ModbusClient::send(const ModbusFrame::Request &request)
{
    if (m_waiting)
        return false;
    m_request = request;
    m_waiting = true;
    m_sent = false;
    // From the event loop, so that replied() never comes from inside send().
    QTimer::singleShot(0, this, &ModbusClient::openLink);
    return true;
}

void ModbusClient::openLink()
{
    if (!m_waiting || m_sent)
        return;
    if (m_socket) {
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            transmit();
            return;
        }
        if (m_socket->state() != QAbstractSocket::UnconnectedState) {
            const QSignalBlocker block(m_socket);
            m_socket->abort();
        }
        m_buffer.clear();
        // Only the four-decimal form: the socket would read "127.0.4.010" as octal (.8) and
        // poll another device's registers.
        const QHostAddress address = Ipv4Address::parse(m_link.host);
        if (address.isNull()) {
            failLink(Result::Status::ConnectionError,
                     QStringLiteral("\"%1\" is not four decimal parts from 0 to 255 without leading zeros").arg(m_link.host),
                     Result::Link::BadAddress);
            return;
        }
        m_connectTimer.start(m_link.connectionTimeoutMs);
        m_socket->connectToHost(address, quint16(m_link.port));
        return;
    }
    if (!m_line->isOpen()) {
        QString error;
        if (!m_line->open(&error)) {
            failLink(Result::Status::ConnectionError, error, Result::Link::SerialUnusable);
            return;
        }
    }
    // After a failure a late reply may still be on its way: give it a whole time-out to
    // arrive and be dropped, so it is never read as the answer to this request.
    const int quiet = m_recover ? m_link.requestTimeoutMs : m_line->silenceMs();
    m_line->whenQuiet(quiet, 2 * qMax(quiet, m_link.requestTimeoutMs), [this] { transmit(); });
}

void ModbusClient::transmit()
{
    m_buffer.clear();
    m_recover = false;
    if (m_socket) {
        ++m_transactionId;
        const QByteArray bytes = ModbusFrame::tcpAdu(m_transactionId, m_request);
        if (m_socket->write(bytes) != bytes.size()) {
            failLink(Result::Status::ConnectionError, m_socket->errorString(), Result::Link::Dropped);
            return;
        }
        emit bytesSent(bytes);
    } else if (!m_line->write(ModbusFrame::rtuAdu(m_request))) {
        m_line->close();
        failLink(Result::Status::ConnectionError, QStringLiteral("the serial line refused the request"),
                 Result::Link::SerialUnusable);
        return;
    }
    m_sent = true;
    m_replyTimer.start(m_link.requestTimeoutMs);
}

void ModbusClient::tcpBytes()
{
    const QByteArray bytes = m_socket->readAll();
    if (bytes.isEmpty())
        return;
    emit bytesReceived(bytes);
    m_buffer += bytes;
    for (;;) {
        const int length = ModbusFrame::tcpFrameLength(m_buffer);
        if (length == 0)
            return;
        if (length < 0) {
            // No frame boundary can be found after this: start afresh on a new connection.
            const bool answered = m_waiting && m_sent;
            dropConnection();
            if (answered)
                finishWith(ModbusFrame::Reply::refused(ModbusFrame::Reply::Status::WrongReply,
                                                       QStringLiteral("malformed frame header")));
            return;
        }
        const QByteArray frame = m_buffer.left(length);
        m_buffer.remove(0, length);
        // A late or repeated reply to an earlier request, or one nobody asked for.
        if (!m_waiting || !m_sent || ModbusFrame::tcpTransactionId(frame) != m_transactionId)
            continue;
        const ModbusFrame::Reply reply = ModbusFrame::parseTcp(m_request, frame);
        // Where a frame lied about itself, the next one cannot be found for sure.
        if (reply.status == ModbusFrame::Reply::Status::WrongReply)
            dropConnection();
        finishWith(reply);
        return;
    }
}

void ModbusClient::rtuBytes(const QByteArray &bytes)
{
    emit bytesReceived(bytes);
    if (!m_waiting || !m_sent)
        return; // stale: the line drops it before the next request
    m_buffer += bytes;
    const int size = ModbusFrame::rtuReplySize(m_request, m_buffer);
    if (m_buffer.size() < size) {
        m_silenceTimer.start(m_line->silenceMs());
        return;
    }
    const ModbusFrame::Reply reply = ModbusFrame::parseRtu(m_request, m_buffer.left(size));
    if (m_buffer.size() > size || (!reply.ok() && reply.status != ModbusFrame::Reply::Status::Exception))
        m_recover = true;
    finishWith(reply);
}

// The line fell silent before a whole reply came: judge what did.
void ModbusClient::rtuFrameEnded()
{
    if (!m_waiting || !m_sent || m_buffer.isEmpty())
        return;
    m_recover = true;
    finishWith(ModbusFrame::parseRtu(m_request, m_buffer));
}

void ModbusClient::failLink(Result::Status status, const QString &reason, Result::Link link)
{
    dropConnection();
    Result result;
    result.status = status;
    result.reason = reason;
    result.linkFailed = true;
    result.link = link;
    finish(result);
}

void ModbusClient::finishWith(const ModbusFrame::Reply &reply)
{
    finish(fromReply(reply));
}

void ModbusClient::finish(Result result)
{
    if (!m_waiting)
        return;
    m_waiting = false;
    m_sent = false;
    m_connectTimer.stop();
    m_replyTimer.stop();
    m_silenceTimer.stop();
    m_buffer.clear();
    if (m_line)
        m_line->cancelWait();
    emit replied(result);
}
