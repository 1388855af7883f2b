#include "gui/boxlink/BoxEditForm.h"

#include "gui/widgets/Validators.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
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

QString onOff(const QRadioButton *on)
{
    return on->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
}
} // namespace

void BoxEditForm::build(QDialog *dialog)
{
    dialog->setWindowTitle(tr("Edit Box"));

    QValidator *ipRule = Validators::ipv4(dialog);
    ipValidator = ipRule;
    QValidator *noCjkRule = Validators::noCjk(dialog);

    auto makeIpEdit = [ipRule](const char *name) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setValidator(ipRule);
        return edit;
    };
    auto makeTextEdit = [noCjkRule](const char *name) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QLatin1String(name));
        edit->setValidator(noCjkRule);
        return edit;
    };
    auto makeDhcpCombo = [](const char *name) {
        auto *combo = new QComboBox;
        combo->setObjectName(QLatin1String(name));
        combo->addItems({QStringLiteral("Disabled"), QStringLiteral("Enable")});
        return combo;
    };

    nameEdit = new QLineEdit;
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    ipEdit = makeIpEdit("ipEdit");

    // Kept and saved like the other fields, but placed in no layout.
    modelCombo = new QComboBox(dialog);
    modelCombo->setObjectName(QStringLiteral("modelCombo"));
    modelCombo->addItems(
        {QStringLiteral("TLK-GW-A1"), QStringLiteral("TLK-BOX-600"), QStringLiteral("TLK-BOX-200")});
    modelCombo->setEnabled(false);
    modelCombo->hide();

    lanIpEdit = makeIpEdit("lanIpEdit");
    lanMaskEdit = makeIpEdit("lanMaskEdit");
    lanGatewayEdit = makeIpEdit("lanGatewayEdit");
    lanDns1Edit = makeIpEdit("lanDns1Edit");
    lanDns2Edit = makeIpEdit("lanDns2Edit");

    wanDhcpCombo = makeDhcpCombo("wanDhcpCombo");
    wanIpEdit = makeIpEdit("wanIpEdit");
    wanMaskEdit = makeIpEdit("wanMaskEdit");
    wanGatewayEdit = makeIpEdit("wanGatewayEdit");
    wanDns1Edit = makeIpEdit("wanDns1Edit");
    wanDns2Edit = makeIpEdit("wanDns2Edit");

    ntpEdit = makeIpEdit("ntpEdit");
    localTimeEdit = new QLineEdit;
    localTimeEdit->setObjectName(QStringLiteral("localTimeEdit"));
    localTimeEdit->setReadOnly(true);
    boxTimeEdit = new QLineEdit;
    boxTimeEdit->setObjectName(QStringLiteral("boxTimeEdit"));
    boxTimeEdit->setReadOnly(true);

    wifiOnRadio = new QRadioButton(tr("ON"));
    wifiOnRadio->setObjectName(QStringLiteral("wifiOnRadio"));
    wifiOffRadio = new QRadioButton(tr("OFF"));
    wifiOffRadio->setObjectName(QStringLiteral("wifiOffRadio"));
    wifiModeCombo = new QComboBox;
    wifiModeCombo->setObjectName(QStringLiteral("wifiModeCombo"));
    wifiModeCombo->addItem(QStringLiteral("station"));
    ssidEdit = makeTextEdit("ssidEdit");
    wifiPasswordEdit = makeTextEdit("wifiPasswordEdit");
    wifiPasswordEdit->setEchoMode(QLineEdit::Password);
    wifiDhcpCombo = makeDhcpCombo("wifiDhcpCombo");
    wifiIpEdit = makeIpEdit("wifiIpEdit");
    wifiMaskEdit = makeIpEdit("wifiMaskEdit");
    wifiGatewayEdit = makeIpEdit("wifiGatewayEdit");
    wifiDns1Edit = makeIpEdit("wifiDns1Edit");
    wifiDns2Edit = makeIpEdit("wifiDns2Edit");

    lteOnRadio = new QRadioButton(tr("ON"));
    lteOnRadio->setObjectName(QStringLiteral("lteOnRadio"));
    lteOffRadio = new QRadioButton(tr("OFF"));
    lteOffRadio->setObjectName(QStringLiteral("lteOffRadio"));
    for (int i = 0; i < 5; ++i)
        atEdits[i] = makeTextEdit(QStringLiteral("at%1Edit").arg(i + 1).toLatin1().constData());

    // Layout: name and address, the tabs, all in a frameless scroll area; Save and Cancel below.
    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);
    auto *topForm = new QFormLayout;
    topForm->addRow(tr("Name:"), nameEdit);
    topForm->addRow(tr("IP:"), ipEdit);
    contentLayout->addLayout(topForm);

    tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("boxTabs"));
    // Every tab shows at once; the editor's width takes them into account.
    tabs->setUsesScrollButtons(false);
    tabs->addTab(buildCommonlyTab(), tr("Commonly"));
    tabs->addTab(buildLanTab(), tr("LAN"));
    tabs->addTab(buildWanTab(), tr("WAN"));
    tabs->addTab(buildNtpTab(), tr("NTP"));
    tabs->addTab(buildTimeTab(), tr("Time"));
    contentLayout->addWidget(tabs);

    buildWifiPage(dialog);
    buildLtePage(dialog);

    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { border: none; }"));
    scroll->setWidget(content);

    saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("Save"));
    saveButton->setObjectName(QStringLiteral("saveButton"));
    cancelButton =
        new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(saveButton);
    buttons->addWidget(cancelButton);

    auto *mainLayout = new QVBoxLayout(dialog);
    mainLayout->addWidget(scroll);
    mainLayout->addLayout(buttons);
}

