#include "gui/devices/standardModbusEditDialog.h"
#include "gui/templates/TemplateDialogs.h"

#include "gui/devices/ModbusPointTables.h"
#include "gui/devices/ModbusTestReadDialog.h"
#include "gui/devices/RegisterDiscoveryDialog.h"

#include "gui/widgets/Validators.h"
#include "gui/devices/DeviceForm.h"
#include "core/modbus/ModbusSlave.h"
#include "core/project/ModbusDeviceRecord.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

using Col = ModbusPointTables::Column;
using DeviceForm::selectExact;

void log(const char *operation)
{
    ModbusPointTables::log(operation);
}

} // namespace

standardModbusEditDialog::standardModbusEditDialog(QStandardItem *item, QWidget *parent)
    : QDialog(parent)
    , m_item(item)
{
    log("new-nuilt");
    m_points = std::make_unique<ModbusPointTables>(this, [this](const QString &text) { message(text); });
    setWindowTitle(tr("Edit Standard"));
    buildForm();
    fillFromRecord();
    onProtocolChanged(m_modbusCombo->currentText());

    // Building many point rows is the slow part of opening; let the dock appear first.
    m_loadTimer = new QTimer(this);
    m_loadTimer->setSingleShot(true);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, &standardModbusEditDialog::loadTabs);
    m_loadTimer->start();
}

standardModbusEditDialog::~standardModbusEditDialog()
{
    // ~QDialog hides the dialog after this destructor: a focused line edit then finishes
    // editing and an open cell editor commits, and their handlers would run on what is no
    // longer this dialog. From here on no child calls back into it.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
    log("destroyed");
}

