#include "gui/devices/BusScanDialog.h"

#include "gui/devices/DeviceForm.h"
#include "gui/devices/TrafficPane.h"

#include "core/modbus/ModbusTraffic.h"
#include "core/project/ModbusDeviceRecord.h"
#include "core/support/AppPaths.h"
#include "core/templates/TemplateLibrary.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Ticked when the window opens: the settings met most often on site.
const QVector<int> kCommonBauds = {9600, 19200, 38400, 115200};
const QStringList kCommonParities = {QStringLiteral("NONE"), QStringLiteral("EVEN")};

} // namespace

bool BusScanDialog::Found::applyTo(ModbusDeviceRecord *device) const
{
    const ModbusDeviceRecord before = *device;
    device->mode = tcp ? ModbusDeviceRecord::Tcp : ModbusDeviceRecord::Rtu;
    if (tcp) {
        if (QHostAddress(host).protocol() == QAbstractSocket::IPv4Protocol)
            device->ip = host;
        device->port = QString::number(port);
        return device->mode != before.mode || device->ip != before.ip || device->port != before.port;
    }
    SerialLineRecord &line = device->serial;
    line.baudRate = QString::number(row.setting.baudRate);
    line.dataBit = QStringLiteral("8");
    line.parityBit = row.setting.parity;
    line.stopBit = QString::number(row.setting.stopBits);
    const SerialLineRecord &old = before.serial;
    return device->mode != before.mode || line.baudRate != old.baudRate || line.dataBit != old.dataBit
           || line.parityBit != old.parityBit || line.stopBit != old.stopBit;
}

QString BusScanDialog::Found::describe() const
{
    return tcp ? QStringLiteral("ModbusTCP %1:%2").arg(host).arg(port) : row.setting.describe();
}

