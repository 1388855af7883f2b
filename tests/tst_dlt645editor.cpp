// The DLT645 meter editor: filling and saving the record, meter tabs and their catalogue rows,
// the edition switch, Select All, the name check, re-targeting, what the project file makes of
// a saved meter, and the editor inside the main window. Message boxes are answered from a
// zero-delay timer.

#include "FieldCheckSupport.h"
#include "ModalAnswer.h"

#include "Dlt645MeterPeer.h"
#include "ModbusServerProcess.h"
#include "gui/devices/MeterTestReadDialog.h"
#include "gui/devices/standardDLT645EditDialog.h"

#include "gui/devices/standardModbusEditDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/Dlt645Catalogue.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

const QString k2007 = QStringLiteral("DLT645_2007");
const QString k1997 = QStringLiteral("DLT645_1997");

// The field of a row of the dialog's main form, found by its label.
QWidget *formField(QWidget *root, const QString &label)
{
    for (QFormLayout *form : root->findChildren<QFormLayout *>()) {
        for (int row = 0; row < form->rowCount(); ++row) {
            QLayoutItem *labelItem = form->itemAt(row, QFormLayout::LabelRole);
            auto *text = labelItem ? qobject_cast<QLabel *>(labelItem->widget()) : nullptr;
            if (text && text->text() == label)
                return form->itemAt(row, QFormLayout::FieldRole)->widget();
        }
    }
    return nullptr;
}

QString comboText(QWidget *root, const QString &label)
{
    auto *combo = qobject_cast<QComboBox *>(formField(root, label));
    return combo ? combo->currentText() : QStringLiteral("<none>");
}

QString editText(QWidget *root, const QString &label)
{
    auto *edit = qobject_cast<QLineEdit *>(formField(root, label));
    return edit ? edit->text() : QStringLiteral("<none>");
}

QPushButton *button(QWidget *root, const QString &text)
{
    for (QPushButton *b : root->findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QWidget *page(standardDLT645EditDialog *dlg, int tab)
{
    return dlg->tabWidget()->widget(tab);
}

QTableWidget *tableOf(standardDLT645EditDialog *dlg, int tab)
{
    return page(dlg, tab)->findChild<QTableWidget *>();
}

QLineEdit *addressOf(standardDLT645EditDialog *dlg, int tab)
{
    return qobject_cast<QLineEdit *>(formField(page(dlg, tab), QStringLiteral("Slave Address:")));
}

QComboBox *editionOf(standardDLT645EditDialog *dlg, int tab)
{
    return qobject_cast<QComboBox *>(formField(page(dlg, tab), QStringLiteral("Protocol Version:")));
}

QCheckBox *checkOf(QTableWidget *table, int row)
{
    return qobject_cast<QCheckBox *>(table->cellWidget(row, 0));
}

QList<int> checkedRows(QTableWidget *table)
{
    QList<int> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (checkOf(table, row) && checkOf(table, row)->isChecked())
            rows << row;
    }
    return rows;
}

QStringList column(QTableWidget *table, int col)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << (table->item(row, col) ? table->item(row, col)->text() : QStringLiteral("<none>"));
    return texts;
}

QStringList blanks(int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << QString();
    return texts;
}

QStringList tabTitles(standardDLT645EditDialog *dlg)
{
    QStringList titles;
    for (int i = 0; i < dlg->tabWidget()->count(); ++i)
        titles << dlg->tabWidget()->tabText(i);
    return titles;
}

// A catalogue row of the stored form: [selected, data item, name].
QVariantList meterRow(bool selected, const QString &item, const QString &name)
{
    return {selected, item, name};
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace

class TstDlt645Editor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fillsFormFromRecord_data();
    void fillsFormFromRecord();
    void tabsAndEditionSwitch();
    void selectAll_data();
    void selectAll();
    void duplicateNameIsRefused();
    void savedMeterReopens();
    void savedMeterReachesProjectFile();
    void loadedFileOpensInEditor();
    void retargetDiscardsUnsavedTabs();

    void mainWindowSwapsAndReusesDock();
    void saveRefusesUnacceptableField_data();
    void saveRefusesUnacceptableField();
    void openCellEditorAtTeardown();
    void meterTestRead();

private:
    QStandardItem *addDevice(const QString &name, const QString &protocol = QStringLiteral("DLT645"));
    standardDLT645EditDialog *open(QStandardItem *item);
    QStringList messages() const;

    std::unique_ptr<CMainWindow> m_main;
    QTemporaryDir m_dir;
    QString m_previousDir;
    QStandardItem *m_folder = nullptr;
    QList<QPointer<standardDLT645EditDialog>> m_dialogs;
};

void TstDlt645Editor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // "Settings.ini" lands in the working directory.
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
    m_main.reset(new CMainWindow);
    m_main->handleProjectCreated(QStringLiteral("Plant"), m_dir.path(), QString());
    QStandardItem *project = m_main->projectModel()->item(0);
    QVERIFY(project);
    m_folder = project->child(0);
    QCOMPARE(m_folder->text(), QStringLiteral("Standard"));
}

void TstDlt645Editor::init()
{
    m_main->messageEditor()->clear();
}

