// The Modbus device editor: filling and saving the record, slave tabs, the data-point table
// checks, CSV import/export through the tab buttons, and the editor inside the main window.
// Message boxes are answered from a zero-delay timer; file dialogs through the shared
// FileDialogs next-answer hook.

#include "FieldCheckSupport.h"
#include "ModalAnswer.h"

#include "gui/devices/standardModbusEditDialog.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QWheelEvent>
#include <QtTest>

#include <QTranslator>

#include <memory>

namespace {

const QString kChoiceBox = QStringLiteral(
    "error|The multiple-choice content in the CSV row does not match the expected format. Set as default value");
const QString kHeaderLine = QStringLiteral("Address,Name,Type,Length,Permissions,Deleat\n");

QVariantList slaveHeader(const QString &station)
{
    return {QStringLiteral("standard"), station, QStringLiteral("ABCD"), true, false};
}

QVariantList point(const QString &addr, const QString &name, const QString &type = QStringLiteral("int16"),
                   const QString &length = QStringLiteral("1"), const QString &perm = QStringLiteral("r"))
{
    return {addr, name, type, length, perm};
}

// The field of a form row, found by its label, inside the group with this title.
QWidget *formField(QWidget *root, const QString &groupTitle, const QString &label)
{
    for (QGroupBox *group : root->findChildren<QGroupBox *>()) {
        if (group->title() != groupTitle)
            continue;
        // The group's fields stand in form columns side by side.
        for (QFormLayout *form : group->findChildren<QFormLayout *>()) {
            for (int row = 0; row < form->rowCount(); ++row) {
                auto *text = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
                if (text && text->text() == label)
                    return form->itemAt(row, QFormLayout::FieldRole)->widget();
            }
        }
    }
    return nullptr;
}

QPushButton *button(QWidget *root, const QString &text)
{
    for (QPushButton *b : root->findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QTableWidget *tableOf(standardModbusEditDialog *dlg, int tab)
{
    return dlg->tabWidget()->widget(tab)->findChild<QTableWidget *>();
}

QString cell(QTableWidget *table, int row, int column)
{
    if (QTableWidgetItem *item = table->item(row, column))
        return item->text();
    if (auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(row, column)))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(table->cellWidget(row, column)))
        return combo->currentText();
    return QString();
}

// The five visible values of every row: address, name, type, length, permissions.
QList<QStringList> visibleRows(QTableWidget *table)
{
    QList<QStringList> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList values;
        for (int column = 0; column < 5; ++column)
            values << cell(table, row, column);
        rows << values;
    }
    return rows;
}

QString stationOf(standardModbusEditDialog *dlg, int tab)
{
    return dlg->tabWidget()->widget(tab)->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"))->text();
}

QStringList tabTitles(standardModbusEditDialog *dlg)
{
    QStringList titles;
    for (int i = 0; i < dlg->tabWidget()->count(); ++i)
        titles << dlg->tabWidget()->tabText(i);
    return titles;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace

class TstModbusEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newDeviceGetsDefaultsBeforeSave();
    void fillKeepsRecordValues();
    void saveClearsOtherMode_data();
    void saveClearsOtherMode();
    void saveWritesTabsAndRows();
    void saveBeforeDeferredLoadKeepsTabs();
    void closingTabRenumbers();
    void tenTabsReopenInTextOrder();
    void retargetDiscardsUnsavedTabs();

    void nameCheck_data();
    void nameCheck();
    void addressCheck_data();
    void addressCheck();
    void loadedDuplicatesAreReported();
    void wheelLeavesChoiceUnchanged();
    void lengthFollowsType();
    void lengthCheckWarnsOnce();
    void deleteRemovesButtonsRow();
    void longTableKeepsEditsWhileScrolling();

    void importCsv_data();
    void importCsv();
    void importEitherLanguage_data();
    void importEitherLanguage();
    void exportExactText();
    void exportUnwritable();
    void exportImportRoundTrip();

    void mainWindowReusesDockAndSaves();
    void saveRefusesUnacceptableField_data();
    void saveRefusesUnacceptableField();
    void focusedEditorAtTeardown();

private:
    QStandardItem *addDevice(const QString &name);
    standardModbusEditDialog *open(QStandardItem *item);
    QStringList messages() const;

    std::unique_ptr<CMainWindow> m_main;
    QTemporaryDir m_dir;
    QStandardItem *m_folder = nullptr;
    QList<QPointer<standardModbusEditDialog>> m_dialogs;
};

void TstModbusEditor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // English texts whatever the catalogue holds.
    CMainWindow::setCatalogPathForTesting(m_dir.filePath(QStringLiteral("none.qm")));
    m_main.reset(new CMainWindow);
    m_main->handleProjectCreated(QStringLiteral("Plant"), m_dir.path(), QString());
    QStandardItem *project = m_main->projectModel()->item(0);
    QVERIFY(project);
    m_folder = project->child(0);
    QCOMPARE(m_folder->text(), QStringLiteral("Standard"));
}

void TstModbusEditor::init()
{
    m_main->messageEditor()->clear();
}

void TstModbusEditor::cleanup()
{
    for (const auto &dlg : qAsConst(m_dialogs))
        delete dlg.data();
    m_dialogs.clear();
    m_main->closeEditDock(QObject::tr("Edit Standard"));
    if (m_folder)
        m_folder->removeRows(0, m_folder->rowCount());
}

QStandardItem *TstModbusEditor::addDevice(const QString &name)
{
    auto *item = new QStandardItem(name);
    item->setData(QStringLiteral("Modbus"), Role::Protocol);
    m_folder->appendRow(item);
    return item;
}

standardModbusEditDialog *TstModbusEditor::open(QStandardItem *item)
{
    auto *dlg = new standardModbusEditDialog(item, m_main.get());
    QObject::connect(dlg, &standardModbusEditDialog::messageAppended, m_main.get(), &CMainWindow::appendMessage);
    m_dialogs << dlg;
    dlg->show();
    settle();
    return dlg;
}

