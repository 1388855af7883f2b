#include "gui/devices/RegisterDiscoveryDialog.h"

#include "gui/devices/SerialDeviceRows.h"
#include "gui/devices/TrafficPane.h"

#include "core/modbus/ModbusClient.h"
#include "core/modbus/ModbusTraffic.h"
#include "core/support/WriteLog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

using Order = ModbusValueCodec::ByteOrder;
using Table = ModbusPoint::Table;
using Type = ModbusPoint::Type;

const Order kOrders[] = {Order::ABCD, Order::BADC, Order::CDAB, Order::DCBA};

QString orderText(Order order)
{
    switch (order) {
    case Order::ABCD: return QStringLiteral("ABCD");
    case Order::BADC: return QStringLiteral("BADC");
    case Order::CDAB: return QStringLiteral("CDAB");
    case Order::DCBA: return QStringLiteral("DCBA");
    }
    return QStringLiteral("ABCD");
}

bool isBitTable(Table table)
{
    return table == Table::Coils || table == Table::DiscreteInputs;
}

// The value columns of a register table, in the order RegisterDiscovery::interpretations()
// lists them.
QStringList valueHeaders()
{
    QStringList headers{QStringLiteral("uint16"), QStringLiteral("int16")};
    for (const Order order : kOrders) {
        for (const Type type : {Type::UInt32, Type::Int32, Type::Float})
            headers << ModbusPoint::typeName(type) + QLatin1Char(' ') + orderText(order);
    }
    return headers;
}

} // namespace

// --- the results model --------------------------------------------------------------

DiscoveredRegisterModel::DiscoveredRegisterModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void DiscoveredRegisterModel::setResult(const RegisterDiscovery::Result &result)
{
    beginResetModel();
    m_bits = isBitTable(result.table);
    m_values = result.values;
    m_addresses = m_values.keys().toVector();
    endResetModel();
}

int DiscoveredRegisterModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_addresses.size();
}

int DiscoveredRegisterModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_bits ? 2 : 1 + valueHeaders().size();
}

QVariant DiscoveredRegisterModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_addresses.size())
        return QVariant();
    const int address = m_addresses.at(index.row());
    if (index.column() == 0)
        return address;
    const quint16 value = m_values.value(address);
    if (m_bits)
        return int(value);
    // Computed when shown: a run over a whole table can find thousands of registers.
    QVector<quint16> words{value};
    if (m_values.contains(address + 1))
        words.append(m_values.value(address + 1));
    const QVector<RegisterDiscovery::Interpretation> list = RegisterDiscovery::interpretations(words);
    const int at = index.column() - 1;
    return at < list.size() ? list.at(at).value : QString();
}

QVariant DiscoveredRegisterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return RegisterDiscoveryDialog::tr("Address");
    if (m_bits)
        return RegisterDiscoveryDialog::tr("Value");
    return valueHeaders().value(section - 1);
}

// --- the window ---------------------------------------------------------------------

