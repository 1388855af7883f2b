#include "core/dlt645/Dlt645Frame.h"

namespace Dlt645 {

namespace {
constexpr quint8 kStart = 0x68;
constexpr quint8 kEnd = 0x16;
constexpr quint8 kPreamble = 0xFE;
constexpr quint8 kOffset = 0x33;
constexpr quint8 kWildcard = 0xAA;

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

quint8 checksum(const char *begin, int size)
{
    quint8 sum = 0;
    for (int i = 0; i < size; ++i)
        sum = quint8(sum + quint8(begin[i]));
    return sum;
}
} // namespace

bool parseAddress(const QString &text, Address *address)
{
    if (text.size() != 12)
        return false;
    Address parsed{};
    for (int pair = 0; pair < 6; ++pair) {
        const int high = hexDigit(text.at(2 * pair));
        const int low = hexDigit(text.at(2 * pair + 1));
        if (high < 0 || low < 0)
            return false;
        parsed[5 - pair] = quint8(high << 4 | low);
    }
    *address = parsed;
    return true;
}

QString addressText(const Address &address)
{
    QString text;
    for (int i = 5; i >= 0; --i)
        text += QStringLiteral("%1").arg(address[i], 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

bool addressMatches(const Address &requested, const Address &answered)
{
    for (int i = 0; i < 6; ++i) {
        if (requested[i] != kWildcard && requested[i] != answered[i])
            return false;
    }
    return true;
}

Address broadcastAddress()
{
    Address address;
    address.fill(kWildcard);
    return address;
}

int identifierSize(Edition edition)
{
    return edition == Edition::V2007 ? 4 : 2;
}

bool parseIdentifier(const QString &text, Edition edition, quint32 *identifier)
{
    if (text.size() != 2 * identifierSize(edition))
        return false;
    quint32 value = 0;
    for (QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        value = value << 4 | quint32(digit);
    }
    *identifier = value;
    return true;
}

Request readRequest(Edition edition, const Address &address, quint32 identifier)
{
    Request request;
    request.edition = edition;
    request.address = address;
    request.control = edition == Edition::V2007 ? Read2007 : Read1997;
    request.identifier = identifier;
    return request;
}

Request addressRequest()
{
    Request request;
    request.edition = Edition::V2007;
    request.address = broadcastAddress();
    request.control = ReadAddress2007;
    return request;
}

QByteArray encodeFrame(const Frame &frame, bool preamble)
{
    QByteArray bytes;
    bytes.reserve(kPreambleSize + kMinFrameSize + frame.data.size());
    if (preamble)
        bytes.append(kPreambleSize, char(kPreamble));
    const int start = bytes.size();
    bytes.append(char(kStart));
    for (quint8 byte : frame.address)
        bytes.append(char(byte));
    bytes.append(char(kStart));
    bytes.append(char(frame.control));
    bytes.append(char(quint8(frame.data.size())));
    for (char byte : frame.data)
        bytes.append(char(quint8(quint8(byte) + kOffset)));
    bytes.append(char(checksum(bytes.constData() + start, bytes.size() - start)));
    bytes.append(char(kEnd));
    return bytes;
}

QByteArray encode(const Request &request)
{
    Frame frame;
    frame.address = request.address;
    frame.control = request.control;
    if (request.control != ReadAddress2007) {
        // The identifier travels least significant byte first.
        for (int i = 0; i < identifierSize(request.edition); ++i)
            frame.data.append(char(quint8((request.identifier >> (8 * i)) & 0xFF)));
    }
    return encodeFrame(frame, true);
}

Scan scan(const QByteArray &bytes)
{
    Scan result;
    const int size = bytes.size();
    const auto at = [&bytes](int i) { return quint8(bytes.at(i)); };
    // Every 68 is a candidate start: a stray or doubled 68 fails the structure below and the
    // next one is tried, and a frame further on may be complete before an earlier candidate.
    for (int i = 0; i + kMinFrameSize <= size; ++i) {
        if (at(i) != kStart || at(i + 7) != kStart)
            continue;
        const int length = at(i + 9);
        const int end = i + kMinFrameSize + length;
        if (end > size)
            continue;
        if (at(end - 1) != kEnd)
            continue;
        if (checksum(bytes.constData() + i, 10 + length) != at(end - 2)) {
            result.result = Scan::BadChecksum;
            continue;
        }
        result.result = Scan::Found;
        for (int a = 0; a < 6; ++a)
            result.frame.address[a] = at(i + 1 + a);
        result.frame.control = at(i + 8);
        result.frame.data.resize(length);
        for (int d = 0; d < length; ++d)
            result.frame.data[d] = char(quint8(at(i + 10 + d) - kOffset));
        result.end = end;
        return result;
    }
    return result;
}

Verdict check(const Request &request, const Frame &frame, Reply *reply)
{
    *reply = Reply();
    reply->address = frame.address;
    // Frames without the direction bit come from a master: our own request heard back.
    if (!(frame.control & 0x80))
        return Verdict::Ignored;
    if (!addressMatches(request.address, frame.address)) {
        reply->status = Status::WrongAddress;
        return Verdict::Refused;
    }
    const quint8 normal = request.control == ReadAddress2007 ? AddressReply2007
                          : request.edition == Edition::V2007 ? Reply2007
                                                              : Reply1997;
    const quint8 error = request.edition == Edition::V2007 ? Error2007 : Error1997;
    if (frame.control == error && request.control != ReadAddress2007) {
        if (frame.data.size() != 1) {
            reply->status = Status::WrongLength;
            return Verdict::Refused;
        }
        reply->status = Status::ErrorReply;
        reply->errorCode = quint8(frame.data.at(0));
        return Verdict::Accepted;
    }
    if (frame.control != normal) {
        reply->status = Status::WrongControl;
        return Verdict::Refused;
    }
    if (request.control == ReadAddress2007) {
        // The meter tells its address in the data as well as in the header: both must agree.
        if (frame.data.size() != 6) {
            reply->status = Status::WrongLength;
            return Verdict::Refused;
        }
        for (int a = 0; a < 6; ++a) {
            if (quint8(frame.data.at(a)) != frame.address[a]) {
                reply->status = Status::WrongAddress;
                return Verdict::Refused;
            }
        }
        reply->status = Status::Ok;
        return Verdict::Accepted;
    }
    const int idSize = identifierSize(request.edition);
    if (frame.data.size() < idSize) {
        reply->status = Status::WrongLength;
        return Verdict::Refused;
    }
    quint32 identifier = 0;
    for (int i = 0; i < idSize; ++i)
        identifier |= quint32(quint8(frame.data.at(i))) << (8 * i);
    if (identifier != request.identifier) {
        reply->status = Status::WrongIdentifier;
        return Verdict::Refused;
    }
    reply->status = Status::Ok;
    reply->value = frame.data.mid(idSize);
    return Verdict::Accepted;
}

} // namespace Dlt645
