// Project and item commands, driven through the real main window: the modal dialogs and
// message boxes they raise are answered from inside their exec() loops.

#include "gui/mainwindow/CMainWindow.h"
#include "gui/mainwindow/ItemEditors.h"

#include "ModalAnswer.h"
#include "gui/widgets/FileDialogs.h"
#include "gui/boxlink/BoxEditDialog.h"
#include "gui/boxlink/BoxInputDialog.h"
#include "gui/devices/standardDLT645EditDialog.h"
#include "gui/devices/standardInputDialog.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "core/project/ItemRecord.h"
#include "gui/project/EditProjectDialog.h"
#include "gui/project/NewProjectDialog.h"
#include "gui/project/ProjectNameCheck.h"

#include <qtadvanceddocking/DockAreaWidget.h>
#include <qtadvanceddocking/DockContainerWidget.h>
#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QVector>
#include <QtTest>

#include <functional>

// Answers modal dialogs from inside their exec() loops, one step at a time. Each step waits,
// bounded in time, for an active modal widget of its class and acts on it. A step that never
// comes, or a modal that no step expects, marks the script failed; such modals are rejected
// so the test goes on. What was seen is kept for the comparison that reports the failure.
class ModalScript : public QObject
{
public:
    template <typename T>
    ModalScript &on(std::function<void(T *)> act)
    {
        m_steps.append({[](QWidget *w) { return qobject_cast<T *>(w) != nullptr; },
                        [act](QWidget *w) { act(qobject_cast<T *>(w)); }});
        return *this;
    }

    // The next message box: note "title|text" and press the button.
    ModalScript &press(QMessageBox::StandardButton button)
    {
        return on<QMessageBox>([this, button](QMessageBox *box) {
            m_seen << box->windowTitle() + QLatin1Char('|') + box->text();
            if (QAbstractButton *b = box->button(button)) {
                b->click();
            } else {
                m_failed = true;
                box->reject();
            }
        });
    }

    void start()
    {
        m_clock.start();
        arm();
    }

    bool done() const { return !m_failed && m_next == m_steps.size(); }
    QStringList seen() const { return m_seen; }

private:
    struct Step
    {
        std::function<bool(QWidget *)> matches;
        std::function<void(QWidget *)> act;
    };
    static constexpr qint64 kStepTimeoutMs = 5000;

    void arm() { QTimer::singleShot(10, this, [this] { poll(); }); }

    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!m_failed && m_next < m_steps.size()) {
            if (modal && m_steps[m_next].matches(modal)) {
                const Step step = m_steps[m_next++];
                m_clock.restart();
                arm(); // the next step may come up inside this one
                step.act(modal);
                return;
            }
            if (m_clock.elapsed() < kStepTimeoutMs) {
                arm();
                return;
            }
            m_failed = true;
            m_seen << QStringLiteral("timed out before step %1").arg(m_next + 1);
        }
        // Past the script (or after a failure) no modal may stay: note it and get rid of it.
        if (modal) {
            m_failed = true;
            auto *messageBox = qobject_cast<QMessageBox *>(modal);
            m_seen << QStringLiteral("unexpected ") + modal->metaObject()->className()
                          + (messageBox ? QLatin1Char(' ') + messageBox->windowTitle() + QLatin1Char('|')
                                              + messageBox->text()
                                        : QString());
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
        arm();
    }

    QVector<Step> m_steps;
    int m_next = 0;
    bool m_failed = false;
    QElapsedTimer m_clock;
    QStringList m_seen;
};

namespace {

QString mainText(const char *source)
{
    return QCoreApplication::translate("CMainWindow", source);
}

QString dockTitle(const QString &source)
{
    return QCoreApplication::translate("QObject", source.toUtf8().constData());
}

QString box(const QString &title, const QString &text)
{
    return title + QLatin1Char('|') + text;
}

const char *const kSameNameOpen = "A project with the same name already exists. Please use a different name.";

} // namespace

class TstCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newProject_data();
    void newProject();
    void editProject_data();
    void editProject();
    void editProjectDockIsReplacedNotDuplicated();
    void editProjectCancelClosesDock();
    void projectDockPlacement_data();
    void projectDockPlacement();
    void closeProject_data();
    void closeProject();
    void addStandard_data();
    void addStandard();
    void addBox_data();
    void addBox();
    void deleteItem_data();
    void deleteItem();
    void deleteAll_data();
    void deleteAll();
    void editorSlotsWithoutEditorLeaveOpenDocksAlone();
    void saveCheck_data();
    void saveCheck();
    void renameOntoAnotherProjectsFileIsRefused();
    void escapeKeepsDockedEditor_data();
    void escapeKeepsDockedEditor();
    void repointShowsDockHiddenByRestoredLayout_data();
    void repointShowsDockHiddenByRestoredLayout();

private:
    QStandardItem *addProject(const QString &name, const QString &path = QString());
    static QStandardItem *folderOf(QStandardItem *project, const QString &text);
    void makeCurrent(QStandardItem *item);
    ads::CDockWidget *openDummyDock(const QString &title);
    QList<ads::CDockWidget *> liveDocks(const QString &title) const;
    int viewMenuEntries(const QString &title) const;
    QStringList tabTexts() const;
    QStringList messages() const;
    QStandardItem *addEditable(QStandardItem *project, const QString &kind, const QString &name);
    ads::CDockWidget *openEditor(QStandardItem *item, const QString &kind);

    QTemporaryDir m_workDir;
    QTemporaryDir m_projectsDir;
    CMainWindow *m_window = nullptr;
};

