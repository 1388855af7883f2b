#include "gui/devices/MeterTestReadDialog.h"

#include "core/dlt645/Dlt645Status.h"
#include "core/dlt645/Dlt645Value.h"
#include "core/support/WriteLog.h"
#include "gui/devices/SerialDeviceRows.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

MeterTestReadDialog::MeterTestReadDialog(const QString &deviceName, const Dlt645Line &line,
                                         const Dlt645Meter &meter, QWidget *parent)
    : QDialog(parent), m_deviceName(deviceName), m_line(line), m_meter(meter)
{
    writeLog(QStringLiteral("MeterTestReadDialog: new-nuilt"));
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Test Read: %1").arg(deviceName));
    setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/read.svg")));

    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    form->addRow(tr("Device:"), new QLabel(deviceName));
    m_serialCombo = SerialDeviceRows::add(form, {m_line.serial.device, m_line.serial.baudRate,
                                                 m_line.serial.dataBits, m_line.serial.stopBits,
                                                 m_line.serial.parity, m_line.projectPort});
    form->addRow(tr("Meter address:"), new QLabel(m_meter.address));
    form->addRow(tr("Communication time-out:"), new QLabel(tr("%1 ms").arg(m_line.timeoutMs)));
    layout->addLayout(form);

    m_table = new QTableWidget(m_meter.items.size(), ColumnCount);
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("Data name"), tr("Value"), tr("Unit"), tr("Status"),
                                        tr("Round trip (ms)")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < m_meter.items.size(); ++row) {
        const Dlt645MeterItem &item = m_meter.items.at(row);
        quint32 identifier = 0;
        const QString unit = Dlt645::parseIdentifier(item.identifier, m_meter.edition, &identifier)
                                 ? Dlt645::unitOf(m_meter.edition, identifier)
                                 : QString();
        const QStringList texts{item.name, item.dataItem, QString(), unit, QString(), QString()};
        for (int column = 0; column < ColumnCount; ++column)
            m_table->setItem(row, column, new QTableWidgetItem(texts.at(column)));
    }
    layout->addWidget(m_table);

    auto *buttons = new QHBoxLayout;
    m_readButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Read"));
    m_repeatButton = new QPushButton(tr("Repeat"));
    m_repeatButton->setCheckable(true);
    m_addressButton = new QPushButton(tr("Read address"));
    m_addressButton->setObjectName(QStringLiteral("readAddressButton"));
    auto *addressNote = new QLabel;
    addressNote->setObjectName(QStringLiteral("readAddressNote"));
    addressNote->setWordWrap(true);
    if (m_meter.edition == Dlt645::Edition::V1997) {
        m_addressButton->setEnabled(false);
        addressNote->setText(tr("The 1997 edition has no address read: take the address from the meter's plate."));
    } else {
        addressNote->setText(tr("The meter must be alone on the line: every meter answers an address read."));
    }
    auto *closeButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Close"));
    buttons->addWidget(m_readButton);
    buttons->addWidget(m_repeatButton);
    buttons->addWidget(m_addressButton);
    buttons->addWidget(addressNote, 1);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    m_stateLabel = new QLabel;
    m_stateLabel->setWordWrap(true);
    layout->addWidget(m_stateLabel);
    if (m_meter.items.isEmpty()) {
        m_readButton->setEnabled(false);
        m_repeatButton->setEnabled(false);
        m_stateLabel->setText(tr("No data item is selected in this meter tab."));
    }
    resize(760, 480);

    m_repeatTimer.setInterval(m_line.intervalMs);
    connect(&m_repeatTimer, &QTimer::timeout, this, [this] {
        if (!isBusy())
            readOnce();
    });
    connect(m_readButton, &QPushButton::clicked, this, &MeterTestReadDialog::readOnce);
    connect(m_repeatButton, &QPushButton::toggled, this, &MeterTestReadDialog::setRepeat);
    connect(m_addressButton, &QPushButton::clicked, this, &MeterTestReadDialog::readAddress);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

MeterTestReadDialog::~MeterTestReadDialog()
{
    // The reader goes before the table it reports into: an answer still on its way must not
    // reach a half-destroyed window.
    delete m_reader;
    m_reader = nullptr;
    writeLog(QStringLiteral("MeterTestReadDialog: destroyed"));
}