RegisterDiscoveryDialog::RegisterDiscoveryDialog(const QString &deviceName, const ModbusLinkSettings &link,
                                                 int unit, const Target &target, QWidget *parent)
    : QDialog(parent), m_link(link), m_unit(unit), m_target(target)
{
    writeLog(QStringLiteral("RegisterDiscoveryDialog: new-built"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Discover registers: %1").arg(deviceName));
    setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/read.svg")));

    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    if (m_link.mode == ModbusLinkSettings::Mode::Tcp) {
        form->addRow(tr("Connection:"), new QLabel(QStringLiteral("ModbusTCP %1:%2").arg(m_link.host).arg(m_link.port)));
    } else {
        m_serialCombo = SerialDeviceRows::add(form, {m_link.serialDevice, m_link.baudRate, m_link.dataBits,
                                                     m_link.stopBits, m_link.parity, m_link.projectPort});
    }
    form->addRow(tr("Station Num:"), new QLabel(QString::number(unit)));

    m_tableCombo = new QComboBox;
    m_tableCombo->addItem(tr("Holding registers"), int(Table::HoldingRegisters));
    m_tableCombo->addItem(tr("Input registers"), int(Table::InputRegisters));
    m_tableCombo->addItem(tr("Coils"), int(Table::Coils));
    m_tableCombo->addItem(tr("Discrete inputs"), int(Table::DiscreteInputs));
    form->addRow(tr("Table:"), m_tableCombo);
    auto *range = new QHBoxLayout;
    m_fromSpin = new QSpinBox;
    m_fromSpin->setRange(0, 65535);
    m_fromSpin->setValue(0);
    m_toSpin = new QSpinBox;
    m_toSpin->setRange(0, 65535);
    m_toSpin->setValue(RegisterDiscovery::DefaultLast);
    range->addWidget(m_fromSpin);
    range->addWidget(new QLabel(tr("to")));
    range->addWidget(m_toSpin);
    range->addStretch();
    form->addRow(tr("Addresses (from 0):"), range);
    layout->addLayout(form);

    auto *run = new QHBoxLayout;
    m_startButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Discover"));
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"));
    m_progress = new QProgressBar;
    m_progress->setValue(0);
    run->addWidget(m_startButton);
    run->addWidget(m_progress, 1);
    run->addWidget(m_cancelButton);
    layout->addLayout(run);

    m_model = new DiscoveredRegisterModel(this);
    m_view = new QTableView;
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_traffic = new ModbusTraffic(this);
    m_trafficPane = new TrafficPane(m_traffic);
    m_tabs = new QTabWidget;
    m_tabs->addTab(m_view, tr("Registers"));
    m_tabs->addTab(m_trafficPane, tr("Traffic"));
    layout->addWidget(m_tabs, 1);

    m_rangesLabel = new QLabel;
    m_rangesLabel->setWordWrap(true);
    m_rangesLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_requestsLabel = new QLabel;
    m_noticeLabel = new QLabel;
    m_noticeLabel->setWordWrap(true);
    layout->addWidget(m_rangesLabel);
    layout->addWidget(m_requestsLabel);
    layout->addWidget(m_noticeLabel);

    auto *add = new QHBoxLayout;
    m_typeCombo = new QComboBox;
    m_orderCombo = new QComboBox;
    for (const Order order : kOrders)
        m_orderCombo->addItem(orderText(order), int(order));
    DiscoveredPoints::Tab tab;
    Order tabOrder = Order::ABCD;
    if (m_target.tab && m_target.tab(&tab, &tabOrder))
        m_orderCombo->setCurrentIndex(m_orderCombo->findData(int(tabOrder)));
    m_addButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/add.svg")), tr("Add as points"));
    m_closeButton = new QPushButton(tr("Close"));
    add->addWidget(new QLabel(tr("Type:")));
    add->addWidget(m_typeCombo);
    add->addWidget(new QLabel(tr("Byte Order:")));
    add->addWidget(m_orderCombo);
    add->addWidget(m_addButton);
    add->addStretch();
    add->addWidget(m_closeButton);
    layout->addLayout(add);
    m_stateLabel = new QLabel;
    m_stateLabel->setWordWrap(true);
    layout->addWidget(m_stateLabel);
    resize(900, 600);

    offerTypes(Table::HoldingRegisters);
    connect(m_startButton, &QPushButton::clicked, this, &RegisterDiscoveryDialog::start);
    connect(m_cancelButton, &QPushButton::clicked, this, &RegisterDiscoveryDialog::cancel);
    connect(m_addButton, &QPushButton::clicked, this, &RegisterDiscoveryDialog::addSelectedAsPoints);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);
    setRunning(false);
    if (m_unit < 1 || m_unit > 247) {
        m_startButton->setEnabled(false);
        m_stateLabel->setText(tr("The tab's station number is not one a slave can have (1 to 247): "
                                 "correct it in the tab and open this window again."));
    }
}

RegisterDiscoveryDialog::~RegisterDiscoveryDialog()
{
    // The run goes before the client it sends through, and says nothing more to this window.
    if (m_discovery)
        m_discovery->disconnect(this);
    delete m_discovery;
    m_discovery = nullptr;
    m_traffic->detach();
    delete m_client;
    m_client = nullptr;
    writeLog(QStringLiteral("RegisterDiscoveryDialog: destroyed"));
}

bool RegisterDiscoveryDialog::isRunning() const
{
    return m_discovery && m_discovery->isRunning();
}

QString RegisterDiscoveryDialog::rangesText(const QVector<RegisterDiscovery::Range> &ranges)
{
    QStringList parts;
    for (const RegisterDiscovery::Range &range : ranges) {
        parts << (range.from == range.to ? QString::number(range.from)
                                         : QStringLiteral("%1\u2013%2").arg(range.from).arg(range.to));
    }
    return parts.join(QStringLiteral(", "));
}

void RegisterDiscoveryDialog::setRunning(bool running)
{
    m_startButton->setEnabled(!running && m_unit >= 1 && m_unit <= 247);
    m_cancelButton->setEnabled(running);
    m_addButton->setEnabled(!running && m_haveResult);
    for (QWidget *widget : {static_cast<QWidget *>(m_tableCombo), static_cast<QWidget *>(m_fromSpin),
                            static_cast<QWidget *>(m_toSpin)})
        widget->setEnabled(!running);
    if (m_serialCombo)
        m_serialCombo->setEnabled(!running);
}

void RegisterDiscoveryDialog::offerTypes(ModbusPoint::Table table)
{
    m_typeCombo->clear();
    if (isBitTable(table)) {
        m_typeCombo->addItem(ModbusPoint::typeName(Type::Bool), int(Type::Bool));
    } else {
        for (const Type type : {Type::UInt16, Type::Int16, Type::UInt32, Type::Int32, Type::Float})
            m_typeCombo->addItem(ModbusPoint::typeName(type), int(type));
    }
    m_orderCombo->setEnabled(!isBitTable(table));
}

void RegisterDiscoveryDialog::start()
{
    if (isRunning())
        return;
    if (m_fromSpin->value() > m_toSpin->value()) {
        m_stateLabel->setText(tr("The first address must not lie after the last."));
        return;
    }
    if (m_serialCombo) {
        const QString device = m_serialCombo->currentText().trimmed();
        if (device.isEmpty()) {
            m_stateLabel->setText(tr("Choose the serial device to read through."));
            return;
        }
        m_link.serialDevice = device;
    }
    // A fresh connection for each run: the serial device or the line may have changed.
    delete m_discovery;
    m_traffic->detach();
    delete m_client;
    m_client = new ModbusClient(m_link, this);
    m_traffic->attach(m_client);
    m_discovery = new RegisterDiscovery(m_client, this);
    connect(m_discovery, &RegisterDiscovery::progress, this, [this](int judged, int total) {
        m_progress->setRange(0, total);
        m_progress->setValue(judged);
    });
    connect(m_discovery, &RegisterDiscovery::finished, this, &RegisterDiscoveryDialog::showResult);

    const auto table = Table(m_tableCombo->currentData().toInt());
    m_progress->setRange(0, m_toSpin->value() - m_fromSpin->value() + 1);
    m_progress->setValue(0);
    m_rangesLabel->clear();
    m_requestsLabel->clear();
    m_noticeLabel->clear();
    m_stateLabel->setText(tr("Discovering..."));
    if (!m_discovery->start(quint8(m_unit), table, m_fromSpin->value(), m_toSpin->value())) {
        m_stateLabel->setText(tr("Discovery could not start."));
        return;
    }
    setRunning(true);
}

void RegisterDiscoveryDialog::cancel()
{
    if (isRunning())
        m_discovery->cancel();
}

void RegisterDiscoveryDialog::showResult(const RegisterDiscovery::Result &result)
{
    m_result = result;
    m_haveResult = true;
    m_model->setResult(result);
    offerTypes(result.table);
    m_rangesLabel->setText(result.readable.isEmpty() ? tr("No readable address found.")
                                                     : tr("Readable: %1").arg(rangesText(result.readable)));
    m_requestsLabel->setText(tr("Requests: %1").arg(result.requests));
    m_noticeLabel->setText(RegisterDiscovery::missedNotice(result));
    m_stateLabel->setText(RegisterDiscovery::endText(result));
    if (result.completed())
        m_progress->setValue(m_progress->maximum());
    setRunning(false);
    emit discoveryEnded(result);
}

void RegisterDiscoveryDialog::addSelectedAsPoints()
{
    if (!m_haveResult || isRunning())
        return;
    QVector<int> selected;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        selected.append(m_model->address(index.row()));
    if (selected.isEmpty()) {
        m_stateLabel->setText(tr("Select the registers to add first."));
        return;
    }
    DiscoveredPoints::Tab tab;
    Order tabOrder = Order::ABCD;
    if (!m_target.tab || !m_target.tab(&tab, &tabOrder)) {
        QMessageBox::warning(this, tr("Add as points"),
                             tr("The slave tab this window was opened for is gone: no point was added."));
        return;
    }
    const auto type = Type(m_typeCombo->currentData().toInt());
    const auto order = Order(m_orderCombo->currentData().toInt());
    if (!DiscoveredPoints::sameReading(m_result.table, type, order, tabOrder)) {
        // The tab's order applies to every point of the tab: the user decides.
        const auto answer = QMessageBox::question(
            this, tr("Add as points"),
            tr("The tab reads its points in byte order %1, the chosen order is %2. "
               "Change the tab's byte order to %2? It applies to every point of the tab.")
                .arg(orderText(tabOrder), orderText(order)),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
        if (answer == QMessageBox::Cancel)
            return;
        if (answer == QMessageBox::Yes)
            m_target.setOrder(order);
    }
    const DiscoveredPoints::Outcome outcome =
        DiscoveredPoints::rows(m_result.table, selected, m_result.values, type, tab);
    if (!outcome.rows.isEmpty())
        m_target.append(outcome.rows);
    QString text = tr("Points added: %1.").arg(outcome.rows.size());
    if (!outcome.leftOut.isEmpty()) {
        QStringList addresses;
        for (const int address : outcome.leftOut)
            addresses << QString::number(address);
        text += QLatin1Char(' ')
                + tr("Left out (the type needs registers after them that were not read): %1")
                      .arg(addresses.join(QStringLiteral(", ")));
    }
    m_stateLabel->setText(text);
}
