// The main window: language, docks, menus, saved layout, close question, tree menus, the marks
// of unsaved projects.

#include "BoxSimProcess.h"
#include "CheckFixture.h"
#include "ModalAnswer.h"
#include "TestDataLocation.h"

#include "gui/boxlink/BoxEditDialog.h"
#include "core/deployment/FleetDeployment.h"
#include "gui/deployment/DeploymentGate.h"
#include "gui/deployment/FleetWindow.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"
#include "gui/widgets/FileDialogs.h"
#include "gui/widgets/LogoWindow.h"

#include <qtadvanceddocking/DockAreaWidget.h>
#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QJsonDocument>
#include <QLibraryInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void captureWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
    if (g_previous)
        g_previous(type, context, message);
}

ads::CDockWidget *dockByObjectName(CMainWindow &w, const QString &name)
{
    for (auto *dock : w.dockManager()->findChildren<ads::CDockWidget *>())
        if (dock->objectName() == name)
            return dock;
    return nullptr;
}

// The dock area holding a widget, walking up from it.
ads::CDockAreaWidget *areaOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *area = qobject_cast<ads::CDockAreaWidget *>(w))
            return area;
    }
    return nullptr;
}

QStandardItem *addProject(CMainWindow &w, const QString &name)
{
    auto *project = new QStandardItem(name);
    for (const QString &folder : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data})
        project->appendRow(new QStandardItem(folder));
    w.projectModel()->appendRow(project);
    w.projectView()->expandAll();
    return project;
}

// Runs the tree's context menu for an item and returns the entries it showed (or a
// null list when no menu came up).
QStringList contextMenuFor(CMainWindow &w, QStandardItem *item)
{
    const QModelIndex index = item ? item->index() : QModelIndex();
    QPoint pos(-50, -50);
    if (index.isValid()) {
        w.projectView()->scrollTo(index);
        pos = w.projectView()->visualRect(index).center();
    }
    QStringList shown;
    bool seen = false;
    // Polls only while the menu runs, so no check outlives this request.
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            seen = true;
            for (QAction *a : menu->actions())
                shown << a->text();
            menu->close();
        }
    });
    poll.start();
    w.prjectTreeView_MenuPopup(pos);
    poll.stop();
    return seen ? shown : QStringList{QStringLiteral("<none>")};
}

// "marked" or "unmarked" when the entry's italics, its tooltip and the title's mark agree (one
// project open); otherwise what each shows.
QString markShown(CMainWindow &w, QStandardItem *project)
{
    const bool italic = project->font().italic();
    const bool tip = !project->toolTip().isEmpty();
    if (italic == tip && tip == w.isWindowModified())
        return italic ? QStringLiteral("marked") : QStringLiteral("unmarked");
    return QStringLiteral("mixed: italic %1, tooltip '%2', title %3")
        .arg(italic)
        .arg(project->toolTip())
        .arg(w.isWindowModified());
}

// Saves the project as its "Save Project" entry does, answering the confirmation.
void saveThroughMenu(CMainWindow &w, QStandardItem *project)
{
    w.projectView()->setCurrentIndex(project->index());
    ModalAnswer::Scoped ok(QMessageBox::Ok);
    w.saveProjectFile();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

using Mutation = std::function<void(CheckFixture &)>;
} // namespace

Q_DECLARE_METATYPE(Mutation)

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void chineseCatalogue();
    void missingCatalogueStaysEnglish();
    void qtCatalogue_data();
    void qtCatalogue();
    void firstLayoutUntilSaved();
    void fixedDocks_data();
    void fixedDocks();
    void menusAndToolBar();
    void aboutShowsVersion();
    void stateSavedAndRestored();
    void closeWithoutProjectsAsksNothing();
    void closeQuestion_data();
    void closeQuestion();
    void messagesAndTabs();
    void editDockPlacement();
    void contextMenuEntries_data();
    void contextMenuEntries();
    void contextMenuSuppression();
    void unsavedMark_data();
    void unsavedMark();
    void loadedProjectIsUnmarked_data();
    void loadedProjectIsUnmarked();
    void updateProjectOffersSave_data();
    void updateProjectOffersSave();

private:
    TestDataLocation m_dataLocation; // where the box editor keeps what a box received
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/chinese.qm"));
    CMainWindow::setQtCatalogDirForTesting(QLibraryInfo::location(QLibraryInfo::TranslationsPath));
}

