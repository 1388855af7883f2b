#pragma once

// "Search Box": lists the boxes a search (BoxDiscovery) finds on the local network from the
// chosen interface, with their IP address, subnet mask and model. Opened for a project, it can
// also hand a found box to the project (double-click or "Add to project").

#include "core/boxlink/BoxDiscovery.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class BoxSearchDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BoxSearchDialog(QWidget *parent = nullptr);
    ~BoxSearchDialog() override;

    // Lets tests keep the search on loopback (see BoxDiscovery::TestHooks). Read when a dialog
    // is constructed.
    using TestHooks = BoxDiscovery::TestHooks;
    static void setTestHooks(const TestHooks &hooks) { BoxDiscovery::setTestHooks(hooks); }
    static void clearTestHooks() { BoxDiscovery::clearTestHooks(); }

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
    void showFound(const FrameCodec::DiscoveryInfo &info);
    void showNothingFound(const QString &failure);
    void useChosenInterface();
    void requestAddToProject(const QListWidgetItem *item);

    BoxDiscovery *m_discovery = nullptr;
    QListWidget *m_results = nullptr;
    QComboBox *m_interfaceChoice = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_addButton = nullptr;
};
