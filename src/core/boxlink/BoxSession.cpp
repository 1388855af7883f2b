#include "core/boxlink/BoxSession.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHostAddress>
#include <QMetaObject>

BoxSession::BoxSession(QObject *parent)
    : QObject(parent)
{
}

BoxSession::~BoxSession()
{
    shutDown();
}

void BoxSession::shutDown()
{
    if (m_transfer) {
        // Ends without a word: nobody is left to show it.
        QObject::disconnect(m_transfer, nullptr, this, nullptr);
        delete m_transfer;
        m_conclusion = nullptr;
    }
    if (m_link) {
        QObject::disconnect(m_link, nullptr, this, nullptr);
        m_link->disconnectFromServer();
        delete m_link;
        m_link = nullptr;
    }
    reportLinkDown();
    emit stateChanged();
}

// ---------------------------------------------------------------------------------------
// Link

void BoxSession::connectToBox(bool announce)
{
    dropLink();
    m_version.clear();
    m_link = new Protocol(this);
    m_link->setAutoReconnect(true);
    // The connect binds (and reports a failure) once; binding here as well reported it twice.
    if (m_localAddress != noBinding())
        m_link->setLocalAddress(QHostAddress(m_localAddress));
    wireLink(m_link);
    m_quiet = !announce;
    m_link->connectToServer(m_boxAddress);
    m_quiet = false;
    emit stateChanged();
}

bool BoxSession::disconnectFromBox()
{
    if (!m_link)
        return false;
    dropLink();
    setStatus(QCoreApplication::translate("BoxEditDialog", "Connection status: Not connected"));
    emit stateChanged();
    return true;
}

BoxSession::LinkState BoxSession::linkState() const
{
    if (!m_link)
        return LinkState::Off;
    if (m_linkUpHost.isEmpty())
        return LinkState::Connecting;
    return m_silent ? LinkState::Silent : LinkState::Up;
}

void BoxSession::setStatus(const QString &status)
{
    m_status = status;
    if (!m_quiet)
        emit connectionStatusChanged(status);
}

QString BoxSession::aboutBox(const QString &host, const QString &text) const
{
    const QString box = m_boxName.isEmpty() ? host : QStringLiteral("%1 (%2)").arg(m_boxName, host);
    return QCoreApplication::translate("BoxEditDialog", "Box %1: %2").arg(box, text);
}

