#include "core/modbus/RegisterDiscovery.h"

#include <QCoreApplication>

namespace {

struct TableName {
    ModbusPoint::Table table;
    const char *name;
};

const TableName kTableNames[] = {
    {ModbusPoint::Table::HoldingRegisters, "holding"},
    {ModbusPoint::Table::InputRegisters, "input"},
    {ModbusPoint::Table::Coils, "coils"},
    {ModbusPoint::Table::DiscreteInputs, "discrete"},
};

quint8 readFunction(ModbusPoint::Table table)
{
    ModbusPoint point;
    point.table = table;
    return quint8(point.readFunction());
}

QString jsonString(const QString &text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c.unicode() < 0x20)
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

} // namespace

RegisterDiscovery::RegisterDiscovery(ModbusClient *client, QObject *parent)
    : QObject(parent), m_client(client)
{
    qRegisterMetaType<RegisterDiscovery::Result>();
    connect(m_client, &ModbusClient::replied, this, &RegisterDiscovery::replied);
}

RegisterDiscovery::~RegisterDiscovery()
{
    // Nobody is told: whoever listens may be half destroyed. The client stays usable.
    if (m_running && m_asked) {
        m_asked = false;
        m_client->close();
    }
}

bool RegisterDiscovery::start(quint8 unit, ModbusPoint::Table table, int from, int to)
{
    if (m_running || from < 0 || to > 0xFFFF || to < from || m_client->isWaiting())
        return false;
    ++m_run;
    m_result = Result();
    m_result.unit = unit;
    m_result.table = table;
    m_result.from = from;
    m_result.to = to;
    const int total = to - from + 1;
    m_state.fill(Unknown, total);
    m_values.fill(0, total);
    m_blocks.clear();
    ModbusPoint point;
    point.table = table;
    const int size = point.isBitTable() ? MaxBits : MaxRegisters;
    for (int first = from; first <= to; first += size)
        m_blocks.push_back({first, qMin(to, first + size - 1), Step::Whole, 0, 0});
    m_judged = 0;
    m_told = 0;
    m_timeoutsNow = 0;
    m_running = true;
    m_asked = false;
    next();
    return true;
}

void RegisterDiscovery::cancel()
{
    if (!m_running)
        return;
    if (m_asked) {
        m_asked = false;
        m_client->close();
    }
    end(Result::End::Cancelled);
}

// Works on the front block until a request must go out, or the blocks are done.
void RegisterDiscovery::next()
{
    while (m_running && !m_blocks.empty()) {
        Block &block = m_blocks.front();
        switch (block.step) {
        case Step::Whole: {
            // Edges already refused would only have the block refused again: they are left out
            // of what is asked, but the block keeps its bounds for the split.
            block.askFrom = block.from;
            block.askTo = block.to;
            while (block.askFrom <= block.askTo && state(block.askFrom) == Unreadable)
                ++block.askFrom;
            while (block.askTo >= block.askFrom && state(block.askTo) == Unreadable)
                --block.askTo;
            bool all = true;
            for (int a = block.askFrom; all && a <= block.askTo; ++a)
                all = known(a);
            if (all) {
                m_blocks.pop_front();
                continue;
            }
            ask(block.askFrom, block.askTo - block.askFrom + 1);
            return;
        }
        case Step::First:
            if (!known(block.askFrom)) {
                ask(block.askFrom, 1);
                return;
            }
            block.step = Step::Last;
            continue;
        case Step::Last: {
            if (!known(block.askTo)) {
                ask(block.askTo, 1);
                return;
            }
            const Block refused = block;
            m_blocks.pop_front();
            if (touchesReadable(refused)) {
                const int middle = refused.from + (refused.to - refused.from) / 2;
                m_blocks.push_front({middle + 1, refused.to, Step::Whole, 0, 0});
                m_blocks.push_front({refused.from, middle, Step::Whole, 0, 0});
            } else {
                refuseWhole(refused);
            }
            continue;
        }
        }
    }
    if (m_running)
        end(Result::End::Completed);
}