void TstDlt645Editor::cleanup()
{
    for (const auto &dlg : qAsConst(m_dialogs))
        delete dlg.data();
    m_dialogs.clear();
    m_main->closeEditDock(QObject::tr("Edit Standard"));
    settle();
    if (m_folder)
        m_folder->removeRows(0, m_folder->rowCount());
}

QStandardItem *TstDlt645Editor::addDevice(const QString &name, const QString &protocol)
{
    auto *item = new QStandardItem(name);
    item->setData(protocol, Role::Protocol);
    m_folder->appendRow(item);
    return item;
}

standardDLT645EditDialog *TstDlt645Editor::open(QStandardItem *item)
{
    auto *dlg = new standardDLT645EditDialog(item, m_main.get());
    QObject::connect(dlg, &standardDLT645EditDialog::messageAppended, m_main.get(), &CMainWindow::appendMessage);
    m_dialogs << dlg;
    dlg->show();
    settle();
    return dlg;
}

QStringList TstDlt645Editor::messages() const
{
    const QString text = m_main->messageEditor()->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// --- form and record ------------------------------------------------------------------------

void TstDlt645Editor::fillsFormFromRecord_data()
{
    QTest::addColumn<QStringList>("record"); // serialport, baudRate, dataBit, stopBit, parityBit, rtsEnable
    QTest::addColumn<bool>("retarget");       // reached through replaceItem from another device
    QTest::addColumn<QStringList>("shown");  // the five combo boxes and the check box

    const QStringList empty{"", "", "", "", "", ""};
    const QStringList defaults{"COM1", "2400", "8", "1", "EVEN", "false"};
    const QStringList stored{"COM2", "9600", "7", "2", "ODD", "true"};
    const QStringList unknown{"COM9", "300", "9", "3", "MARK", "1"};
    QTest::newRow("new meter") << empty << false << defaults;
    QTest::newRow("stored values") << stored << false << stored;
    QTest::newRow("texts that are no choice") << unknown << false << QStringList{"COM1", "2400", "8", "1", "EVEN", "false"};
    // A re-targeted editor shows what a fresh one shows, never the previous device's values.
    QTest::newRow("new meter, re-targeted") << empty << true << defaults;
    QTest::newRow("no choice, re-targeted") << unknown << true << QStringList{"COM1", "2400", "8", "1", "EVEN", "false"};
}

void TstDlt645Editor::fillsFormFromRecord()
{
    QFETCH(QStringList, record);
    QFETCH(bool, retarget);
    QFETCH(QStringList, shown);

    QStandardItem *item = addDevice(QStringLiteral("Meter"));
    const int roles[] = {Role::SerialPort, Role::BaudRate, Role::DataBit, Role::StopBit, Role::ParityBit, Role::RtsEnable};
    for (int i = 0; i < 6; ++i) {
        if (!record.at(i).isEmpty())
            item->setData(record.at(i), roles[i]);
    }

    standardDLT645EditDialog *dlg = nullptr;
    if (retarget) {
        QStandardItem *other = addDevice(QStringLiteral("Other"));
        const QStringList otherValues{"COM2", "9600", "7", "2", "ODD", "true"};
        for (int i = 0; i < 6; ++i)
            other->setData(otherValues.at(i), roles[i]);
        dlg = open(other);
        dlg->replaceItem(item);
    } else {
        dlg = open(item);
    }

    QCOMPARE(dlg->nameEdit()->text(), QStringLiteral("Meter"));
    QCOMPARE(comboText(dlg, QStringLiteral("Protocol:")), QStringLiteral("DLT645"));
    const QStringList labels{"Serial Port:", "Baud Rate:", "Data Bit:", "Stop Bit:", "Parity Bit:"};
    QStringList actual;
    for (const QString &label : labels)
        actual << comboText(dlg, label);
    actual << (qobject_cast<QCheckBox *>(formField(dlg, QStringLiteral("Rts Enable:")))->isChecked()
                   ? QStringLiteral("true")
                   : QStringLiteral("false"));
    QCOMPARE(actual, shown);
    QCOMPARE(dlg->tabWidget()->count(), 0);

    // The line edits' defaults reach the record on opening; the combo boxes' do not.
    QCOMPARE(editText(dlg, QStringLiteral("Communication Timeout:")), QStringLiteral("2000"));
    QCOMPARE(editText(dlg, QStringLiteral("Communication Gap:")), QStringLiteral("-1"));
    QCOMPARE(item->data(Role::CommunicationTimeout).toString(), QStringLiteral("2000"));
    QCOMPARE(item->data(Role::CommunicationGap).toString(), QStringLiteral("-1"));
    QCOMPARE(item->data(Role::CollectionInterval).toString(), QStringLiteral("2000"));
    QCOMPARE(item->data(Role::BaudRate).toString(), record.at(1));
    QVERIFY(!item->data(Role::PointTable).isValid());

    // Save writes exactly what is shown.
    dlg->saveChanges();
    QStringList saved;
    for (int role : roles)
        saved << item->data(role).toString();
    QCOMPARE(saved, shown);
    QCOMPARE(item->data(Role::Protocol).toString(), QStringLiteral("DLT645"));
    QCOMPARE(messages(), QStringList{"The Standard DLT645 'Meter' is saved successfully."});
}

// --- tabs -----------------------------------------------------------------------------------

void TstDlt645Editor::tabsAndEditionSwitch()
{
    standardDLT645EditDialog *dlg = open(addDevice(QStringLiteral("Meter")));
    QPushButton *addTab = button(dlg, QStringLiteral("Add Tab"));
    QVERIFY(addTab);
    addTab->click();
    addTab->click();
    QCOMPARE(tabTitles(dlg), (QStringList{"DLT645-1", "DLT645-2"}));
    const QStringList names2007 = Dlt645Catalogue::translatedNames(Dlt645Catalogue::Edition::V2007);
    QCOMPARE(names2007.size(), 44);
    for (int tab = 0; tab < 2; ++tab) {
        QTableWidget *table = tableOf(dlg, tab);
        QCOMPARE(addressOf(dlg, tab)->text(), QStringLiteral("AAAAAAAAAAAA"));
        QCOMPARE(editionOf(dlg, tab)->currentText(), k2007);
        QCOMPARE(column(table, 1), names2007);
        QCOMPARE(column(table, 2), blanks(44));
        QVERIFY(checkedRows(table).isEmpty());
        QVERIFY(!(table->item(0, 1)->flags() & Qt::ItemIsEditable));
    }

    // Switching the second (not the current) tab rebuilds its table only.
    QTableWidget *first = tableOf(dlg, 0);
    checkOf(first, 3)->setChecked(true);
    first->item(3, 2)->setText(QStringLiteral("E1"));
    QTableWidget *second = tableOf(dlg, 1);
    checkOf(second, 0)->setChecked(true);
    second->item(0, 2)->setText(QStringLiteral("E4"));
    QCOMPARE(dlg->tabWidget()->currentIndex(), 0);
    editionOf(dlg, 1)->setCurrentText(k1997);

    second = tableOf(dlg, 1);
    QCOMPARE(column(second, 1), Dlt645Catalogue::translatedNames(Dlt645Catalogue::Edition::V1997));
    QCOMPARE(second->rowCount(), 30);
    QVERIFY(checkedRows(second).isEmpty());
    QCOMPARE(column(second, 2), blanks(30));
    QCOMPARE(checkedRows(first), QList<int>{3});
    QCOMPARE(first->item(3, 2)->text(), QStringLiteral("E1"));
    QCOMPARE(first->rowCount(), 44);
    QVERIFY(messages().isEmpty());

    // Closing a tab renumbers the rest; the next tab continues from there.
    dlg->tabWidget()->tabCloseRequested(0);
    QCOMPARE(tabTitles(dlg), QStringList{"DLT645-1"});
    QCOMPARE(tableOf(dlg, 0)->rowCount(), 30);
    addTab->click();
    QCOMPARE(tabTitles(dlg), (QStringList{"DLT645-1", "DLT645-2"}));
}

void TstDlt645Editor::selectAll_data()
{
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<bool>("viaHeader");
    QTest::addColumn<bool>("expectAll");

    QList<int> all;
    for (int row = 0; row < 44; ++row)
        all << row;
    QList<int> allButOne = all;
    allButOne.removeAll(17);
    QTest::newRow("none checked, button") << QList<int>() << false << true;
    QTest::newRow("one unchecked, button") << allButOne << false << true;
    QTest::newRow("all checked, button") << all << false << false;
    QTest::newRow("one unchecked, header") << allButOne << true << true;
    QTest::newRow("all checked, header") << all << true << false;
}

void TstDlt645Editor::selectAll()
{
    QFETCH(QList<int>, checked);
    QFETCH(bool, viaHeader);
    QFETCH(bool, expectAll);

    standardDLT645EditDialog *dlg = open(addDevice(QStringLiteral("Meter")));
    button(dlg, QStringLiteral("Add Tab"))->click();
    QTableWidget *table = tableOf(dlg, 0);
    for (int row : checked)
        checkOf(table, row)->setChecked(true);

    // Other header sections leave the boxes alone.
    table->horizontalHeader()->sectionClicked(1);
    table->horizontalHeader()->sectionClicked(2);
    QCOMPARE(checkedRows(table), checked);

    if (viaHeader)
        table->horizontalHeader()->sectionClicked(0);
    else
        button(page(dlg, 0), QStringLiteral("Select All"))->click();
    QCOMPARE(checkedRows(table).size(), expectAll ? 44 : 0);
}

void TstDlt645Editor::duplicateNameIsRefused()
{
    standardDLT645EditDialog *dlg = open(addDevice(QStringLiteral("Meter")));
    button(dlg, QStringLiteral("Add Tab"))->click();
    button(dlg, QStringLiteral("Add Tab"))->click();
    QTableWidget *table = tableOf(dlg, 0);

    table->item(1, 2)->setText(QStringLiteral("Energy"));
    table->item(2, 2)->setText(QStringLiteral("Energy2")); // a prefix is no duplicate
    tableOf(dlg, 1)->item(4, 2)->setText(QStringLiteral("Energy")); // nor the same name in another meter
    QVERIFY(messages().isEmpty());

    table->item(4, 2)->setText(QStringLiteral("Energy"));
    QCOMPARE(messages(), QStringList{"The name of the '5' line already exists. Please use a different name."});
    QCOMPARE(table->item(4, 2)->text(), QString());
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("Energy"));

    // Clearing a name reports nothing, even with other empty names around.
    m_main->messageEditor()->clear();
    table->item(1, 2)->setText(QString());
    QCOMPARE(table->item(1, 2)->text(), QString());
    QVERIFY(messages().isEmpty());
}

