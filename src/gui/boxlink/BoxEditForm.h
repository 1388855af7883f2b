#pragma once

// The box editor's controls: built into the dialog with its layout, loaded from a box record and
// read back into one. The dialog wires the buttons and drives the link; the texts keep the
// editor's translations.

#include "core/project/BoxRecord.h"

#include <QCoreApplication>

class QComboBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QValidator;
class QWidget;

class BoxEditForm
{
    Q_DECLARE_TR_FUNCTIONS(BoxEditDialog)
public:
    // Every control, the tabs, the scroll area and Save/Cancel below it, into `dialog`.
    void build(QDialog *dialog);
    // A new dialog always starts with 4G on; only a reload (`lteFollowsRecord`) follows the
    // record. A combo box takes the entry equal to the text, else its first; a radio pair
    // follows only "on" and "off".
    void load(const BoxRecord &record, bool lteFollowsRecord);
    // What Save writes: every field as text, the radio pairs as "on"/"off".
    BoxRecord record() const;
    // Empties every field but Local Time, puts the combo boxes on their first entries and the
    // radio pairs on "ON".
    void clear();

    // Top
    QLineEdit *nameEdit = nullptr;
    QLineEdit *ipEdit = nullptr;
    QValidator *ipValidator = nullptr;
    QComboBox *modelCombo = nullptr; // kept but never placed
    QTabWidget *tabs = nullptr;

    // Commonly
    QPushButton *connectButton = nullptr;
    QPushButton *hostAddressButton = nullptr;
    QPushButton *disconnectButton = nullptr;
    QLabel *statusLabel = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *verdictLabel = nullptr; // how the last transfer to the box shown ended
    QPushButton *updateProjectButton = nullptr;
    QPushButton *updateProgramButton = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *cancelTransferButton = nullptr;
    QPushButton *rebootButton = nullptr;

    // LAN
    QLineEdit *lanIpEdit = nullptr;
    QLineEdit *lanMaskEdit = nullptr;
    QLineEdit *lanGatewayEdit = nullptr;
    QLineEdit *lanDns1Edit = nullptr;
    QLineEdit *lanDns2Edit = nullptr;

    // WAN
    QComboBox *wanDhcpCombo = nullptr;
    QLineEdit *wanIpEdit = nullptr;
    QLineEdit *wanMaskEdit = nullptr;
    QLineEdit *wanGatewayEdit = nullptr;
    QLineEdit *wanDns1Edit = nullptr;
    QLineEdit *wanDns2Edit = nullptr;

    // NTP and clock
    QLineEdit *ntpEdit = nullptr;
    QLineEdit *localTimeEdit = nullptr;
    QLineEdit *boxTimeEdit = nullptr;

    // WiFi page (built, never shown)
    QWidget *wifiPage = nullptr;
    QRadioButton *wifiOnRadio = nullptr;
    QRadioButton *wifiOffRadio = nullptr;
    QComboBox *wifiModeCombo = nullptr;
    QLineEdit *ssidEdit = nullptr;
    QLineEdit *wifiPasswordEdit = nullptr;
    QComboBox *wifiDhcpCombo = nullptr;
    QLineEdit *wifiIpEdit = nullptr;
    QLineEdit *wifiMaskEdit = nullptr;
    QLineEdit *wifiGatewayEdit = nullptr;
    QLineEdit *wifiDns1Edit = nullptr;
    QLineEdit *wifiDns2Edit = nullptr;

    // 4G page (built, never shown)
    QWidget *ltePage = nullptr;
    QRadioButton *lteOnRadio = nullptr;
    QRadioButton *lteOffRadio = nullptr;
    QLineEdit *atEdits[5] = {};

    // Read and Write of each settings page
    QPushButton *lanRead = nullptr, *lanWrite = nullptr;
    QPushButton *wanRead = nullptr, *wanWrite = nullptr;
    QPushButton *ntpRead = nullptr, *ntpWrite = nullptr;
    QPushButton *timeRead = nullptr, *timeWrite = nullptr;
    QPushButton *wifiRead = nullptr, *wifiWrite = nullptr;
    QPushButton *lteRead = nullptr, *lteWrite = nullptr;

    QPushButton *saveButton = nullptr;
    QPushButton *cancelButton = nullptr;

private:
    QWidget *buildCommonlyTab();
    QWidget *buildLanTab();
    QWidget *buildWanTab();
    QWidget *buildNtpTab();
    QWidget *buildTimeTab();
    void buildWifiPage(QDialog *dialog);
    void buildLtePage(QDialog *dialog);
    QHBoxLayout *readWriteRow(const char *prefix, QPushButton **read, QPushButton **write);
};
