#include "core/modbus/ModbusFrame.h"

namespace ModbusFrame {

namespace {

void putWord(QByteArray *bytes, quint16 word)
{
    bytes->append(char(word >> 8));
    bytes->append(char(word & 0xFF));
}

quint16 wordAt(const char *data)
{
    return quint16((quint8(data[0]) << 8) | quint8(data[1]));
}

int dataBytes(const Request &request)
{
    return request.isBitRead() ? (request.count + 7) / 8 : 2 * request.count;
}

} // namespace

Request Request::read(quint8 unit, quint8 function, quint16 address, quint16 count)
{
    Request request;
    request.unit = unit;
    request.function = function;
    request.address = address;
    request.count = count;
    return request;
}

Reply Reply::refused(Status status, const QString &reason)
{
    Reply reply;
    reply.status = status;
    reply.reason = reason;
    return reply;
}

QByteArray pdu(const Request &request)
{
    QByteArray bytes;
    bytes.append(char(request.function));
    putWord(&bytes, request.address);
    switch (request.function) {
    case WriteSingleCoil:
        putWord(&bytes, request.values.value(0) ? 0xFF00 : 0x0000);
        break;
    case WriteSingleRegister:
        putWord(&bytes, request.values.value(0));
        break;
    case WriteMultipleRegisters:
        putWord(&bytes, quint16(request.values.size()));
        bytes.append(char(2 * request.values.size()));
        for (quint16 word : request.values)
            putWord(&bytes, word);
        break;
    default:
        putWord(&bytes, request.count);
        break;
    }
    return bytes;
}

QByteArray tcpAdu(quint16 transactionId, const Request &request)
{
    const QByteArray body = pdu(request);
    QByteArray bytes;
    putWord(&bytes, transactionId);
    putWord(&bytes, 0);
    putWord(&bytes, quint16(body.size() + 1));
    bytes.append(char(request.unit));
    return bytes + body;
}

quint16 crc16(const char *data, int size)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < size; ++i) {
        crc ^= quint8(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

QByteArray rtuAdu(const Request &request)
{
    QByteArray bytes;
    bytes.append(char(request.unit));
    bytes += pdu(request);
    const quint16 crc = crc16(bytes.constData(), bytes.size());
    bytes.append(char(crc & 0xFF)); // low byte first on the wire
    bytes.append(char(crc >> 8));
    return bytes;
}

int replyPduSize(const Request &request)
{
    return request.isRead() ? 2 + dataBytes(request) : 5;
}

Reply parsePdu(const Request &request, const char *pdu, int size)
{
    using S = Reply::Status;
    if (size < 1)
        return Reply::refused(S::WrongReply, QStringLiteral("empty reply"));
    const quint8 function = quint8(pdu[0]);
    if (function == (request.function | 0x80)) {
        if (size != 2)
            return Reply::refused(S::WrongReply, QStringLiteral("exception reply of %1 bytes").arg(size));
        Reply reply;
        reply.status = S::Exception;
        reply.exceptionCode = quint8(pdu[1]);
        return reply;
    }
    if (function != request.function)
        return Reply::refused(S::WrongReply, QStringLiteral("function %1 answers function %2")
                                                 .arg(function)
                                                 .arg(request.function));
    if (size != replyPduSize(request))
        return Reply::refused(S::WrongReply, QStringLiteral("%1 bytes where %2 were due")
                                                 .arg(size)
                                                 .arg(replyPduSize(request)));
    Reply reply;
    if (!request.isRead()) {
        // A write is answered by the echo of its address and value (5, 6) or quantity (16).
        const QByteArray sent = ModbusFrame::pdu(request).left(5);
        if (QByteArray(pdu, 5) != sent)
            return Reply::refused(S::WrongReply, QStringLiteral("the write reply does not echo the request"));
        return reply;
    }
    if (quint8(pdu[1]) != dataBytes(request))
        return Reply::refused(S::WrongReply, QStringLiteral("byte count %1 where %2 were due")
                                                 .arg(quint8(pdu[1]))
                                                 .arg(dataBytes(request)));
    const char *data = pdu + 2;
    if (request.isBitRead()) {
        for (int i = 0; i < request.count; ++i)
            reply.values.append((quint8(data[i / 8]) >> (i % 8)) & 1);
    } else {
        for (int i = 0; i < request.count; ++i)
            reply.values.append(wordAt(data + 2 * i));
    }
    return reply;
}

int tcpFrameLength(const QByteArray &buffer)
{
    if (buffer.size() < 6)
        return 0;
    const int length = wordAt(buffer.constData() + 4);
    if (length < 2 || length > MaxPdu + 1)
        return -1;
    return buffer.size() >= 6 + length ? 6 + length : 0;
}

quint16 tcpTransactionId(const QByteArray &frame)
{
    return frame.size() >= 2 ? wordAt(frame.constData()) : 0;
}

Reply parseTcp(const Request &request, const QByteArray &frame)
{
    using S = Reply::Status;
    if (frame.size() < MbapHeader + 1 || tcpFrameLength(frame) != frame.size())
        return Reply::refused(S::WrongReply, QStringLiteral("malformed frame"));
    const quint16 protocol = wordAt(frame.constData() + 2);
    if (protocol != 0)
        return Reply::refused(S::WrongReply, QStringLiteral("protocol id %1").arg(protocol));
    const quint8 unit = quint8(frame.at(6));
    if (unit != request.unit)
        return Reply::refused(S::WrongReply, QStringLiteral("unit id %1 answers unit %2").arg(unit).arg(request.unit));
    return parsePdu(request, frame.constData() + MbapHeader, frame.size() - MbapHeader);
}

int rtuReplySize(const Request &request, const QByteArray &received)
{
    if (received.size() >= 2 && quint8(received.at(1)) == (request.function | 0x80))
        return 5;
    return 1 + replyPduSize(request) + 2;
}

Reply parseRtu(const Request &request, const QByteArray &frame)
{
    using S = Reply::Status;
    if (frame.size() < 4)
        return Reply::refused(S::WrongReply, QStringLiteral("frame of %1 bytes").arg(frame.size()));
    const int body = frame.size() - 2;
    const quint16 crc = quint16(quint8(frame.at(body)) | (quint8(frame.at(body + 1)) << 8));
    if (crc != crc16(frame.constData(), body))
        return Reply::refused(S::CrcError, QStringLiteral("CRC %1 where %2 was due")
                                               .arg(crc, 4, 16, QLatin1Char('0'))
                                               .arg(crc16(frame.constData(), body), 4, 16, QLatin1Char('0')));
    const quint8 unit = quint8(frame.at(0));
    if (unit != request.unit)
        return Reply::refused(S::WrongReply, QStringLiteral("station %1 answers station %2").arg(unit).arg(request.unit));
    return parsePdu(request, frame.constData() + 1, body - 1);
}

} // namespace ModbusFrame
