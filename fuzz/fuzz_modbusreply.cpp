// Bytes as a Modbus device may answer, checked against a request made from the first bytes:
// TCP framing of a stream, TCP and RTU reply checks. A reply that is accepted holds exactly
// the values asked for; the framing never claims more bytes than it has or than a frame holds.
// Input: byte 0 picks the function (1-6, 16) and byte 1 the unit; bytes 2-5 are address and
// count; the rest is what came back.

#include "FuzzCheck.h"
#include "core/modbus/ModbusFrame.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 6)
        return 0;
    static const quint8 functions[] = {1, 2, 3, 4, 5, 6, 16};
    ModbusFrame::Request request;
    request.function = functions[data[0] % 7];
    request.unit = data[1];
    request.address = quint16((data[2] << 8) | data[3]);
    request.count = quint16(((data[4] << 8) | data[5]) % 2001);
    if (request.function == ModbusFrame::WriteMultipleRegisters) {
        request.values = QVector<quint16>(qMax<int>(1, request.count % 124), quint16(0x1234));
        request.count = quint16(request.values.size());
    } else if (!request.isRead()) {
        request.values = {quint16(request.count)};
    }
    const QByteArray reply(reinterpret_cast<const char *>(data + 6), int(size - 6));

    // The stream is framed to its end; no frame is longer than a PDU allows.
    QByteArray stream = reply;
    for (;;) {
        const int length = ModbusFrame::tcpFrameLength(stream);
        if (length <= 0)
            break;
        FUZZ_CHECK(length >= 8 && length <= 6 + ModbusFrame::MaxPdu + 1 && length <= stream.size());
        const ModbusFrame::Reply parsed = ModbusFrame::parseTcp(request, stream.left(length));
        if (parsed.ok() && request.isRead())
            FUZZ_CHECK(parsed.values.size() == request.count);
        stream.remove(0, length);
    }

    const ModbusFrame::Reply rtu = ModbusFrame::parseRtu(request, reply);
    if (rtu.ok()) {
        FUZZ_CHECK(quint8(reply.at(0)) == request.unit && quint8(reply.at(1)) == request.function);
        FUZZ_CHECK(reply.size() == ModbusFrame::rtuReplySize(request, reply));
        if (request.isRead())
            FUZZ_CHECK(rtu.values.size() == request.count);
    } else if (rtu.status == ModbusFrame::Reply::Status::Exception) {
        FUZZ_CHECK(reply.size() == 5);
    } else {
        FUZZ_CHECK(!rtu.reason.isEmpty());
    }
    return 0;
}