void TstCommands::initTestCase()
{
    QVERIFY(m_workDir.isValid());
    QVERIFY(m_projectsDir.isValid());
    // The window keeps Settings.ini in the working directory.
    QVERIFY(QDir::setCurrent(m_workDir.path()));
    // The checks compare the English source texts: keep the Chinese catalogue out.
    CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
}

void TstCommands::init()
{
    m_window = new CMainWindow;
    m_window->show();
}

void TstCommands::cleanup()
{
    delete m_window;
    m_window = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStandardItem *TstCommands::addProject(const QString &name, const QString &path)
{
    m_window->handleProjectCreated(name, path.isEmpty() ? m_projectsDir.path() : path,
                                   QStringLiteral("about ") + name);
    const auto found = m_window->projectModel()->findItems(name);
    return found.isEmpty() ? nullptr : found.last();
}

QStandardItem *TstCommands::folderOf(QStandardItem *project, const QString &text)
{
    for (int row = 0; row < project->rowCount(); ++row) {
        if (project->child(row)->text() == text)
            return project->child(row);
    }
    return nullptr;
}

void TstCommands::makeCurrent(QStandardItem *item)
{
    m_window->projectView()->setCurrentIndex(item->index());
}

ads::CDockWidget *TstCommands::openDummyDock(const QString &title)
{
    ads::CDockWidget *dock = m_window->createEditDock(title, new QDialog);
    m_window->placeEditDock(dock);
    return dock;
}

QList<ads::CDockWidget *> TstCommands::liveDocks(const QString &title) const
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Walk the dock areas: a tab that is not current has no parent widget, so a search of the
    // window's children would miss it.
    QList<ads::CDockWidget *> docks;
    for (ads::CDockContainerWidget *container : m_window->dockManager()->dockContainers()) {
        for (int i = 0; i < container->dockAreaCount(); ++i) {
            for (ads::CDockWidget *dock : container->dockArea(i)->dockWidgets()) {
                if (dock->windowTitle() == title && !dock->isClosed())
                    docks << dock;
            }
        }
    }
    return docks;
}

int TstCommands::viewMenuEntries(const QString &title) const
{
    int count = 0;
    for (QAction *action : m_window->findChild<QMenu *>(QStringLiteral("menuView"))->actions())
        count += action->text() == title ? 1 : 0;
    return count;
}

QStringList TstCommands::tabTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_window->monitoringTabs()->count(); ++i)
        texts << m_window->monitoringTabs()->tabText(i);
    return texts;
}

QStringList TstCommands::messages() const
{
    const QString text = m_window->messageEditor()->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// An item that one of the five editors edits: "project" is the project itself.
QStandardItem *TstCommands::addEditable(QStandardItem *project, const QString &kind, const QString &name)
{
    if (kind == QLatin1String("project"))
        return project;
    auto *item = new QStandardItem(name);
    if (kind == QLatin1String("Modbus") || kind == QLatin1String("DLT645")) {
        item->setData(kind, Role::Protocol);
        folderOf(project, QStringLiteral("Standard"))->appendRow(item);
    } else if (kind == QLatin1String("IEC61850")) {
        item->setData(kind, Role::ServiceProtocol);
        item->setData(QStringLiteral("102"), Role::ServicePort);
        folderOf(project, QStringLiteral("Service"))->appendRow(item);
    } else {
        // Nothing listens on this loopback address.
        item->setData(QStringLiteral("127.0.0.250"), Role::BoxIp);
        folderOf(project, QStringLiteral("Box"))->appendRow(item);
    }
    return item;
}

// Opens (or re-points) the editor of the item's kind as a click on the item would.
ads::CDockWidget *TstCommands::openEditor(QStandardItem *item, const QString &kind)
{
    makeCurrent(item);
    QString title;
    if (kind == QLatin1String("project")) {
        m_window->slotEditProject();
        title = QStringLiteral("Edit Project");
    } else if (kind == QLatin1String("Modbus") || kind == QLatin1String("DLT645")) {
        m_window->slotstandardEditFile();
        title = QStringLiteral("Edit Standard");
    } else if (kind == QLatin1String("IEC61850")) {
        m_window->slotServiceEditFile();
        title = QStringLiteral("Edit Service");
    } else {
        m_window->slotBoxEditFile();
        title = QStringLiteral("Edit Box");
    }
    return m_window->findEditDock(dockTitle(title));
}

// --- New Project -------------------------------------------------------------------------------

void TstCommands::newProject_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("choosePath");
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("alreadyOpen");
    QTest::addColumn<QString>("warning"); // empty: the project is created
    QTest::addColumn<bool>("staysOpen");  // the dialog waits for a better entry

    const QString empty = box(QCoreApplication::translate("NewProjectDialog", "Warning"),
                              QCoreApplication::translate("NewProjectDialog", "Name and Path cannot be empty."));
    QTest::newRow("empty name") << QString() << true << false << false << empty << true;
    QTest::newRow("empty path") << "Plant" << false << false << false << empty << true;
    QTest::newRow("file in directory")
        << "Plant" << true << true << false
        << box(mainText("Warning"), mainText("A project with the same name already exists in the selected "
                                             "directory. Please use a different name."))
        << false;
    QTest::newRow("name already open") << "Plant" << true << false << true
                                       << box(mainText("Warning"), mainText(kSameNameOpen)) << false;
    QTest::newRow("good") << "Plant" << true << false << false << QString() << false;
    QTest::newRow("inner blank") << "Plant 3" << true << false << false << QString() << false;
    // The name becomes the file name: none of these may leave or hide in the chosen directory.
    for (const char *bad : {"a/b", "..", ".", "a\\b", "Plant\t3", "../escaped"}) {
        const QString name = QString::fromLatin1(bad);
        QTest::newRow(bad) << name << true << false << false
                           << box(ProjectNameCheck::tr("Warning"), ProjectNameCheck::problem(name)) << true;
    }
}

