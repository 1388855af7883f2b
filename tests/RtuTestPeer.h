#pragma once

// An RTU device of the test's own on the far end of a pseudo-terminal pair (see PtyPair): it
// cuts what it reads into 8-byte requests (the reads and single writes the tests send) and
// hands each to a reply function, which answers on the port its own way (well, spoiled,
// late, not at all).

#include "core/modbus/ModbusFrame.h"

#include <QSerialPort>

#include <functional>

class RtuTestPeer : public QObject
{
public:
    using Reply = std::function<void(QSerialPort &port, const QByteArray &request)>;

    RtuTestPeer(const QString &device, Reply reply) : m_reply(std::move(reply))
    {
        m_port.setPortName(device);
        connect(&m_port, &QSerialPort::readyRead, this, [this] {
            m_buffer += m_port.readAll();
            while (m_buffer.size() >= 8) {
                const QByteArray request = m_buffer.left(8);
                m_buffer.remove(0, 8);
                m_reply(m_port, request);
            }
        });
    }
    bool open() { return m_port.open(QIODevice::ReadWrite); }

    static QByteArray withCrc(QByteArray frame)
    {
        const quint16 crc = ModbusFrame::crc16(frame.constData(), frame.size());
        return frame.append(char(crc & 0xFF)).append(char(crc >> 8));
    }

private:
    Reply m_reply;
    QSerialPort m_port;
    QByteArray m_buffer;
};