BusScanDialog::BusScanDialog(const Defaults &defaults, QWidget *parent)
    : QDialog(parent)
{
    qRegisterMetaType<BusScanDialog::Found>();
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Bus scan"));
    m_scan = new ModbusBusScan(this);
    m_traffic = new ModbusTraffic(this);
    m_traffic->attach(m_scan);
    // The models the library knows how to tell apart on a bus.
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    QVector<DeviceTemplate> known;
    for (const TemplateLibrary::Entry &entry : TemplateLibrary::fromSettings(settings).list())
        if (entry.usable())
            known.append(entry.device);
    m_candidates = ModelProbe::candidates(known);

    auto *form = new QFormLayout;
    m_modeCombo = new QComboBox;
    m_modeCombo->addItems({QStringLiteral("ModbusRTU"), QStringLiteral("ModbusTCP")});
    m_modeCombo->setCurrentIndex(defaults.tcp ? 1 : 0);
    form->addRow(tr("Modbus:"), m_modeCombo);

    // RTU: the serial device of this PC and the line settings to try.
    m_serialBox = new QWidget;
    auto *serialForm = new QFormLayout(m_serialBox);
    serialForm->setContentsMargins(0, 0, 0, 0);
    m_serialCombo = new QComboBox;
    m_serialCombo->setEditable(true);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        m_serialCombo->addItem(info.systemLocation());
    if (!defaults.serialDevice.isEmpty())
        m_serialCombo->setCurrentText(defaults.serialDevice);
    serialForm->addRow(tr("Serial device:"), m_serialCombo);

    auto *bauds = new QHBoxLayout;
    for (const QString &text : DeviceForm::baudRateChoices()) {
        const int baud = text.toInt();
        auto *check = new QCheckBox(text);
        check->setChecked(kCommonBauds.contains(baud) || baud == defaults.setting.baudRate);
        m_baudChecks.insert(baud, check);
        bauds->addWidget(check);
    }
    serialForm->addRow(tr("Baud rates:"), bauds);
    auto *parities = new QHBoxLayout;
    const QStringList parityTexts{tr("None"), tr("Even"), tr("Odd")};
    const QStringList parityValues{QStringLiteral("NONE"), QStringLiteral("EVEN"), QStringLiteral("ODD")};
    for (int i = 0; i < parityValues.size(); ++i) {
        auto *check = new QCheckBox(parityTexts.at(i));
        check->setChecked(kCommonParities.contains(parityValues.at(i)) || parityValues.at(i) == defaults.setting.parity);
        m_parityChecks.insert(parityValues.at(i), check);
        parities->addWidget(check);
    }
    parities->addStretch();
    serialForm->addRow(tr("Parities:"), parities);
    auto *stops = new QHBoxLayout;
    for (int stop : {1, 2}) {
        auto *check = new QCheckBox(QString::number(stop));
        check->setChecked(stop == 1 || stop == defaults.setting.stopBits);
        m_stopChecks.insert(stop, check);
        stops->addWidget(check);
    }
    stops->addStretch();
    serialForm->addRow(tr("Stop bits:"), stops);
    form->addRow(m_serialBox);

    // TCP: one address.
    m_tcpBox = new QWidget;
    auto *tcpForm = new QFormLayout(m_tcpBox);
    tcpForm->setContentsMargins(0, 0, 0, 0);
    m_hostEdit = new QLineEdit(defaults.host);
    m_portSpin = new QSpinBox;
    m_portSpin->setRange(1, 65535);
    m_portSpin->setValue(defaults.port >= 1 && defaults.port <= 65535 ? defaults.port : 502);
    tcpForm->addRow(tr("Host:"), m_hostEdit);
    tcpForm->addRow(tr("Port:"), m_portSpin);
    form->addRow(m_tcpBox);

    // Which ids, how long to wait for each and what to ask.
    auto *ids = new QHBoxLayout;
    m_firstId = new QSpinBox;
    m_lastId = new QSpinBox;
    for (QSpinBox *spin : {m_firstId, m_lastId})
        spin->setRange(1, ModbusBusScan::LastStandardId);
    m_firstId->setValue(1);
    m_lastId->setValue(ModbusBusScan::LastStandardId);
    m_extendedIds = new QCheckBox(tr("Also ids 248-255"));
    ids->addWidget(m_firstId);
    ids->addWidget(new QLabel(tr("to")));
    ids->addWidget(m_lastId);
    ids->addWidget(m_extendedIds);
    ids->addStretch();
    form->addRow(tr("Ids:"), ids);
    m_wait = new QSpinBox;
    m_wait->setRange(1, 60000);
    m_wait->setValue(ModbusBusScan::DefaultWaitMs);
    m_wait->setSuffix(tr(" ms"));
    form->addRow(tr("Wait per id:"), m_wait);
    auto *probe = new QHBoxLayout;
    m_function = new QComboBox;
    m_function->addItem(tr("3 (holding registers)"), int(ModbusFrame::ReadHoldingRegisters));
    m_function->addItem(tr("4 (input registers)"), int(ModbusFrame::ReadInputRegisters));
    m_address = new QSpinBox;
    m_address->setRange(0, 65535);
    probe->addWidget(m_function);
    probe->addWidget(new QLabel(tr("address")));
    probe->addWidget(m_address);
    probe->addStretch();
    form->addRow(tr("Probe function:"), probe);
    auto *stopRow = new QHBoxLayout;
    m_stopAtFirst = new QRadioButton(tr("Stop at the first device"));
    m_scanAll = new QRadioButton(tr("Scan all"));
    m_scanAll->setChecked(true);
    stopRow->addWidget(m_stopAtFirst);
    stopRow->addWidget(m_scanAll);
    stopRow->addStretch();
    form->addRow(stopRow);

    m_progress = new QProgressBar;
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progressLabel = new QLabel;
    m_statusLabel = new QLabel;
    m_statusLabel->setObjectName(QStringLiteral("scanStatusLabel"));
    m_statusLabel->setWordWrap(true);

    m_table = new QTableWidget(0, ColumnCount);
    m_table->setHorizontalHeaderLabels(
        {tr("Id"), tr("Baud"), tr("Parity"), tr("Stop bits"), tr("Reply"), tr("Round trip (ms)"), tr("Model")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_trafficPane = new TrafficPane(m_traffic);
    m_tabs = new QTabWidget;
    m_tabs->addTab(m_table, tr("Devices found"));
    m_tabs->addTab(m_trafficPane, tr("Traffic"));

    auto *buttons = new QHBoxLayout;
    m_startButton = new QPushButton(tr("Scan"));
    m_cancelButton = new QPushButton(tr("Cancel"));
    m_addButton = new QPushButton(tr("Add as slave tab"));
    m_closeButton = new QPushButton(tr("Close"));
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    layout->addWidget(m_progressLabel);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_statusLabel);
    layout->addLayout(buttons);
    resize(760, 620);

    connect(m_modeCombo, &QComboBox::currentTextChanged, this, &BusScanDialog::showMode);
    connect(m_extendedIds, &QCheckBox::toggled, this, [this](bool on) {
        const int last = on ? ModbusBusScan::LastId : ModbusBusScan::LastStandardId;
        m_firstId->setMaximum(last);
        m_lastId->setMaximum(last);
        if (on)
            m_lastId->setValue(last);
    });
    connect(m_startButton, &QPushButton::clicked, this, &BusScanDialog::startScan);
    connect(m_cancelButton, &QPushButton::clicked, this, &BusScanDialog::cancelScan);
    connect(m_addButton, &QPushButton::clicked, this, &BusScanDialog::addSelected);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &BusScanDialog::updateButtons);
    connect(m_scan, &ModbusBusScan::progress, this, &BusScanDialog::showProgress);
    connect(m_scan, &ModbusBusScan::rowFound, this, &BusScanDialog::addRow);
    connect(m_scan, &ModbusBusScan::finished, this, &BusScanDialog::scanEnded);
    showMode();
    updateButtons();
}