void TstCommands::newProject()
{
    QFETCH(QString, name);
    QFETCH(bool, choosePath);
    QFETCH(bool, fileExists);
    QFETCH(bool, alreadyOpen);
    QFETCH(QString, warning);
    QFETCH(bool, staysOpen);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (fileExists) {
        QFile file(dir.filePath(name + QStringLiteral(".json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (alreadyOpen)
        QVERIFY(addProject(name));
    const int rowsBefore = m_window->projectModel()->rowCount();

    ModalScript script;
    script.on<NewProjectDialog>([&](NewProjectDialog *dialog) {
        dialog->nameEdit()->setText(name);
        dialog->descriptionEdit()->setPlainText(QStringLiteral("line one\nline two"));
        if (choosePath) {
            FileDialogs::setNextAnswerForTesting(dir.path());
            dialog->browseButton()->click();
        }
        dialog->okButton()->click();
    });
    if (!warning.isEmpty())
        script.press(QMessageBox::Ok);
    bool stillOpen = false;
    if (staysOpen) {
        script.on<NewProjectDialog>([&](NewProjectDialog *dialog) {
            stillOpen = dialog->isVisible();
            dialog->cancelButton()->click();
        });
    }
    script.start();
    m_window->slotNewProject();

    QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
    QCOMPARE(script.seen(), warning.isEmpty() ? QStringList() : QStringList{warning});
    QCOMPARE(stillOpen, staysOpen);
    if (!warning.isEmpty()) {
        QCOMPARE(m_window->projectModel()->rowCount(), rowsBefore);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 fileExists ? QStringList{name + QStringLiteral(".json")} : QStringList());
        return;
    }

    QCOMPARE(m_window->projectModel()->rowCount(), rowsBefore + 1);
    QStandardItem *project = m_window->projectModel()->item(rowsBefore);
    QCOMPARE(project->text(), name);
    QCOMPARE(project->data(Role::ProjectPath).toString(), dir.path());
    QCOMPARE(project->data(Role::ProjectDescription).toString(), QStringLiteral("line one\nline two"));
    QStringList folders;
    for (int row = 0; row < project->rowCount(); ++row)
        folders << project->child(row)->text();
    QCOMPARE(folders, (QStringList{"Standard", "Service", "Box", "Data"}));
    QStandardItem *service = folderOf(project, QStringLiteral("Service"));
    QCOMPARE(service->rowCount(), 1);
    QCOMPARE(service->child(0)->text(), QStringLiteral("IEC61850"));
    QCOMPARE(service->child(0)->data(Role::ServiceProtocol).toString(), QStringLiteral("IEC61850"));
    QVERIFY(m_window->projectView()->isExpanded(project->index()));
    QVERIFY(m_window->projectView()->isExpanded(service->index()));
    // Creating a project writes nothing yet.
    QVERIFY(!QFile::exists(dir.filePath(name + QStringLiteral(".json"))));
}

// --- Edit Project ------------------------------------------------------------------------------

void TstCommands::editProject_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("finalName");

    QTest::newRow("new name") << "Renamed" << QString() << "Renamed";
    QTest::newRow("own name kept") << "Alpha" << QString() << "Alpha";
    QTest::newRow("other project's name") << "Beta" << box(mainText("Warning"), mainText(kSameNameOpen))
                                          << "Alpha";
    QTest::newRow("empty name") << QString() << box("Warning", "Name cannot be empty.") << "Alpha";
    QTest::newRow("no plain file name")
        << "../Alpha" << box(ProjectNameCheck::tr("Warning"), ProjectNameCheck::problem(QStringLiteral("../Alpha")))
        << "Alpha";
}

void TstCommands::editProject()
{
    QFETCH(QString, newName);
    QFETCH(QString, warning);
    QFETCH(QString, finalName);

    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    QStandardItem *beta = addProject(QStringLiteral("Beta"));
    makeCurrent(alpha);
    m_window->slotEditProject();

    ads::CDockWidget *dock = m_window->findEditDock(dockTitle("Edit Project"));
    QVERIFY(dock);
    auto *dialog = qobject_cast<EditProjectDialog *>(dock->widget());
    QVERIFY(dialog);
    QCOMPARE(dialog->nameEdit()->text(), QStringLiteral("Alpha"));
    QCOMPARE(dialog->pathEdit()->text(), m_projectsDir.path());
    QCOMPARE(dialog->descriptionEdit()->toPlainText(), QStringLiteral("about Alpha"));

    // The update belongs to the project the dock was opened for, not to the current one.
    makeCurrent(beta);
    dialog->nameEdit()->setText(newName);
    dialog->descriptionEdit()->setPlainText(QStringLiteral("new words"));
    ModalScript script;
    if (!warning.isEmpty())
        script.press(QMessageBox::Ok);
    script.start();
    dialog->saveButton()->click();

    QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
    QCOMPARE(script.seen(), warning.isEmpty() ? QStringList() : QStringList{warning});
    QCOMPARE(alpha->text(), finalName);
    QCOMPARE(beta->text(), QStringLiteral("Beta"));
    QCOMPARE(alpha->data(Role::ProjectDescription).toString(),
             warning.isEmpty() ? QStringLiteral("new words") : QStringLiteral("about Alpha"));
    const QStringList expectedMessages = warning.isEmpty()
        ? QStringList{mainText("The Project '%1' is saved successfully.").arg(finalName)}
        : QStringList();
    QCOMPARE(messages(), expectedMessages);
    // Save never closes the editor, and a refused name stays in the field.
    QCOMPARE(liveDocks(dockTitle("Edit Project")).size(), 1);
    QCOMPARE(dialog->nameEdit()->text(), newName);
}

void TstCommands::editProjectDockIsReplacedNotDuplicated()
{
    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    QStandardItem *beta = addProject(QStringLiteral("Beta"));
    const QString title = dockTitle("Edit Project");

    makeCurrent(alpha);
    m_window->slotEditProject();
    makeCurrent(beta);
    m_window->slotEditProject();
    // Twice within one turn of the event loop, before any deferred delete has run.
    m_window->slotEditProject();

    QCOMPARE(viewMenuEntries(title), 1);
    const QList<ads::CDockWidget *> docks = liveDocks(title);
    QCOMPARE(docks.size(), 1);
    QCOMPARE(m_window->findEditDock(title), docks.first());
    auto *dialog = qobject_cast<EditProjectDialog *>(docks.first()->widget());
    QVERIFY(dialog);
    QCOMPARE(dialog->nameEdit()->text(), QStringLiteral("Beta"));
}

void TstCommands::editProjectCancelClosesDock()
{
    makeCurrent(addProject(QStringLiteral("Alpha")));
    m_window->slotEditProject();
    ads::CDockWidget *dock = m_window->findEditDock(dockTitle("Edit Project"));
    QVERIFY(dock);
    QPointer<EditProjectDialog> dialog = qobject_cast<EditProjectDialog *>(dock->widget());
    QVERIFY(dialog);

    dialog->cancelButton()->click();

    QVERIFY(liveDocks(dockTitle("Edit Project")).isEmpty());
    QVERIFY(dialog.isNull());
    QCOMPARE(viewMenuEntries(dockTitle("Edit Project")), 0);
}

void TstCommands::projectDockPlacement_data()
{
    QTest::addColumn<QStringList>("openDocks");
    QTest::addColumn<bool>("besideBox");

    QTest::newRow("box editor open") << QStringList{"Edit Box"} << true;
    QTest::newRow("standard editor only") << QStringList{"Edit Standard"} << false;
    QTest::newRow("service and standard") << QStringList{"Edit Service", "Edit Standard"} << false;
    QTest::newRow("standard then box") << QStringList{"Edit Standard", "Edit Box"} << true;
    // The box editor is then a tab behind the standard editor, still the project dock's partner.
    QTest::newRow("box then standard") << QStringList{"Edit Box", "Edit Standard"} << true;
}

void TstCommands::projectDockPlacement()
{
    QFETCH(QStringList, openDocks);
    QFETCH(bool, besideBox);

    QList<ads::CDockWidget *> others;
    for (const QString &title : openDocks)
        others << openDummyDock(dockTitle(title));
    makeCurrent(addProject(QStringLiteral("Alpha")));
    m_window->slotEditProject();

    ads::CDockWidget *projectDock = m_window->findEditDock(dockTitle("Edit Project"));
    QVERIFY(projectDock);
    QVERIFY(projectDock->dockAreaWidget());
    for (ads::CDockWidget *other : others) {
        const bool sameArea = other->dockAreaWidget() == projectDock->dockAreaWidget();
        QCOMPARE(sameArea, besideBox);
    }
}

// --- Close Project -----------------------------------------------------------------------------

void TstCommands::closeProject_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<bool>("projectStays");
    QTest::addColumn<bool>("fileWritten");

    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << true << false;
    QTest::newRow("no") << int(QMessageBox::No) << false << false << false;
    QTest::newRow("yes") << int(QMessageBox::Yes) << false << false << true;
    QTest::newRow("yes, save fails") << int(QMessageBox::Yes) << true << true << false;
}

void TstCommands::closeProject()
{
    QFETCH(int, answer);
    QFETCH(bool, saveFails);
    QFETCH(bool, projectStays);
    QFETCH(bool, fileWritten);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A plain file where the directory should be: no save can succeed there.
    const QString blocked = dir.filePath(QStringLiteral("not-a-directory"));
    if (saveFails) {
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QStandardItem *alpha = addProject(QStringLiteral("Alpha"), saveFails ? blocked : dir.path());
    QStandardItem *beta = addProject(QStringLiteral("Beta"));
    // Edit docks of both projects are open.
    makeCurrent(beta);
    m_window->slotEditProject();
    openDummyDock(dockTitle("Edit Standard"));
    makeCurrent(alpha);

    ModalScript script;
    script.press(QMessageBox::StandardButton(answer));
    // Saving reports its outcome either way.
    if (answer == QMessageBox::Yes)
        script.press(QMessageBox::Ok);
    script.start();
    m_window->slotDeleteProject();

    QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
    QCOMPARE(script.seen().value(0), box(mainText("Save Changes"),
                                         mainText("Do you want to save changes before deleting the project?")));
    const QStringList names = [this] {
        QStringList list;
        for (int row = 0; row < m_window->projectModel()->rowCount(); ++row)
            list << m_window->projectModel()->item(row)->text();
        return list;
    }();
    QCOMPARE(names, projectStays ? QStringList({"Alpha", "Beta"}) : QStringList{"Beta"});
    QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("Alpha.json"))), fileWritten);
    const int expectedDocks = projectStays ? 1 : 0;
    QCOMPARE(liveDocks(dockTitle("Edit Project")).size(), expectedDocks);
    QCOMPARE(liveDocks(dockTitle("Edit Standard")).size(), expectedDocks);
    QCOMPARE(viewMenuEntries(dockTitle("Edit Standard")), expectedDocks);
}

