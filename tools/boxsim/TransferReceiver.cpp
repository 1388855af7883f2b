#include "TransferReceiver.h"

#include "boxlink/FrameCodec.h"

#include <QCryptographicHash>
#include <QDateTime>

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
    if (after <= m_total)
        m_data.append(frame.constData() + FrameCodec::FragmentPayloadOffset, payload);
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
    m_md5 = QCryptographicHash::hash(m_data, QCryptographicHash::Md5);
    const QByteArray &md5 = m_md5;
    const bool digestMatches = info.digest == md5;
    if (!digestMatches)
        m_errors.append(QStringLiteral("digest does not match the received bytes"));
    m_verified = m_errors.isEmpty();
}

QJsonObject TransferReceiver::record(int result, const QString &storedAs) const
{
    QJsonObject record;
    record.insert(QStringLiteral("command"), m_command);
    record.insert(QStringLiteral("peer"), m_peer);
    record.insert(QStringLiteral("started"), m_started);
    QJsonArray fragments;
    for (const Fragment &fragment : m_fragments) {
        QJsonObject entry;
        entry.insert(QStringLiteral("frameLength"), fragment.frameLength);
        entry.insert(QStringLiteral("kind"), fragment.header.kind);
        entry.insert(QStringLiteral("total"), double(fragment.header.total));
        entry.insert(QStringLiteral("chunkLength"), fragment.header.length);
        entry.insert(QStringLiteral("number"), double(fragment.header.number));
        fragments.append(entry);
    }
    record.insert(QStringLiteral("fragments"), fragments);
    record.insert(QStringLiteral("checksum"), m_checksum);
    record.insert(QStringLiteral("receivedBytes"), m_data.size());
    record.insert(QStringLiteral("md5"), QString::fromLatin1(
                                             (m_md5.isEmpty() ? QCryptographicHash::hash(m_data, QCryptographicHash::Md5) : m_md5).toHex()));
    record.insert(QStringLiteral("errors"), QJsonArray::fromStringList(m_errors));
    record.insert(QStringLiteral("verified"), m_verified);
    record.insert(QStringLiteral("result"), result < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(result));
    record.insert(QStringLiteral("verdictSent"), result >= 0);
    record.insert(QStringLiteral("storedAs"), storedAs);
    return record;
}
