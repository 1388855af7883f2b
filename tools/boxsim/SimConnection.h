#pragma once

// One TCP connection accepted by the simulated box. It cuts the tool's bytes into frames
// (strictly by length, so binary file data that happens to contain 12 34 is never mistaken for
// a frame start) and writes the box's frames, with junk in between or in small pieces when
// the faults --garbage and --split are on.

#include "TransferReceiver.h"

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

class SimConnection : public QObject
{
    Q_OBJECT
public:
    struct Faults {
        bool garbage = false;
        bool split = false;
    };

    SimConnection(QTcpSocket *socket, Faults faults, QRandomGenerator *random,
                  QObject *parent = nullptr);
    ~SimConnection() override;

    QString peer() const { return m_peer; }

    // A frame of the box, subject to the injected faults.
    void send(const QByteArray &frame);
    // Bytes written as they are, in one piece (the transfer verdict).
    void sendRaw(const QByteArray &bytes);
    // Flushes what is queued and closes the connection.
    void close();

    // A link is a connection that has sent a heartbeat or a JSON message; live data goes to
    // links only, never into a transfer's connection.
    bool isLink() const { return m_link; }
    void markLink() { m_link = true; }

    TransferReceiver *transfer() const { return m_transfer.get(); }
    TransferReceiver *startTransfer(quint8 command);
    std::unique_ptr<TransferReceiver> takeTransfer() { return std::move(m_transfer); }

signals:
    void frameReceived(SimConnection *connection, const QByteArray &frame);
    void closed(SimConnection *connection);

private:
    void readIncoming();
    void writeNextPiece();
    QByteArray junk();

    QTcpSocket *m_socket;
    Faults m_faults;
    QRandomGenerator *m_random;
    QString m_peer;
    QByteArray m_in;
    QByteArray m_outQueue;
    QTimer m_pieceTimer;
    bool m_link = false;
    std::unique_ptr<TransferReceiver> m_transfer;
};
