#include "gui/boxlink/BoxEditDialog.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/widgets/Validators.h"
#include "core/support/WriteLog.h"
#include "core/boxlink/BoxSession.h"
#include "core/deployment/ProjectDeployment.h"
#include "gui/deployment/DeploymentGate.h"
#include "core/project/Ipv4Address.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>


namespace {
const QString kNoBinding = QStringLiteral("0.0.0.0");

QString itemText(const QStandardItem *item, int role)
{
    return item ? item->data(role).toString() : QString();
}

// Selects the entry whose text equals value exactly; anything else falls back to the first.
void selectExact(QComboBox *combo, const QString &value)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i) == value) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(0);
}

// A record value that is neither "on" nor "off" leaves the pair as it is.
void setOnOff(QRadioButton *on, QRadioButton *off, const QString &value)
{
    if (value == QLatin1String("on"))
        on->setChecked(true);
    else if (value == QLatin1String("off"))
        off->setChecked(true);
}

// The box reports DHCP as "1"/"0"; other values leave the choice alone.
void setDhcpChoice(QComboBox *combo, const QString &value)
{
    if (value == QLatin1String("1"))
        combo->setCurrentIndex(combo->findText(QStringLiteral("Enable")));
    else if (value == QLatin1String("0"))
        combo->setCurrentIndex(combo->findText(QStringLiteral("Disabled")));
}
} // namespace

BoxEditDialog::BoxEditDialog(QStandardItem *item, QWidget *parent)
    : QDialog(parent)
    , m_boxItem(item)
{
    buildControls();
    loadFields(false);

    m_session = new BoxSession(this);
    wireSession();
    // The first link connects at once, without binding and without a status text of its own.
    m_session->setBoxAddress(m_ipEdit->text());
    m_session->connectToBox(false);
    // An address the link refused to contact says so; the label would claim "connecting..".
    if (!m_ipEdit->text().isEmpty() && !Ipv4Address::isValid(m_ipEdit->text()))
        m_statusLabel->setText(Protocol::invalidAddressStatus(m_ipEdit->text()));

    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &BoxEditDialog::refreshClock);
    refreshClock();
    m_clock.start();

    writeLog(QStringLiteral("BoxEditDialog: new-nuilt"));
}

BoxEditDialog::~BoxEditDialog()
{
    m_clock.stop();
    // The transfer ends without a word (nobody is left to show it); the link is reported down.
    m_session->shutDown();
    writeLog(QStringLiteral("BoxEditDialog: destroyed"));
}

// ---------------------------------------------------------------------------------------
// Controls

void BoxEditDialog::buildControls()
{
    setWindowTitle(tr("Edit Box"));

    QValidator *ipValidator = Validators::ipv4(this);
    m_ipValidator = ipValidator;
    QValidator *noCjkValidator = Validators::noCjk(this);

    auto ipEdit = [this, ipValidator](const char *name) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setValidator(ipValidator);
        return edit;
    };
    auto textEdit = [this, noCjkValidator](const char *name) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setValidator(noCjkValidator);
        return edit;
    };
    auto dhcpCombo = [](const char *name) {
        auto *combo = new QComboBox;
        combo->setObjectName(QLatin1String(name));
        combo->addItems({QStringLiteral("Disabled"), QStringLiteral("Enable")});
        return combo;
    };

    m_nameEdit = new QLineEdit;
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_ipEdit = ipEdit("ipEdit");

    // Kept and saved like the other fields, but placed in no layout.
    m_modelCombo = new QComboBox(this);
    m_modelCombo->setObjectName(QStringLiteral("modelCombo"));
    m_modelCombo->addItems(
        {QStringLiteral("TLK-GW-A1"), QStringLiteral("TLK-BOX-600"), QStringLiteral("TLK-BOX-200")});
    m_modelCombo->setEnabled(false);
    m_modelCombo->hide();

    m_lanIpEdit = ipEdit("lanIpEdit");
    m_lanMaskEdit = ipEdit("lanMaskEdit");
    m_lanGatewayEdit = ipEdit("lanGatewayEdit");
    m_lanDns1Edit = ipEdit("lanDns1Edit");
    m_lanDns2Edit = ipEdit("lanDns2Edit");

    m_wanDhcpCombo = dhcpCombo("wanDhcpCombo");
    m_wanIpEdit = ipEdit("wanIpEdit");
    m_wanMaskEdit = ipEdit("wanMaskEdit");
    m_wanGatewayEdit = ipEdit("wanGatewayEdit");
    m_wanDns1Edit = ipEdit("wanDns1Edit");
    m_wanDns2Edit = ipEdit("wanDns2Edit");

    m_ntpEdit = ipEdit("ntpEdit");
    m_localTimeEdit = new QLineEdit;
    m_localTimeEdit->setObjectName(QStringLiteral("localTimeEdit"));
    m_localTimeEdit->setReadOnly(true);
    m_boxTimeEdit = new QLineEdit;
    m_boxTimeEdit->setObjectName(QStringLiteral("boxTimeEdit"));
    m_boxTimeEdit->setReadOnly(true);

    m_wifiOnRadio = new QRadioButton(tr("ON"));
    m_wifiOnRadio->setObjectName(QStringLiteral("wifiOnRadio"));
    m_wifiOffRadio = new QRadioButton(tr("OFF"));
    m_wifiOffRadio->setObjectName(QStringLiteral("wifiOffRadio"));
    m_wifiModeCombo = new QComboBox;
    m_wifiModeCombo->setObjectName(QStringLiteral("wifiModeCombo"));
    m_wifiModeCombo->addItem(QStringLiteral("station"));
    m_ssidEdit = textEdit("ssidEdit");
    m_wifiPasswordEdit = textEdit("wifiPasswordEdit");
    m_wifiPasswordEdit->setEchoMode(QLineEdit::Password);
    m_wifiDhcpCombo = dhcpCombo("wifiDhcpCombo");
    m_wifiIpEdit = ipEdit("wifiIpEdit");
    m_wifiMaskEdit = ipEdit("wifiMaskEdit");
    m_wifiGatewayEdit = ipEdit("wifiGatewayEdit");
    m_wifiDns1Edit = ipEdit("wifiDns1Edit");
    m_wifiDns2Edit = ipEdit("wifiDns2Edit");

    m_lteOnRadio = new QRadioButton(tr("ON"));
    m_lteOnRadio->setObjectName(QStringLiteral("lteOnRadio"));
    m_lteOffRadio = new QRadioButton(tr("OFF"));
    m_lteOffRadio->setObjectName(QStringLiteral("lteOffRadio"));
    for (int i = 0; i < 5; ++i)
        m_atEdits[i] = textEdit(QStringLiteral("at%1Edit").arg(i + 1).toLatin1().constData());

    // Layout: name and address, the tabs, all in a frameless scroll area; Save and Cancel below.
    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);
    auto *topForm = new QFormLayout;
    topForm->addRow(tr("Name:"), m_nameEdit);
    topForm->addRow(tr("IP:"), m_ipEdit);
    contentLayout->addLayout(topForm);

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("boxTabs"));
    m_tabs->addTab(buildCommonlyTab(), tr("Commonly"));
    m_tabs->addTab(buildLanTab(), tr("LAN"));
    m_tabs->addTab(buildWanTab(), tr("WAN"));
    m_tabs->addTab(buildNtpTab(), tr("NTP"));
    m_tabs->addTab(buildTimeTab(), tr("Time"));
    contentLayout->addWidget(m_tabs);

    buildWifiPage();
    buildLtePage();

    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { border: none; }"));
    scroll->setWidget(content);

    m_saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("Save"));
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_cancelButton =
        new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        if (!mayEndTransfer())
            return;
        disconnectFromServer();
        reject();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_cancelButton);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->addWidget(scroll);
    mainLayout->addLayout(buttons);
}

