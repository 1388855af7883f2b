#include "TransferReceiver.h"

#include "core/boxlink/FrameCodec.h"

#include <QDateTime>
#include <QJsonDocument>

namespace {

// Decimal digits of a whole number, as the JSON writer prints a count.
void appendNumber(QByteArray *out, quint64 value)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        out->append(digits[--n]);
}

} // namespace

TransferReceiver::TransferReceiver(quint8 command, const QString &peer)
    : m_command(command)
    , m_peer(peer)
    , m_started(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
    , m_checksum(QJsonValue::Null)
{
}

bool TransferReceiver::addFrame(const QByteArray &frame)
{
    if (m_finished) {
        m_errors.append(QStringLiteral("frame after the checksum frame"));
        return false;
    }
    if (frame.size() > 6 && quint8(frame.at(6)) == FrameCodec::TransferChecksum) {
        addChecksum(frame);
        return true;
    }
    addFragment(frame);
    return false;
}

void TransferReceiver::addFragment(const QByteArray &frame)
{
    FrameCodec::FragmentHeader header;
    if (!FrameCodec::parseFragmentHeader(frame.constData(), frame.size(), &header)) {
        m_errors.append(QStringLiteral("frame of %1 bytes is too short for a fragment")
                            .arg(frame.size()));
        return;
    }
    // Kept as plain values: growing a QJsonArray per fragment costs more than the transfer.
    m_fragments.push_back({frame.size(), header});

    const int payload = frame.size() - FrameCodec::FragmentOverhead;
    const auto where = [&] { return QStringLiteral("fragment %1: ").arg(header.number); };
    if (header.kind != FrameCodec::TransferData)
        m_errors.append(where() + QStringLiteral("kind %1 is not 1").arg(header.kind));
    if (m_fragments.size() == 1) {
        m_total = header.total;
        // One allocation for the whole file (within reason) instead of repeated regrowth.
        m_data.reserve(int(qMin<qint64>(m_total, 64 * 1024 * 1024)));
        m_fragments.reserve(size_t(qMin<qint64>(m_total / FrameCodec::FragmentPayloadSize + 1, 65536)));
    }
    else if (header.total != m_total)
        m_errors.append(where() + QStringLiteral("total %1 differs from %2").arg(header.total).arg(m_total));
    if (header.number != m_nextNumber)
        m_errors.append(where() + QStringLiteral("expected number %1").arg(m_nextNumber));
    if (header.length != payload)
        m_errors.append(where() + QStringLiteral("chunk length %1 but %2 payload bytes")
                                    .arg(header.length).arg(payload));
    const qint64 after = qint64(m_data.size()) + payload;
    if (after > m_total)
        m_errors.append(where() + QStringLiteral("runs past the total %1").arg(m_total));
    else if (payload != FrameCodec::FragmentPayloadSize && after != m_total)
        m_errors.append(where() + QStringLiteral("short chunk of %1 bytes before the end").arg(payload));
    if (payload == 0)
        m_errors.append(where() + QStringLiteral("empty chunk"));
    ++m_nextNumber;
    // Never more than the announced total is kept, so a runaway sender cannot fill the memory.
    if (after <= m_total) {
        m_data.append(frame.constData() + FrameCodec::FragmentPayloadOffset, payload);
        m_hash.addData(frame.constData() + FrameCodec::FragmentPayloadOffset, payload);
    }
}

void TransferReceiver::addChecksum(const QByteArray &frame)
{
    m_finished = true;
    FrameCodec::ChecksumInfo info;
    if (!FrameCodec::parseChecksumFrame(frame, &info)) {
        QJsonObject bad;
        bad.insert(QStringLiteral("frameLength"), frame.size());
        bad.insert(QStringLiteral("malformed"), true);
        m_checksum = bad;
        m_errors.append(QStringLiteral("malformed checksum frame of %1 bytes").arg(frame.size()));
        return;
    }
    QJsonObject checksum;
    checksum.insert(QStringLiteral("frameLength"), frame.size());
    checksum.insert(QStringLiteral("size"), double(info.size));
    checksum.insert(QStringLiteral("digestLength"), info.digest.size());
    checksum.insert(QStringLiteral("digest"), QString::fromLatin1(info.digest.toHex()));
    m_checksum = checksum;

    if (info.size != quint32(m_data.size()))
        m_errors.append(QStringLiteral("checksum frame announces %1 bytes, %2 received")
                            .arg(info.size).arg(m_data.size()));
    if (!m_fragments.empty() && info.size != m_total)
        m_errors.append(QStringLiteral("checksum frame size %1 differs from the total %2")
                            .arg(info.size).arg(m_total));
    if (info.digest.size() != 16)
        m_errors.append(QStringLiteral("digest of %1 bytes is no MD5").arg(info.digest.size()));
    m_md5 = m_hash.result();
    const QByteArray &md5 = m_md5;
    const bool digestMatches = info.digest == md5;
    if (!digestMatches)
        m_errors.append(QStringLiteral("digest does not match the received bytes"));
    m_verified = m_errors.isEmpty();
}

QByteArray TransferReceiver::record(int result, const QString &storedAs) const
{
    // The fragment list is most of a large transfer's record: it is written as text here
    // (its members in the order the JSON writer sorts them) instead of as one JSON object per
    // fragment, and put in place of the empty list the writer makes for the rest.
    QJsonObject record;
    record.insert(QStringLiteral("command"), m_command);
    record.insert(QStringLiteral("peer"), m_peer);
    record.insert(QStringLiteral("started"), m_started);
    record.insert(QStringLiteral("fragments"), QJsonArray());
    record.insert(QStringLiteral("checksum"), m_checksum);
    record.insert(QStringLiteral("receivedBytes"), m_data.size());
    record.insert(QStringLiteral("md5"), QString::fromLatin1(
                                             (m_md5.isEmpty() ? m_hash.result() : m_md5).toHex()));
    record.insert(QStringLiteral("errors"), QJsonArray::fromStringList(m_errors));
    record.insert(QStringLiteral("verified"), m_verified);
    record.insert(QStringLiteral("result"), result < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(result));
    record.insert(QStringLiteral("verdictSent"), result >= 0);
    record.insert(QStringLiteral("storedAs"), storedAs);
    const QByteArray rest = QJsonDocument(record).toJson(QJsonDocument::Compact);

    // Every quote inside a string value is escaped, so the bare key occurs only as the key.
    const QByteArray emptyList = "\"fragments\":[]";
    const int at = rest.indexOf(emptyList);
    if (at < 0)
        return rest;
    QByteArray line;
    // About 80 bytes per fragment, and the line end that follows.
    line.reserve(int(qMin<qint64>(rest.size() + qint64(m_fragments.size()) * 96 + 1, 256 * 1024 * 1024)));
    line.append(rest.constData(), at + emptyList.size() - 1);
    for (size_t i = 0; i < m_fragments.size(); ++i) {
        const Fragment &fragment = m_fragments[i];
        line.append(i == 0 ? "{\"chunkLength\":" : ",{\"chunkLength\":");
        appendNumber(&line, fragment.header.length);
        line.append(",\"frameLength\":");
        appendNumber(&line, quint64(fragment.frameLength));
        line.append(",\"kind\":");
        appendNumber(&line, fragment.header.kind);
        line.append(",\"number\":");
        appendNumber(&line, fragment.header.number);
        line.append(",\"total\":");
        appendNumber(&line, fragment.header.total);
        line.append('}');
    }
    line.append(rest.constData() + at + emptyList.size() - 1, rest.size() - at - emptyList.size() + 1);
    return line;
}
