#pragma once

// Meters on the far end of a pseudo-terminal, for the tests and the benchmark: each answers the
// reads addressed to it from a table of value bytes, with the faults a real line shows on
// demand (no preamble, stray bytes, a doubled 68, a wrong address, error replies, silence) and,
// for timing, a reply delay of the reply's own wire time at a given speed plus a fixed delay.

#include "core/dlt645/Dlt645Frame.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

class Dlt645MeterPeer : public QObject
{
public:
    struct Meter
    {
        Dlt645::Edition edition = Dlt645::Edition::V2007;
        QHash<quint32, QByteArray> values; // identifier -> value bytes, least significant first
        QHash<quint32, quint8> errors;     // identifier -> error code to answer with
        bool silent = false;
    };

    int preamble = 2;         // FE bytes before each reply (0..4)
    QByteArray stray;         // bytes sent before each reply's preamble
    bool doubled68 = false;   // an extra 68 before the frame
    bool wrongAddress = false;// answer with the address's last byte changed
    bool corrupt = false;     // flip a checksum bit
    int answerDelayMs = 0;    // before a reply goes out
    int wireBaud = 0;         // > 0: add the reply's wire time at 11 bits a character
    int requests = 0;         // reads seen, of any meter
    qint64 delaysMs = 0;      // the sum of the reply delays applied so far

    explicit Dlt645MeterPeer(QObject *parent = nullptr)
        : QObject(parent)
    {
        connect(&m_port, &QSerialPort::readyRead, this, [this] { readRequests(); });
    }

    bool open(const QString &device)
    {
        m_port.setPortName(device);
        return m_port.open(QIODevice::ReadWrite);
    }

    Meter &meter(const QString &addressText)
    {
        Dlt645::Address address{};
        Dlt645::parseAddress(addressText, &address);
        return m_meters[address];
    }

private:
    void readRequests()
    {
        m_buffer.append(m_port.readAll());
        for (;;) {
            const Dlt645::Scan found = Dlt645::scan(m_buffer);
            if (found.result != Dlt645::Scan::Found)
                return;
            m_buffer.remove(0, found.end);
            answer(found.frame);
        }
    }

    void answer(const Dlt645::Frame &request)
    {
        using namespace Dlt645;
        ++requests;
        Frame reply;
        if (request.control == ReadAddress2007) {
            // Every meter on the line answers at once: with one it is a clean reply.
            for (auto it = m_meters.cbegin(); it != m_meters.cend(); ++it) {
                if (it.value().silent)
                    continue;
                reply.address = it.key();
                reply.control = AddressReply2007;
                reply.data = QByteArray(reinterpret_cast<const char *>(it.key().data()), 6);
                send(reply);
            }
            return;
        }
        // Every meter the address reaches answers (AA reaches any): on a line with more than
        // one, a wildcard read collides as it would on a real bus.
        for (auto it = m_meters.cbegin(); it != m_meters.cend(); ++it) {
            if (!it.value().silent && addressMatches(request.address, it.key()))
                answerRead(request, it.key(), it.value());
        }
    }

    void answerRead(const Dlt645::Frame &request, const Dlt645::Address &address, const Meter &meter)
    {
        using namespace Dlt645;
        const bool v2007 = request.control == Read2007;
        if ((meter.edition == Edition::V2007) != v2007)
            return; // a meter of the other edition stays quiet
        const int idSize = identifierSize(meter.edition);
        quint32 identifier = 0;
        for (int i = 0; i < idSize && i < request.data.size(); ++i)
            identifier |= quint32(quint8(request.data.at(i))) << (8 * i);
        Frame reply;
        reply.address = address;
        if (meter.errors.contains(identifier)) {
            reply.control = v2007 ? Error2007 : Error1997;
            reply.data = QByteArray(1, char(meter.errors.value(identifier)));
        } else if (meter.values.contains(identifier)) {
            reply.control = v2007 ? Reply2007 : Reply1997;
            reply.data = request.data.left(idSize) + meter.values.value(identifier);
        } else {
            reply.control = v2007 ? Error2007 : Error1997;
            reply.data = QByteArray(1, char(0x02)); // no such data
        }
        send(reply);
    }

    void send(Dlt645::Frame reply)
    {
        if (wrongAddress)
            reply.address[0] = quint8(reply.address[0] ^ 0x01);
        QByteArray bytes = Dlt645::encodeFrame(reply, false);
        if (corrupt)
            bytes[bytes.size() - 2] = char(bytes.at(bytes.size() - 2) ^ 0x01);
        if (doubled68)
            bytes.prepend(char(0x68));
        bytes.prepend(QByteArray(qBound(0, preamble, 4), char(0xFE)));
        bytes.prepend(stray);
        int delay = answerDelayMs;
        if (wireBaud > 0)
            delay += int(qint64(bytes.size()) * 11 * 1000 / wireBaud);
        delaysMs += delay;
        QTimer::singleShot(delay, Qt::PreciseTimer, this, [this, bytes] {
            if (m_port.isOpen())
                m_port.write(bytes);
        });
    }

    QSerialPort m_port;
    QByteArray m_buffer;
    QMap<Dlt645::Address, Meter> m_meters;
};