// --- saving, loading, project file ----------------------------------------------------------

void TstDlt645Editor::savedMeterReopens()
{
    QStandardItem *item = addDevice(QStringLiteral("Meter"));
    {
        standardDLT645EditDialog *dlg = open(item);
        QPushButton *addTab = button(dlg, QStringLiteral("Add Tab"));
        addTab->click();
        addTab->click();
        addressOf(dlg, 0)->setText(QStringLiteral("000000001234"));
        editionOf(dlg, 0)->setCurrentText(k1997);
        QTableWidget *table = tableOf(dlg, 0);
        checkOf(table, 0)->setChecked(true);
        table->item(0, 2)->setText(QStringLiteral("E4"));
        checkOf(table, 29)->setChecked(true);
        table->item(29, 2)->setText(QStringLiteral("Uc"));
        table->item(10, 2)->setText(QStringLiteral("named, not selected"));
        checkOf(tableOf(dlg, 1), 43)->setChecked(true);
        dlg->saveChanges();
        delete dlg;
    }

    const PointTable points = item->data(Role::PointTable).value<PointTable>();
    QCOMPARE(points.keys(), (QStringList{"DLT645-1", "DLT645-2"}));
    const QList<QVariantList> &rows = points.value(QStringLiteral("DLT645-1"));
    QCOMPARE(rows.size(), 31);
    QCOMPARE(rows.at(0), (QVariantList{"000000001234", k1997}));
    QCOMPARE(rows.at(1).at(0).toString(), QStringLiteral("true"));
    QCOMPARE(rows.at(1).at(1).toString(), QStringLiteral("Positive active power rate of 4 electric energy"));
    QCOMPARE(rows.at(30).at(1).toString(), QStringLiteral("C-phase voltage"));
    QCOMPARE(rows.at(2).at(0).toString(), QStringLiteral("false"));
    QCOMPARE(points.value(QStringLiteral("DLT645-2")).size(), 45);

    standardDLT645EditDialog *dlg = open(item);
    QCOMPARE(tabTitles(dlg), (QStringList{"DLT645-1", "DLT645-2"}));
    QCOMPARE(addressOf(dlg, 0)->text(), QStringLiteral("000000001234"));
    QCOMPARE(editionOf(dlg, 0)->currentText(), k1997);
    QTableWidget *table = tableOf(dlg, 0);
    QCOMPARE(table->rowCount(), 30);
    QCOMPARE(column(table, 1), Dlt645Catalogue::translatedNames(Dlt645Catalogue::Edition::V1997));
    QCOMPARE(checkedRows(table), (QList<int>{0, 29}));
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("E4"));
    QCOMPARE(table->item(29, 2)->text(), QStringLiteral("Uc"));
    QCOMPARE(table->item(10, 2)->text(), QStringLiteral("named, not selected"));
    QCOMPARE(editionOf(dlg, 1)->currentText(), k2007);
    QCOMPARE(checkedRows(tableOf(dlg, 1)), QList<int>{43});
    QVERIFY(messages().size() == 1); // the save; reopening reports nothing

    // Add Tab after loading continues the numbering.
    button(dlg, QStringLiteral("Add Tab"))->click();
    QCOMPARE(tabTitles(dlg).last(), QStringLiteral("DLT645-3"));
}

