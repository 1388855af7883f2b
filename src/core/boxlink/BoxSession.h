#pragma once

// One box as the tool works with it: the TCP link (Protocol) with its reconnects, and the one
// transfer (FileTransfer) that may run to it at a time. No widgets: what the link and the
// transfer report leaves through signals, for an editor to show. The session is made for one box
// address, so that each box can have a session of its own and two editors of different boxes
// never share a link. What a transfer leaves behind (its record, the copy a box confirmed) is the
// deployment's business: it hands in a conclusion that runs when the transfer ends.
//
// A session keeps what an editor that turns to its box must show again: the status text, the
// program version, the progress of its own transfer and the last verdict. Replies and reports
// leave it only after the link's read handler has returned, so that whatever a receiver does
// with them (a modal message box, say) never holds back the link's further reading.

#include "core/boxlink/FileTransfer.h"
#include "core/boxlink/Protocol.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class BoxSession : public QObject
{
    Q_OBJECT
public:
    explicit BoxSession(QObject *parent = nullptr);
    // Ends the link and a running transfer without a word; see shutDown().
    ~BoxSession() override;

    // Where links and transfers go.
    void setBoxAddress(const QString &ip) { m_boxAddress = ip; }
    QString boxAddress() const { return m_boxAddress; }
    // The box's name, for the Message lines that name the box (with its address).
    void setBoxName(const QString &name) { m_boxName = name; }
    QString boxName() const { return m_boxName; }
    // The local address to send from; "0.0.0.0" (the default) means no binding.
    void setLocalAddress(const QString &address) { m_localAddress = address; }
    QString localAddress() const { return m_localAddress; }
    static QString noBinding() { return QStringLiteral("0.0.0.0"); }

    // Opens a new link to the box address, after dropping the current one. With `announce`
    // false the attempt starts before the session listens, so its first status text is not
    // reported (an editor's first link shows its own).
    void connectToBox(bool announce = true);
    // Drops the link; false when there was none.
    bool disconnectFromBox();
    Protocol *link() const { return m_link; }

    enum class LinkState { Off, Connecting, Up, Silent };
    LinkState linkState() const;
    // The link's latest status text ("Connection status: ..."), empty before any link.
    QString status() const { return m_status; }
    // The program version the box last reported on this link, empty before it did.
    QString version() const { return m_version; }
    // The running or last transfer's progress; 0 before any and when a new one starts.
    int transferPercent() const { return m_percent; }
    // How the last transfer ended, in words with its time; empty before any ended.
    QString verdict() const { return m_verdict; }
    // The link, opened first when there is none: requests go through it.
    Protocol *ensureLink();
    // Drops the link at once and ends a running transfer without any signal of it; the link
    // is reported down when it was up. For an owner that goes away.
    void shutDown();

    // What the aftermath of a transfer could not keep, worded for the user; empty when all was.
    struct Aftermath
    {
        QString recordNotKept; // told in the Message dock
        QString copyNotKept;   // told in a warning
    };
    // Runs when a transfer ends, before the session reports the end.
    using Conclusion =
        std::function<Aftermath(const QString &boxIp, const QByteArray &digest, FileTransfer::Outcome outcome)>;
    // Sends `payload` (or, without one, the file at `path`, read when the box has been reached)
    // to the box address. `removeAfterDigest`: the file at `path` is a copy that must not
    // outlive its digest. False while a transfer runs.
    bool startTransfer(quint8 command, const QString &path, const SharedPayload &payload, bool removeAfterDigest,
                       Conclusion conclusion);
    void cancelTransfer();
    // A transfer has started and not yet reported its end.
    bool transferActive() const { return m_transfer; }
    bool transferRunning() const { return m_transfer && m_transfer->isRunning(); }

signals:
    // The link's status text.
    void connectionStatusChanged(const QString &status);
    void versionReceived(const QString &version);
    // A line for the Message dock.
    void messageAppended(const QString &text);
    void lanAllocationDataReceived(const LanAllocationData &data);
    void wanAllocationDataReceived(const WanAllocationData &data);
    void wifiAllocationDataReceived(const WifiAllocationData &data);
    void lteAllocationDataReceived(const LteAllocationData &data);
    void NTPAllocationDataReceived(const NTPAllocationData &data);
    void timeAllocationDataReceived(const timeAllocationData &data);
    void dataReceived(const Protocol::dataMonitoringData &data);
    void bindingFailed(const QString &error);
    // The box's answer to a write or a reboot.
    void writeReplyReceived(const QString &title, const QString &text);
    // The link to boxIp (the address it was opened to) came up or went down.
    void linkStateChanged(const QString &boxIp, bool up);

    void transferStarted();
    void transferProgress(int percent);
    // A warning box for the owner to show.
    void transferWarning(const QString &title, const QString &text);
    // After the record was written and, on a confirmed project, the copy kept.
    void transferFinished(quint8 command, FileTransfer::Outcome outcome);
    // The box confirmed the project, but the copy kept for the next comparison could not be
    // written.
    void copyNotKept(const QString &error);
    // The session is ready for the next transfer.
    void transferEnded();
    // linkState(), the verdict or the version changed.
    void stateChanged();

private:
    void wireLink(Protocol *link);
    void dropLink();
    void reportLinkDown();
    void concludeTransfer(FileTransfer *transfer, quint8 command, FileTransfer::Outcome outcome);
    void setStatus(const QString &status);
    // "Box <name> (<ip>): <text>", or "Box <ip>: <text>" while the box has no name.
    QString aboutBox(const QString &host, const QString &text) const;
    // Runs f once control is back in the event loop (see the class comment).
    template <typename F>
    void later(F f);

    QString m_boxAddress;
    QString m_boxName;
    bool m_silent = false; // the box has not answered for the silence period
    QString m_localAddress = noBinding();
    Protocol *m_link = nullptr;
    QString m_linkUpHost; // the box whose link is up, empty while none is
    bool m_quiet = false;   // a first status text is kept, not reported
    QString m_status;
    QString m_version;
    int m_percent = 0;
    QString m_verdict;

    QPointer<FileTransfer> m_transfer;
    QString m_transferBox; // where the running transfer goes
    Conclusion m_conclusion; // alive until the transfer has ended
};
