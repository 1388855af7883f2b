// "Test Read" of a Modbus slave tab against a Modbus server not written here (pymodbus):
// TCP, RTU through a pseudo-terminal pair, a write that reads back, a device that never
// answers. Loopback addresses 127.0.9.10 to 127.0.9.19.

#include "ModalAnswer.h"
#include "ModbusServerProcess.h"

#include "gui/devices/ModbusTestReadDialog.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const int kPort = 1502;

QVariantList row(const char *addr, const char *name, const char *type, const char *length = "1",
                 const char *permissions = "r")
{
    return {addr, name, type, length, permissions};
}

// The server's fixed map read through one tab (addresses count from 0), and what each point
// must show: value and untranslated status.
struct Expected {
    const char *name, *value, *status;
};

const QList<QVariantList> kRows = {
    row("40000", "Minus two", "int16"),
    row("40001", "Hex 1234", "uint16"),
    row("40002", "Float", "float"),
    row("40004", "Double", "double"),
    row("40008", "Tag", "string", "3"),
    row("40011", "Int32", "int32"),
    row("40013", "Missing", "int16"),
    row("40014", "Setpoint", "uint16", "1", "rw"),
    row("00000", "Coil on", "bool", "1", "rw"),
    row("00001", "Coil off", "bool"),
    row("10000", "Input on", "bool"),
    row("30000", "Input reg", "uint16", "1", "rw"),
    row("00002", "Wrong type", "int16"),
    row("90001", "Wrong table", "int16"),
};

const QList<Expected> kExpected = {
    {"Minus two", "-2", ""},       {"Hex 1234", "4660", ""},      {"Float", "1234.56", ""},
    {"Double", "123456.789", ""},  {"Tag", "Pump-7", ""},         {"Int32", "305419896", ""},
    {"Missing", "", "exception 2"}, {"Setpoint", "99", ""},       {"Coil on", "1", ""},
    {"Coil off", "0", ""},         {"Input on", "1", ""},         {"Input reg", "258", ""},
    {"Wrong type", "", "type error"}, {"Wrong table", "", "address error"},
};

} // namespace

class tst_ModbusRead : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void tcpReadShowsValuesAndRefusedPoint();
    void writeReadsBack();
    void rtuThroughPseudoTerminals();
    void silentDeviceTimesOutWhileEditorStaysUsable();
    void closingWhileARequestWaits();
    void cutReplyEndsInTime();
    void linkFailuresSayWhich_data();
    void linkFailuresSayWhich();

private:
    QStandardItem *addDevice(const QJsonObject &parameters, const QString &mode,
                             const QList<QVariantList> &rows, const QString &station = QStringLiteral("1"));
    ModbusTestReadDialog *openTestRead(QStandardItem *item);
    void compareTable(ModbusTestReadDialog *window);

    QTemporaryDir m_dir;
    std::unique_ptr<CMainWindow> m_main;
    QStandardItem *m_folder = nullptr;
    standardModbusEditDialog *m_editor = nullptr;
};

void tst_ModbusRead::initTestCase()
{
    registerItemRecordTypes();
    m_main.reset(new CMainWindow);
    m_main->handleProjectCreated(QStringLiteral("Plant"), m_dir.path(), QString());
    m_folder = m_main->projectModel()->item(0)->child(0);
    QVERIFY(m_folder);
}

void tst_ModbusRead::cleanup()
{
    delete m_editor;
    m_editor = nullptr;
    m_folder->removeRows(0, m_folder->rowCount());
}

QStandardItem *tst_ModbusRead::addDevice(const QJsonObject &parameters, const QString &mode,
                                         const QList<QVariantList> &rows, const QString &station)
{
    auto *item = new QStandardItem(QStringLiteral("Pump station"));
    item->setData(QStringLiteral("Modbus"), Role::Protocol);
    item->setData(mode, Role::Modbus);
    const QMap<QString, int> roles{{"ip", Role::ModbusIp}, {"port", Role::ModbusPort},
                                   {"connectionTimeout", Role::ConnectionTimeout},
                                   {"communicationTimeout", mode == "ModbusRTU" ? Role::CommunicationTimeoutRtu
                                                                                : Role::CommunicationTimeout},
                                   {"collectionInterval", Role::CollectionInterval},
                                   {"serialport", Role::SerialPort}, {"baudRate", Role::BaudRate}};
    for (auto it = parameters.begin(); it != parameters.end(); ++it)
        item->setData(it.value().toString(), roles.value(it.key()));
    PointTable table;
    table.insert(QStringLiteral("Modbus-1"),
                 QList<QVariantList>{{"standard", station, "ABCD", true, false}} + rows);
    item->setData(QVariant::fromValue(table), Role::PointTable);
    m_folder->appendRow(item);
    return item;
}