void standardModbusEditDialog::buildForm()
{
    auto *scrollArea = new QScrollArea;
    scrollArea->setStyleSheet(QStringLiteral("QScrollArea { border: none; }"));
    scrollArea->setWidgetResizable(true);
    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);

    // Two columns of fields throughout, so that the slave tab's point table still shows below
    // them on a 768-pixel screen.
    QFormLayout *left = nullptr;
    QFormLayout *right = nullptr;

    // Name, protocol, mode
    auto *headGroup = new QGroupBox;
    headGroup->setStyleSheet(QStringLiteral("QGroupBox { border: none; }"));
    headGroup->setLayout(DeviceForm::formColumns(&left, &right));
    headGroup->layout()->setContentsMargins(0, 0, 0, 0);
    m_nameEdit = new QLineEdit;
    m_protocolCombo = new QComboBox;
    m_protocolCombo->addItem(QStringLiteral("Modbus"));
    m_protocolCombo->setEnabled(false);
    m_modbusCombo = new QComboBox;
    m_modbusCombo->addItems({QStringLiteral("ModbusTCP"), QStringLiteral("ModbusRTU")});
    left->addRow(tr("Server Name:"), m_nameEdit);
    left->addRow(tr("Modbus:"), m_modbusCombo);
    right->addRow(tr("Protocol:"), m_protocolCombo);
    m_busScanButton = new QPushButton(tr("Bus scan..."));
    m_busScanButton->setObjectName(QStringLiteral("busScanButton"));
    right->addRow(m_busScanButton);

    using DeviceForm::intEdit;
    const int maxInt = 2147483647;

    // Network layer (ModbusTCP)
    m_networkGroup = new QGroupBox(tr("Network Layer Information"));
    m_networkGroup->setLayout(DeviceForm::formColumns(&left, &right));
    m_ipEdit = new QLineEdit;
    m_ipEdit->setValidator(Validators::ipv4(m_ipEdit));
    m_portEdit = intEdit(-1, 65535);
    m_connectionTimeoutEdit = intEdit(-1, maxInt);
    m_tcpTimeoutEdit = intEdit(-1, maxInt);
    m_keepAliveEdit = intEdit(-1, maxInt);
    left->addRow(tr("IP:"), m_ipEdit);
    left->addRow(tr("Port:"), m_portEdit);
    left->addRow(tr("Keep Alive Time:"), m_keepAliveEdit);
    right->addRow(tr("Connection Timeout:"), m_connectionTimeoutEdit);
    right->addRow(tr("Communication Timeout:"), m_tcpTimeoutEdit);

    // Serial port (ModbusRTU)
    m_serialGroup = new QGroupBox(tr("Serial Port Information"));
    m_serialGroup->setLayout(DeviceForm::formColumns(&left, &right));
    m_serialPortCombo = DeviceForm::choiceCombo(DeviceForm::serialPortChoices());
    m_baudRateCombo = DeviceForm::choiceCombo(DeviceForm::baudRateChoices());
    m_dataBitCombo = DeviceForm::choiceCombo(DeviceForm::dataBitChoices());
    m_stopBitCombo = DeviceForm::choiceCombo(DeviceForm::stopBitChoices());
    m_parityCombo = DeviceForm::choiceCombo(DeviceForm::parityChoices());
    m_rtsCheck = new QCheckBox;
    m_rtuTimeoutEdit = intEdit(-1, maxInt);
    m_gapEdit = intEdit(-1, maxInt);
    left->addRow(tr("Serial Port:"), m_serialPortCombo);
    left->addRow(tr("Baud Rate:"), m_baudRateCombo);
    left->addRow(tr("Data Bit:"), m_dataBitCombo);
    left->addRow(tr("Stop Bit:"), m_stopBitCombo);
    right->addRow(tr("Parity Bit:"), m_parityCombo);
    right->addRow(tr("Rts Enable:"), m_rtsCheck);
    right->addRow(tr("Communication Timeout:"), m_rtuTimeoutEdit);
    right->addRow(tr("Communication Gap:"), m_gapEdit);

    for (QGroupBox *group : {headGroup, m_networkGroup, m_serialGroup})
        group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    // Add Tab, then the trigger conditions and collection interval, in one row
    auto *tabRow = new QHBoxLayout;
    m_addTabButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/add.svg")), tr("Add Tab"));
    tabRow->addWidget(m_addTabButton);
    tabRow->addStretch();
    auto *triggerCombo = new QComboBox;
    triggerCombo->addItem(tr("Timed Loops"));
    m_intervalEdit = intEdit(-1, maxInt);
    tabRow->addWidget(new QLabel(tr("Trigger Conditions:")));
    tabRow->addWidget(triggerCombo);
    tabRow->addWidget(m_intervalEdit);

    m_tabWidget = new QTabWidget;
    m_tabWidget->setTabsClosable(true);

    contentLayout->addWidget(headGroup);
    contentLayout->addWidget(m_networkGroup);
    contentLayout->addWidget(m_serialGroup);
    contentLayout->addLayout(tabRow);
    contentLayout->addWidget(m_tabWidget, 1);
    scrollArea->setWidget(content);

    auto *buttonRow = new QHBoxLayout;
    m_saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("Save"));
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"));
    buttonRow->addWidget(m_saveButton);
    buttonRow->addWidget(m_cancelButton);
    // The form as it stands, saved or not, becomes the template.
    auto *templateButton = new QPushButton(tr("Save as Template..."));
    templateButton->setObjectName(QStringLiteral("saveTemplateButton"));
    buttonRow->addStretch();
    buttonRow->addWidget(templateButton);
    connect(templateButton, &QPushButton::clicked, this, [this] {
        loadPendingTabs(); // the tabs of a large device may still be on their way in
        saveAsTemplate(this, DeviceTemplate::fromModbus(recordFromFields()));
    });

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->addWidget(scrollArea);
    mainLayout->addLayout(buttonRow);

    connect(m_modbusCombo, &QComboBox::currentTextChanged, this, &standardModbusEditDialog::onProtocolChanged);
    connect(m_addTabButton, &QPushButton::clicked, this, &standardModbusEditDialog::addTab);
    connect(m_busScanButton, &QPushButton::clicked, this, &standardModbusEditDialog::openBusScan);
    connect(m_tabWidget, &QTabWidget::tabCloseRequested, this, &standardModbusEditDialog::deleteTab);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void standardModbusEditDialog::fillFromRecord()
{
    if (!m_item)
        return;
    ModbusDeviceRecord::writeDefaults(m_item);
    const ModbusDeviceRecord record = ModbusDeviceRecord::fromItem(m_item);
    m_nameEdit->setText(record.name);
    // Re-pointing fills exactly like construction: a record text that is no choice picks
    // the first one, never the previous device's selection, which Save would write here.
    DeviceForm::selectOr(m_protocolCombo, record.protocol);
    DeviceForm::selectOr(m_modbusCombo, record.mode);
    m_ipEdit->setText(record.ip);
    m_portEdit->setText(record.port);
    m_connectionTimeoutEdit->setText(record.connectionTimeout);
    m_tcpTimeoutEdit->setText(record.tcpCommunicationTimeout);
    m_keepAliveEdit->setText(record.keepAlive);
    DeviceForm::showSerialLine(serialControls(), record.serial);
    m_rtuTimeoutEdit->setText(record.rtuCommunicationTimeout);
    m_intervalEdit->setText(record.collectionInterval);
}