QHBoxLayout *BoxEditDialog::readWriteRow(const char *prefix, QPushButton **read,
                                         QPushButton **write)
{
    *read = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Read"));
    *write = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/write.svg")), tr("Write"));
    (*read)->setObjectName(QLatin1String(prefix) + QStringLiteral("ReadButton"));
    (*write)->setObjectName(QLatin1String(prefix) + QStringLiteral("WriteButton"));
    auto *row = new QHBoxLayout;
    row->addWidget(*read);
    row->addWidget(*write);
    return row;
}

QWidget *BoxEditDialog::buildCommonlyTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);

    m_connectButton =
        new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/Connect.svg")), tr("Connect"));
    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    m_hostAddressButton = new QPushButton;
    m_hostAddressButton->setObjectName(QStringLiteral("hostAddressButton"));
    m_hostAddressButton->setIcon(QIcon(QStringLiteral(":/adsdemo/images/change_host.svg")));
    m_hostAddressButton->setIconSize(QSize(20, 20));
    m_hostAddressButton->setFixedSize(20, 25);
    m_disconnectButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/Disconnect.svg")),
                                         tr("Disconnect"));
    m_disconnectButton->setObjectName(QStringLiteral("disconnectButton"));
    auto *connectRow = new QHBoxLayout;
    connectRow->addWidget(m_connectButton);
    connectRow->addWidget(m_hostAddressButton);
    connectRow->addWidget(m_disconnectButton);
    form->addRow(connectRow);

    m_statusLabel = new QLabel(tr("Connection status: connecting.."));
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    form->addRow(m_statusLabel);
    m_versionLabel = new QLabel(tr("Program version: 0.0.0"));
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    form->addRow(m_versionLabel);

    const QIcon updateIcon(QStringLiteral(":/adsdemo/images/Update project.svg"));
    m_updateProjectButton = new QPushButton(updateIcon, tr("Update project"));
    m_updateProjectButton->setObjectName(QStringLiteral("updateProjectButton"));
    m_updateProgramButton = new QPushButton(updateIcon, tr("Update program"));
    m_updateProgramButton->setObjectName(QStringLiteral("updateProgramButton"));
    auto *updateRow = new QHBoxLayout;
    updateRow->addWidget(m_updateProjectButton);
    updateRow->addWidget(m_updateProgramButton);
    form->addRow(updateRow);

    m_progressBar = new QProgressBar;
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_cancelTransferButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")),
                                             tr("Cancel transfer"));
    m_cancelTransferButton->setObjectName(QStringLiteral("cancelTransferButton"));
    m_cancelTransferButton->setEnabled(false);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progressBar);
    progressRow->addWidget(m_cancelTransferButton);
    form->addRow(tr("Progress:"), progressRow);

    m_rebootButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/Reboot Device.svg")),
                                     tr("Reboot Device"));
    m_rebootButton->setObjectName(QStringLiteral("rebootButton"));
    form->addRow(m_rebootButton);

    connect(m_connectButton, &QPushButton::clicked, this, &BoxEditDialog::connectToServer);
    connect(m_hostAddressButton, &QPushButton::clicked, this,
            &BoxEditDialog::showChangeHostAddressDialog);
    connect(m_disconnectButton, &QPushButton::clicked, this, &BoxEditDialog::disconnectFromServer);
    connect(m_updateProjectButton, &QPushButton::clicked, this, &BoxEditDialog::updateProject);
    connect(m_updateProgramButton, &QPushButton::clicked, this, &BoxEditDialog::updateProgram);
    connect(m_cancelTransferButton, &QPushButton::clicked, this, &BoxEditDialog::cancelTransfer);
    connect(m_rebootButton, &QPushButton::clicked, this, &BoxEditDialog::rebootDevice);
    return page;
}

