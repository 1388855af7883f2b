#include "gui/boxlink/BoxEditDialog.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/widgets/Validators.h"
#include "core/support/WriteLog.h"
#include "core/boxlink/BoxSession.h"
#include "core/boxlink/BoxSessions.h"
#include "core/deployment/ProjectDeployment.h"
#include "gui/deployment/DeploymentGate.h"
#include "core/project/Ipv4Address.h"
#include "core/project/BoxRecord.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItem>
#include <QTabWidget>
#include <QVBoxLayout>


namespace {
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
    : BoxEditDialog(item, nullptr, parent)
{
}

BoxEditDialog::BoxEditDialog(QStandardItem *item, BoxSessions *sessions, QWidget *parent)
    : QDialog(parent)
    , m_boxItem(item)
    , m_sessions(sessions)
{
    m_form.build(this);
    wireButtons();
    // A new dialog always starts with 4G on.
    m_form.load(BoxRecord::load(m_boxItem), false);

    if (!m_sessions && item && item->model()) {
        m_sessions = new BoxSessions(item->model(), this);
        m_ownSessions = true;
        connect(m_sessions, &BoxSessions::messageAppended, this, &BoxEditDialog::appendMessage);
        connect(m_sessions, &BoxSessions::linkStateChanged, this, &BoxEditDialog::linkStateChanged);
    }
    // The session shown may end under the editor (its box gone): the editor is left without a link.
    if (m_sessions) {
        connect(m_sessions, &BoxSessions::sessionEnding, this, [this](BoxSession *ending) {
            if (ending != m_session)
                return;
            watch(sessionFor(nullptr));
            showSessionState();
        });
    }
    // The first link connects at once, without binding and without a status text of its own.
    attach(sessionFor(item));

    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &BoxEditDialog::refreshClock);
    refreshClock();
    m_clock.start();

    writeLog(QStringLiteral("BoxEditDialog: new-nuilt"));
}

void BoxEditDialog::wireButtons()
{
    const BoxEditForm &f = m_form;
    connect(f.connectButton, &QPushButton::clicked, this, &BoxEditDialog::connectToServer);
    connect(f.hostAddressButton, &QPushButton::clicked, this, &BoxEditDialog::showChangeHostAddressDialog);
    connect(f.disconnectButton, &QPushButton::clicked, this, &BoxEditDialog::disconnectFromServer);
    connect(f.updateProjectButton, &QPushButton::clicked, this, &BoxEditDialog::updateProject);
    connect(f.updateProgramButton, &QPushButton::clicked, this, &BoxEditDialog::updateProgram);
    connect(f.cancelTransferButton, &QPushButton::clicked, this, &BoxEditDialog::cancelTransfer);
    connect(f.rebootButton, &QPushButton::clicked, this, &BoxEditDialog::rebootDevice);
    connect(f.lanRead, &QPushButton::clicked, this, &BoxEditDialog::readLanAllocation);
    connect(f.lanWrite, &QPushButton::clicked, this, &BoxEditDialog::writeLanAllocation);
    connect(f.wanRead, &QPushButton::clicked, this, &BoxEditDialog::readWanAllocation);
    connect(f.wanWrite, &QPushButton::clicked, this, &BoxEditDialog::writeWanAllocation);
    connect(f.ntpRead, &QPushButton::clicked, this, &BoxEditDialog::readNTPAllocation);
    connect(f.ntpWrite, &QPushButton::clicked, this, &BoxEditDialog::writeNTPAllocation);
    connect(f.timeRead, &QPushButton::clicked, this, &BoxEditDialog::readTimeAllocation);
    connect(f.timeWrite, &QPushButton::clicked, this, &BoxEditDialog::writeTimeAllocation);
    connect(f.wifiRead, &QPushButton::clicked, this, &BoxEditDialog::readWifiAllocation);
    connect(f.wifiWrite, &QPushButton::clicked, this, &BoxEditDialog::writeWifiAllocation);
    connect(f.lteRead, &QPushButton::clicked, this, &BoxEditDialog::readLteAllocation);
    connect(f.lteWrite, &QPushButton::clicked, this, &BoxEditDialog::writeLteAllocation);
    connect(f.cancelButton, &QPushButton::clicked, this, [this] {
        if (!mayEndTransfer())
            return;
        disconnectFromServer();
        reject();
    });
}

