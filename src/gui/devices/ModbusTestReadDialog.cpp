#include "gui/devices/ModbusTestReadDialog.h"

#include "gui/devices/SerialDeviceRows.h"
#include "gui/devices/TrafficPane.h"

#include "core/project/ModbusDeviceRecord.h"
#include "core/support/WriteLog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

ModbusTestReadDialog::ModbusTestReadDialog(const QString &deviceName, const ModbusLinkSettings &link,
                                           const ModbusSlave &slave, QWidget *parent)
    : QDialog(parent), m_deviceName(deviceName), m_link(link), m_slave(slave)
{
    writeLog(QStringLiteral("ModbusTestReadDialog: new-nuilt"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Test Read: %1").arg(deviceName));
    setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/read.svg")));

    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    form->addRow(tr("Device:"), new QLabel(deviceName));
    if (m_link.mode == ModbusLinkSettings::Mode::Tcp) {
        form->addRow(tr("Connection:"), new QLabel(tr("ModbusTCP %1:%2, connection time-out %3 ms")
                                                       .arg(m_link.host)
                                                       .arg(m_link.port)
                                                       .arg(m_link.connectionTimeoutMs)));
    } else {
        m_serialCombo = SerialDeviceRows::add(form, {m_link.serialDevice, m_link.baudRate, m_link.dataBits,
                                                     m_link.stopBits, m_link.parity, m_link.projectPort});
    }
    form->addRow(tr("Station Num:"), new QLabel(m_slave.stationText));
    form->addRow(tr("Communication time-out:"), new QLabel(tr("%1 ms").arg(m_link.requestTimeoutMs)));
    layout->addLayout(form);

    m_table = new QTableWidget(m_slave.points.size(), ColumnCount);
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("Address"), tr("Type"), tr("Registers (hex)"),
                                        tr("Value"), tr("Status")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < m_slave.points.size(); ++row) {
        const ModbusPoint &point = m_slave.points.at(row);
        const QStringList texts{point.name, point.addressText, point.typeText, QString(), QString(), QString()};
        for (int column = 0; column < ColumnCount; ++column)
            m_table->setItem(row, column, new QTableWidgetItem(texts.at(column)));
    }
    m_traffic = new ModbusTraffic(this);
    m_trafficPane = new TrafficPane(m_traffic);
    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("testReadTabs"));
    m_tabs->addTab(m_table, tr("Points"));
    m_tabs->addTab(m_trafficPane, tr("Traffic"));
    layout->addWidget(m_tabs);

    auto *buttons = new QHBoxLayout;
    m_readButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Read"));
    m_repeatButton = new QPushButton(tr("Repeat"));
    m_repeatButton->setCheckable(true);
    m_valueEdit = new QLineEdit;
    m_valueEdit->setPlaceholderText(tr("Value to write"));
    m_writeButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/write.svg")), tr("Write"));
    m_closeButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Close"));
    buttons->addWidget(m_readButton);
    buttons->addWidget(m_repeatButton);
    buttons->addStretch();
    buttons->addWidget(m_valueEdit);
    buttons->addWidget(m_writeButton);
    buttons->addWidget(m_closeButton);
    layout->addLayout(buttons);
    m_stateLabel = new QLabel;
    layout->addWidget(m_stateLabel);
    resize(720, 480);

    m_repeatTimer.setInterval(m_link.intervalMs);
    connect(&m_repeatTimer, &QTimer::timeout, this, [this] {
        if (!isBusy())
            readOnce();
    });
    connect(m_readButton, &QPushButton::clicked, this, &ModbusTestReadDialog::readOnce);
    connect(m_repeatButton, &QPushButton::toggled, this, &ModbusTestReadDialog::setRepeat);
    connect(m_writeButton, &QPushButton::clicked, this, &ModbusTestReadDialog::writeSelected);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this] { updateWriteButton(); });
    updateWriteButton();
}

ModbusTestReadDialog::ModbusTestReadDialog(const ModbusDeviceRecord &device, const ModbusSlaveRecord &slave,
                                           QWidget *parent)
    : ModbusTestReadDialog(device.name, ModbusLinkSettings::fromParameters(device.mode, device.linkParameters()),
                           ModbusSlave(slave.stationNum, slave.byteOrder, slave.startAddress0, slave.charReversed,
                                       slave.points),
                           parent)
{
}

ModbusTestReadDialog::~ModbusTestReadDialog()
{
    // The reader goes before the table it reports into: a request that still waits must not
    // end in showResults() on a half-destroyed window.
    delete m_reader;
    m_reader = nullptr;
    writeLog(QStringLiteral("ModbusTestReadDialog: destroyed"));
}

QString ModbusTestReadDialog::statusText(const QString &status) const
{
    return modbusStatusText(status);
}

QString ModbusTestReadDialog::linkText(const ModbusReader::PointResult &result) const
{
    using Link = ModbusClient::Result::Link;
    const QString where = m_link.mode == ModbusLinkSettings::Mode::Tcp
                              ? QStringLiteral("%1:%2").arg(m_link.host).arg(m_link.port)
                              : m_link.serialDevice;
    switch (result.link) {
    case Link::Fine: break;
    case Link::Refused: return tr("connection refused by %1").arg(where);
    case Link::NoConnection: return tr("no connection to %1 within %2 ms").arg(where).arg(m_link.connectionTimeoutMs);
    case Link::Dropped: return tr("connection to %1 dropped").arg(where);
    case Link::BadAddress: return tr("%1 is not a usable IPv4 address").arg(m_link.host);
    case Link::SerialUnusable: return tr("serial device %1 not usable: %2").arg(where, result.detail);
    }
    return statusText(result.status);
}

