// The bus scan window against our own RTU slaves on a pseudo-terminal pair: what it finds and
// shows (rows, traffic), Cancel, and "Add as slave tab" from the device editor (with the question
// when the device's tabs use another link) and from the Standard folder for a new device.
// A pseudo-terminal takes no parity: the scan's seams put each setting "on the line" and let
// only 19200 8E1 hear the slaves. TCP against a test gateway on 127.0.27.1.

#include "ModalAnswer.h"
#include "ModbusServerProcess.h"
#include "ModbusTcpTestServer.h"

#include "ProbedModel.h"
#include "gui/devices/BusScanDialog.h"
#include "gui/devices/TrafficPane.h"
#include "gui/devices/standardInputDialog.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "gui/mainwindow/EditDocks.h"
#include "core/modbus/ModbusFrame.h"
#include "core/project/ItemRecord.h"
#include "core/project/ModbusDeviceRecord.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

const ModbusBusScan::LineSetting kHeard{19200, QStringLiteral("EVEN"), 1};
const QString kGateway = QStringLiteral("127.0.27.1");
constexpr int kGatewayPort = 1502;

// Ticks 19200 8E1 and 19200 8N1 (which hears nothing), the ids first..last, and the seams.
void prepare(BusScanDialog *window, const QString &device, int first, int last, int waitMs)
{
    window->modeCombo()->setCurrentText(QStringLiteral("ModbusRTU"));
    window->serialCombo()->setCurrentText(device);
    for (int baud : {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        window->baudCheck(baud)->setChecked(baud == 19200);
    window->parityCheck(QStringLiteral("ODD"))->setChecked(false);
    window->parityCheck(QStringLiteral("NONE"))->setChecked(true);
    window->parityCheck(QStringLiteral("EVEN"))->setChecked(true);
    window->stopBitsCheck(2)->setChecked(false);
    window->firstIdSpin()->setValue(first);
    window->lastIdSpin()->setValue(last);
    window->waitSpin()->setValue(waitMs);
    // No model is read afterwards: a pty refuses the parity a probe's own link would set.
    window->setModelCandidates({});
    window->scan()->setSettingApplier([](const ModbusBusScan::LineSetting &) { return true; });
    window->scan()->setReceiveFilter([](const ModbusBusScan::LineSetting &setting, const QByteArray &bytes) {
        return setting == kHeard ? bytes : QByteArray();
    });
}

bool scanToEnd(BusScanDialog *window, int timeoutMs = 60000)
{
    QSignalSpy finished(window->scan(), &ModbusBusScan::finished);
    window->startButton()->click();
    return window->scan()->isRunning() && finished.wait(timeoutMs);
}

// "id baud parity stop reply" per row of the results table.
QStringList shownRows(BusScanDialog *window)
{
    QTableWidget *table = window->resultsTable();
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < BusScanDialog::ColRoundTrip; ++column)
            cells << table->item(row, column)->text();
        rows << cells.join(QLatin1Char(' '));
    }
    return rows;
}

void choose(BusScanDialog *window, int id)
{
    QTableWidget *table = window->resultsTable();
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->item(row, BusScanDialog::ColId)->text() == QString::number(id))
            table->selectRow(row);
}

} // namespace

class tst_busscanui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void findsExactlyTheSlaves();
    void addAsSlaveTab_data();
    void addAsSlaveTab();
    void addAsNewDevice();
    void tcpGateway_data();
    void tcpGateway();
    void tellsTheModel();
    void cancelEndsWithinOneWait();

private:
    QStandardItem *addDevice(const QString &name, bool withTab);

    QTemporaryDir m_dir;
    std::unique_ptr<CMainWindow> m_main;
    QStandardItem *m_folder = nullptr;
    PtyPair m_pty;
    ModbusServerProcess m_slaves;
    QPointer<standardModbusEditDialog> m_editor;
};

void tst_busscanui::initTestCase()
{
    QVERIFY(m_dir.isValid());
    CMainWindow::setCatalogPathForTesting(m_dir.filePath(QStringLiteral("none.qm")));
    m_main.reset(new CMainWindow);
    m_main->handleProjectCreated(QStringLiteral("Plant"), m_dir.path(), QString());
    m_folder = m_main->projectModel()->item(0)->child(0);
    QCOMPARE(m_folder->text(), QStringLiteral("Standard"));
    QVERIFY(m_pty.start());
    QVERIFY2(m_slaves.startSlaves(m_pty.second(), {"--ids", "3,17,200", "--exception-id", "17"}),
             qPrintable(m_slaves.errors()));
}

void tst_busscanui::init()
{
    m_main->messageEditor()->clear();
}