void RegisterDiscovery::ask(int address, int count)
{
    // Told here, where every judgement of the last reply is made; a listener may cancel.
    if (m_judged != m_told) {
        m_told = m_judged;
        const int run = m_run;
        emit progress(m_judged, m_state.size());
        if (!m_running || run != m_run)
            return; // cancelled, perhaps started anew, from the listener
    }
    m_asked = true;
    m_askedAddress = address;
    ++m_result.requests;
    if (!m_client->send(ModbusFrame::Request::read(m_result.unit, readFunction(m_result.table), quint16(address),
                                                   quint16(count)))) {
        // Someone else's request took the client meanwhile: no run can go on beside it.
        m_asked = false;
        --m_result.requests;
        m_result.stoppedAt = address;
        m_result.linkReason = QStringLiteral("the client is busy with another request");
        end(Result::End::LinkFailed);
    }
}

void RegisterDiscovery::replied(const ModbusClient::Result &reply)
{
    if (!m_asked)
        return; // not ours
    m_asked = false;
    using S = ModbusClient::Result::Status;
    if (reply.linkFailed) {
        m_result.stoppedAt = m_askedAddress;
        m_result.linkReason = reply.reason;
        end(Result::End::LinkFailed);
        return;
    }
    // A gateway's "path unavailable" or "target failed to respond": no device answered.
    const bool gatewayOnly = reply.status == S::Exception
                             && (reply.exceptionCode == 0x0A || reply.exceptionCode == 0x0B);
    switch (gatewayOnly ? S::Timeout : reply.status) {
    case S::Ok:
    case S::Exception:
        m_timeoutsNow = 0;
        if (!reply.ok())
            ++m_result.exceptions;
        break;
    case S::WrongReply:
    case S::CrcError:
        // Something answers, if not rightly: the device is there.
        m_timeoutsNow = 0;
        ++m_result.wrongReplies;
        break;
    case S::Timeout:
    case S::ConnectionError:
        ++m_result.timeouts;
        if (++m_timeoutsNow >= m_timeoutsInARow) {
            m_result.stoppedAt = m_askedAddress;
            m_result.timeoutsInARow = m_timeoutsNow;
            end(Result::End::NoAnswer);
            return;
        }
        break;
    }

    Block &block = m_blocks.front();
    if (block.step == Step::Whole) {
        if (reply.ok()) {
            for (int a = block.askFrom; a <= block.askTo; ++a)
                judge(a, Readable, reply.values.value(a - block.askFrom));
            m_blocks.pop_front();
        } else if (block.askFrom == block.askTo) {
            judge(block.askFrom, Unreadable);
            m_blocks.pop_front();
        } else {
            block.step = Step::First;
        }
    } else {
        const int address = block.step == Step::First ? block.askFrom : block.askTo;
        judge(address, reply.ok() ? Readable : Unreadable, reply.values.value(0));
    }
    next();
}

void RegisterDiscovery::judge(int address, State state, quint16 value)
{
    quint8 &slot = m_state[address - m_result.from];
    if (slot == Unknown)
        ++m_judged;
    slot = state;
    m_values[address - m_result.from] = value;
}

// A readable register at either edge or inside: a readable range may go on into the block.
bool RegisterDiscovery::touchesReadable(const Block &block) const
{
    const int first = qMax(block.from - 1, m_result.from);
    const int last = qMin(block.to + 1, m_result.to);
    for (int a = first; a <= last; ++a) {
        if (state(a) == Readable)
            return true;
    }
    return false;
}

void RegisterDiscovery::refuseWhole(const Block &block)
{
    bool inner = false;
    for (int a = block.askFrom + 1; a < block.askTo; ++a) {
        if (!known(a)) {
            judge(a, Unreadable);
            inner = true;
        }
    }
    // Never next to another such range: the edges asked lie between them.
    if (inner)
        m_result.unprobed.append({block.askFrom + 1, block.askTo - 1});
}

