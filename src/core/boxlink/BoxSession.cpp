#include "core/boxlink/BoxSession.h"

#include <QCoreApplication>
#include <QHostAddress>

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
}

// ---------------------------------------------------------------------------------------
// Link

void BoxSession::connectToBox(bool announce)
{
    dropLink();
    m_link = new Protocol(this);
    m_link->setAutoReconnect(true);
    // The connect binds (and reports a failure) once; binding here as well reported it twice.
    if (m_localAddress != noBinding())
        m_link->setLocalAddress(QHostAddress(m_localAddress));
    if (announce)
        wireLink(m_link);
    m_link->connectToServer(m_boxAddress);
    if (!announce)
        wireLink(m_link);
}

bool BoxSession::disconnectFromBox()
{
    if (!m_link)
        return false;
    dropLink();
    return true;
}

Protocol *BoxSession::ensureLink()
{
    if (!m_link)
        connectToBox();
    return m_link;
}

void BoxSession::wireLink(Protocol *link)
{
    connect(link, &Protocol::connectionStatusChanged, this, &BoxSession::connectionStatusChanged);
    connect(link, &Protocol::writeReplyReceived, this, &BoxSession::writeReplyReceived);
    connect(link, &Protocol::versionReceived, this, [this, link](const QString &version) {
        // A heartbeat reply after the silence warning: the status is "Connected" again (the
        // link said so just before), and the Message dock learns that the box is back.
        if (m_silent) {
            m_silent = false;
            emit messageAppended(QCoreApplication::translate("BoxEditDialog", "Box %1: %2")
                                     .arg(link->host(), QCoreApplication::translate(
                                                            "BoxSession", "it answers again; the link is back.")));
        }
        emit versionReceived(version);
    });
    connect(link, &Protocol::offlineOccurred, this, [this, link] {
        // Until the box answers again the status must not go on saying "Connected".
        m_silent = true;
        emit connectionStatusChanged(QCoreApplication::translate("BoxSession", "Connection status: no answer from the box for %1 s")
                                         .arg(Protocol::silenceMs() / 1000.0));
        emit messageAppended(QCoreApplication::translate("BoxEditDialog", "Box %1: %2")
                                 .arg(link->host(), QCoreApplication::translate(
                                                        "BoxEditDialog", "!!!No communication for 30 seconds. Connection may be lost.!!!")));
    });
    connect(link, &Protocol::dataReceived, this, &BoxSession::dataReceived);
    connect(link, &Protocol::lanAllocationDataReceived, this, &BoxSession::lanAllocationDataReceived);
    connect(link, &Protocol::wanAllocationDataReceived, this, &BoxSession::wanAllocationDataReceived);
    connect(link, &Protocol::wifiAllocationDataReceived, this, &BoxSession::wifiAllocationDataReceived);
    connect(link, &Protocol::lteAllocationDataReceived, this, &BoxSession::lteAllocationDataReceived);
    connect(link, &Protocol::NTPAllocationDataReceived, this, &BoxSession::NTPAllocationDataReceived);
    connect(link, &Protocol::timeAllocationDataReceived, this, &BoxSession::timeAllocationDataReceived);
    connect(link, &Protocol::bindingFailed, this, &BoxSession::bindingFailed);
    connect(link, &Protocol::linkStateChanged, this, [this, link](bool up) {
        if (!up) {
            reportLinkDown();
            return;
        }
        m_linkUpHost = link->host();
        emit linkStateChanged(m_linkUpHost, true);
    });
    // A status text may be off screen: the end of the retries goes to the Message dock too.
    connect(link, &Protocol::reconnectGaveUp, this, [this, link](const QString &status) {
        emit messageAppended(QCoreApplication::translate("BoxEditDialog", "Box %1: %2").arg(link->host(), status));
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
    connect(transfer, &FileTransfer::progressChanged, this, &BoxSession::transferProgress);
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