void tst_busscanui::cleanup()
{
    delete m_editor.data();
    for (BusScanDialog *window : m_main->findChildren<BusScanDialog *>())
        delete window;
    m_main->closeEditDock(QObject::tr("Edit Standard"));
    m_folder->removeRows(0, m_folder->rowCount());
}

// An RTU device at 9600 8N1, with one tab for station 1 when asked.
QStandardItem *tst_busscanui::addDevice(const QString &name, bool withTab)
{
    auto *item = new QStandardItem(name);
    item->setData(QStringLiteral("Modbus"), Role::Protocol);
    m_folder->appendRow(item);
    ModbusDeviceRecord::writeDefaults(item);
    ModbusDeviceRecord record = ModbusDeviceRecord::fromItem(item);
    record.protocol = QStringLiteral("Modbus");
    record.mode = ModbusDeviceRecord::Rtu;
    record.serial = {QStringLiteral("COM1"), QStringLiteral("9600"), QStringLiteral("8"), QStringLiteral("1"),
                     QStringLiteral("NONE"), false, QStringLiteral("-1")};
    if (withTab) {
        ModbusSlaveRecord slave;
        slave.title = QStringLiteral("Modbus-1");
        record.slaves = {slave};
    }
    record.commitTo(item);
    return item;
}

void tst_busscanui::findsExactlyTheSlaves()
{
    BusScanDialog window(BusScanDialog::Defaults{});
    window.show();
    prepare(&window, m_pty.first(), 1, ModbusBusScan::LastStandardId, 10);
    QVERIFY(scanToEnd(&window));

    QCOMPARE(shownRows(&window), (QStringList{"3 19200 EVEN 1 registers", "17 19200 EVEN 1 exception 2",
                                              "200 19200 EVEN 1 registers"}));
    QCOMPARE(window.progressBar()->value(), window.progressBar()->maximum());
    QCOMPARE(window.statusLabel()->text(), QStringLiteral("Devices that answered: 3."));
    QVERIFY(window.startButton()->isEnabled());
    QVERIFY(!window.cancelButton()->isEnabled());

    // The traffic pane shows the scan's own frames: the first probe, and each reply after its probe.
    TrafficModel *traffic = window.trafficPane()->model();
    QVERIFY(traffic->rowCount() > 0);
    QCOMPARE(traffic->entry(0).bytes,
             ModbusFrame::rtuAdu(ModbusFrame::Request::read(1, ModbusFrame::ReadHoldingRegisters, 0, 1)));
    QStringList replies;
    for (int row = 1; row < traffic->rowCount(); ++row) {
        const ModbusTraffic::Entry &entry = traffic->entry(row);
        if (entry.direction != ModbusTraffic::Direction::Received)
            continue;
        QCOMPARE(traffic->entry(row - 1).direction, ModbusTraffic::Direction::Sent);
        QCOMPARE(quint8(traffic->entry(row - 1).bytes.at(0)), quint8(entry.bytes.at(0)));
        replies << QString::number(quint8(entry.bytes.at(0)));
    }
    QCOMPARE(replies, (QStringList{"3", "17", "200"}));
}

void tst_busscanui::addAsSlaveTab_data()
{
    QTest::addColumn<bool>("withTab");
    QTest::addColumn<int>("answer"); // to the question; 0: none is expected
    QTest::addColumn<bool>("added");
    // Without tabs the link is free to take what the scan found.
    QTest::newRow("no tabs yet") << false << 0 << true;
    QTest::newRow("tabs on another link, changed") << true << int(QMessageBox::Yes) << true;
    QTest::newRow("tabs on another link, kept") << true << int(QMessageBox::No) << false;
}

