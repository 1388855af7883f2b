#pragma once

// Byte layouts of everything the tool and a box exchange: the framed TCP traffic (heartbeat,
// JSON messages, live-data fragments, file transfers and their verdict) and the discovery
// datagrams. Shared by the tool and the box simulator, so both sides agree byte for byte.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

class FrameCodec
{
public:
    // Command byte (offset 2) of a frame.
    enum Command : quint8 {
        HeartbeatRequest = 1,
        HeartbeatReply = 2,
        ProjectTransfer = 3,
        ProgramTransfer = 4,
        JsonMessage = 5,
        LiveDataFragment = 6,
    };

    // Sub-type (offset 6) of the frames of a file transfer.
    enum TransferKind : quint8 {
        TransferData = 0x01,
        TransferChecksum = 0x02,
        TransferVerdict = 0x03,
    };

    static constexpr quint16 BoxPort = 30088;
    static constexpr int HeaderSize = 6;          // start marker, command, 0x00, frame length
    static constexpr int MinFrameSize = 8;        // header and end marker, no body
    static constexpr int MaxFrameSize = 65535;    // the frame length field is 16 bits wide
    static constexpr int JsonOverhead = 10;       // header, payload length, end marker
    static constexpr int MaxJsonSize = MaxFrameSize - JsonOverhead;
    static constexpr int FragmentPayloadSize = 1024;
    static constexpr int FragmentPayloadOffset = 17;
    static constexpr int FragmentOverhead = 19;   // fragment header and end marker
    static constexpr int VerdictSize = 10;
    static constexpr int DiscoveryRequestSize = 16;
    static constexpr int DiscoveryReplyMinSize = 38;

    static constexpr char StartMarker0 = 0x12;
    static constexpr char StartMarker1 = 0x34;
    static constexpr char EndMarker0 = 0x56;
    static constexpr char EndMarker1 = 0x78;

    // --- Encoders ---------------------------------------------------------------------------

    // 12 34 01 00 08 00 56 78.
    static QByteArray heartbeatRequest();
    // Command 5 around the given JSON text. Empty when the text cannot be framed (longer
    // than MaxJsonSize): a wrapped length field would make the box misread the stream.
    static QByteArray jsonMessage(const QByteArray &jsonText);
    // Command 2 with three length-prefixed UTF-8 strings; each is cut to 255 bytes.
    static QByteArray heartbeatReply(const QByteArray &version, const QByteArray &serialNumber,
                                     const QByteArray &model);
    // One command 6 fragment. The payload must be at most FragmentPayloadSize bytes.
    static QByteArray liveDataFragment(quint32 total, quint32 number, const char *payload,
                                       int length);
    // A whole report cut into 1024-byte fragments numbered from 1 (one empty fragment for an
    // empty text).
    static QList<QByteArray> liveDataFragments(const QByteArray &reportText);
    // One data fragment of a file transfer (command 3 or 4).
    static QByteArray transferFragment(quint8 command, quint32 total, quint32 number,
                                       const QByteArray &chunk);
    // A whole file cut into 1024-byte data fragments (none for an empty file).
    static QList<QByteArray> transferFragments(quint8 command, const QByteArray &file);
    // The frame that closes a transfer: file size and digest (raw MD5, 16 bytes).
    static QByteArray checksumFrame(quint8 command, quint32 size, const QByteArray &digest);
    // The box's 10-byte answer to a checksum frame: result 0 = digest matched.
    static QByteArray transferVerdict(quint8 command, quint8 result);
    // 12 34 00 00 "Search Box" 56 78.
    static QByteArray discoveryRequest();
    // 12 34 FF FF, IP and mask as 16 NUL-padded Latin-1 bytes each, model length, model; a
    // NUL follows an empty model, as readers refuse replies shorter than 38 bytes.
    static QByteArray discoveryReply(const QString &ip, const QString &mask, const QString &model);

    // --- Parsers ----------------------------------------------------------------------------

    static quint16 readU16(const char *p);
    static quint32 readU32(const char *p);
    // Frame length field of a frame of at least HeaderSize bytes.
    static int frameLength(const QByteArray &frame);
    static bool hasEndMarker(const QByteArray &frame);

    struct BoxIdentity {
        QString version;
        QString serialNumber;
        QString model;
    };
    // Reads the three strings of a heartbeat reply, never beyond the end marker. False when
    // the frame is too short or a string runs past the end marker.
    static bool parseHeartbeatReply(const QByteArray &frame, BoxIdentity *identity);

    struct FragmentHeader {
        quint8 command = 0;
        quint8 kind = 0;      // offset 6
        quint32 total = 0;    // offset 7
        quint16 length = 0;   // offset 11: payload bytes
        quint32 number = 0;   // offset 13: counted from 1
    };
    // Header of a live-data or transfer data fragment; false below FragmentOverhead bytes.
    static bool parseFragmentHeader(const char *frame, int size, FragmentHeader *header);

    struct ChecksumInfo {
        quint8 command = 0;
        quint32 size = 0;
        QByteArray digest;
    };
    // A transfer's checksum frame; false unless the layout and the frame length agree.
    static bool parseChecksumFrame(const QByteArray &frame, ChecksumInfo *info);

    enum class Verdict {
        NotAVerdict,       // not 10 bytes or no start marker: no message at all
        CommandTypeError,  // another command echoed
        ValueError,        // byte 6 is not 3
        ChecksumFailed,    // byte 7 is not 0
        ChecksumMatched,
    };
    // Judges the bytes read after a checksum frame, in the order the user is told about them.
    static Verdict judgeVerdict(const QByteArray &reply, quint8 command);

    static bool isDiscoveryRequest(const QByteArray &datagram);

    struct DiscoveryInfo {
        QString ip;
        QString mask;
        QString model;
    };
    // False for datagrams shorter than 38 bytes or without the 12 34 FF FF header. The model
    // is cut at the end of the datagram when its length byte promises more.
    static bool parseDiscoveryReply(const QByteArray &datagram, DiscoveryInfo *info);
};