DeviceForm::SerialLineControls standardModbusEditDialog::serialControls() const
{
    return {m_serialPortCombo, m_baudRateCombo, m_dataBitCombo, m_stopBitCombo, m_parityCombo, m_rtsCheck, m_gapEdit};
}

void standardModbusEditDialog::onProtocolChanged(QString protocol)
{
    m_networkGroup->hide();
    m_serialGroup->hide();
    if (protocol == QLatin1String("ModbusRTU"))
        m_serialGroup->show();
    else if (protocol == QLatin1String("ModbusTCP"))
        m_networkGroup->show();
}

void standardModbusEditDialog::replaceItem(QStandardItem *item)
{
    log("replace");
    m_loadTimer->stop();
    m_item = item;
    fillFromRecord();
    while (m_tabWidget->count() > 0)
        removePage(0);
    m_nextTab = 1;
    loadTabs();
}

void standardModbusEditDialog::loadPendingTabs()
{
    if (m_loadTimer->isActive()) {
        m_loadTimer->stop();
        loadTabs();
    }
}

void standardModbusEditDialog::loadTabs()
{
    if (!m_item)
        return;
    const ModbusDeviceRecord record = ModbusDeviceRecord::fromItem(m_item);
    for (const ModbusSlaveRecord &slave : record.slaves) {
        log("loadParameters");
        QWidget *page = nullptr;
        for (int i = 0; i < m_tabWidget->count(); ++i) {
            if (m_tabWidget->tabText(i) == slave.title) {
                page = m_tabWidget->widget(i);
                break;
            }
        }
        if (!page) {
            page = createTabPage();
            m_tabWidget->addTab(page, slave.title);
        }
        selectExact(page->findChild<QComboBox *>(QStringLiteral("seriesComboBox")), slave.series);
        page->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"))->setText(slave.stationNum);
        selectExact(page->findChild<QComboBox *>(QStringLiteral("byteOrderComboBox")), slave.byteOrder);
        page->findChild<QCheckBox *>(QStringLiteral("startAddress0CheckBox"))->setChecked(slave.startAddress0);
        page->findChild<QCheckBox *>(QStringLiteral("charReversedCheckBox"))->setChecked(slave.charReversed);

        auto *pointTable = page->findChild<QTableWidget *>();
        m_points->clear(pointTable);
        m_points->appendLoadedRows(pointTable, slave.points);
    }
    renumberTabs();
}

void standardModbusEditDialog::renumberTabs()
{
    m_nextTab = DeviceForm::renumberTabs(m_tabWidget, QStringLiteral("Modbus"));
}

void standardModbusEditDialog::addTab()
{
    m_tabWidget->addTab(createTabPage(), QStringLiteral("Modbus-%1").arg(m_nextTab));
    ++m_nextTab;
}

void standardModbusEditDialog::deleteTab(int index)
{
    if (!m_tabWidget->widget(index))
        return;
    removePage(index);
    renumberTabs();
}

void standardModbusEditDialog::removePage(int index)
{
    QWidget *page = m_tabWidget->widget(index);
    m_points->forget(page->findChild<QTableWidget *>());
    m_tabWidget->removeTab(index);
    delete page;
}

