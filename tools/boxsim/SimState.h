#pragma once

// What the simulated box keeps across restarts, in its state directory:
//   settings.json   the six groups of settings and the clock offset (one JSON object)
//   deployed.json   the last verified project, exactly the bytes received
//   program.bin     the last verified program image, exactly the bytes received
//   transfers.jsonl one JSON object per line for every file transfer received

#include "core/boxlink/BoxMessages.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class SimState
{
public:
    // Opens (creating when needed) the state directory and loads the settings. False with a
    // reason when the directory is unusable or the settings file is corrupt.
    bool open(const QString &directory, QString *error);

    QString directory() const { return m_directory; }

    // The stored "pares" of one settings group, every member present.
    QJsonObject settings(BoxMessages::Kind kind) const;
    // Stores the given members of a group (others keep their values) and saves.
    bool storeSettings(BoxMessages::Kind kind, const QJsonObject &members);

    // The box clock: the PC clock moved by the offset set through a clock write.
    QString clockText() const;
    bool setClock(const QString &dateText);

    bool storeDeployedProject(const QByteArray &bytes);
    QByteArray deployedProject() const; // empty when none
    bool storeProgram(const QByteArray &bytes);

    // Appends one line (compact JSON, without its line end) to transfers.jsonl.
    bool appendTransferRecord(QByteArray record);

private:
    bool save();
    bool writeFile(const QString &name, const QByteArray &bytes);
    QString path(const QString &name) const;

    QString m_directory;
    QJsonObject m_groups[BoxMessages::KindCount];
    qint64 m_clockOffsetSeconds = 0;
};