BoxEditDialog::~BoxEditDialog()
{
    m_clock.stop();
    // A session of the window's outlives the editor (release() ended its link as the editor
    // closed; a window on its way out ends them all). One of the dialog's own ends here: the
    // transfer without a word (nobody is left to show it), the link reported down.
    if (m_session) {
        if (m_ownSessions || m_session == m_loneSession)
            m_session->shutDown();
        // Whatever a session still says as it goes (it may be a child of this dialog) finds
        // no form to show it on.
        QObject::disconnect(m_session, nullptr, this, nullptr);
    }
    writeLog(QStringLiteral("BoxEditDialog: destroyed"));
}

// ---------------------------------------------------------------------------------------
// Record

void BoxEditDialog::loadBoxItem(QStandardItem *item)
{
    m_boxItem = item;
    m_form.load(BoxRecord::load(item), true);
    attach(sessionFor(item));
    writeLog(QStringLiteral("BoxEditDialog: replace"));
}

void BoxEditDialog::saveChanges()
{
    if (!m_boxItem)
        return;
    m_form.record().commit(m_boxItem);

    appendMessage(tr("The box '%1' is saved successfully.").arg(m_form.nameEdit->text()));
    writeLog(QStringLiteral("BoxEditDialog: save"));
}

void BoxEditDialog::clearData()
{
    m_form.clear();
}

// ---------------------------------------------------------------------------------------
// Link

BoxSession *BoxEditDialog::sessionFor(QStandardItem *item)
{
    if (m_sessions && item && item->model()) {
        if (BoxSession *session = m_sessions->open(item->index()))
            return session;
    }
    if (!m_loneSession) {
        m_loneSession = new BoxSession(this);
        connect(m_loneSession, &BoxSession::messageAppended, this, &BoxEditDialog::appendMessage);
        connect(m_loneSession, &BoxSession::linkStateChanged, this, &BoxEditDialog::linkStateChanged);
    }
    return m_loneSession;
}

void BoxEditDialog::attach(BoxSession *session)
{
    watch(session);
    // A box without a link is contacted as the editor turns to it, at the address it shows.
    if (!session->link()) {
        session->setBoxAddress(m_form.ipEdit->text());
        session->connectToBox(false);
    }
    showSessionState();
}

void BoxEditDialog::watch(BoxSession *session)
{
    if (m_session != session) {
        if (m_session)
            QObject::disconnect(m_session, nullptr, this, nullptr);
        m_session = session;
        connect(session, &BoxSession::connectionStatusChanged, this,
                [this](const QString &status) { m_form.statusLabel->setText(status); });
        connect(session, &BoxSession::writeReplyReceived, this,
                [this](const QString &title, const QString &text) { inform(title, text, nullptr); });
        connect(session, &BoxSession::versionReceived, this, [this](const QString &version) {
            m_form.versionLabel->setText(tr("Program version: ") + version);
        });
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

        connect(session, &BoxSession::transferStarted, this, [this] { setTransferButtons(true); });
        connect(session, &BoxSession::transferProgress, this,
                [this](int percent) { m_form.progressBar->setValue(percent); });
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
        connect(session, &BoxSession::stateChanged, this, &BoxEditDialog::showSessionState);
    }
}

// Everything the editor shows of a link is the session's: turning to another box shows that
// box's status, version, progress and verdict, never the last box's.
void BoxEditDialog::showSessionState()
{
    const QString status = m_session->status();
    m_form.statusLabel->setText(status.isEmpty() ? tr("Connection status: Not connected") : status);
    const QString version = m_session->version();
    m_form.versionLabel->setText(tr("Program version: ") + (version.isEmpty() ? QStringLiteral("0.0.0") : version));
    m_form.progressBar->setValue(m_session->transferPercent());
    m_form.verdictLabel->setText(m_session->verdict().isEmpty() ? QString()
                                                                : tr("Last transfer: %1").arg(m_session->verdict()));
    setTransferButtons(m_session->transferActive());
}

QString BoxEditDialog::boxLabel() const
{
    const QString address = m_session && m_session->link() ? m_session->boxAddress() : m_form.ipEdit->text();
    return QStringLiteral("%1 (%2)").arg(m_form.nameEdit->text(), address);
}

Protocol *BoxEditDialog::link() const
{
    return m_session ? m_session->link() : nullptr;
}

QString BoxEditDialog::localAddress() const
{
    return m_session ? m_session->localAddress() : BoxSession::noBinding();
}

Protocol *BoxEditDialog::ensureLink()
{
    if (m_session == m_loneSession && m_boxItem)
        watch(sessionFor(m_boxItem));
    if (!m_session->link())
        connectToServer();
    return m_session->link();
}

