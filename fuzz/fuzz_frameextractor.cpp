// The byte stream of a box, cut into chunks the input chooses: byte 0 gives the number of
// size bytes that follow (low four bits) and, in its top bit, whether the handler feeds the
// next chunk itself, as a nested event loop would; the sizes are used in turn until the
// stream is used up.

#include "FuzzCheck.h"
#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/FrameExtractor.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t sizeCount = size_t(data[0] % 16) + 1;
    const bool feedFromHandler = (data[0] & 0x80) != 0;
    if (size < 1 + sizeCount)
        return 0;
    std::vector<int> sizes;
    for (size_t i = 0; i < sizeCount; ++i) {
        const uint8_t b = data[1 + i];
        // Small chunks split headers and markers; large ones carry whole frames.
        sizes.push_back(b < 0x80 ? b + 1 : (b - 0x7F) * 64);
    }
    const char *stream = reinterpret_cast<const char *>(data + 1 + sizeCount);
    const size_t streamSize = size - 1 - sizeCount;

    // Each chunk in its own allocation, so a read past its end is caught; all stay alive to
    // the end, as the extractor may hold on to a chunk until it has consumed it.
    std::vector<std::unique_ptr<char[]>> chunks;
    std::vector<int> chunkSizes;
    for (size_t pos = 0, i = 0; pos < streamSize; ++i) {
        const size_t n = std::min(size_t(sizes[i % sizes.size()]), streamSize - pos);
        chunks.emplace_back(new char[n]);
        std::copy(stream + pos, stream + pos + n, chunks.back().get());
        chunkSizes.push_back(int(n));
        pos += n;
    }

    FrameExtractor extractor;
    size_t next = 0;
    const auto feedNext = [&] {
        const size_t i = next++;
        extractor.feed(chunks[i].get(), chunkSizes[i]);
        FUZZ_CHECK(extractor.heldCount() >= 0 && extractor.heldCount() <= FrameExtractor::BufferSize);
    };

    size_t searchFrom = 0;
    extractor.setHandler([&](const char *frame, int length) {
        FUZZ_CHECK(length >= FrameCodec::MinFrameSize && length <= FrameExtractor::BufferSize);
        FUZZ_CHECK(frame[0] == FrameCodec::StartMarker0 && frame[1] == FrameCodec::StartMarker1);
        FUZZ_CHECK(frame[length - 2] == FrameCodec::EndMarker0
                   && frame[length - 1] == FrameCodec::EndMarker1);
        FUZZ_CHECK(FrameCodec::readU16(frame + 4) == length);
        // Frames are bytes of the stream, in stream order and without overlap.
        const char *end = stream + streamSize;
        const char *hit = std::search(stream + searchFrom, end, frame, frame + length);
        FUZZ_CHECK(hit != end);
        searchFrom = size_t(hit - stream) + size_t(length);
        if (feedFromHandler && next < chunks.size())
            feedNext();
    });

    while (next < chunks.size())
        feedNext();
    return 0;
}