QStringList TstModbusEditor::messages() const
{
    const QString text = m_main->messageEditor()->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// --- form and record ------------------------------------------------------------------------

void TstModbusEditor::newDeviceGetsDefaultsBeforeSave()
{
    QStandardItem *item = addDevice(QStringLiteral("Meter"));
    standardModbusEditDialog *dlg = open(item);

    QCOMPARE(qobject_cast<QComboBox *>(formField(dlg, QString(), QStringLiteral("Modbus:")))->currentText(),
             QStringLiteral("ModbusTCP"));
    QVERIFY(formField(dlg, QStringLiteral("Network Layer Information"), QStringLiteral("IP:"))->isVisible());
    QVERIFY(!formField(dlg, QStringLiteral("Serial Port Information"), QStringLiteral("Serial Port:"))->isVisible());
    QCOMPARE(qobject_cast<QLineEdit *>(formField(dlg, QStringLiteral("Network Layer Information"),
                                                 QStringLiteral("Keep Alive Time:")))->text(),
             QStringLiteral("60000"));
    QCOMPARE(dlg->tabWidget()->count(), 0);

    // Written into the record on opening, not on Save.
    const QList<QPair<int, QString>> expected{
        {Role::ModbusIp, "192.168.1.60"}, {Role::ModbusPort, "502"},
        {Role::ConnectionTimeout, "2000"}, {Role::CommunicationTimeout, "2000"},
        {Role::KeepAlive, "60000"},       {Role::CommunicationTimeoutRtu, "2000"},
        {Role::CommunicationGap, "-1"},   {Role::CollectionInterval, "2000"},
    };
    for (const auto &field : expected)
        QCOMPARE(item->data(field.first).toString(), field.second);
    // Choices are shown, never written before Save.
    QVERIFY(!item->data(Role::Modbus).isValid());
    QVERIFY(!item->data(Role::BaudRate).isValid());
}

void TstModbusEditor::fillKeepsRecordValues()
{
    QStandardItem *item = addDevice(QStringLiteral("Drive"));
    item->setData(QStringLiteral("ModbusRTU"), Role::Modbus);
    item->setData(QStringLiteral("5020"), Role::ModbusPort);
    item->setData(QStringLiteral("9600"), Role::BaudRate);
    item->setData(QStringLiteral("1234"), Role::DataBit); // not a choice
    item->setData(QStringLiteral("EVEN"), Role::ParityBit);
    item->setData(QStringLiteral("true"), Role::RtsEnable);
    standardModbusEditDialog *dlg = open(item);

    const QString serial = QStringLiteral("Serial Port Information");
    QVERIFY(formField(dlg, serial, QStringLiteral("Baud Rate:"))->isVisible());
    QVERIFY(!formField(dlg, QStringLiteral("Network Layer Information"), QStringLiteral("IP:"))->isVisible());
    QCOMPARE(qobject_cast<QComboBox *>(formField(dlg, serial, QStringLiteral("Baud Rate:")))->currentText(),
             QStringLiteral("9600"));
    QCOMPARE(qobject_cast<QComboBox *>(formField(dlg, serial, QStringLiteral("Data Bit:")))->currentText(),
             QStringLiteral("8"));
    QCOMPARE(qobject_cast<QComboBox *>(formField(dlg, serial, QStringLiteral("Parity Bit:")))->currentText(),
             QStringLiteral("EVEN"));
    QVERIFY(qobject_cast<QCheckBox *>(formField(dlg, serial, QStringLiteral("Rts Enable:")))->isChecked());
    QCOMPARE(qobject_cast<QLineEdit *>(formField(dlg, QStringLiteral("Network Layer Information"),
                                                 QStringLiteral("Port:")))->text(),
             QStringLiteral("5020"));
    QCOMPARE(item->data(Role::ModbusPort).toString(), QStringLiteral("5020"));
    QCOMPARE(item->data(Role::DataBit).toString(), QStringLiteral("1234"));
}

void TstModbusEditor::saveClearsOtherMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QList<int>>("written");
    QTest::addColumn<QList<int>>("cleared");
    const QList<int> tcp{Role::ModbusIp, Role::ModbusPort, Role::ConnectionTimeout, Role::CommunicationTimeout,
                         Role::KeepAlive};
    const QList<int> rtu{Role::SerialPort, Role::BaudRate, Role::DataBit, Role::StopBit, Role::ParityBit,
                         Role::RtsEnable, Role::CommunicationTimeoutRtu, Role::CommunicationGap};
    QTest::newRow("RTU clears the network fields") << "ModbusRTU" << rtu << tcp;
    QTest::newRow("TCP clears the serial fields") << "ModbusTCP" << tcp << rtu;
}

void TstModbusEditor::saveClearsOtherMode()
{
    QFETCH(QString, mode);
    QFETCH(QList<int>, written);
    QFETCH(QList<int>, cleared);

    QStandardItem *item = addDevice(QStringLiteral("Pump"));
    item->setData(mode == QLatin1String("ModbusRTU") ? "ModbusTCP" : "ModbusRTU", Role::Modbus);
    standardModbusEditDialog *dlg = open(item);
    // Saved while hidden (an inactive dock tab): the mode decides, not what is on screen.
    dlg->hide();
    qobject_cast<QComboBox *>(formField(dlg, QString(), QStringLiteral("Modbus:")))->setCurrentText(mode);
    dlg->saveChanges();

    QCOMPARE(item->data(Role::Modbus).toString(), mode);
    QCOMPARE(item->data(Role::Protocol).toString(), QStringLiteral("Modbus"));
    QCOMPARE(item->data(Role::CollectionInterval).toString(), QStringLiteral("2000"));
    for (int role : written)
        QVERIFY2(item->data(role).isValid(), qPrintable(QString::number(role)));
    for (int role : cleared)
        QVERIFY2(!item->data(role).isValid() && item->data(role).toString().isEmpty(),
                 qPrintable(QString::number(role)));
    QCOMPARE(messages(), QStringList{"The Standard Modbus 'Pump' is saved successfully."});
}