void BoxEditDialog::release()
{
    // Stops watching at once: the dialog itself goes later, when a new editor may already
    // show this box's session.
    if (m_session && m_session != m_loneSession) {
        if (m_session->disconnectFromBox())
            writeLog(QStringLiteral("BoxEditDialog: disconnect"));
        watch(sessionFor(nullptr));
        showSessionState();
        return;
    }
    disconnectFromServer();
}

void BoxEditDialog::connectToServer()
{
    // After release() the box's own session takes the link again.
    if (m_session == m_loneSession && m_boxItem)
        watch(sessionFor(m_boxItem));
    if (m_session->link())
        disconnectFromServer();
    m_session->setBoxAddress(m_form.ipEdit->text());
    m_session->connectToBox();
    writeLog(QStringLiteral("BoxEditDialog: connect"));
}

void BoxEditDialog::disconnectFromServer()
{
    // Without a session (its owner went first, as a window closes) there is nothing to drop.
    if (!m_session || !m_session->disconnectFromBox())
        return;
    m_form.statusLabel->setText(tr("Connection status: Not connected"));
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
    combo->addItem(BoxSession::noBinding());
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
    if (chosen == BoxSession::noBinding())
        appendMessage(tr("Selected address: 0.0.0.0 (No binding)"));
    else
        appendMessage(tr("Selected host address: %1").arg(chosen));
    connectToServer();
}

// ---------------------------------------------------------------------------------------
// Requests: each connects first when there is no link.

