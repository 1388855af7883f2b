// Deployments to many boxes: the shared core, orvane-deploy, and the deployment records.

#include "BoxSimProcess.h"
#include "CheckFixture.h"
#include "SmallDisk.h"
#include "TestDataLocation.h"

#include "gui/boxlink/BoxEditDialog.h"
#include "gui/widgets/FileDialogs.h"
#include "core/deployment/DeploymentLog.h"
#include "core/deployment/DeploymentStore.h"
#include "gui/deployment/DeploymentChangesDialog.h"
#include "core/deployment/AnsibleInventory.h"
#include "core/deployment/FleetDeployment.h"
#include "gui/deployment/FleetWindow.h"
#include "ModalAnswer.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

#include <csignal>
#include <sys/resource.h>

namespace {

QString deployProgram() { return QStringLiteral(ORVANE_BIN_DIR "/orvane-deploy"); }

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct DeployRun
{
    int exitCode = -1;
    QString out;
    QString err;
    QList<QJsonObject> objects; // --json lines
};

struct DeployInput
{
    QByteArray stdinBytes; // fed on standard input, which is then closed
    int openFiles = 0;     // when > 0, the open-file limit it runs under
    int fileBlocks = 0;    // when > 0, the largest file it may write, in 512-byte blocks
};

// Runs orvane-deploy with its records in `dataHome`; the event loop keeps turning meanwhile so
// nothing else in the test stalls.
DeployRun deploy(const QStringList &arguments, const QString &dataHome, int timeoutMs = 30000,
                 const DeployInput &input = DeployInput())
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    process.setProcessEnvironment(env);
    QString limits;
    if (input.openFiles > 0)
        limits += QStringLiteral("ulimit -n %1 && ").arg(input.openFiles);
    if (input.fileBlocks > 0) // a write past it fails instead of ending the program
        limits += QStringLiteral("trap '' XFSZ && ulimit -f %1 && ").arg(input.fileBlocks);
    if (!limits.isEmpty())
        process.start(QStringLiteral("/bin/sh"),
                      QStringList{"-c", limits + QStringLiteral("exec \"$0\" \"$@\""), deployProgram()} + arguments);
    else
        process.start(deployProgram(), arguments);
    DeployRun run;
    if (!process.waitForStarted(5000))
        return run;
    process.write(input.stdinBytes);
    process.closeWriteChannel();
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < timeoutMs)
        QTest::qWait(20);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(2000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    for (const QString &line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        run.objects.append(QJsonDocument::fromJson(line.toUtf8()).object());
    return run;
}

// Simulators on 127.0.1.<first>.. with the given extra options per position (a null entry: that
// box is not running).
struct SimFleet
{
    std::vector<std::unique_ptr<BoxSimProcess>> sims;
    QStringList addresses;

    bool start(int first, const QList<QStringList> &options)
    {
        for (int i = 0; i < options.size(); ++i) {
            const QString address = QStringLiteral("127.0.1.%1").arg(first + i);
            addresses.append(address);
            if (options.at(i) == QStringList{QStringLiteral("off")}) {
                sims.push_back(nullptr);
                continue;
            }
            sims.push_back(std::make_unique<BoxSimProcess>(address, options.at(i)));
            if (!sims.back()->start())
                return false;
        }
        return true;
    }
};

// Box 5 fails its checksum, box 9 never answers one, box 13 is not running.
QList<QStringList> twentyBoxes()
{
    QList<QStringList> options;
    for (int i = 1; i <= 20; ++i)
        options.append(i == 5 ? QStringList{"--checksum-result", "1"}
                       : i == 9 ? QStringList{"--no-verdict"}
                       : i == 13 ? QStringList{"off"}
                                 : QStringList());
    return options;
}

// Boxes that never answer: every transfer stays waiting for its verdict.
QList<QStringList> noVerdicts(int n)
{
    QList<QStringList> options;
    for (int i = 0; i < n; ++i)
        options.append(QStringList{"--no-verdict"});
    return options;
}

// A sound project whose Box folder holds one box per address, of the given models (default
// "TLK-BOX-600").
QStandardItem *projectWithBoxes(QStandardItemModel &model, CheckFixture &fixture, const QStringList &addresses,
                                const QStringList &models = QStringList())
{
    QStandardItem *folder = fixture.box ? fixture.box->parent() : nullptr;
    for (int i = 0; !folder && i < fixture.project->rowCount(); ++i) {
        if (fixture.project->child(i)->text() == Folder::Box)
            folder = fixture.project->child(i);
    }
    if (fixture.box)
        folder->removeRow(fixture.box->row());
    for (int i = 0; i < addresses.size(); ++i) {
        auto *box = new QStandardItem(QStringLiteral("B%1").arg(i + 1));
        box->setData(addresses.at(i), Role::BoxIp);
        box->setData(models.value(i, QStringLiteral("TLK-BOX-600")), Role::BoxModel);
        folder->appendRow(box);
    }
    Q_UNUSED(model);
    return fixture.project;
}

QString resultText(FleetWindow &window, int row)
{
    return window.table()->item(row, FleetWindow::ResultColumn)->text();
}

// Answers every change confirmation that becomes modal while it lives, noting each box entry
// with the rows below it ("cell|cell|...").
class ChangesPerBox
{
public:
    explicit ChangesPerBox(bool send)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, send] {
            auto *d = qobject_cast<DeploymentChangesDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            ++asked;
            QTreeWidget *view = d->changesView();
            for (int b = 0; b < view->topLevelItemCount(); ++b) {
                QTreeWidgetItem *box = view->topLevelItem(b);
                QStringList &rows = boxes[box->text(0)];
                for (int r = 0; r < box->childCount(); ++r) {
                    QStringList cells;
                    for (int c = 0; c < view->columnCount(); ++c)
                        cells << box->child(r)->text(c);
                    rows << cells.join(QLatin1Char('|'));
                }
            }
            send ? d->accept() : d->reject();
        });
        m_timer.start();
    }
    int asked = 0;
    QMap<QString, QStringList> boxes;

private:
    QTimer m_timer;
};

QList<int> transferCounts(const SimFleet &sims)
{
    QList<int> counts;
    for (const auto &sim : sims.sims)
        counts << sim->transferRecords().size();
    return counts;
}

// Three plain simulators and a shown fleet window on a project with a box for each.
struct ThreeBoxWindow
{
    SimFleet sims;
    QStandardItemModel model;
    CheckFixture fixture{model};
    std::unique_ptr<FleetWindow> window;

    bool start(int firstHost)
    {
        if (!sims.start(firstHost, {QStringList(), QStringList(), QStringList()}))
            return false;
        window = std::make_unique<FleetWindow>(projectWithBoxes(model, fixture, sims.addresses));
        window->show();
        return true;
    }
};

