#pragma once

// Finds boxes on the local network: a search broadcasts the discovery request every second for
// ten seconds from the chosen interface's IPv4 address and reports each box that answers once,
// with its IP address, subnet mask and model. No widgets: the search window shows what it
// reports.

#include "core/boxlink/FrameCodec.h"

#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QTimer;
class QUdpSocket;

class BoxDiscovery : public QObject
{
    Q_OBJECT
public:
    // Lets tests keep the search on loopback: which interfaces are offered, which addresses
    // an interface has, where the request goes, the local port and the timings. Unset members
    // keep the real behaviour. Read when a discovery is constructed.
    struct TestHooks {
        std::function<QList<QNetworkInterface>()> interfaces;
        std::function<QList<QNetworkAddressEntry>(const QNetworkInterface &)> addressEntries;
        QHostAddress destination;      // null: the limited broadcast address
        int localPort = -1;            // -1: the fixed discovery port; 0: any free port
        int broadcastIntervalMs = 0;   // 0: 1000 ms
        int searchDurationMs = 0;      // 0: 10000 ms
    };
    static void setTestHooks(const TestHooks &hooks);
    static void clearTestHooks();

    explicit BoxDiscovery(QObject *parent = nullptr);

    // The interfaces that are up and running, to search from.
    QList<QNetworkInterface> interfaces() const;
    // The interface's first IPv4 address, null for none.
    QHostAddress firstIpv4(const QNetworkInterface &iface) const;
    // Where the next request goes out from; a change takes effect with the next request.
    void setInterface(const QNetworkInterface &iface) { m_interface = iface; }

    // Starts a search, replacing a running one.
    void start();
    bool isSearching() const;
    // Sends one request from the interface's address.
    void sendRequest();
    // Reads the answers waiting; each box is reported once per search.
    void readPendingDatagrams();

signals:
    void boxFound(const FrameCodec::DiscoveryInfo &info);
    // The search time is over without an answer: `failure` tells why no request could go out,
    // empty when requests went out and nobody answered.
    void nothingFound(const QString &failure);
    // A line for the Message dock.
    void messageAppended(const QString &text);

private:
    void finish(quint64 search);

    TestHooks m_hooks;
    QNetworkInterface m_interface;
    QTimer *m_broadcastTimer = nullptr;
    QUdpSocket *m_socket = nullptr;
    QSet<QString> m_seen;
    quint64 m_searchId = 0;
    // Per search: whether a request went out, why the last one could not, and whether the
    // Message dock has heard that the fixed local port could not be used.
    bool m_sent = false;
    QString m_failure;
    bool m_fallbackReported = false;
};
