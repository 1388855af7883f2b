// From an empty tool to a running box, through the real main window and the box simulator:
// new project, a Modbus device, a box, the link and its settings, deployment, the saved
// project file, and live data. Also: another box clicked while the editor is open, and a
// recording of a running box's reports.
#include "BoxTestSupport.h"
#include "TestDataLocation.h"
#include "WindowSupport.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/boxlink/BoxEditDialog.h"
#include "gui/boxlink/BoxInputDialog.h"
#include "gui/devices/standardInputDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"
#include "gui/project/NewProjectDialog.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QAction>
#include <QComboBox>
#include <QScopeGuard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <memory>
#include <QSqlQuery>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeView>

#include <algorithm>

#include <signal.h>

namespace {

QByteArray fixture(const QString &name)
{
    QFile f(QStringLiteral(ORVANE_TEST_DATA_DIR "/boxdialog/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString label(QObject *dialog, const char *name)
{
    QLabel *l = dialog->findChild<QLabel *>(QLatin1String(name));
    return l ? l->text() : QStringLiteral("<missing>");
}

QString text(QObject *dialog, const char *name)
{
    QLineEdit *e = dialog->findChild<QLineEdit *>(QLatin1String(name));
    return e ? e->text() : QStringLiteral("<missing>");
}

void click(QObject *dialog, const char *name)
{
    QPushButton *b = dialog->findChild<QPushButton *>(QLatin1String(name));
    QVERIFY2(b, name);
    b->click();
}

BoxEditDialog *boxEditor(CMainWindow &w)
{
    ads::CDockWidget *dock = w.findEditDock(QObject::tr("Edit Box"));
    return dock ? qobject_cast<BoxEditDialog *>(dock->widget()) : nullptr;
}

// Answers the input dialogs of the commands the way a user would fill them in.
struct Inputs {
    QString projectName, projectPath;
    QString deviceName;
    QString boxName, boxIp;

    void answer(QWidget *w) const
    {
        if (auto *d = qobject_cast<NewProjectDialog *>(w)) {
            d->nameEdit()->setText(projectName);
            d->pathEdit()->setText(projectPath);
            d->okButton()->click();
        } else if (auto *d = qobject_cast<standardInputDialog *>(w)) {
            d->nameEdit()->setText(deviceName);
            d->protocolCombo()->setCurrentText(QStringLiteral("Modbus"));
            d->okButton()->click();
        } else if (auto *d = qobject_cast<BoxInputDialog *>(w)) {
            const QList<QLineEdit *> edits = d->findChildren<QLineEdit *>();
            edits.at(0)->setText(boxName);
            edits.at(1)->setText(boxIp);
            for (QPushButton *b : d->findChildren<QPushButton *>())
                if (b->text() == QStringLiteral("OK"))
                    b->click();
        } else if (auto *d = qobject_cast<QDialog *>(w)) {
            d->reject();
        }
    }
};

void makeCurrent(CMainWindow &w, QStandardItem *item)
{
    w.projectView()->setCurrentIndex(item->index());
}

// A Modbus TCP device polling the table's slaves, written as its editor's Save would leave it.
void setModbusDevice(QStandardItem *device, const PointTable &table)
{
    device->setData(QStringLiteral("Modbus"), Role::Protocol);
    device->setData(QStringLiteral("ModbusTCP"), Role::Modbus);
    device->setData(QStringLiteral("127.0.6.254"), Role::ModbusIp);
    device->setData(QStringLiteral("502"), Role::ModbusPort);
    device->setData(QStringLiteral("1000"), Role::ConnectionTimeout);
    device->setData(QStringLiteral("true"), Role::KeepAlive);
    device->setData(QStringLiteral("300"), Role::CollectionInterval);
    device->setData(QStringLiteral("500"), Role::CommunicationTimeout);
    device->setData(QVariant::fromValue(table), Role::PointTable);
}

// A device of two slaves and four points.
void setModbusRecord(QStandardItem *device, QStringList *pointNames)
{
    PointTable table;
    QList<QVariantList> first{{"1", "1", "ABCD", "true", "false"},
                              {"40001", "temperature", "float", "2", "R"},
                              {"40003", "pressure", "int16", "1", "R"},
                              {"00001", "pump_on", "bool", "1", "RW"}};
    QList<QVariantList> second{{"2", "2", "DCBA", "false", "false"},
                               {"30001", "flow", "uint32", "2", "R"}};
    table.insert(QStringLiteral("Modbus-1"), first);
    table.insert(QStringLiteral("Modbus-2"), second);
    setModbusDevice(device, table);
    *pointNames = QStringList{"temperature", "pressure", "pump_on", "flow"};
}

} // namespace

class TstTypicalRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerItemRecordTypes();
        // The checks compare the English source texts: keep the Chinese catalogue out.
        CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
    }
    void emptyToolToRunningBox();
    void boxesStayLinkedWhileTheEditorMoves();
    void openMessageBoxKeepsTheLinkServed();
    void recordingKeepsWhatTheBoxSent();

private:
    TestDataLocation m_dataLocation; // where the editor keeps what a box received
};

void TstTypicalRoad::emptyToolToRunningBox()
{
    BoxSim sim(QStringLiteral("127.0.6.70"), {"--version", "3.1.4", "--interval", "400", "--seed", "7"});
    QVERIFY(sim.writeStateFile("settings.json", fixture("settings.json")));
    QVERIFY(sim.start());
    QTemporaryDir projectDir;
    const Inputs inputs{"Plant", projectDir.path(), "PLC1", "Box1", sim.address()};
    ModalAnswerer answerer([&inputs](QWidget *w) { inputs.answer(w); });

    CMainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // 1. New project.
    w.slotNewProject();
    QCOMPARE(w.projectModel()->rowCount(), 1);
    QStandardItem *project = w.projectModel()->item(0);
    QCOMPARE(project->text(), QStringLiteral("Plant"));

    // 2. A Modbus device with points.
    makeCurrent(w, childWithText(project, Folder::Standard));
    w.standardAddFile();
    QStandardItem *device = childWithText(childWithText(project, Folder::Standard), "PLC1");
    QVERIFY(device);
    QStringList pointNames;
    setModbusRecord(device, &pointNames);

    // 3. A box at the simulator's address: its editor connects at once.
    makeCurrent(w, childWithText(project, Folder::Box));
    w.boxAddFile();
    QStandardItem *box = childWithText(childWithText(project, Folder::Box), "Box1");
    QVERIFY(box);
    BoxEditDialog *editor = boxEditor(w);
    QVERIFY2(editor, "the Edit Box dock holds the box editor");
    QCOMPARE(editor->boxItem(), box);
    QTRY_COMPARE_WITH_TIMEOUT(label(editor, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    QCOMPARE(label(editor, "versionLabel"), QStringLiteral("Program version: 3.1.4"));

    // Reads fill the fields, each with its box.
    for (const char *tab : {"lan", "wan", "ntp", "time"})
        click(editor, qPrintable(QString::fromLatin1(tab) + "ReadButton"));
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 4, 5000);
    QCOMPARE(answerer.titles(),
             QStringList({"LAN Configuration | LAN configuration updated successfully.",
                          "Wan Configuration | Wan configuration updated successfully.",
                          "NTP Configuration | NTP configuration updated successfully.",
                          "time Configuration | time configuration updated successfully."}));
    QCOMPARE(text(editor, "lanIpEdit"), QStringLiteral("10.20.30.40"));
    QCOMPARE(text(editor, "wanGatewayEdit"), QStringLiteral("172.16.5.1"));
    QCOMPARE(editor->findChild<QComboBox *>("wanDhcpCombo")->currentText(), QStringLiteral("Enable"));
    QCOMPARE(text(editor, "ntpEdit"), QStringLiteral("10.20.0.123"));
    QVERIFY(!text(editor, "boxTimeEdit").isEmpty());

    // A write is answered with the success box and lands in the box.
    answerer.boxes.clear();
    editor->findChild<QLineEdit *>("lanDns2Edit")->setText(QStringLiteral("9.9.9.10"));
    click(editor, "lanWriteButton");
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 1, 5000);
    QCOMPARE(answerer.titles().first(), QStringLiteral("Write LAN Allocation | LAN allocation write successful."));
    QCOMPARE(sim.settings().value("lan").toObject().value("lanDns2").toString(), QStringLiteral("9.9.9.10"));

    // Save the box through the window's save check: the dock closes, the record holds the reads.
    editor->saveButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!boxEditor(w), 3000);
    QCOMPARE(box->data(Role::LanIp).toString(), QStringLiteral("10.20.30.40"));
    makeCurrent(w, box);
    w.slotBoxEditFile();
    editor = boxEditor(w);
    QVERIFY(editor);
    QTRY_COMPARE_WITH_TIMEOUT(label(editor, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);

    // 4. Update project: a sound project passes its checks without a question, but it was never
    // saved: Save writes its file first; the verdict in the Message dock; nothing but the
    // project file is left beside the project.
    answerer.boxes.clear();
    answerer.answer(QStringLiteral("Unsaved Project"), QMessageBox::Save);
    click(editor, "updateProjectButton");
    QTRY_VERIFY_WITH_TIMEOUT(!editor->transferRunning(), 10000);
    QCOMPARE(answerer.titles(), QStringList{"Unsaved Project | The project 'Plant' has not been saved: no file "
                                            "holds what is about to be sent.\n\nSave it first?"});
    QVERIFY(w.messageEditor()->toPlainText().contains(QStringLiteral("Checksum Result:Checksum successful.")));
    QCOMPARE(editor->findChild<QProgressBar *>("progressBar")->value(), 100);
    QCOMPARE(QDir(projectDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Plant.json"});

    // 6. Save Project writes exactly the bytes the box received.
    answerer.boxes.clear();
    w.saveProjectFile();
    QFile saved(projectDir.filePath("Plant.json"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray savedBytes = saved.readAll();
    QVERIFY(!savedBytes.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!sim.stateFile("deployed.json").isEmpty(), 3000);
    QCOMPARE(sim.stateFile("deployed.json"), savedBytes);

    // 5. Live data: the first report files a data item, the second shows the table.
    QStandardItem *dataFolder = childWithText(project, Folder::Data);
    QVERIFY(dataFolder);
    QTRY_VERIFY_WITH_TIMEOUT(childWithText(dataFolder, "PLC1 @ Box1"), 5000);
    QStandardItem *dataItem = childWithText(dataFolder, "PLC1 @ Box1");
    QCOMPARE(dataItem->data(Role::DataDisplay).toString(), QStringLiteral("NoDisplay"));
    QCOMPARE(dataItem->data(Role::DataRows).toList().size(), pointNames.size());
    QVERIFY2(!tableOf(w, "PLC1 @ Box1"), "no table after the first report");
    QTRY_VERIFY_WITH_TIMEOUT(tableOf(w, "PLC1 @ Box1") && tableOf(w, "PLC1 @ Box1")->rowCount() == pointNames.size(), 5000);
    QTableWidget *table = tableOf(w, "PLC1 @ Box1");
    QStringList shown;
    for (int r = 0; r < table->rowCount(); ++r)
        shown << table->item(r, 0)->text();
    shown.sort();
    pointNames.sort();
    QCOMPARE(shown, pointNames);
    QCOMPARE(childWithText(dataFolder, "PLC1 @ Box1"), dataItem);
    QCOMPARE(dataFolder->rowCount(), 1);

    // 6. The box goes away: its link drops and the table marks its values stale at once; the
    // editor reconnects by itself and the next report makes them current again.
    auto staleMark = [&w] {
        QTabWidget *tabs = w.monitoringTabs();
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == QLatin1String("PLC1 @ Box1"))
                return !tabs->tabIcon(i).isNull();
        }
        return false;
    };
    QVERIFY(!staleMark());

    // 6a. The box hangs (its link stays up, no reports come): the rows go stale once three
    // collection intervals, at least 3 s, pass without a report (the clock moved on through
    // the seam), and current with the next report once it runs again.
    qint64 skewMs = 0;
    CMainWindow::setMonitoringClockForTesting([&skewMs] { return QDateTime::currentMSecsSinceEpoch() + skewMs; });
    const auto resetClock = qScopeGuard([] { CMainWindow::setMonitoringClockForTesting({}); });
    QVERIFY(::kill(pid_t(sim.processId()), SIGSTOP) == 0);
    QTest::qWait(300); // a report on its way still arrives
    QVERIFY(!staleMark());
    skewMs = 3500;
    QTRY_VERIFY_WITH_TIMEOUT(staleMark(), 2500);
    QCOMPARE(label(editor, "statusLabel"), QStringLiteral("Connection status: Connected"));
    QVERIFY(::kill(pid_t(sim.processId()), SIGCONT) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(!staleMark(), 3000);

    sim.stop();
    QTRY_VERIFY_WITH_TIMEOUT(staleMark(), 2500); // sooner than any report is missed
    QVERIFY(sim.start());
    QTRY_VERIFY_WITH_TIMEOUT(!staleMark(), 20000);
}

// Three boxes at once: Box1 runs the project and reports; turning the editor to Box2 (and to
// Box3) leaves Box1's link, rows and recording running; its tree item says so. Deleting Box3
// ends only Box3's link; Disconnect on Box1 stops its reports, and its rows go stale.
void TstTypicalRoad::boxesStayLinkedWhileTheEditorMoves()
{
    BoxSim first(QStringLiteral("127.0.6.71"), {"--version", "1.1.1", "--interval", "200"});
    BoxSim second(QStringLiteral("127.0.6.72"), {"--version", "2.2.2", "--checksum-result", "1"});
    BoxSim third(QStringLiteral("127.0.6.74"), {"--version", "3.3.3"});
    for (BoxSim *sim : {&first, &second, &third})
        QVERIFY(sim->start());
    QTemporaryDir projectDir;
    QTemporaryDir recordDir;
    const Inputs inputs{"Plant", projectDir.path(), "PLC1", "Box1", first.address()};
    ModalAnswerer answerer([&inputs](QWidget *w) { inputs.answer(w); });
    answerer.answer(QStringLiteral("Unsaved Project"), QMessageBox::No); // send without saving

    CMainWindow w;
    w.resize(1200, 800);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.slotNewProject();
    QStandardItem *project = w.projectModel()->item(0);
    QVERIFY(project);
    makeCurrent(w, childWithText(project, Folder::Standard));
    w.standardAddFile();
    QStandardItem *device = childWithText(childWithText(project, Folder::Standard), "PLC1");
    QVERIFY(device);
    QStringList pointNames;
    setModbusRecord(device, &pointNames);
    QStandardItem *boxes = childWithText(project, Folder::Box);
    const QString names[3] = {QStringLiteral("Box1"), QStringLiteral("Box2"), QStringLiteral("Box3")};
    const BoxSim *sims[3] = {&first, &second, &third};
    for (int i = 0; i < 3; ++i) {
        auto *box = new QStandardItem(QIcon(":/adsdemo/images/box-file.svg"), names[i]);
        box->setData(sims[i]->address(), Role::BoxIp);
        box->setData(QStringLiteral("TLK-BOX-600"), Role::BoxModel);
        boxes->appendRow(box);
    }
    QStandardItem *box1 = boxes->child(0);
    QStandardItem *box2 = boxes->child(1);
    QStandardItem *box3 = boxes->child(2);
    auto open = [&w](QStandardItem *box) {
        makeCurrent(w, box);
        w.slotBoxEditFile();
        BoxEditDialog *editor = boxEditor(w);
        QVERIFY(editor);
        QCOMPARE(editor->boxItem(), box);
    };
    // The link is the simulator's first connection; a transfer comes and goes on its own.
    auto linkDropped = [](BoxSim &sim) {
        const QByteArray out = sim.output();
        const int at = out.indexOf(" connected");
        if (at < 0)
            return false;
        const int from = out.lastIndexOf(' ', at - 1) + 1;
        return out.contains(out.mid(from, at - from) + " disconnected");
    };
    const QString tab = QStringLiteral("PLC1 @ Box1");
    auto stale = [&w, &tab] {
        QTabWidget *tabs = w.monitoringTabs();
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == tab)
                return !tabs->tabIcon(i).isNull();
        return false;
    };

    // Box1 gets the project and reports it; the recording runs.
    open(box1);
    BoxEditDialog *editor = boxEditor(w);
    QTRY_COMPARE_WITH_TIMEOUT(label(editor, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    click(editor, "updateProjectButton");
    QTRY_VERIFY_WITH_TIMEOUT(!editor->transferRunning(), 10000);
    QCOMPARE(editor->findChild<QProgressBar *>("progressBar")->value(), 100);
    QVERIFY2(label(editor, "verdictLabel").startsWith(QStringLiteral("Last transfer: Checksum successful.")),
             qPrintable(label(editor, "verdictLabel")));
    QTRY_VERIFY_WITH_TIMEOUT(tableOf(w, tab) && tableOf(w, tab)->rowCount() == pointNames.size(), 5000);
    QAction *record = w.findChild<QAction *>(QStringLiteral("recordAction"));
    QVERIFY(record);
    FileDialogs::setNextAnswerForTesting(recordDir.filePath(QStringLiteral("plant.sqlite")));
    record->trigger();
    QVERIFY(w.isRecording());
    QTRY_COMPARE_WITH_TIMEOUT(box1->data(Qt::ToolTipRole).toString(), "Connected to " + first.address(), 3000);

    // Box2 in the editor: its own state, none of Box1's. Its project transfer fails at the
    // checksum; its progress and verdict stay with it.
    open(box2);
    QTRY_COMPARE_WITH_TIMEOUT(label(editor, "versionLabel"), QStringLiteral("Program version: 2.2.2"), 5000);
    QCOMPARE(editor->findChild<QProgressBar *>("progressBar")->value(), 0);
    QCOMPARE(label(editor, "verdictLabel"), QString());
    click(editor, "updateProjectButton");
    QTRY_VERIFY_WITH_TIMEOUT(!editor->transferRunning(), 10000);
    QVERIFY2(label(editor, "verdictLabel").startsWith(QStringLiteral("Last transfer: Checksum failed.")),
             qPrintable(label(editor, "verdictLabel")));
    open(box3);
    QTRY_COMPARE_WITH_TIMEOUT(label(editor, "versionLabel"), QStringLiteral("Program version: 3.3.3"), 5000);
    QCOMPARE(editor->findChild<QProgressBar *>("progressBar")->value(), 0);
    QCOMPARE(label(editor, "verdictLabel"), QString());
    open(box2);
    QVERIFY(label(editor, "verdictLabel").startsWith(QStringLiteral("Last transfer: Checksum failed.")));
    QCOMPARE(label(editor, "versionLabel"), QStringLiteral("Program version: 2.2.2"));

    // Meanwhile Box1 kept its link and its rows current, well past their stale time (3 s).
    const QString shownAt = tableOf(w, tab)->item(0, 5)->text();
    QTest::qWait(3500);
    QVERIFY(!stale());
    QVERIFY(tableOf(w, tab)->item(0, 5)->text() != shownAt);
    QVERIFY2(!linkDropped(first), first.output().constData());
    QCOMPARE(box1->data(Qt::ToolTipRole).toString(), "Connected to " + first.address());
    QVERIFY(!box1->icon().isNull());
    QCOMPARE(box1->text(), QStringLiteral("Box1")); // the project file's name is untouched
    QVERIFY(w.isRecording());

    // Deleting Box3 ends Box3's link only; the editor stays on Box2.
    makeCurrent(w, box3);
    w.slotDeleteFile();
    QTRY_VERIFY_WITH_TIMEOUT(linkDropped(third), 3000);
    QCOMPARE(boxEditor(w), editor);
    QCOMPARE(editor->boxItem(), box2);
    QCOMPARE(label(editor, "statusLabel"), QStringLiteral("Connection status: Connected"));
    QVERIFY(!linkDropped(second));

    // Disconnect on Box1: its reports stop and its rows go stale at once.
    open(box1);
    QCOMPARE(label(editor, "versionLabel"), QStringLiteral("Program version: 1.1.1"));
    QVERIFY(label(editor, "verdictLabel").startsWith(QStringLiteral("Last transfer: Checksum successful.")));
    click(editor, "disconnectButton");
    QTRY_VERIFY_WITH_TIMEOUT(linkDropped(first), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(stale(), 2000);
    QCOMPARE(box1->data(Qt::ToolTipRole).toString(), QStringLiteral("Not connected"));
    QVERIFY(!linkDropped(second));

    // What Box1 recorded while the editor showed the other boxes is in the recording.
    record->trigger();
    QVERIFY(!w.isRecording());
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sidebyside"));
        check.setDatabaseName(recordDir.filePath(QStringLiteral("plant.sqlite")));
        QVERIFY(check.open());
        QSqlQuery q(check);
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM reports")));
        QVERIFY(q.next());
        QVERIFY2(q.value(0).toInt() >= 15, qPrintable(q.value(0).toString())); // about 5 s at 200 ms
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sidebyside"));
}

// An information box left open while the box reports: the link is served all along. No row
// goes stale, no silence warning comes, and each report is recorded with the time it arrived.
// The silence period is cut to 3 s and the box stays open 8 s, reports coming every second.
void TstTypicalRoad::openMessageBoxKeepsTheLinkServed()
{
    Protocol::setTimerPeriodsForTesting(500, 3000, 0);
    const auto restore = qScopeGuard([] { Protocol::setTimerPeriodsForTesting(0, 0, 0); });
    BoxSim sim(QStringLiteral("127.0.6.75"), {"--interval", "1000"});
    QVERIFY(sim.writeStateFile("settings.json", fixture("settings.json")));
    QVERIFY(sim.start());
    QTemporaryDir projectDir;
    QTemporaryDir recordDir;
    const Inputs inputs{"Plant", projectDir.path(), "PLC1", "Box1", sim.address()};
    auto answerer = std::make_unique<ModalAnswerer>([&inputs](QWidget *w) { inputs.answer(w); });
    answerer->answer(QStringLiteral("Unsaved Project"), QMessageBox::No);

    CMainWindow w;
    w.resize(1200, 800);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.slotNewProject();
    QStandardItem *project = w.projectModel()->item(0);
    makeCurrent(w, childWithText(project, Folder::Standard));
    w.standardAddFile();
    QStringList pointNames;
    setModbusRecord(childWithText(childWithText(project, Folder::Standard), "PLC1"), &pointNames);
    makeCurrent(w, childWithText(project, Folder::Box));
    w.boxAddFile();
    BoxEditDialog *editor = boxEditor(w);
    QVERIFY(editor);
    QTRY_COMPARE_WITH_TIMEOUT(label(editor, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    click(editor, "updateProjectButton");
    QTRY_VERIFY_WITH_TIMEOUT(!editor->transferRunning(), 10000);
    const QString tab = QStringLiteral("PLC1 @ Box1");
    QTRY_VERIFY_WITH_TIMEOUT(tableOf(w, tab), 5000);
    QAction *record = w.findChild<QAction *>(QStringLiteral("recordAction"));
    const QString db = recordDir.filePath(QStringLiteral("plant.sqlite"));
    FileDialogs::setNextAnswerForTesting(db);
    record->trigger();
    QVERIFY(w.isRecording());

    // From here on the test answers the information box itself, after 8 s; meanwhile a timer
    // looks at the table's stale mark.
    answerer.reset();
    bool wentStale = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        QTabWidget *tabs = w.monitoringTabs();
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == tab && !tabs->tabIcon(i).isNull())
                wentStale = true;
    });
    watch.start(100);
    // Polled from a timer, not waited for in a nested loop: the box's own loop runs on top.
    QElapsedTimer open;
    qint64 heldMs = 0;
    QString title;
    QTimer holder;
    connect(&holder, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || heldMs > 0)
            return;
        if (!open.isValid()) {
            open.start();
            title = box->windowTitle();
        } else if (open.elapsed() >= 8000) {
            heldMs = open.elapsed();
            box->button(QMessageBox::Ok)->click();
        }
    });
    holder.start(10);
    const qint64 clickedMs = QDateTime::currentMSecsSinceEpoch();
    click(editor, "lanReadButton");
    QTRY_VERIFY_WITH_TIMEOUT(heldMs > 0, 15000);
    watch.stop();
    holder.stop();
    record->trigger();

    QCOMPARE(title, QStringLiteral("LAN Configuration"));
    QVERIFY(!wentStale);
    QVERIFY2(!w.messageEditor()->toPlainText().contains(QStringLiteral("No communication")),
             qPrintable(w.messageEditor()->toPlainText()));
    // About one report a second while the box was open, each with its own receipt time.
    QList<qint64> received;
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("heldopen"));
        check.setDatabaseName(db);
        QVERIFY(check.open());
        QSqlQuery q(check);
        QVERIFY(q.exec(QStringLiteral("SELECT received_ms FROM reports ORDER BY id")));
        while (q.next())
            received << q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("heldopen"));
    QList<qint64> during;
    for (qint64 ms : qAsConst(received))
        if (ms >= clickedMs && ms <= clickedMs + 8000)
            during << ms;
    QVERIFY2(during.size() >= 6, qPrintable(QString::number(during.size())));
    for (int i = 1; i < during.size(); ++i)
        QVERIFY2(during.at(i) - during.at(i - 1) >= 500, "reports held back and recorded at once");
}

void TstTypicalRoad::recordingKeepsWhatTheBoxSent()
{
    constexpr int kReports = 50;
    constexpr int kPoints = 200;
    BoxSim sim(QStringLiteral("127.0.6.73"), {"--interval", "100", "--seed", "11", "--invalid-percent", "5"});
    QVERIFY(sim.start());
    QTemporaryDir projectDir;
    QTemporaryDir recordDir;
    const Inputs inputs{"Plant", projectDir.path(), "PLC1", "Box1", sim.address()};
    ModalAnswerer answerer([&inputs](QWidget *w) { inputs.answer(w); });

    CMainWindow w;
    w.resize(1200, 800);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.slotNewProject();
    QStandardItem *project = w.projectModel()->item(0);
    QVERIFY(project);

    // One device of 200 points of every kind the simulator moves differently: bits that toggle,
    // counters, waves and texts. Each kind has its own table or address range.
    makeCurrent(w, childWithText(project, Folder::Standard));
    w.standardAddFile();
    QStandardItem *device = childWithText(childWithText(project, Folder::Standard), "PLC1");
    QVERIFY(device);
    QList<QVariantList> rows{{"1", "1", "ABCD", "true", "false"}};
    for (int k = 0; k < kPoints / 4; ++k) {
        rows.append({QStringLiteral("%1").arg(1 + k, 5, 10, QLatin1Char('0')), QStringLiteral("bit%1").arg(k), "bool", "1", "RW"});
        rows.append({QString::number(40001 + k), QStringLiteral("count%1").arg(k), "int16", "1", "R"});
        rows.append({QString::number(41001 + 2 * k), QStringLiteral("wave%1").arg(k), "float", "2", "R"});
        rows.append({QString::number(42001 + 4 * k), QStringLiteral("text%1").arg(k), "string", "4", "R"});
    }
    setModbusDevice(device, PointTable{{QStringLiteral("Modbus-1"), rows}});

    // The box editor connects and deploys the project; the simulator reports it from then on.
    makeCurrent(w, childWithText(project, Folder::Box));
    w.boxAddFile();
    BoxEditDialog *editor = boxEditor(w);
    QVERIFY(editor);
    QTRY_COMPARE_WITH_TIMEOUT(label(editor, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    answerer.answer(QStringLiteral("Unsaved Project"), QMessageBox::No); // send without saving
    click(editor, "updateProjectButton");
    QTRY_VERIFY_WITH_TIMEOUT(!editor->transferRunning(), 10000);
    QVERIFY(w.messageEditor()->toPlainText().contains(QStringLiteral("Checksum Result:Checksum successful.")));
    answerer.boxes.clear(); // that question; none may come while recording
    QTRY_VERIFY_WITH_TIMEOUT(tableOf(w, "PLC1 @ Box1") && tableOf(w, "PLC1 @ Box1")->rowCount() == kPoints, 5000);

    // What the main window is handed, from the Record click on; the 50th report ends the
    // recording at once, so the database holds exactly those reports.
    QAction *record = w.findChild<QAction *>(QStringLiteral("recordAction"));
    QVERIFY(record);
    QList<Protocol::dataMonitoringData> sent;
    bool capturing = false;
    QObject captureScope; // goes first on every way out: the box reports until the window is gone
    connect(editor, &BoxEditDialog::sendDataToMainWindow, &captureScope, [&](const Protocol::dataMonitoringData &data) {
        if (!capturing)
            return;
        sent.append(data);
        if (sent.size() == kReports) {
            capturing = false;
            record->trigger();
        }
    });
    const QString db = recordDir.filePath(QStringLiteral("plant.sqlite"));
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch();
    FileDialogs::setNextAnswerForTesting(db);
    record->trigger();
    QVERIFY(w.isRecording());
    capturing = true;
    // 50 reports at 100 ms take 5 s; a slow shared machine gets four times that.
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), kReports, 20000);
    QVERIFY(!w.isRecording());
    QVERIFY(!record->isChecked());
    const qint64 endMs = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(answerer.titles(), QStringList());

    // Every row as the box sent it: box, project, device, point, address, value, validity and
    // the report's own time.
    QStringList expected;
    for (const Protocol::dataMonitoringData &report : qAsConst(sent)) {
        QCOMPARE(report.datas.size(), kPoints);
        for (const QJsonValue &entry : report.datas) {
            const QJsonObject point = entry.toObject();
            QVERIFY(point.value("value").isString());
            expected << QStringList{report.sn, report.projectName, report.plcName,
                                    point.value("name").toString(), point.value("addr").toString(),
                                    point.value("value").toString(), point.value("valid").toString(),
                                    report.time}
                            .join(QLatin1Char('|'));
        }
    }
    QStringList stored;
    QMap<QString, QList<int>> counters;
    int invalid = 0;
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("recorded"));
        check.setDatabaseName(db);
        QVERIFY(check.open());
        QSqlQuery q(check);
        QVERIFY(q.exec("SELECT box, project, device, name, address, value, validity, report_time, received_ms "
                       "FROM samples ORDER BY received_ms"));
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < 8; ++c)
                row << q.value(c).toString();
            stored << row.join(QLatin1Char('|'));
            const qint64 received = q.value(8).toLongLong();
            QVERIFY2(received >= startMs && received <= endMs, qPrintable(stored.last()));
            if (row.at(3).startsWith(QLatin1String("count")))
                counters[row.at(3)] << row.at(5).toInt();
            invalid += row.at(6) == QLatin1String("0");
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("recorded"));
    QCOMPARE(stored.size(), kReports * kPoints);
    std::sort(expected.begin(), expected.end());
    std::sort(stored.begin(), stored.end());
    QCOMPARE(stored, expected);
    QVERIFY(stored.first().startsWith(QStringLiteral("SN600-000001|Plant|PLC1|")));
    QVERIFY2(invalid > 0, "the simulator's invalid readings are recorded as such");

    // The simulator counts each counter up by one per report: no report is missing or doubled.
    QCOMPARE(counters.size(), kPoints / 4);
    for (auto it = counters.cbegin(); it != counters.cend(); ++it) {
        QList<int> values = it.value();
        QCOMPARE(values.size(), kReports);
        std::sort(values.begin(), values.end());
        QCOMPARE(values.last() - values.first(), kReports - 1);
        QVERIFY2(std::adjacent_find(values.cbegin(), values.cend()) == values.cend(), qPrintable(it.key()));
    }
}

QTEST_MAIN(TstTypicalRoad)
#include "tst_typicalroad.moc"