QWidget *BoxEditDialog::buildLanTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("IP:"), m_lanIpEdit);
    form->addRow(tr("Mask:"), m_lanMaskEdit);
    form->addRow(tr("Gateway:"), m_lanGatewayEdit);
    form->addRow(tr("Dns1:"), m_lanDns1Edit);
    form->addRow(tr("Dns2:"), m_lanDns2Edit);
    QPushButton *read = nullptr;
    QPushButton *write = nullptr;
    form->addRow(readWriteRow("lan", &read, &write));
    connect(read, &QPushButton::clicked, this, &BoxEditDialog::readLanAllocation);
    connect(write, &QPushButton::clicked, this, &BoxEditDialog::writeLanAllocation);
    return page;
}

QWidget *BoxEditDialog::buildWanTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("Dhcp:"), m_wanDhcpCombo);
    form->addRow(tr("IP:"), m_wanIpEdit);
    form->addRow(tr("Mask:"), m_wanMaskEdit);
    form->addRow(tr("Gateway:"), m_wanGatewayEdit);
    form->addRow(tr("Dns1:"), m_wanDns1Edit);
    form->addRow(tr("Dns2:"), m_wanDns2Edit);
    QPushButton *read = nullptr;
    QPushButton *write = nullptr;
    form->addRow(readWriteRow("wan", &read, &write));
    connect(read, &QPushButton::clicked, this, &BoxEditDialog::readWanAllocation);
    connect(write, &QPushButton::clicked, this, &BoxEditDialog::writeWanAllocation);
    return page;
}

QWidget *BoxEditDialog::buildNtpTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("NTP Server:"), m_ntpEdit);
    QPushButton *read = nullptr;
    QPushButton *write = nullptr;
    form->addRow(readWriteRow("ntp", &read, &write));
    connect(read, &QPushButton::clicked, this, &BoxEditDialog::readNTPAllocation);
    connect(write, &QPushButton::clicked, this, &BoxEditDialog::writeNTPAllocation);
    return page;
}

QWidget *BoxEditDialog::buildTimeTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("Local Time:"), m_localTimeEdit);
    form->addRow(tr("Box Time:"), m_boxTimeEdit);
    QPushButton *read = nullptr;
    QPushButton *write = nullptr;
    form->addRow(readWriteRow("time", &read, &write));
    connect(read, &QPushButton::clicked, this, &BoxEditDialog::readTimeAllocation);
    connect(write, &QPushButton::clicked, this, &BoxEditDialog::writeTimeAllocation);
    return page;
}

// The WiFi and 4G pages are built with their buttons but never added to the tabs: their
// record fields pass through the dialog unseen.
void BoxEditDialog::buildWifiPage()
{
    m_wifiPage = new QWidget(this);
    m_wifiPage->setObjectName(QStringLiteral("wifiPage"));
    auto *form = new QFormLayout(m_wifiPage);
    auto *onOff = new QHBoxLayout;
    onOff->addWidget(m_wifiOnRadio);
    onOff->addWidget(m_wifiOffRadio);
    form->addRow(tr("wifiOnOff:"), onOff);
    form->addRow(tr("Mode:"), m_wifiModeCombo);
    form->addRow(tr("SSID:"), m_ssidEdit);
    form->addRow(tr("Password:"), m_wifiPasswordEdit);
    form->addRow(tr("Dhcp:"), m_wifiDhcpCombo);
    form->addRow(tr("IP:"), m_wifiIpEdit);
    form->addRow(tr("Mask:"), m_wifiMaskEdit);
    form->addRow(tr("Gateway:"), m_wifiGatewayEdit);
    form->addRow(tr("Dns1:"), m_wifiDns1Edit);
    form->addRow(tr("Dns2:"), m_wifiDns2Edit);
    QPushButton *read = nullptr;
    QPushButton *write = nullptr;
    form->addRow(readWriteRow("wifi", &read, &write));
    connect(read, &QPushButton::clicked, this, &BoxEditDialog::readWifiAllocation);
    connect(write, &QPushButton::clicked, this, &BoxEditDialog::writeWifiAllocation);
    m_wifiPage->hide();
}