QHBoxLayout *BoxEditForm::readWriteRow(const char *prefix, QPushButton **read,
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

QWidget *BoxEditForm::buildCommonlyTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);

    connectButton =
        new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/Connect.svg")), tr("Connect"));
    connectButton->setObjectName(QStringLiteral("connectButton"));
    hostAddressButton = new QPushButton;
    hostAddressButton->setObjectName(QStringLiteral("hostAddressButton"));
    hostAddressButton->setIcon(QIcon(QStringLiteral(":/adsdemo/images/change_host.svg")));
    hostAddressButton->setIconSize(QSize(20, 20));
    hostAddressButton->setFixedSize(20, 25);
    disconnectButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/Disconnect.svg")),
                                         tr("Disconnect"));
    disconnectButton->setObjectName(QStringLiteral("disconnectButton"));
    auto *connectRow = new QHBoxLayout;
    connectRow->addWidget(connectButton);
    connectRow->addWidget(hostAddressButton);
    connectRow->addWidget(disconnectButton);
    form->addRow(connectRow);

    statusLabel = new QLabel(tr("Connection status: connecting.."));
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    // A long status (a link error, a box's name and address) wraps instead of widening the
    // editor until its buttons scroll out of sight.
    statusLabel->setWordWrap(true);
    form->addRow(statusLabel);
    versionLabel = new QLabel(tr("Program version: 0.0.0"));
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setWordWrap(true);
    form->addRow(versionLabel);

    const QIcon updateIcon(QStringLiteral(":/adsdemo/images/Update project.svg"));
    updateProjectButton = new QPushButton(updateIcon, tr("Update project"));
    updateProjectButton->setObjectName(QStringLiteral("updateProjectButton"));
    updateProgramButton = new QPushButton(updateIcon, tr("Update program"));
    updateProgramButton->setObjectName(QStringLiteral("updateProgramButton"));
    auto *updateRow = new QHBoxLayout;
    updateRow->addWidget(updateProjectButton);
    updateRow->addWidget(updateProgramButton);
    form->addRow(updateRow);

    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    cancelTransferButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")),
                                             tr("Cancel transfer"));
    cancelTransferButton->setObjectName(QStringLiteral("cancelTransferButton"));
    cancelTransferButton->setEnabled(false);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(progressBar);
    progressRow->addWidget(cancelTransferButton);
    form->addRow(tr("Progress:"), progressRow);
    verdictLabel = new QLabel;
    verdictLabel->setObjectName(QStringLiteral("verdictLabel"));
    verdictLabel->setWordWrap(true);
    form->addRow(verdictLabel);

    rebootButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/Reboot Device.svg")),
                                     tr("Reboot Device"));
    rebootButton->setObjectName(QStringLiteral("rebootButton"));
    form->addRow(rebootButton);

    return page;
}

