#include "core/boxlink/BoxDiscovery.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {

// Boxes answer the port the request came from; they expect this one.
constexpr quint16 kLocalPort = 5;
constexpr int kBroadcastIntervalMs = 1000;
constexpr int kSearchDurationMs = 10000;

BoxDiscovery::TestHooks &testHooks()
{
    static BoxDiscovery::TestHooks hooks;
    return hooks;
}

} // namespace

// The texts below were the search window's first and keep its translations.

void BoxDiscovery::setTestHooks(const TestHooks &hooks)
{
    testHooks() = hooks;
}

void BoxDiscovery::clearTestHooks()
{
    testHooks() = TestHooks();
}

BoxDiscovery::BoxDiscovery(QObject *parent)
    : QObject(parent)
    , m_hooks(testHooks())
{
    m_broadcastTimer = new QTimer(this);
    m_broadcastTimer->setInterval(m_hooks.broadcastIntervalMs > 0 ? m_hooks.broadcastIntervalMs
                                                                  : kBroadcastIntervalMs);
    m_socket = new QUdpSocket(this);
    connect(m_broadcastTimer, &QTimer::timeout, this, &BoxDiscovery::sendRequest);
    connect(m_socket, &QUdpSocket::readyRead, this, &BoxDiscovery::readPendingDatagrams);
}

QList<QNetworkInterface> BoxDiscovery::interfaces() const
{
    QList<QNetworkInterface> usable;
    const QList<QNetworkInterface> all = m_hooks.interfaces ? m_hooks.interfaces() : QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : all) {
        const QNetworkInterface::InterfaceFlags flags = iface.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning))
            usable.append(iface);
    }
    return usable;
}

QHostAddress BoxDiscovery::firstIpv4(const QNetworkInterface &iface) const
{
    const QList<QNetworkAddressEntry> entries =
        m_hooks.addressEntries ? m_hooks.addressEntries(iface) : iface.addressEntries();
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return entry.ip();
    }
    return QHostAddress();
}

bool BoxDiscovery::isSearching() const
{
    return m_broadcastTimer->isActive();
}

void BoxDiscovery::start()
{
    m_seen.clear();
    m_sent = false;
    m_failure.clear();
    m_fallbackReported = false;
    m_broadcastTimer->start();
    // A new search replaces a running one: only the latest search's delay may end it, so a
    // restart neither stops the new broadcasts early nor reports "no devices" meanwhile.
    const quint64 search = ++m_searchId;
    QTimer::singleShot(m_hooks.searchDurationMs > 0 ? m_hooks.searchDurationMs : kSearchDurationMs, this,
                       [this, search] { finish(search); });
}

void BoxDiscovery::finish(quint64 search)
{
    if (search != m_searchId)
        return;
    m_broadcastTimer->stop();
    if (!m_seen.isEmpty())
        return;
    // Nothing went out, so nothing could answer: a local fault, not an empty network.
    emit nothingFound(m_sent ? QString() : m_failure);
}

void BoxDiscovery::sendRequest()
{
    const QNetworkInterface &iface = m_interface;
    const QHostAddress address = firstIpv4(iface);
    if (address.isNull()) {
        qDebug() << "No IPv4 address found for selected network interface!";
        return;
    }

    qDebug().noquote() << "Binding to address:" << address.toString();
    // Re-bound on every tick, so a changed interface choice takes effect with the next request.
    m_socket->close();
    const quint16 port = m_hooks.localPort >= 0 ? quint16(m_hooks.localPort) : kLocalPort;
    if (!m_socket->bind(address, port)) {
        qDebug() << "Failed to bind to selected network interface!";
        // Port 5 is privileged on Linux, and another program may hold it. A box answers the
        // port the request came from, so any port on the same address still finds boxes.
        const QString refusal = m_socket->errorString();
        m_socket->close();
        if (port == 0 || !m_socket->bind(address, 0)) {
            m_failure = QCoreApplication::translate("BoxSearchDialog", "binding %1 (%2) failed: %3")
                            .arg(iface.humanReadableName(), address.toString(), m_socket->errorString());
            m_socket->close();
            return;
        }
        if (!m_fallbackReported) {
            m_fallbackReported = true;
            emit messageAppended(
                QCoreApplication::translate("BoxSearchDialog",
                                            "Search Box: local port %1 on %2 (%3) could not be bound (%4), so the "
                                            "search runs without it, from ports the system chooses. To grant the "
                                            "port on Linux: sudo setcap cap_net_bind_service=+ep %5")
                    .arg(port)
                    .arg(iface.humanReadableName(), address.toString(), refusal,
                         QCoreApplication::applicationFilePath()));
        }
    }
    const QHostAddress destination =
        m_hooks.destination.isNull() ? QHostAddress(QHostAddress::Broadcast) : m_hooks.destination;
    if (m_socket->writeDatagram(FrameCodec::discoveryRequest(), destination, FrameCodec::BoxPort) >= 0) {
        m_sent = true;
    } else {
        m_failure = QCoreApplication::translate("BoxSearchDialog", "sending from %1 (%2) failed: %3")
                        .arg(iface.humanReadableName(), address.toString(), m_socket->errorString());
        qDebug().noquote() << "Search request not sent:" << m_socket->errorString();
    }
}

void BoxDiscovery::readPendingDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        FrameCodec::DiscoveryInfo info;
        if (!FrameCodec::parseDiscoveryReply(datagram.data(), &info))
            continue;
        if (m_seen.contains(info.ip))
            continue;
        m_seen.insert(info.ip);
        emit boxFound(info);
    }
}
