#pragma once

#include <vector>

// The box side of one project deployment (command 3) or program update (command 4): takes
// the data fragments and the closing checksum frame, checks order and sizes, computes the
// MD5 and keeps a record of every frame header for transfers.jsonl.

#include "core/boxlink/FrameCodec.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

class TransferReceiver
{
public:
    explicit TransferReceiver(quint8 command, const QString &peer);

    quint8 command() const { return m_command; }
    bool finished() const { return m_finished; }

    // One whole frame of this transfer's command (data fragment or checksum frame). Returns
    // true when it was the checksum frame, after which the verdict is due.
    bool addFrame(const QByteArray &frame);

    // After the checksum frame: whether every fragment fitted and the digest matched.
    bool verified() const { return m_verified; }
    const QByteArray &data() const { return m_data; }
    QStringList errors() const { return m_errors; }

    // The record for transfers.jsonl as one line of compact JSON (no line end); result < 0
    // means no verdict was sent.
    QByteArray record(int result, const QString &storedAs) const;

private:
    void addFragment(const QByteArray &frame);
    void addChecksum(const QByteArray &frame);

    quint8 m_command;
    QString m_peer;
    QString m_started;
    QByteArray m_data;
    quint32 m_total = 0;
    quint32 m_nextNumber = 1;
    struct Fragment {
        int frameLength;
        FrameCodec::FragmentHeader header;
    };
    std::vector<Fragment> m_fragments;
    // Fed as the fragments arrive, so the checksum frame finds the digest nearly done.
    QCryptographicHash m_hash{QCryptographicHash::Md5};
    QByteArray m_md5;
    QJsonValue m_checksum;
    QStringList m_errors;
    bool m_finished = false;
    bool m_verified = false;
};
