#pragma once

// A Modbus TCP server for the tests and the read benchmarks: answers reads (functions 1 to 4;
// a bit is the value's lowest bit) from a value function, on any number of connections. A
// reply function, when given, sends each reply its own way (spoiled, late, in pieces). Given
// readable ranges, a read touching any address outside them gets exception 2, as a device
// without a full map answers; a silent server takes requests and never answers.

#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <functional>

class ModbusTcpTestServer : public QObject
{
public:
    using Values = std::function<quint16(int address)>;
    // The request (12 bytes) and the PDU of its right answer.
    using Reply = std::function<void(QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu)>;

    explicit ModbusTcpTestServer(Values values, Reply reply = nullptr)
        : m_values(std::move(values)), m_reply(std::move(reply))
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    m_buffers.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }

    ~ModbusTcpTestServer() override
    {
        // The connections go with the server, after this object's members.
        for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
            socket->disconnect(this);
    }

    bool listen(const QString &address, quint16 port) { return m_server.listen(QHostAddress(address), port); }

    struct Range {
        int from, to; // inclusive
    };
    void setReadable(const QVector<Range> &ranges) { m_readable = ranges; }
    void setSilent(bool silent) { m_silent = silent; }
    // Requests received so far.
    int requests() const { return m_requests; }

    static int wordAt(const QByteArray &bytes, int index) { return (quint8(bytes[index]) << 8) | quint8(bytes[index + 1]); }
    static QByteArray word(quint16 value)
    {
        QByteArray bytes;
        return bytes.append(char(value >> 8)).append(char(value & 0xFF));
    }
    // The request's header (transaction, protocol, unit) around a reply PDU.
    static QByteArray adu(const QByteArray &request, const QByteArray &pdu)
    {
        return request.left(4) + word(quint16(pdu.size() + 1)) + request.mid(6, 1) + pdu;
    }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        while (buffer.size() >= 12) {
            const QByteArray request = buffer.left(12);
            buffer.remove(0, 12);
            ++m_requests;
            if (m_silent)
                continue;
            const int start = wordAt(request, 8);
            const int count = wordAt(request, 10);
            const char function = request[7];
            QByteArray pdu;
            if (!readable(start, count)) {
                pdu.append(char(function | 0x80)).append(char(2));
            } else if (function == 1 || function == 2) {
                QByteArray bits((count + 7) / 8, '\0');
                for (int i = 0; i < count; ++i)
                    bits[i / 8] = char(bits[i / 8] | ((m_values(start + i) & 1) << (i % 8)));
                pdu.append(function).append(char(bits.size())).append(bits);
            } else {
                pdu.append(function).append(char(2 * count));
                for (int i = start; i < start + count; ++i)
                    pdu += word(m_values(i));
            }
            if (m_reply)
                m_reply(socket, request, pdu);
            else
                socket->write(adu(request, pdu));
        }
    }

    bool readable(int start, int count) const
    {
        if (m_readable.isEmpty())
            return true;
        for (int a = start; a < start + count; ++a) {
            if (std::none_of(m_readable.begin(), m_readable.end(),
                             [a](const Range &range) { return a >= range.from && a <= range.to; }))
                return false;
        }
        return true;
    }

    Values m_values;
    Reply m_reply;
    QVector<Range> m_readable;
    bool m_silent = false;
    int m_requests = 0;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
