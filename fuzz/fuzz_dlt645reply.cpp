// Bytes as a meter line may bring them, checked against a request made from the first bytes:
// the scan never claims a frame beyond the bytes it has, a found frame re-encodes to the very
// bytes it came from, and an accepted read holds exactly what follows its own identifier.
// Input: byte 0 picks edition and request kind, bytes 1-6 the address, 7-10 the identifier,
// byte 11 the value format; the rest is what came back.

#include "FuzzCheck.h"
#include "core/dlt645/Dlt645Frame.h"
#include "core/dlt645/Dlt645Value.h"

#include <cstdint>

using namespace Dlt645;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 12)
        return 0;
    Address address{};
    for (int i = 0; i < 6; ++i)
        address[i] = data[1 + i];
    const quint32 identifier = quint32(data[7]) << 24 | quint32(data[8]) << 16 | quint32(data[9]) << 8 | data[10];
    Request request;
    switch (data[0] % 3) {
    case 0: request = readRequest(Edition::V2007, address, identifier); break;
    case 1: request = readRequest(Edition::V1997, address, identifier & 0xFFFF); break;
    default: request = addressRequest(); break;
    }
    static const char *formats[] = {"XXXXXX.XX", "XX.XXXX", "XXX.XXX", "XXX.X", "X.XXX",
                                    "XX.XX", "XXX", "XXXXXX", "NNNNNN", "XXXXXX.XX "};
    const ValueFormat format = parseFormat(QString::fromLatin1(formats[data[11] % 10]));

    QByteArray stream(reinterpret_cast<const char *>(data + 12), int(size - 12));
    for (int frames = 0; frames < 64; ++frames) {
        const Scan found = scan(stream);
        if (found.result != Scan::Found)
            break;
        FUZZ_CHECK(found.end >= kMinFrameSize && found.end <= stream.size());
        const QByteArray again = encodeFrame(found.frame, false);
        FUZZ_CHECK(stream.mid(found.end - again.size(), again.size()) == again);
        Reply reply;
        if (check(request, found.frame, &reply) == Verdict::Accepted && reply.status == Status::Ok
            && request.control != ReadAddress2007) {
            FUZZ_CHECK(reply.value.size() == found.frame.data.size() - identifierSize(request.edition));
            FUZZ_CHECK(addressMatches(request.address, reply.address));
            const Value value = decodeValue(reply.value, format, isSignedItem(request.edition, request.identifier));
            if (value.status == Status::Ok)
                FUZZ_CHECK(reply.value.size() == format.bytes() && !value.text.isEmpty());
        }
        stream.remove(0, found.end);
    }
    return 0;
}