// The user's data directory as orvane-deploy finds it ($XDG_DATA_HOME/Orvane 600), for this
// process too while the object lives; the test's own location afterwards.
class SharedDataHome
{
public:
    SharedDataHome()
        : m_name(QCoreApplication::applicationName())
        , m_xdg(qgetenv("XDG_DATA_HOME"))
    {
        QStandardPaths::setTestModeEnabled(false);
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path()));
        QCoreApplication::setApplicationName(QStringLiteral("Orvane 600"));
    }
    ~SharedDataHome()
    {
        QCoreApplication::setApplicationName(m_name);
        if (m_xdg.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_xdg);
        QStandardPaths::setTestModeEnabled(true);
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_name;
    QByteArray m_xdg;
};

} // namespace

class TstFleet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { FileTransfer::setVerdictTimeoutForTesting(0); }

    void recordsRoundTrip();
    void deployArgumentErrors_data();
    void deployArgumentErrors();
    void boxGivenTwiceIsDeployedOnce();
    void deployToTwentyBoxes();
    void projectBeforeProgram();
    void checkErrorsStopUnlessForced();
    void cancelStopsEveryTransfer();
    void runAgainSendsTheFileAsItIsNow();
    void deployFromAPipe();
    void parallelWithin_data();
    void parallelWithin();
    void parallelKeptWithinOpenFiles();
    void windowDeploysToTwentyBoxes();
    void windowCloseAsksAndCancels();
    void progressAndVerdictApart_data();
    void progressAndVerdictApart();
    void programUpdateAsksFirst();
    void windowLeavesOutOtherSpellingsAndRepeats();
    void parallelIsRemembered();
    void windowSaysWhenOpenFilesAllowFewer();
    void projectChangesPerBox();
    void unkeptCopiesWarnOnce();
    void copyKeptWhateverSent();
    void commandLineDeploymentAsksNothingAfter();
    void copyOntoAFullDeviceSendsNothing();
    void skipUnchangedSendsOnlyWhatIsNew();
    void inventoryNames_data();
    void inventoryNames();
    void windowExportsTheCheckedBoxes();

private:
    TestDataLocation m_dataLocation; // the records and kept copies the window writes
    QTemporaryDir m_cwd;             // the window's Settings.ini
    QTemporaryDir m_inputs;          // a FIFO nobody writes to, a file past the size limit
    QString projectFile() const { return QStringLiteral(ORVANE_TEST_DATA_DIR "/projectfile/modbus_tcp.json"); }
};

void TstFleet::initTestCase()
{
    QVERIFY(m_cwd.isValid());
    QVERIFY(QDir::setCurrent(m_cwd.path()));
    QVERIFY(m_inputs.isValid());
    QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {m_inputs.filePath("fifo")}), 0);
    QFile huge(m_inputs.filePath("huge.json"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(TransferPayload::kMaxSize + 1)); // sparse
}

void TstFleet::recordsRoundTrip()
{
    QTemporaryDir dir;
    DeploymentLog log(dir.path());
    log.recordTransfer("127.0.1.1", "Plant", FileTransfer::ProjectDeployment, QByteArray(16, '\x11'),
                       FileTransfer::Outcome::ChecksumSuccessful);
    log.recordTransfer("127.0.1.2", "Plant", FileTransfer::ProjectDeployment, QByteArray(),
                       FileTransfer::Outcome::ConnectFailed);
    // A damaged line (a crash mid-write, a hand edit) costs only itself.
    QFile file(log.path());
    QVERIFY(file.open(QIODevice::Append));
    file.write("{\"box\": \"127.0.1.1\", \"outc\n");
    file.close();
    log.recordTransfer("127.0.1.1", "Plant", FileTransfer::ProgramUpdate, QByteArray(16, '\x22'),
                       FileTransfer::Outcome::ChecksumFailed);

    QCOMPARE(log.records().size(), 3);
    DeploymentRecord last;
    QVERIFY(log.last("127.0.1.1", &last));
    QCOMPARE(last.command, quint8(FileTransfer::ProgramUpdate));
    QCOMPARE(last.md5, QByteArray(16, '\x22'));
    QCOMPARE(last.verdict, QStringLiteral("Checksum failed."));
    QVERIFY(!last.succeeded());
    QVERIFY(log.last("127.0.1.2", &last));
    QCOMPARE(last.outcome, FileTransfer::Outcome::ConnectFailed);
    QVERIFY(!log.last("127.0.1.3", &last));
}

void TstFleet::deployArgumentErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString project = projectFile();
    const QString box = QStringLiteral("127.0.1.40");
    QTest::newRow("no box") << QStringList{"--project", project} << "no box";
    QTest::newRow("nothing to send") << QStringList{"--box", box} << "--project, --program or both";
    QTest::newRow("unreadable project") << QStringList{"--project", "/nonexistent/p.json", "--box", box}
                                        << "cannot read /nonexistent/p.json";
    QTest::newRow("project not JSON") << QStringList{"--project", QStringLiteral(ORVANE_TEST_DATA_DIR "/projectfile"), "--box", box}
                                      << "cannot read";
    QTest::newRow("unreadable program") << QStringList{"--program", "/nonexistent/x.bin", "--box", box}
                                        << "cannot read /nonexistent/x.bin";
    QTest::newRow("bad address") << QStringList{"--project", project, "--box", box, "--box", "127.0.1.999"}
                                 << "not \"127.0.1.999\"";
    QTest::newRow("host name") << QStringList{"--project", project, "--box", box, "--box", "localhost"}
                               << "not \"localhost\"";
    QTest::newRow("bad bind") << QStringList{"--project", project, "--box", box, "--bind", "x"} << "--bind";
    QTest::newRow("bad parallel") << QStringList{"--project", project, "--box", box, "--parallel", "0"} << "--parallel";
    QTest::newRow("bad timeout") << QStringList{"--project", project, "--box", box, "--timeout", "-3"} << "--timeout";
    QTest::newRow("unknown option") << QStringList{"--project", project, "--box", box, "--fast"} << "fast";
    QTest::newRow("boxes-from unreadable") << QStringList{"--project", project, "--boxes-from", "/nonexistent/b.json"}
                                           << "cannot read /nonexistent/b.json";
    // Spellings that the socket reads as the simulator's 127.0.1.40, or as no address at all:
    // only the four-decimal form is taken.
    for (const char *spelling : {"127.0.1.050", "127.0.296", "0x7f.0.1.40", "2130706728", "127.0.1.40 ",
                                 "192.168.001.010", "1.2.3", "1.2.3.4.5"}) {
        QTest::addRow("box \"%s\"", spelling) << QStringList{"--project", project, "--box", box, "--box", spelling}
                                              << QStringLiteral("not \"%1\"").arg(spelling);
    }
    QTest::newRow("bind with a leading zero") << QStringList{"--project", project, "--box", box, "--bind", "127.0.0.01"}
                                              << "--bind";
    QTest::newRow("boxes-from with a leading zero")
        << QStringList{"--project", project, "--boxes-from", QStringLiteral(ORVANE_TEST_DATA_DIR "/fleet/octal-box.json")}
        << "without a valid IPv4 address (\"127.0.1.050\")";
    // Input that never ends must not hold the run past --timeout, nor be read without end.
    const QString fifo = m_inputs.filePath("fifo");
    QTest::newRow("FIFO nobody writes to") << QStringList{"--project", fifo, "--box", box, "--timeout", "1"}
                                           << "cannot read " + fifo + ": it did not end within 1 s";
    QTest::newRow("program from a FIFO") << QStringList{"--program", fifo, "--box", box, "--timeout", "0.5"}
                                         << "cannot read " + fifo + ": it did not end within 0.5 s";
    QTest::newRow("device") << QStringList{"--program", "/dev/zero", "--box", box, "--timeout", "1"}
                            << "cannot read /dev/zero: it holds more than 256 MiB";
    const QString huge = m_inputs.filePath("huge.json");
    QTest::newRow("past the size limit") << QStringList{"--program", huge, "--box", box}
                                         << "cannot read " + huge + ": it holds more than 256 MiB";
}