void TstDlt645Editor::savedMeterReachesProjectFile()
{
    QStandardItem *item = addDevice(QStringLiteral("Meter"));
    standardDLT645EditDialog *dlg = open(item);
    QPushButton *addTab = button(dlg, QStringLiteral("Add Tab"));
    addTab->click();
    addTab->click();
    QTableWidget *t2007 = tableOf(dlg, 0);
    checkOf(t2007, 43)->setChecked(true);
    t2007->item(43, 2)->setText(QStringLiteral("Uc"));
    addressOf(dlg, 1)->setText(QStringLiteral("12AB"));
    editionOf(dlg, 1)->setCurrentText(k1997);
    QTableWidget *t1997 = tableOf(dlg, 1);
    checkOf(t1997, 0)->setChecked(true);
    t1997->item(0, 2)->setText(QStringLiteral("E4"));
    // "Reverse active total electrical energy" is row 6 of the 1997 catalogue.
    QCOMPARE(t1997->item(6, 1)->text(), QStringLiteral("Reverse active total electrical energy"));
    checkOf(t1997, 6)->setChecked(true);
    t1997->item(6, 2)->setText(QStringLiteral("Erev"));
    dlg->saveChanges();

    const QJsonObject root = ProjectJson::buildProjectJson(m_folder->parent());
    const QJsonObject device = root.value(QStringLiteral("standards")).toArray().at(0).toObject();
    QCOMPARE(device.value(QStringLiteral("protocol")).toString(), QStringLiteral("DLT645"));
    const QJsonObject parameter = device.value(QStringLiteral("parameter")).toObject();
    QCOMPARE(parameter.value(QStringLiteral("baudRate")).toString(), QStringLiteral("2400"));
    QCOMPARE(parameter.value(QStringLiteral("parityBit")).toString(), QStringLiteral("EVEN"));
    QCOMPARE(parameter.value(QStringLiteral("rtsEnable")).toString(), QStringLiteral("0"));
    const QJsonArray meters = device.value(QStringLiteral("datas")).toArray();
    QCOMPARE(meters.size(), 2);

    const QJsonObject m2007 = meters.at(0).toObject();
    QCOMPARE(m2007.value(QStringLiteral("protocolVersion")), QJsonValue(1));
    QCOMPARE(m2007.value(QStringLiteral("slaveAddress")).toString(), QStringLiteral("AAAAAAAAAAAA"));
    const QJsonArray rows2007 = m2007.value(QStringLiteral("datas")).toArray();
    QCOMPARE(rows2007.size(), 44);
    const QJsonObject uc = rows2007.at(43).toObject();
    QCOMPARE(uc.value(QStringLiteral("select")).toString(), QStringLiteral("true"));
    QCOMPARE(uc.value(QStringLiteral("name")).toString(), QStringLiteral("Uc"));
    QCOMPARE(uc.value(QStringLiteral("addr")).toString(), QStringLiteral("02010300"));
    QCOMPARE(uc.value(QStringLiteral("dataType")).toString(), QStringLiteral("XXX.X"));
    QCOMPARE(rows2007.at(0).toObject().value(QStringLiteral("select")).toString(), QStringLiteral("false"));
    QCOMPARE(rows2007.at(0).toObject().value(QStringLiteral("addr")).toString(), QStringLiteral("00010400"));

    const QJsonObject m1997 = meters.at(1).toObject();
    QCOMPARE(m1997.value(QStringLiteral("protocolVersion")), QJsonValue(2));
    QCOMPARE(m1997.value(QStringLiteral("slaveAddress")).toString(), QStringLiteral("12AB"));
    const QJsonArray rows1997 = m1997.value(QStringLiteral("datas")).toArray();
    QCOMPARE(rows1997.size(), 30);
    const QJsonObject e4 = rows1997.at(0).toObject();
    QCOMPARE(e4.value(QStringLiteral("select")).toString(), QStringLiteral("true"));
    QCOMPARE(e4.value(QStringLiteral("addr")).toString(), QStringLiteral("9014"));
    QCOMPARE(e4.value(QStringLiteral("dataType")).toString(), QStringLiteral("XXXXXX.XX"));
    const QJsonObject erev = rows1997.at(6).toObject();
    QCOMPARE(erev.value(QStringLiteral("addr")).toString(), QStringLiteral("9020"));
    QCOMPARE(erev.value(QStringLiteral("dataType")).toString(), QStringLiteral("XXXXXX.XX "));
    QCOMPARE(rows1997.at(29).toObject().value(QStringLiteral("addr")).toString(), QStringLiteral("B613"));
    QCOMPARE(rows1997.at(29).toObject().value(QStringLiteral("dataType")).toString(), QStringLiteral("XXX"));
}