// --- Add Standard / Add Box --------------------------------------------------------------------

void TstCommands::addStandard_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<bool>("pressOk");
    QTest::addColumn<QString>("warning"); // empty: added, unless cancelled

    const QString duplicate = box(mainText("Warning"),
                                  mainText("A standard file with the same name already exists in PLC or "
                                           "Standard folder. Please use a different name."));
    QTest::newRow("modbus") << "meter-hall" << "Modbus" << true << QString();
    QTest::newRow("dlt645") << "meter-hall" << "DLT645" << true << QString();
    QTest::newRow("same name as in the other project") << "shared" << "Modbus" << true << QString();
    QTest::newRow("duplicate in this project") << "existing" << "Modbus" << true << duplicate;
    QTest::newRow("empty name") << QString() << "DLT645" << true
                                << box(mainText("Warning"), mainText("standard Name cannot be empty."));
    QTest::newRow("cancelled") << "meter-hall" << "Modbus" << false << QString();
}

void TstCommands::addStandard()
{
    QFETCH(QString, name);
    QFETCH(QString, protocol);
    QFETCH(bool, pressOk);
    QFETCH(QString, warning);

    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    QStandardItem *beta = addProject(QStringLiteral("Beta"));
    QStandardItem *standards = folderOf(alpha, QStringLiteral("Standard"));
    auto *existing = new QStandardItem(QStringLiteral("existing"));
    existing->setData(QStringLiteral("Modbus"), Role::Protocol);
    standards->appendRow(existing);
    folderOf(beta, QStringLiteral("Standard"))->appendRow(new QStandardItem(QStringLiteral("shared")));
    makeCurrent(standards);

    ModalScript script;
    script.on<standardInputDialog>([&](standardInputDialog *dialog) {
        dialog->nameEdit()->setText(name);
        dialog->protocolCombo()->setCurrentText(protocol);
        (pressOk ? dialog->okButton() : dialog->cancelButton())->click();
    });
    if (!warning.isEmpty())
        script.press(QMessageBox::Ok);
    script.start();
    m_window->standardAddFile();

    QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
    QCOMPARE(script.seen(), warning.isEmpty() ? QStringList() : QStringList{warning});
    const bool added = pressOk && warning.isEmpty();
    QCOMPARE(standards->rowCount(), added ? 2 : 1);
    if (!added)
        return;
    QStandardItem *device = standards->child(1);
    QCOMPARE(device->text(), name);
    QCOMPARE(device->data(Role::Protocol).toString(), protocol);
    QCOMPARE(m_window->projectView()->currentIndex(), device->index());
}

