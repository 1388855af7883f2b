#pragma once

// A link to a simulator that collects its live reports, the latest per device. It reads on
// the event loop, so peers that live in the test process (a meter on a pseudo-terminal) keep
// answering while it collects.

#include "core/boxlink/FrameCodec.h"
#include "core/boxlink/FrameExtractor.h"
#include "core/boxlink/LiveDataAssembler.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QTcpSocket>
#include <QTest>

class LiveReportLink
{
public:
    LiveReportLink()
    {
        m_extractor.setHandler([this](const char *frame, int length) {
            if (quint8(frame[2]) == FrameCodec::LiveDataFragment
                && m_assembler.addFragment(frame, length) == LiveDataAssembler::Status::Complete) {
                const QJsonObject report = m_assembler.takeReport();
                m_latest.insert(report.value("plcName").toString(), report);
            }
        });
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] { m_extractor.feed(m_socket.readAll()); });
    }

    bool open(const QString &address)
    {
        m_socket.connectToHost(address, FrameCodec::BoxPort);
        if (!m_socket.waitForConnected(3000))
            return false;
        m_socket.write(FrameCodec::heartbeatRequest()); // makes it a link that gets reports
        return m_socket.waitForBytesWritten(3000);
    }

    // Forgets what came so far and reads for the given time.
    void collect(int milliseconds)
    {
        m_latest.clear();
        QTest::qWait(milliseconds);
    }

    // "value|valid" of each point of the device's latest report, by point name.
    QMap<QString, QString> points(const QString &device) const
    {
        QMap<QString, QString> result;
        for (const QJsonValue &value : m_latest.value(device).value("datas").toArray()) {
            const QJsonObject entry = value.toObject();
            result.insert(entry.value("name").toString(),
                          entry.value("value").toString() + '|' + entry.value("valid").toString());
        }
        return result;
    }

private:
    QTcpSocket m_socket;
    FrameExtractor m_extractor;
    LiveDataAssembler m_assembler;
    QMap<QString, QJsonObject> m_latest;
};