void TestMainWindow::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    m_dir.reset();
}

void TestMainWindow::chineseCatalogue()
{
    CMainWindow w;
    QVERIFY(w.isChineseActive());
    QCOMPARE(w.windowTitle(), QStringLiteral("Nerio-IEC61850-Modbus[*]"));
    QStringList menus;
    for (QAction *a : w.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, QStringList({"文件", "视图", "窗口", "关于"}));
    QCOMPARE(w.findChild<QToolBar *>(QStringLiteral("toolBar"))->windowTitle(), QStringLiteral("工具栏"));
    QCOMPARE(dockByObjectName(w, QStringLiteral("Table 0"))->windowTitle(), QStringLiteral("数据监控"));
    QCOMPARE(w.projectModel()->horizontalHeaderItem(0)->text(), QStringLiteral("项目名称"));
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::missingCatalogueStaysEnglish()
{
    CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-such.qm"));
    // Leftover translators of earlier windows must not mask the result.
    g_warnings.clear();
    g_previous = qInstallMessageHandler(captureWarnings);
    CMainWindow w;
    qInstallMessageHandler(g_previous);

    QStringList failures;
    for (const QString &w : qAsConst(g_warnings))
        if (w.startsWith(QStringLiteral("Failed to load translation file: ")))
            failures << w;
    QCOMPARE(failures, QStringList{QStringLiteral("Failed to load translation file: :/adsdemo/no-such.qm")});
    QCOMPARE(w.windowTitle(), QStringLiteral("Nerio-IEC61850-Modbus[*]"));
    QStringList menus;
    for (QAction *a : w.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, QStringList({"File", "View", "window", "About"}));
}

void TestMainWindow::qtCatalogue_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("chineseButtons");
    QTest::newRow("Qt's translations") << QLibraryInfo::location(QLibraryInfo::TranslationsPath) << true;
    QTest::newRow("missing") << QStringLiteral("/nonexistent/qt-translations") << false;
}

void TestMainWindow::qtCatalogue()
{
    QFETCH(QString, dir);
    QFETCH(bool, chineseButtons);
    CMainWindow::setQtCatalogDirForTesting(dir);
    auto w = std::make_unique<CMainWindow>();
    w->show();
    QCOMPARE(w->windowTitle(), QStringLiteral("Nerio-IEC61850-Modbus[*]"));

    // Qt's standard buttons come from its own catalogue: "是(&Y)".
    QString yes;
    QTimer::singleShot(0, [&yes] {
        for (int i = 0; i < 200; ++i) {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                yes = box->button(QMessageBox::Yes)->text();
                box->done(QMessageBox::No);
                return;
            }
            QTest::qWait(10);
        }
    });
    QMessageBox::question(w.get(), QStringLiteral("t"), QStringLiteral("q"), QMessageBox::Yes | QMessageBox::No);
    QVERIFY(!yes.isEmpty());
    QCOMPARE(yes.contains(QStringLiteral("是")), chineseButtons);
    QCoreApplication::removeTranslator(w->translator());

    // Qt's catalogue leaves with its window.
    w.reset();
    QVERIFY(!QCoreApplication::translate("QPlatformTheme", "&Yes").contains(QStringLiteral("是")));
}

void TestMainWindow::firstLayoutUntilSaved()
{
    int savedWidth = 0;
    {
        CMainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ads::CDockAreaWidget *project = areaOf(w.projectView());
        QVERIFY(project);
        const int width = w.dockManager()->width();
        QTRY_VERIFY2(qAbs(project->width() - width / 5) <= width / 40,
                     qPrintable(QStringLiteral("tree %1 of %2").arg(project->width()).arg(width)));

        // The user widens the tree and saves the layout.
        auto *root = qobject_cast<QSplitter *>(project->parentWidget());
        QVERIFY(root);
        QList<int> sizes = root->sizes();
        const int index = root->indexOf(project);
        sizes[index + 1] -= width / 5;
        sizes[index] += width / 5;
        root->setSizes(sizes);
        savedWidth = project->width();
        w.on_actionSaveState_triggered();
        QCoreApplication::removeTranslator(w.translator());
    }
    // The saved layout wins over the first one.
    CMainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(50);
    QVERIFY2(qAbs(areaOf(w.projectView())->width() - savedWidth) <= 2,
             qPrintable(QStringLiteral("%1 saved, %2 shown").arg(savedWidth).arg(areaOf(w.projectView())->width())));
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::fixedDocks_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("featuresOn");
    QTest::addColumn<int>("featuresOff");
    // Closable 1, Movable 2, Floatable 4, CustomCloseHandling 16, Focusable 32
    QTest::newRow("data monitoring") << "Table 0" << "数据监控" << 16 << (1 | 2 | 4);
    QTest::newRow("project") << "项目" << "项目" << 16 << (1 | 2 | 4 | 32);
    QTest::newRow("message") << "Editor" << "消息" << (1 | 2) << (4 | 32 | 16);
}