QWidget *BoxEditForm::buildLanTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("IP:"), lanIpEdit);
    form->addRow(tr("Mask:"), lanMaskEdit);
    form->addRow(tr("Gateway:"), lanGatewayEdit);
    form->addRow(tr("Dns1:"), lanDns1Edit);
    form->addRow(tr("Dns2:"), lanDns2Edit);
    form->addRow(readWriteRow("lan", &lanRead, &lanWrite));
    return page;
}

QWidget *BoxEditForm::buildWanTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("Dhcp:"), wanDhcpCombo);
    form->addRow(tr("IP:"), wanIpEdit);
    form->addRow(tr("Mask:"), wanMaskEdit);
    form->addRow(tr("Gateway:"), wanGatewayEdit);
    form->addRow(tr("Dns1:"), wanDns1Edit);
    form->addRow(tr("Dns2:"), wanDns2Edit);
    form->addRow(readWriteRow("wan", &wanRead, &wanWrite));
    return page;
}

QWidget *BoxEditForm::buildNtpTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("NTP Server:"), ntpEdit);
    form->addRow(readWriteRow("ntp", &ntpRead, &ntpWrite));
    return page;
}

QWidget *BoxEditForm::buildTimeTab()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("Local Time:"), localTimeEdit);
    form->addRow(tr("Box Time:"), boxTimeEdit);
    form->addRow(readWriteRow("time", &timeRead, &timeWrite));
    return page;
}

// The WiFi and 4G pages are built with their buttons but never added to the tabs: their
// record fields pass through the dialog unseen.
void BoxEditForm::buildWifiPage(QDialog *dialog)
{
    wifiPage = new QWidget(dialog);
    wifiPage->setObjectName(QStringLiteral("wifiPage"));
    auto *form = new QFormLayout(wifiPage);
    auto *onOff = new QHBoxLayout;
    onOff->addWidget(wifiOnRadio);
    onOff->addWidget(wifiOffRadio);
    form->addRow(tr("wifiOnOff:"), onOff);
    form->addRow(tr("Mode:"), wifiModeCombo);
    form->addRow(tr("SSID:"), ssidEdit);
    form->addRow(tr("Password:"), wifiPasswordEdit);
    form->addRow(tr("Dhcp:"), wifiDhcpCombo);
    form->addRow(tr("IP:"), wifiIpEdit);
    form->addRow(tr("Mask:"), wifiMaskEdit);
    form->addRow(tr("Gateway:"), wifiGatewayEdit);
    form->addRow(tr("Dns1:"), wifiDns1Edit);
    form->addRow(tr("Dns2:"), wifiDns2Edit);
    form->addRow(readWriteRow("wifi", &wifiRead, &wifiWrite));
    wifiPage->hide();
}

void BoxEditForm::buildLtePage(QDialog *dialog)
{
    ltePage = new QWidget(dialog);
    ltePage->setObjectName(QStringLiteral("ltePage"));
    auto *form = new QFormLayout(ltePage);
    auto *onOff = new QHBoxLayout;
    onOff->addWidget(lteOnRadio);
    onOff->addWidget(lteOffRadio);
    form->addRow(tr("4G:"), onOff);
    for (int i = 0; i < 5; ++i)
        form->addRow(tr("AT%1:").arg(i + 1), atEdits[i]);
    form->addRow(readWriteRow("lte", &lteRead, &lteWrite));
    ltePage->hide();
}