QWidget *standardModbusEditDialog::createTabPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    QFormLayout *form = nullptr;
    QFormLayout *checks = nullptr;
    QHBoxLayout *columns = DeviceForm::formColumns(&form, &checks);
    auto *series = new QComboBox;
    series->setObjectName(QStringLiteral("seriesComboBox"));
    series->addItem(QStringLiteral("standard"));
    series->setEnabled(false);
    auto *station = new QLineEdit(QStringLiteral("1"));
    station->setObjectName(QStringLiteral("stationNumEdit"));
    station->setValidator(Validators::integer(-1, 2147483647, station));
    auto *byteOrder = new QComboBox;
    byteOrder->setObjectName(QStringLiteral("byteOrderComboBox"));
    byteOrder->addItems({QStringLiteral("ABCD"), QStringLiteral("BADC"), QStringLiteral("CDAB"), QStringLiteral("DCBA")});
    auto *startAddress0 = new QCheckBox;
    startAddress0->setObjectName(QStringLiteral("startAddress0CheckBox"));
    startAddress0->setChecked(true);
    auto *charReversed = new QCheckBox;
    charReversed->setObjectName(QStringLiteral("charReversedCheckBox"));
    form->addRow(tr("Series:"), series);
    form->addRow(tr("Station Num:"), station);
    form->addRow(tr("Byte Order:"), byteOrder);
    checks->addRow(tr("StartAddress0:"), startAddress0);
    checks->addRow(tr("Char Reversed:"), charReversed);

    auto *buttons = new QHBoxLayout;
    auto *add = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/add.svg")), tr("Add"));
    auto *removeAll = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Remove All"));
    auto *import = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Import"));
    auto *exportButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/write.svg")), tr("Export"));
    add->setMinimumWidth(10);
    removeAll->setMinimumWidth(15);
    import->setMinimumWidth(10);
    exportButton->setMinimumWidth(10);
    for (QPushButton *button : {add, removeAll, import, exportButton})
        buttons->addWidget(button);
    // The tab's own reads beside its two check boxes, where the form has a row to spare: in the
    // row of the table buttons six would widen the editor past its dock on a 1366-pixel screen.
    auto *reads = new QHBoxLayout;
    auto *testRead = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Test Read"));
    testRead->setObjectName(QStringLiteral("testReadButton"));
    reads->addWidget(testRead);
    auto *discover = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Discover registers..."));
    discover->setObjectName(QStringLiteral("discoverRegistersButton"));
    reads->addWidget(discover);
    reads->addStretch();
    checks->addRow(reads);

    QTableWidget *table = m_points->create(page);
    connect(table, &QTableWidget::cellChanged, this, &standardModbusEditDialog::validateName);
    connect(table, &QTableWidget::cellChanged, this, &standardModbusEditDialog::validateAddr);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    layout->addWidget(table, 1);

    // The buttons belong to this page, so they act on its table.
    connect(add, &QPushButton::clicked, this, [this, table] {
        log("addParameter");
        m_points->insertEmptyRow(table);
    });
    connect(removeAll, &QPushButton::clicked, this, [this, table] { m_points->removeAll(table); });
    connect(import, &QPushButton::clicked, this, [this, table] { m_points->importRows(table); });
    connect(exportButton, &QPushButton::clicked, this, [this, table] { m_points->exportRows(table); });
    connect(testRead, &QPushButton::clicked, this, [this, page] { openTestRead(page); });
    connect(discover, &QPushButton::clicked, this, [this, page] { openDiscovery(page); });
    return page;
}

bool standardModbusEditDialog::confirmFields()
{
    // A save before the deferred load ran must check the tabs it is about to write.
    loadPendingTabs();
    QVector<Validators::Field> fields;
    if (!m_networkGroup->isHidden()) {
        fields += {{tr("IP:"), m_ipEdit},
                   {tr("Port:"), m_portEdit},
                   {tr("Connection Timeout:"), m_connectionTimeoutEdit},
                   {tr("Communication Timeout:"), m_tcpTimeoutEdit},
                   {tr("Keep Alive Time:"), m_keepAliveEdit}};
    }
    if (!m_serialGroup->isHidden())
        fields += {{tr("Communication Timeout:"), m_rtuTimeoutEdit}, {tr("Communication Gap:"), m_gapEdit}};
    fields += {tr("Collection Interval"), m_intervalEdit};
    for (int i = 0; i < m_tabWidget->count(); ++i) {
        if (auto *station = m_tabWidget->widget(i)->findChild<QLineEdit *>(QStringLiteral("stationNumEdit")))
            fields += {m_tabWidget->tabText(i) + QLatin1Char(' ') + tr("Station Num:"), station};
    }
    if (!Validators::confirmAcceptable(this, fields))
        return false;
    return m_networkGroup->isHidden() || Validators::confirmNoLeadingZero(this, {{tr("IP:"), m_ipEdit}});
}

void standardModbusEditDialog::saveChanges()
{
    if (!m_item)
        return;
    // A save before the deferred load ran must not write an empty point table.
    loadPendingTabs();
    if (!confirmFields())
        return;
    log("save");

    recordFromFields().commitTo(m_item);
    message(tr("The Standard Modbus '%1' is saved successfully.").arg(m_nameEdit->text()));
}

// --- table checks -------------------------------------------------------------------

QTableWidget *standardModbusEditDialog::currentTable() const
{
    QWidget *page = m_tabWidget->currentWidget();
    return page ? page->findChild<QTableWidget *>() : nullptr;
}

