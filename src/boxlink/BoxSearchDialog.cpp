#include "boxlink/BoxSearchDialog.h"

#include "app/WriteLog.h"
#include "boxlink/FrameCodec.h"

#include <QComboBox>
#include <QDebug>
#include <QListWidget>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <QVBoxLayout>

namespace {

// Boxes answer the port the request came from; they expect this one.
constexpr quint16 kLocalPort = 5;
constexpr int kBroadcastIntervalMs = 1000;
constexpr int kSearchDurationMs = 10000;

BoxSearchDialog::TestHooks &testHooks()
{
    static BoxSearchDialog::TestHooks hooks;
    return hooks;
}

} // namespace

void BoxSearchDialog::setTestHooks(const TestHooks &hooks)
{
    testHooks() = hooks;
}

void BoxSearchDialog::clearTestHooks()
{
    testHooks() = TestHooks();
}

BoxSearchDialog::BoxSearchDialog(QWidget *parent)
    : QDialog(parent)
    , m_hooks(testHooks())
{
    qRegisterMetaType<QNetworkInterface>("QNetworkInterface");
    setWindowTitle(tr("Search Box"));

    m_results = new QListWidget(this);
    m_interfaceChoice = new QComboBox(this);
    m_searchButton = new QPushButton(tr("Search"), this);

    const QList<QNetworkInterface> interfaces =
        m_hooks.interfaces ? m_hooks.interfaces() : QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = iface.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning))
            m_interfaceChoice->addItem(iface.humanReadableName(), QVariant::fromValue(iface));
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_results);
    layout->addWidget(m_interfaceChoice);
    layout->addWidget(m_searchButton);

    m_broadcastTimer = new QTimer(this);
    m_broadcastTimer->setInterval(m_hooks.broadcastIntervalMs > 0 ? m_hooks.broadcastIntervalMs
                                                                  : kBroadcastIntervalMs);
    m_socket = new QUdpSocket(this);

    connect(m_searchButton, &QPushButton::clicked, this, &BoxSearchDialog::searchForBoxes);
    connect(m_broadcastTimer, &QTimer::timeout, this, &BoxSearchDialog::sendSearchBroadcast);
    connect(m_socket, &QUdpSocket::readyRead, this, &BoxSearchDialog::readPendingDatagrams);

    writeLog(QStringLiteral("BoxSearchDialog new-nuilt"));
}

BoxSearchDialog::~BoxSearchDialog()
{
    writeLog(QStringLiteral("BoxSearchDialog destroyed"));
}

bool BoxSearchDialog::isSearching() const
{
    return m_broadcastTimer->isActive();
}

void BoxSearchDialog::searchForBoxes()
{
    m_results->clear();
    m_seen.clear();
    m_broadcastTimer->start();
    // A new search replaces a running one: only the latest search's delay may end it, so a
    // restart neither stops the new broadcasts early nor reports "no devices" meanwhile.
    const quint64 search = ++m_searchId;
    QTimer::singleShot(m_hooks.searchDurationMs > 0 ? m_hooks.searchDurationMs : kSearchDurationMs,
                       this, [this, search] { finishSearch(search); });
    writeLog(QStringLiteral("BoxSearchDialog: search"));
}

void BoxSearchDialog::finishSearch(quint64 search)
{
    if (search != m_searchId)
        return;
    m_broadcastTimer->stop();
    if (m_results->count() == 0) {
        writeLog(QStringLiteral("BoxSearchDialog: search timeout, no devices found."));
        QMessageBox::information(this, tr("No Devices Found"),
                                 tr("No devices were found during the search."));
    }
}

void BoxSearchDialog::sendSearchBroadcast()
{
    const QNetworkInterface iface =
        m_interfaceChoice->currentData(Qt::UserRole).value<QNetworkInterface>();
    const QList<QNetworkAddressEntry> entries =
        m_hooks.addressEntries ? m_hooks.addressEntries(iface) : iface.addressEntries();
    QHostAddress address;
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
            address = entry.ip();
            break;
        }
    }
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
        return;
    }
    const QHostAddress destination =
        m_hooks.destination.isNull() ? QHostAddress(QHostAddress::Broadcast) : m_hooks.destination;
    m_socket->writeDatagram(FrameCodec::discoveryRequest(), destination, FrameCodec::BoxPort);
}

void BoxSearchDialog::readPendingDatagrams()
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
        m_results->addItem(QStringLiteral("设备IP: ") + info.ip + QStringLiteral("\n子网掩码: ")
                           + info.mask + QStringLiteral("\n盒子型号: ") + info.model);
        m_seen.insert(info.ip);
    }
}