void BoxEditDialog::buildLtePage()
{
    m_ltePage = new QWidget(this);
    m_ltePage->setObjectName(QStringLiteral("ltePage"));
    auto *form = new QFormLayout(m_ltePage);
    auto *onOff = new QHBoxLayout;
    onOff->addWidget(m_lteOnRadio);
    onOff->addWidget(m_lteOffRadio);
    form->addRow(tr("4G:"), onOff);
    for (int i = 0; i < 5; ++i)
        form->addRow(tr("AT%1:").arg(i + 1), m_atEdits[i]);
    QPushButton *read = nullptr;
    QPushButton *write = nullptr;
    form->addRow(readWriteRow("lte", &read, &write));
    connect(read, &QPushButton::clicked, this, &BoxEditDialog::readLteAllocation);
    connect(write, &QPushButton::clicked, this, &BoxEditDialog::writeLteAllocation);
    m_ltePage->hide();
}

// ---------------------------------------------------------------------------------------
// Record

void BoxEditDialog::loadFields(bool lteFollowsRecord)
{
    const QStandardItem *item = m_boxItem;
    m_nameEdit->setText(item ? item->text() : QString());
    m_ipEdit->setText(itemText(item, Role::BoxIp));
    selectExact(m_modelCombo, itemText(item, Role::BoxModel));

    m_lanIpEdit->setText(itemText(item, Role::LanIp));
    m_lanMaskEdit->setText(itemText(item, Role::LanMask));
    m_lanGatewayEdit->setText(itemText(item, Role::LanGateway));
    m_lanDns1Edit->setText(itemText(item, Role::LanDns1));
    m_lanDns2Edit->setText(itemText(item, Role::LanDns2));

    selectExact(m_wanDhcpCombo, itemText(item, Role::WanDhcp));
    m_wanIpEdit->setText(itemText(item, Role::WanIp));
    m_wanMaskEdit->setText(itemText(item, Role::WanMask));
    m_wanGatewayEdit->setText(itemText(item, Role::WanGateway));
    m_wanDns1Edit->setText(itemText(item, Role::WanDns1));
    m_wanDns2Edit->setText(itemText(item, Role::WanDns2));

    setOnOff(m_wifiOnRadio, m_wifiOffRadio, itemText(item, Role::WifiOnOff));
    selectExact(m_wifiModeCombo, itemText(item, Role::WifiMode));
    m_ssidEdit->setText(itemText(item, Role::WifiSsid));
    m_wifiPasswordEdit->setText(itemText(item, Role::WifiPassword));
    selectExact(m_wifiDhcpCombo, itemText(item, Role::WifiDhcp));
    m_wifiIpEdit->setText(itemText(item, Role::WifiIp));
    m_wifiMaskEdit->setText(itemText(item, Role::WifiMask));
    m_wifiGatewayEdit->setText(itemText(item, Role::WifiGateway));
    m_wifiDns1Edit->setText(itemText(item, Role::WifiDns1));
    m_wifiDns2Edit->setText(itemText(item, Role::WifiDns2));

    setOnOff(m_lteOnRadio, m_lteOffRadio, itemText(item, Role::LteOnOff));
    // A new dialog always starts with 4G on; only a reload follows the record.
    if (!lteFollowsRecord)
        m_lteOnRadio->setChecked(true);
    for (int i = 0; i < 5; ++i)
        m_atEdits[i]->setText(itemText(item, Role::At1 + i));

    m_ntpEdit->setText(itemText(item, Role::NtpServer));
    m_boxTimeEdit->setText(itemText(item, Role::BoxTime));
}

void BoxEditDialog::loadBoxItem(QStandardItem *item)
{
    m_boxItem = item;
    loadFields(true);
    writeLog(QStringLiteral("BoxEditDialog: replace"));
}

void BoxEditDialog::saveChanges()
{
    if (!m_boxItem)
        return;
    QStandardItem *item = m_boxItem;
    auto put = [item](int role, const QString &text) { item->setData(QVariant(text), role); };

    item->setText(m_nameEdit->text());
    put(Role::BoxIp, m_ipEdit->text());
    put(Role::BoxModel, m_modelCombo->currentText());
    put(Role::LanIp, m_lanIpEdit->text());
    put(Role::LanMask, m_lanMaskEdit->text());
    put(Role::LanGateway, m_lanGatewayEdit->text());
    put(Role::LanDns1, m_lanDns1Edit->text());
    put(Role::LanDns2, m_lanDns2Edit->text());
    put(Role::WanDhcp, m_wanDhcpCombo->currentText());
    put(Role::WanIp, m_wanIpEdit->text());
    put(Role::WanMask, m_wanMaskEdit->text());
    put(Role::WanGateway, m_wanGatewayEdit->text());
    put(Role::WanDns1, m_wanDns1Edit->text());
    put(Role::WanDns2, m_wanDns2Edit->text());
    put(Role::WifiOnOff, m_wifiOnRadio->isChecked() ? QStringLiteral("on") : QStringLiteral("off"));
    put(Role::WifiMode, m_wifiModeCombo->currentText());
    put(Role::WifiSsid, m_ssidEdit->text());
    put(Role::WifiPassword, m_wifiPasswordEdit->text());
    put(Role::WifiDhcp, m_wifiDhcpCombo->currentText());
    put(Role::WifiIp, m_wifiIpEdit->text());
    put(Role::WifiMask, m_wifiMaskEdit->text());
    put(Role::WifiGateway, m_wifiGatewayEdit->text());
    put(Role::WifiDns1, m_wifiDns1Edit->text());
    put(Role::WifiDns2, m_wifiDns2Edit->text());
    put(Role::LteOnOff, m_lteOnRadio->isChecked() ? QStringLiteral("on") : QStringLiteral("off"));
    for (int i = 0; i < 5; ++i)
        put(Role::At1 + i, m_atEdits[i]->text());
    put(Role::NtpServer, m_ntpEdit->text());
    put(Role::BoxTime, m_boxTimeEdit->text());

    appendMessage(tr("The box '%1' is saved successfully.").arg(m_nameEdit->text()));
    writeLog(QStringLiteral("BoxEditDialog: save"));
}