void TstDlt645Editor::loadedFileOpensInEditor()
{
    // A meter as the loader leaves it: "true"/"false" texts, rtsEnable "true", a 1997 meter
    // with a short list, and a meter whose header is missing its edition.
    const QByteArray json = R"({
        "name": "Meter", "protocol": "DLT645",
        "parameter": {"serialport": "COM2", "baudRate": "9600", "dataBit": "8", "stopBit": "1",
                      "parityBit": "ODD", "rtsEnable": "1", "communicationTimeout": "500",
                      "communicationGap": "20", "collectionInterval": "1000"},
        "datas": [
            {"slaveAddress": "000000000001", "protocolVersion": 2,
             "datas": [{"select": "true", "addr": "9014", "name": "E4"},
                       {"select": "false", "addr": "9013", "name": ""},
                       {"select": "true", "addr": "9012", "name": "E2"}]},
            {"slaveAddress": "000000000002", "protocolVersion": 1,
             "datas": [{"select": "true", "addr": "00010400", "name": "X"}]}
        ]})";
    QStandardItem *item = addDevice(QStringLiteral("Meter"));
    ProjectJson::loadStandardRecord(QJsonDocument::fromJson(json).object(), item);
    standardDLT645EditDialog *dlg = open(item);

    QCOMPARE(comboText(dlg, QStringLiteral("Serial Port:")), QStringLiteral("COM2"));
    QCOMPARE(comboText(dlg, QStringLiteral("Baud Rate:")), QStringLiteral("9600"));
    QCOMPARE(comboText(dlg, QStringLiteral("Parity Bit:")), QStringLiteral("ODD"));
    QVERIFY(qobject_cast<QCheckBox *>(formField(dlg, QStringLiteral("Rts Enable:")))->isChecked());
    QCOMPARE(editText(dlg, QStringLiteral("Communication Timeout:")), QStringLiteral("500"));
    QCOMPARE(editText(dlg, QStringLiteral("Communication Gap:")), QStringLiteral("20"));

    QCOMPARE(tabTitles(dlg), (QStringList{"DLT645-1", "DLT645-2"}));
    QCOMPARE(editionOf(dlg, 0)->currentText(), k1997);
    QCOMPARE(addressOf(dlg, 0)->text(), QStringLiteral("000000000001"));
    QTableWidget *first = tableOf(dlg, 0);
    QCOMPARE(first->rowCount(), 30);
    QCOMPARE(checkedRows(first), (QList<int>{0, 2}));
    QCOMPARE(column(first, 2).mid(0, 4), (QStringList{"E4", "", "E2", ""}));
    QCOMPARE(editionOf(dlg, 1)->currentText(), k2007);
    QCOMPARE(tableOf(dlg, 1)->rowCount(), 44);
    QCOMPARE(checkedRows(tableOf(dlg, 1)), QList<int>{0});

    // A header row without an edition, and more rows than the catalogue, in the record itself.
    PointTable odd;
    QList<QVariantList> rows{QVariantList{"ABC"}};
    for (int i = 0; i < 50; ++i)
        rows << meterRow(i == 45, QStringLiteral("item %1").arg(i), QString());
    odd.insert(QStringLiteral("DLT645-1"), rows);
    item->setData(QVariant::fromValue(odd), Role::PointTable);
    dlg->replaceItem(item);
    QCOMPARE(addressOf(dlg, 0)->text(), QStringLiteral("AAAAAAAAAAAA"));
    QCOMPARE(editionOf(dlg, 0)->currentText(), k2007);
    QCOMPARE(tableOf(dlg, 0)->rowCount(), 44);
    QCOMPARE(tableOf(dlg, 0)->item(43, 1)->text(), QStringLiteral("item 43"));
    QVERIFY(checkedRows(tableOf(dlg, 0)).isEmpty());
}