void TstCommands::addBox_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("pressOk");
    QTest::addColumn<QString>("warning");

    QTest::newRow("new box") << "gateway-2" << true << QString();
    QTest::newRow("same name as in the other project") << "shared" << true << QString();
    QTest::newRow("duplicate in this folder")
        << "gateway-1" << true
        << box(mainText("Warning"), mainText("A box file with the same name already exists in this folder. "
                                             "Please use a different name."));
    QTest::newRow("empty name") << QString() << true
                                << box(mainText("Warning"), mainText("Box Name cannot be empty."));
    QTest::newRow("cancelled") << "gateway-2" << false << QString();
}

void TstCommands::addBox()
{
    QFETCH(QString, name);
    QFETCH(bool, pressOk);
    QFETCH(QString, warning);

    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    QStandardItem *beta = addProject(QStringLiteral("Beta"));
    QStandardItem *boxes = folderOf(alpha, QStringLiteral("Box"));
    boxes->appendRow(new QStandardItem(QStringLiteral("gateway-1")));
    folderOf(beta, QStringLiteral("Box"))->appendRow(new QStandardItem(QStringLiteral("shared")));
    makeCurrent(boxes);

    // Nothing listens on this loopback address, should an editor try to reach it.
    const QString ip = QStringLiteral("127.0.0.250");
    ModalScript script;
    script.on<BoxInputDialog>([&](BoxInputDialog *dialog) {
        dialog->nameEdit()->setText(name);
        dialog->ipEdit()->setText(ip);
        dialog->modelCombo()->setCurrentText(QStringLiteral("TLK-BOX-200"));
        (pressOk ? dialog->okButton() : dialog->cancelButton())->click();
    });
    // A refused name offers the dialog again with everything typed, so only the name is fixed.
    QStringList offeredAgain;
    const QString fixedName = QStringLiteral("gateway-3");
    if (!warning.isEmpty()) {
        script.press(QMessageBox::Ok);
        script.on<BoxInputDialog>([&](BoxInputDialog *dialog) {
            offeredAgain = QStringList{dialog->nameEdit()->text(), dialog->ipEdit()->text(),
                                       dialog->modelCombo()->currentText()};
            dialog->nameEdit()->setText(fixedName);
            dialog->okButton()->click();
        });
    }
    script.start();
    m_window->boxAddFile();

    QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
    QCOMPARE(script.seen(), warning.isEmpty() ? QStringList() : QStringList{warning});
    if (!warning.isEmpty())
        QCOMPARE(offeredAgain, (QStringList{name, ip, QStringLiteral("TLK-BOX-200")}));
    QCOMPARE(boxes->rowCount(), pressOk ? 2 : 1);
    if (!pressOk)
        return;
    QStandardItem *item = boxes->child(1);
    QCOMPARE(item->text(), warning.isEmpty() ? name : fixedName);
    QCOMPARE(item->data(Role::BoxIp).toString(), ip);
    QCOMPARE(item->data(Role::BoxModel).toString(), QStringLiteral("TLK-BOX-200"));
    QCOMPARE(m_window->projectView()->currentIndex(), item->index());
}

// --- Delete / Delete All -----------------------------------------------------------------------

