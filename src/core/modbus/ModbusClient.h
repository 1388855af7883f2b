#pragma once

// Sends Modbus requests one at a time over TCP or an RTU serial line and checks each reply
// against its request. Every request ends in exactly one replied(), within its time-out
// whatever the device sends: a reply to an earlier request, a duplicate, or bytes of a frame
// that cannot be trusted are never taken for the answer. TCP replies carry the request's
// transaction id; a malformed stream drops the connection (the next request reconnects). On a
// serial line each request waits for the line to fall silent and drops stale bytes first, and
// after a failed request for a whole request time-out, so a late reply dies on the line.

#include "core/modbus/ModbusFrame.h"
#include "core/modbus/ModbusLinkSettings.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;
class SerialLine;

class ModbusClient : public QObject
{
    Q_OBJECT
public:
    struct Result {
        enum class Status { Ok, Exception, WrongReply, CrcError, Timeout, ConnectionError };
        Status status = Status::Ok;
        int exceptionCode = 0;
        QVector<quint16> values;
        QString reason;         // for logs: why a reply was refused or the link failed
        bool linkFailed = false; // the link could not be opened: later requests would fail too
        // What happened to the link, for the user: a refused connection, none within the
        // connection time-out, one that dropped, an address or a serial device not usable.
        enum class Link { Fine, Refused, NoConnection, Dropped, BadAddress, SerialUnusable };
        Link link = Link::Fine;
        bool ok() const { return status == Status::Ok; }
    };

    explicit ModbusClient(const ModbusLinkSettings &link, QObject *parent = nullptr);
    ~ModbusClient() override;

    // Opens the link when needed and sends; replied() follows exactly once. False (and no
    // signal) while another request waits.
    bool send(const ModbusFrame::Request &request);
    bool isWaiting() const { return m_waiting; }
    void close();

    // Every byte on the wire, for a traffic view or a log.
    SerialLine *serialLine() const { return m_line; }

signals:
    void replied(const ModbusClient::Result &result);
    void bytesSent(const QByteArray &bytes);
    void bytesReceived(const QByteArray &bytes);

private:
    void openLink();
    void linkReady();
    void transmit();
    void tcpBytes();
    void rtuBytes(const QByteArray &bytes);
    void rtuFrameEnded();
    void finish(Result result);
    void finishWith(const ModbusFrame::Reply &reply);
    void failLink(Result::Status status, const QString &reason, Result::Link link);
    void dropConnection();

    ModbusLinkSettings m_link;
    QTcpSocket *m_socket = nullptr;
    SerialLine *m_line = nullptr;
    QTimer m_connectTimer;
    QTimer m_replyTimer;
    QTimer m_silenceTimer;
    ModbusFrame::Request m_request;
    bool m_waiting = false;   // a request is between send() and replied()
    bool m_sent = false;      // ... and its bytes are on the wire
    bool m_recover = false;   // RTU: the last request failed; wait longer before the next
    quint16 m_transactionId = 0;
    QByteArray m_buffer;
};

Q_DECLARE_METATYPE(ModbusClient::Result)
