// The register discovery window, opened from a slave tab of the Modbus editor, against an
// in-process Modbus TCP server with readable ranges 0-99 and 1000-1049 (exception 2 elsewhere):
// the ranges and request count it shows, "Add as points" into the tab for either address base
// and type, the byte-order question, Cancel; and the rows a selection turns into.
// Loopback address 127.0.24.2.

#include "ModalAnswer.h"
#include "ModbusTcpTestServer.h"

#include "gui/devices/ModbusPointTables.h"
#include "gui/devices/RegisterDiscoveryDialog.h"
#include "gui/devices/TrafficPane.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kAddress = QStringLiteral("127.0.24.2");
constexpr quint16 kPort = 1502;
using Table = ModbusPoint::Table;
using Type = ModbusPoint::Type;
using Order = ModbusValueCodec::ByteOrder;

quint16 valueAt(int address)
{
    return quint16(address * 3 + 1);
}

QMap<int, quint16> readable(std::initializer_list<std::pair<int, int>> ranges)
{
    QMap<int, quint16> values;
    for (const auto &range : ranges) {
        for (int a = range.first; a <= range.second; ++a)
            values.insert(a, valueAt(a));
    }
    return values;
}

// Selects the rows of these addresses in the results.
void select(RegisterDiscoveryDialog *window, const QVector<int> &addresses)
{
    QItemSelectionModel *selection = window->resultsView()->selectionModel();
    selection->clear();
    for (int row = 0; row < window->model()->rowCount(); ++row) {
        if (addresses.contains(window->model()->address(row)))
            selection->select(window->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void choose(QComboBox *combo, const QString &text)
{
    combo->setCurrentIndex(combo->findText(text));
}

} // namespace

Q_DECLARE_METATYPE(Table)
Q_DECLARE_METATYPE(Type)

class tst_DiscoveryUi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pointRows_data();
    void pointRows();

    void showsRangesAndRequests();
    void addAsPoints_data();
    void addAsPoints();
    void byteOrderQuestion_data();
    void byteOrderQuestion();
    void cancelAndCloseWhileRunning();
    void tabGoneAddsNothing();

private:
    RegisterDiscoveryDialog *openWindow(bool startAddress0 = true, const QString &order = QStringLiteral("ABCD"));
    bool run(RegisterDiscoveryDialog *window, int from, int to);
    QTableWidget *pointTable() const { return m_editor->tabWidget()->widget(0)->findChild<QTableWidget *>(); }
    QString currentTabOrder() const
    {
        return m_editor->tabWidget()->widget(0)->findChild<QComboBox *>(QStringLiteral("byteOrderComboBox"))->currentText();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CMainWindow> m_main;
    QStandardItem *m_folder = nullptr;
    std::unique_ptr<ModbusTcpTestServer> m_server;
    standardModbusEditDialog *m_editor = nullptr;
};

void tst_DiscoveryUi::initTestCase()
{
    QVERIFY(m_dir.isValid());
    CMainWindow::setCatalogPathForTesting(m_dir.filePath(QStringLiteral("none.qm")));
    m_main.reset(new CMainWindow);
    m_main->handleProjectCreated(QStringLiteral("Plant"), m_dir.path(), QString());
    m_folder = m_main->projectModel()->item(0)->child(0);
    QVERIFY(m_folder);
}

void tst_DiscoveryUi::init()
{
    m_server.reset(new ModbusTcpTestServer(valueAt));
    m_server->setReadable({{0, 99}, {1000, 1049}});
    QVERIFY(m_server->listen(kAddress, kPort));
}

void tst_DiscoveryUi::cleanup()
{
    delete m_editor;
    m_editor = nullptr;
    m_server.reset();
    m_folder->removeRows(0, m_folder->rowCount());
}

RegisterDiscoveryDialog *tst_DiscoveryUi::openWindow(bool startAddress0, const QString &order)
{
    auto *item = new QStandardItem(QStringLiteral("Meter"));
    item->setData(QStringLiteral("Modbus"), Role::Protocol);
    item->setData(QStringLiteral("ModbusTCP"), Role::Modbus);
    item->setData(kAddress, Role::ModbusIp);
    item->setData(QString::number(kPort), Role::ModbusPort);
    item->setData(QStringLiteral("2000"), Role::CommunicationTimeout);
    PointTable table;
    table.insert(QStringLiteral("Modbus-1"),
                 QList<QVariantList>{{"standard", "7", order, startAddress0, false},
                                     {startAddress0 ? "40000" : "40001", "holding_0", "uint16", "1", "r"}});
    item->setData(QVariant::fromValue(table), Role::PointTable);
    m_folder->appendRow(item);

    m_editor = new standardModbusEditDialog(item, m_main.get());
    m_editor->show();
    if (!QTest::qWaitFor([this] { return m_editor->tabWidget()->count() == 1 && pointTable()->rowCount() == 1; }, 3000))
        return nullptr;
    auto *button = m_editor->tabWidget()->widget(0)->findChild<QPushButton *>(QStringLiteral("discoverRegistersButton"));
    if (!button)
        return nullptr;
    button->click();
    auto *window = m_editor->findChild<RegisterDiscoveryDialog *>();
    return window && window->isWindow() ? window : nullptr;
}

bool tst_DiscoveryUi::run(RegisterDiscoveryDialog *window, int from, int to)
{
    QSignalSpy ended(window, &RegisterDiscoveryDialog::discoveryEnded);
    window->fromSpin()->setValue(from);
    window->toSpin()->setValue(to);
    window->startButton()->click();
    return ended.wait(20000) && ended.size() == 1 && window->result().completed();
}

// Each row must read back, through the point parser, as the register it was made for.
void tst_DiscoveryUi::pointRows_data()
{
    QTest::addColumn<Table>("table");
    QTest::addColumn<QVector<int>>("selected");
    QTest::addColumn<Type>("type");
    QTest::addColumn<bool>("startAddress0");
    QTest::addColumn<QStringList>("names");      // already in the tab
    QTest::addColumn<QStringList>("expected");   // "address name type" per row
    QTest::addColumn<QVector<int>>("leftOut");

    const QVector<int> none;
    QTest::newRow("holding, from 1") << Table::HoldingRegisters << QVector<int>{1000, 0, 99} << Type::UInt16 << false
                                     << QStringList()
                                     << QStringList{"40001 holding_0 uint16", "40100 holding_99 uint16",
                                                    "41001 holding_1000 uint16"}
                                     << none;
    QTest::newRow("holding, from 0") << Table::HoldingRegisters << QVector<int>{0, 1000} << Type::Int16 << true
                                     << QStringList()
                                     << QStringList{"40000 holding_0 int16", "41000 holding_1000 int16"} << none;
    QTest::newRow("six characters above 9999")
        << Table::InputRegisters << QVector<int>{9999, 10000, 65535} << Type::UInt16 << false << QStringList()
        << QStringList{"310000 input_9999 uint16", "310001 input_10000 uint16", "365536 input_65535 uint16"}
        << none;
    QTest::newRow("float pairs, the second word spanned")
        << Table::HoldingRegisters << QVector<int>{0, 1, 2, 3, 98, 99} << Type::Float << true << QStringList()
        << QStringList{"40000 holding_0 float", "40002 holding_2 float", "40098 holding_98 float"} << none;
    QTest::newRow("float needs the next register read")
        << Table::HoldingRegisters << QVector<int>{99, 1049, 1000} << Type::Int32 << false << QStringList()
        << QStringList{"41001 holding_1000 int32"} << QVector<int>{99, 1049};
    QTest::newRow("coils are bools") << Table::Coils << QVector<int>{0, 5} << Type::Float << false << QStringList()
                                     << QStringList{"00001 coils_0 bool", "00006 coils_5 bool"} << none;
    QTest::newRow("discrete from 0") << Table::DiscreteInputs << QVector<int>{7} << Type::Bool << true << QStringList()
                                     << QStringList{"10007 discrete_7 bool"} << none;
    QTest::newRow("taken names") << Table::HoldingRegisters << QVector<int>{5} << Type::UInt16 << true
                                 << QStringList{"holding_5", "holding_5_2"}
                                 << QStringList{"40005 holding_5_3 uint16"} << none;
}

void tst_DiscoveryUi::pointRows()
{
    QFETCH(Table, table);
    QFETCH(QVector<int>, selected);
    QFETCH(Type, type);
    QFETCH(bool, startAddress0);
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    QFETCH(QVector<int>, leftOut);

    const QMap<int, quint16> values = readable({{0, 99}, {1000, 1049}, {9999, 10000}, {65535, 65535}});
    const DiscoveredPoints::Outcome outcome =
        DiscoveredPoints::rows(table, selected, values, type, {startAddress0, names});
    QStringList got;
    for (const QStringList &row : outcome.rows) {
        got << row.mid(0, 3).join(QLatin1Char(' '));
        QCOMPARE(row.mid(3), (QStringList{"1", "r"}));
        const ModbusPoint point = ModbusPoint::fromRow(row, startAddress0);
        QVERIFY2(point.error.isEmpty(), qPrintable(row.join(',')));
        QCOMPARE(point.table, table);
        QCOMPARE(row.at(1).section(QLatin1Char('_'), 1, 1).toInt(), point.address);
    }
    QCOMPARE(got, expected);
    QCOMPARE(outcome.leftOut, leftOut);
}

// Over the default range 0-9999: exactly the two ranges, the run's request count (which the
// server confirms), every readable register with its readings, and the run's frames in the
// Traffic tab.
void tst_DiscoveryUi::showsRangesAndRequests()
{
    RegisterDiscoveryDialog *window = openWindow();
    QVERIFY(window);
    QCOMPARE(window->fromSpin()->value(), 0);
    QCOMPARE(window->toSpin()->value(), 9999);
    QCOMPARE(window->cancelButton()->isEnabled(), false);
    QVERIFY(run(window, 0, 9999));

    const int requests = m_server->requests();
    QCOMPARE(window->result().requests, requests);
    QVERIFY2(requests <= 500, qPrintable(QString::number(requests)));
    QCOMPARE(window->rangesLabel()->text(), QStringLiteral("Readable: 0\u201399, 1000\u20131049"));
    QCOMPARE(window->requestsLabel()->text(), QStringLiteral("Requests: %1").arg(requests));
    QCOMPARE(window->noticeLabel()->text(), RegisterDiscovery::missedNotice(window->result()));
    QVERIFY(!window->noticeLabel()->text().isEmpty());
    QCOMPARE(window->progressBar()->value(), window->progressBar()->maximum());

    DiscoveredRegisterModel *model = window->model();
    QCOMPARE(model->rowCount(), 150);
    QCOMPARE(model->address(99), 99);
    QCOMPARE(model->address(100), 1000);
    QCOMPARE(model->columnCount(), 15);
    const auto cell = [model](int row, int column) { return model->data(model->index(row, column)).toString(); };
    // Register 1000 = 3001 (0x0BB9), 1001 = 3004 (0x0BBC).
    QCOMPARE(cell(100, 0), QStringLiteral("1000"));
    QCOMPARE(cell(100, 1), QStringLiteral("3001"));
    QCOMPARE(cell(100, 3), QString::number(0x0BB90BBCu));         // uint32 ABCD
    QCOMPARE(model->headerData(12, Qt::Horizontal).toString(), QStringLiteral("uint32 DCBA"));
    QCOMPARE(cell(100, 12), QString::number(0xBC0BB90Bu));        // uint32 DCBA
    // The last register of a range has no pair.
    QCOMPARE(cell(99, 2), QString::number(valueAt(99)));
    QCOMPARE(cell(99, 3), QString());

    window->tabs()->setCurrentWidget(window->trafficPane());
    QTRY_COMPARE_WITH_TIMEOUT(window->trafficPane()->model()->rowCount(), 2 * requests, 3000);
}

void tst_DiscoveryUi::addAsPoints_data()
{
    QTest::addColumn<bool>("startAddress0");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("addresses"); // of the rows added after the tab's own one

    QTest::newRow("uint16 from 0") << true << "uint16" << QStringList{"40001", "40002", "41049"};
    QTest::newRow("uint16 from 1") << false << "uint16" << QStringList{"40002", "40003", "41050"};
    // 1 and 2 make one float at 1; 1049 has no second register.
    QTest::newRow("float from 1") << false << "float" << QStringList{"40002"};
}

// The selected registers land in the tab the window was opened for, written as that tab reads
// addresses, and the editor saves them.
void tst_DiscoveryUi::addAsPoints()
{
    QFETCH(bool, startAddress0);
    QFETCH(QString, type);
    QFETCH(QStringList, addresses);

    RegisterDiscoveryDialog *window = openWindow(startAddress0);
    QVERIFY(window);
    QVERIFY(run(window, 0, 1100));
    select(window, {1, 2, 1049});
    choose(window->typeCombo(), type);
    window->addButton()->click();

    QTableWidget *table = pointTable();
    QCOMPARE(table->rowCount(), 1 + addresses.size());
    for (int i = 0; i < addresses.size(); ++i) {
        QCOMPARE(ModbusPointTables::cellText(table, 1 + i, ModbusPointTables::ColAddress), addresses.at(i));
        QCOMPARE(ModbusPointTables::cellText(table, 1 + i, ModbusPointTables::ColType), type);
    }
    // A second add of the same registers keeps names unique.
    window->addButton()->click();
    QCOMPARE(table->rowCount(), 1 + 2 * addresses.size());
    QSet<QString> names;
    for (int row = 0; row < table->rowCount(); ++row)
        names.insert(ModbusPointTables::cellText(table, row, ModbusPointTables::ColName));
    QCOMPARE(names.size(), table->rowCount());
    QVERIFY(!names.contains(QString()));
}

void tst_DiscoveryUi::byteOrderQuestion_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("order");     // chosen in the window; the tab has ABCD
    QTest::addColumn<int>("answer");        // QMessageBox::NoButton: no question expected
    QTest::addColumn<QString>("tabOrder");  // afterwards
    QTest::addColumn<int>("added");

    QTest::newRow("same order") << "float" << "ABCD" << int(QMessageBox::NoButton) << "ABCD" << 1;
    QTest::newRow("16-bit, word order only") << "uint16" << "CDAB" << int(QMessageBox::NoButton) << "ABCD" << 2;
    QTest::newRow("16-bit, bytes swapped") << "int16" << "BADC" << int(QMessageBox::Yes) << "BADC" << 2;
    QTest::newRow("float, change") << "float" << "CDAB" << int(QMessageBox::Yes) << "CDAB" << 1;
    QTest::newRow("float, keep") << "float" << "DCBA" << int(QMessageBox::No) << "ABCD" << 1;
    QTest::newRow("float, cancel") << "float" << "CDAB" << int(QMessageBox::Cancel) << "ABCD" << 0;
}

void tst_DiscoveryUi::byteOrderQuestion()
{
    QFETCH(QString, type);
    QFETCH(QString, order);
    QFETCH(int, answer);
    QFETCH(QString, tabOrder);
    QFETCH(int, added);

    RegisterDiscoveryDialog *window = openWindow();
    QVERIFY(window);
    QCOMPARE(window->orderCombo()->currentText(), QStringLiteral("ABCD")); // the tab's
    QVERIFY(run(window, 0, 99));
    select(window, {10, 11});
    choose(window->typeCombo(), type);
    choose(window->orderCombo(), order);
    QStringList seen;
    {
        ModalAnswer::Scoped answers(QMessageBox::StandardButton(answer == QMessageBox::NoButton ? QMessageBox::Ok
                                                                                              : answer));
        window->addButton()->click();
        seen = answers.seen();
    }
    QCOMPARE(seen.size(), answer == QMessageBox::NoButton ? 0 : 1);
    if (!seen.isEmpty())
        QVERIFY2(seen.first().contains(order), qPrintable(seen.first()));
    QCOMPARE(currentTabOrder(), tabOrder);
    QCOMPARE(pointTable()->rowCount(), 1 + added);
}

// Cancel ends a run on a device that does not answer at once and leaves the window ready for
// another; closing the window during a run ends it without a word to the closed window.
void tst_DiscoveryUi::cancelAndCloseWhileRunning()
{
    m_server->setSilent(true);
    RegisterDiscoveryDialog *window = openWindow();
    QVERIFY(window);
    QSignalSpy ended(window, &RegisterDiscoveryDialog::discoveryEnded);
    window->startButton()->click();
    QVERIFY(window->isRunning());
    QCOMPARE(window->startButton()->isEnabled(), false);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests(), 1, 2000);
    window->cancelButton()->click();
    QCOMPARE(ended.size(), 1);
    QVERIFY(!window->isRunning());
    QCOMPARE(window->result().end, RegisterDiscovery::Result::End::Cancelled);
    QCOMPARE(window->stateLabel()->text(), QStringLiteral("Discovery was cancelled."));
    QVERIFY(window->startButton()->isEnabled());
    QVERIFY(!window->cancelButton()->isEnabled());

    window->startButton()->click();
    QVERIFY(window->isRunning());
    const QPointer<RegisterDiscoveryDialog> closed(window);
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(closed.isNull(), 2000);
    QTest::qWait(50);
    QCOMPARE(pointTable()->rowCount(), 1);
}

// The tab the window was opened for is closed: "Add as points" says so instead of writing into
// another tab or a deleted table.
void tst_DiscoveryUi::tabGoneAddsNothing()
{
    RegisterDiscoveryDialog *window = openWindow();
    QVERIFY(window);
    QVERIFY(run(window, 0, 99));
    select(window, {3});
    m_editor->addTab();
    QCOMPARE(m_editor->tabWidget()->count(), 2);
    m_editor->deleteTab(0);
    QTRY_COMPARE_WITH_TIMEOUT(m_editor->tabWidget()->count(), 1, 2000);
    QStringList seen;
    {
        ModalAnswer::Scoped answers;
        window->addButton()->click();
        seen = answers.seen();
    }
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.first().contains(QStringLiteral("is gone")), qPrintable(seen.first()));
    QCOMPARE(pointTable()->rowCount(), 0);
}

QTEST_MAIN(tst_DiscoveryUi)
#include "tst_discoveryui.moc"
