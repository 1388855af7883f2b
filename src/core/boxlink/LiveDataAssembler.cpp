#include "core/boxlink/LiveDataAssembler.h"

#include "core/boxlink/FrameCodec.h"

#include <QJsonDocument>

LiveDataAssembler::Status LiveDataAssembler::addFragment(const char *frame, int size)
{
    FrameCodec::FragmentHeader header;
    if (!FrameCodec::parseFragmentHeader(frame, size, &header))
        return Status::Dropped;
    m_lastTotal = header.total;

    if (m_expected == 0) {
        if (header.total > MaxReportSize)
            return Status::Dropped;
        m_expected = header.total;
        // The whole text is collected in one allocation of the announced size.
        m_text.reserve(int(m_expected));
    }
    if (header.total != m_expected) {
        clear();
        return Status::Mismatch;
    }

    const int payload = size - FrameCodec::FragmentOverhead;
    if (header.length != payload || qint64(m_text.size()) + payload > qint64(m_expected)) {
        clear();
        return Status::Inconsistent;
    }
    m_text.append(frame + FrameCodec::FragmentPayloadOffset, payload);

    const qint64 end = qint64(header.length)
                       + (qint64(header.number) - 1) * FrameCodec::FragmentPayloadSize;
    if (end != qint64(m_expected))
        return Status::Pending;

    const QJsonDocument document = QJsonDocument::fromJson(m_text);
    clear();
    if (document.isNull())
        return Status::ParseFailed;
    m_report = document.object();
    return Status::Complete;
}

QJsonObject LiveDataAssembler::takeReport()
{
    QJsonObject report;
    report.swap(m_report);
    return report;
}

void LiveDataAssembler::clear()
{
    m_text.clear();
    m_text.squeeze();
    m_expected = 0;
}
