#include "core/modbus/ModbusReader.h"

#include "core/modbus/ModbusReadPlan.h"

const QString &ModbusReader::Timeout = ModbusStatus::Timeout;
const QString &ModbusReader::ConnectionError = ModbusStatus::ConnectionError;

namespace {

quint8 readFunction(ModbusPoint::Table table)
{
    switch (table) {
    case ModbusPoint::Table::Coils: return ModbusFrame::ReadCoils;
    case ModbusPoint::Table::DiscreteInputs: return ModbusFrame::ReadDiscreteInputs;
    case ModbusPoint::Table::InputRegisters: return ModbusFrame::ReadInputRegisters;
    case ModbusPoint::Table::HoldingRegisters: break;
    }
    return ModbusFrame::ReadHoldingRegisters;
}

} // namespace

ModbusReader::ModbusReader(const ModbusLinkSettings &link, QObject *parent)
    : QObject(parent), m_link(link)
{
    m_client = new ModbusClient(m_link, this);
    connect(m_client, &ModbusClient::replied, this, [this](const ModbusClient::Result &result) {
        if (m_writing) {
            m_writing = false;
            m_busy = false;
            emit writeFinished(statusOf(result));
        } else if (m_inFlight) {
            jobReplied(result);
        }
    });
}

ModbusReader::~ModbusReader()
{
    // Whoever listens may be half destroyed already: nothing is reported from here.
    m_client->disconnect(this);
}

void ModbusReader::close()
{
    for (const Job &job : qAsConst(m_jobs))
        failJob(job, ModbusStatus::ConnectionError);
    m_jobs.clear();
    m_client->close();
}

bool ModbusReader::read(const QVector<ModbusSlave> &slaves)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_slaves = slaves;
    m_results.clear();
    m_jobs.clear();
    m_requestCount = 0;
    for (int s = 0; s < m_slaves.size(); ++s) {
        const ModbusSlave &slave = m_slaves.at(s);
        SlaveResults results(slave.points.size());
        for (int p = 0; p < slave.points.size(); ++p)
            results[p].status = slave.error.isEmpty() ? slave.points.at(p).error : slave.error;
        m_results.append(results);
        if (!slave.error.isEmpty())
            continue;
        for (const ModbusReadPlan::Request &request : ModbusReadPlan::build(slave.points))
            m_jobs.append(Job{s, request.table, request.start, request.count, request.points});
    }
    if (m_jobs.isEmpty()) {
        // Nothing to ask: answer on the next turn of the loop, as a real read would.
        QTimer::singleShot(0, this, [this] { finishIfDone(); });
        return true;
    }
    sendNextJob();
    return true;
}

void ModbusReader::failJob(const Job &job, const QString &status, const QString &detail,
                           ModbusClient::Result::Link link)
{
    for (int index : job.points) {
        PointResult &result = m_results[job.slave][index];
        result = PointResult();
        result.status = status;
        result.detail = detail;
        result.link = link;
    }
}

QString ModbusReader::statusOf(const ModbusClient::Result &result)
{
    using S = ModbusClient::Result::Status;
    switch (result.status) {
    case S::Ok: return QString();
    case S::Exception: return ModbusStatus::exception(result.exceptionCode);
    case S::WrongReply: return ModbusStatus::WrongReply;
    case S::CrcError: return ModbusStatus::CrcError;
    case S::Timeout: return ModbusStatus::Timeout;
    case S::ConnectionError: break;
    }
    return ModbusStatus::ConnectionError;
}

// One request at a time: many devices answer only one transaction at once, and on a serial
// line there is no other way.
void ModbusReader::sendNextJob()
{
    if (m_inFlight || m_jobs.isEmpty())
        return;
    m_current = m_jobs.takeFirst();
    ++m_requestCount;
    m_inFlight = true;
    m_client->send(ModbusFrame::Request::read(quint8(m_slaves.at(m_current.slave).station),
                                              readFunction(m_current.table), quint16(m_current.start),
                                              quint16(m_current.count)));
}

void ModbusReader::jobReplied(const ModbusClient::Result &result)
{
    m_inFlight = false;
    const Job job = m_current;
    if (result.linkFailed) {
        // No link: the rest of the round would only wait for the same failure again.
        failJob(job, statusOf(result), result.reason, result.link);
        for (const Job &other : qAsConst(m_jobs))
            failJob(other, statusOf(result), result.reason, result.link);
        m_jobs.clear();
    } else if (splitRefused(job, result)) {
        sendNextJob();
    } else {
        // The next request goes out before this reply is decoded.
        sendNextJob();
        decode(job, result);
    }
    finishIfDone();
}

void ModbusReader::finishIfDone()
{
    if (!m_busy || m_writing || m_inFlight || !m_jobs.isEmpty())
        return;
    m_busy = false;
    emit readFinished(m_results);
}

// A request refused for its range (exception 2 or 3) is asked again point by point.
bool ModbusReader::splitRefused(const Job &job, const ModbusClient::Result &result)
{
    if (job.points.size() < 2 || result.status != ModbusClient::Result::Status::Exception
        || (result.exceptionCode != 2 && result.exceptionCode != 3))
        return false;
    const ModbusSlave &slave = m_slaves.at(job.slave);
    for (int i = job.points.size() - 1; i >= 0; --i) {
        const ModbusPoint &point = slave.points.at(job.points.at(i));
        m_jobs.prepend(Job{job.slave, job.table, point.address, point.count, {job.points.at(i)}});
    }
    return true;
}

void ModbusReader::decode(const Job &job, const ModbusClient::Result &result)
{
    if (!result.ok()) {
        failJob(job, statusOf(result), result.reason, result.link);
        return;
    }
    const ModbusSlave &slave = m_slaves.at(job.slave);
    for (int index : job.points) {
        const ModbusPoint &point = slave.points.at(index);
        PointResult &pointResult = m_results[job.slave][index];
        pointResult = PointResult();
        pointResult.words = result.values.mid(point.address - job.start, point.count);
        if (pointResult.words.size() < point.count) {
            pointResult.status = ModbusStatus::WrongReply;
            continue;
        }
        pointResult.value = slave.codec.decode(point, pointResult.words);
    }
}

bool ModbusReader::write(const ModbusSlave &slave, int pointIndex, const QString &value, QString *error)
{
    if (m_busy) {
        *error = ModbusStatus::Busy;
        return false;
    }
    const ModbusPoint point = slave.points.value(pointIndex);
    if (!slave.error.isEmpty() || !point.isWritable()) {
        *error = slave.error.isEmpty() ? ModbusStatus::ReadOnlyPoint : slave.error;
        return false;
    }
    QVector<quint16> words;
    if (!slave.codec.encode(point, value, &words, error))
        return false;
    ModbusFrame::Request request;
    request.unit = quint8(slave.station);
    request.address = quint16(point.address);
    request.values = words;
    request.count = quint16(words.size());
    if (point.table == ModbusPoint::Table::Coils)
        request.function = ModbusFrame::WriteSingleCoil;
    else
        request.function = words.size() == 1 ? ModbusFrame::WriteSingleRegister : ModbusFrame::WriteMultipleRegisters;
    m_busy = true;
    m_writing = true;
    m_client->send(request);
    return true;
}
