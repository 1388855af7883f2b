// The windows around the project checks: "Check Project" from the tree's menu and the way
// from a finding to its row, the decision before sending, the confirmation of what a
// deployment changes, and the certificate details in the IEC61850 editor.

#include "CheckFixture.h"
#include "ModalAnswer.h"
#include "TestCertificates.h"
#include "TestDataLocation.h"

#include "BoxSimProcess.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/boxlink/BoxEditDialog.h"
#include "core/deployment/DeploymentStore.h"
#include "core/checks/ProjectChecker.h"
#include "gui/checks/CertificateDetailsView.h"
#include "gui/deployment/DeploymentChangesDialog.h"
#include "gui/deployment/DeploymentGate.h"
#include "gui/mainwindow/FindingNavigator.h"
#include "gui/checks/ProjectChecksWindow.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ProjectJson.h"
#include "gui/services/ServiceIEC61850EditDialog.h"

#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QScrollArea>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using Mutation = void (*)(CheckFixture &);
Q_DECLARE_METATYPE(Mutation)

namespace {

// Runs the tree's context menu on `item` and triggers the entry `text`.
bool triggerMenuEntry(CMainWindow &w, QStandardItem *item, const QString &text)
{
    w.projectView()->scrollTo(item->index());
    const QPoint pos = w.projectView()->visualRect(item->index()).center();
    bool found = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *a : menu->actions())
                if (a->text() == text) {
                    found = true;
                    menu->close();
                    a->trigger();
                    return;
                }
            menu->close();
        }
    });
    poll.start();
    w.prjectTreeView_MenuPopup(pos);
    poll.stop();
    return found;
}

QTabWidget *standardEditorTabs(CMainWindow &w)
{
    return FindingNavigator::standardEditorTabs(&w);
}

// Answers every DeploymentChangesDialog that becomes modal while it lives, noting its rows
// ("cell|cell|..."). Polled from a timer, so it also answers a dialog that follows another box.
class ChangesAnswer
{
public:
    explicit ChangesAnswer(bool accept)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, accept] {
            auto *d = qobject_cast<DeploymentChangesDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            QTreeWidget *view = d->changesView();
            for (int r = 0; r < view->topLevelItemCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < view->columnCount(); ++c)
                    cells << view->topLevelItem(r)->text(c);
                rows << cells.join(QLatin1Char('|'));
            }
            accept ? d->accept() : d->reject();
        });
        m_timer.start();
    }
    QStringList rows;

private:
    QTimer m_timer;
};

} // namespace

class TstChecksUi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void checkProjectOpensTheRow_data();
    void checkProjectOpensTheRow();
    void boxFindingOpensTheBoxEditor();
    void gate_data();
    void gate();
    void changesBeforeSending();
    void certificateDetailsInEditor();
    void deploymentsToSimulator();

private:
    TestDataLocation m_dataLocation; // where the box editor keeps what it deployed
    QTemporaryDir m_dir;
    std::unique_ptr<TestCertificates> m_certs;
};

void TstChecksUi::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path())); // Settings.ini of the window
    CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
    m_certs = std::make_unique<TestCertificates>(m_dir.path());
}

void TstChecksUi::checkProjectOpensTheRow_data()
{
    QTest::addColumn<Mutation>("mutation");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("tab");
    QTest::addColumn<int>("row");

    QTest::newRow("Modbus point, second slave")
        << Mutation([](CheckFixture &f) {
               CheckFixture::addRows(f.pump, "Modbus-2", {CheckFixture::point("40001", "a"),
                                                          CheckFixture::point("40002", "flow")});
           })
        << "Pump" << "Modbus-2" << 2;
    QTest::newRow("DLT645 row without name")
        << Mutation([](CheckFixture &f) {
               PointTable t = CheckFixture::table(f.meter);
               t["DLT645-1"][2] = CheckFixture::meterRow(true, "B-phase voltage", "");
               CheckFixture::setTable(f.meter, t);
           })
        << "Meter" << "DLT645-1" << 2;
    QTest::newRow("DLT645 row far down")
        << Mutation([](CheckFixture &f) {
               PointTable t = CheckFixture::table(f.meter);
               QList<QVariantList> &rows = t["DLT645-1"];
               while (rows.size() < 40)
                   rows.append(CheckFixture::meterRow(false, "B-phase current", ""));
               rows.append(CheckFixture::meterRow(true, "C-phase current", ""));
               CheckFixture::setTable(f.meter, t);
           })
        << "Meter" << "DLT645-1" << 40;
}