void BoxEditForm::load(const BoxRecord &r, bool lteFollowsRecord)
{
    nameEdit->setText(r.name);
    ipEdit->setText(r.ip);
    selectExact(modelCombo, r.model);

    lanIpEdit->setText(r.lanIp);
    lanMaskEdit->setText(r.lanMask);
    lanGatewayEdit->setText(r.lanGateway);
    lanDns1Edit->setText(r.lanDns1);
    lanDns2Edit->setText(r.lanDns2);

    selectExact(wanDhcpCombo, r.wanDhcp);
    wanIpEdit->setText(r.wanIp);
    wanMaskEdit->setText(r.wanMask);
    wanGatewayEdit->setText(r.wanGateway);
    wanDns1Edit->setText(r.wanDns1);
    wanDns2Edit->setText(r.wanDns2);

    setOnOff(wifiOnRadio, wifiOffRadio, r.wifiOnOff);
    selectExact(wifiModeCombo, r.wifiMode);
    ssidEdit->setText(r.wifiSsid);
    wifiPasswordEdit->setText(r.wifiPassword);
    selectExact(wifiDhcpCombo, r.wifiDhcp);
    wifiIpEdit->setText(r.wifiIp);
    wifiMaskEdit->setText(r.wifiMask);
    wifiGatewayEdit->setText(r.wifiGateway);
    wifiDns1Edit->setText(r.wifiDns1);
    wifiDns2Edit->setText(r.wifiDns2);

    setOnOff(lteOnRadio, lteOffRadio, r.lteOnOff);
    if (!lteFollowsRecord)
        lteOnRadio->setChecked(true);
    for (int i = 0; i < 5; ++i)
        atEdits[i]->setText(r.at[i]);

    ntpEdit->setText(r.ntpServer);
    boxTimeEdit->setText(r.boxTime);
}

BoxRecord BoxEditForm::record() const
{
    BoxRecord r;
    r.name = nameEdit->text();
    r.ip = ipEdit->text();
    r.model = modelCombo->currentText();
    r.lanIp = lanIpEdit->text();
    r.lanMask = lanMaskEdit->text();
    r.lanGateway = lanGatewayEdit->text();
    r.lanDns1 = lanDns1Edit->text();
    r.lanDns2 = lanDns2Edit->text();
    r.wanDhcp = wanDhcpCombo->currentText();
    r.wanIp = wanIpEdit->text();
    r.wanMask = wanMaskEdit->text();
    r.wanGateway = wanGatewayEdit->text();
    r.wanDns1 = wanDns1Edit->text();
    r.wanDns2 = wanDns2Edit->text();
    r.wifiOnOff = onOff(wifiOnRadio);
    r.wifiMode = wifiModeCombo->currentText();
    r.wifiSsid = ssidEdit->text();
    r.wifiPassword = wifiPasswordEdit->text();
    r.wifiDhcp = wifiDhcpCombo->currentText();
    r.wifiIp = wifiIpEdit->text();
    r.wifiMask = wifiMaskEdit->text();
    r.wifiGateway = wifiGatewayEdit->text();
    r.wifiDns1 = wifiDns1Edit->text();
    r.wifiDns2 = wifiDns2Edit->text();
    r.lteOnOff = onOff(lteOnRadio);
    for (int i = 0; i < 5; ++i)
        r.at[i] = atEdits[i]->text();
    r.ntpServer = ntpEdit->text();
    r.boxTime = boxTimeEdit->text();
    return r;
}

void BoxEditForm::clear()
{
    for (QLineEdit *edit :
         {nameEdit, ipEdit, lanIpEdit, lanMaskEdit, lanGatewayEdit, lanDns1Edit, lanDns2Edit, wanIpEdit,
          wanMaskEdit, wanGatewayEdit, wanDns1Edit, wanDns2Edit, ssidEdit, wifiPasswordEdit, wifiIpEdit,
          wifiMaskEdit, wifiGatewayEdit, wifiDns1Edit, wifiDns2Edit, ntpEdit, boxTimeEdit})
        edit->clear();
    for (QLineEdit *edit : atEdits)
        edit->clear();
    for (QComboBox *combo : {modelCombo, wanDhcpCombo, wifiModeCombo, wifiDhcpCombo})
        combo->setCurrentIndex(0);
    wifiOnRadio->setChecked(true);
    lteOnRadio->setChecked(true);
}
