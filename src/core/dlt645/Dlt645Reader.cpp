#include "core/dlt645/Dlt645Reader.h"

#include <QCoreApplication>

using namespace Dlt645;

namespace {
// A reply longer than two frames is junk in front of one: keep only the tail worth scanning.
constexpr int kBufferLimit = 2 * kMaxFrameSize;
} // namespace

Dlt645Reader::Dlt645Reader(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Dlt645Reader::Result>();
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        // What came and was refused says more than silence does.
        Result result;
        result.status = m_refusal != Status::Ok ? m_refusal
                        : m_sawBadChecksum      ? Status::ChecksumError
                                                : Status::Timeout;
        result.answeredBy = m_refusedBy;
        m_clean = false;
        finish(result);
    });
    connect(&m_line, &SerialLine::bytesReceived, this, &Dlt645Reader::bytesArrived);
    connect(&m_line, &SerialLine::failed, this, &Dlt645Reader::lineFailed);
}

Dlt645Reader::~Dlt645Reader()
{
    m_line.disconnect(this);
}

bool Dlt645Reader::open(const SerialLine::Settings &settings, QString *error)
{
    m_line.setSettings(settings);
    if (!m_line.open(error))
        return false;
    if (!m_line.rtsWarning().isEmpty())
        emit lineWarning(m_line.rtsWarning());
    m_clean = false;
    return true;
}

void Dlt645Reader::close()
{
    cancel();
    m_line.close();
}

void Dlt645Reader::setTimeouts(int timeoutMs, int gapMs)
{
    m_timeoutMs = timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs;
    m_gapMs = gapMs;
}

bool Dlt645Reader::readRound(const QVector<Item> &items)
{
    if (m_busy)
        return false;
    ++m_run;
    m_busy = true;
    m_addressRead = false;
    m_items = items;
    m_next = 0;
    m_deadMeters.clear();
    m_answeredMeters.clear();
    // Results come from the event loop, never from inside this call.
    later(&Dlt645Reader::startNext);
    return true;
}

bool Dlt645Reader::readAddress()
{
    if (m_busy)
        return false;
    ++m_run;
    m_busy = true;
    m_addressRead = true;
    m_items.clear();
    m_next = 0;
    m_request = addressRequest();
    later(&Dlt645Reader::send);
    return true;
}

void Dlt645Reader::later(void (Dlt645Reader::*step)())
{
    // A step queued for a run that was cancelled meanwhile must not act on the next run.
    const quint64 run = m_run;
    QMetaObject::invokeMethod(this, [this, run, step] {
        if (run == m_run)
            (this->*step)();
    }, Qt::QueuedConnection);
}

void Dlt645Reader::cancel()
{
    if (!m_busy)
        return;
    ++m_run;
    m_timeout.stop();
    m_line.cancelWait();
    m_clean = false;
    const bool wasAddressRead = m_addressRead;
    const QVector<Item> items = m_items;
    const int from = m_next;
    m_busy = false;
    m_items.clear();
    Result notSent;
    notSent.status = Status::NotSent;
    if (wasAddressRead) {
        emit addressRead(notSent);
        return;
    }
    for (int i = from; i < items.size(); ++i)
        emit itemRead(i, notSent);
    emit roundFinished();
}

void Dlt645Reader::startNext()
{
    while (m_busy && m_next < m_items.size()) {
        const Item &item = m_items.at(m_next);
        Result result;
        Address address{};
        quint32 identifier = 0;
        if (m_deadMeters.contains(item.meter))
            result.status = Status::NotSent;
        else if (!parseAddress(item.addressText, &address))
            result.status = Status::BadAddress;
        else if (!parseIdentifier(item.identifierText, item.edition, &identifier)
                 || !parseFormat(item.format).isValid())
            result.status = Status::BadIdentifier;
        else if (!m_line.isOpen())
            result.status = Status::LineError;
        else {
            m_request = readRequest(item.edition, address, identifier);
            send();
            return;
        }
        emit itemRead(m_next++, result);
    }
    if (m_busy) {
        m_busy = false;
        emit roundFinished();
    }
}

