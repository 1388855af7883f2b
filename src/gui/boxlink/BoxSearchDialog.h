#pragma once

// "Search Box": finds boxes on the local network. A search broadcasts the discovery request
// every second for ten seconds from the chosen interface's IPv4 address and lists each box
// that answers once, with its IP address, subnet mask and model. Opened for a project, it can
// also hand a found box to the project (double-click or "Add to project").

#include <QDialog>
#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QSet>
#include <QString>

#include <functional>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;
class QUdpSocket;

class BoxSearchDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BoxSearchDialog(QWidget *parent = nullptr);
    ~BoxSearchDialog() override;

    // Lets tests keep the search on loopback: which interfaces are offered, which addresses
    // an interface has, where the request goes, the local port and the timings. Unset members
    // keep the real behaviour. Read when a dialog is constructed.
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

    QListWidget *resultsList() const { return m_results; }
    QComboBox *interfaceChoice() const { return m_interfaceChoice; }
    QPushButton *searchButton() const { return m_searchButton; }
    QPushButton *addButton() const { return m_addButton; }
    bool isSearching() const;

    // Adds the "Add to project" button; from then on it and a double-click on an entry emit
    // addToProjectRequested for that entry.
    void enableAddToProject();

    // Data roles of a results entry.
    static constexpr int IpRole = Qt::UserRole;
    static constexpr int ModelRole = Qt::UserRole + 1;

signals:
    // A line for the Message dock.
    void messageAppended(const QString &text);
    void addToProjectRequested(const QString &ip, const QString &model);

public slots:
    void searchForBoxes();
    void sendSearchBroadcast();
    void readPendingDatagrams();

private:
    void finishSearch(quint64 search);
    QHostAddress firstIpv4(const QNetworkInterface &iface) const;
    void requestAddToProject(const QListWidgetItem *item);

    QListWidget *m_results = nullptr;
    QComboBox *m_interfaceChoice = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_addButton = nullptr;
    QTimer *m_broadcastTimer = nullptr;
    QUdpSocket *m_socket = nullptr;
    QSet<QString> m_seen;
    quint64 m_searchId = 0;
    // Per search: whether a request went out, why the last one could not, and whether the
    // Message dock has heard that the fixed local port could not be used.
    bool m_sent = false;
    QString m_failure;
    bool m_fallbackReported = false;
    TestHooks m_hooks;
};