void TstDlt645Editor::retargetDiscardsUnsavedTabs()
{
    QStandardItem *a = addDevice(QStringLiteral("A"));
    QStandardItem *b = addDevice(QStringLiteral("B"));
    PointTable tableA;
    tableA.insert(QStringLiteral("DLT645-1"), {QVariantList{"111111111111", k2007}});
    a->setData(QVariant::fromValue(tableA), Role::PointTable);
    PointTable tableB;
    tableB.insert(QStringLiteral("DLT645-1"), {QVariantList{"222222222222", k1997}});
    tableB.insert(QStringLiteral("DLT645-2"), {QVariantList{"333333333333", k2007}});
    b->setData(QVariant::fromValue(tableB), Role::PointTable);
    a->setData(QStringLiteral("115200"), Role::BaudRate);

    standardDLT645EditDialog *dlg = open(a);
    button(dlg, QStringLiteral("Add Tab"))->click();
    checkOf(tableOf(dlg, 0), 1)->setChecked(true);
    dlg->nameEdit()->setText(QStringLiteral("unsaved"));
    QCOMPARE(dlg->tabWidget()->count(), 2);

    dlg->replaceItem(b);
    QCOMPARE(dlg->item(), b);
    QCOMPARE(dlg->nameEdit()->text(), QStringLiteral("B"));
    QCOMPARE(comboText(dlg, QStringLiteral("Baud Rate:")), QStringLiteral("2400"));
    QCOMPARE(tabTitles(dlg), (QStringList{"DLT645-1", "DLT645-2"}));
    QCOMPARE(addressOf(dlg, 0)->text(), QStringLiteral("222222222222"));
    QCOMPARE(tableOf(dlg, 0)->rowCount(), 30);
    QCOMPARE(addressOf(dlg, 1)->text(), QStringLiteral("333333333333"));

    dlg->replaceItem(a);
    QCOMPARE(tabTitles(dlg), QStringList{"DLT645-1"});
    QVERIFY(checkedRows(tableOf(dlg, 0)).isEmpty());
    QCOMPARE(a->text(), QStringLiteral("A"));
    QCOMPARE(a->data(Role::PointTable).value<PointTable>().keys(), QStringList{"DLT645-1"});
    QVERIFY(messages().isEmpty());
}

// --- inside the main window -----------------------------------------------------------------

