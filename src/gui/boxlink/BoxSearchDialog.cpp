#include "gui/boxlink/BoxSearchDialog.h"

#include "core/support/WriteLog.h"
#include "core/boxlink/FrameCodec.h"

#include <QComboBox>
#include <QCoreApplication>
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
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        // The address tells apart interfaces whose names say little.
        const QHostAddress address = firstIpv4(iface);
        const QString text = address.isNull()
            ? iface.humanReadableName()
            : iface.humanReadableName() + QStringLiteral(" \u2014 ") + address.toString();
        m_interfaceChoice->addItem(text, QVariant::fromValue(iface));
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

void BoxSearchDialog::enableAddToProject()
{
    if (m_addButton)
        return;
    m_addButton = new QPushButton(tr("Add to project"), this);
    m_addButton->setEnabled(false);
    layout()->addWidget(m_addButton);
    connect(m_results, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *current) { m_addButton->setEnabled(current != nullptr); });
    connect(m_addButton, &QPushButton::clicked, this,
            [this] { requestAddToProject(m_results->currentItem()); });
    connect(m_results, &QListWidget::itemDoubleClicked, this, &BoxSearchDialog::requestAddToProject);
}

void BoxSearchDialog::requestAddToProject(const QListWidgetItem *item)
{
    if (!item)
        return;
    emit addToProjectRequested(item->data(IpRole).toString(), item->data(ModelRole).toString());
}

QHostAddress BoxSearchDialog::firstIpv4(const QNetworkInterface &iface) const
{
    const QList<QNetworkAddressEntry> entries =
        m_hooks.addressEntries ? m_hooks.addressEntries(iface) : iface.addressEntries();
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return entry.ip();
    }
    return QHostAddress();
}

void BoxSearchDialog::searchForBoxes()
{
    m_results->clear();
    m_seen.clear();
    m_sent = false;
    m_failure.clear();
    m_fallbackReported = false;
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
    if (m_results->count() == 0 && !m_sent && !m_failure.isEmpty()) {
        // Nothing went out, so nothing could answer: a local fault, not an empty network.
        writeLog(QStringLiteral("BoxSearchDialog: search failed, no request sent."));
        QMessageBox::warning(this, tr("Search Failed"),
                             tr("Could not send the search request: %1").arg(m_failure));
    } else if (m_results->count() == 0) {
        writeLog(QStringLiteral("BoxSearchDialog: search timeout, no devices found."));
        QMessageBox::information(this, tr("No Devices Found"),
                                 tr("No devices were found during the search."));
    }
}

void BoxSearchDialog::sendSearchBroadcast()
{
    const QNetworkInterface iface =
        m_interfaceChoice->currentData(Qt::UserRole).value<QNetworkInterface>();
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
            m_failure = tr("binding %1 (%2) failed: %3")
                            .arg(iface.humanReadableName(), address.toString(), m_socket->errorString());
            m_socket->close();
            return;
        }
        if (!m_fallbackReported) {
            m_fallbackReported = true;
            emit messageAppended(tr("Search Box: local port %1 on %2 (%3) could not be bound (%4), so the "
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
        m_failure = tr("sending from %1 (%2) failed: %3")
                        .arg(iface.humanReadableName(), address.toString(), m_socket->errorString());
        qDebug().noquote() << "Search request not sent:" << m_socket->errorString();
    }
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
        auto *item = new QListWidgetItem(QStringLiteral("设备IP: ") + info.ip
                                             + QStringLiteral("\n子网掩码: ") + info.mask
                                             + QStringLiteral("\n盒子型号: ") + info.model);
        item->setData(IpRole, info.ip);
        item->setData(ModelRole, info.model);
        m_results->addItem(item);
        m_seen.insert(info.ip);
    }
}
