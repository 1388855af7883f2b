#include "core/boxlink/FrameExtractor.h"

#include "core/boxlink/FrameCodec.h"

#include <cstring>

namespace {

constexpr char kStart0 = FrameCodec::StartMarker0;
constexpr char kStart1 = FrameCodec::StartMarker1;
constexpr char kEnd0 = FrameCodec::EndMarker0;
constexpr char kEnd1 = FrameCodec::EndMarker1;

// Frames outside this range are refused: below 8 there is no room for header and end
// marker, above the buffer a split frame could not be held.
bool plausibleLength(int length)
{
    return length >= FrameCodec::MinFrameSize && length <= FrameExtractor::BufferSize;
}

} // namespace

FrameExtractor::FrameExtractor(FrameHandler handler) : m_handler(std::move(handler)) {}

void FrameExtractor::setHandler(FrameHandler handler)
{
    m_handler = std::move(handler);
}

void FrameExtractor::reset()
{
    m_held = 0;
}

void FrameExtractor::feed(const char *data, int size)
{
    if (size <= 0)
        return;
    m_segments.append(Segment{data, size});
    drain();
}

void FrameExtractor::drain()
{
    // Every step commits its read position before it hands a frame out. A feed() from inside
    // the handler therefore continues exactly where this loop stopped and consumes every
    // segment; back here the loop finds nothing left.
    while (!m_segments.isEmpty()) {
        if (m_pos >= m_segments.first().size) {
            m_segments.remove(0);
            m_pos = 0;
            continue;
        }
        if (m_held > 0)
            continueHeld();
        else
            scan();
    }
}

void FrameExtractor::continueHeld()
{
    const Segment seg = m_segments.first();
    const char *chunk = seg.data + m_pos;
    const int chunkSize = seg.size - m_pos;
    const int held = m_held;
    // Byte k of the frame, spread over the held bytes and the chunk.
    const auto at = [&](int k) { return k < held ? m_buffer[k] : chunk[k - held]; };

    if (held == 1 && chunk[0] != kStart1) {
        // The lone 0x12 at the end of the last chunk began no start marker.
        m_held = 0;
        return;
    }
    const qint64 available = qint64(held) + chunkSize;
    if (available < FrameCodec::HeaderSize) {
        std::memcpy(m_buffer + held, chunk, size_t(chunkSize));
        m_held = int(available);
        m_pos = seg.size;
        return;
    }
    const int length = quint8(at(4)) | (quint8(at(5)) << 8);
    if (!plausibleLength(length)) {
        giveUpHeldMarker();
        return;
    }
    if (available < length) {
        // A start marker in the chunk proves nothing: frame bodies and length fields may hold
        // 12 34. The held frame is judged only once its end marker is due.
        std::memcpy(m_buffer + held, chunk, size_t(chunkSize)); // available < length <= BufferSize
        m_held = int(available);
        m_pos = seg.size;
        return;
    }
    if (at(length - 2) != kEnd0 || at(length - 1) != kEnd1) {
        giveUpHeldMarker();
        return;
    }
    // Held bytes are always shorter than their frame: a frame found whole is handed out
    // straight from its chunk, never held.
    Q_ASSERT(length > held);
    std::memcpy(m_buffer + held, chunk, size_t(length - held));
    m_pos += length - held;
    m_held = 0;
    deliver(m_buffer, length);
}

void FrameExtractor::giveUpHeldMarker()
{
    const int held = m_held;
    m_held = 0;
    if (held == 1) {
        // The marker's second byte is the first byte of the chunk.
        ++m_pos;
        return;
    }
    const int rest = held - 2;
    if (rest <= 0)
        return;
    // The bytes behind the marker may hold the next frame: scan them again, ahead of the rest
    // of the chunk.
    std::memcpy(m_replay, m_buffer + 2, size_t(rest));
    Segment &current = m_segments[0];
    current.data += m_pos;
    current.size -= m_pos;
    m_pos = 0;
    m_segments.insert(0, Segment{m_replay, rest});
}

void FrameExtractor::scan()
{
    const Segment seg = m_segments.first();
    const char *data = seg.data;
    const int size = seg.size;
    int pos = m_pos;
    for (;;) {
        const void *hit = std::memchr(data + pos, kStart0, size_t(size - pos));
        if (!hit) {
            m_pos = size;
            return;
        }
        const char *frame = static_cast<const char *>(hit);
        const int start = int(frame - data);
        const int remaining = size - start;
        if (remaining == 1) {
            // The chunk ends between the two marker bytes: keep the first one.
            m_buffer[0] = kStart0;
            m_held = 1;
            m_pos = size;
            return;
        }
        if (frame[1] != kStart1) {
            pos = start + 1;
            continue;
        }
        if (remaining <= FrameCodec::HeaderSize) {
            std::memcpy(m_buffer, frame, size_t(remaining));
            m_held = remaining;
            m_pos = size;
            return;
        }
        const int length = FrameCodec::readU16(frame + 4);
        if (!plausibleLength(length)) {
            pos = start + 2;
            continue;
        }
        if (remaining < length) {
            std::memcpy(m_buffer, frame, size_t(remaining)); // remaining < length <= BufferSize
            m_held = remaining;
            m_pos = size;
            return;
        }
        if (frame[length - 2] == kEnd0 && frame[length - 1] == kEnd1) {
            m_pos = start + length;
            deliver(frame, length);
            return;
        }
        pos = start + 2;
    }
}

void FrameExtractor::deliver(const char *frame, int length)
{
    if (m_handler)
        m_handler(frame, length);
}