ModbusTestReadDialog *tst_ModbusRead::openTestRead(QStandardItem *item)
{
    m_editor = new standardModbusEditDialog(item, m_main.get());
    QObject::connect(m_editor, &standardModbusEditDialog::messageAppended, m_main.get(), &CMainWindow::appendMessage);
    m_editor->show();
    if (!QTest::qWaitFor([this] { return m_editor->tabWidget()->count() == 1; }, 3000))
        return nullptr;
    auto *button = m_editor->tabWidget()->widget(0)->findChild<QPushButton *>(QStringLiteral("testReadButton"));
    if (!button || button->text() != QCoreApplication::translate("standardModbusEditDialog", "Test Read")
        || button->icon().isNull())
        return nullptr;
    button->click();
    auto *window = m_editor->findChild<ModbusTestReadDialog *>();
    if (window && !window->isWindow())
        return nullptr;
    return window;
}

void tst_ModbusRead::compareTable(ModbusTestReadDialog *window)
{
    QTableWidget *table = window->table();
    QCOMPARE(table->rowCount(), kExpected.size());
    for (int i = 0; i < kExpected.size(); ++i) {
        const Expected &expected = kExpected.at(i);
        QCOMPARE(table->item(i, ModbusTestReadDialog::ColName)->text(), QString::fromUtf8(expected.name));
        QCOMPARE(table->item(i, ModbusTestReadDialog::ColValue)->text(), QString::fromUtf8(expected.value));
        QTableWidgetItem *status = table->item(i, ModbusTestReadDialog::ColStatus);
        QCOMPARE(status->data(ModbusTestReadDialog::StatusRole).toString(), QString::fromUtf8(expected.status));
        const bool failed = *expected.status != '\0';
        QCOMPARE(status->foreground().color() == QColor(Qt::red), failed);
    }
    // The registers as received, in hex.
    QCOMPARE(table->item(0, ModbusTestReadDialog::ColRegisters)->text(), QStringLiteral("FFFE"));
    QCOMPARE(table->item(4, ModbusTestReadDialog::ColRegisters)->text(), QStringLiteral("5075 6D70 2D37"));
}

void tst_ModbusRead::tcpReadShowsValuesAndRefusedPoint()
{
    ModbusServerProcess server;
    QVERIFY(server.startTcp(QStringLiteral("127.0.9.10"), kPort));
    QStandardItem *item = addDevice({{"ip", "127.0.9.10"}, {"port", QString::number(kPort)},
                                     {"connectionTimeout", "2000"}, {"communicationTimeout", "2000"}},
                                    QStringLiteral("ModbusTCP"), kRows);
    ModbusTestReadDialog *window = openTestRead(item);
    QVERIFY(window);
    QVERIFY(!window->findChild<QLabel *>(QStringLiteral("oneMasterNote")));
    window->readButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), 1, 10000);
    compareTable(window);

    // Closing the window drops the connection.
    window->close();
    QTRY_VERIFY(!m_editor->findChild<ModbusTestReadDialog *>());
}