void tst_busscanui::addAsSlaveTab()
{
    QFETCH(bool, withTab);
    QFETCH(int, answer);
    QFETCH(bool, added);
    QStandardItem *item = addDevice(QStringLiteral("Meter"), withTab);
    m_editor = new standardModbusEditDialog(item, m_main.get());
    m_editor->show();
    QTRY_COMPARE(m_editor->tabWidget()->count(), withTab ? 1 : 0);
    m_editor->busScanButton()->click();
    auto *window = m_editor->findChild<BusScanDialog *>();
    QVERIFY(window);
    prepare(window, m_pty.first(), 15, 20, 10);
    QVERIFY(scanToEnd(window));
    QCOMPARE(shownRows(window), QStringList{"17 19200 EVEN 1 exception 2"});
    choose(window, 17);
    QVERIFY(window->addButton()->isEnabled());

    QString question;
    if (answer)
        ModalAnswer::answerNext(QMessageBox::StandardButton(answer), &question);
    window->addButton()->click();
    QTRY_VERIFY(!answer || !question.isEmpty());
    if (answer)
        QVERIFY2(question.contains(QStringLiteral("9600 8N1")) && question.contains(QStringLiteral("19200 8E1")),
                 qPrintable(question));

    QCOMPARE(m_editor->tabWidget()->count(), (withTab ? 1 : 0) + (added ? 1 : 0));
    m_editor->saveChanges();
    const ModbusDeviceRecord saved = ModbusDeviceRecord::fromItem(item);
    QCOMPARE(saved.mode, ModbusDeviceRecord::Rtu);
    QCOMPARE(saved.serial.baudRate, added ? QStringLiteral("19200") : QStringLiteral("9600"));
    QCOMPARE(saved.serial.parityBit, added ? QStringLiteral("EVEN") : QStringLiteral("NONE"));
    QCOMPARE(saved.serial.stopBit, QStringLiteral("1"));
    if (added) {
        QCOMPARE(saved.slaves.last().stationNum, QStringLiteral("17"));
        QCOMPARE(m_editor->tabWidget()->currentIndex(), m_editor->tabWidget()->count() - 1);
    }
}

void tst_busscanui::addAsNewDevice()
{
    m_main->projectView()->setCurrentIndex(m_folder->index());
    m_main->standardBusScanFile();
    auto *window = m_main->findChild<BusScanDialog *>();
    QVERIFY(window);
    prepare(window, m_pty.first(), 195, 205, 10);
    QVERIFY(scanToEnd(window));
    choose(window, 200);

    // The name is asked for as "Add Standard" does; the protocol is Modbus.
    bool asked = false;
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<standardInputDialog *>(QApplication::activeModalWidget())) {
            asked = true;
            QCOMPARE(dialog->getProtocol(), QStringLiteral("Modbus"));
            dialog->nameEdit()->setText(QStringLiteral("Found200"));
            dialog->okButton()->click();
        }
    });
    answer.start();
    window->addButton()->click();
    answer.stop();
    QVERIFY(asked);

    QCOMPARE(m_folder->rowCount(), 1);
    const ModbusDeviceRecord device = ModbusDeviceRecord::fromItem(m_folder->child(0));
    QCOMPARE(device.name, QStringLiteral("Found200"));
    QCOMPARE(device.mode, ModbusDeviceRecord::Rtu);
    QCOMPARE(device.serial.baudRate, QStringLiteral("19200"));
    QCOMPARE(device.serial.parityBit, QStringLiteral("EVEN"));
    QCOMPARE(device.serial.stopBit, QStringLiteral("1"));
    QCOMPARE(device.slaves.size(), 1);
    QCOMPARE(device.slaves.first().stationNum, QStringLiteral("200"));
}

void tst_busscanui::tcpGateway_data()
{
    QTest::addColumn<bool>("answersAll");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("status");
    // A gateway's "path unavailable" and "target failed to respond" are no device.
    QTest::newRow("one device behind") << false << QStringList{"2 - - - registers"}
                                       << QStringLiteral("Devices that answered: 1.");
    QTest::newRow("answers for any id")
        << true << QStringList{"1 - - - registers", "2 - - - registers", "3 - - - registers", "4 - - - registers"}
        << QStringLiteral("Every id answered: something (a gateway) answers for any id, so the ids found do not "
                          "show which devices are there.");
}

void tst_busscanui::tcpGateway()
{
    QFETCH(bool, answersAll);
    QFETCH(QStringList, rows);
    QFETCH(QString, status);
    ModbusTcpTestServer gateway([](int address) { return quint16(address); },
                                [answersAll](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
                                    const int unit = quint8(request.at(6));
                                    QByteArray reply = pdu;
                                    if (!answersAll && unit != 2)
                                        reply = QByteArray().append(char(0x83)).append(char(unit % 2 ? 0x0A : 0x0B));
                                    socket->write(ModbusTcpTestServer::adu(request, reply));
                                });
    QVERIFY(gateway.listen(kGateway, kGatewayPort));
    QStandardItem *item = addDevice(QStringLiteral("Behind"), false);
    m_editor = new standardModbusEditDialog(item, m_main.get());
    m_editor->show();
    m_editor->busScanButton()->click();
    auto *window = m_editor->findChild<BusScanDialog *>();
    QVERIFY(window);
    window->modeCombo()->setCurrentText(QStringLiteral("ModbusTCP"));
    window->hostEdit()->setText(kGateway);
    window->portSpin()->setValue(kGatewayPort);
    window->firstIdSpin()->setValue(1);
    window->lastIdSpin()->setValue(4);
    window->waitSpin()->setValue(200);
    // Only the scan's own frames below; telling models apart has its own test.
    window->setModelCandidates({});
    QVERIFY(scanToEnd(window, 20000));
    QCOMPARE(shownRows(window), rows);
    QCOMPARE(window->statusLabel()->text(), status);
    // Every probe and its reply, with the unit taken from the TCP header.
    TrafficModel *traffic = window->trafficPane()->model();
    QStringList units;
    for (int row = 0; row < traffic->rowCount(); ++row)
        units << ModbusTraffic::directionText(traffic->entry(row).direction) + QString::number(traffic->entry(row).unit);
    QCOMPARE(units, (QStringList{"TX1", "RX1", "TX2", "RX2", "TX3", "RX3", "TX4", "RX4"}));

    if (answersAll)
        return;
    choose(window, 2);
    window->addButton()->click();
    m_editor->saveChanges();
    const ModbusDeviceRecord saved = ModbusDeviceRecord::fromItem(item);
    QCOMPARE(saved.mode, ModbusDeviceRecord::Tcp);
    QCOMPARE(saved.ip, kGateway);
    QCOMPARE(saved.port, QString::number(kGatewayPort));
    QCOMPARE(saved.slaves.size(), 1);
    QCOMPARE(saved.slaves.first().stationNum, QStringLiteral("2"));
}