void TstCommands::deleteItem_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("boxEditorOpen");
    QTest::addColumn<QString>("closedDock");
    QTest::addColumn<bool>("message");

    QTest::newRow("standard device") << "Standard" << true << "Edit Standard" << false;
    // The box editor shows another box (here: none): it stays, with that box's link.
    QTest::newRow("box, editor on another box") << "Box" << true << QString() << false;
    QTest::newRow("data set, box editor open") << "Data" << true << "Edit Box" << true;
    QTest::newRow("data set, no box editor") << "Data" << false << QString() << false;
}

void TstCommands::deleteItem()
{
    QFETCH(QString, folder);
    QFETCH(bool, boxEditorOpen);
    QFETCH(QString, closedDock);
    QFETCH(bool, message);

    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    QStandardItem *target = new QStandardItem(QStringLiteral("X"));
    folderOf(alpha, folder)->appendRow(target);
    folderOf(alpha, folder)->appendRow(new QStandardItem(QStringLiteral("Y")));
    m_window->monitoringTabs()->addTab(new QWidget, QStringLiteral("Y"));
    m_window->monitoringTabs()->addTab(new QWidget, QStringLiteral("X"));
    m_window->monitoringTabs()->addTab(new QWidget, QStringLiteral("X"));
    const QStringList titles{QStringLiteral("Edit Standard"), QStringLiteral("Edit Box")};
    for (const QString &title : titles) {
        if (title != QLatin1String("Edit Box") || boxEditorOpen)
            openDummyDock(dockTitle(title));
    }
    makeCurrent(target);

    m_window->slotDeleteFile();

    QCOMPARE(folderOf(alpha, folder)->rowCount(), 1);
    QCOMPARE(folderOf(alpha, folder)->child(0)->text(), QStringLiteral("Y"));
    QCOMPARE(tabTexts(), (QStringList{"Y", "X"}));
    for (const QString &title : titles) {
        const bool wasOpen = title != QLatin1String("Edit Box") || boxEditorOpen;
        const int expected = wasOpen && title != closedDock ? 1 : 0;
        QCOMPARE(liveDocks(dockTitle(title)).size(), expected);
        QCOMPARE(viewMenuEntries(dockTitle(title)), expected);
    }
    const QStringList expectedMessages = message
        ? QStringList{mainText("The data '%1' has been deleted, and the Box connection has been disconnected.")
                          .arg(QStringLiteral("X"))}
        : QStringList();
    QCOMPARE(messages(), expectedMessages);
}

void TstCommands::deleteAll_data()
{
    QTest::addColumn<QStringList>("dataSets");
    QTest::addColumn<bool>("boxEditorOpen");

    QTest::newRow("box editor open") << QStringList{"d1", "d2"} << true;
    QTest::newRow("no box editor") << QStringList{"d1", "d2"} << false;
    QTest::newRow("empty folder") << QStringList() << true;
}

void TstCommands::deleteAll()
{
    QFETCH(QStringList, dataSets);
    QFETCH(bool, boxEditorOpen);

    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    QStandardItem *data = folderOf(alpha, QStringLiteral("Data"));
    for (const QString &name : dataSets) {
        data->appendRow(new QStandardItem(name));
        m_window->monitoringTabs()->addTab(new QWidget, name);
    }
    m_window->monitoringTabs()->addTab(new QWidget, QStringLiteral("other"));
    // A data set of another project must not lose its tab's neighbour or its item.
    folderOf(addProject(QStringLiteral("Beta")), QStringLiteral("Data"))->appendRow(new QStandardItem("d9"));
    if (boxEditorOpen)
        openDummyDock(dockTitle("Edit Box"));
    makeCurrent(data);

    m_window->slotDeleteAllFile();

    QCOMPARE(data->rowCount(), 0);
    QCOMPARE(tabTexts(), QStringList{"other"});
    QCOMPARE(folderOf(m_window->projectModel()->item(1), QStringLiteral("Data"))->rowCount(), 1);
    const bool closes = boxEditorOpen && !dataSets.isEmpty();
    QCOMPARE(liveDocks(dockTitle("Edit Box")).size(), boxEditorOpen && !closes ? 1 : 0);
    QCOMPARE(messages(),
             closes ? QStringList{mainText("All data files have been deleted, and the Box connection has "
                                           "been disconnected.")}
                    : QStringList());
}

// --- Editors -----------------------------------------------------------------------------------

void TstCommands::editorSlotsWithoutEditorLeaveOpenDocksAlone()
{
    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    auto *device = new QStandardItem(QStringLiteral("odd"));
    device->setData(QStringLiteral("Profibus"), Role::Protocol);
    folderOf(alpha, QStringLiteral("Standard"))->appendRow(device);
    auto *service = new QStandardItem(QStringLiteral("other service"));
    folderOf(alpha, QStringLiteral("Service"))->appendRow(service);
    auto *boxItem = new QStandardItem(QStringLiteral("gateway"));
    boxItem->setData(QStringLiteral("127.0.0.250"), Role::BoxIp);
    folderOf(alpha, QStringLiteral("Box"))->appendRow(boxItem);
    const QStringList titles{dockTitle("Edit Standard"), dockTitle("Edit Service"), dockTitle("Edit Box")};
    QList<ads::CDockWidget *> docks;
    for (const QString &title : titles)
        docks << openDummyDock(title);

    makeCurrent(device);
    m_window->slotstandardEditFile();
    makeCurrent(service);
    m_window->slotServiceEditFile();
    // An open box dock is re-used, never replaced, whatever it holds.
    makeCurrent(boxItem);
    m_window->slotBoxEditFile();

    for (int i = 0; i < titles.size(); ++i)
        QCOMPARE(liveDocks(titles[i]), QList<ads::CDockWidget *>{docks[i]});
}