void TstChecksUi::checkProjectOpensTheRow()
{
    QFETCH(Mutation, mutation);
    QFETCH(QString, device);
    QFETCH(QString, tab);
    QFETCH(int, row);

    CMainWindow w;
    w.show();
    CheckFixture fixture(*w.projectModel());
    mutation(fixture);
    QVERIFY(triggerMenuEntry(w, fixture.project, QStringLiteral("Check Project")));

    auto *window = w.findChild<ProjectChecksWindow *>();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QTreeWidget *view = window->findingsView();
    QCOMPARE(view->topLevelItemCount(), 1);
    QTreeWidgetItem *finding = view->topLevelItem(0);
    QCOMPARE(finding->text(0), QStringLiteral("Error"));
    QCOMPARE(finding->text(1), device);
    QCOMPARE(finding->text(2), QStringLiteral("%1, row %2").arg(tab).arg(row));

    // A double-click on the finding opens the device's editor on that tab, the row selected.
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QRect rect = view->visualItemRect(finding);
    // An item view takes a double-click only on the row it saw pressed.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_VERIFY(standardEditorTabs(w) && standardEditorTabs(w)->count() > 0);
    QTabWidget *tabs = standardEditorTabs(w);
    QTRY_COMPARE(tabs->tabText(tabs->currentIndex()), tab);
    auto *table = tabs->currentWidget()->findChild<QTableWidget *>();
    QTRY_VERIFY(table->selectionModel()->isRowSelected(row - 1, QModelIndex()));
    // On screen, not only selected: inside the table's viewport and the editor's scroll area.
    const auto onScreen = [table, row] {
        const QRect cell = table->visualRect(table->model()->index(row - 1, 0));
        if (!table->viewport()->rect().contains(cell.center()))
            return false;
        for (QWidget *up = table->parentWidget(); up; up = up->parentWidget()) {
            if (auto *area = qobject_cast<QScrollArea *>(up))
                return area->viewport()->rect().contains(table->viewport()->mapTo(area->viewport(), cell.center()));
        }
        return true;
    };
    QTRY_VERIFY(onScreen());

    // Checking the project again reuses its window instead of opening a second one.
    QCOMPARE(ProjectChecksWindow::showFor(fixture.project, &w), window);
    QCOMPARE(w.findChildren<ProjectChecksWindow *>().size(), 1);
    // Once the project is closed, checking again closes its window.
    QPointer<ProjectChecksWindow> guard(window);
    w.projectModel()->removeRow(fixture.project->row());
    window->recheck();
    QTRY_VERIFY(guard.isNull());
}

// A box's address is checked too; its finding opens the box editor, where it is mended.
void TstChecksUi::boxFindingOpensTheBoxEditor()
{
    CMainWindow w;
    CheckFixture fixture(*w.projectModel());
    CheckFixture::set(fixture.box, Role::BoxIp, "127.0.6.064");
    const CheckFindings found = ProjectChecker::check(fixture.project);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().item, fixture.box);
    QVERIFY(FindingNavigator::open(&w, found.first().item, found.first().tab, found.first().row));
    auto *editor = w.findChild<BoxEditDialog *>();
    QVERIFY(editor);
    QCOMPARE(editor->boxItem(), fixture.box);
}

void TstChecksUi::gate_data()
{
    QTest::addColumn<Mutation>("mutation");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("send");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("windowShown");

    const Mutation error = [](CheckFixture &f) { CheckFixture::set(f.pump, Role::ModbusPort, "0"); };
    const Mutation warning = [](CheckFixture &f) { CheckFixture::set(f.pump, Role::CollectionInterval, "10"); };
    QTest::newRow("error: nothing sent, window lists it") << error << int(QMessageBox::Yes) << false << false << true;
    QTest::newRow("warning, No") << warning << int(QMessageBox::No) << false << true << false;
    QTest::newRow("warning, Yes") << warning << int(QMessageBox::Yes) << true << true << false;
    QTest::newRow("sound: no step") << Mutation([](CheckFixture &) {}) << int(QMessageBox::No) << true << false << false;
}