BusScanDialog::~BusScanDialog()
{
    // The scan reports nothing once the window goes.
    m_scan->disconnect(this);
}

void BusScanDialog::showMode()
{
    const bool tcp = m_modeCombo->currentIndex() == 1;
    m_serialBox->setVisible(!tcp);
    m_tcpBox->setVisible(tcp);
}

bool BusScanDialog::options(ModbusBusScan::Options *options, QString *reason) const
{
    ModbusBusScan::Options built;
    built.tcp = m_modeCombo->currentIndex() == 1;
    if (built.tcp) {
        built.host = m_hostEdit->text().trimmed();
        built.port = m_portSpin->value();
        if (built.host.isEmpty()) {
            *reason = tr("Enter the host to scan.");
            return false;
        }
    } else {
        built.serialDevice = m_serialCombo->currentText().trimmed();
        if (built.serialDevice.isEmpty()) {
            *reason = tr("Choose the serial device of this PC to scan.");
            return false;
        }
        QVector<int> bauds;
        QStringList parities;
        QVector<int> stops;
        for (auto it = m_baudChecks.cbegin(); it != m_baudChecks.cend(); ++it)
            if (it.value()->isChecked())
                bauds.append(it.key());
        for (auto it = m_parityChecks.cbegin(); it != m_parityChecks.cend(); ++it)
            if (it.value()->isChecked())
                parities.append(it.key());
        for (auto it = m_stopChecks.cbegin(); it != m_stopChecks.cend(); ++it)
            if (it.value()->isChecked())
                stops.append(it.key());
        built.settings = ModbusBusScan::sweepOrder(bauds, parities, stops);
        if (built.settings.isEmpty()) {
            *reason = tr("Tick at least one baud rate, one parity and one number of stop bits.");
            return false;
        }
    }
    if (m_firstId->value() > m_lastId->value()) {
        *reason = tr("The first id is above the last.");
        return false;
    }
    for (int id = m_firstId->value(); id <= m_lastId->value(); ++id)
        built.ids.append(id);
    built.waitMs = m_wait->value();
    built.function = quint8(m_function->currentData().toInt());
    built.probeAddress = quint16(m_address->value());
    built.stopAtFirst = m_stopAtFirst->isChecked();
    *options = built;
    return true;
}

void BusScanDialog::startScan()
{
    if (m_scan->isRunning())
        return;
    ModbusBusScan::Options scanOptions;
    QString reason;
    if (!options(&scanOptions, &reason) || !m_scan->start(scanOptions)) {
        m_statusLabel->setText(reason.isEmpty() ? tr("These options make no scan.") : reason);
        return;
    }
    stopIdentifying();
    m_scannedTcp = scanOptions.tcp;
    m_scannedDevice = scanOptions.serialDevice;
    m_scannedHost = scanOptions.host;
    m_scannedPort = scanOptions.port;
    m_table->setRowCount(0);
    const int total = scanOptions.ids.size() * (scanOptions.tcp ? 1 : scanOptions.settings.size());
    m_progress->setRange(0, total);
    m_progress->setValue(0);
    m_progressLabel->clear();
    m_statusLabel->setText(tr("Scanning..."));
    updateButtons();
}

void BusScanDialog::cancelScan()
{
    m_scan->cancel();
}

void BusScanDialog::showProgress(const ModbusBusScan::LineSetting &setting, int id, int done, int total,
                                 qint64 msLeft)
{
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    const QString left = tr("about %1 s left").arg(int(std::ceil(msLeft / 1000.0)));
    m_progressLabel->setText(m_scannedTcp ? tr("Id %1, %2").arg(id).arg(left)
                                          : tr("%1, id %2, %3").arg(setting.describe()).arg(id).arg(left));
}

QString BusScanDialog::replyText(const ModbusBusScan::Row &row)
{
    switch (row.reply) {
    case ModbusBusScan::ReplyKind::Registers: return tr("registers");
    case ModbusBusScan::ReplyKind::Exception: return tr("exception %1").arg(row.exceptionCode);
    case ModbusBusScan::ReplyKind::Garbled: return tr("answers, garbled (wrong speed or wiring)");
    }
    return QString();
}