void TstFleet::deployArgumentErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    BoxSimProcess sim(QStringLiteral("127.0.1.40"));
    QVERIFY(sim.start());
    QTest::qWait(50);
    const QString before = sim.output();
    QTemporaryDir data;
    QElapsedTimer clock;
    clock.start();
    const DeployRun run = deploy(arguments, data.path());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith("orvane-deploy: ") && run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QTest::qWait(100);
    QCOMPARE(sim.transferRecords().size(), 0);
    QCOMPARE(sim.output(), before); // not even a connection
}

// Given by --box and again by --boxes-from, one box gets one transfer and one line.
void TstFleet::boxGivenTwiceIsDeployedOnce()
{
    BoxSimProcess sim(QStringLiteral("127.0.1.41"));
    QVERIFY(sim.start());
    QStandardItemModel model;
    CheckFixture fixture(model);
    QTemporaryDir data;
    const QString boxes = data.filePath("boxes.json");
    QVERIFY(writeFile(boxes, ProjectJson::projectFileBytes(projectWithBoxes(model, fixture, {sim.address()}))));

    const DeployRun run = deploy({"--project", projectFile(), "--box", sim.address(), "--box", sim.address(),
                                  "--boxes-from", boxes},
                                 data.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.count(QLatin1Char('\n')), 1);
    QCOMPARE(sim.transferRecords().size(), 1);
}

void TstFleet::deployToTwentyBoxes()
{
    SimFleet fleet;
    QVERIFY(fleet.start(1, twentyBoxes()));
    QTemporaryDir data;
    QStringList arguments{"--project", projectFile(), "--json", "--timeout", "3"};
    for (const QString &address : fleet.addresses)
        arguments << "--box" << address;

    const DeployRun run = deploy(arguments, data.path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.objects.size(), 20);
    QMap<QString, QString> failures;
    int successes = 0;
    for (const QJsonObject &object : run.objects) {
        if (object.value("success").toBool()) {
            ++successes;
            QCOMPARE(object.value("result").toString(), QStringLiteral("Checksum successful."));
        } else {
            failures.insert(object.value("box").toString(), object.value("result").toString());
        }
        QVERIFY(object.value("seconds").toDouble() < 10);
    }
    QCOMPARE(successes, 17);
    const QMap<QString, QString> expected{{"127.0.1.5", "Checksum failed."},
                                          {"127.0.1.9", "Timeout"},
                                          {"127.0.1.13", "Failed to connect to server."}};
    QCOMPARE(failures, expected);

    const QByteArray project = readFile(projectFile());
    for (size_t i = 0; i < fleet.sims.size(); ++i) {
        if (fleet.sims[i] && !expected.contains(fleet.addresses.at(int(i))))
            QCOMPARE(readFile(fleet.sims[i]->statePath("deployed.json")), project);
    }

    // Every box has its record, with the digest of what went out where one went out.
    DeploymentLog log(QDir(data.path()).filePath("Orvane 600/deployments"));
    QCOMPARE(log.records().size(), 20);
    DeploymentRecord record;
    QVERIFY(log.last("127.0.1.1", &record));
    QCOMPARE(record.projectName, QStringLiteral("Plant A"));
    QCOMPARE(record.md5, QCryptographicHash::hash(project, QCryptographicHash::Md5));
    QVERIFY(record.succeeded());
    QVERIFY(log.last("127.0.1.9", &record));
    QCOMPARE(record.outcome, FileTransfer::Outcome::Timeout);
}

void TstFleet::projectBeforeProgram()
{
    SimFleet fleet;
    QVERIFY(fleet.start(21, {QStringList(), QStringList{"--checksum-result", "1"}}));
    QTemporaryDir data;
    QByteArray image(300 * 1024, Qt::Uninitialized);
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7 + i / 1024);
    const QString imagePath = data.filePath("image.bin");
    QVERIFY(writeFile(imagePath, image));

    const DeployRun run = deploy({"--project", projectFile(), "--program", imagePath, "--box", fleet.addresses.at(0),
                                  "--box", fleet.addresses.at(1), "--parallel", "1"},
                                 data.path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(QRegularExpression("^127\\.0\\.1\\.21 ok Checksum successful\\. [0-9.]+ s$",
                                                 QRegularExpression::MultilineOption)),
             qPrintable(run.out));
    QVERIFY2(run.out.contains(QRegularExpression("^127\\.0\\.1\\.22 failed project: Checksum failed\\. [0-9.]+ s$",
                                                 QRegularExpression::MultilineOption)),
             qPrintable(run.out));
    QCOMPARE(readFile(fleet.sims[0]->statePath("program.bin")), image);
    QList<int> commands;
    for (const QJsonObject &r : fleet.sims[0]->transferRecords())
        commands.append(r.value("command").toInt());
    QCOMPARE(commands, (QList<int>{3, 4}));
    // A box whose project failed never gets the program.
    QCOMPARE(fleet.sims[1]->transferRecords().size(), 1);
    QCOMPARE(fleet.sims[1]->transferRecords().first().value("command").toInt(), 3);
}

void TstFleet::checkErrorsStopUnlessForced()
{
    QStandardItemModel model;
    CheckFixture fixture(model);
    CheckFixture::addRows(fixture.pump, "Modbus-1", {CheckFixture::point("40002", "again")});
    QTemporaryDir data;
    const QString path = data.filePath("Plant.json");
    QVERIFY(writeFile(path, ProjectJson::projectFileBytes(fixture.project)));
    BoxSimProcess sim(QStringLiteral("127.0.1.30"));
    QVERIFY(sim.start());

    DeployRun run = deploy({"--project", path, "--box", sim.address()}, data.path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("orvane-deploy: error: Pump: "), qPrintable(run.err));
    QVERIFY(run.out.startsWith("127.0.1.30 failed Project checks found errors"));
    QTest::qWait(100);
    QCOMPARE(sim.transferRecords().size(), 0);

    run = deploy({"--project", path, "--box", sim.address(), "--force"}, data.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(sim.statePath("deployed.json")), readFile(path));
}