void TstChecksUi::gate()
{
    QFETCH(Mutation, mutation);
    QFETCH(int, answer);
    QFETCH(bool, send);
    QFETCH(bool, asked);
    QFETCH(bool, windowShown);

    CMainWindow w;
    CheckFixture fixture(*w.projectModel());
    mutation(fixture);
    ModalAnswer::Scoped answers{QMessageBox::StandardButton(answer)};
    QCOMPARE(DeploymentGate::confirmChecks(fixture.project, &w), send);
    QCOMPARE(answers.seen().size(), asked ? 1 : 0);
    if (asked)
        QVERIFY2(answers.seen().first().contains("collection interval of 10 ms"), qPrintable(answers.seen().first()));
    auto *window = w.findChild<ProjectChecksWindow *>();
    QCOMPARE(window != nullptr, windowShown);
    if (window) {
        QCOMPARE(window->findingsView()->topLevelItemCount(), 1);
        QVERIFY(window->findingsView()->topLevelItem(0)->text(3).contains("port '0'"));
    }
}

void TstChecksUi::changesBeforeSending()
{
    QTemporaryDir storeDir;
    const DeploymentStore store(storeDir.path());
    QStandardItemModel model;
    CheckFixture fixture(model);
    const QString ip = QStringLiteral("127.0.0.1");

    // Never sent from here: no question.
    QJsonObject document = ProjectJson::buildProjectJson(fixture.project);
    QVERIFY(DeploymentGate::confirmChanges(document, ip, nullptr, store));
    QVERIFY(store.store(ip, "Plant", ProjectJson::projectFileBytes(fixture.project)));
    // Nothing changed: no question either.
    QVERIFY(DeploymentGate::confirmChanges(document, ip, nullptr, store));

    // One point renamed, one added: exactly these two rows; Cancel sends nothing.
    PointTable t = CheckFixture::table(fixture.pump);
    t["Modbus-1"][1][1] = QStringLiteral("flow2");
    t["Modbus-1"].append(CheckFixture::point("40010", "temp"));
    CheckFixture::setTable(fixture.pump, t);
    document = ProjectJson::buildProjectJson(fixture.project);
    {
        ChangesAnswer cancel(false);
        QVERIFY(!DeploymentGate::confirmChanges(document, ip, nullptr, store));
        QCOMPARE(cancel.rows, (QStringList{"Changed|device 'Pump' / slave 1 / point 'flow2'|Name|flow|flow2",
                                           "Added|device 'Pump' / slave 1 / point 'temp'|||Address: 40010, Type: uint16"}));
    }
    {
        ChangesAnswer confirm(true);
        QVERIFY(DeploymentGate::confirmChanges(document, ip, nullptr, store));
        QCOMPARE(confirm.rows.size(), 2);
    }
    // Another box has its own copy.
    QVERIFY(DeploymentGate::confirmChanges(document, "127.0.0.2", nullptr, store));
}

void TstChecksUi::certificateDetailsInEditor()
{
    QStandardItemModel model;
    CheckFixture fixture(model);
    CheckFixture::set(fixture.service, Role::EnableSSL, "true");
    ServiceIEC61850EditDialog dialog(fixture.service, nullptr);
    auto *details = dialog.findChild<CertificateDetailsView *>();
    QVERIFY(details);
    QVERIFY(details->isHidden());
    QList<QPushButton *> selects;
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        if (b->text() == QStringLiteral("Select"))
            selects << b;
    QVERIFY(selects.size() >= 3); // root, server certificate, server key, then the clients

    FileDialogs::setNextAnswerForTesting(m_certs->path("c1.der"));
    selects.at(1)->click();
    QVERIFY(!details->isHidden());
    QVERIFY2(details->text().contains("Subject: CN=server, O=Orvane"), qPrintable(details->text()));
    QVERIFY(details->text().contains("Issuer: CN=server, O=Orvane"));
    QVERIFY(details->text().contains(QRegularExpression("Valid from \\d{4}-\\d\\d-\\d\\d .* to \\d{4}-")));

    FileDialogs::setNextAnswerForTesting(m_certs->path("k2.pem"));
    selects.at(2)->click();
    QVERIFY2(details->text().contains("does NOT match"), qPrintable(details->text()));
    FileDialogs::setNextAnswerForTesting(m_certs->path("k1.pem"));
    selects.at(2)->click();
    QVERIFY2(details->text().contains("Server key: matches the server certificate."), qPrintable(details->text()));

    // A PEM file that holds no certificate, chosen as the root certificate.
    FileDialogs::setNextAnswerForTesting(m_certs->path("k1.pem"));
    selects.at(0)->click();
    QVERIFY(details->text().contains("holds no certificate"));
}

