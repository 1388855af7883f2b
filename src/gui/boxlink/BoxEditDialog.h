#pragma once

// Edits one box item of the project tree and drives the link to that box: connection,
// settings reads and writes, reboot, project deployment, program update and the hand-over
// of live data to the main window.

#include "core/boxlink/Protocol.h"

#include <QDialog>
#include <QTimer>

#include <initializer_list>

class BoxSession;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStandardItem;
class QTabWidget;
class QValidator;

class BoxEditDialog : public QDialog
{
    Q_OBJECT
public:
    BoxEditDialog(QStandardItem *item, QWidget *parent);
    ~BoxEditDialog() override;

    // Makes the dialog edit another box item; the link stays as it is.
    void loadBoxItem(QStandardItem *item);

    QStandardItem *boxItem() const { return m_boxItem; }
    QLineEdit *nameEdit() const { return m_nameEdit; }
    QPushButton *saveButton() const { return m_saveButton; }
    BoxSession *session() const { return m_session; }
    Protocol *link() const;
    QString localAddress() const;

    // Save's field check: no address field the user sees holds a part with a leading zero
    // (the typing rule lets "192.168.001.010" stand). Otherwise warns, naming the field.
    bool confirmFields();

    bool transferRunning() const;
    // Before anything that would end a running transfer: asks whether to cancel it and does so
    // on Yes. True when nothing runs any more.
    bool mayEndTransfer();

signals:
    void sendDataToMainWindow(Protocol::dataMonitoringData data);
    // A line for the Message dock.
    void messageAppended(const QString &text);
    // The TCP link to the box at boxIp came up or went down (also when the dialog drops it).
    // boxIp is the address the link was opened to, which may differ from the IP field.
    void linkStateChanged(const QString &boxIp, bool up);

public slots:
    void saveChanges();
    void disconnectFromServer();
    void connectToServer();
    void showChangeHostAddressDialog();
    void clearData();
    void rebootDevice();
    void readLanAllocation();
    void writeLanAllocation();
    void readWanAllocation();
    void writeWanAllocation();
    void readWifiAllocation();
    void writeWifiAllocation();
    void readLteAllocation();
    void writeLteAllocation();
    void readNTPAllocation();
    void writeNTPAllocation();
    void readTimeAllocation();
    void writeTimeAllocation();
    void updateProject();
    void updateProgram();
    void cancelTransfer();

protected:
    // Save and Cancel close the dock: a running transfer is asked about first.
    void done(int result) override;

private:
    struct FieldCheck {
        QLineEdit *edit;
        bool required; // empty text is refused too
    };

    void buildControls();
    QWidget *buildCommonlyTab();
    QWidget *buildLanTab();
    QWidget *buildWanTab();
    QWidget *buildNtpTab();
    QWidget *buildTimeTab();
    void buildWifiPage();
    QHBoxLayout *readWriteRow(const char *prefix, QPushButton **read, QPushButton **write);
    void buildLtePage();
    void loadFields(bool lteFollowsRecord);
    void wireSession();
    Protocol *ensureLink();
    void appendMessage(const QString &text);
    void setTransferButtons(bool running);
    // The name the records give the project of the box: its top-level item's text.
    QString projectName() const;
    void warnUpdateProject(const QString &text);
    bool fieldsAcceptable(const QString &tab, std::initializer_list<FieldCheck> fields);
    QString fieldName(const QLineEdit *edit) const;
    bool boxAddressUsable(const QString &title);
    void refreshClock();

    void onLanData(const LanAllocationData &data);
    void onWanData(const WanAllocationData &data);
    void onWifiData(const WifiAllocationData &data);
    void onLteData(const LteAllocationData &data);
    void onNtpData(const NTPAllocationData &data);
    void onTimeData(const timeAllocationData &data);

    QStandardItem *m_boxItem = nullptr;
    BoxSession *m_session = nullptr;
    QTimer m_clock;

    // Top
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_ipEdit = nullptr;
    QValidator *m_ipValidator = nullptr;
    QComboBox *m_modelCombo = nullptr; // kept but never placed
    QTabWidget *m_tabs = nullptr;

    // Commonly
    QPushButton *m_connectButton = nullptr;
    QPushButton *m_hostAddressButton = nullptr;
    QPushButton *m_disconnectButton = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QPushButton *m_updateProjectButton = nullptr;
    QPushButton *m_updateProgramButton = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QPushButton *m_cancelTransferButton = nullptr;
    QPushButton *m_rebootButton = nullptr;

    // LAN
    QLineEdit *m_lanIpEdit = nullptr;
    QLineEdit *m_lanMaskEdit = nullptr;
    QLineEdit *m_lanGatewayEdit = nullptr;
    QLineEdit *m_lanDns1Edit = nullptr;
    QLineEdit *m_lanDns2Edit = nullptr;

    // WAN
    QComboBox *m_wanDhcpCombo = nullptr;
    QLineEdit *m_wanIpEdit = nullptr;
    QLineEdit *m_wanMaskEdit = nullptr;
    QLineEdit *m_wanGatewayEdit = nullptr;
    QLineEdit *m_wanDns1Edit = nullptr;
    QLineEdit *m_wanDns2Edit = nullptr;

    // NTP and clock
    QLineEdit *m_ntpEdit = nullptr;
    QLineEdit *m_localTimeEdit = nullptr;
    QLineEdit *m_boxTimeEdit = nullptr;

    // WiFi page (built, never shown)
    QWidget *m_wifiPage = nullptr;
    QRadioButton *m_wifiOnRadio = nullptr;
    QRadioButton *m_wifiOffRadio = nullptr;
    QComboBox *m_wifiModeCombo = nullptr;
    QLineEdit *m_ssidEdit = nullptr;
    QLineEdit *m_wifiPasswordEdit = nullptr;
    QComboBox *m_wifiDhcpCombo = nullptr;
    QLineEdit *m_wifiIpEdit = nullptr;
    QLineEdit *m_wifiMaskEdit = nullptr;
    QLineEdit *m_wifiGatewayEdit = nullptr;
    QLineEdit *m_wifiDns1Edit = nullptr;
    QLineEdit *m_wifiDns2Edit = nullptr;

    // 4G page (built, never shown)
    QWidget *m_ltePage = nullptr;
    QRadioButton *m_lteOnRadio = nullptr;
    QRadioButton *m_lteOffRadio = nullptr;
    QLineEdit *m_atEdits[5] = {};

    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
