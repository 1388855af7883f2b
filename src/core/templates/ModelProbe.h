#pragma once

// Tells which known device models a slave found on a bus may be: each Modbus template's
// identification probe is read from the slave (one request per probe, one at a time) and the
// value compared with what that model reads there. A probe that is refused, times out or reads
// another value rules its model out; nothing is guessed.

#include "core/modbus/ModbusClient.h"
#include "core/modbus/ModbusPoint.h"
#include "core/templates/DeviceTemplate.h"

#include <QObject>
#include <QStringList>
#include <QVector>

class ModelProbe : public QObject
{
    Q_OBJECT
public:
    struct Candidate
    {
        QString model; // how the model is named to the user
        TemplateProbe probe;
    };

    // The Modbus templates that carry a probe, named "maker model (template name)".
    static QVector<Candidate> candidates(const QVector<DeviceTemplate> &templates);
    // The point a probe reads; false for a probe no request can read.
    static bool pointOf(const TemplateProbe &probe, ModbusPoint *point);
    // Whether the registers (or the bit) read at the probe show its value: numbers compared
    // as numbers, texts without their trailing blanks and NULs.
    static bool matches(const TemplateProbe &probe, const QVector<quint16> &words);

    // The client is the caller's (and idle when start() is called).
    explicit ModelProbe(ModbusClient *client, QObject *parent = nullptr);

    // False (and no finished()) while a run goes on or the client is busy.
    bool start(quint8 unit, const QVector<Candidate> &candidates);
    bool isRunning() const { return m_running; }

signals:
    // The models whose probe matched, in the order given.
    void finished(const QStringList &models);

private:
    void next();
    void replied(const ModbusClient::Result &result);

    ModbusClient *m_client;
    quint8 m_unit = 1;
    QVector<Candidate> m_candidates;
    int m_at = -1;
    bool m_running = false;
    QStringList m_matched;
};