void TstFleet::cancelStopsEveryTransfer()
{
    SimFleet sims;
    QVERIFY(sims.start(31, noVerdicts(6)));
    QTemporaryDir data;
    QByteArray big(2 * 1024 * 1024, 'x');
    QVERIFY(writeFile(data.filePath("big.json"), big));

    FleetDeployment fleet;
    fleet.setBoxes(sims.addresses);
    fleet.setProjectFile(data.filePath("big.json"), "Big");
    fleet.setParallel(4);
    fleet.setRecordRoot(data.path());
    bool reportedSuccess = false;
    connect(&fleet, &FleetDeployment::boxChanged, this, [&](int index) {
        reportedSuccess |= fleet.result(index).state == FleetDeployment::State::Succeeded;
    });
    fleet.start();
    QTRY_VERIFY_WITH_TIMEOUT(fleet.result(0).percent > 0 && fleet.result(3).state == FleetDeployment::State::Running, 5000);
    QCOMPARE(fleet.result(5).state, FleetDeployment::State::Waiting);

    QElapsedTimer timer;
    timer.start();
    fleet.cancel();
    QVERIFY(!fleet.isRunning());
    QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
    for (int i = 0; i < fleet.count(); ++i) {
        QCOMPARE(fleet.result(i).state, FleetDeployment::State::Failed);
        QCOMPARE(fleet.result(i).outcome, FileTransfer::Outcome::Cancelled);
    }
    QVERIFY(!reportedSuccess);
    // The boxes saw their connections end: nothing was verified, nothing is kept.
    QTest::qWait(300);
    for (auto &sim : sims.sims)
        QVERIFY(QFile::exists(sim->statePath("deployed.json")) == false);
    QCOMPARE(DeploymentLog(data.path()).records().size(), 4); // the four that had started
}

// The digest is taken once per run for all its boxes; a later run (or a retried row) must not
// reuse it for a file that has changed meanwhile.
void TstFleet::runAgainSendsTheFileAsItIsNow()
{
    SimFleet sims;
    QVERIFY(sims.start(41, {QStringList(), QStringList(), QStringList()}));
    QTemporaryDir data;
    const QString path = data.filePath("Plant.json");
    FleetDeployment fleet;
    fleet.setBoxes(sims.addresses);
    fleet.setProjectFile(path, "Plant");
    fleet.setParallel(2);
    fleet.setRecordRoot(data.path(), false);
    QSignalSpy finished(&fleet, &FleetDeployment::finished);

    for (const char fill : {'a', 'b'}) {
        const QByteArray bytes = "{\"pad\": \"" + QByteArray(300 * 1024, fill) + "\"}\n";
        QVERIFY(writeFile(path, bytes));
        finished.clear();
        fleet.start();
        QVERIFY(finished.wait(10000));
        QCOMPARE(fleet.succeededCount(), 3);
        for (auto &sim : sims.sims)
            QCOMPARE(readFile(sim->statePath("deployed.json")), bytes);
    }
}

// What is checked is what is sent: a project on a pipe is read once, not opened again (which
// gave the box an empty file and the digest of nothing).
void TstFleet::deployFromAPipe()
{
    BoxSimProcess sim(QStringLiteral("127.0.1.45"));
    QVERIFY(sim.start());
    QTemporaryDir data;
    const QByteArray project = readFile(projectFile());
    QVERIFY(project.size() > 1024);

    DeployInput input;
    input.stdinBytes = project;
    const DeployRun run = deploy({"--project", "/dev/stdin", "--box", sim.address(), "--json"}, data.path(), 30000, input);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.objects.size(), 1);
    QCOMPARE(run.objects.first().value("result").toString(), QStringLiteral("Checksum successful."));
    QCOMPARE(readFile(sim.statePath("deployed.json")), project);
    const QJsonObject checksum = sim.transferRecords().value(0).value("checksum").toObject();
    QCOMPARE(checksum.value("size").toInt(), project.size());
    QCOMPARE(checksum.value("digest").toString(),
             QString::fromLatin1(QCryptographicHash::hash(project, QCryptographicHash::Md5).toHex()));
}

void TstFleet::parallelWithin_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<qint64>("fileLimit");
    QTest::addColumn<int>("openNow");
    QTest::addColumn<int>("expected");
    const int spare = FleetDeployment::kSpareDescriptors;
    QTest::newRow("limit unknown or unlimited") << 1000 << qint64(0) << 10 << 1000;
    QTest::newRow("well within") << 8 << qint64(1024) << 20 << 8;
    QTest::newRow("1000 under 1024 open files") << 1000 << qint64(1024) << 30 << 1024 - 30 - spare;
    QTest::newRow("ulimit -n 64") << 200 << qint64(64) << 10 << 64 - 10 - spare;
    QTest::newRow("no room left: still one") << 50 << qint64(20) << 10 << 1;
    QTest::newRow("nonsense request") << 0 << qint64(1024) << 10 << 1;
}

void TstFleet::parallelWithin()
{
    QFETCH(int, requested);
    QFETCH(qint64, fileLimit);
    QFETCH(int, openNow);
    QFETCH(int, expected);
    QCOMPARE(FleetDeployment::parallelWithin(requested, fileLimit, openNow), expected);
}

// Under a low open-file limit more transfers at once fail to connect for want of descriptors,
// which reads as boxes that are not there: the count is kept within the limit, and said.
void TstFleet::parallelKeptWithinOpenFiles()
{
    QList<QStringList> options;
    for (int i = 0; i < 7; ++i)
        options.append(QStringList());
    SimFleet sims;
    QVERIFY(sims.start(46, options));
    QTemporaryDir data;
    QStringList arguments{"--project", projectFile(), "--parallel", "200"};
    for (const QString &address : sims.addresses)
        arguments << "--box" << address;

    DeployInput input;
    input.openFiles = 10;
    const DeployRun run = deploy(arguments, data.path(), 30000, input);
    QVERIFY2(!run.out.contains("failed"), qPrintable(run.out));
    QVERIFY2(run.err.contains("--parallel 200: the limit of 10 open files allows 1 at once"), qPrintable(run.err));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.count(" ok "), 7);
}

