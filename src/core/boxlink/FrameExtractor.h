#pragma once

// Cuts the byte stream received from a box into frames (12 34 ... 56 78). Bytes outside
// frames are discarded; a false start (wrong end marker, impossible length) costs only its two
// marker bytes and the scan resumes right behind them. The beginning of a frame whose rest has
// not arrived yet is held in a fixed buffer inside the object, so carry-over never allocates.
//
// Lengths below 8 and above the buffer size are taken as no frame at all, wherever the chunk
// boundaries fall. A held frame is given up only once it has proven bad (wrong end marker,
// impossible length), never for a start marker seen before its end is due, so the frames of a
// stream do not depend on how it was cut.

#include <QByteArray>
#include <QVarLengthArray>

#include <functional>

class FrameExtractor
{
public:
    static constexpr int BufferSize = 4096;

    // Called once per complete frame, in stream order. The bytes are valid until the handler
    // returns or feeds the extractor again, whichever comes first.
    using FrameHandler = std::function<void(const char *frame, int length)>;

    explicit FrameExtractor(FrameHandler handler = FrameHandler());
    FrameExtractor(const FrameExtractor &) = delete;
    FrameExtractor &operator=(const FrameExtractor &) = delete;

    void setHandler(FrameHandler handler);

    // Takes the next chunk of the stream. The handler may feed further chunks (for example
    // from a nested event loop): they are taken after the rest of this one, so frames always
    // come out in stream order.
    void feed(const char *data, int size);
    void feed(const QByteArray &chunk) { feed(chunk.constData(), chunk.size()); }

    // Forgets held bytes (for a new connection).
    void reset();

    int heldCount() const { return m_held; }

private:
    struct Segment {
        const char *data;
        int size;
    };

    void drain();
    void continueHeld();
    void scan();
    void giveUpHeldMarker();
    void deliver(const char *frame, int length);

    FrameHandler m_handler;
    // Chunks not yet consumed, oldest first; m_pos is the read position in the first one.
    QVarLengthArray<Segment, 4> m_segments;
    int m_pos = 0;
    // Bytes of an unfinished frame, starting with its start marker (or just 0x12 when a chunk
    // ended between the two marker bytes).
    int m_held = 0;
    char m_buffer[BufferSize];
    // Held bytes behind a rejected start marker, scanned again before the current chunk.
    char m_replay[BufferSize];
};
