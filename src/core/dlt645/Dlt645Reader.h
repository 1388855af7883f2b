#pragma once

// Reads meters' items on one serial line, one request at a time (meters share a two-wire bus),
// on the event loop. Each request has the device's communication timeout; the communication
// gap separates a request from the last reply. Only a reply that answers its request gives a
// value. A meter that does not answer its first request of a round gets its remaining items
// of that round marked "not sent", so one dead meter does not hold the line.

#include "core/dlt645/Dlt645Frame.h"
#include "core/dlt645/Dlt645Value.h"
#include "core/modbus/SerialLine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

class Dlt645Reader : public QObject
{
    Q_OBJECT
public:
    struct Item
    {
        int meter = 0;           // items of one meter share this number within a round
        QString addressText;     // as the meter tab holds it
        Dlt645::Edition edition = Dlt645::Edition::V2007;
        QString identifierText;  // as the catalogue writes it ("00010000", "9010")
        QString format;          // as the catalogue writes it ("XXXXXX.XX")
    };

    struct Result
    {
        Dlt645::Status status = Dlt645::Status::Timeout;
        QString value;             // set only when status is Ok
        quint8 errorCode = 0;      // of an error reply
        QString answeredBy;        // the address the meter answered with, when it answered
        qint64 roundTripMs = -1;   // from the request's last byte sent to the reply's acceptance
        bool ok() const { return status == Dlt645::Status::Ok; }
    };

    static constexpr int kDefaultTimeoutMs = 2000;

    explicit Dlt645Reader(QObject *parent = nullptr);
    ~Dlt645Reader() override;

    // Opens the line (a refused RTS setting is a warning, see lineWarning). False with a reason.
    bool open(const SerialLine::Settings &settings, QString *error);
    void close();
    bool isOpen() const { return m_line.isOpen(); }
    // A timeout of 0 or less means the default; a gap below 0 means none.
    void setTimeouts(int timeoutMs, int gapMs);

    // Reads every item once; itemRead() per item in order, then roundFinished(). False while a
    // round or an address read runs.
    bool readRound(const QVector<Item> &items);
    // The 2007 address read (the meter must be alone on the line); addressRead() follows.
    bool readAddress();
    bool isBusy() const { return m_busy; }
    // Ends what runs: the current request and the rest of the round end as not sent.
    void cancel();

    int requestCount() const { return m_requestCount; }
    const SerialLine *line() const { return &m_line; }

signals:
    void itemRead(int index, const Dlt645Reader::Result &result);
    void roundFinished();
    void addressRead(const Dlt645Reader::Result &result); // answeredBy holds the address
    void lineWarning(const QString &text);

private:
    void startNext();
    void send();
    void bytesArrived(const QByteArray &bytes);
    void finish(Result result);
    void lineFailed(const QString &error);
    void later(void (Dlt645Reader::*step)());

    SerialLine m_line;
    QTimer m_timeout;
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_gapMs = -1;

    bool m_busy = false;
    quint64 m_run = 0;
    bool m_addressRead = false;
    QVector<Item> m_items;
    int m_next = 0;     // index of the item now in flight (or next to go)
    QVector<int> m_deadMeters;
    QVector<int> m_answeredMeters;
    bool m_clean = true; // the last exchange ended on a complete reply: no stale bytes to wait out

    Dlt645::Request m_request;
    QByteArray m_buffer;
    bool m_sawBadChecksum = false;
    Dlt645::Status m_refusal = Dlt645::Status::Ok; // Ok: nothing refused yet
    QString m_refusedBy;
    QElapsedTimer m_sentAt;
    int m_requestCount = 0;
};

Q_DECLARE_METATYPE(Dlt645Reader::Result)
