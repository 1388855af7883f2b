#include "core/templates/ModelProbe.h"

#include "core/modbus/ModbusFrame.h"
#include "core/modbus/ModbusValueCodec.h"

namespace {

// The table digit of a point address ("4" holding registers ...).
QChar tableDigit(const QString &table)
{
    if (table == QLatin1String("coils"))
        return QLatin1Char('0');
    if (table == QLatin1String("discreteInputs"))
        return QLatin1Char('1');
    if (table == QLatin1String("inputRegisters"))
        return QLatin1Char('3');
    if (table == QLatin1String("holdingRegisters"))
        return QLatin1Char('4');
    return QChar();
}

QString trimmedText(QString text)
{
    while (!text.isEmpty() && (text.endsWith(QChar(0)) || text.endsWith(QLatin1Char(' '))))
        text.chop(1);
    return text.trimmed();
}

} // namespace

QVector<ModelProbe::Candidate> ModelProbe::candidates(const QVector<DeviceTemplate> &templates)
{
    QVector<Candidate> found;
    for (const DeviceTemplate &device : templates) {
        if (device.protocol != DeviceTemplate::Modbus || !device.identificationProbe().isSet())
            continue;
        const QString model = QStringLiteral("%1 %2").arg(device.maker, device.model).trimmed();
        found.append({model.isEmpty() ? device.name : QStringLiteral("%1 (%2)").arg(model, device.name),
                      device.identificationProbe()});
    }
    return found;
}

bool ModelProbe::pointOf(const TemplateProbe &probe, ModbusPoint *point)
{
    const QChar digit = tableDigit(probe.table);
    if (digit.isNull() || probe.address < 0 || probe.address > 65535)
        return false;
    // Six digits: the table digit and the protocol address as a reference counted from 0.
    const QString address = digit + QStringLiteral("%1").arg(probe.address, 5, 10, QLatin1Char('0'));
    *point = ModbusPoint::fromRow({address, QStringLiteral("probe"), probe.dataType,
                                   probe.length.isEmpty() ? QStringLiteral("1") : probe.length, QStringLiteral("r")},
                                  true);
    return point->error.isEmpty() && point->count > 0 && point->address == probe.address;
}

bool ModelProbe::matches(const TemplateProbe &probe, const QVector<quint16> &words)
{
    ModbusPoint point;
    if (!pointOf(probe, &point) || words.size() != point.count)
        return false;
    const QString read = trimmedText(ModbusValueCodec().decode(point, words));
    const QString wanted = trimmedText(probe.value);
    if (point.type == ModbusPoint::Type::String)
        return read == wanted;
    bool readOk = false;
    bool wantedOk = false;
    const double a = read.toDouble(&readOk);
    const double b = wanted.toDouble(&wantedOk);
    return readOk && wantedOk ? a == b : read == wanted;
}

ModelProbe::ModelProbe(ModbusClient *client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    connect(client, &ModbusClient::replied, this, &ModelProbe::replied);
}

bool ModelProbe::start(quint8 unit, const QVector<Candidate> &candidates)
{
    if (m_running || m_client->isWaiting())
        return false;
    m_unit = unit;
    m_candidates = candidates;
    m_matched.clear();
    m_at = -1;
    m_running = true;
    next();
    return true;
}

void ModelProbe::next()
{
    while (++m_at < m_candidates.size()) {
        ModbusPoint point;
        if (!pointOf(m_candidates.at(m_at).probe, &point))
            continue; // a probe no request can read rules its model out
        if (m_client->send(ModbusFrame::Request::read(m_unit, quint8(point.readFunction()), quint16(point.address),
                                                      quint16(point.count))))
            return;
    }
    m_running = false;
    emit finished(m_matched);
}

void ModelProbe::replied(const ModbusClient::Result &result)
{
    if (!m_running)
        return;
    if (result.ok() && matches(m_candidates.at(m_at).probe, result.values))
        m_matched.append(m_candidates.at(m_at).model);
    next();
}
