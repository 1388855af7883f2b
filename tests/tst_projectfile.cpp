// The project-file commands of the main window: files on disk, message boxes, debug lines,
// and what a failed save or load leaves behind.

#include "gui/mainwindow/CMainWindow.h"
#include "gui/widgets/FileDialogs.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

QString goldenPath(const QString &name)
{
    return QStringLiteral(ORVANE_TEST_DATA_DIR "/projectfile/") + name;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Answers every modal message box as it appears and records what it said.
class BoxWatcher : public QObject
{
public:
    struct Seen
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };
    QList<Seen> seen;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    std::function<void()> onBox; // runs as each box is seen, before it is answered

    BoxWatcher()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &BoxWatcher::poll);
        m_timer.start();
    }

    QStringList titles() const
    {
        QStringList out;
        for (const Seen &box : seen)
            out << box.title;
        return out;
    }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box->property("answered").toBool())
            return;
        box->setProperty("answered", true);
        seen.append({box->icon(), box->windowTitle(), box->text()});
        if (onBox)
            onBox();
        QAbstractButton *button = box->button(answer);
        if (!button)
            button = box->button(QMessageBox::Ok);
        if (button)
            button->click();
        else
            box->reject();
    }

    QTimer m_timer;
};

// Collects the debug output while alive; nothing is printed meanwhile.
class DebugCapture
{
public:
    DebugCapture() : m_previous(qInstallMessageHandler(&DebugCapture::handler)) { s_lines.clear(); }
    ~DebugCapture() { qInstallMessageHandler(m_previous); }

    bool has(const QString &prefix) const
    {
        for (const QString &line : s_lines)
            if (line.startsWith(prefix))
                return true;
        return false;
    }
    QString all() const { return s_lines.join(QLatin1Char('\n')); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtDebugMsg)
            s_lines.append(message);
    }

    static QStringList s_lines;
    QtMessageHandler m_previous;
};
QStringList DebugCapture::s_lines;

// Every open project as the file would hold it, plus its directory.
QString snapshot(const QStandardItemModel *model)
{
    QString out;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStandardItem *project = model->item(row);
        out += project->data(Role::ProjectPath).toString() + QLatin1Char('\n')
               + QString::fromUtf8(QJsonDocument(ProjectJson::buildProjectJson(project)).toJson());
    }
    return out;
}

} // namespace

class TestProjectFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadThenSaveWritesTheSameBytes_data();
    void loadThenSaveWritesTheSameBytes();
    void loadMergesIntoOpenProject();
    void failedLoadLeavesTreeUnchanged_data();
    void failedLoadLeavesTreeUnchanged();
    void emptyChoiceDoesNothing();
    void saveProjectFileSavesTheCurrentProject();
    void failedSaveKeepsPreviousFile();
    void saveAllGoesOnAndReportsFailure();
    void closeKeepsWindowWhenSaveFails();
    void saveIntoDirectoryTheUserCannotWrite();

private:
    QStandardItem *loadFile(const QString &path, BoxWatcher &watcher);

    QTemporaryDir m_workDir;
    QString m_previousDir;
    CMainWindow *m_window = nullptr;
};

void TestProjectFile::initTestCase()
{
    QVERIFY(m_workDir.isValid());
    // The window keeps Settings.ini in the working directory; keep it out of the tree.
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_workDir.path());
    // English texts: the message checks below compare the source texts.
    CMainWindow::setCatalogPathForTesting(m_workDir.filePath(QStringLiteral("no-catalogue.qm")));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestProjectFile::init()
{
    m_window = new CMainWindow;
}

void TestProjectFile::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

QStandardItem *TestProjectFile::loadFile(const QString &path, BoxWatcher &watcher)
{
    const int before = watcher.seen.size();
    FileDialogs::setNextAnswerForTesting(path);
    m_window->loadJsonFile();
    if (watcher.seen.size() != before + 1 || watcher.seen.last().title != QLatin1String("Load Successful"))
        return nullptr;
    QStandardItemModel *model = m_window->projectModel();
    const QString name = QJsonDocument::fromJson(readAll(path)).object().value(Key::Name).toString();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->item(row)->text() == name)
            return model->item(row);
    return nullptr;
}

