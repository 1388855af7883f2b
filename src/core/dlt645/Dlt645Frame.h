#pragma once

// DL/T 645 framing of both editions: 68 A0..A5 68 C L DATA CS 16, data bytes +0x33 on the wire,
// CS the byte sum from the first 68 to the last data byte. Requests go out behind the wake-up
// preamble FE FE FE FE; a reply is found in what the line brings by its structure and checksum
// (meters send 0 to 4 FE, adapters add stray bytes or a doubled 68), never by a fixed offset,
// and is believed only when it answers the request: control code, identifier and address.

#include <QByteArray>
#include <QString>

#include <array>

namespace Dlt645 {

enum class Edition { V2007, V1997 };

// Address bytes in wire order (least significant pair first).
using Address = std::array<quint8, 6>;

// "210987654321" -> 21 43 65 87 09 21. Exactly twelve hexadecimal digits; false otherwise.
bool parseAddress(const QString &text, Address *address);
// The meter address as the tab shows it (most significant pair first, upper case).
QString addressText(const Address &address);
// AA in a request address stands for any byte; "AAAAAAAAAAAA" reaches whatever meter answers.
bool addressMatches(const Address &requested, const Address &answered);
Address broadcastAddress();

// "00010000" (2007, four bytes) or "9010" (1997, two bytes), hexadecimal, most significant
// first as the catalogue writes it. False when the text does not fit the edition.
bool parseIdentifier(const QString &text, Edition edition, quint32 *identifier);
int identifierSize(Edition edition);

enum Control : quint8 {
    Read1997 = 0x01,
    Read2007 = 0x11,
    ReadAddress2007 = 0x13,
    Reply1997 = 0x81,
    Reply2007 = 0x91,
    AddressReply2007 = 0x93,
    Error1997 = 0xC1,
    Error2007 = 0xD1,
};

constexpr int kPreambleSize = 4;
constexpr int kMinFrameSize = 12; // 68, six address bytes, 68, C, L, CS, 16
constexpr int kMaxFrameSize = kMinFrameSize + 255;

struct Request
{
    Edition edition = Edition::V2007;
    Address address{};
    quint8 control = Read2007;
    quint32 identifier = 0; // unused by the address read
};

struct Frame
{
    Address address{};
    quint8 control = 0;
    QByteArray data; // with the 0x33 taken off
};

Request readRequest(Edition edition, const Address &address, quint32 identifier);
Request addressRequest();
// The bytes to send, preamble included.
QByteArray encode(const Request &request);

// Any frame's bytes (data given without the 0x33), with or without the wake-up preamble: what a
// meter sends back is built the same way.
QByteArray encodeFrame(const Frame &frame, bool preamble);

// A frame found in a buffer: where it ended, so the caller can drop what is consumed.
struct Scan
{
    enum Result {
        NeedMore,    // no complete frame yet (a partial one may be coming)
        Found,       // `frame` is complete and its checksum holds; `end` is one past its 16
        BadChecksum, // nothing good, but a frame-shaped run whose checksum failed was seen
    };
    Result result = NeedMore;
    Frame frame;
    int end = 0;
};
// Looks for the first complete frame with a good checksum anywhere in `bytes`.
Scan scan(const QByteArray &bytes);

enum class Status {
    Ok,
    Timeout,         // nothing, or nothing that answers, within the timeout
    ErrorReply,      // the meter answered with an error code
    ChecksumError,
    WrongAddress,    // a frame from another meter
    WrongControl,    // a frame that answers no request of this kind
    WrongIdentifier, // the answer to another item
    WrongLength,     // data length does not fit the item's format
    BadDigits,       // a nibble that is not a decimal digit
    NotSent,         // the meter did not answer earlier in this round
    BadAddress,      // the configured address is not twelve hexadecimal digits
    BadIdentifier,   // the item's identifier does not fit the edition
    LineError,       // the serial line could not be opened or failed
};

struct Reply
{
    Status status = Status::Timeout;
    Address address{};    // the answering meter's address
    QByteArray value;     // value bytes of a read, least significant first
    quint8 errorCode = 0; // of an error reply
};

// Checks a frame against the request it should answer. A frame that is our own request
// echoed (a two-wire adapter hears itself) is `Ignored`: keep waiting.
enum class Verdict { Accepted, Ignored, Refused };
Verdict check(const Request &request, const Frame &frame, Reply *reply);

} // namespace Dlt645