void tst_busscanui::cancelEndsWithinOneWait()
{
    constexpr int waitMs = 300;
    BusScanDialog window(BusScanDialog::Defaults{});
    window.show();
    prepare(&window, m_pty.first(), 1, 20, waitMs);
    QSignalSpy finished(window.scan(), &ModbusBusScan::finished);
    QElapsedTimer sinceCancel;
    connect(window.scan(), &ModbusBusScan::progress, this, [&](const ModbusBusScan::LineSetting &, int id) {
        if (id == 2) // in the middle of id 2's wait
            QTimer::singleShot(waitMs / 2, &window, [&] {
                sinceCancel.start();
                window.cancelButton()->click();
            });
    });
    window.startButton()->click();
    QVERIFY(finished.wait(10000));
    QVERIFY(sinceCancel.isValid());
    QVERIFY2(sinceCancel.elapsed() < waitMs, qPrintable(QString::number(sinceCancel.elapsed())));
    QCOMPARE(window.scan()->outcome(), ModbusBusScan::Outcome::Cancelled);
    // The probe cut short still ends in the log, after its request.
    window.trafficPane()->refresh();
    TrafficModel *traffic = window.trafficPane()->model();
    QVERIFY(traffic->rowCount() >= 2);
    QCOMPARE(traffic->entry(traffic->rowCount() - 2).direction, ModbusTraffic::Direction::Sent);
    QCOMPARE(traffic->entry(traffic->rowCount() - 1).direction, ModbusTraffic::Direction::None);
    QCOMPARE(traffic->entry(traffic->rowCount() - 1).unit, 2);
    QCOMPARE(window.statusLabel()->text(), QStringLiteral("The scan was cancelled."));
    QVERIFY(window.startButton()->isEnabled());
}

// After the scan, each found slave is asked the known models' probes: the one behind the
// gateway reads what one model reads there.
void tst_busscanui::tellsTheModel()
{
    ModbusTcpTestServer gateway([](int address) { return quint16(address); },
                                [](QTcpSocket *socket, const QByteArray &request, const QByteArray &pdu) {
                                    const int unit = quint8(request.at(6));
                                    const QByteArray reply = unit == 2 ? pdu : QByteArray("\x83\x0B", 2);
                                    socket->write(ModbusTcpTestServer::adu(request, reply));
                                });
    QVERIFY(gateway.listen(kGateway, kGatewayPort));
    BusScanDialog window(BusScanDialog::Defaults{});
    window.show();
    window.setModelCandidates(
        ModelProbe::candidates({probedModel("ACME", "PM600", 600, "600"), probedModel("ACME", "VF7", 100, "7")}));
    window.modeCombo()->setCurrentText(QStringLiteral("ModbusTCP"));
    window.hostEdit()->setText(kGateway);
    window.portSpin()->setValue(kGatewayPort);
    window.firstIdSpin()->setValue(1);
    window.lastIdSpin()->setValue(3);
    window.waitSpin()->setValue(200);
    QVERIFY(scanToEnd(&window, 20000));
    QCOMPARE(shownRows(&window), QStringList{"2 - - - registers"});
    QTRY_VERIFY_WITH_TIMEOUT(!window.identifying(), 10000);
    QCOMPARE(window.resultsTable()->item(0, BusScanDialog::ColModel)->text(), QStringLiteral("ACME PM600 (PM600)"));
}

QTEST_MAIN(tst_busscanui)
#include "tst_busscanui.moc"
