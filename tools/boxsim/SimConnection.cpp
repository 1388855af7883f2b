#include "SimConnection.h"

#include "core/boxlink/FrameCodec.h"

#include <QHostAddress>

SimConnection::SimConnection(QTcpSocket *socket, Faults faults, QRandomGenerator *random,
                             QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_faults(faults)
    , m_random(random)
    , m_peer(QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort()))
{
    m_socket->setParent(this);
    // Small pieces must leave one by one, not be gathered by Nagle's algorithm.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_pieceTimer.setInterval(1);
    connect(&m_pieceTimer, &QTimer::timeout, this, &SimConnection::writeNextPiece);
    connect(m_socket, &QTcpSocket::readyRead, this, &SimConnection::readIncoming);
    connect(m_socket, &QTcpSocket::disconnected, this, [this]() { emit closed(this); });
}

SimConnection::~SimConnection()
{
    m_socket->disconnect(this);
}

TransferReceiver *SimConnection::startTransfer(quint8 command)
{
    m_transfer = std::make_unique<TransferReceiver>(command, m_peer);
    return m_transfer.get();
}

void SimConnection::readIncoming()
{
    // Straight into the frame buffer: no intermediate copy of what arrived.
    const qint64 available = m_socket->bytesAvailable();
    if (available > 0) {
        const int before = m_in.size();
        m_in.resize(before + int(available));
        const qint64 got = m_socket->read(m_in.data() + before, available);
        m_in.resize(before + int(qMax<qint64>(got, 0)));
    }
    int pos = 0;
    while (true) {
        const int start = m_in.indexOf("\x12\x34", pos);
        if (start < 0) {
            // Keep a last 0x12: its partner may be the next byte to arrive.
            pos = m_in.endsWith('\x12') ? m_in.size() - 1 : m_in.size();
            break;
        }
        pos = start;
        if (m_in.size() - start < FrameCodec::HeaderSize)
            break;
        const int length = FrameCodec::readU16(m_in.constData() + start + 4);
        if (length < FrameCodec::MinFrameSize) {
            pos = start + 2;
            continue;
        }
        if (m_in.size() - start < length)
            break;
        if (m_in.at(start + length - 2) != FrameCodec::EndMarker0
            || m_in.at(start + length - 1) != FrameCodec::EndMarker1) {
            pos = start + 2;
            continue;
        }
        // A view, not a copy: the receivers copy what they keep, and m_in stays untouched
        // until the loop is done.
        const QByteArray frame = QByteArray::fromRawData(m_in.constData() + start, length);
        pos = start + length;
        emit frameReceived(this, frame);
    }
    m_in.remove(0, pos);
}

void SimConnection::send(const QByteArray &frame)
{
    QByteArray bytes;
    if (m_faults.garbage)
        bytes = junk();
    bytes.append(frame);
    if (!m_faults.split) {
        m_socket->write(bytes);
        return;
    }
    m_outQueue.append(bytes);
    if (!m_pieceTimer.isActive())
        m_pieceTimer.start();
}

void SimConnection::sendRaw(const QByteArray &bytes)
{
    if (!m_outQueue.isEmpty()) {
        m_socket->write(m_outQueue);
        m_outQueue.clear();
        m_pieceTimer.stop();
    }
    m_socket->write(bytes);
    m_socket->flush();
}

void SimConnection::close()
{
    sendRaw(QByteArray());
    m_socket->disconnectFromHost();
}

void SimConnection::writeNextPiece()
{
    const int size = qMin(m_outQueue.size(), 1 + int(m_random->bounded(24)));
    m_socket->write(m_outQueue.constData(), size);
    m_socket->flush();
    m_outQueue.remove(0, size);
    if (m_outQueue.isEmpty())
        m_pieceTimer.stop();
}

QByteArray SimConnection::junk()
{
    // Junk never holds a bare 0x12: a false start marker may only come as a short length or
    // as a whole fake frame with a wrong end marker, both rejected on the spot. A false start
    // whose length reached into the real frame behind it would cost that frame.
    QByteArray bytes;
    const int count = 1 + int(m_random->bounded(40));
    for (int i = 0; i < count; ++i) {
        char byte = char(m_random->bounded(256));
        if (byte == FrameCodec::StartMarker0)
            byte = 0x13;
        bytes.append(byte);
    }
    switch (m_random->bounded(3)) {
    case 0: { // a header with an impossible length
        const char header[] = {0x12, 0x34, 0x05, 0x00, char(m_random->bounded(8)), 0x00};
        bytes.insert(int(m_random->bounded(bytes.size() + 1)), QByteArray(header, 6));
        break;
    }
    case 1: { // a complete frame whose end marker is wrong
        const int length = 8 + int(m_random->bounded(16));
        QByteArray fake = QByteArray::fromHex("12340500") + char(length) + '\0';
        while (fake.size() < length - 2)
            fake.append(char(0x20 + m_random->bounded(0x50)));
        fake.append("\x00\x00", 2);
        bytes.insert(int(m_random->bounded(bytes.size() + 1)), fake);
        break;
    }
    default:
        break;
    }
    return bytes;
}