void TstModbusEditor::saveWritesTabsAndRows()
{
    QStandardItem *item = addDevice(QStringLiteral("Boiler"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"),
                  {{QStringLiteral("standard"), QStringLiteral("3"), QStringLiteral("CDAB"), false, true},
                   point("40001", "Temp", "float", "2", "rw"), point("40003", "Text", "string", "8")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QCOMPARE(dlg->tabWidget()->count(), 1);

    // A row added by hand saves its line-edit texts.
    QTableWidget *table = tableOf(dlg, 0);
    button(dlg->tabWidget()->widget(0), QStringLiteral("Add"))->click();
    qobject_cast<QLineEdit *>(table->cellWidget(2, 0))->setText(QStringLiteral("1:5"));
    qobject_cast<QLineEdit *>(table->cellWidget(2, 1))->setText(QStringLiteral("Flag"));
    dlg->nameEdit()->setText(QStringLiteral("Boiler 2"));
    dlg->saveChanges();

    QCOMPARE(item->text(), QStringLiteral("Boiler 2"));
    const PointTable saved = item->data(Role::PointTable).value<PointTable>();
    QCOMPARE(saved.keys(), QStringList{"Modbus-1"});
    const QList<QVariantList> rows = saved.value(QStringLiteral("Modbus-1"));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0], (QVariantList{"standard", "3", "CDAB", false, true}));
    QCOMPARE(rows[0][3].type(), QVariant::Bool);
    QCOMPARE(rows[1], (QVariantList{"40001", "Temp", "float", "2", "rw"}));
    QCOMPARE(rows[2], (QVariantList{"40003", "Text", "string", "8", "r"}));
    QCOMPARE(rows[3], (QVariantList{"1:5", "Flag", "bool", "1", "r"}));
}

void TstModbusEditor::saveBeforeDeferredLoadKeepsTabs()
{
    QStandardItem *item = addDevice(QStringLiteral("Early"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("1", "A")});
    stored.insert(QStringLiteral("Modbus-2"), {slaveHeader("2"), point("2", "B")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);

    auto *dlg = new standardModbusEditDialog(item, m_main.get());

    QObject::connect(dlg, &standardModbusEditDialog::messageAppended, m_main.get(), &CMainWindow::appendMessage);
    m_dialogs << dlg;
    QCOMPARE(dlg->tabWidget()->count(), 0); // loading waits for the event loop
    dlg->saveChanges();
    QCOMPARE(item->data(Role::PointTable).value<PointTable>(), stored);
    QCOMPARE(dlg->tabWidget()->count(), 2);
    settle();
    QCOMPARE(dlg->tabWidget()->count(), 2);
}

void TstModbusEditor::closingTabRenumbers()
{
    standardModbusEditDialog *dlg = open(addDevice(QStringLiteral("Tabs")));
    QPushButton *addTab = button(dlg, QStringLiteral("Add Tab"));
    for (int i = 0; i < 3; ++i) {
        addTab->click();
        dlg->tabWidget()->widget(i)->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"))
            ->setText(QString::number(10 * (i + 1)));
    }
    QCOMPARE(tabTitles(dlg), (QStringList{"Modbus-1", "Modbus-2", "Modbus-3"}));

    emit dlg->tabWidget()->tabCloseRequested(0);
    QCOMPARE(tabTitles(dlg), (QStringList{"Modbus-1", "Modbus-2"}));
    QCOMPARE(stationOf(dlg, 0), QStringLiteral("20"));
    QCOMPARE(stationOf(dlg, 1), QStringLiteral("30"));
    addTab->click();
    QCOMPARE(tabTitles(dlg), (QStringList{"Modbus-1", "Modbus-2", "Modbus-3"}));
    QCOMPARE(stationOf(dlg, 2), QStringLiteral("1"));
}

void TstModbusEditor::tenTabsReopenInTextOrder()
{
    QStandardItem *item = addDevice(QStringLiteral("Many"));
    standardModbusEditDialog *dlg = open(item);
    for (int i = 1; i <= 11; ++i) {
        button(dlg, QStringLiteral("Add Tab"))->click();
        dlg->tabWidget()->widget(i - 1)->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"))
            ->setText(QString::number(i));
    }
    dlg->saveChanges();

    standardModbusEditDialog *reopened = open(item);
    QStringList stations;
    QStringList titles;
    for (int i = 0; i < reopened->tabWidget()->count(); ++i) {
        stations << stationOf(reopened, i);
        titles << QStringLiteral("Modbus-%1").arg(i + 1);
    }
    QCOMPARE(stations, (QStringList{"1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"}));
    QCOMPARE(tabTitles(reopened), titles);
    button(reopened, QStringLiteral("Add Tab"))->click();
    QCOMPARE(reopened->tabWidget()->tabText(11), QStringLiteral("Modbus-12"));
}

void TstModbusEditor::retargetDiscardsUnsavedTabs()
{
    QStandardItem *first = addDevice(QStringLiteral("First"));
    PointTable firstTable;
    firstTable.insert(QStringLiteral("Modbus-1"), {slaveHeader("7"), point("1", "A"), point("2", "B")});
    first->setData(QVariant::fromValue(firstTable), Role::PointTable);
    first->setData(QStringLiteral("9600"), Role::BaudRate);

    QStandardItem *second = addDevice(QStringLiteral("Second"));
    PointTable secondTable;
    secondTable.insert(QStringLiteral("Modbus-1"), {slaveHeader("9"), point("5", "E")});
    second->setData(QVariant::fromValue(secondTable), Role::PointTable);
    // Neither a value that is no choice nor a missing one may keep the first device's choice.
    second->setData(QStringLiteral("bogus"), Role::BaudRate);
    first->setData(QStringLiteral("EVEN"), Role::ParityBit);

    standardModbusEditDialog *dlg = open(first);
    button(dlg, QStringLiteral("Add Tab"))->click();
    button(dlg, QStringLiteral("Add Tab"))->click();
    QCOMPARE(dlg->tabWidget()->count(), 3);

    dlg->replaceItem(second);
    QCOMPARE(dlg->item(), second);
    QCOMPARE(dlg->nameEdit()->text(), QStringLiteral("Second"));
    QCOMPARE(tabTitles(dlg), QStringList{"Modbus-1"});
    QCOMPARE(stationOf(dlg, 0), QStringLiteral("9"));
    QCOMPARE(visibleRows(tableOf(dlg, 0)), (QList<QStringList>{{"5", "E", "int16", "1", "r"}}));
    auto *baud = qobject_cast<QComboBox *>(formField(dlg, QStringLiteral("Serial Port Information"),
                                                     QStringLiteral("Baud Rate:")));
    QCOMPARE(baud->currentText(), QStringLiteral("115200"));
    QCOMPARE(qobject_cast<QComboBox *>(formField(dlg, QStringLiteral("Serial Port Information"),
                                                 QStringLiteral("Parity Bit:")))->currentText(),
             QStringLiteral("NONE"));

    dlg->replaceItem(first);
    QCOMPARE(baud->currentText(), QStringLiteral("9600"));
    QCOMPARE(tabTitles(dlg), QStringList{"Modbus-1"});
    QCOMPARE(tableOf(dlg, 0)->rowCount(), 2);
    QCOMPARE(first->data(Role::PointTable).value<PointTable>(), firstTable);
    button(dlg, QStringLiteral("Add Tab"))->click();
    QCOMPARE(dlg->tabWidget()->tabText(1), QStringLiteral("Modbus-2"));
}

// --- table checks -----------------------------------------------------------------------------

void TstModbusEditor::nameCheck_data()
{
    QTest::addColumn<bool>("lineEdit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QStringList>("reported");

    const QString dup = QStringLiteral("The name of the '1' line already exists in this tab. Please use a different name.");
    const QString comma = QStringLiteral("The name cannot contain a comma. Please use a different name.");
    QTest::newRow("cell: duplicate") << false << "Temp1" << "" << QStringList{dup};
    QTest::newRow("cell: comma") << false << "a,b" << "" << QStringList{comma};
    QTest::newRow("cell: line break") << false << "a\r\nb" << ""
                                      << QStringList{"The name cannot contain a line break. Please use a different name."};
    QTest::newRow("cell: longer name") << false << "Temp10" << "Temp10" << QStringList();
    QTest::newRow("cell: differs in case") << false << "temp1" << "temp1" << QStringList();
    QTest::newRow("line edit: duplicate") << true << "Temp1" << "" << QStringList{dup};
    QTest::newRow("line edit: comma") << true << "x,y" << "" << QStringList{comma};
    QTest::newRow("line edit: typed past another name") << true << "Temp10" << "Temp10" << QStringList();
    QTest::newRow("line edit: blanks only") << true << "   " << "   " << QStringList();
}

void TstModbusEditor::nameCheck()
{
    QFETCH(bool, lineEdit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QStringList, reported);

    QStandardItem *item = addDevice(QStringLiteral("Names"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("1", "Temp1"), point("2", "Pump")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QTableWidget *table = tableOf(dlg, 0);

    if (lineEdit) {
        button(dlg->tabWidget()->widget(0), QStringLiteral("Add"))->click();
        auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(2, 1));
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClicks(edit, typed);
        // Nothing is checked while typing.
        QCOMPARE(edit->text(), typed);
        QVERIFY(messages().isEmpty());
        QTest::keyClick(edit, Qt::Key_Return);
    } else {
        table->item(1, 1)->setText(typed);
    }
    QCOMPARE(cell(table, lineEdit ? 2 : 1, 1), kept);
    QCOMPARE(messages(), reported);
}

void TstModbusEditor::addressCheck_data()
{
    QTest::addColumn<bool>("lineEdit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    QTest::newRow("cell: blank inside") << false << "40 001" << "";
    QTest::newRow("cell: surrounding blanks pass") << false << " 40001 " << " 40001 ";
    QTest::newRow("cell: not ASCII") << false << QString::fromUtf8("地址") << "";
    QTest::newRow("cell: punctuation") << false << "[1]:2.3_x,y" << "[1]:2.3_x,y";
    QTest::newRow("line edit: blank inside") << true << "1 2" << "";
    QTest::newRow("line edit: plain") << true << "0x10" << "0x10";
}

void TstModbusEditor::addressCheck()
{
    QFETCH(bool, lineEdit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    QStandardItem *item = addDevice(QStringLiteral("Addresses"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("1", "A"), point("2", "B")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QTableWidget *table = tableOf(dlg, 0);

    int row = 1;
    if (lineEdit) {
        button(dlg->tabWidget()->widget(0), QStringLiteral("Add"))->click();
        row = 2;
        auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(row, 0));
        edit->setFocus();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
    } else {
        table->item(row, 0)->setText(typed);
    }
    QCOMPARE(cell(table, row, 0), kept);
    const QStringList expected =
        kept.isEmpty() ? QStringList{QStringLiteral("Invalid input in row %1: only letters, digits, underscores, "
                                                    "dots, colons, and brackets are allowed.")
                                         .arg(row + 1)}
                       : QStringList();
    QCOMPARE(messages(), expected);
}

void TstModbusEditor::loadedDuplicatesAreReported()
{
    // Stored rows pass the same cell checks as edited ones, in row order.
    QStandardItem *item = addDevice(QStringLiteral("Loaded"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("1", "A"), point("bad addr", "B"),
                                               point("3", "A"), point("4", "x,y")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);

    QCOMPARE(visibleRows(tableOf(dlg, 0)),
             (QList<QStringList>{{"1", "A", "int16", "1", "r"}, {"", "B", "int16", "1", "r"},
                                 {"3", "", "int16", "1", "r"}, {"4", "", "int16", "1", "r"}}));
    QCOMPARE(messages(),
             (QStringList{"Invalid input in row 2: only letters, digits, underscores, dots, colons, and brackets are allowed.",
                          "The name of the '1' line already exists in this tab. Please use a different name.",
                          "The name cannot contain a comma. Please use a different name."}));
}

void TstModbusEditor::wheelLeavesChoiceUnchanged()
{
    standardModbusEditDialog *dlg = open(addDevice(QStringLiteral("Wheel")));
    button(dlg, QStringLiteral("Add Tab"))->click();
    button(dlg->tabWidget()->widget(0), QStringLiteral("Add"))->click();
    QTableWidget *table = tableOf(dlg, 0);

    auto turn = [](QComboBox *combo) {
        const QPointF at(5, 5);
        QWheelEvent event(at, combo->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &event);
    };
    // The same turn moves a combo box that has no filter, so the event itself is effective.
    QComboBox plain;
    plain.addItems({"bool", "int8"});
    turn(&plain);
    QCOMPARE(plain.currentIndex(), 1);

    for (int column : {2, 4}) {
        auto *combo = qobject_cast<QComboBox *>(table->cellWidget(0, column));
        QVERIFY(combo);
        turn(combo);
        QCOMPARE(combo->currentIndex(), 0);
    }
}

void TstModbusEditor::lengthFollowsType()
{
    QStandardItem *item = addDevice(QStringLiteral("Length"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"),
                  {slaveHeader("1"), point("1", "A", "int16", "-5"), point("2", "B", "string", "-5")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QTableWidget *table = tableOf(dlg, 0);

    auto length = [table](int row) { return qobject_cast<QLineEdit *>(table->cellWidget(row, 3)); };
    auto type = [table](int row) { return qobject_cast<QComboBox *>(table->cellWidget(row, 2)); };
    // Stored lengths are shown as they are; only a string length can be edited.
    QCOMPARE(length(0)->text(), QStringLiteral("-5"));
    QVERIFY(!length(0)->isEnabled());
    QVERIFY(length(1)->isEnabled());

    button(dlg->tabWidget()->widget(0), QStringLiteral("Add"))->click();
    QCOMPARE(type(2)->currentText(), QStringLiteral("bool"));
    QCOMPARE(length(2)->text(), QStringLiteral("1"));
    QVERIFY(!length(2)->isEnabled());
    type(2)->setCurrentText(QStringLiteral("string"));
    QVERIFY(length(2)->isEnabled());
    length(2)->setText(QStringLiteral("16"));
    type(2)->setCurrentText(QStringLiteral("uint32"));
    QVERIFY(!length(2)->isEnabled());
    QCOMPARE(length(2)->text(), QStringLiteral("1"));
    type(0)->setCurrentText(QStringLiteral("string"));
    QCOMPARE(length(0)->text(), QStringLiteral("-5"));
    QVERIFY(length(0)->isEnabled());
}

void TstModbusEditor::lengthCheckWarnsOnce()
{
    standardModbusEditDialog *dlg = open(addDevice(QStringLiteral("Check")));
    button(dlg, QStringLiteral("Add Tab"))->click();
    button(dlg->tabWidget()->widget(0), QStringLiteral("Add"))->click();
    QTableWidget *table = tableOf(dlg, 0);
    qobject_cast<QComboBox *>(table->cellWidget(0, 2))->setCurrentText(QStringLiteral("string"));
    auto *length = qobject_cast<QLineEdit *>(table->cellWidget(0, 3));

    // With the focus in the field: the box taking the focus finishes editing once more.
    dlg->activateWindow();
    length->setFocus();
    for (const QString &bad : {QStringLiteral("0"), QStringLiteral("-3"), QStringLiteral("x")}) {
        ModalAnswer::Scoped answerer;
        length->setText(bad);
        QTest::keyClick(length, Qt::Key_Return);
        QCOMPARE(answerer.seen(), QStringList{"Warning|Length must be a positive integer between 1 and 10."});
        QCOMPARE(length->text(), QStringLiteral("1"));
    }
    ModalAnswer::Scoped answerer;
    length->setText(QStringLiteral("12"));
    emit length->editingFinished();
    QVERIFY(answerer.seen().isEmpty());
    QCOMPARE(length->text(), QStringLiteral("12"));
}

void TstModbusEditor::deleteRemovesButtonsRow()
{
    QStandardItem *item = addDevice(QStringLiteral("Delete"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("1", "A"), point("2", "B"), point("3", "C")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QTableWidget *table = tableOf(dlg, 0);

    table->setCurrentCell(0, 0); // another row is current: the pressed button's row goes
    qobject_cast<QPushButton *>(table->cellWidget(1, 5))->click();
    QCOMPARE(visibleRows(table), (QList<QStringList>{{"1", "A", "int16", "1", "r"}, {"3", "C", "int16", "1", "r"}}));
    qobject_cast<QPushButton *>(table->cellWidget(1, 5))->click();
    QCOMPARE(table->rowCount(), 1);

    button(dlg->tabWidget()->widget(0), QStringLiteral("Remove All"))->click();
    QCOMPARE(table->rowCount(), 0);
    dlg->saveChanges();
    QCOMPARE(item->data(Role::PointTable).value<PointTable>().value(QStringLiteral("Modbus-1")),
             QList<QVariantList>{slaveHeader("1")});
}

void TstModbusEditor::longTableKeepsEditsWhileScrolling()
{
    // Rows far from view hold no widgets; what they show and save must not depend on that.
    QStandardItem *item = addDevice(QStringLiteral("Long"));
    QList<QVariantList> rows{slaveHeader("1")};
    for (int i = 0; i < 300; ++i)
        rows << point(QString::number(i), QStringLiteral("P%1").arg(i), i == 299 ? "Bool" : "uint16", "1",
                      i == 298 ? "x" : "rw");
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"), rows);
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QTableWidget *table = tableOf(dlg, 0);
    QCOMPARE(table->rowCount(), 300);

    auto type = [table](int row) { return qobject_cast<QComboBox *>(table->cellWidget(row, 2)); };
    auto length = [table](int row) { return qobject_cast<QLineEdit *>(table->cellWidget(row, 3)); };
    type(0)->setCurrentText(QStringLiteral("string"));
    length(0)->setText(QStringLiteral("8"));
    QVERIFY(table->viewport()->findChildren<QComboBox *>().size() < 150);

    table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
    settle();
    QVERIFY(table->viewport()->findChildren<QComboBox *>().size() < 150);
    QVERIFY(type(299));
    QCOMPARE(type(299)->currentText(), QStringLiteral("bool"));
    QCOMPARE(qobject_cast<QComboBox *>(table->cellWidget(298, 4))->currentText(), QStringLiteral("r"));

    dlg->saveChanges();
    const QList<QVariantList> saved = item->data(Role::PointTable).value<PointTable>().value("Modbus-1");
    QCOMPARE(saved.size(), 301);
    QCOMPARE(saved[1], (QVariantList{"0", "P0", "string", "8", "rw"}));
    QCOMPARE(saved[151], (QVariantList{"150", "P150", "uint16", "1", "rw"}));
    QCOMPARE(saved[299], (QVariantList{"298", "P298", "uint16", "1", "r"}));
    QCOMPARE(saved[300], (QVariantList{"299", "P299", "bool", "1", "rw"}));

    table->verticalScrollBar()->setValue(0);
    settle();
    QCOMPARE(type(0)->currentText(), QStringLiteral("string"));
    QCOMPARE(length(0)->text(), QStringLiteral("8"));
    QVERIFY(length(0)->isEnabled());
    QVERIFY(!length(1)->isEnabled());
}

// --- CSV ----------------------------------------------------------------------------------

void TstModbusEditor::importCsv_data()
{
    QTest::addColumn<QString>("file"); // contents, or "@missing" / "@cancel"
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<bool>("declined"); // No to the question before the points are replaced

    using Rows = QList<QStringList>;
    const Rows before{{"9", "Old", "uint16", "1", "rw"}};
    const QString h = kHeaderLine;
    QTest::newRow("replacing declined")
        << h + "40001,Temp,float,2,rw,\n" << QStringList() << before << QStringList() << true;
    QTest::newRow("header only empties") << h << QStringList() << Rows() << QStringList() << false;
    QTest::newRow("empty file empties") << QString() << QStringList() << Rows() << QStringList() << false;
    QTest::newRow("rows replace the table")
        << h + "40001, Temp ,float,2,rw,\n40003,Text,string,8,r,\n" << QStringList()
        << Rows{{"40001", "Temp", "float", "2", "rw"}, {"40003", "Text", "string", "8", "r"}} << QStringList() << false;
    QTest::newRow("Bool imports as bool, length kept")
        << h + "1,A,Bool,x,r,\n" << QStringList{kChoiceBox} << Rows{{"1", "A", "bool", "x", "r"}} << QStringList() << false;
    QTest::newRow("bad permissions default to r")
        << h + "1,A,int8,1,w,\n" << QStringList{kChoiceBox} << Rows{{"1", "A", "int8", "1", "r"}} << QStringList() << false;
    QTest::newRow("negative length shown")
        << h + "1,A,int16,-5,r,\n" << QStringList() << Rows{{"1", "A", "int16", "-5", "r"}} << QStringList() << false;
    QTest::newRow("fewer than six fields")
        << h + "1,A,bool,1,r\n" << QStringList{"error|CSV file has incorrect column count, unable to import"}
        << before << QStringList() << false;
    // The refusal names the header it wants.
    QTest::newRow("wrong header") << QString("Addr,Name,Type,Length,Permissions,Deleat\n")
                                  << QStringList{"error|CSV header does not match expected format.\n"
                                                 "Expected header: Address,Name,Type,Length,Permissions,Deleat"}
                                  << before << QStringList() << false;
    QTest::newRow("bad address")
        << h + "1,A,bool,1,r,\n1 2,B,bool,1,r,\n"
        << QStringList{"error|The address in the CSV row does not match the expected format."} << before
        << QStringList() << false;
    QTest::newRow("warning then bad length")
        << h + "1,A,Bool,1,r,\n2,B,int16,1.5,r,\n"
        << QStringList{kChoiceBox, "error|The length of the numbers in the CSV row does not match the expected format."}
        << before << QStringList() << false;
    QTest::newRow("duplicate names in the file")
        << h + "1,A,bool,1,r,\n2,A,bool,1,r,\n" << QStringList()
        << Rows{{"1", "A", "bool", "1", "r"}, {"2", "", "bool", "1", "r"}}
        << QStringList{"The name of the '1' line already exists in this tab. Please use a different name."} << false;
    QTest::newRow("unterminated quote")
        << h + "1,A,bool,1,r,\n2,\"B,bool,1,r,\n3,C,bool,1,r,\n"
        << QStringList{"error|Row 3 of the CSV file opens a quote that is never closed, unable to import"} << before
        << QStringList() << false;
    QTest::newRow("quoted name with a line break")
        << h + "1,\"Line\nbreak\",bool,1,r,\n2,B,bool,1,r,\n" << QStringList()
        << Rows{{"1", "", "bool", "1", "r"}, {"2", "B", "bool", "1", "r"}}
        << QStringList{"The name cannot contain a line break. Please use a different name."} << false;
    QTest::newRow("fixture with quoting and CRLF")
        << QStringLiteral("@fixture") << QStringList()
        << Rows{{"40001", "Boiler \"A\" temp", "float", "2", "r"}, {"1,2", "Flow", "uint32", "1", "rw"},
                {"0x10", "Label", "string", "12", "r"}}
        << QStringList() << false;
    QTest::newRow("unreadable file") << QStringLiteral("@missing")
                                     << QStringList{"mistake|Unable to open file for reading.\nNo such file or directory"}
                                     << before << QStringList() << false;
    // A file that never ends is read no further than the limit.
    QTest::newRow("endless device") << QStringLiteral("/dev/zero")
                                    << QStringList{"mistake|Unable to open file for reading.\nit holds more than 64 MiB"}
                                    << before << QStringList() << false;
    QTest::newRow("cancelled") << QStringLiteral("@cancel") << QStringList() << before << QStringList() << false;
}

void TstModbusEditor::importCsv()
{
    QFETCH(QString, file);
    QFETCH(QStringList, boxes);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QStringList, reported);
    QFETCH(bool, declined);

    QStandardItem *item = addDevice(QStringLiteral("Import"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("9", "Old", "uint16", "1", "rw")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);

    QString path = m_dir.filePath(QStringLiteral("import.csv"));
    if (file == QLatin1String("@missing")) {
        path = m_dir.filePath(QStringLiteral("no-such.csv"));
    } else if (file == QLatin1String("@cancel")) {
        path.clear();
    } else if (file.startsWith(QLatin1String("/dev/"))) {
        path = file;
    } else if (file == QLatin1String("@fixture")) {
        path = QStringLiteral(ORVANE_TEST_DATA_DIR "/devices/points_quoted.csv");
    } else {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(file.toUtf8());
    }

    ModalAnswer::Scoped answerer(declined ? QMessageBox::No : QMessageBox::Yes);
    FileDialogs::setNextAnswerForTesting(path);
    button(dlg->tabWidget()->widget(0), QStringLiteral("Import"))->click();
    // A file that imports asks before it replaces the point already in the tab.
    if (rows != QList<QStringList>{{"9", "Old", "uint16", "1", "rw"}} || declined)
        boxes.append(QStringLiteral("Import|This tab holds 1 points. Importing replaces them with the %1 points of "
                                    "the file. Replace them?")
                         .arg(declined ? 1 : rows.size()));
    QCOMPARE(answerer.seen(), boxes);
    QCOMPARE(visibleRows(tableOf(dlg, 0)), rows);
    QCOMPARE(messages(), reported);
    // Imported rows save like stored ones.
    dlg->saveChanges();
    QCOMPARE(item->data(Role::PointTable).value<PointTable>().value("Modbus-1").size(), rows.size() + 1);
}

void TstModbusEditor::importEitherLanguage_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("chineseInterface");
    QTest::addColumn<QList<QStringList>>("rows");

    using Rows = QList<QStringList>;
    const Rows english{{"40001", "温度", "float", "2", "r"}, {"40003", "Flow", "uint16", "1", "rw"}};
    const Rows chinese{{"40001", "温度", "float", "2", "r"}, {"40003", "流量", "uint16", "1", "rw"}};
    QTest::newRow("English export, Chinese interface") << "points_english.csv" << true << english;
    QTest::newRow("English export, English interface") << "points_english.csv" << false << english;
    QTest::newRow("GBK, Chinese header, English interface") << "points_gbk.csv" << false << chinese;
    QTest::newRow("GBK, Chinese header, Chinese interface") << "points_gbk.csv" << true << chinese;
    QTest::newRow("UTF-8 with BOM, Chinese header") << "points_bom.csv" << false << chinese;
}

void TstModbusEditor::importEitherLanguage()
{
    QFETCH(QString, fixture);
    QFETCH(bool, chineseInterface);
    QFETCH(QList<QStringList>, rows);

    // The interface language is the one the table is built in.
    QTranslator catalogue;
    if (chineseInterface) {
        QVERIFY(catalogue.load(QStringLiteral(":/adsdemo/chinese.qm")));
        QCoreApplication::installTranslator(&catalogue);
    }
    auto text = [](const char *source) { return QCoreApplication::translate("standardModbusEditDialog", source); };
    standardModbusEditDialog *dlg = open(addDevice(QStringLiteral("Lang")));
    button(dlg, text("Add Tab"))->click();
    QPushButton *import = button(dlg->tabWidget()->widget(0), text("Import"));
    QCoreApplication::removeTranslator(&catalogue);
    QTableWidget *table = tableOf(dlg, 0);
    QCOMPARE(table->horizontalHeaderItem(0)->text(),
             chineseInterface ? QStringLiteral("地址") : QStringLiteral("Address"));

    ModalAnswer::Scoped answerer;
    FileDialogs::setNextAnswerForTesting(QStringLiteral(ORVANE_TEST_DATA_DIR "/devices/") + fixture);
    import->click();
    QCOMPARE(answerer.seen(), QStringList());
    QCOMPARE(visibleRows(table), rows);
}

void TstModbusEditor::exportExactText()
{
    QStandardItem *item = addDevice(QStringLiteral("Export"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"),
                  {slaveHeader("1"), point("40001", "Temp", "float", "2", "rw"), point("1,2", "say \"hi\"")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QWidget *page = dlg->tabWidget()->widget(0);
    button(page, QStringLiteral("Add"))->click();
    QTableWidget *table = tableOf(dlg, 0);
    qobject_cast<QLineEdit *>(table->cellWidget(2, 0))->setText(QStringLiteral("7"));
    qobject_cast<QLineEdit *>(table->cellWidget(2, 1))->setText(QStringLiteral("New"));

    const QString path = m_dir.filePath(QStringLiteral("export.csv"));
    FileDialogs::setNextAnswerForTesting(path);
    button(page, QStringLiteral("Export"))->click();
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(in.readAll()),
             QStringLiteral("Address,Name,Type,Length,Permissions,Deleat\n"
                            "40001,Temp,float,2,rw,\n"
                            "\"1,2\",\"say \"\"hi\"\"\",int16,1,r,\n"
                            "7,New,bool,1,r,\n"));
}

void TstModbusEditor::exportUnwritable()
{
    standardModbusEditDialog *dlg = open(addDevice(QStringLiteral("NoWrite")));
    button(dlg, QStringLiteral("Add Tab"))->click();
    ModalAnswer::Scoped answerer;
    FileDialogs::setNextAnswerForTesting(m_dir.path()); // a directory
    button(dlg->tabWidget()->widget(0), QStringLiteral("Export"))->click();
    QCOMPARE(answerer.seen(), QStringList{"Mistake|Unable to open file for writing."});
}

void TstModbusEditor::exportImportRoundTrip()
{
    QStandardItem *item = addDevice(QStringLiteral("Trip"));
    PointTable stored;
    stored.insert(QStringLiteral("Modbus-1"),
                  {slaveHeader("1"), point("1,2", "say \"hi\"", "string", "8", "rw"), point("\"3\"", "B,", "double"),
                   point("40001", "Temp", "float", "2", "r")});
    item->setData(QVariant::fromValue(stored), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    // "B," is refused by the name check on loading; everything else must survive the trip.
    const QList<QStringList> original = visibleRows(tableOf(dlg, 0));
    m_main->messageEditor()->clear();

    const QString path = m_dir.filePath(QStringLiteral("trip.csv"));
    FileDialogs::setNextAnswerForTesting(path);
    button(dlg->tabWidget()->widget(0), QStringLiteral("Export"))->click();

    button(dlg, QStringLiteral("Add Tab"))->click();
    ModalAnswer::Scoped answerer;
    FileDialogs::setNextAnswerForTesting(path);
    button(dlg->tabWidget()->widget(1), QStringLiteral("Import"))->click();
    QVERIFY(answerer.seen().isEmpty());
    QVERIFY(messages().isEmpty());
    QCOMPARE(visibleRows(tableOf(dlg, 1)), original);
    QCOMPARE(original.first().first(), QStringLiteral("1,2"));
}

// --- through the main window ------------------------------------------------------------

void TstModbusEditor::mainWindowReusesDockAndSaves()
{
    QStandardItem *first = addDevice(QStringLiteral("Pump-1"));
    QStandardItem *second = addDevice(QStringLiteral("Pump-2"));
    PointTable secondTable;
    secondTable.insert(QStringLiteral("Modbus-1"), {slaveHeader("4"), point("1", "Level")});
    second->setData(QVariant::fromValue(secondTable), Role::PointTable);
    const QString title = QObject::tr("Edit Standard");

    m_main->projectView()->setCurrentIndex(first->index());
    m_main->slotstandardEditFile();
    ads::CDockWidget *dock = m_main->findEditDock(title);
    QVERIFY(dock);
    QPointer<standardModbusEditDialog> dlg = qobject_cast<standardModbusEditDialog *>(dock->widget());
    QVERIFY(dlg);
    QCOMPARE(dlg->item(), first);

    // A second Modbus device re-uses the dock and its editor.
    m_main->projectView()->setCurrentIndex(second->index());
    m_main->slotstandardEditFile();
    QCOMPARE(m_main->findEditDock(title), dock);
    QCOMPARE(qobject_cast<standardModbusEditDialog *>(dock->widget()), dlg.data());
    QCOMPARE(dlg->item(), second);
    QCOMPARE(dlg->nameEdit()->text(), QStringLiteral("Pump-2"));
    QCOMPARE(stationOf(dlg, 0), QStringLiteral("4"));

    // Save checks the name against the folder first: nothing is written.
    {
        ModalAnswer::Scoped answerer;
        dlg->nameEdit()->setText(QStringLiteral("Pump-1"));
        dlg->saveButton()->click();
        QCOMPARE(answerer.seen(), QStringList{"Duplicate name|The name\"Pump-1\"already exists, please change the name."});
    }
    QCOMPARE(second->text(), QStringLiteral("Pump-2"));
    QVERIFY(!second->data(Role::Modbus).isValid());
    QVERIFY(dlg);

    // A good name renames the item the editor now shows, writes its record, closes the dock.
    dlg->nameEdit()->setText(QStringLiteral("Pump-3"));
    button(dlg, QStringLiteral("Add Tab"))->click();
    dlg->saveButton()->click();
    QCOMPARE(second->text(), QStringLiteral("Pump-3"));
    QCOMPARE(first->text(), QStringLiteral("Pump-1"));
    QCOMPARE(second->data(Role::Modbus).toString(), QStringLiteral("ModbusTCP"));
    QCOMPARE(second->data(Role::PointTable).value<PointTable>().keys(), (QStringList{"Modbus-1", "Modbus-2"}));
    QVERIFY(!first->data(Role::PointTable).isValid());
    QVERIFY(messages().contains(QStringLiteral("The Standard Modbus 'Pump-3' is saved successfully.")));
    QVERIFY(!m_main->findEditDock(title));
    QTRY_VERIFY_WITH_TIMEOUT(!dlg, 2000);
}

void TstModbusEditor::saveRefusesUnacceptableField_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("group"); // group title; "" the interval, "tab" the station number
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("warned"); // the field the warning names, or the whole "title|text"; empty: saved
    QTest::addColumn<QString>("stored"); // the field's record text after a save

    const QString network = QStringLiteral("Network Layer Information");
    const QString serial = QStringLiteral("Serial Port Information");
    struct Field
    {
        QString mode, group, label;
        int role;
        QString aboveRange, name;
    };
    const Field fields[] = {
        {"ModbusTCP", network, "Port:", Role::ModbusPort, "99999", "Port"},
        {"ModbusTCP", network, "Connection Timeout:", Role::ConnectionTimeout, "9999999999", "Connection Timeout"},
        {"ModbusRTU", serial, "Communication Timeout:", Role::CommunicationTimeoutRtu, "9999999999",
         "Communication Timeout"},
        {"ModbusTCP", "", "", Role::CollectionInterval, "9999999999", "Collection Interval"},
    };
    for (const Field &f : fields) {
        for (const QString &text : {f.aboveRange, QStringLiteral("1,024"), QStringLiteral("-"), QStringLiteral("-1")}) {
            const bool good = text == QLatin1String("-1");
            QTest::newRow(qPrintable(f.name + ' ' + text))
                << f.mode << f.group << f.label << f.role << text << (good ? QString() : f.name) << text;
        }
    }
    // A field of the mode not in use is neither checked nor kept.
    QTest::newRow("port under RTU") << "ModbusRTU" << network << "Port:" << int(Role::ModbusPort) << "99999"
                                    << QString() << QString();
    QTest::newRow("station number") << "ModbusTCP" << "tab" << "Station Num:" << int(Role::PointTable) << "1,024"
                                    << "Modbus-1 Station Num" << QString();
    // The typing rule lets a leading zero stand; the device would be polled at 127.0.4.8.
    QTest::newRow("IP with a leading zero") << "ModbusTCP" << network << "IP:" << int(Role::ModbusIp) << "127.0.4.010"
                                            << leadingZeroWarning("127.0.4.010", "IP") << QString();
    QTest::newRow("IP with zero parts") << "ModbusTCP" << network << "IP:" << int(Role::ModbusIp) << "10.0.0.1"
                                        << QString() << "10.0.0.1";
}

void TstModbusEditor::saveRefusesUnacceptableField()
{
    QFETCH(QString, mode);
    QFETCH(QString, group);
    QFETCH(QString, label);
    QFETCH(int, role);
    QFETCH(QString, text);
    QFETCH(QString, warned);
    QFETCH(QString, stored);

    QStandardItem *item = addDevice(QStringLiteral("Checked"));
    item->setData(mode, Role::Modbus);
    PointTable points;
    points.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("1", "A")});
    item->setData(QVariant::fromValue(points), Role::PointTable);
    const QString title = QObject::tr("Edit Standard");
    m_main->projectView()->setCurrentIndex(item->index());
    m_main->slotstandardEditFile();
    ads::CDockWidget *dock = m_main->findEditDock(title);
    QVERIFY(dock);
    auto *dlg = qobject_cast<standardModbusEditDialog *>(dock->widget());
    QVERIFY(dlg);
    settle();

    QLineEdit *edit = nullptr;
    if (group.isEmpty())
        edit = intervalEdit(dlg);
    else if (group == QLatin1String("tab"))
        edit = dlg->tabWidget()->widget(0)->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"));
    else
        edit = qobject_cast<QLineEdit *>(formField(dlg, group, label));
    QVERIFY(edit);
    edit->setText(text);
    dlg->nameEdit()->setText(QStringLiteral("Renamed"));
    const QMap<int, QVariant> before = recordOf(item);

    ModalAnswer::Scoped answerer;
    button(dlg, QStringLiteral("Save"))->click();

    if (warned.isEmpty()) {
        QCOMPARE(answerer.seen(), QStringList());
        QCOMPARE(item->text(), QStringLiteral("Renamed"));
        if (role != Role::PointTable)
            QCOMPARE(item->data(role).toString(), stored);
        QVERIFY(!m_main->findEditDock(title));
        return;
    }
    QCOMPARE(answerer.seen(), QStringList{warned.contains('|') ? warned : fieldWarning(warned)});
    // Neither renamed nor written, and the editor stays open with the text as typed.
    QCOMPARE(item->text(), QStringLiteral("Checked"));
    QCOMPARE(recordOf(item), before);
    QVERIFY(messages().isEmpty());
    QCOMPARE(m_main->findEditDock(title), dock);
    QCOMPARE(edit->text(), text);
}

void TstModbusEditor::focusedEditorAtTeardown()
{
    // A line edit finishes editing when the dying dialog hides it; its checks must not run.
    QStandardItem *item = addDevice(QStringLiteral("Teardown"));
    PointTable points;
    points.insert(QStringLiteral("Modbus-1"), {slaveHeader("1"), point("1", "A")});
    item->setData(QVariant::fromValue(points), Role::PointTable);
    standardModbusEditDialog *dlg = open(item);
    QApplication::setActiveWindow(dlg);
    QVERIFY(QTest::qWaitForWindowActive(dlg));
    QTableWidget *table = tableOf(dlg, 0);
    button(dlg->tabWidget()->widget(0), QStringLiteral("Add"))->click();
    auto *address = qobject_cast<QLineEdit *>(table->cellWidget(1, 0));
    QVERIFY(address);
    address->setFocus();
    QVERIFY(address->hasFocus());
    QTest::keyClicks(address, QStringLiteral("1 2"));

    delete dlg;
    QVERIFY(messages().isEmpty());
}

QTEST_MAIN(TstModbusEditor)
#include "tst_modbuseditor.moc"
