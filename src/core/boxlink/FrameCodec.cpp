#include "core/boxlink/FrameCodec.h"

namespace {

void appendU16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void appendU32(QByteArray &out, quint32 value)
{
    appendU16(out, value & 0xFFFF);
    appendU16(out, value >> 16);
}

// Start marker, command, 0x00 and the frame length; the caller appends body and end marker.
QByteArray frameHeader(quint8 command, int frameLength)
{
    QByteArray out;
    out.reserve(frameLength);
    out.append(FrameCodec::StartMarker0);
    out.append(FrameCodec::StartMarker1);
    out.append(char(command));
    out.append('\0');
    appendU16(out, quint32(frameLength));
    return out;
}

void appendEndMarker(QByteArray &out)
{
    out.append(FrameCodec::EndMarker0);
    out.append(FrameCodec::EndMarker1);
}

// A fixed 16-byte text field: Latin-1, padded with NUL bytes.
void appendTextField(QByteArray &out, const QString &text)
{
    QByteArray bytes = text.toLatin1().left(16);
    bytes.append(QByteArray(16 - bytes.size(), '\0'));
    out.append(bytes);
}

QString readTextField(const QByteArray &datagram, int offset)
{
    QByteArray field = datagram.mid(offset, 16);
    const int nul = field.indexOf('\0');
    if (nul >= 0)
        field.truncate(nul);
    return QString::fromLatin1(field).trimmed();
}

} // namespace

QByteArray FrameCodec::heartbeatRequest()
{
    QByteArray out = frameHeader(HeartbeatRequest, MinFrameSize);
    appendEndMarker(out);
    return out;
}

QByteArray FrameCodec::jsonMessage(const QByteArray &jsonText)
{
    if (jsonText.size() > MaxJsonSize)
        return QByteArray();
    QByteArray out = frameHeader(JsonMessage, jsonText.size() + JsonOverhead);
    appendU16(out, quint32(jsonText.size()));
    out.append(jsonText);
    appendEndMarker(out);
    return out;
}

QByteArray FrameCodec::heartbeatReply(const QByteArray &version, const QByteArray &serialNumber,
                                      const QByteArray &model)
{
    const QByteArray parts[3] = {version.left(255), serialNumber.left(255), model.left(255)};
    int length = MinFrameSize;
    for (const QByteArray &part : parts)
        length += 1 + part.size();
    QByteArray out = frameHeader(HeartbeatReply, length);
    for (const QByteArray &part : parts) {
        out.append(char(quint8(part.size())));
        out.append(part);
    }
    appendEndMarker(out);
    return out;
}

QByteArray FrameCodec::liveDataFragment(quint32 total, quint32 number, const char *payload,
                                        int length)
{
    Q_ASSERT(length >= 0 && length <= FragmentPayloadSize);
    QByteArray out = frameHeader(LiveDataFragment, length + FragmentOverhead);
    out.append(char(TransferData));
    appendU32(out, total);
    appendU16(out, quint32(length));
    appendU32(out, number);
    out.append(payload, length);
    appendEndMarker(out);
    return out;
}

QList<QByteArray> FrameCodec::liveDataFragments(const QByteArray &reportText)
{
    QList<QByteArray> frames;
    const quint32 total = quint32(reportText.size());
    quint32 number = 1;
    int offset = 0;
    do {
        const int length = qMin(FragmentPayloadSize, reportText.size() - offset);
        frames.append(liveDataFragment(total, number++, reportText.constData() + offset, length));
        offset += length;
    } while (offset < reportText.size());
    return frames;
}

QByteArray FrameCodec::transferFragment(quint8 command, quint32 total, quint32 number,
                                        const QByteArray &chunk)
{
    Q_ASSERT(chunk.size() <= FragmentPayloadSize);
    QByteArray out = frameHeader(command, chunk.size() + FragmentOverhead);
    out.append(char(TransferData));
    appendU32(out, total);
    appendU16(out, quint32(chunk.size()));
    appendU32(out, number);
    out.append(chunk);
    appendEndMarker(out);
    return out;
}

QList<QByteArray> FrameCodec::transferFragments(quint8 command, const QByteArray &file)
{
    QList<QByteArray> frames;
    quint32 number = 1;
    for (int offset = 0; offset < file.size(); offset += FragmentPayloadSize)
        frames.append(transferFragment(command, quint32(file.size()), number++,
                                       file.mid(offset, FragmentPayloadSize)));
    return frames;
}

QByteArray FrameCodec::checksumFrame(quint8 command, quint32 size, const QByteArray &digest)
{
    const QByteArray bytes = digest.left(255);
    QByteArray out = frameHeader(command, bytes.size() + 14);
    out.append(char(TransferChecksum));
    appendU32(out, size);
    out.append(char(quint8(bytes.size())));
    out.append(bytes);
    appendEndMarker(out);
    return out;
}