void tst_ModbusRead::writeReadsBack()
{
    ModbusServerProcess server;
    QVERIFY(server.startTcp(QStringLiteral("127.0.9.11"), kPort));
    QStandardItem *item = addDevice({{"ip", "127.0.9.11"}, {"port", QString::number(kPort)}},
                                    QStringLiteral("ModbusTCP"), kRows);
    ModbusTestReadDialog *window = openTestRead(item);
    QVERIFY(window);
    QTableWidget *table = window->table();

    // Only "rw" points on coils and holding registers can be written.
    const QList<QPair<int, bool>> writable{{7, true}, {8, true}, {9, false}, {11, false}, {0, false}};
    for (const auto &entry : writable) {
        table->setCurrentCell(entry.first, 0);
        QCOMPARE(window->writeButton()->isEnabled(), entry.second);
    }

    table->setCurrentCell(7, 0);
    window->writeValueEdit()->setText(QStringLiteral("4321"));
    QString question;
    ModalAnswer::answerNext(QMessageBox::Yes, &question);
    window->writeButton()->click();
    QVERIFY2(question.contains("4321") && question.contains("Setpoint") && question.contains("Pump station"),
             qPrintable(question));
    QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), 1, 10000); // a write is followed by a read
    QCOMPARE(table->item(7, ModbusTestReadDialog::ColValue)->text(), QStringLiteral("4321"));
    QCOMPARE(table->item(6, ModbusTestReadDialog::ColStatus)->data(ModbusTestReadDialog::StatusRole).toString(),
             QStringLiteral("exception 2"));

    // Turning a coil off, and a value that does not fit, which is refused before asking.
    table->setCurrentCell(8, 0);
    window->writeValueEdit()->setText(QStringLiteral("0"));
    ModalAnswer::answerNext(QMessageBox::Yes);
    window->writeButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), 2, 10000);
    QCOMPARE(table->item(8, ModbusTestReadDialog::ColValue)->text(), QStringLiteral("0"));

    table->setCurrentCell(7, 0);
    window->writeValueEdit()->setText(QStringLiteral("70000"));
    QString warning;
    ModalAnswer::answerNext(QMessageBox::Ok, &warning);
    window->writeButton()->click();
    QVERIFY2(warning.contains("70000"), qPrintable(warning));
    QTest::qWait(200);
    QCOMPARE(window->readCount(), 2);
}

void tst_ModbusRead::rtuThroughPseudoTerminals()
{
    PtyPair pty;
    QVERIFY(pty.start());
    ModbusServerProcess server;
    QVERIFY(server.startRtu(pty.second(), 9600));
    QStandardItem *item = addDevice({{"serialport", "COM1"}, {"baudRate", "9600"}, {"communicationTimeout", "2000"}},
                                    QStringLiteral("ModbusRTU"), kRows);
    ModbusTestReadDialog *window = openTestRead(item);
    QVERIFY(window);
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("oneMasterNote")));
    QVERIFY(window->serialDeviceCombo());
    window->serialDeviceCombo()->setCurrentText(pty.first());
    window->readButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), 1, 15000);
    compareTable(window);
}

void tst_ModbusRead::silentDeviceTimesOutWhileEditorStaysUsable()
{
    // Accepts the connection and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress(QStringLiteral("127.0.9.12")), kPort));
    QStandardItem *item = addDevice({{"ip", "127.0.9.12"}, {"port", QString::number(kPort)},
                                     {"communicationTimeout", "300"}, {"collectionInterval", "100"}},
                                    QStringLiteral("ModbusTCP"),
                                    {row("40001", "A", "int16"), row("40003", "B", "float"), row("30001", "C", "int16")});
    ModbusTestReadDialog *window = openTestRead(item);
    QVERIFY(window);
    window->repeatButton()->click();
    QVERIFY(window->repeatButton()->isChecked());
    QVERIFY(window->isBusy());

    // The editor goes on working while the read waits.
    const int tabs = m_editor->tabWidget()->count();
    m_editor->addTab();
    QCOMPARE(m_editor->tabWidget()->count(), tabs + 1);

    QTRY_VERIFY_WITH_TIMEOUT(window->readCount() >= 2, 5000);
    for (int i = 0; i < 3; ++i) {
        QTableWidgetItem *status = window->table()->item(i, ModbusTestReadDialog::ColStatus);
        QCOMPARE(status->data(ModbusTestReadDialog::StatusRole).toString(), QStringLiteral("timeout"));
    }
    window->repeatButton()->click();
    QVERIFY(!window->repeatButton()->isChecked());
    QTRY_VERIFY(!window->isBusy());
    const int reads = window->readCount();
    QTest::qWait(400);
    QCOMPARE(window->readCount(), reads);

    QTcpSocket *peer = silent.nextPendingConnection();
    QVERIFY(peer);
    window->close();
    QTRY_VERIFY(peer->state() == QAbstractSocket::UnconnectedState || peer->waitForDisconnected(100));
}

void tst_ModbusRead::closingWhileARequestWaits()
{
    // Accepts the connection, takes the request and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress(QStringLiteral("127.0.9.13")), kPort));
    QStandardItem *item = addDevice({{"ip", "127.0.9.13"}, {"port", QString::number(kPort)},
                                     {"communicationTimeout", "300"}},
                                    QStringLiteral("ModbusTCP"), {row("40001", "A", "int16")});
    ModbusTestReadDialog *window = openTestRead(item);
    QVERIFY(window);
    window->readButton()->click();
    QVERIFY(window->isBusy());
    QVERIFY(QTest::qWaitFor([&silent] { return silent.hasPendingConnections(); }, 3000));
    QTcpSocket *peer = silent.nextPendingConnection();
    QVERIFY(QTest::qWaitFor([peer] { return peer->bytesAvailable() >= 12; }, 3000));
    QVERIFY(window->isBusy());

    QPointer<ModbusTestReadDialog> guard(window);
    window->close();
    QTRY_VERIFY(!guard);
    // Past the request's time-out nothing is reported into the window that is gone.
    QTest::qWait(500);
    QVERIFY(m_editor->isVisible());
}

