// Live-data reports from frames as the extractor delivers them, and the frame parsers that
// see the same frames.

#include "FuzzCheck.h"
#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/FrameExtractor.h"
#include "core/boxlink/LiveDataAssembler.h"

#include <QByteArray>
#include <QJsonObject>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LiveDataAssembler assembler;
    FrameExtractor extractor([&](const char *frame, int length) {
        const QByteArray bytes(frame, length);
        FrameCodec::BoxIdentity identity;
        FrameCodec::parseHeartbeatReply(bytes, &identity);
        FrameCodec::ChecksumInfo checksum;
        if (FrameCodec::parseChecksumFrame(bytes, &checksum))
            FUZZ_CHECK(checksum.digest.size() == length - 14);
        FrameCodec::judgeVerdict(bytes, quint8(frame[2]));
        if (quint8(frame[2]) != FrameCodec::LiveDataFragment)
            return;
        const LiveDataAssembler::Status status = assembler.addFragment(frame, length);
        FUZZ_CHECK(assembler.collected().size() <= qint64(assembler.expectedTotal()));
        if (status == LiveDataAssembler::Status::Complete)
            assembler.takeReport();
        if (status != LiveDataAssembler::Status::Pending
            && status != LiveDataAssembler::Status::Dropped)
            FUZZ_CHECK(assembler.expectedTotal() == 0 && assembler.collected().isEmpty());
    });
    extractor.feed(reinterpret_cast<const char *>(data), int(size));
    return 0;
}