void Dlt645Reader::send()
{
    if (!m_busy)
        return;
    if (!m_line.isOpen()) {
        Result result;
        result.status = Status::LineError;
        finish(result);
        return;
    }
    const auto go = [this] {
        m_buffer.clear();
        m_sawBadChecksum = false;
        m_refusal = Status::Ok;
        m_refusedBy.clear();
        m_line.flushStale();
        if (!m_line.write(encode(m_request))) {
            Result result;
            result.status = Status::LineError;
            finish(result);
            return;
        }
        ++m_requestCount;
        m_sentAt.start();
        m_timeout.start(m_timeoutMs);
    };
    // After a complete reply the line is known quiet; after anything else stale bytes may still
    // come, and they must not be taken for the next answer.
    const int quiet = qMax(m_gapMs, m_clean ? 0 : m_line.silenceMs());
    if (quiet <= 0)
        go();
    else
        m_line.whenQuiet(quiet, quiet + m_timeoutMs, go);
}

void Dlt645Reader::bytesArrived(const QByteArray &bytes)
{
    if (!m_busy || !m_timeout.isActive())
        return; // stale: dropped before the next request goes out
    m_buffer.append(bytes);
    if (m_buffer.size() > kBufferLimit)
        m_buffer.remove(0, m_buffer.size() - kBufferLimit);
    for (;;) {
        const Scan found = scan(m_buffer);
        if (found.result == Scan::BadChecksum)
            m_sawBadChecksum = true;
        if (found.result != Scan::Found)
            return;
        m_buffer.remove(0, found.end);
        Reply reply;
        const Verdict verdict = check(m_request, found.frame, &reply);
        if (verdict == Verdict::Ignored)
            continue;
        if (verdict == Verdict::Refused) {
            // Another meter, or a late answer to an earlier request: not ours. The right reply
            // may still come within the timeout; if none does, this is what the item tells.
            m_refusal = reply.status;
            m_refusedBy = addressText(reply.address);
            continue;
        }
        Result result;
        result.status = reply.status;
        result.answeredBy = addressText(reply.address);
        result.errorCode = reply.errorCode;
        result.roundTripMs = m_sentAt.elapsed();
        if (reply.status == Status::Ok && !m_addressRead) {
            const Item &item = m_items.at(m_next);
            const Value value = decodeValue(reply.value, parseFormat(item.format),
                                            isSignedItem(m_request.edition, m_request.identifier));
            result.status = value.status;
            if (value.status == Status::Ok)
                result.value = value.text;
        }
        m_timeout.stop();
        // Bytes after the reply are noise that may go on: wait the line out before the next.
        m_clean = m_buffer.isEmpty() && m_refusal == Status::Ok;
        finish(result);
        return;
    }
}

void Dlt645Reader::finish(Result result)
{
    m_timeout.stop();
    if (!m_busy)
        return;
    if (m_addressRead) {
        m_busy = false;
        emit addressRead(result);
        return;
    }
    const Item &item = m_items.at(m_next);
    if (result.status == Status::Timeout && !m_answeredMeters.contains(item.meter))
        m_deadMeters.append(item.meter);
    else if (result.status != Status::Timeout && !m_answeredMeters.contains(item.meter))
        m_answeredMeters.append(item.meter);
    emit itemRead(m_next++, result);
    // The next request leaves from the event loop: a slot that cancels or closes in reply to
    // this signal finds no request half sent.
    later(&Dlt645Reader::startNext);
}

void Dlt645Reader::lineFailed(const QString &error)
{
    // Whatever was in flight or waiting to go ends now; the rest of the round finds the line
    // closed and says so, item by item.
    m_line.close();
    emit lineWarning(error);
    if (m_busy && m_next < qMax(1, m_items.size())) {
        Result result;
        result.status = Status::LineError;
        finish(result);
    }
}