QTableWidget *standardModbusEditDialog::tableFromSender() const
{
    if (auto *table = qobject_cast<QTableWidget *>(sender()))
        return table;
    return currentTable();
}

void standardModbusEditDialog::validateName(int row, int column)
{
    QTableWidget *table = tableFromSender();
    if (column != Col::ColName || !table || !table->item(row, column))
        return;
    m_points->checkName(table, row, nullptr);
}

void standardModbusEditDialog::validateNameOnChange(int row, int column, QString newName)
{
    Q_UNUSED(newName)
    QTableWidget *table = tableFromSender();
    if (!table)
        return;
    if (auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(row, column)))
        m_points->checkName(table, row, edit);
}

void standardModbusEditDialog::validateAddr(int row, int column)
{
    QTableWidget *table = tableFromSender();
    if (column != Col::ColAddress || !table || !table->item(row, column))
        return;
    m_points->checkAddress(table, row, nullptr);
}

void standardModbusEditDialog::validateAddrOnChange(int row, int column, QString text)
{
    Q_UNUSED(text)
    QTableWidget *table = tableFromSender();
    if (!table)
        return;
    if (auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(row, column)))
        m_points->checkAddress(table, row, edit);
}

bool standardModbusEditDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Scrolling the table must never change a choice under the pointer.
    if (event->type() == QEvent::Wheel && qobject_cast<QComboBox *>(watched))
        return true;
    return QDialog::eventFilter(watched, event);
}

void standardModbusEditDialog::message(const QString &text)
{
    emit messageAppended(text);
}


ModbusDeviceRecord standardModbusEditDialog::recordFromFields(bool withSlaves) const
{
    ModbusDeviceRecord record;
    record.name = m_nameEdit->text();
    record.protocol = m_protocolCombo->currentText();
    record.mode = m_modbusCombo->currentText();
    record.ip = m_ipEdit->text();
    record.port = m_portEdit->text();
    record.connectionTimeout = m_connectionTimeoutEdit->text();
    record.tcpCommunicationTimeout = m_tcpTimeoutEdit->text();
    record.keepAlive = m_keepAliveEdit->text();
    record.serial = DeviceForm::readSerialLine(serialControls());
    record.rtuCommunicationTimeout = m_rtuTimeoutEdit->text();
    record.collectionInterval = m_intervalEdit->text();
    for (int i = 0; withSlaves && i < m_tabWidget->count(); ++i) {
        ModbusSlaveRecord slave;
        if (slaveFromPage(i, &slave))
            record.slaves.append(slave);
    }
    return record;
}

bool standardModbusEditDialog::slaveFromPage(int index, ModbusSlaveRecord *slave) const
{
    // Found by their names; a tab that lacks one of them is not stored.
    QWidget *page = m_tabWidget->widget(index);
    auto *series = page->findChild<QComboBox *>(QStringLiteral("seriesComboBox"));
    auto *station = page->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"));
    auto *byteOrder = page->findChild<QComboBox *>(QStringLiteral("byteOrderComboBox"));
    auto *startAddress0 = page->findChild<QCheckBox *>(QStringLiteral("startAddress0CheckBox"));
    auto *charReversed = page->findChild<QCheckBox *>(QStringLiteral("charReversedCheckBox"));
    auto *table = page->findChild<QTableWidget *>();
    if (!series || !station || !byteOrder || !startAddress0 || !charReversed || !table)
        return false;
    slave->title = m_tabWidget->tabText(index);
    slave->series = series->currentText();
    slave->stationNum = station->text();
    slave->byteOrder = byteOrder->currentText();
    slave->startAddress0 = startAddress0->isChecked();
    slave->charReversed = charReversed->isChecked();
    slave->points.clear();
    slave->points.reserve(table->rowCount());
    for (int row = 0; row < table->rowCount(); ++row)
        slave->points.append(ModbusPointTables::rowValues(table, row));
    return true;
}

// --- test read -----------------------------------------------------------------------

bool standardModbusEditDialog::linkAndSlave(QWidget *page, ModbusDeviceRecord *device, ModbusSlaveRecord *slave)
{
    // The form as it stands now, saved or not.
    *device = recordFromFields(false);
    if (!device->usesRtu() && !Validators::confirmNoLeadingZero(this, {{tr("IP:"), m_ipEdit}}))
        return false;
    return slaveFromPage(m_tabWidget->indexOf(page), slave);
}