bool MeterTestReadDialog::prepareReader()
{
    const QString device = m_serialCombo->currentText().trimmed();
    if (device.isEmpty()) {
        QMessageBox::warning(this, tr("Test Read"), tr("Choose the serial device to read through."));
        return false;
    }
    if (m_reader && (device != m_openDevice || !m_reader->isOpen())) {
        delete m_reader;
        m_reader = nullptr;
    }
    if (m_reader)
        return true;
    auto *reader = new Dlt645Reader(this);
    connect(reader, &Dlt645Reader::lineWarning, this, [this](const QString &text) {
        m_stateLabel->setText(tr("Serial line: %1").arg(text));
    });
    Dlt645Line line = m_line;
    line.serial.device = device;
    QString error;
    if (!reader->open(line.serial, &error)) {
        delete reader;
        QMessageBox::warning(this, tr("Test Read"), tr("The serial device %1 cannot be opened: %2").arg(device, error));
        return false;
    }
    reader->setTimeouts(m_line.timeoutMs, m_line.gapMs);
    connect(reader, &Dlt645Reader::itemRead, this, &MeterTestReadDialog::showItem);
    connect(reader, &Dlt645Reader::roundFinished, this, &MeterTestReadDialog::roundDone);
    connect(reader, &Dlt645Reader::addressRead, this, &MeterTestReadDialog::addressDone);
    m_reader = reader;
    m_openDevice = device;
    return true;
}

void MeterTestReadDialog::readOnce()
{
    if (isBusy() || m_meter.items.isEmpty())
        return;
    if (!prepareReader()) {
        m_repeatButton->setChecked(false);
        return;
    }
    m_failed = 0;
    m_stateLabel->setText(tr("Reading..."));
    m_reader->readRound(m_meter.readerItems());
}

void MeterTestReadDialog::setRepeat(bool on)
{
    m_repeatButton->setText(on ? tr("Stop") : tr("Repeat"));
    if (!on) {
        m_repeatTimer.stop();
        return;
    }
    m_repeatTimer.start();
    readOnce();
}

void MeterTestReadDialog::showItem(int index, const Dlt645Reader::Result &result)
{
    if (index < 0 || index >= m_table->rowCount())
        return;
    // A value shows only when this read gave it: a failed read leaves no older value standing.
    m_table->item(index, ColValue)->setText(result.value);
    QString status = Dlt645Status::text(result.status, result.errorCode);
    if (result.status == Dlt645::Status::WrongAddress && !result.answeredBy.isEmpty())
        status = tr("%1 (%2)").arg(status, result.answeredBy);
    m_table->item(index, ColStatus)->setText(status);
    m_table->item(index, ColRoundTrip)->setText(result.roundTripMs >= 0 ? QString::number(result.roundTripMs)
                                                                         : QString());
    const QBrush colour = result.ok() ? QBrush() : QBrush(Qt::red);
    for (int column = 0; column < ColumnCount; ++column)
        m_table->item(index, column)->setForeground(colour);
    m_failed += result.ok() ? 0 : 1;
}

void MeterTestReadDialog::roundDone()
{
    ++m_readCount;
    m_stateLabel->setText(tr("Read at %1: %2 of %3 items failed.")
                              .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")))
                              .arg(m_failed)
                              .arg(m_meter.items.size()));
}

void MeterTestReadDialog::readAddress()
{
    if (isBusy() || m_meter.edition != Dlt645::Edition::V2007)
        return;
    if (!prepareReader())
        return;
    m_stateLabel->setText(tr("Reading the meter address..."));
    m_reader->readAddress();
}

void MeterTestReadDialog::addressDone(const Dlt645Reader::Result &result)
{
    if (!result.ok()) {
        m_stateLabel->setText(tr("The address read failed: %1").arg(Dlt645Status::text(result.status, result.errorCode)));
        return;
    }
    m_stateLabel->setText(tr("The meter answered with the address %1.").arg(result.answeredBy));
    const auto answer = QMessageBox::question(
        this, tr("Read address"),
        tr("The meter answered with the address %1. Put it into \"Slave Address:\"?").arg(result.answeredBy),
        QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        emit addressChosen(result.answeredBy);
}