QByteArray FrameCodec::transferVerdict(quint8 command, quint8 result)
{
    QByteArray out = frameHeader(command, VerdictSize);
    out.append(char(TransferVerdict));
    out.append(char(result));
    appendEndMarker(out);
    return out;
}

QByteArray FrameCodec::discoveryRequest()
{
    QByteArray out;
    out.append(StartMarker0);
    out.append(StartMarker1);
    out.append('\0');
    out.append('\0');
    out.append("Search Box");
    appendEndMarker(out);
    return out;
}

QByteArray FrameCodec::discoveryReply(const QString &ip, const QString &mask, const QString &model)
{
    const QByteArray modelBytes = model.toLatin1().left(255);
    QByteArray out;
    out.reserve(DiscoveryReplyMinSize + modelBytes.size());
    out.append(StartMarker0);
    out.append(StartMarker1);
    out.append(char(0xFF));
    out.append(char(0xFF));
    appendTextField(out, ip);
    appendTextField(out, mask);
    out.append(char(quint8(modelBytes.size())));
    out.append(modelBytes);
    // Readers ignore replies below the minimum size: without a model the reply would be one
    // byte short and the box would never be listed.
    if (out.size() < DiscoveryReplyMinSize)
        out.append('\0');
    return out;
}

quint16 FrameCodec::readU16(const char *p)
{
    return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
}

quint32 FrameCodec::readU32(const char *p)
{
    return quint32(readU16(p)) | (quint32(readU16(p + 2)) << 16);
}

int FrameCodec::frameLength(const QByteArray &frame)
{
    return frame.size() < HeaderSize ? -1 : readU16(frame.constData() + 4);
}

bool FrameCodec::hasEndMarker(const QByteArray &frame)
{
    const int n = frame.size();
    return n >= 2 && frame.at(n - 2) == EndMarker0 && frame.at(n - 1) == EndMarker1;
}

bool FrameCodec::parseHeartbeatReply(const QByteArray &frame, BoxIdentity *identity)
{
    if (frame.size() < MinFrameSize)
        return false;
    const char *data = frame.constData();
    const int end = frame.size() - 2; // the end marker is never part of a string
    int pos = HeaderSize;
    QString *fields[3] = {&identity->version, &identity->serialNumber, &identity->model};
    QString values[3];
    for (QString &value : values) {
        if (pos >= end)
            return false;
        const int length = quint8(data[pos++]);
        if (length > end - pos)
            return false;
        value = QString::fromUtf8(data + pos, length);
        pos += length;
    }
    for (int i = 0; i < 3; ++i)
        *fields[i] = values[i];
    return true;
}

bool FrameCodec::parseFragmentHeader(const char *frame, int size, FragmentHeader *header)
{
    if (size < FragmentOverhead)
        return false;
    header->command = quint8(frame[2]);
    header->kind = quint8(frame[6]);
    header->total = readU32(frame + 7);
    header->length = readU16(frame + 11);
    header->number = readU32(frame + 13);
    return true;
}

bool FrameCodec::parseChecksumFrame(const QByteArray &frame, ChecksumInfo *info)
{
    if (frame.size() < 14 || quint8(frame.at(6)) != TransferChecksum)
        return false;
    const int digestLength = quint8(frame.at(11));
    if (frame.size() != digestLength + 14 || frameLength(frame) != frame.size())
        return false;
    info->command = quint8(frame.at(2));
    info->size = readU32(frame.constData() + 7);
    info->digest = frame.mid(12, digestLength);
    return true;
}

FrameCodec::Verdict FrameCodec::judgeVerdict(const QByteArray &reply, quint8 command)
{
    if (reply.size() != VerdictSize || reply.at(0) != StartMarker0 || reply.at(1) != StartMarker1)
        return Verdict::NotAVerdict;
    if (quint8(reply.at(2)) != command || reply.at(3) != 0)
        return Verdict::CommandTypeError;
    if (quint8(reply.at(6)) != TransferVerdict)
        return Verdict::ValueError;
    if (reply.at(7) != 0)
        return Verdict::ChecksumFailed;
    return Verdict::ChecksumMatched;
}

bool FrameCodec::isDiscoveryRequest(const QByteArray &datagram)
{
    return datagram == discoveryRequest();
}

bool FrameCodec::parseDiscoveryReply(const QByteArray &datagram, DiscoveryInfo *info)
{
    if (datagram.size() < DiscoveryReplyMinSize || datagram.at(0) != StartMarker0
        || datagram.at(1) != StartMarker1 || quint8(datagram.at(2)) != 0xFF
        || quint8(datagram.at(3)) != 0xFF)
        return false;
    info->ip = readTextField(datagram, 4);
    info->mask = readTextField(datagram, 20);
    const int modelLength = quint8(datagram.at(36));
    info->model = QString::fromLatin1(datagram.mid(37, modelLength)).trimmed();
    return true;
}