void TstCommands::saveCheck_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QStringList>("finalNames"); // the Box folder afterwards

    const QString duplicate = mainText("The name\"%1\"already exists, please change the name.");
    const QString noParent = box(mainText("error"), mainText("Unable to find parent directory"));
    QTest::newRow("new name") << "plain" << "box9" << QString() << QStringList{"box1", "box2", "box9"};
    // The box folder keeps its order; only the edited item changes.
    QTest::newRow("name unchanged") << "plain" << "box3" << QString() << QStringList{"box1", "box2", "box3"};
    QTest::newRow("empty name") << "plain" << QString()
                                << box(mainText("invalid name"), mainText("Name cannot be null"))
                                << QStringList{"box1", "box2", "box3"};
    QTest::newRow("sibling's name") << "plain" << "box1"
                                    << box(mainText("Duplicate name"), duplicate.arg(QStringLiteral("box1")))
                                    << QStringList{"box1", "box2", "box3"};
    // After re-pointing at box1 the check is against box1's siblings, so box3 is taken.
    QTest::newRow("re-pointed editor") << "repoint" << "box3"
                                       << box(mainText("Duplicate name"), duplicate.arg(QStringLiteral("box3")))
                                       << QStringList{"box1", "box2", "box3"};
    QTest::newRow("re-pointed editor renames its new item") << "repoint" << "box7" << QString()
                                                            << QStringList{"box7", "box2", "box3"};
    QTest::newRow("item without parent") << "project" << "box5" << noParent
                                         << QStringList{"box1", "box2", "box3"};
    QTest::newRow("item deleted meanwhile") << "deleted" << "box5" << noParent << QStringList{"box1", "box2"};
}

void TstCommands::saveCheck()
{
    QFETCH(QString, setup);
    QFETCH(QString, name);
    QFETCH(QString, warning);
    QFETCH(QStringList, finalNames);

    QStandardItem *alpha = addProject(QStringLiteral("Alpha"));
    QStandardItem *boxes = folderOf(alpha, QStringLiteral("Box"));
    for (const char *text : {"box1", "box2", "box3"})
        boxes->appendRow(new QStandardItem(QString::fromLatin1(text)));

    // A stand-in editor: a name field, a Save button and its own save operation.
    auto *editor = new QDialog;
    auto *nameEdit = new QLineEdit(editor);
    auto *saveButton = new QPushButton(editor);
    int saves = 0;
    const QString title = dockTitle("Edit Box");
    ads::CDockWidget *dock = m_window->editDocks()->open(EditDockKind::Box, editor);
    QStandardItem *edited = setup == QLatin1String("project") ? alpha : boxes->child(2);
    m_window->m_editors->installSaveCheck(editor, edited, nameEdit, saveButton, [&saves] { ++saves; },
                                          EditDockKind::Box);
    if (setup == QLatin1String("repoint"))
        m_window->m_editors->repoint(dock, editor, boxes->child(0));
    if (setup == QLatin1String("deleted"))
        boxes->removeRow(2);

    nameEdit->setText(name);
    ModalScript script;
    if (!warning.isEmpty())
        script.press(QMessageBox::Ok);
    script.start();
    saveButton->click();

    QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
    QCOMPARE(script.seen(), warning.isEmpty() ? QStringList() : QStringList{warning});
    QStringList names;
    for (int row = 0; row < boxes->rowCount(); ++row)
        names << boxes->child(row)->text();
    QCOMPARE(names, finalNames);
    QCOMPARE(alpha->text(), QStringLiteral("Alpha"));
    QCOMPARE(saves, warning.isEmpty() ? 1 : 0);
    QCOMPARE(liveDocks(title).size(), warning.isEmpty() ? 0 : 1);
}

// --- project files and renaming ------------------------------------------------------------------

void TstCommands::renameOntoAnotherProjectsFileIsRefused()
{
    QTemporaryDir projectDir; // files stay here, out of the other tests' way
    QTemporaryDir otherDir;
    QVERIFY(projectDir.isValid() && otherDir.isValid());
    const QDir here(projectDir.path());
    QStandardItem *alpha = addProject(QStringLiteral("Alpha"), projectDir.path());
    QVERIFY(alpha);
    {
        ModalAnswer::Scoped answer;
        QVERIFY(m_window->saveJsonFile(alpha));
    }
    const QByteArray alphaFile = [&] {
        QFile f(here.filePath(QStringLiteral("Alpha.json")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QVERIFY(!alphaFile.isEmpty());
    // Files of projects that are not open: neither may be overwritten by Alpha.
    const QByteArray foreign("{\"name\": \"not Alpha's\"}\n");
    const QStringList foreignFiles{here.filePath(QStringLiteral("Beta.json")),
                                   QDir(otherDir.path()).filePath(QStringLiteral("Alpha.json"))};
    for (const QString &path : foreignFiles) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(foreign) == foreign.size());
    }
    auto fileOf = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };

    makeCurrent(alpha);
    m_window->slotEditProject();
    auto *dialog = qobject_cast<EditProjectDialog *>(m_window->findEditDock(dockTitle("Edit Project"))->widget());
    QVERIFY(dialog);
    const QString taken = box(mainText("Warning"), mainText("A project with the same name already exists in the "
                                                            "selected directory. Please use a different name."));
    // name, directory, the warning expected (empty: accepted)
    const QList<QStringList> steps{
        {"Beta", projectDir.path(), taken},   // another project's file beside its own
        {"Alpha", otherDir.path(), taken},       // the same name in another directory
        {"Gamma", projectDir.path(), {}},     // a free name
        {"Alpha", projectDir.path(), {}},     // back to the name of its own file
    };
    for (const QStringList &step : steps) {
        const QString before = alpha->text();
        dialog->nameEdit()->setText(step.at(0));
        dialog->pathEdit()->setText(step.at(1));
        ModalScript script;
        if (!step.at(2).isEmpty())
            script.press(QMessageBox::Ok);
        script.start();
        dialog->saveButton()->click();
        QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
        QCOMPARE(script.seen(), step.at(2).isEmpty() ? QStringList() : QStringList{step.at(2)});
        QCOMPARE(alpha->text(), step.at(2).isEmpty() ? step.at(0) : before);
        QCOMPARE(alpha->data(Role::ProjectPath).toString(), step.at(2).isEmpty() ? step.at(1) : projectDir.path());
    }

    {
        ModalAnswer::Scoped answer;
        QVERIFY(m_window->saveJsonFile(alpha));
    }
    QCOMPARE(fileOf(here.filePath(QStringLiteral("Alpha.json"))), alphaFile);
    for (const QString &path : foreignFiles)
        QCOMPARE(fileOf(path), foreign);

    // A free name at rename time, but the file turns up before Save: still not overwritten.
    dialog->nameEdit()->setText(QStringLiteral("Delta"));
    dialog->saveButton()->click();
    QCOMPARE(alpha->text(), QStringLiteral("Delta"));
    const QString late = here.filePath(QStringLiteral("Delta.json"));
    {
        QFile f(late);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(foreign) == foreign.size());
    }
    ModalScript script;
    script.press(QMessageBox::Ok);
    script.start();
    QVERIFY(!m_window->saveJsonFile(alpha));
    QVERIFY2(script.done(), qPrintable(script.seen().join(QStringLiteral(" / "))));
    QCOMPARE(script.seen(), QStringList{taken});
    QCOMPARE(fileOf(late), foreign);
}