void BusScanDialog::addRow(const ModbusBusScan::Row &row)
{
    const int index = m_table->rowCount();
    m_table->insertRow(index);
    const QString none = QStringLiteral("-");
    const QStringList texts{QString::number(row.id),
                            m_scannedTcp ? none : QString::number(row.setting.baudRate),
                            m_scannedTcp ? none : row.setting.parity,
                            m_scannedTcp ? none : QString::number(row.setting.stopBits),
                            replyText(row),
                            QString::number(row.rttMs, 'f', 1),
                            QString()};
    for (int column = 0; column < ColumnCount; ++column)
        m_table->setItem(index, column, new QTableWidgetItem(texts.at(column)));
}

void BusScanDialog::scanEnded()
{
    m_progress->setValue(m_scan->outcome() == ModbusBusScan::Outcome::Completed ? m_progress->maximum()
                                                                                : m_progress->value());
    m_progressLabel->clear();
    m_statusLabel->setText(m_scan->statusText());
    m_trafficPane->refresh();
    updateButtons();
    // A gateway that answers for any id has no models behind its ids to tell apart.
    if (!m_candidates.isEmpty() && !m_scan->everyIdAnswered()
        && m_scan->outcome() != ModbusBusScan::Outcome::Cancelled && m_scan->outcome() != ModbusBusScan::Outcome::LinkFailed) {
        m_identifying = -1;
        identifyNext();
    }
}

void BusScanDialog::identifyNext()
{
    stopIdentifying();
    const QVector<ModbusBusScan::Row> rows = m_scan->rows();
    while (++m_identifying < rows.size() && rows.at(m_identifying).reply == ModbusBusScan::ReplyKind::Garbled) {
    }
    if (m_identifying >= rows.size() || m_identifying >= m_table->rowCount()) {
        m_identifying = -1;
        return;
    }
    const ModbusBusScan::Row row = rows.at(m_identifying);
    ModbusLinkSettings link;
    if (m_scannedTcp) {
        link.mode = ModbusLinkSettings::Mode::Tcp;
        link.host = m_scannedHost;
        link.port = m_scannedPort;
    } else {
        link.mode = ModbusLinkSettings::Mode::Rtu;
        link.serialDevice = m_scannedDevice;
        link.baudRate = row.setting.baudRate;
        link.parity = row.setting.parity;
        link.stopBits = row.setting.stopBits;
    }
    link.connectionTimeoutMs = 1000;
    link.requestTimeoutMs = qMax(200, 4 * m_wait->value());
    m_probeClient = new ModbusClient(link, this);
    m_traffic->attach(m_probeClient);
    m_probe = new ModelProbe(m_probeClient, m_probeClient);
    const int tableRow = m_identifying;
    connect(m_probe, &ModelProbe::finished, this, [this, tableRow](const QStringList &models) {
        if (QTableWidgetItem *cell = m_table->item(tableRow, ColModel))
            cell->setText(models.isEmpty() ? tr("no known model") : models.join(QStringLiteral(", ")));
        m_trafficPane->refresh();
        // Not inside the client's own signal: the next row gets a client of its own.
        QMetaObject::invokeMethod(this, &BusScanDialog::identifyNext, Qt::QueuedConnection);
    });
    if (QTableWidgetItem *cell = m_table->item(tableRow, ColModel))
        cell->setText(tr("reading..."));
    if (!m_probe->start(quint8(row.id), m_candidates))
        stopIdentifying();
}

void BusScanDialog::stopIdentifying()
{
    if (!m_probeClient)
        return;
    QObject::disconnect(m_probe, nullptr, this, nullptr);
    m_probeClient->close();
    m_probeClient->deleteLater();
    m_probeClient = nullptr;
    m_probe = nullptr;
}

// The row chosen for "Add as slave tab", or -1. A garbled reply came at a setting the device
// does not use: no tab is made from it.
int BusScanDialog::chosenRow() const
{
    const int row = m_table->currentRow();
    if (m_scan->isRunning() || row < 0 || row >= m_scan->rows().size() || m_table->selectedItems().isEmpty())
        return -1;
    return m_scan->rows().at(row).reply == ModbusBusScan::ReplyKind::Garbled ? -1 : row;
}

void BusScanDialog::updateButtons()
{
    const bool running = m_scan->isRunning();
    m_startButton->setEnabled(!running);
    m_cancelButton->setEnabled(running);
    m_addButton->setEnabled(chosenRow() >= 0);
}

void BusScanDialog::addSelected()
{
    const int row = chosenRow();
    if (row < 0)
        return;
    Found found;
    found.row = m_scan->rows().at(row);
    found.tcp = m_scannedTcp;
    found.host = m_scannedHost;
    found.port = m_scannedPort;
    emit addAsSlaveTab(found);
}

void BusScanDialog::closeEvent(QCloseEvent *event)
{
    m_scan->cancel();
    m_identifying = -1;
    stopIdentifying();
    QDialog::closeEvent(event);
}