void tst_ModbusRead::cutReplyEndsInTime()
{
    // Answers every request with a header that announces more than ever comes.
    QTcpServer stalling;
    QVERIFY(stalling.listen(QHostAddress(QStringLiteral("127.0.9.14")), kPort));
    connect(&stalling, &QTcpServer::newConnection, &stalling, [&stalling] {
        QTcpSocket *peer = stalling.nextPendingConnection();
        connect(peer, &QTcpSocket::readyRead, peer, [peer] {
            const QByteArray request = peer->readAll();
            peer->write(request.left(4) + QByteArray::fromHex("0009010302"));
        });
    });
    QStandardItem *item = addDevice({{"ip", "127.0.9.14"}, {"port", QString::number(kPort)},
                                     {"communicationTimeout", "300"}},
                                    QStringLiteral("ModbusTCP"), {row("40001", "A", "int16")});
    ModbusTestReadDialog *window = openTestRead(item);
    QVERIFY(window);
    for (int read = 1; read <= 2; ++read) {
        QElapsedTimer timer;
        timer.start();
        window->readButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), read, 3000);
        // The request's time-out, a reconnect within the default connection time-out (the
        // cut frame dropped the connection) and some slack.
        QVERIFY2(timer.elapsed() < 300 + 1000 + 300, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(window->table()->item(0, ModbusTestReadDialog::ColStatus)->data(ModbusTestReadDialog::StatusRole).toString(),
                 QStringLiteral("timeout"));
        QVERIFY(!window->isBusy());
    }
}


void tst_ModbusRead::linkFailuresSayWhich_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("where");    // IP (TCP) or serial device (RTU)
    QTest::addColumn<bool>("dropping");    // a server that accepts and closes at once
    QTest::addColumn<QString>("expected"); // the start of every row's status

    // In the interface's language, as the window shows it.
    const auto text = [](const char *source) { return QCoreApplication::translate("ModbusTestReadDialog", source); };
    QTest::newRow("nothing listens") << "ModbusTCP" << "127.0.9.17" << false
                                     << text("connection refused by %1").arg(QString("127.0.9.17:%1").arg(kPort));
    QTest::newRow("dropped") << "ModbusTCP" << "127.0.9.18" << true
                             << text("connection to %1 dropped").arg(QString("127.0.9.18:%1").arg(kPort));
    QTest::newRow("no serial device") << "ModbusRTU" << "/dev/orvane-no-such-port" << false
                                      << text("serial device %1 not usable: %2").arg("/dev/orvane-no-such-port", "");
}

void tst_ModbusRead::linkFailuresSayWhich()
{
    QFETCH(QString, mode);
    QFETCH(QString, where);
    QFETCH(bool, dropping);
    QFETCH(QString, expected);

    QTcpServer server;
    if (dropping) {
        QVERIFY(server.listen(QHostAddress(where), kPort));
        connect(&server, &QTcpServer::newConnection, &server, [&server] {
            while (QTcpSocket *peer = server.nextPendingConnection())
                peer->abort();
        });
    }
    const QJsonObject link = mode == "ModbusTCP"
                                 ? QJsonObject{{"ip", where}, {"port", QString::number(kPort)}, {"communicationTimeout", "500"}}
                                 : QJsonObject{{"serialport", "COM1"}, {"communicationTimeout", "500"}};
    ModbusTestReadDialog *window = openTestRead(addDevice(link, mode, {row("40001", "A", "int16"), row("40002", "B", "int16")}));
    QVERIFY(window);
    if (window->serialDeviceCombo())
        window->serialDeviceCombo()->setCurrentText(where);
    window->readButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), 1, 5000);
    for (int r = 0; r < 2; ++r) {
        const QString shown = window->table()->item(r, ModbusTestReadDialog::ColStatus)->text();
        QVERIFY2(shown.startsWith(expected), qPrintable(shown));
    }
}

QTEST_MAIN(tst_ModbusRead)
#include "tst_modbusread.moc"
