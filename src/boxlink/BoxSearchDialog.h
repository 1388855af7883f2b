#pragma once

// "Search Box": finds boxes on the local network. A search broadcasts the discovery request
// every second for ten seconds from the chosen interface's IPv4 address and lists each box
// that answers once, with its IP address, subnet mask and model.

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
    bool isSearching() const;

public slots:
    void searchForBoxes();
    void sendSearchBroadcast();
    void readPendingDatagrams();

private:
    void finishSearch(quint64 search);

    QListWidget *m_results = nullptr;
    QComboBox *m_interfaceChoice = nullptr;
    QPushButton *m_searchButton = nullptr;
    QTimer *m_broadcastTimer = nullptr;
    QUdpSocket *m_socket = nullptr;
    QSet<QString> m_seen;
    quint64 m_searchId = 0;
    TestHooks m_hooks;
};