void TstDlt645Editor::mainWindowSwapsAndReusesDock()
{
    QStandardItem *pump = addDevice(QStringLiteral("Pump"), QStringLiteral("Modbus"));
    QStandardItem *first = addDevice(QStringLiteral("Meter-1"));
    QStandardItem *second = addDevice(QStringLiteral("Meter-2"));
    PointTable secondTable;
    secondTable.insert(QStringLiteral("DLT645-1"), {QVariantList{"000000000042", k1997}});
    second->setData(QVariant::fromValue(secondTable), Role::PointTable);
    const QString title = QObject::tr("Edit Standard");

    m_main->projectView()->setCurrentIndex(pump->index());
    m_main->slotstandardEditFile();
    ads::CDockWidget *modbusDock = m_main->findEditDock(title);
    QVERIFY(modbusDock);
    QPointer<standardModbusEditDialog> modbus = qobject_cast<standardModbusEditDialog *>(modbusDock->widget());
    QVERIFY(modbus);

    // A DLT645 device replaces the Modbus editor's dock.
    m_main->projectView()->setCurrentIndex(first->index());
    m_main->slotstandardEditFile();
    ads::CDockWidget *dock = m_main->findEditDock(title);
    QVERIFY(dock);
    QVERIFY(dock != modbusDock);
    QPointer<standardDLT645EditDialog> dlg = qobject_cast<standardDLT645EditDialog *>(dock->widget());
    QVERIFY(dlg);
    QCOMPARE(dlg->item(), first);
    QTRY_VERIFY_WITH_TIMEOUT(!modbus, 2000);
    QCOMPARE(m_main->findEditDock(title), dock);

    // A second DLT645 device re-uses the dock and its editor.
    m_main->projectView()->setCurrentIndex(second->index());
    m_main->slotstandardEditFile();
    QCOMPARE(m_main->findEditDock(title), dock);
    QCOMPARE(qobject_cast<standardDLT645EditDialog *>(dock->widget()), dlg.data());
    QCOMPARE(dlg->item(), second);
    QCOMPARE(dlg->nameEdit()->text(), QStringLiteral("Meter-2"));
    QCOMPARE(addressOf(dlg, 0)->text(), QStringLiteral("000000000042"));

    // Save runs the name check first: nothing is written.
    {
        ModalAnswer::Scoped answerer;
        dlg->nameEdit()->setText(QString());
        dlg->saveButton()->click();
        dlg->nameEdit()->setText(QStringLiteral("Meter-1"));
        dlg->saveButton()->click();
        QCOMPARE(answerer.seen(), (QStringList{"invalid name|Name cannot be null",
                                               "Duplicate name|The name\"Meter-1\"already exists, please change the name."}));
    }
    QCOMPARE(second->text(), QStringLiteral("Meter-2"));
    QVERIFY(!second->data(Role::SerialPort).isValid());
    QVERIFY(dlg);

    // A good name renames the item now shown, writes its record and closes the dock.
    dlg->nameEdit()->setText(QStringLiteral("Meter-3"));
    button(dlg, QStringLiteral("Add Tab"))->click();
    dlg->saveButton()->click();
    QCOMPARE(second->text(), QStringLiteral("Meter-3"));
    QCOMPARE(first->text(), QStringLiteral("Meter-1"));
    QCOMPARE(second->data(Role::SerialPort).toString(), QStringLiteral("COM1"));
    QCOMPARE(second->data(Role::PointTable).value<PointTable>().keys(), (QStringList{"DLT645-1", "DLT645-2"}));
    QVERIFY(!first->data(Role::PointTable).isValid());
    QVERIFY(messages().contains(QStringLiteral("The Standard DLT645 'Meter-3' is saved successfully.")));
    QVERIFY(!m_main->findEditDock(title));
    QTRY_VERIFY_WITH_TIMEOUT(!dlg, 2000);
}

void TstDlt645Editor::saveRefusesUnacceptableField_data()
{
    QTest::addColumn<QString>("label"); // form label; "interval" or "address" for the others
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("warned"); // the field the warning names; empty: saved

    const QString warnTimeout = QStringLiteral("Communication Timeout");
    const QString warnInterval = QStringLiteral("Collection Interval");
    for (const QString text : {"9999999999", "1,024", "-", "-1"}) {
        const bool good = text == QLatin1String("-1");
        QTest::newRow(qPrintable("timeout " + text)) << "Communication Timeout:" << int(Role::CommunicationTimeout)
                                                     << text << (good ? QString() : warnTimeout);
        QTest::newRow(qPrintable("interval " + text)) << "interval" << int(Role::CollectionInterval) << text
                                                      << (good ? QString() : warnInterval);
    }
    QTest::newRow("meter address") << "address" << int(Role::PointTable) << "12-34" << "DLT645-1 Slave Address";
}

void TstDlt645Editor::saveRefusesUnacceptableField()
{
    QFETCH(QString, label);
    QFETCH(int, role);
    QFETCH(QString, text);
    QFETCH(QString, warned);

    QStandardItem *item = addDevice(QStringLiteral("Checked"));
    const QString title = QObject::tr("Edit Standard");
    m_main->projectView()->setCurrentIndex(item->index());
    m_main->slotstandardEditFile();
    ads::CDockWidget *dock = m_main->findEditDock(title);
    QVERIFY(dock);
    auto *dlg = qobject_cast<standardDLT645EditDialog *>(dock->widget());
    QVERIFY(dlg);
    button(dlg, QStringLiteral("Add Tab"))->click();

    QLineEdit *edit = nullptr;
    if (label == QLatin1String("address")) {
        edit = addressOf(dlg, 0);
    } else if (label == QLatin1String("interval")) {
        edit = intervalEdit(dlg);
    } else {
        edit = qobject_cast<QLineEdit *>(formField(dlg, label));
    }
    QVERIFY(edit);
    edit->setText(text);
    const QMap<int, QVariant> before = recordOf(item);

    ModalAnswer::Scoped answerer;
    button(dlg, QStringLiteral("Save"))->click();

    if (warned.isEmpty()) {
        QCOMPARE(answerer.seen(), QStringList());
        QCOMPARE(item->data(role).toString(), text);
        QVERIFY(!m_main->findEditDock(title));
        return;
    }
    QCOMPARE(answerer.seen(), QStringList{fieldWarning(warned)});
    QCOMPARE(recordOf(item), before);
    QVERIFY(messages().isEmpty());
    QCOMPARE(m_main->findEditDock(title), dock);
}