void BoxEditDialog::clearData()
{
    for (QLineEdit *edit :
         {m_nameEdit, m_ipEdit, m_lanIpEdit, m_lanMaskEdit, m_lanGatewayEdit, m_lanDns1Edit,
          m_lanDns2Edit, m_wanIpEdit, m_wanMaskEdit, m_wanGatewayEdit, m_wanDns1Edit, m_wanDns2Edit,
          m_ssidEdit, m_wifiPasswordEdit, m_wifiIpEdit, m_wifiMaskEdit, m_wifiGatewayEdit,
          m_wifiDns1Edit, m_wifiDns2Edit, m_ntpEdit, m_boxTimeEdit})
        edit->clear();
    for (QLineEdit *edit : m_atEdits)
        edit->clear();
    for (QComboBox *combo : {m_modelCombo, m_wanDhcpCombo, m_wifiModeCombo, m_wifiDhcpCombo})
        combo->setCurrentIndex(0);
    m_wifiOnRadio->setChecked(true);
    m_lteOnRadio->setChecked(true);
}

// ---------------------------------------------------------------------------------------
// Link

void BoxEditDialog::wireSession()
{
    BoxSession *session = m_session;
    connect(session, &BoxSession::connectionStatusChanged, m_statusLabel, &QLabel::setText);
    connect(session, &BoxSession::writeReplyReceived, this,
            [](const QString &title, const QString &text) { QMessageBox::information(nullptr, title, text); });
    connect(session, &BoxSession::versionReceived, this, [this](const QString &version) {
        m_versionLabel->setText(tr("Program version: ") + version);
    });
    connect(session, &BoxSession::messageAppended, this, &BoxEditDialog::appendMessage);
    connect(session, &BoxSession::dataReceived, this, [this](const Protocol::dataMonitoringData &data) {
        qDebug() << data.projectName;
        emit sendDataToMainWindow(data);
        writeLog(QStringLiteral("BoxEditDialog: Data"));
    });
    connect(session, &BoxSession::lanAllocationDataReceived, this, &BoxEditDialog::onLanData);
    connect(session, &BoxSession::wanAllocationDataReceived, this, &BoxEditDialog::onWanData);
    connect(session, &BoxSession::wifiAllocationDataReceived, this, &BoxEditDialog::onWifiData);
    connect(session, &BoxSession::lteAllocationDataReceived, this, &BoxEditDialog::onLteData);
    connect(session, &BoxSession::NTPAllocationDataReceived, this, &BoxEditDialog::onNtpData);
    connect(session, &BoxSession::timeAllocationDataReceived, this, &BoxEditDialog::onTimeData);
    connect(session, &BoxSession::bindingFailed, this, [this](const QString &error) {
        QMessageBox::warning(this, tr("Binding Failed"), error);
    });
    connect(session, &BoxSession::linkStateChanged, this, &BoxEditDialog::linkStateChanged);

    connect(session, &BoxSession::transferStarted, this, [this] { setTransferButtons(true); });
    connect(session, &BoxSession::transferProgress, m_progressBar, &QProgressBar::setValue);
    connect(session, &BoxSession::transferWarning, this, [this](const QString &title, const QString &text) {
        QMessageBox::warning(this, title, text, QMessageBox::Ok);
    });
    connect(session, &BoxSession::transferFinished, this, [](quint8 command, FileTransfer::Outcome outcome) {
        if (FileTransfer::boxAnswered(outcome)) {
            writeLog(command == FileTransfer::ProgramUpdate ? QStringLiteral("BoxEditDialog: updateProgram")
                                                            : QStringLiteral("BoxEditDialog: updateProject"));
        }
    });
    connect(session, &BoxSession::copyNotKept, this,
            [this](const QString &error) { DeploymentGate::warnCopyNotKept(error, this); });
    connect(session, &BoxSession::transferEnded, this, [this] { setTransferButtons(false); });
}

Protocol *BoxEditDialog::link() const
{
    return m_session->link();
}

QString BoxEditDialog::localAddress() const
{
    return m_session->localAddress();
}

Protocol *BoxEditDialog::ensureLink()
{
    if (!m_session->link())
        connectToServer();
    return m_session->link();
}