void TestMainWindow::fixedDocks()
{
    QFETCH(QString, objectName);
    QFETCH(QString, title);
    QFETCH(int, featuresOn);
    QFETCH(int, featuresOff);
    CMainWindow w;
    ads::CDockWidget *dock = dockByObjectName(w, objectName);
    QVERIFY(dock);
    QCOMPARE(dock->windowTitle(), title);
    QCOMPARE(int(dock->features()) & featuresOn, featuresOn);
    QCOMPARE(int(dock->features()) & featuresOff, 0);
    QVERIFY(!dock->icon().isNull());
    QCOMPARE(dock->toggleViewAction()->text(), title);
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::menusAndToolBar()
{
    CMainWindow w;
    auto texts = [](const QList<QAction *> &actions) {
        QStringList out;
        for (QAction *a : actions)
            out << a->objectName();
        return out;
    };
    const QStringList tool = texts(w.findChild<QToolBar *>(QStringLiteral("toolBar"))->actions());
    QCOMPARE(tool, QStringList({"actionNew_Project", "actionLoad_Project", "actionSave_All_Project",
                                "actionSaveState", "actionRestoreState"}));
    QCOMPARE(texts(w.findChild<QMenu *>(QStringLiteral("menuFile"))->actions()),
             QStringList({"actionSaveState", "actionRestoreState"}));
    QCOMPARE(texts(w.findChild<QMenu *>(QStringLiteral("menuWindow"))->actions()),
             QStringList({"actionNew_Project", "actionLoad_Project", "actionSave_All_Project", "actionTemplates"}));
    QCOMPARE(texts(w.findChild<QMenu *>(QStringLiteral("menuAbout"))->actions()),
             QStringList({"actionAbout"}));

    // The View menu toggles the docks in creation order; hiding the Message dock and
    // bringing it back works through it.
    QStringList view;
    const QList<QAction *> viewActions = w.findChild<QMenu *>(QStringLiteral("menuView"))->actions();
    for (QAction *a : viewActions)
        view << a->text();
    QCOMPARE(view, QStringList({"数据监控", "项目", "消息"}));
    w.show();
    ads::CDockWidget *message = dockByObjectName(w, QStringLiteral("Editor"));
    QVERIFY(viewActions[2]->isCheckable());
    message->closeDockWidget();
    QVERIFY(message->isClosed());
    viewActions[2]->trigger();
    QVERIFY(!message->isClosed());

    // The Message dock's options menu clears the editor.
    w.appendMessage(QStringLiteral("something"));
    auto *options = message->findChild<QAction *>(QStringLiteral("optionsMenu"));
    QVERIFY(options && options->menu());
    QCOMPARE(options->menu()->actions().size(), 1);
    options->menu()->actions().first()->trigger();
    QVERIFY(w.messageEditor()->toPlainText().isEmpty());
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::aboutShowsVersion()
{
    // The version is the one the build (and so the package) carries: project(... VERSION x.y.z).
    QFile cmake(QStringLiteral(ORVANE_SOURCE_DIR "/CMakeLists.txt"));
    QVERIFY(cmake.open(QIODevice::ReadOnly));
    const auto match = QRegularExpression(QStringLiteral("project\\(orvane VERSION ([0-9.]+)"))
                           .match(QString::fromUtf8(cmake.read(64 * 1024)));
    QVERIFY(match.hasMatch());
    const QString version = match.captured(1);

    CMainWindow w;
    w.findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
    auto *about = w.findChild<LogoWindow *>();
    QVERIFY(about && about->isVisible());
    QStringList texts;
    for (const QLabel *label : about->findChildren<QLabel *>())
        texts << label->text();
    QVERIFY2(texts.contains(LogoWindow::tr("Version %1").arg(version)), qPrintable(texts.join(QLatin1Char('|'))));
}

void TestMainWindow::stateSavedAndRestored()
{
    QVERIFY(!QFile::exists(QStringLiteral("Settings.ini")));
    {
        CMainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.on_actionSaveState_triggered();
        QSettings ini(QStringLiteral("Settings.ini"), QSettings::IniFormat);
        QVERIFY(!ini.value(QStringLiteral("mainWindow/Geometry")).toByteArray().isEmpty());
        QVERIFY(!ini.value(QStringLiteral("mainWindow/State")).toByteArray().isEmpty());
        QVERIFY(!ini.value(QStringLiteral("mainWindow/DockingState")).toByteArray().isEmpty());

        // Closing the Message dock and restoring brings back the saved layout.
        ads::CDockWidget *message = dockByObjectName(w, QStringLiteral("Editor"));
        message->closeDockWidget();
        QVERIFY(message->isClosed());
        w.on_actionRestoreState_triggered();
        QVERIFY(!message->isClosed());
        QCoreApplication::removeTranslator(w.translator());
    }
    {
        // A saved layout with the Message dock closed comes back closed at the next start.
        CMainWindow w;
        w.show();
        dockByObjectName(w, QStringLiteral("Editor"))->closeDockWidget();
        w.on_actionSaveState_triggered();
        QCoreApplication::removeTranslator(w.translator());
    }
    CMainWindow w;
    w.show();
    QVERIFY(dockByObjectName(w, QStringLiteral("Editor"))->isClosed());
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::closeWithoutProjectsAsksNothing()
{
    CMainWindow w;
    w.show();
    QVERIFY(w.close());
    QVERIFY(!QFile::exists(QStringLiteral("Settings.ini")));
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::closeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    QTest::newRow("no") << int(QMessageBox::No) << true;
}

void TestMainWindow::closeQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);
    auto *w = new CMainWindow;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    addProject(*w, QStringLiteral("A"));
    QString text;
    ModalAnswer::answerNext(QMessageBox::StandardButton(answer), &text);
    QCOMPARE(w->close(), closes);
    QCOMPARE(text, QStringLiteral("关闭前是否保存所有项目？"));
    QCOMPARE(w->isVisible(), !closes);
    QCOMPARE(QFile::exists(QStringLiteral("Settings.ini")), closes);
    QCoreApplication::removeTranslator(w->translator());
    delete w;
}

void TestMainWindow::messagesAndTabs()
{
    CMainWindow w;
    w.appendMessage(QStringLiteral("one"));
    w.appendMessage(QStringLiteral("two"));
    QCOMPARE(w.messageEditor()->toPlainText(), QStringLiteral("one\ntwo"));

    QTabWidget *tabs = w.monitoringTabs();
    auto *p1 = new QWidget, *p2 = new QWidget, *p3 = new QWidget;
    tabs->addTab(p1, QStringLiteral("P1"));
    tabs->addTab(p2, QStringLiteral("P2"));
    tabs->addTab(p3, QStringLiteral("P1"));
    w.closeTabByName(QStringLiteral("P1"));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->widget(0), p2);
    QCOMPARE(tabs->widget(1), p3);
    w.closeTabByName(QStringLiteral("nothing"));
    QCOMPARE(tabs->count(), 2);
    delete p1; // removeTab leaves the page to its owner
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::editDockPlacement()
{
    CMainWindow w;
    w.show();
    const QString project = QObject::tr("Edit Project");
    const QString standard = QObject::tr("Edit Standard");
    const QString box = QObject::tr("Edit Box");

    // A project dock joins only a box dock: next to a standard dock it opens on its own.
    ads::CDockWidget *standardDock = w.createEditDock(standard, new QDialog);
    w.placeEditDock(standardDock);
    ads::CDockWidget *projectDock = w.createEditDock(project, new QDialog);
    w.placeEditDock(projectDock);
    QVERIFY(projectDock->dockAreaWidget() != standardDock->dockAreaWidget());
    QCOMPARE(w.findEditDock(project), projectDock);
    QCOMPARE(w.findEditDock(standard), standardDock);

    // A box dock tabs into the area of the first partner dock found; it opens no area of its own.
    ads::CDockWidget *boxDock = w.createEditDock(box, new QDialog);
    w.placeEditDock(boxDock);
    QVERIFY(boxDock->dockAreaWidget() == standardDock->dockAreaWidget()
            || boxDock->dockAreaWidget() == projectDock->dockAreaWidget());
    QCOMPARE(boxDock->dockAreaWidget()->dockWidgetsCount(), 2);

    // Rejecting the dialog closes and deletes the dock; its View action goes with it.
    QPointer<ads::CDockWidget> guard(boxDock);
    qobject_cast<QDialog *>(boxDock->widget())->reject();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(w.findEditDock(box), nullptr);
    QVERIFY(w.closeEditDock(project));

    // Docks are found by kind, not by the title shown: the dock opened under the Chinese
    // title is still found once another language is active, and a discarded one never is.
    QCOMPARE(standardDock->windowTitle(), QStringLiteral("编辑Standard"));
    QCoreApplication::removeTranslator(w.translator());
    QCOMPARE(w.findEditDock(EditDockKind::Standard), standardDock);
    QCOMPARE(w.findEditDock(EditDockKind::Project), nullptr);
    QCOMPARE(w.findEditDock(EditDockKind::Box), nullptr);
    QCOMPARE(w.findEditDock(EditDockKind::Service), nullptr);
}

void TestMainWindow::contextMenuEntries_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("project") << "project" << QStringList({"编辑项目", "关闭项目", "保存项目", "检查项目"});
    QTest::newRow("Standard folder") << "Standard" << QStringList({"添加Standard", "从模板添加...", "总线扫描..."});
    QTest::newRow("Service folder") << "Service" << QStringList();
    QTest::newRow("Box folder") << "Box" << QStringList({"添加Box", "搜索设备", "设备列表..."});
    QTest::newRow("Data folder") << "Data" << QStringList({"删除全部"});
    QTest::newRow("device") << "device" << QStringList({"编辑Standard", "删除"});
    QTest::newRow("service") << "service" << QStringList({"编辑Service"});
    QTest::newRow("box") << "box" << QStringList({"编辑Box", "删除"});
    QTest::newRow("data item") << "data" << QStringList({"删除"});
}