void TstFleet::windowDeploysToTwentyBoxes()
{
    SimFleet sims;
    QVERIFY(sims.start(1, twentyBoxes()));
    FileTransfer::setVerdictTimeoutForTesting(1000);
    QStandardItemModel model;
    CheckFixture fixture(model);
    QStandardItem *project = projectWithBoxes(model, fixture, sims.addresses);

    FleetWindow window(project);
    QStringList messages;
    connect(&window, &FleetWindow::messageAppended, this, [&messages](const QString &m) { messages << m; });
    window.show();
    // The heartbeat on opening: the running boxes tell their version, the missing one nothing.
    QTRY_COMPARE_WITH_TIMEOUT(window.table()->item(0, FleetWindow::VersionColumn)->text(), QStringLiteral("1.0.3"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(window.table()->item(12, FleetWindow::LinkColumn)->text(), QStringLiteral("No reply"),
                              FleetWindow::kHeartbeatWaitMs + 2000);
    QCOMPARE(window.table()->item(19, FleetWindow::VersionColumn)->text(), QStringLiteral("1.0.3"));

    ModalAnswer::Scoped answers(QMessageBox::Yes);
    window.findChild<QPushButton *>("updateProjectButton")->click();
    QVERIFY(window.deployment()->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!window.deployment()->isRunning(), 20000);
    QCOMPARE(answers.seen(), QStringList());

    const QMap<int, QString> failures{{4, "Checksum failed."}, {8, "Timeout"}, {12, "Failed to connect to server."}};
    const QByteArray bytes = ProjectJson::projectFileBytes(project);
    for (int row = 0; row < 20; ++row) {
        QCOMPARE(resultText(window, row), failures.value(row, QStringLiteral("Checksum successful.")));
        QCOMPARE(window.table()->cellWidget(row, FleetWindow::RetryColumn)->isEnabled(), failures.contains(row));
        QVERIFY(window.table()->item(row, FleetWindow::LastColumn)->text().endsWith(resultText(window, row)));
        if (!failures.contains(row))
            QCOMPARE(readFile(sims.sims[size_t(row)]->statePath("deployed.json")), bytes);
    }
    QCOMPARE(messages.size(), 3);

    // The missing box comes up: its row alone is sent again.
    sims.sims[12] = std::make_unique<BoxSimProcess>(sims.addresses.at(12));
    QVERIFY(sims.sims[12]->start());
    qobject_cast<QPushButton *>(window.table()->cellWidget(12, FleetWindow::RetryColumn))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.deployment()->isRunning(), 10000);
    QCOMPARE(resultText(window, 12), QStringLiteral("Checksum successful."));
    QCOMPARE(readFile(sims.sims[12]->statePath("deployed.json")), bytes);
    QCOMPARE(sims.sims[0]->transferRecords().size(), 1);
}

void TstFleet::windowCloseAsksAndCancels()
{
    SimFleet sims;
    QVERIFY(sims.start(41, noVerdicts(3)));
    QStandardItemModel model;
    CheckFixture fixture(model);
    FleetWindow window(projectWithBoxes(model, fixture, sims.addresses));
    window.show();
    window.setChecked(2, false);
    window.findChild<QPushButton *>("updateProjectButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.deployment()->result(1).state, FleetDeployment::State::Running, 5000);
    QCOMPARE(window.deployment()->result(2).state, FleetDeployment::State::Idle);

    QString asked;
    ModalAnswer::answerNext(QMessageBox::No, &asked);
    window.close();
    QCOMPARE(asked, QStringLiteral("Transfers to boxes are still running. Cancel them and close?"));
    QVERIFY(window.isVisible() && window.deployment()->isRunning());

    ModalAnswer::answerNext(QMessageBox::Yes);
    window.close();
    QVERIFY(!window.isVisible());
    QVERIFY(!window.deployment()->isRunning());
    for (int row = 0; row < 2; ++row)
        QCOMPARE(resultText(window, row), QStringLiteral("Cancelled"));
}

// The bar tells how much of the file went out, the Result column what the box made of it, and
// its tool tip what to do next: a box whose checksum failed got the whole file. A retry
// starts again from 0 %.
void TstFleet::progressAndVerdictApart_data()
{
    QTest::addColumn<QStringList>("box"); // simulator options; "off": nothing listens
    QTest::addColumn<bool>("cancelAtVerdict");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("hint"); // how the next step begins
    QTest::newRow("confirmed") << QStringList() << false << 100 << "Checksum successful." << QString();
    QTest::newRow("checksum failed") << QStringList{"--checksum-result", "1"} << false << 100 << "Checksum failed."
                                     << "The file arrived damaged";
    QTest::newRow("no verdict in time") << QStringList{"--no-verdict"} << false << 100 << "Timeout"
                                        << "The box did not give its verdict in time";
    QTest::newRow("cancelled awaiting the verdict") << QStringList{"--no-verdict"} << true << 100 << "Cancelled"
                                                    << "Cancelled here";
    QTest::newRow("unreachable") << QStringList{"off"} << false << 0 << "Failed to connect to server."
                                 << "The box did not take the connection: check its IP address, the cable";
}

void TstFleet::progressAndVerdictApart()
{
    QFETCH(QStringList, box);
    QFETCH(bool, cancelAtVerdict);
    QFETCH(int, percent);
    QFETCH(QString, verdict);
    QFETCH(QString, hint);
    static int host = 80;
    SimFleet sims;
    QVERIFY(sims.start(host++, {box}));
    FileTransfer::setVerdictTimeoutForTesting(cancelAtVerdict ? 0 : 500);
    QStandardItemModel model;
    CheckFixture fixture(model);
    FleetWindow window(projectWithBoxes(model, fixture, sims.addresses));
    window.show();
    QTableWidget *table = window.table();
    auto *bar = qobject_cast<QProgressBar *>(table->cellWidget(0, FleetWindow::ProgressColumn));
    auto finished = [&window] { return QTest::qWaitFor([&window] { return !window.deployment()->isRunning(); }, 15000); };

    ModalAnswer::Scoped answers(QMessageBox::Yes);
    window.findChild<QPushButton *>("updateProjectButton")->click();
    if (cancelAtVerdict) {
        QVERIFY(QTest::qWaitFor([&window] { return window.deployment()->result(0).percent == 100; }, 10000));
        window.cancel();
    }
    QVERIFY(finished());
    QCOMPARE(bar->value(), percent);
    QCOMPARE(resultText(window, 0), verdict);
    const QString tip = table->item(0, FleetWindow::ResultColumn)->toolTip();
    QVERIFY2(hint.isEmpty() ? tip == verdict : tip.startsWith(verdict + QLatin1Char('\n') + hint), qPrintable(tip));
    // Cut cells show all of their text on hover.
    const QTableWidgetItem *last = table->item(0, FleetWindow::LastColumn);
    QVERIFY2(last->text().endsWith(verdict), qPrintable(last->text()));
    QCOMPARE(last->toolTip(), last->text());
    const QTableWidgetItem *link = table->item(0, FleetWindow::LinkColumn);
    QVERIFY(QTest::qWaitFor([link] { return !link->text().isEmpty(); }, FleetWindow::kHeartbeatWaitMs + 2000));
    QCOMPARE(link->toolTip(), link->text());
    if (cancelAtVerdict || hint.isEmpty())
        return;

    QList<int> shown;
    connect(window.deployment(), &FleetDeployment::boxChanged, bar, [&shown, bar] { shown << bar->value(); });
    qobject_cast<QPushButton *>(table->cellWidget(0, FleetWindow::RetryColumn))->click();
    QVERIFY(finished());
    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.first(), 0);
    QCOMPARE(bar->value(), percent);
    QCOMPARE(resultText(window, 0), verdict);
}

// The image, the number of boxes and their models are named before anything goes out; No
// sends nothing, Yes sends the image to the checked boxes only.
void TstFleet::programUpdateAsksFirst()
{
    SimFleet sims;
    QVERIFY(sims.start(51, {QStringList(), QStringList(), QStringList(), QStringList()}));
    QStandardItemModel model;
    CheckFixture fixture(model);
    FleetWindow window(projectWithBoxes(model, fixture, sims.addresses,
                                        {"TLK-BOX-600", "TLK-BOX-610", "TLK-BOX-600", "TLK-BOX-700"}));
    window.show();
    window.setChecked(3, false);
    QTemporaryDir dir;
    const QByteArray image(64 * 1024, '\x5a');
    const QString imagePath = dir.filePath("gateway-2.1.bin");
    QVERIFY(writeFile(imagePath, image));
    auto *button = window.findChild<QPushButton *>("updateProgramButton");

    {
        ModalAnswer::Scoped no(QMessageBox::No);
        FileDialogs::setNextAnswerForTesting(imagePath);
        button->click();
        QCOMPARE(no.seen(), QStringList{"Update program|Send the program image gateway-2.1.bin to 3 boxes "
                                        "(models: TLK-BOX-600, TLK-BOX-610)?"});
    }
    QVERIFY(!window.deployment()->isRunning());
    QTest::qWait(300);
    for (auto &sim : sims.sims)
        QCOMPARE(sim->transferRecords().size(), 0);

    {
        ModalAnswer::Scoped yes(QMessageBox::Yes);
        FileDialogs::setNextAnswerForTesting(imagePath);
        button->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window.deployment()->isRunning(), 10000);
        QCOMPARE(yes.seen().size(), 1);
    }
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(resultText(window, row), QStringLiteral("Checksum successful."));
        QCOMPARE(readFile(sims.sims[size_t(row)]->statePath("program.bin")), image);
        QCOMPARE(sims.sims[size_t(row)]->transferRecords().size(), 1);
    }
    QCOMPARE(sims.sims[3]->transferRecords().size(), 0);
}