void BoxEditDialog::connectToServer()
{
    if (m_session->link())
        disconnectFromServer();
    m_session->setBoxAddress(m_ipEdit->text());
    m_session->connectToBox();
    writeLog(QStringLiteral("BoxEditDialog: connect"));
}

void BoxEditDialog::disconnectFromServer()
{
    if (!m_session->disconnectFromBox())
        return;
    m_statusLabel->setText(tr("Connection status: Not connected"));
    writeLog(QStringLiteral("BoxEditDialog: disconnect"));
}

void BoxEditDialog::showChangeHostAddressDialog()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("selectHostAddressDialog"));
    dialog.setWindowTitle(tr("Select Host Address"));
    dialog.setMinimumSize(350, 100);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(tr("Please select the host address:")));
    auto *combo = new QComboBox;
    combo->addItem(kNoBinding);
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            combo->addItem(address.toString());
    }
    const int current = combo->findText(m_session->localAddress());
    combo->setCurrentIndex(current >= 0 ? current : 0);
    layout->addWidget(combo);
    auto *okButton = new QPushButton(tr("OK"));
    auto *cancelButton = new QPushButton(tr("Cancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, &dialog, &QDialog::reject);

    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString chosen = combo->currentText();
    m_session->setLocalAddress(chosen);
    if (chosen == kNoBinding)
        appendMessage(tr("Selected address: 0.0.0.0 (No binding)"));
    else
        appendMessage(tr("Selected host address: %1").arg(chosen));
    connectToServer();
}

// ---------------------------------------------------------------------------------------
// Requests: each connects first when there is no link.

void BoxEditDialog::rebootDevice()
{
    ensureLink()->rebootDevice();
    writeLog(QStringLiteral("BoxEditDialog: rebooting"));
}

void BoxEditDialog::readLanAllocation()
{
    ensureLink()->readLanAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Lan"));
}

void BoxEditDialog::writeLanAllocation()
{
    if (!fieldsAcceptable(tr("LAN"), {{m_lanIpEdit, true}, {m_lanMaskEdit, true}, {m_lanGatewayEdit, false},
                                      {m_lanDns1Edit, false}, {m_lanDns2Edit, false}}))
        return;
    ensureLink()->writeLanAllocation(m_lanIpEdit->text(), m_lanMaskEdit->text(),
                                     m_lanGatewayEdit->text(), m_lanDns1Edit->text(),
                                     m_lanDns2Edit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Lan"));
}

void BoxEditDialog::readWanAllocation()
{
    ensureLink()->readWanAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Wan"));
}

void BoxEditDialog::writeWanAllocation()
{
    const bool fixed = m_wanDhcpCombo->currentText() != QLatin1String("Enable");
    if (!fieldsAcceptable(tr("WAN"), {{m_wanIpEdit, fixed}, {m_wanMaskEdit, fixed}, {m_wanGatewayEdit, false},
                                      {m_wanDns1Edit, false}, {m_wanDns2Edit, false}}))
        return;
    ensureLink()->writeWanAllocation(m_wanDhcpCombo->currentText(), m_wanIpEdit->text(),
                                     m_wanMaskEdit->text(), m_wanGatewayEdit->text(),
                                     m_wanDns1Edit->text(), m_wanDns2Edit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Wan"));
}

void BoxEditDialog::readWifiAllocation()
{
    ensureLink()->readWifiAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Wifi"));
}

void BoxEditDialog::writeWifiAllocation()
{
    const bool fixed = m_wifiDhcpCombo->currentText() != QLatin1String("Enable");
    if (!fieldsAcceptable(tr("WiFi"), {{m_ssidEdit, false}, {m_wifiPasswordEdit, false}, {m_wifiIpEdit, fixed},
                                       {m_wifiMaskEdit, fixed}, {m_wifiGatewayEdit, false},
                                       {m_wifiDns1Edit, false}, {m_wifiDns2Edit, false}}))
        return;
    ensureLink()->writeWifiAllocation(
        m_wifiOnRadio->isChecked() ? QStringLiteral("on") : QStringLiteral("off"),
        m_wifiModeCombo->currentText(), m_ssidEdit->text(), m_wifiPasswordEdit->text(),
        m_wifiDhcpCombo->currentText(), m_wifiIpEdit->text(), m_wifiMaskEdit->text(),
        m_wifiGatewayEdit->text(), m_wifiDns1Edit->text(), m_wifiDns2Edit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Wifi"));
}

void BoxEditDialog::readLteAllocation()
{
    ensureLink()->readLteAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Lte"));
}

void BoxEditDialog::writeLteAllocation()
{
    if (!fieldsAcceptable(tr("4G"), {{m_atEdits[0], false}, {m_atEdits[1], false}, {m_atEdits[2], false},
                                     {m_atEdits[3], false}, {m_atEdits[4], false}}))
        return;
    ensureLink()->writeLteAllocation(
        m_lteOnRadio->isChecked() ? QStringLiteral("on") : QStringLiteral("off"),
        m_atEdits[0]->text(), m_atEdits[1]->text(), m_atEdits[2]->text(), m_atEdits[3]->text(),
        m_atEdits[4]->text());
    writeLog(QStringLiteral("BoxEditDialog: write Lte"));
}

void BoxEditDialog::readNTPAllocation()
{
    ensureLink()->readNTPAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read NTP"));
}

void BoxEditDialog::writeNTPAllocation()
{
    if (!fieldsAcceptable(tr("NTP"), {{m_ntpEdit, false}}))
        return;
    ensureLink()->writeNTPAllocation(m_ntpEdit->text());
    writeLog(QStringLiteral("BoxEditDialog: write NTP"));
}

void BoxEditDialog::readTimeAllocation()
{
    ensureLink()->readTimeAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Time"));
}

void BoxEditDialog::writeTimeAllocation()
{
    if (!fieldsAcceptable(tr("Time"), {{m_localTimeEdit, false}}))
        return;
    ensureLink()->writeTimeAllocation(m_localTimeEdit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Time"));
}

// ---------------------------------------------------------------------------------------
// Replies

void BoxEditDialog::onLanData(const LanAllocationData &data)
{
    m_lanIpEdit->setText(data.lanIp);
    m_lanMaskEdit->setText(data.lanMask);
    m_lanGatewayEdit->setText(data.lanGateway);
    m_lanDns1Edit->setText(data.lanDns1);
    m_lanDns2Edit->setText(data.lanDns2);
    writeLog(QStringLiteral("BoxEditDialog: update Lan"));
    QMessageBox::information(this, tr("LAN Configuration"),
                             tr("LAN configuration updated successfully."), QMessageBox::Ok);
}

void BoxEditDialog::onWanData(const WanAllocationData &data)
{
    setDhcpChoice(m_wanDhcpCombo, data.wanDhcp);
    m_wanIpEdit->setText(data.wanIp);
    m_wanMaskEdit->setText(data.wanMask);
    m_wanGatewayEdit->setText(data.wanGateway);
    m_wanDns1Edit->setText(data.wanDns1);
    m_wanDns2Edit->setText(data.wanDns2);
    writeLog(QStringLiteral("BoxEditDialog: update Wan"));
    QMessageBox::information(this, tr("Wan Configuration"),
                             tr("Wan configuration updated successfully."), QMessageBox::Ok);
}

void BoxEditDialog::onWifiData(const WifiAllocationData &data)
{
    const QString onOff = data.wifiOnOff.toLower();
    if (onOff == QLatin1String("on"))
        m_wifiOnRadio->setChecked(true);
    else if (onOff == QLatin1String("off"))
        m_wifiOffRadio->setChecked(true);
    const int mode = m_wifiModeCombo->findText(data.wifiMode, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (mode >= 0)
        m_wifiModeCombo->setCurrentIndex(mode);
    m_ssidEdit->setText(data.ssid);
    m_wifiPasswordEdit->setText(data.password);
    setDhcpChoice(m_wifiDhcpCombo, data.wifiDhcp);
    m_wifiIpEdit->setText(data.wifiIp);
    m_wifiMaskEdit->setText(data.wifiMask);
    m_wifiGatewayEdit->setText(data.wifiGateway);
    m_wifiDns1Edit->setText(data.wifiDns1);
    m_wifiDns2Edit->setText(data.wifiDns2);
    writeLog(QStringLiteral("BoxEditDialog: update Wifi"));
    QMessageBox::information(this, tr("Wifi Configuration"),
                             tr("Wifi configuration updated successfully."), QMessageBox::Ok);
}

void BoxEditDialog::onLteData(const LteAllocationData &data)
{
    const QString onOff = data.lteOnOff.toLower();
    if (onOff == QLatin1String("on"))
        m_lteOnRadio->setChecked(true);
    else if (onOff == QLatin1String("off"))
        m_lteOffRadio->setChecked(true);
    const QString at[5] = {data.AT1, data.AT2, data.AT3, data.AT4, data.AT5};
    for (int i = 0; i < 5; ++i)
        m_atEdits[i]->setText(at[i]);
    writeLog(QStringLiteral("BoxEditDialog: update Lte"));
    QMessageBox::information(this, tr("Lte Configuration"),
                             tr("Lte configuration updated successfully."), QMessageBox::Ok);
}

void BoxEditDialog::onNtpData(const NTPAllocationData &data)
{
    m_ntpEdit->setText(data.NTP);
    writeLog(QStringLiteral("BoxEditDialog: update NTP"));
    QMessageBox::information(this, tr("NTP Configuration"),
                             tr("NTP configuration updated successfully."), QMessageBox::Ok);
}

void BoxEditDialog::onTimeData(const timeAllocationData &data)
{
    m_boxTimeEdit->setText(data.date);
    QMessageBox::information(this, tr("time Configuration"),
                             tr("time configuration updated successfully."), QMessageBox::Ok);
}

// ---------------------------------------------------------------------------------------
// Transfers

void BoxEditDialog::updateProgram()
{
    if (!boxAddressUsable(tr("Update program")))
        return;
    const QString path = FileDialogs::getOpenFileName(this, tr("Select Program File"), QDir::homePath(),
                                                      tr("Program Files (*.bin);;All Files (*.*)"));
    if (path.isEmpty())
        return;
    m_session->setBoxAddress(m_ipEdit->text());
    ProjectDeployment::sendProgram(m_session, path, projectName());
}

void BoxEditDialog::updateProject()
{
    if (m_session->transferActive())
        return;
    // The project the box belongs to, whatever item of the tree is current.
    QStandardItem *project = m_boxItem && m_boxItem->parent() ? m_boxItem : nullptr;
    while (project && project->parent())
        project = project->parent();
    if (!project) {
        qDebug() << "No project selected.";
        warnUpdateProject(tr("This box belongs to no open project; nothing was sent."));
        return;
    }
    if (!boxAddressUsable(tr("Update project")))
        return;

    // Checks, then what this deployment changes on the box: either may stop it here.
    const QString boxIp = m_ipEdit->text();
    if (!DeploymentGate::confirm(project, ProjectJson::buildProjectJson(project), boxIp, this))
        return;

    // The box gets exactly what a project save would store.
    m_session->setBoxAddress(boxIp);
    QString error;
    if (!ProjectDeployment::deploy(m_session, ProjectJson::projectFileBytes(project), project->text(), &error)
        && !error.isEmpty())
        warnUpdateProject(error);
}

void BoxEditDialog::warnUpdateProject(const QString &text)
{
    appendMessage(text);
    QMessageBox::warning(this, tr("Update project"), text, QMessageBox::Ok);
}

void BoxEditDialog::setTransferButtons(bool running)
{
    m_updateProjectButton->setEnabled(!running);
    m_updateProgramButton->setEnabled(!running);
    m_cancelTransferButton->setEnabled(running);
}

void BoxEditDialog::cancelTransfer()
{
    m_session->cancelTransfer();
}

bool BoxEditDialog::transferRunning() const
{
    return m_session->transferRunning();
}

bool BoxEditDialog::mayEndTransfer()
{
    if (!transferRunning())
        return true;
    const auto answer = QMessageBox::question(
        this, tr("Transfer Running"),
        tr("A transfer to the box is still running. Cancel it?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return false;
    cancelTransfer();
    return true;
}

void BoxEditDialog::done(int result)
{
    if (!mayEndTransfer())
        return;
    QDialog::done(result);
}

bool BoxEditDialog::fieldsAcceptable(const QString &tab, std::initializer_list<FieldCheck> fields)
{
    for (const FieldCheck &field : fields) {
        const QString text = field.edit->text();
        // A leading zero passes the typing rule, but the box may read the part as octal.
        const bool acceptable = field.edit->hasAcceptableInput()
                                && !(field.edit->validator() == m_ipValidator && Ipv4Address::hasLeadingZero(text));
        if (text.isEmpty() ? !field.required : acceptable)
            continue;
        QMessageBox::warning(this, tr("Invalid Input"),
                             tr("%1 tab: the field \"%2\" is incomplete or not valid. Nothing was sent to the box.")
                                 .arg(tab, fieldName(field.edit)),
                             QMessageBox::Ok);
        return false;
    }
    return true;
}

// The field as its form label shows it, without the colon.
QString BoxEditDialog::fieldName(const QLineEdit *edit) const
{
    QString name = edit->objectName();
    if (QWidget *page = edit->parentWidget()) {
        if (auto *form = qobject_cast<QFormLayout *>(page->layout())) {
            if (auto *label = qobject_cast<QLabel *>(form->labelForField(const_cast<QLineEdit *>(edit))))
                name = label->text();
        }
    }
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A)))
        name.chop(1);
    return name;
}

bool BoxEditDialog::confirmFields()
{
    // The WiFi page is never shown: its fields pass through as loaded, and the project checks
    // name a leading zero there.
    QVector<Validators::Field> fields{{tr("IP:"), m_ipEdit}};
    const auto add = [this, &fields](const QString &tab, std::initializer_list<QLineEdit *> edits) {
        for (QLineEdit *edit : edits)
            fields.append({tab + QLatin1Char(' ') + fieldName(edit), edit});
    };
    add(tr("LAN"), {m_lanIpEdit, m_lanMaskEdit, m_lanGatewayEdit, m_lanDns1Edit, m_lanDns2Edit});
    add(tr("WAN"), {m_wanIpEdit, m_wanMaskEdit, m_wanGatewayEdit, m_wanDns1Edit, m_wanDns2Edit});
    add(tr("NTP"), {m_ntpEdit});
    return Validators::confirmNoLeadingZero(this, fields);
}

// A transfer goes only to an address spelled the one way: "127.0.4.020" would reach .16.
bool BoxEditDialog::boxAddressUsable(const QString &title)
{
    if (Ipv4Address::isValid(m_ipEdit->text()))
        return true;
    const QString text = tr("The IP address \"%1\" is not four decimal parts from 0 to 255 without leading "
                            "zeros; nothing was sent.")
                             .arg(m_ipEdit->text());
    appendMessage(text);
    QMessageBox::warning(this, title, text, QMessageBox::Ok);
    return false;
}

// ---------------------------------------------------------------------------------------

void BoxEditDialog::appendMessage(const QString &text)
{
    emit messageAppended(text);
}

void BoxEditDialog::refreshClock()
{
    m_localTimeEdit->setText(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString BoxEditDialog::projectName() const
{
    const QStandardItem *project = m_boxItem;
    while (project && project->parent())
        project = project->parent();
    return project ? project->text() : QString();
}