void TestProjectFile::loadThenSaveWritesTheSameBytes_data()
{
    QTest::addColumn<QString>("goldenFile");
    QTest::addColumn<QString>("expectedFile");
    for (const char *name : {"modbus_tcp.json", "modbus_rtu.json", "iec61850_client_certs.json",
                             "boxes.json", "dlt645_reloaded.json"})
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(name);
    QTest::newRow("dlt645.json") << QStringLiteral("dlt645.json") << QStringLiteral("dlt645_reloaded.json");
}

void TestProjectFile::loadThenSaveWritesTheSameBytes()
{
    QFETCH(QString, goldenFile);
    QFETCH(QString, expectedFile);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("chosen.json"));
    QVERIFY(QFile::copy(goldenPath(goldenFile), source));

    BoxWatcher watcher;
    DebugCapture debug;
    QStandardItem *project = loadFile(source, watcher);
    QVERIFY2(project, qPrintable(watcher.titles().join(QLatin1Char(','))));
    QCOMPARE(watcher.seen.at(0).icon, QMessageBox::Information);
    QCOMPARE(watcher.seen.at(0).text, QStringLiteral("JSON data loaded from file:\n") + source);
    QVERIFY(debug.has(QStringLiteral("Project Name:")));
    QVERIFY(debug.has(QStringLiteral("Project Description:")));
    QCOMPARE(project->data(Role::ProjectPath).toString(), dir.path());
    QTreeView *view = m_window->projectView();
    QVERIFY(view->isExpanded(project->index()));
    QVERIFY(view->isExpanded(project->child(1)->index()));

    view->setCurrentIndex(project->index());
    m_window->saveProjectFile();
    const QString saved = dir.filePath(project->text() + QStringLiteral(".json"));
    QCOMPARE(watcher.titles(), (QStringList{QStringLiteral("Load Successful"), QStringLiteral("Save Successful")}));
    QCOMPARE(watcher.seen.at(1).text, QStringLiteral("JSON data saved to file:\n") + saved);
    QVERIFY(debug.has(QStringLiteral("JSON data saved to file:")));
    QCOMPARE(QString::fromUtf8(readAll(saved)), QString::fromUtf8(readAll(goldenPath(expectedFile))));
    // The deployed copy is the same document.
    QCOMPARE(QJsonDocument(m_window->buildProjectJson(project)).toJson(), readAll(saved));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestProjectFile::loadMergesIntoOpenProject()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("modbus_tcp.json")), first.filePath(QStringLiteral("a.json"))));
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("modbus_tcp.json")), second.filePath(QStringLiteral("b.json"))));
    BoxWatcher watcher;
    QStandardItem *project = loadFile(first.filePath(QStringLiteral("a.json")), watcher);
    QVERIFY(project);
    const QString once = snapshot(m_window->projectModel());
    QVERIFY(loadFile(second.filePath(QStringLiteral("b.json")), watcher) == project);
    QCOMPARE(m_window->projectModel()->rowCount(), 1);
    // Same content again: nothing added; the project keeps the directory it came from.
    QCOMPARE(snapshot(m_window->projectModel()), once);
    QCOMPARE(project->data(Role::ProjectPath).toString(), first.path());
}