// Rows whose address is spelled another way (each would reach the same box: octal, a space)
// or repeats an earlier row's are left out: the one box gets one transfer.
void TstFleet::windowLeavesOutOtherSpellingsAndRepeats()
{
    BoxSimProcess sim(QStringLiteral("127.0.1.70"));
    QVERIFY(sim.start());
    QStandardItemModel model;
    CheckFixture fixture(model);
    FleetWindow window(projectWithBoxes(model, fixture, {sim.address(), "127.0.1.0106", "127.0.1.70 ", sim.address()}));
    window.show();
    for (int row = 1; row < 4; ++row) {
        const QTableWidgetItem *name = window.table()->item(row, FleetWindow::NameColumn);
        QCOMPARE(name->checkState(), Qt::Unchecked);
        QVERIFY(!(name->flags() & Qt::ItemIsUserCheckable));
    }
    QVERIFY(resultText(window, 1).startsWith("Not a valid IPv4 address"));
    QVERIFY(resultText(window, 2).startsWith("Not a valid IPv4 address"));
    QVERIFY(resultText(window, 3).startsWith("The same address as B1"));

    QTemporaryDir dir;
    const QString imagePath = dir.filePath("image.bin");
    QVERIFY(writeFile(imagePath, QByteArray(4096, '\x11')));
    window.setChecked(3, true); // not even by a direct call
    ModalAnswer::Scoped yes(QMessageBox::Yes);
    FileDialogs::setNextAnswerForTesting(imagePath);
    window.findChild<QPushButton *>("updateProgramButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.deployment()->isRunning(), 10000);
    QCOMPARE(resultText(window, 0), QStringLiteral("Checksum successful."));
    QTest::qWait(200);
    QCOMPARE(sim.transferRecords().size(), 1);
}

// "At once" starts at 8, and a changed value is what the next window (and its deployment)
// starts with; a value the file cannot hold as a number falls back to 8.
void TstFleet::parallelIsRemembered()
{
    QFile::remove(QStringLiteral("Settings.ini"));
    QStandardItemModel model;
    CheckFixture fixture(model);
    QStandardItem *project = projectWithBoxes(model, fixture, {"127.0.1.60"});
    auto parallel = [](FleetWindow &window) { return window.findChild<QSpinBox *>("parallelSpinBox"); };
    {
        FleetWindow window(project);
        QCOMPARE(parallel(window)->value(), 8);
        QCOMPARE(window.deployment()->parallel(), 8);
        parallel(window)->setValue(3);
    }
    QVERIFY(QFile::exists(QDir(m_cwd.path()).filePath("Settings.ini")));
    {
        FleetWindow window(project);
        QCOMPARE(parallel(window)->value(), 3);
        QCOMPARE(window.deployment()->parallel(), 3);
    }
    QSettings(QStringLiteral("Settings.ini"), QSettings::IniFormat).setValue("Fleet/parallel", "many");
    FleetWindow window(project);
    QCOMPARE(parallel(window)->value(), 8);
}

void TstFleet::windowSaysWhenOpenFilesAllowFewer()
{
    ThreeBoxWindow three;
    QVERIFY(three.start(70));
    FleetWindow &window = *three.window;
    QStringList messages;
    connect(&window, &FleetWindow::messageAppended, this, [&messages](const QString &m) { messages << m; });
    window.findChild<QSpinBox *>("parallelSpinBox")->setValue(8);

    // Room for one transfer beside what this process holds now; put back whatever happens.
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const auto restore = qScopeGuard([&saved] { ::setrlimit(RLIMIT_NOFILE, &saved); });
    rlimit low = saved;
    low.rlim_cur = rlim_t(FleetDeployment::openDescriptors() + FleetDeployment::kSpareDescriptors + 1);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);

    ModalAnswer::Scoped answers(QMessageBox::Yes);
    window.findChild<QPushButton *>("updateProjectButton")->click();
    QVERIFY(QTest::qWaitFor([&window] { return !window.deployment()->isRunning(); }, 20000));
    QCOMPARE(window.deployment()->succeededCount(), 3);
    const QString expected = QStringLiteral("At most %1 transfers at once: the limit of %2 open files allows no more.")
                                 .arg(window.deployment()->parallel())
                                 .arg(qint64(low.rlim_cur));
    QVERIFY2(window.deployment()->parallel() < 3, qPrintable(QString::number(window.deployment()->parallel())));
    QVERIFY2(messages.contains(expected), qPrintable(messages.join('\n')));
}