void TstDlt645Editor::openCellEditorAtTeardown()
{
    // An open name editor commits when the dying dialog hides it; the name check must not run.
    standardDLT645EditDialog *dlg = open(addDevice(QStringLiteral("Teardown")));
    QApplication::setActiveWindow(dlg);
    QVERIFY(QTest::qWaitForWindowActive(dlg));
    button(dlg, QStringLiteral("Add Tab"))->click();
    QTableWidget *table = tableOf(dlg, 0);
    table->item(0, 2)->setText(QStringLiteral("Energy"));
    table->setCurrentCell(1, 2);
    table->editItem(table->item(1, 2));
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("Energy"));

    delete dlg;
    QVERIFY(messages().isEmpty());
}

void TstDlt645Editor::meterTestRead()
{
    PtyPair pty;
    QVERIFY(pty.start());
    Dlt645MeterPeer peer;
    QVERIFY(peer.open(pty.second()));
    Dlt645MeterPeer::Meter &meter = peer.meter(QStringLiteral("210987654321"));
    meter.values.insert(0x00010000, QByteArray::fromHex("09210300")); // 321.09
    meter.values.insert(0x02010100, QByteArray::fromHex("0522"));     // 220.5

    standardDLT645EditDialog *dlg = open(addDevice(QStringLiteral("Line")));
    // A pseudo-terminal takes no parity; the meter answers within a short time-out.
    qobject_cast<QComboBox *>(formField(dlg, QStringLiteral("Parity Bit:")))->setCurrentText(QStringLiteral("NONE"));
    qobject_cast<QLineEdit *>(formField(dlg, QStringLiteral("Communication Timeout:")))->setText(QStringLiteral("300"));
    button(dlg, QStringLiteral("Add Tab"))->click();
    QTableWidget *table = tableOf(dlg, 0);
    const QStringList names = Dlt645Catalogue::sourceNames(Dlt645Catalogue::Edition::V2007);
    const int energy = names.indexOf(QStringLiteral("Positive active total electrical energy"));
    const int voltage = names.indexOf(QStringLiteral("A-phase voltage"));
    checkOf(table, energy)->setChecked(true);
    table->item(energy, 2)->setText(QStringLiteral("E"));
    checkOf(table, voltage)->setChecked(true);
    table->item(voltage, 2)->setText(QStringLiteral("Ua"));

    // Unsaved form, wildcard address: the window reads what the form says now.
    page(dlg, 0)->findChild<QPushButton *>(QStringLiteral("testReadButton"))->click();
    auto *window = dlg->findChild<MeterTestReadDialog *>();
    QVERIFY(window);
    window->serialDeviceCombo()->setCurrentText(pty.first());
    window->readButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), 1, 5000);
    const QStringList expected{QStringLiteral("E|321.09|kWh|read"), QStringLiteral("Ua|220.5|V|read")};
    QStringList shown;
    for (int row = 0; row < window->table()->rowCount(); ++row) {
        QStringList cells;
        for (int c : {MeterTestReadDialog::ColName, MeterTestReadDialog::ColValue, MeterTestReadDialog::ColUnit,
                      MeterTestReadDialog::ColStatus})
            cells << window->table()->item(row, c)->text();
        shown << cells.join(QLatin1Char('|'));
    }
    QCOMPARE(shown, expected);

    // The meter alone on the line tells its address, which goes into the tab once confirmed.
    {
        ModalAnswer::Scoped yes(QMessageBox::Yes);
        window->addressButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(addressOf(dlg, 0)->text(), QStringLiteral("210987654321"), 5000);
        QCOMPARE(yes.seen().size(), 1);
        QVERIFY(yes.seen().first().contains(QStringLiteral("210987654321")));
    }

    // A silent meter: no value stands, the status says why, within the time-out.
    meter.silent = true;
    window->readButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->readCount(), 2, 5000);
    QCOMPARE(window->table()->item(0, MeterTestReadDialog::ColValue)->text(), QString());
    QCOMPARE(window->table()->item(1, MeterTestReadDialog::ColStatus)->text(),
             QStringLiteral("not sent: the meter did not answer"));

    // Closed while a request waits: the answer that comes later finds nothing to write into.
    meter.silent = false;
    peer.answerDelayMs = 150;
    window->readButton()->click();
    window->close();
    QTest::qWait(400);

    // A 1997 meter has no address read, and the window says so.
    editionOf(dlg, 0)->setCurrentText(k1997);
    page(dlg, 0)->findChild<QPushButton *>(QStringLiteral("testReadButton"))->click();
    window = dlg->findChild<MeterTestReadDialog *>();
    QVERIFY(window);
    QVERIFY(!window->addressButton()->isEnabled());
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("readAddressNote"))->text().contains(QStringLiteral("1997")));
    window->close();
    settle();
}

QTEST_MAIN(TstDlt645Editor)
#include "tst_dlt645editor.moc"