void BoxEditDialog::rebootDevice()
{
    // A reboot in the middle of a transfer would leave the box with half a file.
    if (m_session->transferActive())
        return;
    const auto answer = QMessageBox::question(
        this, tr("Reboot"),
        tr("Reboot the box %1? It stops polling its devices until it has started again.").arg(boxLabel()),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
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
    if (!fieldsAcceptable(tr("LAN"), {{m_form.lanIpEdit, true}, {m_form.lanMaskEdit, true}, {m_form.lanGatewayEdit, false},
                                      {m_form.lanDns1Edit, false}, {m_form.lanDns2Edit, false}}))
        return;
    ensureLink()->writeLanAllocation(m_form.lanIpEdit->text(), m_form.lanMaskEdit->text(),
                                     m_form.lanGatewayEdit->text(), m_form.lanDns1Edit->text(),
                                     m_form.lanDns2Edit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Lan"));
}

void BoxEditDialog::readWanAllocation()
{
    ensureLink()->readWanAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Wan"));
}

void BoxEditDialog::writeWanAllocation()
{
    const bool fixed = m_form.wanDhcpCombo->currentText() != QLatin1String("Enable");
    if (!fieldsAcceptable(tr("WAN"), {{m_form.wanIpEdit, fixed}, {m_form.wanMaskEdit, fixed}, {m_form.wanGatewayEdit, false},
                                      {m_form.wanDns1Edit, false}, {m_form.wanDns2Edit, false}}))
        return;
    ensureLink()->writeWanAllocation(m_form.wanDhcpCombo->currentText(), m_form.wanIpEdit->text(),
                                     m_form.wanMaskEdit->text(), m_form.wanGatewayEdit->text(),
                                     m_form.wanDns1Edit->text(), m_form.wanDns2Edit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Wan"));
}

void BoxEditDialog::readWifiAllocation()
{
    ensureLink()->readWifiAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Wifi"));
}

void BoxEditDialog::writeWifiAllocation()
{
    const bool fixed = m_form.wifiDhcpCombo->currentText() != QLatin1String("Enable");
    if (!fieldsAcceptable(tr("WiFi"), {{m_form.ssidEdit, false}, {m_form.wifiPasswordEdit, false}, {m_form.wifiIpEdit, fixed},
                                       {m_form.wifiMaskEdit, fixed}, {m_form.wifiGatewayEdit, false},
                                       {m_form.wifiDns1Edit, false}, {m_form.wifiDns2Edit, false}}))
        return;
    ensureLink()->writeWifiAllocation(
        m_form.wifiOnRadio->isChecked() ? QStringLiteral("on") : QStringLiteral("off"),
        m_form.wifiModeCombo->currentText(), m_form.ssidEdit->text(), m_form.wifiPasswordEdit->text(),
        m_form.wifiDhcpCombo->currentText(), m_form.wifiIpEdit->text(), m_form.wifiMaskEdit->text(),
        m_form.wifiGatewayEdit->text(), m_form.wifiDns1Edit->text(), m_form.wifiDns2Edit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Wifi"));
}

void BoxEditDialog::readLteAllocation()
{
    ensureLink()->readLteAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Lte"));
}

void BoxEditDialog::writeLteAllocation()
{
    if (!fieldsAcceptable(tr("4G"), {{m_form.atEdits[0], false}, {m_form.atEdits[1], false}, {m_form.atEdits[2], false},
                                     {m_form.atEdits[3], false}, {m_form.atEdits[4], false}}))
        return;
    ensureLink()->writeLteAllocation(
        m_form.lteOnRadio->isChecked() ? QStringLiteral("on") : QStringLiteral("off"),
        m_form.atEdits[0]->text(), m_form.atEdits[1]->text(), m_form.atEdits[2]->text(), m_form.atEdits[3]->text(),
        m_form.atEdits[4]->text());
    writeLog(QStringLiteral("BoxEditDialog: write Lte"));
}

void BoxEditDialog::readNTPAllocation()
{
    ensureLink()->readNTPAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read NTP"));
}

void BoxEditDialog::writeNTPAllocation()
{
    if (!fieldsAcceptable(tr("NTP"), {{m_form.ntpEdit, false}}))
        return;
    ensureLink()->writeNTPAllocation(m_form.ntpEdit->text());
    writeLog(QStringLiteral("BoxEditDialog: write NTP"));
}

void BoxEditDialog::readTimeAllocation()
{
    ensureLink()->readTimeAllocation();
    writeLog(QStringLiteral("BoxEditDialog: read Time"));
}

void BoxEditDialog::writeTimeAllocation()
{
    if (!fieldsAcceptable(tr("Time"), {{m_form.localTimeEdit, false}}))
        return;
    ensureLink()->writeTimeAllocation(m_form.localTimeEdit->text());
    writeLog(QStringLiteral("BoxEditDialog: write Time"));
}

// ---------------------------------------------------------------------------------------
// Replies

void BoxEditDialog::onLanData(const LanAllocationData &data)
{
    m_form.lanIpEdit->setText(data.lanIp);
    m_form.lanMaskEdit->setText(data.lanMask);
    m_form.lanGatewayEdit->setText(data.lanGateway);
    m_form.lanDns1Edit->setText(data.lanDns1);
    m_form.lanDns2Edit->setText(data.lanDns2);
    writeLog(QStringLiteral("BoxEditDialog: update Lan"));
    inform(tr("LAN Configuration"), tr("LAN configuration updated successfully."), this);
}

void BoxEditDialog::onWanData(const WanAllocationData &data)
{
    setDhcpChoice(m_form.wanDhcpCombo, data.wanDhcp);
    m_form.wanIpEdit->setText(data.wanIp);
    m_form.wanMaskEdit->setText(data.wanMask);
    m_form.wanGatewayEdit->setText(data.wanGateway);
    m_form.wanDns1Edit->setText(data.wanDns1);
    m_form.wanDns2Edit->setText(data.wanDns2);
    writeLog(QStringLiteral("BoxEditDialog: update Wan"));
    inform(tr("Wan Configuration"), tr("Wan configuration updated successfully."), this);
}

void BoxEditDialog::onWifiData(const WifiAllocationData &data)
{
    const QString onOff = data.wifiOnOff.toLower();
    if (onOff == QLatin1String("on"))
        m_form.wifiOnRadio->setChecked(true);
    else if (onOff == QLatin1String("off"))
        m_form.wifiOffRadio->setChecked(true);
    const int mode = m_form.wifiModeCombo->findText(data.wifiMode, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (mode >= 0)
        m_form.wifiModeCombo->setCurrentIndex(mode);
    m_form.ssidEdit->setText(data.ssid);
    m_form.wifiPasswordEdit->setText(data.password);
    setDhcpChoice(m_form.wifiDhcpCombo, data.wifiDhcp);
    m_form.wifiIpEdit->setText(data.wifiIp);
    m_form.wifiMaskEdit->setText(data.wifiMask);
    m_form.wifiGatewayEdit->setText(data.wifiGateway);
    m_form.wifiDns1Edit->setText(data.wifiDns1);
    m_form.wifiDns2Edit->setText(data.wifiDns2);
    writeLog(QStringLiteral("BoxEditDialog: update Wifi"));
    inform(tr("Wifi Configuration"), tr("Wifi configuration updated successfully."), this);
}

void BoxEditDialog::onLteData(const LteAllocationData &data)
{
    const QString onOff = data.lteOnOff.toLower();
    if (onOff == QLatin1String("on"))
        m_form.lteOnRadio->setChecked(true);
    else if (onOff == QLatin1String("off"))
        m_form.lteOffRadio->setChecked(true);
    const QString at[5] = {data.AT1, data.AT2, data.AT3, data.AT4, data.AT5};
    for (int i = 0; i < 5; ++i)
        m_form.atEdits[i]->setText(at[i]);
    writeLog(QStringLiteral("BoxEditDialog: update Lte"));
    inform(tr("Lte Configuration"), tr("Lte configuration updated successfully."), this);
}

void BoxEditDialog::onNtpData(const NTPAllocationData &data)
{
    m_form.ntpEdit->setText(data.NTP);
    writeLog(QStringLiteral("BoxEditDialog: update NTP"));
    inform(tr("NTP Configuration"), tr("NTP configuration updated successfully."), this);
}

void BoxEditDialog::onTimeData(const timeAllocationData &data)
{
    m_form.boxTimeEdit->setText(data.date);
    inform(tr("time Configuration"), tr("time configuration updated successfully."), this);
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
    const auto answer = QMessageBox::question(
        this, tr("Update program"),
        tr("Send the program file %1 to the box %2? The box installs it and restarts.")
            .arg(QDir::toNativeSeparators(path), QStringLiteral("%1 (%2)").arg(m_form.nameEdit->text(), m_form.ipEdit->text())),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    m_session->setBoxAddress(m_form.ipEdit->text());
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
    const QString boxIp = m_form.ipEdit->text();
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
    m_form.updateProjectButton->setEnabled(!running);
    m_form.updateProgramButton->setEnabled(!running);
    m_form.rebootButton->setEnabled(!running);
    m_form.cancelTransferButton->setEnabled(running);
}

void BoxEditDialog::cancelTransfer()
{
    m_session->cancelTransfer();
}

bool BoxEditDialog::transferRunning() const
{
    return m_session && m_session->transferRunning();
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
                                && !(field.edit->validator() == m_form.ipValidator && Ipv4Address::hasLeadingZero(text));
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
    QVector<Validators::Field> fields{{tr("IP:"), m_form.ipEdit}};
    const auto add = [this, &fields](const QString &tab, std::initializer_list<QLineEdit *> edits) {
        for (QLineEdit *edit : edits)
            fields.append({tab + QLatin1Char(' ') + fieldName(edit), edit});
    };
    add(tr("LAN"), {m_form.lanIpEdit, m_form.lanMaskEdit, m_form.lanGatewayEdit, m_form.lanDns1Edit, m_form.lanDns2Edit});
    add(tr("WAN"), {m_form.wanIpEdit, m_form.wanMaskEdit, m_form.wanGatewayEdit, m_form.wanDns1Edit, m_form.wanDns2Edit});
    add(tr("NTP"), {m_form.ntpEdit});
    return Validators::confirmNoLeadingZero(this, fields);
}

// A transfer goes only to an address spelled the one way: "127.0.4.020" would reach .16.
bool BoxEditDialog::boxAddressUsable(const QString &title)
{
    if (Ipv4Address::isValid(m_form.ipEdit->text()))
        return true;
    const QString text = tr("The IP address \"%1\" is not four decimal parts from 0 to 255 without leading "
                            "zeros; nothing was sent.")
                             .arg(m_form.ipEdit->text());
    appendMessage(text);
    QMessageBox::warning(this, title, text, QMessageBox::Ok);
    return false;
}

// ---------------------------------------------------------------------------------------

void BoxEditDialog::inform(const QString &title, const QString &text, QWidget *parent)
{
    m_notices.append({title, text, parent});
    // A box already open shows the next one when it closes: replies that arrive meanwhile
    // wait in order instead of piling up on top of it.
    if (m_informing)
        return;
    m_informing = true;
    const QPointer<BoxEditDialog> alive(this);
    while (!m_notices.isEmpty()) {
        const Notice notice = m_notices.takeFirst();
        QMessageBox::information(notice.parent, notice.title, notice.text, QMessageBox::Ok);
        if (!alive)
            return; // the editor went while its box was open
    }
    m_informing = false;
}

void BoxEditDialog::appendMessage(const QString &text)
{
    emit messageAppended(text);
}

void BoxEditDialog::refreshClock()
{
    m_form.localTimeEdit->setText(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString BoxEditDialog::projectName() const
{
    const QStandardItem *project = m_boxItem;
    while (project && project->parent())
        project = project->parent();
    return project ? project->text() : QString();
}