void standardModbusEditDialog::openTestRead(QWidget *page)
{
    ModbusDeviceRecord device;
    ModbusSlaveRecord slave;
    if (!linkAndSlave(page, &device, &slave))
        return;
    auto *window = new ModbusTestReadDialog(device, slave, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

// --- register discovery --------------------------------------------------------------

void standardModbusEditDialog::openDiscovery(QWidget *page)
{
    ModbusDeviceRecord device;
    ModbusSlaveRecord slave;
    if (!linkAndSlave(page, &device, &slave))
        return;
    // Found points go into this tab, as it stands when they are added.
    const QPointer<QWidget> tab(page);
    RegisterDiscoveryDialog::Target target;
    target.tab = [this, tab](DiscoveredPoints::Tab *settings, ModbusValueCodec::ByteOrder *order) {
        const int index = tab ? m_tabWidget->indexOf(tab) : -1;
        ModbusSlaveRecord current;
        if (index < 0 || !slaveFromPage(index, &current))
            return false;
        settings->startAddress0 = current.startAddress0;
        settings->names.clear();
        for (const QStringList &row : qAsConst(current.points))
            settings->names << row.value(ModbusPointTables::ColName);
        *order = ModbusValueCodec::byteOrderFromText(current.byteOrder);
        return true;
    };
    target.append = [this, tab](const QList<QStringList> &rows) {
        if (auto *table = tab ? tab->findChild<QTableWidget *>() : nullptr) {
            m_points->appendLoadedRows(table, rows);
            m_tabWidget->setCurrentWidget(tab);
        }
    };
    target.setOrder = [tab](ModbusValueCodec::ByteOrder order) {
        static const QStringList texts{QStringLiteral("ABCD"), QStringLiteral("BADC"), QStringLiteral("CDAB"),
                                       QStringLiteral("DCBA")};
        if (auto *combo = tab ? tab->findChild<QComboBox *>(QStringLiteral("byteOrderComboBox")) : nullptr)
            selectExact(combo, texts.value(int(order)));
    };
    const ModbusSlave parsed(slave.stationNum, slave.byteOrder, slave.startAddress0, slave.charReversed, {});
    auto *window = new RegisterDiscoveryDialog(
        device.name, ModbusLinkSettings::fromParameters(device.mode, device.linkParameters()), parsed.station,
        target, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

// --- bus scan ------------------------------------------------------------------------

void standardModbusEditDialog::openBusScan()
{
    const ModbusDeviceRecord device = recordFromFields(false);
    BusScanDialog::Defaults defaults;
    defaults.tcp = device.usesTcp();
    defaults.setting = {device.serial.baudRate.toInt(), device.serial.parityBit, device.serial.stopBit.toInt()};
    defaults.host = device.ip;
    defaults.port = device.port.toInt();
    auto *window = new BusScanDialog(defaults, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &BusScanDialog::addAsSlaveTab, this, &standardModbusEditDialog::addFoundSlave);
    window->show();
}

void standardModbusEditDialog::addFoundSlave(const BusScanDialog::Found &found)
{
    loadPendingTabs();
    const ModbusDeviceRecord current = recordFromFields(false);
    ModbusDeviceRecord link = current;
    const bool changed = found.applyTo(&link);
    // The link is the device's, shared by every tab: moving it may cut off the others.
    if (changed && m_tabWidget->count() > 0) {
        const QString now = current.usesTcp()
                                ? QStringLiteral("ModbusTCP %1:%2").arg(current.ip, current.port)
                                : QStringLiteral("%1 %2%3%4")
                                      .arg(current.serial.baudRate, current.serial.dataBit,
                                           current.serial.parityBit.left(1), current.serial.stopBit);
        const auto answer = QMessageBox::question(
            this, tr("Bus scan"),
            tr("The other slave tabs of this device were set up for %1, but station %2 answered at %3. "
               "Change the device's link to %3 and add the tab?")
                .arg(now)
                .arg(found.row.id)
                .arg(found.describe()));
        if (answer != QMessageBox::Yes)
            return;
    }
    DeviceForm::selectOr(m_modbusCombo, link.mode);
    m_ipEdit->setText(link.ip);
    m_portEdit->setText(link.port);
    DeviceForm::showSerialLine(serialControls(), link.serial);

    addTab();
    const int index = m_tabWidget->count() - 1;
    m_tabWidget->widget(index)->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"))->setText(QString::number(found.row.id));
    m_tabWidget->setCurrentIndex(index);
    message(tr("Slave tab %1 added for station %2 (%3).")
                .arg(m_tabWidget->tabText(index))
                .arg(found.row.id)
                .arg(found.describe()));
}