void TestProjectFile::failedLoadLeavesTreeUnchanged_data()
{
    QTest::addColumn<QByteArray>("content"); // written to the chosen file unless a path is given
    QTest::addColumn<QString>("path");       // "dir": the temporary directory itself; or absolute
    QTest::addColumn<QString>("debugLine");
    QTest::addColumn<QStringList>("mentions"); // besides the path, the message names these

    const QString notJson = QStringLiteral("Failed to create valid JSON document");
    const QString unreadable = QStringLiteral("Could not open file for reading:");
    QTest::newRow("empty file") << QByteArray() << QString() << notJson << QStringList();
    QTest::newRow("not JSON") << QByteArray("{\"name\": \"Plant A\", \"standards\": [") << QString() << notJson
                              << QStringList();
    QTest::newRow("JSON array") << QByteArray("[{\"name\": \"Plant A\"}]") << QString() << notJson
                                << QStringList();
    QTest::newRow("JSON text") << QByteArray("\"Plant A\"") << QString() << notJson << QStringList();
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\x01", 5) << QString() << notJson << QStringList();
    QTest::newRow("50 MB of nested arrays") << QByteArray(50 * 1024 * 1024, '[') << QString() << notJson
                                            << QStringList();
    QByteArray objects;
    objects.reserve(50 * 1024 * 1024);
    objects.append("{\"name\":\"Plant A\",\"standards\":");
    while (objects.size() < 50 * 1024 * 1024)
        objects.append("[{\"datas\":");
    QTest::newRow("50 MB of nested objects") << objects << QString() << notJson << QStringList();
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("missing.json") << unreadable
                                  << QStringList();
    QTest::newRow("a directory") << QByteArray() << QStringLiteral("dir") << unreadable << QStringList();
    // Names that would send the next save elsewhere, or into a name no directory listing shows.
    QTest::newRow("name leaving the directory") << QByteArray("{\"name\": \"../escaped\"}") << QString()
                                                << QStringLiteral("Project Name:") << QStringList();
    QTest::newRow("name with a line break") << QByteArray("{\"name\": \"Plant\\nA\"}") << QString()
                                            << QStringLiteral("Project Name:") << QStringList();
    // Saved, it would be the hidden file ".json".
    QTest::newRow("empty name") << QByteArray("{\"name\": \"\", \"standards\": []}") << QString()
                                << QStringLiteral("Project Name:") << QStringList{QStringLiteral("no name")};
    QTest::newRow("no name") << QByteArray("{\"description\": \"d\"}") << QString()
                             << QStringLiteral("Project Name:") << QStringList{QStringLiteral("no name")};
    // Merged into one item, the first of each would be lost with the next save.
    const QString duplicated = QStringLiteral("Names used more than once:");
    QTest::newRow("two devices of one name") << readAll(goldenPath(QStringLiteral("duplicate_devices.json")))
                                             << QString() << duplicated
                                             << QStringList{QStringLiteral("\"PLC\" in Standard")};
    QTest::newRow("two boxes of one name") << readAll(goldenPath(QStringLiteral("duplicate_boxes.json")))
                                           << QString() << duplicated
                                           << QStringList{QStringLiteral("\"Box-A\" in Box")};
    // A device that never ends is read no further than the limit.
    QTest::newRow("endless device") << QByteArray() << QStringLiteral("/dev/zero") << unreadable
                                    << QStringList{QStringLiteral("more than 256 MiB")};
}

void TestProjectFile::failedLoadLeavesTreeUnchanged()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, path);
    QFETCH(QString, debugLine);
    QFETCH(QStringList, mentions);

    QTemporaryDir dir;
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("modbus_tcp.json")), dir.filePath(QStringLiteral("open.json"))));
    BoxWatcher watcher;
    QVERIFY(loadFile(dir.filePath(QStringLiteral("open.json")), watcher));
    const QString before = snapshot(m_window->projectModel());

    QString chosen;
    if (path.isEmpty()) {
        chosen = dir.filePath(QStringLiteral("bad.json"));
        QVERIFY(writeAll(chosen, content));
    } else {
        chosen = path == QLatin1String("dir") ? dir.path() : QDir(dir.path()).filePath(path);
    }

    DebugCapture debug;
    FileDialogs::setNextAnswerForTesting(chosen);
    m_window->loadJsonFile();
    QVERIFY2(debug.has(debugLine), qPrintable(debug.all()));
    QCOMPARE(watcher.seen.size(), 2);
    QCOMPARE(watcher.seen.at(1).icon, QMessageBox::Warning);
    QCOMPARE(watcher.seen.at(1).title, QStringLiteral("Load Failed"));
    QVERIFY2(watcher.seen.at(1).text.contains(chosen), qPrintable(watcher.seen.at(1).text));
    for (const QString &mention : mentions)
        QVERIFY2(watcher.seen.at(1).text.contains(mention), qPrintable(watcher.seen.at(1).text));
    QCOMPARE(snapshot(m_window->projectModel()), before);
}