// --- docked editors -------------------------------------------------------------------------------

void TstCommands::escapeKeepsDockedEditor_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"project", "Modbus", "DLT645", "IEC61850", "box"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TstCommands::escapeKeepsDockedEditor()
{
    QFETCH(QString, kind);
    QStandardItem *item = addEditable(addProject(QStringLiteral("Alpha")), kind, QStringLiteral("dev1"));
    ads::CDockWidget *dock = openEditor(item, kind);
    QVERIFY(dock);
    QPointer<QDialog> dialog = qobject_cast<QDialog *>(dock->widget());
    QVERIFY(dialog);
    const QString title = dock->windowTitle();

    // The edit goes into the name field; the service's name is read-only, so there it goes
    // into the first field the user can type into (the service's name field comes first).
    QLineEdit *nameField = nullptr;
    if (auto *project = qobject_cast<EditProjectDialog *>(dialog))
        nameField = project->nameEdit();
    else if (auto *modbus = qobject_cast<standardModbusEditDialog *>(dialog))
        nameField = modbus->nameEdit();
    else if (auto *dlt645 = qobject_cast<standardDLT645EditDialog *>(dialog))
        nameField = dlt645->nameEdit();
    else if (auto *boxEditor = qobject_cast<BoxEditDialog *>(dialog))
        nameField = boxEditor->nameEdit();
    else
        nameField = dialog->findChildren<QLineEdit *>().value(0);
    QVERIFY(nameField);
    QLineEdit *typed = nameField;
    if (typed->isReadOnly()) {
        for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
            if (!edit->isReadOnly() && edit->isEnabled()) {
                typed = edit;
                break;
            }
        }
    }
    QVERIFY(!typed->isReadOnly());
    const QString edited = typed->text() + QStringLiteral("7");
    QTest::keyClicks(typed, QStringLiteral("7"));
    QCOMPARE(typed->text(), edited);

    nameField->setFocus();
    QTest::keyClick(nameField, Qt::Key_Escape);
    QCoreApplication::processEvents();

    QVERIFY(dialog);
    QCOMPARE(liveDocks(title).size(), 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(typed->text(), edited);

    // Cancel still throws the edits away with the dock.
    QPushButton *cancel = nullptr;
    for (QPushButton *button : dialog->findChildren<QPushButton *>())
        if (button->text() == QCoreApplication::translate(dialog->metaObject()->className(), "Cancel"))
            cancel = button;
    QVERIFY(cancel);
    cancel->click();
    QVERIFY(liveDocks(title).isEmpty());
    QVERIFY(dialog.isNull());
}

void TstCommands::repointShowsDockHiddenByRestoredLayout_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"Modbus", "DLT645", "IEC61850", "box"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TstCommands::repointShowsDockHiddenByRestoredLayout()
{
    QFETCH(QString, kind);
    QFile::remove(QStringLiteral("Settings.ini"));
    QStandardItem *project = addProject(QStringLiteral("Alpha"));
    QStandardItem *first = addEditable(project, kind, QStringLiteral("dev1"));
    QStandardItem *second = addEditable(project, kind, QStringLiteral("dev2"));

    m_window->on_actionSaveState_triggered(); // a layout without any edit dock
    ads::CDockWidget *dock = openEditor(first, kind);
    QVERIFY(dock);
    QTRY_VERIFY(dock->isVisible());
    m_window->on_actionRestoreState_triggered();
    QVERIFY(dock->isClosed()); // the restored layout has no place for it

    QCOMPARE(openEditor(second, kind), dock); // re-pointed, not rebuilt
    QVERIFY(!dock->isClosed());
    QVERIFY(!dock->isFloating()); // back among the docks, not in a window of its own
    QTRY_VERIFY(dock->isVisible());
    QVERIFY(dock->widget()->isVisible());
    QCOMPARE(liveDocks(dock->windowTitle()), QList<ads::CDockWidget *>{dock});
    QFile::remove(QStringLiteral("Settings.ini"));
}

QTEST_MAIN(TstCommands)
#include "tst_commands.moc"