// "Update project" in the box editor against the simulator, which records every transfer it
// receives: the checks and the change confirmation before sending, the kept copy after the
// box's successful verdict.
void TstChecksUi::deploymentsToSimulator()
{
    BoxSimProcess sim(QStringLiteral("127.0.16.1"));
    QVERIFY(sim.start());
    const DeploymentStore store; // the editor's own, in the test's data directory
    CMainWindow w;
    CheckFixture fixture(*w.projectModel());
    fixture.project->setData(m_dir.path(), Role::ProjectPath);
    fixture.box->setData(sim.address(), Role::BoxIp);
    BoxEditDialog editor(fixture.box, &w);

    // True when the box received the project. Saved first, so only the checks and the
    // changes ask.
    auto deploy = [&] {
        if (!w.saveProject(fixture.project))
            return false;
        const int before = sim.transferRecords().size();
        editor.findChild<QPushButton *>(QStringLiteral("updateProjectButton"))->click();
        if (!QTest::qWaitFor([&] { return !editor.transferRunning(); }, 10000))
            return false;
        return sim.transferRecords().size() > before;
    };

    // Nothing to report, never deployed: sent with no question; the box's copy is kept.
    {
        ModalAnswer::Scoped any(QMessageBox::No);
        ChangesAnswer changes(false);
        QVERIFY(deploy());
        QCOMPARE(any.seen(), QStringList());
        QCOMPARE(changes.rows, QStringList());
    }
    QCOMPARE(sim.transferRecords().size(), 1);
    QFile kept(store.documentPath(sim.address(), fixture.project->text()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QFile deployed(sim.statePath(QStringLiteral("deployed.json")));
    QVERIFY(deployed.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), deployed.readAll());

    // One point renamed, one added: the next deployment shows exactly these; Cancel sends nothing.
    PointTable t = CheckFixture::table(fixture.pump);
    t["Modbus-1"][1][1] = QStringLiteral("flow2");
    t["Modbus-1"].append(CheckFixture::point("40010", "temp"));
    CheckFixture::setTable(fixture.pump, t);
    const QStringList expected{"Changed|device 'Pump' / slave 1 / point 'flow2'|Name|flow|flow2",
                               "Added|device 'Pump' / slave 1 / point 'temp'|||Address: 40010, Type: uint16"};
    {
        ChangesAnswer cancel(false);
        QVERIFY(!deploy());
        QCOMPARE(cancel.rows, expected);
    }
    QCOMPARE(sim.transferRecords().size(), 1);
    {
        ChangesAnswer confirm(true);
        QVERIFY(deploy());
        QCOMPARE(confirm.rows, expected);
    }
    QCOMPARE(sim.transferRecords().size(), 2);
    // The box has it now: the same project again asks nothing.
    {
        ChangesAnswer none(false);
        QVERIFY(deploy());
        QCOMPARE(none.rows, QStringList());
    }
    QCOMPARE(sim.transferRecords().size(), 3);

    // Warnings only: No sends nothing; Yes goes on to the changes and sends.
    CheckFixture::set(fixture.pump, Role::CollectionInterval, "10");
    {
        ModalAnswer::Scoped no(QMessageBox::No);
        QVERIFY(!deploy());
        QCOMPARE(no.seen().size(), 1);
    }
    QCOMPARE(sim.transferRecords().size(), 3);
    {
        ModalAnswer::Scoped yes(QMessageBox::Yes);
        ChangesAnswer confirm(true);
        QVERIFY(deploy());
        QCOMPARE(confirm.rows, QStringList{"Changed|device 'Pump'|Collection Interval|2000|10"});
    }
    QCOMPARE(sim.transferRecords().size(), 4);

    // An error: nothing reaches the box, the checks window lists it.
    CheckFixture::set(fixture.pump, Role::ModbusPort, "0");
    QVERIFY(!deploy());
    QCOMPARE(sim.transferRecords().size(), 4);
    ProjectChecksWindow *checksWindow = w.findChild<ProjectChecksWindow *>();
    QVERIFY2(checksWindow && checksWindow->isVisible(), "the errors are listed");
}

QTEST_MAIN(TstChecksUi)
#include "tst_checksui.moc"