void RegisterDiscovery::end(Result::End how)
{
    m_running = false;
    m_blocks.clear();
    m_result.end = how;
    m_result.readable.clear();
    m_result.values.clear();
    for (int i = 0; i < m_state.size(); ++i) {
        if (m_state.at(i) != Readable)
            continue;
        const int address = m_result.from + i;
        m_result.values.insert(address, m_values.at(i));
        if (!m_result.readable.isEmpty() && m_result.readable.last().to + 1 == address)
            m_result.readable.last().to = address;
        else
            m_result.readable.append({address, address});
    }
    if (how == Result::End::Completed && m_judged != m_told) {
        m_told = m_judged;
        emit progress(m_judged, m_state.size());
    }
    const Result result = m_result;
    emit finished(result);
}

QVector<RegisterDiscovery::Interpretation> RegisterDiscovery::interpretations(const QVector<quint16> &words)
{
    QVector<Interpretation> list;
    if (words.isEmpty())
        return list;
    const auto add = [&](ModbusPoint::Type type, int count, ModbusValueCodec::ByteOrder order) {
        ModbusPoint point;
        point.type = type;
        point.count = count;
        list.append({type, order, ModbusValueCodec(order).decode(point, words)});
    };
    using T = ModbusPoint::Type;
    using O = ModbusValueCodec::ByteOrder;
    add(T::UInt16, 1, O::ABCD);
    add(T::Int16, 1, O::ABCD);
    if (words.size() < 2)
        return list;
    for (const O order : {O::ABCD, O::BADC, O::CDAB, O::DCBA}) {
        for (const T type : {T::UInt32, T::Int32, T::Float})
            add(type, 2, order);
    }
    return list;
}

QString RegisterDiscovery::tableName(ModbusPoint::Table table)
{
    for (const TableName &entry : kTableNames) {
        if (entry.table == table)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

bool RegisterDiscovery::tableFromName(const QString &name, ModbusPoint::Table *table)
{
    for (const TableName &entry : kTableNames) {
        if (name == QLatin1String(entry.name)) {
            *table = entry.table;
            return true;
        }
    }
    return false;
}

QStringList RegisterDiscovery::rangesAsJsonLines(const Result &result)
{
    QStringList lines;
    const QString table = jsonString(tableName(result.table));
    for (const Range &range : result.readable)
        lines << QStringLiteral("{\"table\": %1, \"from\": %2, \"to\": %3}").arg(table).arg(range.from).arg(range.to);
    QString last = QStringLiteral("{\"requests\": %1").arg(result.requests);
    switch (result.end) {
    case Result::End::Completed: break;
    case Result::End::Cancelled: last += QStringLiteral(", \"stopped\": \"cancelled\""); break;
    case Result::End::NoAnswer: last += QStringLiteral(", \"stopped\": \"no answer\""); break;
    case Result::End::LinkFailed: last += QStringLiteral(", \"stopped\": \"link failed\""); break;
    }
    lines << last + QLatin1Char('}');
    return lines;
}

QString RegisterDiscovery::endText(const Result &result)
{
    switch (result.end) {
    case Result::End::Completed:
        return QString();
    case Result::End::Cancelled:
        return QCoreApplication::translate("RegisterDiscovery", "Discovery was cancelled.");
    case Result::End::NoAnswer:
        return QCoreApplication::translate("RegisterDiscovery",
                                           "The device stopped answering: %1 requests in a row had no reply "
                                           "(the last at address %2). Discovery ended there.")
            .arg(result.timeoutsInARow)
            .arg(result.stoppedAt);
    case Result::End::LinkFailed:
        return QCoreApplication::translate("RegisterDiscovery", "The link to the device could not be used: %1")
            .arg(result.linkReason);
    }
    return QString();
}

QString RegisterDiscovery::missedNotice(const Result &result)
{
    if (result.unprobed.isEmpty())
        return QString();
    int registers = 0;
    for (const Range &range : result.unprobed)
        registers += range.to - range.from + 1;
    return QCoreApplication::translate("RegisterDiscovery",
                                       "Addresses inside refused blocks were not asked one by one (%1 in all): "
                                       "a readable register alone among them can have been missed.")
        .arg(registers);
}