void TestProjectFile::emptyChoiceDoesNothing()
{
    BoxWatcher watcher;
    DebugCapture debug;
    FileDialogs::setNextAnswerForTesting(QString());
    m_window->loadJsonFile();
    QVERIFY(debug.has(QStringLiteral("File path is empty.")));
    QVERIFY(watcher.seen.isEmpty());
    QCOMPARE(m_window->projectModel()->rowCount(), 0);
}

void TestProjectFile::saveProjectFileSavesTheCurrentProject()
{
    QTemporaryDir dir;
    BoxWatcher watcher;
    {
        DebugCapture debug;
        m_window->saveProjectFile();
        QVERIFY(debug.has(QStringLiteral("No project selected.")));
        QVERIFY(watcher.seen.isEmpty());
    }

    const QString source = dir.filePath(QStringLiteral("in.json"));
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("boxes.json")), source));
    QStandardItem *project = loadFile(source, watcher);
    QVERIFY(project);
    // A box made current: the project it belongs to is what gets saved, under its own name.
    m_window->projectView()->setCurrentIndex(project->child(2)->child(0)->index());
    m_window->saveProjectFile();
    QCOMPARE(watcher.titles().last(), QStringLiteral("Save Successful"));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("Two boxes.json"))), readAll(goldenPath(QStringLiteral("boxes.json"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Box-A.json"))));
}

void TestProjectFile::failedSaveKeepsPreviousFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    // Loaded from its own file, so the save goes back into that file.
    const QString target = dir.filePath(QStringLiteral("Plant A.json"));
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("modbus_tcp.json")), target));
    BoxWatcher watcher;
    QStandardItem *project = loadFile(target, watcher);
    QVERIFY(project);
    const QByteArray previous("{\"name\": \"Plant A\", \"description\": \"the previous save\"}\n");
    QVERIFY(writeAll(target, previous));

    // A device that takes only the first 200 bytes of any file: the disk "fills up" mid-save.
    // The limit is lifted as soon as the warning box shows.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    auto lift = [&saved] { setrlimit(RLIMIT_FSIZE, &saved); };
    watcher.onBox = lift;
    rlimit small = saved;
    small.rlim_cur = 200;
    DebugCapture debug;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = m_window->saveJsonFile(project);
    lift();
    watcher.onBox = nullptr;
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!ok);
    QVERIFY2(debug.has(QStringLiteral("Error writing to file:")), qPrintable(debug.all()));
    QCOMPARE(readAll(target), previous);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
    QCOMPARE(watcher.seen.size(), 2);
    QCOMPARE(watcher.seen.at(1).icon, QMessageBox::Warning);
    QCOMPARE(watcher.seen.at(1).title, QStringLiteral("Save Failed"));
    QVERIFY2(watcher.seen.at(1).text.contains(target), qPrintable(watcher.seen.at(1).text));

    // With room on the device the same save goes through.
    QVERIFY(m_window->saveJsonFile(project));
    QCOMPARE(readAll(target), readAll(goldenPath(QStringLiteral("modbus_tcp.json"))));
#else
    QSKIP("needs a file-size limit to make the device fail");
#endif
}

void TestProjectFile::saveAllGoesOnAndReportsFailure()
{
    auto gone = std::make_unique<QTemporaryDir>();
    QTemporaryDir kept;
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("modbus_tcp.json")), gone->filePath(QStringLiteral("a.json"))));
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("boxes.json")), kept.filePath(QStringLiteral("b.json"))));
    BoxWatcher watcher;
    QVERIFY(loadFile(gone->filePath(QStringLiteral("a.json")), watcher));
    QVERIFY(loadFile(kept.filePath(QStringLiteral("b.json")), watcher));
    const QString goneTarget = gone->filePath(QStringLiteral("Plant A.json"));
    gone.reset(); // the first project's directory disappears

    DebugCapture debug;
    QVERIFY(!m_window->saveProjectAllFile());
    QVERIFY(debug.has(QStringLiteral("Could not open file for writing:")));
    QCOMPARE(watcher.titles().mid(2), (QStringList{QStringLiteral("Save Failed"), QStringLiteral("Save Successful")}));
    QVERIFY(watcher.seen.at(2).text.contains(goneTarget));
    QCOMPARE(readAll(kept.filePath(QStringLiteral("Two boxes.json"))), readAll(goldenPath(QStringLiteral("boxes.json"))));
    QCOMPARE(m_window->projectModel()->rowCount(), 2);
}