// Before "Update project" sends, one confirmation shows what it changes on each checked box
// against the copy that box last confirmed.
void TstFleet::projectChangesPerBox()
{
    ThreeBoxWindow three;
    QVERIFY(three.start(61));
    const SimFleet &sims = three.sims;
    CheckFixture &fixture = three.fixture;
    FleetWindow &window = *three.window;
    auto deploy = [&window] {
        window.findChild<QPushButton *>("updateProjectButton")->click();
        return QTest::qWaitFor([&window] { return !window.deployment()->isRunning(); }, 10000);
    };
    // True when it went out with no question at all.
    auto deployUnasked = [&deploy] {
        ModalAnswer::Scoped any(QMessageBox::No);
        ChangesPerBox changes(false);
        return deploy() && any.seen().isEmpty() && changes.asked == 0;
    };

    // Nothing kept yet for any box: nothing to show, nothing asked.
    window.setChecked(2, false);
    QVERIFY(deployUnasked());
    QCOMPARE(transferCounts(sims), (QList<int>{1, 1, 0}));

    // A renamed point, on every box that has a copy; the third box has none and says so.
    window.setChecked(2, true);
    PointTable t = CheckFixture::table(fixture.pump);
    t["Modbus-1"][1][1] = QStringLiteral("flow2");
    CheckFixture::setTable(fixture.pump, t);
    const QStringList renamed{"Changed|device 'Pump' / slave 1 / point 'flow2'|Name|flow|flow2"};
    const QMap<QString, QStringList> expected{
        {"B1 (127.0.1.61)", renamed},
        {"B2 (127.0.1.62)", renamed},
        {"B3 (127.0.1.63): never received this project from this computer, nothing to compare with", {}}};
    {
        ChangesPerBox cancel(false);
        QVERIFY(deploy());
        QCOMPARE(cancel.asked, 1);
        QCOMPARE(cancel.boxes, expected);
    }
    QTest::qWait(300);
    QCOMPARE(transferCounts(sims), (QList<int>{1, 1, 0}));

    {
        ChangesPerBox send(true);
        QVERIFY(deploy());
        QCOMPARE(send.asked, 1);
        QCOMPARE(send.boxes, expected);
    }
    QCOMPARE(transferCounts(sims), (QList<int>{2, 2, 1}));
    const QByteArray bytes = ProjectJson::projectFileBytes(fixture.project);
    QCOMPARE(readFile(sims.sims[2]->statePath("deployed.json")), bytes);

    // The same project again: every box has it already, so it goes without a question.
    QVERIFY(deployUnasked());
    QCOMPARE(transferCounts(sims), (QList<int>{3, 3, 2}));
}

void TstFleet::unkeptCopiesWarnOnce()
{
    // The copies kept for the next comparison cannot be written for any box (a file stands
    // where each box's folder goes): every box still gets the project, and the run ends with
    // one warning naming them all instead of a box per box while transfers run.
    ThreeBoxWindow three;
    QVERIFY(three.start(64));
    const SimFleet &sims = three.sims;
    const CheckFixture &fixture = three.fixture;
    FleetWindow &window = *three.window;
    const DeploymentStore store;
    for (const QString &ip : sims.addresses) {
        const QString folder = QFileInfo(store.documentPath(ip, fixture.project->text())).absolutePath();
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    ModalAnswer::Scoped answer(QMessageBox::Ok);
    window.findChild<QPushButton *>("updateProjectButton")->click();
    QVERIFY(QTest::qWaitFor([&window] { return !window.deployment()->isRunning(); }, 10000));
    QCOMPARE(transferCounts(sims), (QList<int>{1, 1, 1}));
    QTRY_COMPARE(answer.seen().size(), 1);
    QVERIFY(answer.seen().first().startsWith(QStringLiteral("Warning|The project was sent, but the copy kept")));
    for (int i = 0; i < 3; ++i)
        QVERIFY(answer.seen().first().contains(QStringLiteral("B%1 (%2): ").arg(i + 1).arg(sims.addresses.at(i))));
    for (const QString &ip : sims.addresses)
        QFile::remove(QFileInfo(store.documentPath(ip, fixture.project->text())).absolutePath());
}

// What orvane-deploy sent replaces, for the windows, the copy an earlier deployment left: the
// box editor's and the fleet window's next "Update project" of the same project find nothing
// changed and ask nothing.
void TstFleet::commandLineDeploymentAsksNothingAfter()
{
    SimFleet sims;
    QVERIFY(sims.start(78, {QStringList()}));
    const QString box = sims.addresses.first();
    QStandardItemModel model;
    CheckFixture fixture(model);
    QStandardItem *project = projectWithBoxes(model, fixture, sims.addresses);
    const QByteArray bytes = ProjectJson::projectFileBytes(project);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.json"));
    QVERIFY(writeFile(path, bytes));

    SharedDataHome home;
    // An earlier version went to the box from this computer: a point had another name.
    PointTable older = CheckFixture::table(fixture.pump);
    older["Modbus-1"][1][1] = QStringLiteral("flow0");
    const PointTable current = CheckFixture::table(fixture.pump);
    CheckFixture::setTable(fixture.pump, older);
    QVERIFY(DeploymentStore().store(box, project->text(), ProjectJson::projectFileBytes(project)));
    CheckFixture::setTable(fixture.pump, current);

    const DeployRun run = deploy({"--project", path, "--box", box, "--force"}, home.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(transferCounts(sims), QList<int>{1});

    BoxEditDialog editor(childWithText(childWithText(project, Folder::Box), QStringLiteral("B1")), nullptr);
    FleetWindow window(project);
    for (const std::function<void()> &send :
         {std::function<void()>([&editor] {
              editor.findChild<QPushButton *>("updateProjectButton")->click();
              QVERIFY(QTest::qWaitFor([&editor] { return !editor.transferRunning(); }, 10000));
          }),
          std::function<void()>([&window] {
              window.findChild<QPushButton *>("updateProjectButton")->click();
              QVERIFY(QTest::qWaitFor([&window] { return !window.deployment()->isRunning(); }, 10000));
          })}) {
        ModalAnswer::Scoped any(QMessageBox::No);
        ChangesPerBox changes(false);
        send();
        QCOMPARE(any.seen(), QStringList());
        QCOMPARE(changes.asked, 0);
    }
    QCOMPARE(transferCounts(sims), QList<int>{3});
}

// A fleet deployment whose copy cannot be written in full sends nothing to any box: the window
// tells why in a warning and in the Message dock, orvane-deploy as every box's result.
void TstFleet::copyOntoAFullDeviceSendsNothing()
{
    ThreeBoxWindow three;
    QVERIFY(three.start(75));
    FleetWindow &window = *three.window;
    QVERIFY(ProjectJson::projectFileBytes(three.fixture.project).size() > 600); // past either limit below
    QStringList messages;
    connect(&window, &FleetWindow::messageAppended, this, [&messages](const QString &text) { messages << text; });

    // A device that takes only the first 200 bytes of any file.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200;
    ModalAnswer::Scoped answer(QMessageBox::Ok);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Could not create temp file:"));
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    window.findChild<QPushButton *>("updateProjectButton")->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!window.deployment()->isRunning());
    QCOMPARE(answer.seen().size(), 1);
    const QString prefix = QStringLiteral("Update project|Could not write the deployment copy ")
                           + QDir::toNativeSeparators(QDir::tempPath());
    QVERIFY2(answer.seen().first().startsWith(prefix), qPrintable(answer.seen().first()));
    QCOMPARE(messages, QStringList{answer.seen().first().section(QLatin1Char('|'), 1)});
    QTest::qWait(300);
    QCOMPARE(transferCounts(three.sims), (QList<int>{0, 0, 0}));
    for (int row = 0; row < 3; ++row)
        QCOMPARE(window.deployment()->result(row).state, FleetDeployment::State::Idle);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.json"));
    QVERIFY(writeFile(path, ProjectJson::projectFileBytes(three.fixture.project)));
    DeployInput small512;
    small512.fileBlocks = 1;
    const DeployRun run = deploy({"--project", path, "--box", three.sims.addresses.first(), "--force", "--json"},
                                 dir.filePath(QStringLiteral("data")), 30000, small512);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.objects.size(), 1);
    QCOMPARE(run.objects.first().value("stage").toString(), QStringLiteral("copy"));
    QVERIFY2(run.objects.first().value("result").toString().startsWith("Could not write the deployment copy "),
             qPrintable(run.out));
    QTest::qWait(300);
    QCOMPARE(transferCounts(three.sims), (QList<int>{0, 0, 0}));
}

