#pragma once

// Modbus frames as bytes: building a request (PDU, TCP and RTU framing) and checking a reply
// against the request it is meant to answer. Pure functions, no I/O: a reply counts only when
// its framing, unit id, function code and size agree with the request; anything else is
// refused with a reason.

#include <QByteArray>
#include <QString>
#include <QVector>

namespace ModbusFrame {

enum Function : quint8 {
    ReadCoils = 1,
    ReadDiscreteInputs = 2,
    ReadHoldingRegisters = 3,
    ReadInputRegisters = 4,
    WriteSingleCoil = 5,
    WriteSingleRegister = 6,
    WriteMultipleRegisters = 16,
};

// Largest PDU the protocol allows (a 256-byte RTU frame less unit id and CRC).
constexpr int MaxPdu = 253;
constexpr int MbapHeader = 7; // transaction id, protocol id, length, unit id

struct Request {
    quint8 unit = 1;
    quint8 function = ReadHoldingRegisters;
    quint16 address = 0;
    quint16 count = 0;        // reads and function 16: registers or bits
    QVector<quint16> values;  // writes: the value (5, 6) or the registers (16)

    static Request read(quint8 unit, quint8 function, quint16 address, quint16 count);
    bool isRead() const { return function >= ReadCoils && function <= ReadInputRegisters; }
    bool isBitRead() const { return function == ReadCoils || function == ReadDiscreteInputs; }
};

struct Reply {
    enum class Status { Ok, Exception, WrongReply, CrcError };
    Status status = Status::Ok;
    int exceptionCode = 0;
    QVector<quint16> values;  // reads: registers, or one entry (0/1) per bit asked for
    QString reason;           // why a reply was refused, for logs

    bool ok() const { return status == Status::Ok; }
    static Reply refused(Status status, const QString &reason);
};

QByteArray pdu(const Request &request);
QByteArray tcpAdu(quint16 transactionId, const Request &request);
QByteArray rtuAdu(const Request &request);
quint16 crc16(const char *data, int size);

// Bytes a correct reply PDU to the request has (function code included).
int replyPduSize(const Request &request);

// Checks a reply PDU (function code first) against its request.
Reply parsePdu(const Request &request, const char *pdu, int size);

// TCP: the length of the first whole frame in the buffer, 0 while more bytes are needed, or
// -1 when the header cannot start a frame (its length field is below 2 or above 254), after
// which nothing in the stream can be trusted.
int tcpFrameLength(const QByteArray &buffer);
quint16 tcpTransactionId(const QByteArray &frame);
// A whole TCP frame (see tcpFrameLength) against its request; the transaction id is checked
// by the caller, which discards frames of earlier requests.
Reply parseTcp(const Request &request, const QByteArray &frame);

// RTU: how many bytes the reply to the request takes, judged from what has come so far (an
// exception reply is shorter).
int rtuReplySize(const Request &request, const QByteArray &received);
Reply parseRtu(const Request &request, const QByteArray &frame);

} // namespace ModbusFrame