void TestProjectFile::closeKeepsWindowWhenSaveFails()
{
    auto dir = std::make_unique<QTemporaryDir>();
    const QString dirPath = dir->path();
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("modbus_rtu.json")), dir->filePath(QStringLiteral("a.json"))));
    BoxWatcher watcher;
    QVERIFY(loadFile(dir->filePath(QStringLiteral("a.json")), watcher));
    dir.reset();

    watcher.answer = QMessageBox::Yes; // "save all projects before closing?"
    QVERIFY(!m_window->close());
    QCOMPARE(watcher.titles().mid(1), (QStringList{QStringLiteral("Save Changes"), QStringLiteral("Save Failed")}));
    QCOMPARE(m_window->projectModel()->rowCount(), 1);

    QVERIFY(QDir().mkpath(dirPath));
    QVERIFY(m_window->close());
    QVERIFY(QFile::exists(dirPath + QStringLiteral("/Plant B.json")));
    QDir(dirPath).removeRecursively();
}

// The user may write the project file but not create files beside it. Root writes anywhere, so
// as root the case runs again in a copy of this program as the unprivileged user "nobody".
void TestProjectFile::saveIntoDirectoryTheUserCannotWrite()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty() || !::getpwnam("nobody"))
            QSKIP("running as root without setpriv or a \"nobody\" user: the case needs an unprivileged user");
        QTemporaryDir binDir;
        QVERIFY(binDir.isValid());
        const QString copy = binDir.filePath(QStringLiteral("tst_projectfile"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                              | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(binDir.path(), readable));
        QVERIFY(QFile::setPermissions(copy, readable));
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.setWorkingDirectory(QDir::tempPath());
        child.start(setpriv, {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                              QStringLiteral("--clear-groups"), copy,
                              QStringLiteral("saveIntoDirectoryTheUserCannotWrite")});
        QVERIFY2(child.waitForFinished(60000), "the unprivileged run did not end within a minute");
        const QByteArray output = child.readAll();
        if (output.contains("setpriv:"))
            QSKIP(qPrintable(QStringLiteral("setpriv cannot switch to \"nobody\" here: ") + QString::fromLocal8Bit(output)));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : TestProjectFile::saveIntoDirectoryTheUserCannotWrite()"), output.constData());
        return;
    }

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("Plant A.json"));
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("modbus_tcp.json")), target));
    QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    BoxWatcher watcher;
    QStandardItem *project = loadFile(target, watcher);
    QVERIFY(project);
    const QByteArray previous("{\"name\": \"Plant A\", \"description\": \"the previous save\"}\n");
    QVERIFY(writeAll(target, previous));

    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    QVERIFY(QFile::setPermissions(dir.path(), readOnly));
    QFile probe(dir.filePath(QStringLiteral("probe")));
    const bool dirWritable = probe.open(QIODevice::WriteOnly);
    const bool saved = !dirWritable && m_window->saveJsonFile(project);
    QFile::setPermissions(dir.path(), readOnly | QFileDevice::WriteOwner);
    QVERIFY2(!dirWritable, "the directory is still writable: this user ignores permissions");

    QVERIFY(saved);
    QCOMPARE(watcher.titles().last(), QStringLiteral("Save Successful"));
    QCOMPARE(readAll(target), readAll(goldenPath(QStringLiteral("modbus_tcp.json"))));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Plant A.json")});
#else
    QSKIP("needs Unix permissions and an unprivileged user");
#endif
}

QTEST_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
