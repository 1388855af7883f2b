// The parsers of FrameCodec on raw bytes (a frame or a datagram), with encode-after-parse
// checks: what a parser accepted, encoded again, parses to the same values.

#include "FuzzCheck.h"
#include "core/boxlink/FrameCodec.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));

    FrameCodec::BoxIdentity identity;
    if (FrameCodec::parseHeartbeatReply(bytes, &identity)) {
        const QByteArray v = identity.version.toUtf8();
        const QByteArray s = identity.serialNumber.toUtf8();
        const QByteArray m = identity.model.toUtf8();
        // Replacement characters may grow a string past the 255-byte cut: those are left out.
        if (v.size() <= 255 && s.size() <= 255 && m.size() <= 255) {
            FrameCodec::BoxIdentity again;
            FUZZ_CHECK(FrameCodec::parseHeartbeatReply(FrameCodec::heartbeatReply(v, s, m), &again));
            FUZZ_CHECK(again.version == identity.version);
            FUZZ_CHECK(again.serialNumber == identity.serialNumber);
            FUZZ_CHECK(again.model == identity.model);
        }
    }

    FrameCodec::DiscoveryInfo info;
    if (FrameCodec::parseDiscoveryReply(bytes, &info)) {
        FrameCodec::DiscoveryInfo again;
        FUZZ_CHECK(FrameCodec::parseDiscoveryReply(
            FrameCodec::discoveryReply(info.ip, info.mask, info.model), &again));
        FUZZ_CHECK(again.ip == info.ip);
        FUZZ_CHECK(again.mask == info.mask);
        FUZZ_CHECK(again.model == info.model);
    }

    if (size > 2)
        FrameCodec::judgeVerdict(bytes, data[2]);

    FrameCodec::ChecksumInfo checksum;
    FrameCodec::parseChecksumFrame(bytes, &checksum);
    FrameCodec::FragmentHeader header;
    FrameCodec::parseFragmentHeader(bytes.constData(), bytes.size(), &header);
    FrameCodec::isDiscoveryRequest(bytes);
    return 0;
}