void TestMainWindow::contextMenuEntries()
{
    QFETCH(QString, which);
    QFETCH(QStringList, entries);
    CMainWindow w;
    w.show();
    QStandardItem *project = addProject(w, QStringLiteral("A"));
    project->child(0)->appendRow(new QStandardItem(QStringLiteral("M1")));
    project->child(1)->appendRow(new QStandardItem(QStringLiteral("IEC61850")));
    project->child(2)->appendRow(new QStandardItem(QStringLiteral("B1")));
    project->child(3)->appendRow(new QStandardItem(QStringLiteral("P1")));
    w.projectView()->expandAll();
    QStandardItem *item = which == "project" ? project
        : which == "Standard" ? project->child(0)
        : which == "Service" ? project->child(1)
        : which == "Box" ? project->child(2)
        : which == "Data" ? project->child(3)
        : which == "device" ? project->child(0)->child(0)
        : which == "service" ? project->child(1)->child(0)
        : which == "box" ? project->child(2)->child(0)
        : project->child(3)->child(0);
    QCOMPARE(contextMenuFor(w, item), entries);
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::contextMenuSuppression()
{
    CMainWindow w;
    w.show();
    QStandardItem *project = addProject(w, QStringLiteral("A"));
    const QStringList entries({"编辑项目", "关闭项目", "保存项目", "检查项目"});
    const QStringList none({"<none>"});

    // Beside the items: nothing, and the flag stays clear.
    QCOMPARE(contextMenuFor(w, nullptr), none);
    QCOMPARE(contextMenuFor(w, project), entries);
    QCOMPARE(contextMenuFor(w, project), none);
    // An empty menu (the Service folder) still counts as shown.
    QCOMPARE(contextMenuFor(w, project->child(1)), QStringList());
    QCOMPARE(contextMenuFor(w, project), none);
    QCOMPARE(contextMenuFor(w, project), entries);
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::unsavedMark_data()
{
    QTest::addColumn<Mutation>("mutation");
    QTest::addColumn<bool>("marked");
    QTest::newRow("record edited") << Mutation([](CheckFixture &f) {
        CheckFixture::set(f.pump, Role::CollectionInterval, "5000");
    }) << true;
    // The file is compared, not a flag: an edit put back by hand leaves nothing to save.
    QTest::newRow("record edited and put back") << Mutation([](CheckFixture &f) {
        CheckFixture::set(f.pump, Role::CollectionInterval, "5000");
        CheckFixture::set(f.pump, Role::CollectionInterval, "2000");
    }) << false;
    QTest::newRow("box added") << Mutation([](CheckFixture &f) {
        f.box->parent()->appendRow(new QStandardItem(QStringLiteral("Box2")));
    }) << true;
    QTest::newRow("device deleted") << Mutation([](CheckFixture &f) {
        f.pump->parent()->removeRow(f.pump->row());
    }) << true;
    // Saved now, it would go to another file.
    QTest::newRow("project renamed") << Mutation([](CheckFixture &f) { f.project->setText("Plant2"); }) << true;
    // Live readings are never saved.
    QTest::newRow("live data arrived") << Mutation([](CheckFixture &f) {
        auto *data = new QStandardItem(QStringLiteral("Pump"));
        f.project->child(3)->appendRow(data);
        data->setData(QStringLiteral("{\"flow\": 1}"), Role::DataRows);
    }) << false;
}

void TestMainWindow::unsavedMark()
{
    QFETCH(Mutation, mutation);
    QFETCH(bool, marked);
    CMainWindow w;
    CheckFixture fixture(*w.projectModel());
    fixture.project->setData(m_dir->path(), Role::ProjectPath);

    // Never saved: marked, with the name untouched (the file is named after it).
    QTRY_COMPARE(markShown(w, fixture.project), QStringLiteral("marked"));
    QCOMPARE(fixture.project->text(), QStringLiteral("Plant"));
    QVERIFY(w.windowTitle().endsWith(QStringLiteral("[*]")));

    saveThroughMenu(w, fixture.project);
    QCOMPARE(markShown(w, fixture.project), QStringLiteral("unmarked"));

    mutation(fixture);
    const QString expected = marked ? QStringLiteral("marked") : QStringLiteral("unmarked");
    QTRY_COMPARE(markShown(w, fixture.project), expected);
    QTest::qWait(20);
    QCOMPARE(markShown(w, fixture.project), expected);
    // The tooltip names the file that lacks the changes.
    if (marked)
        QVERIFY2(fixture.project->toolTip().contains(ProjectJson::projectFilePath(fixture.project)),
                 qPrintable(fixture.project->toolTip()));

    // A save clears it; saving again without a change leaves it clear.
    saveThroughMenu(w, fixture.project);
    QCOMPARE(markShown(w, fixture.project), QStringLiteral("unmarked"));
    saveThroughMenu(w, fixture.project);
    QTest::qWait(20);
    QCOMPARE(markShown(w, fixture.project), QStringLiteral("unmarked"));
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::loadedProjectIsUnmarked_data()
{
    QTest::addColumn<bool>("compact");
    QTest::newRow("as the tool writes it") << false;
    // Another layout of the same project holds it just as well.
    QTest::newRow("compact layout") << true;
}

void TestMainWindow::loadedProjectIsUnmarked()
{
    QFETCH(bool, compact);
    QByteArray bytes;
    {
        QStandardItemModel model;
        CheckFixture fixture(model);
        bytes = ProjectJson::projectFileBytes(fixture.project);
        if (compact)
            bytes = QJsonDocument::fromJson(bytes).toJson(QJsonDocument::Compact);
    }
    const QString path = m_dir->filePath(QStringLiteral("Plant.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    CMainWindow w;
    FileDialogs::setNextAnswerForTesting(path);
    {
        ModalAnswer::Scoped ok(QMessageBox::Ok);
        w.loadJsonFile();
    }
    QCOMPARE(w.projectModel()->rowCount(), 1);
    QStandardItem *project = w.projectModel()->item(0);
    QTest::qWait(20);
    QCOMPARE(markShown(w, project), QStringLiteral("unmarked"));

    // An edit after the load marks it.
    CheckFixture::set(project->child(0)->child(0), Role::CollectionInterval, "5000");
    QTRY_COMPARE(markShown(w, project), QStringLiteral("marked"));
    QCoreApplication::removeTranslator(w.translator());
}

void TestMainWindow::updateProjectOffersSave_data()
{
    QTest::addColumn<bool>("fleet"); // the fleet window's "Update project", else the box editor's
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("saveFirst");
    QTest::addColumn<bool>("editAfterSave");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("markedAfter");
    const int save = QMessageBox::Save, without = QMessageBox::No, cancel = QMessageBox::Cancel;
    QTest::newRow("never saved, Save") << false << "127.0.27.1" << false << false << save << true << false;
    QTest::newRow("changed, Save") << false << "127.0.27.2" << true << true << save << true << false;
    QTest::newRow("changed, Send without saving") << false << "127.0.27.3" << true << true << without << true << true;
    QTest::newRow("never saved, Cancel") << false << "127.0.27.4" << false << false << cancel << false << true;
    QTest::newRow("saved: no question") << false << "127.0.27.5" << true << false << cancel << true << false;
    QTest::newRow("fleet, never saved, Save") << true << "127.0.27.6" << false << false << save << true << false;
    QTest::newRow("fleet, changed, Cancel") << true << "127.0.27.7" << true << true << cancel << false << true;
}

void TestMainWindow::updateProjectOffersSave()
{
    QFETCH(bool, fleet);
    QFETCH(QString, address);
    QFETCH(bool, saveFirst);
    QFETCH(bool, editAfterSave);
    QFETCH(int, answer);
    QFETCH(bool, sent);
    QFETCH(bool, markedAfter);
    BoxSimProcess sim(address);
    QVERIFY(sim.start());
    CMainWindow w;
    CheckFixture fixture(*w.projectModel());
    fixture.project->setData(m_dir->path(), Role::ProjectPath);
    fixture.box->setData(address, Role::BoxIp);
    const QString file = ProjectJson::projectFilePath(fixture.project);
    if (saveFirst)
        saveThroughMenu(w, fixture.project);
    if (editAfterSave)
        CheckFixture::set(fixture.pump, Role::CollectionInterval, "5000");
    const bool asked = !saveFirst || editAfterSave;
    const QByteArray fileBefore = fileBytes(file);

    QWidget *sender = nullptr;
    std::function<bool()> running;
    if (fleet) {
        w.projectView()->setCurrentIndex(fixture.box->parent()->index());
        w.boxFleetFile();
        auto *window = w.findChild<FleetWindow *>();
        QVERIFY(window);
        sender = window;
        running = [window] { return window->deployment()->isRunning(); };
    } else {
        w.projectView()->setCurrentIndex(fixture.box->index());
        w.slotBoxEditFile();
        auto *editor = w.findChild<BoxEditDialog *>();
        QVERIFY(editor);
        sender = editor;
        running = [editor] { return editor->transferRunning(); };
    }
    ModalAnswer::Scoped answers{QMessageBox::StandardButton(answer)};
    sender->findChild<QPushButton *>(QStringLiteral("updateProjectButton"))->click();
    QVERIFY(QTest::qWaitFor([&] { return !running(); }, 10000));

    QCOMPARE(answers.seen().size(), asked ? 1 : 0);
    if (asked) {
        const QStringList box = answers.seen().first().split(QLatin1Char('|'));
        QCOMPARE(box.first(), DeploymentGate::tr("Unsaved Project"));
        QVERIFY2(box.last().contains(QStringLiteral("Plant")), qPrintable(box.last()));
        // A project saved before names the file that lacks the changes.
        QCOMPARE(box.last().contains(file), saveFirst);
    }
    QCOMPARE(sim.transferRecords().size(), sent ? 1 : 0);
    const QByteArray now = ProjectJson::projectFileBytes(fixture.project);
    if (sent)
        QCOMPARE(fileBytes(sim.statePath(QStringLiteral("deployed.json"))), now);
    // Saved when asked to, and only then.
    QCOMPARE(fileBytes(file), markedAfter ? fileBefore : now);
    QTRY_COMPARE(markShown(w, fixture.project),
                 markedAfter ? QStringLiteral("marked") : QStringLiteral("unmarked"));
    QCoreApplication::removeTranslator(w.translator());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