template <typename F>
void BoxSession::later(F f)
{
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

Protocol *BoxSession::ensureLink()
{
    if (!m_link)
        connectToBox();
    return m_link;
}

void BoxSession::wireLink(Protocol *link)
{
    connect(link, &Protocol::connectionStatusChanged, this, &BoxSession::setStatus);
    connect(link, &Protocol::versionReceived, this, [this, link](const QString &version) {
        // A heartbeat reply after the silence warning: the status is "Connected" again (the
        // link said so just before), and the Message dock learns that the box is back.
        if (m_silent) {
            m_silent = false;
            emit messageAppended(aboutBox(link->host(), QCoreApplication::translate(
                                                            "BoxSession", "it answers again; the link is back.")));
            emit stateChanged();
        }
        const bool changed = version != m_version;
        m_version = version;
        emit versionReceived(version);
        if (changed)
            emit stateChanged();
    });
    connect(link, &Protocol::offlineOccurred, this, [this, link] {
        // Until the box answers again the status must not go on saying "Connected".
        m_silent = true;
        setStatus(QCoreApplication::translate("BoxSession", "Connection status: no answer from the box for %1 s")
                      .arg(Protocol::silenceMs() / 1000.0));
        emit messageAppended(aboutBox(link->host(), QCoreApplication::translate(
                                     "BoxEditDialog", "!!!No communication for 30 seconds. Connection may be lost.!!!")));
        emit stateChanged();
    });
    // Replies and reports: after the read handler (see the class comment). A modal box shown
    // for a reply inside it would stop the socket's reading until it is closed.
    connect(link, &Protocol::writeReplyReceived, this, [this](const QString &title, const QString &text) {
        later([this, title, text] { emit writeReplyReceived(title, text); });
    });
    connect(link, &Protocol::dataReceived, this, [this](const Protocol::dataMonitoringData &data) {
        later([this, data] { emit dataReceived(data); });
    });
    connect(link, &Protocol::lanAllocationDataReceived, this, [this](const LanAllocationData &data) {
        later([this, data] { emit lanAllocationDataReceived(data); });
    });
    connect(link, &Protocol::wanAllocationDataReceived, this, [this](const WanAllocationData &data) {
        later([this, data] { emit wanAllocationDataReceived(data); });
    });
    connect(link, &Protocol::wifiAllocationDataReceived, this, [this](const WifiAllocationData &data) {
        later([this, data] { emit wifiAllocationDataReceived(data); });
    });
    connect(link, &Protocol::lteAllocationDataReceived, this, [this](const LteAllocationData &data) {
        later([this, data] { emit lteAllocationDataReceived(data); });
    });
    connect(link, &Protocol::NTPAllocationDataReceived, this, [this](const NTPAllocationData &data) {
        later([this, data] { emit NTPAllocationDataReceived(data); });
    });
    connect(link, &Protocol::timeAllocationDataReceived, this, [this](const timeAllocationData &data) {
        later([this, data] { emit timeAllocationDataReceived(data); });
    });
    connect(link, &Protocol::bindingFailed, this, [this](const QString &error) {
        later([this, error] { emit bindingFailed(error); });
    });
    connect(link, &Protocol::linkStateChanged, this, [this, link](bool up) {
        if (!up) {
            reportLinkDown();
            return;
        }
        m_linkUpHost = link->host();
        emit linkStateChanged(m_linkUpHost, true);
        emit stateChanged();
    });
    // A status text may be off screen: the end of the retries goes to the Message dock too.
    connect(link, &Protocol::reconnectGaveUp, this, [this, link](const QString &status) {
        emit messageAppended(aboutBox(link->host(), status));
    });
}

void BoxSession::reportLinkDown()
{
    m_silent = false;
    if (m_linkUpHost.isEmpty())
        return;
    const QString host = m_linkUpHost;
    m_linkUpHost.clear();
    emit linkStateChanged(host, false);
    emit stateChanged();
}

void BoxSession::dropLink()
{
    if (!m_link)
        return;
    QObject::disconnect(m_link, nullptr, this, nullptr);
    m_link->disconnectFromServer();
    // Deferred: this may run inside one of the link's own signals.
    m_link->deleteLater();
    m_link = nullptr;
    reportLinkDown();
}

// ---------------------------------------------------------------------------------------
// Transfers

bool BoxSession::startTransfer(quint8 command, const QString &path, const SharedPayload &payload,
                               bool removeAfterDigest, Conclusion conclusion)
{
    // One transfer at a time.
    if (m_transfer)
        return false;
    auto *transfer = new FileTransfer(this);
    m_transfer = transfer;
    m_transferBox = m_boxAddress;
    m_conclusion = std::move(conclusion);
    transfer->setHostAddress(m_transferBox);
    transfer->setLocalAddress(m_localAddress);
    transfer->setRemoveFileAfterDigest(removeAfterDigest);
    m_percent = 0;
    connect(transfer, &FileTransfer::progressChanged, this, [this](int percent) {
        m_percent = percent;
        emit transferProgress(percent);
    });
    connect(transfer, &FileTransfer::messageAppended, this, &BoxSession::messageAppended);
    connect(transfer, &FileTransfer::warningRequested, this, &BoxSession::transferWarning);
    connect(transfer, &FileTransfer::finished, this, [this, transfer, command](FileTransfer::Outcome outcome) {
        concludeTransfer(transfer, command, outcome);
        transfer->deleteLater();
        if (m_transfer == transfer) {
            m_transfer = nullptr;
            m_conclusion = nullptr;
            emit transferEnded();
        }
    });
    // Before start(): a transfer may finish inside it (a local address that cannot be bound).
    emit transferStarted();
    // A new transfer starts from nothing, whatever the last one reached.
    emit transferProgress(0);
    if (payload)
        transfer->start(command, payload);
    else
        transfer->start(command, path);
    return true;
}

void BoxSession::concludeTransfer(FileTransfer *transfer, quint8 command, FileTransfer::Outcome outcome)
{
    const Aftermath aftermath =
        m_conclusion && m_transfer == transfer ? m_conclusion(m_transferBox, transfer->digest(), outcome) : Aftermath();
    m_verdict = QCoreApplication::translate("BoxSession", "%1 (%2)")
                    .arg(FileTransfer::outcomeText(outcome),
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    emit stateChanged();
    if (!aftermath.recordNotKept.isEmpty())
        emit messageAppended(aftermath.recordNotKept);
    emit transferFinished(command, outcome);
    if (!aftermath.copyNotKept.isEmpty())
        emit copyNotKept(aftermath.copyNotKept);
}

void BoxSession::cancelTransfer()
{
    if (m_transfer)
        m_transfer->cancel();
}
