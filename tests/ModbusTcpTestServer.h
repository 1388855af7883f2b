#pragma once

// A Modbus TCP server for the tests and the read benchmark: answers reads of holding registers
// (function 3) from a value function, on any number of connections. A reply function, when
// given, sends each reply its own way (spoiled, late, in pieces).

#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

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
            const int start = wordAt(request, 8);
            const int count = wordAt(request, 10);
            QByteArray pdu;
            pdu.append(request[7]).append(char(2 * count));
            for (int i = start; i < start + count; ++i)
                pdu += word(m_values(i));
            if (m_reply)
                m_reply(socket, request, pdu);
            else
                socket->write(adu(request, pdu));
        }
    }

    Values m_values;
    Reply m_reply;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