// A second rollout of the same files sends nothing; a new program goes without its project.
void TstFleet::skipUnchangedSendsOnlyWhatIsNew()
{
    SimFleet sims;
    QVERIFY(sims.start(81, {QStringList(), QStringList()}));
    QTemporaryDir data;
    const QByteArray project = readFile(projectFile());
    FleetDeployment fleet;
    fleet.setBoxes(sims.addresses);
    fleet.setProject(TransferPayload::fromBytes(project, QStringLiteral("Plant.json")), QStringLiteral("Plant"));
    fleet.setProgram(TransferPayload::fromBytes(QByteArray(4096, '\x21'), QStringLiteral("a.bin")));
    fleet.setRecordRoot(data.path());
    fleet.setSkipUnchanged(true);
    QSignalSpy finished(&fleet, &FleetDeployment::finished);
    const auto commandsSent = [&sims](int box) {
        QList<int> commands;
        for (const QJsonObject &r : sims.sims[size_t(box)]->transferRecords())
            commands.append(r.value("command").toInt());
        return commands;
    };

    struct Round
    {
        QByteArray program;
        QList<int> sent;       // commands each box has received so far
        QList<quint8> skipped; // reported unchanged
        bool changed;
    };
    const QList<Round> rounds{
        {QByteArray(4096, '\x21'), {3, 4}, {}, true},
        {QByteArray(4096, '\x21'), {3, 4}, {3, 4}, false},
        {QByteArray(4096, '\x22'), {3, 4, 4}, {3}, true},
    };
    for (const Round &round : rounds) {
        fleet.setProgram(TransferPayload::fromBytes(round.program, QStringLiteral("a.bin")));
        finished.clear();
        fleet.start();
        QVERIFY(finished.count() == 1 || finished.wait(10000));
        for (int box = 0; box < 2; ++box) {
            const FleetDeployment::BoxResult result = fleet.result(box);
            QCOMPARE(result.state, FleetDeployment::State::Succeeded);
            QCOMPARE(result.changed, round.changed);
            QCOMPARE(result.unchanged, round.skipped);
            QCOMPARE(commandsSent(box), round.sent);
        }
    }
}

void TstFleet::inventoryNames_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("ini");

    QTest::newRow("plain") << "Plant" << QStringList{"B1", "B2"}
                           << "[Plant]\nB1 box_ip=127.0.0.1\nB2 box_ip=127.0.0.2\n";
    QTest::newRow("spaces, Chinese and repeats") << "Plant 2" << QStringList{"Pump house", "Pump_house", "泵站"}
                                                 << "[Plant_2]\nPump_house box_ip=127.0.0.1\nPump_house_2 box_ip=127.0.0.2\n"
                                                    "__ box_ip=127.0.0.3\n";
    QTest::newRow("group starting with a digit, empty names") << "2026 site" << QStringList{"", "a.b-c"}
                                                             << "[group_2026_site]\nbox box_ip=127.0.0.1\n"
                                                                "a.b-c box_ip=127.0.0.2\n";
}

void TstFleet::inventoryNames()
{
    QFETCH(QString, group);
    QFETCH(QStringList, names);
    QFETCH(QString, ini);
    QList<AnsibleInventory::Host> hosts;
    for (int i = 0; i < names.size(); ++i)
        hosts.append({names.at(i), QStringLiteral("127.0.0.%1").arg(i + 1)});
    QCOMPARE(AnsibleInventory::ini(group, hosts), ini);
}

// Only checked boxes with a usable address go into the inventory.
void TstFleet::windowExportsTheCheckedBoxes()
{
    QStandardItemModel model;
    CheckFixture fixture(model);
    FleetWindow window(projectWithBoxes(model, fixture, {"127.0.1.91", "127.0.1.092", "127.0.1.93", "127.0.1.94"}));
    window.setChecked(2, false);
    QTemporaryDir dir;
    const QString path = dir.filePath("boxes.ini");
    QStringList messages;
    connect(&window, &FleetWindow::messageAppended, this, [&messages](const QString &text) { messages << text; });
    FileDialogs::setNextAnswerForTesting(path);
    window.findChild<QPushButton *>("exportInventoryButton")->click();
    QCOMPARE(QString::fromUtf8(readFile(path)),
             QStringLiteral("[%1]\nB1 box_ip=127.0.1.91\nB4 box_ip=127.0.1.94\n")
                 .arg(AnsibleInventory::groupName(fixture.project->text())));
    QCOMPARE(messages, QStringList{QStringLiteral("Inventory of 2 boxes written to %1.").arg(path)});
}

QTEST_MAIN(TstFleet)
// The copy a box confirmed is kept by the deployment itself, not by one window: after the
// command line (or any front end on the same core) sent the project, the window's next
// "Update project" of it has nothing to show and asks nothing.
void TstFleet::copyKeptWhateverSent()
{
    ThreeBoxWindow three;
    QVERIFY(three.start(71));
    const QString box = three.sims.addresses.first();
    const QString name = three.fixture.project->text();
    const QByteArray bytes = ProjectJson::projectFileBytes(three.fixture.project);
    const QJsonObject document = QJsonDocument::fromJson(bytes).object();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    // orvane-deploy keeps it where its records go.
    const DeployRun run = deploy({"--project", path, "--box", box, "--force"}, dir.filePath(QStringLiteral("data")));
    QCOMPARE(run.exitCode, 0);
    QJsonObject kept;
    QVERIFY(DeploymentStore(dir.filePath(QStringLiteral("data/Orvane 600/deployments"))).lastDocument(box, name, &kept));
    QCOMPARE(kept, document);

    // The same core path into the window's own store: the window then sends unasked.
    FleetDeployment fleet;
    fleet.setBoxes({box});
    fleet.setProject(TransferPayload::fromBytes(bytes), name);
    fleet.start();
    QVERIFY(QTest::qWaitFor([&fleet] { return !fleet.isRunning(); }, 10000));
    QCOMPARE(fleet.result(0).state, FleetDeployment::State::Succeeded);
    QVERIFY(fleet.result(0).copyNotKept.isEmpty());
    FleetWindow &window = *three.window;
    window.setChecked(1, false);
    window.setChecked(2, false);
    ModalAnswer::Scoped any(QMessageBox::No);
    ChangesPerBox changes(false);
    window.findChild<QPushButton *>("updateProjectButton")->click();
    QVERIFY(QTest::qWaitFor([&window] { return !window.deployment()->isRunning(); }, 10000));
    QCOMPARE(any.seen(), QStringList());
    QCOMPARE(changes.asked, 0);
    QCOMPARE(transferCounts(three.sims), (QList<int>{3, 0, 0}));
}

#include "tst_fleet.moc"