bool ModbusTestReadDialog::prepareReader()
{
    if (m_link.mode == ModbusLinkSettings::Mode::Rtu) {
        const QString device = m_serialCombo->currentText().trimmed();
        if (device.isEmpty()) {
            QMessageBox::warning(this, tr("Test Read"), tr("Choose the serial device to read through."));
            return false;
        }
        if (m_reader && device != m_link.serialDevice) {
            delete m_reader;
            m_reader = nullptr;
        }
        m_link.serialDevice = device;
    }
    if (!m_reader) {
        m_reader = new ModbusReader(m_link, this);
        connect(m_reader, &ModbusReader::readFinished, this, &ModbusTestReadDialog::showResults);
        connect(m_reader, &ModbusReader::writeFinished, this, &ModbusTestReadDialog::writeDone);
        m_traffic->attach(m_reader->client());
    }
    return true;
}

void ModbusTestReadDialog::readOnce()
{
    if (isBusy())
        return;
    if (!prepareReader()) {
        m_repeatButton->setChecked(false);
        return;
    }
    m_stateLabel->setText(tr("Reading..."));
    m_reader->read({m_slave});
}

void ModbusTestReadDialog::setRepeat(bool on)
{
    m_repeatButton->setText(on ? tr("Stop") : tr("Repeat"));
    if (!on) {
        m_repeatTimer.stop();
        return;
    }
    m_repeatTimer.start();
    readOnce();
}

void ModbusTestReadDialog::showResults(const QVector<ModbusReader::SlaveResults> &results)
{
    const ModbusReader::SlaveResults list = results.value(0);
    int failed = 0;
    for (int row = 0; row < list.size() && row < m_table->rowCount(); ++row) {
        const ModbusReader::PointResult &result = list.at(row);
        QStringList words;
        for (quint16 word : result.words)
            words.append(QStringLiteral("%1").arg(word, m_slave.points.at(row).isBitTable() ? 1 : 4, 16,
                                                  QLatin1Char('0')).toUpper());
        m_table->item(row, ColRegisters)->setText(words.join(QLatin1Char(' ')));
        m_table->item(row, ColValue)->setText(result.value);
        QTableWidgetItem *status = m_table->item(row, ColStatus);
        status->setText(linkText(result));
        status->setData(StatusRole, result.status);
        const QBrush colour = result.ok() ? QBrush() : QBrush(Qt::red);
        for (int column = 0; column < ColumnCount; ++column)
            m_table->item(row, column)->setForeground(colour);
        failed += result.ok() ? 0 : 1;
    }
    ++m_readCount;
    m_stateLabel->setText(tr("Read at %1: %2 of %3 points failed.")
                              .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")))
                              .arg(failed)
                              .arg(list.size()));
    if (!m_pendingWrite.isEmpty()) {
        m_stateLabel->setText(m_pendingWrite + QLatin1Char(' ') + m_stateLabel->text());
        m_pendingWrite.clear();
    }
}

void ModbusTestReadDialog::updateWriteButton()
{
    const int row = m_table->currentRow();
    m_writeButton->setEnabled(row >= 0 && row < m_slave.points.size() && m_slave.error.isEmpty()
                              && m_slave.points.at(row).isWritable());
}

void ModbusTestReadDialog::writeSelected()
{
    const int row = m_table->currentRow();
    if (row < 0 || row >= m_slave.points.size())
        return;
    const ModbusPoint &point = m_slave.points.at(row);
    if (!point.isWritable() || !m_slave.error.isEmpty()) {
        QMessageBox::warning(this, tr("Write"), tr("The point \"%1\" cannot be written.").arg(point.name));
        return;
    }
    const QString value = m_valueEdit->text();
    QVector<quint16> words;
    QString error;
    if (!m_slave.codec.encode(point, value, &words, &error)) {
        QMessageBox::warning(this, tr("Write"),
                             tr("\"%1\" is no value for the %2 point \"%3\".").arg(value, point.typeText, point.name));
        return;
    }
    const auto answer = QMessageBox::question(
        this, tr("Write"),
        tr("Write %1 to the point \"%2\" (address %3) of the device \"%4\", station %5?")
            .arg(value, point.name, point.addressText, m_deviceName, m_slave.stationText),
        QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (isBusy()) {
        QMessageBox::warning(this, tr("Write"), tr("A read is running; write again when it has finished."));
        return;
    }
    if (!prepareReader())
        return;
    writeLog(QStringLiteral("ModbusTestReadDialog: write"));
    if (!m_reader->write(m_slave, row, value, &error)) {
        QMessageBox::warning(this, tr("Write"), tr("Writing failed: %1").arg(statusText(error)));
        return;
    }
    m_pendingWrite = tr("Wrote %1 to \"%2\".").arg(value, point.name);
    m_stateLabel->setText(tr("Writing..."));
}

void ModbusTestReadDialog::writeDone(const QString &status)
{
    if (!status.isEmpty()) {
        m_pendingWrite.clear();
        m_stateLabel->clear();
        QMessageBox::warning(this, tr("Write"), tr("Writing failed: %1").arg(statusText(status)));
        return;
    }
    // Show what the device holds now.
    readOnce();
}
