// Live reports reaching the main window: data items under the project's "Data" folder and
// the per-device tables, updated in place.

#include "ModalAnswer.h"
#include "SmallDisk.h"
#include "WindowSupport.h"

#include "gui/mainwindow/CMainWindow.h"
#include "gui/monitoring/MonitoringRowDelegate.h"
#include "gui/widgets/FileDialogs.h"
#include "core/monitoring/MonitoringRecorder.h"
#include "gui/monitoring/TrendChart.h"
#include "core/project/ItemRecord.h"

#include <QAction>
#include <QApplication>
#include <QDateTimeEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTreeView>
#include <QJsonArray>
#include <QJsonObject>
#include <QScrollBar>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <limits>

namespace {

struct Point {
    QString name;
    QJsonValue value;
    QJsonValue valid = QStringLiteral("1");
    QString addr = QStringLiteral("40001");
};

Protocol::dataMonitoringData report(const QString &project, const QString &plc,
                                    const QList<Point> &points,
                                    const QString &time = QStringLiteral("1999-01-01 00:00:00"))
{
    QJsonArray datas;
    for (const Point &p : points) {
        QJsonObject o{{QStringLiteral("name"), p.name},
                      {QStringLiteral("addr"), p.addr},
                      {QStringLiteral("dataType"), QStringLiteral("float")},
                      {QStringLiteral("value"), p.value}};
        if (!p.valid.isUndefined())
            o.insert(QStringLiteral("valid"), p.valid);
        datas.append(o);
    }
    return Protocol::dataMonitoringData(QJsonObject{{QStringLiteral("projectName"), project},
                                                    {QStringLiteral("plcName"), plc},
                                                    {QStringLiteral("sn"), QStringLiteral("SN1")},
                                                    {QStringLiteral("description"), QString()},
                                                    {QStringLiteral("time"), time},
                                                    {QStringLiteral("datas"), datas}});
}

QList<Point> points(const QStringList &names, const QString &value = QStringLiteral("1.5"))
{
    QList<Point> list;
    for (const QString &n : names)
        list.append(Point{n, value});
    return list;
}

// A project as New Project leaves it, optionally without its "Data" folder.
QStandardItem *addProject(CMainWindow &w, const QString &name, bool withDataFolder)
{
    auto *project = new QStandardItem(name);
    QStringList folders{Folder::Standard, Folder::Service, Folder::Box};
    if (withDataFolder)
        folders << Folder::Data;
    for (const QString &f : folders)
        project->appendRow(new QStandardItem(f));
    w.projectModel()->appendRow(project);
    return project;
}

// Row of the table as text, cell by cell; a missing cell shows as "<null>".
QStringList rowTexts(QTableWidget *t, int row)
{
    QStringList out;
    for (int c = 0; c < t->columnCount(); ++c)
        out << (t->item(row, c) ? t->item(row, c)->text() : QStringLiteral("<null>"));
    return out;
}

int rowOfName(QTableWidget *t, const QString &name)
{
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 0) && t->item(r, 0)->text() == name)
            return r;
    return -1;
}

QStringList column(QTableWidget *t, int c)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r)
        out << (t->item(r, c) ? t->item(r, c)->text() : QString());
    return out;
}

} // namespace

class TstMonitoring : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerItemRecordTypes();
        // The checks compare the English source texts: keep the Chinese catalogue out.
        CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
    }
    void firstReportFilesSecondShows();
    void reportForProjectNotOpen();
    void lastDataItemOfANameWins();
    void validityWords_data();
    void validityWords();
    void vanishedPointIsRemoved();
    void emptyReportEmptiesTable();
    void newPointFollowsCurrentSort();
    void updateIsInPlaceAndKeepsScroll();
    void updateTimeFitsNarrowDockAndWidthsStay();
    void closingProjectRemovesOnlyItsTabs();
    void staleness_data();
    void staleness();
    void recordingStoresEveryValueAndExportsARange();
    void recordingFailureStopsButViewGoesOn();
    void recordingWaitsOutALock();
    void exportFailureIsTold_data();
    void exportFailureIsTold();
    void exportFromReadOnlyRecording();
    void exportKeepsFormulasInert_data();
    void exportKeepsFormulasInert();
    void exportRangeBeforeRecording_data();
    void exportRangeBeforeRecording();
    void trendKeepsBoundedHistoryWithGaps();
    void trendDrawsGapsOnScreen();
    void trendOpensFromTheTable();
    void trendStartsWithKeptSamplesAndFollowsThem();
    void trendCloses_data();
    void trendCloses();
    void cleanup() { CMainWindow::setMonitoringClockForTesting({}); }
};

namespace {
MonitoringRowDelegate *rowsOf(QTableWidget *t)
{
    return qobject_cast<MonitoringRowDelegate *>(t->itemDelegate());
}

int tabIndex(CMainWindow &w, const QString &text)
{
    for (int i = 0; i < w.monitoringTabs()->count(); ++i)
        if (w.monitoringTabs()->tabText(i) == text)
            return i;
    return -1;
}
} // namespace

void TstMonitoring::updateTimeFitsNarrowDockAndWidthsStay()
{
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    QList<Point> list;
    for (int i = 0; i < 5; ++i)
        list.append(Point{QStringLiteral("a rather long point name that would take the whole row %1").arg(i),
                          QStringLiteral("12345.678901234567890123"), QStringLiteral("1"),
                          QStringLiteral("a long address text as well")});
    w.onDataReceived(report("A", "P1", list));
    w.onDataReceived(report("A", "P1", list));
    QTabWidget *tabs = w.monitoringTabs();
    tabs->setParent(nullptr);
    tabs->setFixedSize(800, 400);
    tabs->show();
    QTableWidget *t = tableOf(w, "P1");
    tabs->setCurrentWidget(t->parentWidget());
    QVERIFY(QTest::qWaitForWindowExposed(tabs));
    QTRY_VERIFY(t->width() > 700);

    const int timeWidth = t->fontMetrics().horizontalAdvance(t->item(0, 5)->text());
    QVERIFY(t->columnWidth(5) >= timeWidth);
    QVERIFY2(t->horizontalHeader()->sectionViewportPosition(5) + t->columnWidth(5) <= t->viewport()->width(),
             "the update time is in sight without scrolling");

    // A width the user chose survives further reports.
    t->setColumnWidth(0, 333);
    list[0].value = QStringLiteral("a value much longer than before, longer than any column");
    w.onDataReceived(report("A", "P1", list));
    QCOMPARE(t->columnWidth(0), 333);
    tabs->setParent(nullptr);
    delete tabs;
}

void TstMonitoring::closingProjectRemovesOnlyItsTabs()
{
    CMainWindow w;
    QStandardItem *a = addProject(w, QStringLiteral("A"), true);
    addProject(w, QStringLiteral("B"), true);
    for (int i = 0; i < 2; ++i) {
        w.onDataReceived(report("A", "P1", points({"t1"})));
        w.onDataReceived(report("A", "P2", points({"t1"})));
        w.onDataReceived(report("B", "P2", points({"t1"})));
    }
    QVERIFY(tableOf(w, "P1") && tableOf(w, "P2"));

    w.projectView()->setCurrentIndex(a->index());
    {
        ModalAnswer::Scoped answer(QMessageBox::No);
        w.slotDeleteProject();
    }
    QCOMPARE(w.projectModel()->rowCount(), 1);
    QVERIFY2(!tableOf(w, "P1"), "the tab only A fed is gone");
    QVERIFY2(tableOf(w, "P2"), "B still feeds P2");

    // Closing B as well leaves nothing; a project of the same name starts afresh.
    w.projectModel()->removeRow(0);
    QVERIFY(!tableOf(w, "P2"));
    addProject(w, QStringLiteral("A"), true);
    w.onDataReceived(report("A", "P1", points({"t1"})));
    QVERIFY2(!tableOf(w, "P1"), "its first report only files the data again");
}

void TstMonitoring::staleness_data()
{
    QTest::addColumn<QString>("interval");
    QTest::addColumn<qint64>("freshUntil"); // ms after the report still current
    QTest::addColumn<bool>("linkDrops");
    QTest::newRow("three intervals") << QStringLiteral("2000") << qint64(6000) << false;
    QTest::newRow("at least 3 s") << QStringLiteral("200") << qint64(3000) << false;
    QTest::newRow("unknown interval") << QString() << qint64(6000) << false;
    QTest::newRow("link down") << QStringLiteral("2000") << qint64(0) << true;
}

void TstMonitoring::staleness()
{
    QFETCH(QString, interval);
    QFETCH(qint64, freshUntil);
    QFETCH(bool, linkDrops);
    qint64 now = 1'000'000;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    QStandardItem *project = addProject(w, QStringLiteral("A"), true);
    auto *device = new QStandardItem(QStringLiteral("P1"));
    device->setData(interval, Role::CollectionInterval);
    childWithText(project, Folder::Standard)->appendRow(device);
    auto *box = new QStandardItem(QStringLiteral("box"));
    box->setData(QStringLiteral("127.0.0.9"), Role::BoxIp);
    childWithText(project, Folder::Box)->appendRow(box);

    QList<Point> list = points({"good", "bad"});
    list[1].valid = QStringLiteral("0");
    w.onDataReceived(report("A", "P1", list));
    w.onDataReceived(report("A", "P1", list));
    QTableWidget *t = tableOf(w, "P1");
    const int good = rowOfName(t, "good");
    const int bad = rowOfName(t, "bad");
    MonitoringRowDelegate *rows = rowsOf(t);
    const int tab = tabIndex(w, "P1");
    auto isStale = [&] {
        const bool marked = !w.monitoringTabs()->tabIcon(tab).isNull();
        const bool grey = rows->foreground(t->model()->index(good, 3)) == QColor(Qt::gray);
        if (marked != grey || marked != rows->isStale())
            qWarning() << "tab mark" << marked << "grey rows" << grey;
        return marked && grey;
    };
    QVERIFY(!isStale());
    QCOMPARE(rows->foreground(t->model()->index(bad, 0)), QColor(Qt::red));

    if (linkDrops) {
        w.onBoxLinkStateChanged(QStringLiteral("127.0.0.8"), false);
        QVERIFY2(!isStale(), "another box's link is no concern of this device");
        w.onBoxLinkStateChanged(QStringLiteral("127.0.0.9"), false);
        w.onBoxLinkStateChanged(QStringLiteral("127.0.0.9"), true);
    } else {
        now += freshUntil;
        w.checkMonitoringStaleness();
        QVERIFY(!isStale());
        now += 1;
        w.checkMonitoringStaleness();
    }
    QVERIFY(isStale());
    QCOMPARE(t->item(rowOfName(t, "good"), 4)->text(), QStringLiteral("Stale"));
    QCOMPARE(t->item(rowOfName(t, "bad"), 4)->text(), QStringLiteral("Invalid"));
    QCOMPARE(w.monitoringTabs()->tabText(tab), QStringLiteral("P1"));
    QCOMPARE(rows->foreground(t->model()->index(bad, 5)), QColor(Qt::red));
    now += 60'000;
    QVERIFY2(rows->ageText().contains(QString::number((freshUntil + 1 + 60'000) / 1000)) || linkDrops,
             qPrintable(rows->ageText()));
    QVERIFY(rows->ageText().contains(QStringLiteral("60")) || !linkDrops);

    w.onDataReceived(report("A", "P1", list));
    QVERIFY(!isStale());
    QCOMPARE(t->item(rowOfName(t, "good"), 4)->text(), QStringLiteral("Effective"));
    QCOMPARE(rows->foreground(t->model()->index(bad, 0)), QColor(Qt::red));
    QVERIFY(rows->ageText().contains(QStringLiteral(" 0 s")));
}

namespace {
QList<QStringList> queryRows(const QString &dbPath, const QString &sql)
{
    QList<QStringList> out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(dbPath);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next()) {
                QStringList row;
                for (int c = 0; c < q.record().count(); ++c)
                    row << q.value(c).toString();
                out << row;
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return out;
}
} // namespace

void TstMonitoring::recordingStoresEveryValueAndExportsARange()
{
    QTemporaryDir dir;
    qint64 now = 1'700'000'000'000;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    const QString db = dir.filePath(QStringLiteral("rec.sqlite"));
    QVERIFY(w.startRecording(db));

    for (int r = 0; r < 50; ++r) {
        QList<Point> list;
        for (int p = 0; p < 200; ++p)
            list.append(Point{QStringLiteral("p%1").arg(p), r * 1000 + p, p == 7 ? QStringLiteral("0") : QStringLiteral("1"),
                              QStringLiteral("4%1").arg(p, 4, 10, QLatin1Char('0'))});
        now += 1000;
        w.onDataReceived(report("A", "P1", list, QStringLiteral("box time %1").arg(r)));
    }
    QCOMPARE(queryRows(db, "SELECT COUNT(*) FROM samples"), QList<QStringList>{{"10000"}});
    QCOMPARE(queryRows(db, "SELECT box, project, device, name, address, value, validity, report_time FROM samples "
                           "WHERE name = 'p7' AND report_time = 'box time 12'"),
             (QList<QStringList>{{"SN1", "A", "P1", "p7", "40007", "12007", "0", "box time 12"}}));
    QCOMPARE(queryRows(db, "PRAGMA journal_mode"), QList<QStringList>{{"wal"}});

    // Reports 10 to 12 (received at base + 11 s .. base + 13 s), the ends included.
    const qint64 base = 1'700'000'000'000;
    const QString csv = dir.filePath(QStringLiteral("range.csv"));
    QVERIFY(w.exportRecording(base + 11'000, base + 13'000, csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + 600 + 1); // header, rows, empty rest after the last CRLF
    QVERIFY(lines.first().startsWith("received,report time,box"));
    QVERIFY(lines.at(1).endsWith("\r"));
    QVERIFY(lines.at(1).contains(",box time 10,SN1,A,P1,p0,40000,10000,1"));
    QVERIFY(lines.at(600).contains(",box time 12,SN1,A,P1,p199,40199,12199,1"));
    QVERIFY(w.isRecording());
}

void TstMonitoring::recordingFailureStopsButViewGoesOn()
{
    QTemporaryDir dir;
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);

    // A file that is no database cannot be opened for recording: the user is told.
    const QString junk = dir.filePath(QStringLiteral("junk.db"));
    {
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    {
        ModalAnswer::Scoped answer;
        QVERIFY(!w.startRecording(junk));
        QCOMPARE(answer.seen().size(), 1);
        QVERIFY(answer.seen().first().startsWith(QStringLiteral("Recording|")));
    }
    QVERIFY(!w.isRecording());

    // A recording in the earlier one-table layout is not appended to: its export would miss rows.
    const QString older = dir.filePath(QStringLiteral("older.sqlite"));
    {
        QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
        old.setDatabaseName(older);
        QVERIFY(old.open());
        QVERIFY(QSqlQuery(old).exec("CREATE TABLE samples (box TEXT, value TEXT)"));
        old.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("older"));
    {
        ModalAnswer::Scoped answer;
        QVERIFY(!w.startRecording(older));
        QCOMPARE(answer.seen().size(), 1);
    }
    QVERIFY(!w.isRecording());

    // A database that is not writable at all fails at once: recording stops with a message,
    // the table still shows every report.
    const QString db = dir.filePath(QStringLiteral("dropped.sqlite"));
    QVERIFY(w.startRecording(db));
    w.onDataReceived(report("A", "P1", points({"t1"}, "1")));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dropper"));
        other.setDatabaseName(db);
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec("DROP VIEW samples"));
        QVERIFY(QSqlQuery(other).exec("ALTER TABLE report_points RENAME TO gone"));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("dropper"));
    w.onDataReceived(report("A", "P1", points({"t1"}, "2")));
    QVERIFY(!w.isRecording());
    QVERIFY(w.messageEditor()->toPlainText().contains(QStringLiteral("Recording stopped")));
    QVERIFY(!w.messageEditor()->toPlainText().contains(QStringLiteral("locked")));
    w.onDataReceived(report("A", "P1", points({"t1"}, "3")));
    QCOMPARE(tableOf(w, "P1")->item(0, 3)->text(), QStringLiteral("3"));
    QCOMPARE(queryRows(db, "SELECT p.value FROM gone p"), QList<QStringList>{{"1"}});
}

void TstMonitoring::recordingWaitsOutALock()
{
    QTemporaryDir dir;
    qint64 now = 1'700'000'000'000;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    const QString db = dir.filePath(QStringLiteral("locked.sqlite"));
    QVERIFY(w.startRecording(db));
    int value = 0;
    QStringList sent;
    auto send = [&](qint64 stepMs) {
        now += stepMs;
        sent << QString::number(++value);
        QElapsedTimer blocked;
        blocked.start();
        w.onDataReceived(report("A", "P1", points({"t1", "t2"}, sent.last())));
        // One busy wait (500 ms) per report at most: the live view stays usable.
        QVERIFY2(blocked.elapsed() < 1500, qPrintable(QString::number(blocked.elapsed())));
        if (QTableWidget *table = tableOf(w, "P1"))
            QCOMPARE(table->item(0, 3)->text(), sent.last());
    };
    auto recorded = [&db] {
        QStringList values;
        for (const QStringList &row : queryRows(db, "SELECT value FROM samples WHERE name = 't2' "
                                                    "ORDER BY received_ms"))
            values << row.first();
        return values;
    };

    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
    other.setDatabaseName(db);
    QVERIFY(other.open());
    QSqlQuery lock(other);

    // Another program writes for three seconds: the reports of that time wait and are written,
    // in order, with the first one after it.
    send(1000);
    QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
    for (int i = 0; i < 6; ++i)
        send(500);
    QVERIFY(w.isRecording());
    QCOMPARE(recorded(), QStringList{"1"});
    QVERIFY(lock.exec("COMMIT"));
    send(1000);
    QCOMPARE(recorded(), sent);
    QCOMPARE(queryRows(db, "SELECT COUNT(*) FROM samples"), QList<QStringList>{{QString::number(2 * value)}});

    // Stopped while reports wait: they get written when the lock has gone by then.
    QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
    send(1000);
    QVERIFY(lock.exec("COMMIT"));
    w.stopRecording();
    QCOMPARE(recorded(), sent);

    // A lock held past the backlog's two minutes: recording stops, and says why.
    QVERIFY(w.startRecording(db));
    send(1000);
    QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
    send(1000);
    send(60'000);
    QVERIFY(w.isRecording());
    send(MonitoringRecorder::BacklogMs);
    QVERIFY(!w.isRecording());
    QVERIFY(w.messageEditor()->toPlainText().contains(
        QStringLiteral("Recording stopped: the database could not be written (another program kept the "
                       "database locked too long")));
    QVERIFY(lock.exec("COMMIT"));
    sent.erase(sent.end() - 3, sent.end());
    QCOMPARE(recorded(), sent);
    lock = QSqlQuery();
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
}

namespace {
// A recording of `reports` reports of 100 points each, received a second apart from `start`.
void recordSome(CMainWindow &w, const QString &db, qint64 &now, int reports)
{
    QVERIFY(w.startRecording(db));
    for (int r = 0; r < reports; ++r) {
        QList<Point> list;
        for (int p = 0; p < 100; ++p)
            list.append(Point{QStringLiteral("point %1").arg(p), r * 1000 + p});
        now += 1000;
        w.onDataReceived(report("A", "P1", list));
    }
}
} // namespace

void TstMonitoring::exportFailureIsTold_data()
{
    // What the message says when exporting to a new file and over an earlier export.
    QTest::addColumn<bool>("fillFirst");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QStringList>("reasons");
    const QString cutShort = QStringLiteral("the file could not be written completely; the disk may be full");
    const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
    QTest::newRow("disk fills up while exporting") << false << false << QStringList{cutShort, cutShort};
    QTest::newRow("disk already full") << true << false << QStringList{full, full};
    QTest::newRow("read-only place") << false << true
                                     << QStringList{QString::fromLocal8Bit(std::strerror(EROFS)),
                                                    QStringLiteral("is not writable")};
}

void TstMonitoring::exportFailureIsTold()
{
    QFETCH(bool, fillFirst);
    QFETCH(bool, readOnly);
    QFETCH(QStringList, reasons);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
    const QString out = dir.filePath(QStringLiteral("out"));
    SmallDisk::Tmpfs disk(out, 64 * 1024);
    SMALLDISK_REQUIRE(disk);

    qint64 now = 1'700'000'000'000;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    recordSome(w, dir.filePath(QStringLiteral("rec.sqlite")), now, 20); // about 150 KB of CSV

    // An earlier export of that name stays as it was.
    const QString csv = out + QStringLiteral("/export.csv");
    const QString fresh = out + QStringLiteral("/fresh.csv");
    const QByteArray previous("an earlier export\r\n");
    {
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(previous), qint64(previous.size()));
    }
    if (fillFirst)
        QVERIFY(disk.fill(QStringLiteral("filler")) > 0);
    if (readOnly)
        QVERIFY(disk.makeReadOnly());

    ModalAnswer::Scoped answer;
    QVERIFY(!w.exportRecording(0, now, fresh));
    QVERIFY(!w.exportRecording(0, now, csv));
    QCOMPARE(answer.seen().size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QString seen = answer.seen().at(i);
        QVERIFY2(seen.startsWith(QStringLiteral("Export CSV|The recording could not be exported: "))
                     && seen.contains(reasons.at(i)),
                 qPrintable(seen));
    }
    QVERIFY(!w.messageEditor()->toPlainText().contains(QStringLiteral("Recording exported")));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), previous);
    QStringList expectedFiles{QStringLiteral("export.csv")}; // nor a new one, nor a temporary
    if (fillFirst)
        expectedFiles << QStringLiteral("filler");
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name), expectedFiles);
}

void TstMonitoring::exportFromReadOnlyRecording()
{
    // A finished recording on a read-only medium: SQLite cannot add the files it usually reads a
    // WAL database with, and the export reads it all the same.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("rec")));
    const QString rec = dir.filePath(QStringLiteral("rec"));
    SmallDisk::Tmpfs disk(rec, 4 * 1024 * 1024);
    SMALLDISK_REQUIRE(disk);
    qint64 now = 1'700'000'000'000;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    recordSome(w, rec + QStringLiteral("/rec.sqlite"), now, 3);
    w.stopRecording();
    QVERIFY(disk.makeReadOnly());

    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    ModalAnswer::Scoped answer;
    QVERIFY(w.exportRecording(0, now, csv));
    QCOMPARE(answer.seen(), QStringList());
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + 300 + 1);
    QVERIFY(lines.at(300).contains(",SN1,A,P1,point 99,40001,2099,1"));
}

void TstMonitoring::exportKeepsFormulasInert_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("exported"); // name,address,value,validity as in the file
    QTest::newRow("=") << "=1+2" << QJsonValue(1.5) << "'=1+2,40001,1.5,1";
    QTest::newRow("+") << "+A1" << QJsonValue(-12.5) << "'+A1,40001,-12.5,1";
    QTest::newRow("-") << "-A1*3" << QJsonValue(2) << "'-A1*3,40001,2,1";
    QTest::newRow("@") << "@SUM(A1)" << QJsonValue(2) << "'@SUM(A1),40001,2,1";
    QTest::newRow("quoted") << "=HYPERLINK(\"http://x\",\"y\")" << QJsonValue(2)
                            << "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",40001,2,1";
    QTest::newRow("text value") << "Status" << QJsonValue("=cmd|' /C calc'!A0") << "Status,40001,'=cmd|' /C calc'!A0,1";
    QTest::newRow("negative text number") << "-" << QJsonValue("-3") << "'-,40001,-3,1";
    QTest::newRow("plain") << "Flow rate" << QJsonValue("a-b") << "Flow rate,40001,a-b,1";
}

void TstMonitoring::exportKeepsFormulasInert()
{
    QFETCH(QString, name);
    QFETCH(QJsonValue, value);
    QFETCH(QString, exported);
    QTemporaryDir dir;
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    QVERIFY(w.startRecording(dir.filePath(QStringLiteral("rec.sqlite"))));
    w.onDataReceived(report("A", "P1", {Point{name, value}}));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY(w.exportRecording(0, std::numeric_limits<qint64>::max(), csv));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(1).endsWith(",SN1,A,P1," + exported.toUtf8() + '\r'), lines.at(1).constData());
}

namespace {
// Answers the export's range dialog with [from, to] and every message box with `answer`, and
// cancels any file dialog; notes each message box ("title|text") and file dialog it saw.
class ExportAnswers
{
public:
    ExportAnswers(const QDateTime &from, const QDateTime &to, QMessageBox::StandardButton answer)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, from, to, answer] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                m_seen << box->windowTitle() + QLatin1Char('|') + box->text();
                ModalAnswer::close(box, answer);
            } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
                m_seen << QStringLiteral("file dialog");
                files->reject();
            } else if (auto *range = qobject_cast<QDialog *>(modal)) {
                auto *fromEdit = range->findChild<QDateTimeEdit *>(QStringLiteral("exportFrom"));
                auto *toEdit = range->findChild<QDateTimeEdit *>(QStringLiteral("exportTo"));
                if (fromEdit && toEdit) {
                    fromEdit->setDateTime(from);
                    toEdit->setDateTime(to);
                    range->accept();
                }
            }
        });
        m_timer.start();
    }
    QStringList seen() const { return m_seen; }

private:
    QTimer m_timer;
    QStringList m_seen;
};
} // namespace

void TstMonitoring::exportRangeBeforeRecording_data()
{
    // Five reports of 100 points, received 1 s to 5 s after `base`; the range in seconds from
    // base, the answer to a question, what the boxes said and how many rows were exported
    // (-1: no file).
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("seen");
    QTest::addColumn<int>("rows");
    const auto at = [](qint64 s) {
        return QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + s * 1000).toString("yyyy-MM-dd HH:mm:ss");
    };
    const QString question = QStringLiteral("Export CSV|The recording begins at %1, after the start of the chosen "
                                            "range. Export the recorded range from %1 to %2?");
    QTest::newRow("begins before: the recorded range is exported")
        << qint64(-3600) << qint64(4) << int(QMessageBox::Yes) << QStringList{question.arg(at(1), at(4))} << 400;
    QTest::newRow("begins before: cancelled")
        << qint64(-3600) << qint64(10) << int(QMessageBox::Cancel) << QStringList{question.arg(at(1), at(5))} << -1;
    QTest::newRow("nothing recorded in it")
        << qint64(10) << qint64(20) << int(QMessageBox::Yes)
        << QStringList{QStringLiteral("Export CSV|The recording could not be exported: nothing was recorded between "
                                      "%1 and %2; the recording holds %3 to %4")
                           .arg(at(10), at(20), at(1), at(5))}
        << -1;
    QTest::newRow("within the recording") << qint64(2) << qint64(3) << int(QMessageBox::Yes) << QStringList() << 200;
}

void TstMonitoring::exportRangeBeforeRecording()
{
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(int, answer);
    QFETCH(QStringList, seen);
    QFETCH(int, rows);
    constexpr qint64 base = 1'700'000'000'000;
    QTemporaryDir dir;
    qint64 now = base;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    recordSome(w, dir.filePath(QStringLiteral("rec.sqlite")), now, 5);

    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    if (rows >= 0)
        FileDialogs::setNextAnswerForTesting(csv);
    auto *exportAction = w.findChild<QAction *>(QStringLiteral("exportCsvAction"));
    QVERIFY(exportAction);
    {
        ExportAnswers answers(QDateTime::fromMSecsSinceEpoch(base + from * 1000),
                              QDateTime::fromMSecsSinceEpoch(base + to * 1000),
                              QMessageBox::StandardButton(answer));
        exportAction->trigger();
        QCOMPARE(answers.seen(), seen);
    }
    QFile file(csv);
    QCOMPARE(file.exists(), rows >= 0);
    if (rows < 0)
        return;
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + rows + 1);
    const QByteArray firstReceived =
        QDateTime::fromMSecsSinceEpoch(base + qMax<qint64>(from, 1) * 1000).toString(Qt::ISODateWithMs).toUtf8();
    QVERIFY2(lines.at(1).startsWith(firstReceived), lines.at(1).constData());
}

void TstMonitoring::firstReportFilesSecondShows()
{
    CMainWindow w;
    QStandardItem *project = addProject(w, QStringLiteral("A"), false);
    const int tabsBefore = w.monitoringTabs()->count();

    w.onDataReceived(report(QStringLiteral("A"), QStringLiteral("P1"), points({"t1", "t2"})));

    QStandardItem *folder = childWithText(project, Folder::Data);
    QVERIFY2(folder, "the missing Data folder is created");
    QCOMPARE(project->child(project->rowCount() - 1), folder);
    QStandardItem *item = childWithText(folder, QStringLiteral("P1"));
    QVERIFY(item);
    QCOMPARE(item->data(Role::DataDisplay).toString(), QStringLiteral("NoDisplay"));
    const QVariantList rows = item->data(Role::DataRows).toList();
    QCOMPARE(rows.size(), 2);
    const QVariantMap first = rows.first().toMap();
    QCOMPARE(first.value("name").toString(), QStringLiteral("t1"));
    QCOMPARE(first.value("value").toString(), QStringLiteral("1.5"));
    QCOMPARE(QDateTime::fromString(first.value("updateTime").toString(), "yyyy-MM-dd HH:mm:ss").isValid(), true);
    QCOMPARE(w.monitoringTabs()->count(), tabsBefore);
    QVERIFY(!tableOf(w, QStringLiteral("P1")));

    w.onDataReceived(report(QStringLiteral("A"), QStringLiteral("P1"), points({"t1", "t2", "t3"}, "2.5")));

    QCOMPARE(folder->rowCount(), 1);
    QTableWidget *t = tableOf(w, QStringLiteral("P1"));
    QVERIFY2(t, "the second report shows the table");
    QCOMPARE(t->columnCount(), 6);
    QStringList headers;
    for (int c = 0; c < 6; ++c)
        headers << t->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, QStringList({"Name", "Addr", "DataType", "Value", "Valid", "Update Time"}));
    QCOMPARE(t->rowCount(), 3);
    QCOMPARE(column(t, 3), QStringList({"2.5", "2.5", "2.5"}));
    // One receive time for the whole report, never the box's own "time".
    const QStringList times = column(t, 5);
    QCOMPARE(QSet<QString>(times.begin(), times.end()).size(), 1);
    QVERIFY(times.first() != QStringLiteral("1999-01-01 00:00:00"));
    QCOMPARE(item->data(Role::DataRows).toList().size(), 3);
    QVERIFY(!w.monitoringTabs()->tabsClosable());
    QVERIFY(t->columnWidth(5) >= t->fontMetrics().horizontalAdvance(times.first()));
}

void TstMonitoring::reportForProjectNotOpen()
{
    CMainWindow w;
    QStandardItem *project = addProject(w, QStringLiteral("A"), true);
    const int tabs = w.monitoringTabs()->count();
    for (int i = 0; i < 2; ++i) {
        w.onDataReceived(report(QStringLiteral("B"), QStringLiteral("P1"), points({"t1"})));
        w.onDataReceived(report(QStringLiteral("a"), QStringLiteral("P1"), points({"t1"})));
    }
    QCOMPARE(childWithText(project, Folder::Data)->rowCount(), 0);
    QCOMPARE(w.projectModel()->rowCount(), 1);
    QCOMPARE(w.monitoringTabs()->count(), tabs);
}

void TstMonitoring::lastDataItemOfANameWins()
{
    CMainWindow w;
    QStandardItem *project = addProject(w, QStringLiteral("A"), true);
    QStandardItem *folder = childWithText(project, Folder::Data);
    auto *older = new QStandardItem(QStringLiteral("P1"));
    auto *newer = new QStandardItem(QStringLiteral("P1"));
    folder->appendRow(older);
    folder->appendRow(newer);

    w.onDataReceived(report(QStringLiteral("A"), QStringLiteral("P1"), points({"t1"})));

    QCOMPARE(folder->rowCount(), 2);
    QVERIFY(!older->data(Role::DataRows).isValid());
    QCOMPARE(newer->data(Role::DataRows).toList().size(), 1);
    QVERIFY(tableOf(w, QStringLiteral("P1")));
}

void TstMonitoring::validityWords_data()
{
    QTest::addColumn<QJsonValue>("valid");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("validText");
    QTest::addColumn<QString>("valueText");

    QTest::newRow("valid") << QJsonValue("1") << QJsonValue("3.5") << "Effective" << "3.5";
    QTest::newRow("invalid") << QJsonValue("0") << QJsonValue("3.5") << "Invalid" << "3.5";
    QTest::newRow("other code") << QJsonValue("2") << QJsonValue("3.5") << "Unknown" << "3.5";
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << QJsonValue("3.5") << "Unknown" << "3.5";
    QTest::newRow("number 1") << QJsonValue(1) << QJsonValue("3.5") << "Unknown" << "3.5";
    QTest::newRow("numeric value") << QJsonValue("1") << QJsonValue(3.5) << "Effective" << "";
}

void TstMonitoring::validityWords()
{
    QFETCH(QJsonValue, valid);
    QFETCH(QJsonValue, value);
    QFETCH(QString, validText);
    QFETCH(QString, valueText);

    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    const QList<Point> pts{Point{"p", value, valid}};
    w.onDataReceived(report("A", "P1", pts));
    w.onDataReceived(report("A", "P1", pts));

    QTableWidget *t = tableOf(w, "P1");
    QVERIFY(t);
    QCOMPARE(t->rowCount(), 1);
    QCOMPARE(t->item(0, 4)->text(), validText);
    QCOMPARE(t->item(0, 3)->text(), valueText);
}

void TstMonitoring::vanishedPointIsRemoved()
{
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    w.onDataReceived(report("A", "P1", points({"a", "b", "c", "d", "e"})));
    w.onDataReceived(report("A", "P1", points({"a", "b", "c", "d", "e"})));
    // Two neighbours and a lone one vanish; the rest keep their rows.
    w.onDataReceived(report("A", "P1", points({"a", "d"}, "9")));

    QTableWidget *t = tableOf(w, "P1");
    QCOMPARE(t->rowCount(), 2);
    QStringList names = column(t, 0);
    names.sort();
    QCOMPARE(names, QStringList({"a", "d"}));
    QCOMPARE(column(t, 3), QStringList({"9", "9"}));
}

void TstMonitoring::emptyReportEmptiesTable()
{
    CMainWindow w;
    QStandardItem *project = addProject(w, QStringLiteral("A"), true);
    w.onDataReceived(report("A", "P1", points({"a", "b"})));
    w.onDataReceived(report("A", "P1", points({"a", "b"})));
    w.onDataReceived(report("A", "P1", {}));

    QCOMPARE(tableOf(w, "P1")->rowCount(), 0);
    QCOMPARE(childWithText(childWithText(project, Folder::Data), "P1")->data(Role::DataRows).toList().size(), 0);
}

void TstMonitoring::newPointFollowsCurrentSort()
{
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    w.onDataReceived(report("A", "P1", points({"k1", "k3", "k5"})));
    w.onDataReceived(report("A", "P1", points({"k1", "k3", "k5"})));
    QTableWidget *t = tableOf(w, "P1");
    t->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    QCOMPARE(column(t, 0), QStringList({"k1", "k3", "k5"}));

    QList<Point> next = points({"k5", "k1", "k3"});
    next.insert(1, Point{"k4", QStringLiteral("7.25"), QStringLiteral("0"), QStringLiteral("40099")});
    next.append(Point{"k2", QStringLiteral("8.5"), QStringLiteral("1"), QStringLiteral("40100")});
    w.onDataReceived(report("A", "P1", next));

    QCOMPARE(column(t, 0), QStringList({"k1", "k2", "k3", "k4", "k5"}));
    const int k4 = rowOfName(t, "k4");
    const QStringList cells = rowTexts(t, k4);
    QCOMPARE(cells.mid(0, 5), QStringList({"k4", "40099", "float", "7.25", "Invalid"}));
    QCOMPARE(cells.at(5), t->item(0, 5)->text());
    QCOMPARE(rowTexts(t, rowOfName(t, "k2")).mid(0, 5), QStringList({"k2", "40100", "float", "8.5", "Effective"}));

    // Sorted the other way by another column, the new order holds after the next report.
    t->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
    w.onDataReceived(report("A", "P1", next));
    QCOMPARE(column(t, 1), QStringList({"40100", "40099", "40001", "40001", "40001"}));
}

void TstMonitoring::updateIsInPlaceAndKeepsScroll()
{
    CMainWindow w;
    w.resize(1000, 700);
    w.show();
    addProject(w, QStringLiteral("A"), true);
    QStringList names;
    for (int i = 0; i < 300; ++i)
        names << QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0'));
    w.onDataReceived(report("A", "P1", points(names)));
    w.onDataReceived(report("A", "P1", points(names)));
    QTableWidget *t = tableOf(w, "P1");
    w.monitoringTabs()->setCurrentWidget(t->parentWidget());
    QApplication::processEvents();
    t->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
    QVERIFY(t->verticalScrollBar()->maximum() > 100);
    t->verticalScrollBar()->setValue(100);
    QTableWidgetItem *cellBefore = t->item(rowOfName(t, "n150"), 3);

    names.removeOne("n010");
    names << "n999";
    w.onDataReceived(report("A", "P1", points(names, "4")));

    QCOMPARE(t->verticalScrollBar()->value(), 100);
    QCOMPARE(t->rowCount(), 300);
    QCOMPARE(t->item(0, 0)->text(), QStringLiteral("n999"));
    QCOMPARE(t->item(rowOfName(t, "n150"), 3), cellBefore);
    QCOMPARE(cellBefore->text(), QStringLiteral("4"));
}

void TstMonitoring::trendKeepsBoundedHistoryWithGaps()
{
    qint64 now = 1'700'000'000'000;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    w.onDataReceived(report("A", "P1", points({"t"})));
    TrendChart *chart = w.showTrend("P1", "t");
    QVERIFY(chart);
    chart->setMinutes(24 * 60);
    // 20,000 reports 10 ms apart: every 1000th invalid, every 1000th (offset) not a number.
    for (int i = 0; i < 20000; ++i) {
        now += 10;
        QList<Point> list{Point{"t", 5 + i % 3}};
        if (i % 1000 == 1)
            list[0].valid = QStringLiteral("0");
        if (i % 1000 == 501)
            list[0].value = QStringLiteral("n/a");
        chart->appendReport(now, {{"t", 0}}, [&] {
            QJsonArray a;
            a.append(QJsonObject{{"name", "t"}, {"value", list[0].value}, {"valid", list[0].valid}});
            return a;
        }());
    }
    const SampleRing *ring = chart->ring("t");
    QCOMPARE(ring->size(), 10000);
    QCOMPARE(ring->at(0).ms, 1'700'000'000'000 + 10 * 10001);
    const auto runs = chart->drawnRuns("t");
    QCOMPARE(runs.size(), 21); // the 20 gaps of the kept half cut it into 21 runs
    int drawn = 0;
    for (const QVector<QPointF> &run : runs) {
        drawn += run.size();
        for (const QPointF &p : run)
            QVERIFY2(p.y() >= 5 && p.y() <= 7, "a gap never draws as a value");
    }
    QVERIFY2(drawn < 4 * 1000, "thinned to a few points per pixel");
    QVERIFY(drawn > 21 * 2);
    QCOMPARE(chart->valueAxis("t")->min(), 5.0);
    QCOMPARE(chart->valueAxis("t")->max(), 7.0);
    chart->close();
}

void TstMonitoring::trendDrawsGapsOnScreen()
{
    // A minute of samples 100 ms apart whose middle third is invalid, drawn 800 px wide: the
    // line's colour is in every pixel column of the outer thirds and in none of the middle.
    const qint64 t0 = 1'700'000'000'000;
    qint64 now = t0 + 599 * 100;
    TrendChart chart(QStringLiteral("P1"), [&now] { return now; });
    chart.setAttribute(Qt::WA_DeleteOnClose, false);
    chart.addPoint(QStringLiteral("t"));
    chart.setMinutes(1);
    for (int i = 0; i < 600; ++i) {
        QJsonArray a;
        a.append(QJsonObject{{"name", "t"}, {"value", "5"}, {"valid", i >= 200 && i < 400 ? "0" : "1"}});
        chart.appendSamples(t0 + i * 100, {{"t", 0}}, a);
    }
    chart.resize(800, 450);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    auto *view = chart.findChild<QtCharts::QChartView *>();
    QVERIFY(view);
    // Let the chart lay itself out; the paths follow its plot area.
    QTRY_VERIFY(view->chart()->plotArea().width() > 500);
    QApplication::processEvents();
    QCOMPARE(chart.drawnRuns("t").size(), 2);

    const QImage image = view->grab().toImage();
    const QRect plot = view->mapFromScene(view->chart()->mapToScene(view->chart()->plotArea()))
                           .boundingRect()
                           .adjusted(2, 2, -2, -2);
    const QRgb colour = chart.valueAxis("t")->labelsColor().rgb();
    const auto columnHasLine = [&](int x) {
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            if (image.pixel(x, y) == colour)
                return true;
        return false;
    };
    for (double f = 0.02; f < 0.98; f += 0.01) {
        const int x = plot.left() + int(f * plot.width());
        const bool inGap = f > 1.0 / 3 && f < 2.0 / 3;
        if (qAbs(f - 1.0 / 3) < 0.02 || qAbs(f - 2.0 / 3) < 0.02)
            continue; // the edges of the gap fall between samples
        QVERIFY2(columnHasLine(x) != inGap, qPrintable(QStringLiteral("column at %1 of the width").arg(f)));
    }
}

void TstMonitoring::trendOpensFromTheTable()
{
    qint64 now = 1'700'000'000'000;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    QStandardItem *project = addProject(w, QStringLiteral("A"), true);
    QList<Point> list{Point{"small", 1.5}, Point{"big", 25000}, Point{"alike", 2}};
    w.onDataReceived(report("A", "P1", list));
    w.onDataReceived(report("A", "P1", list));
    QTableWidget *t = tableOf(w, "P1");
    emit t->cellDoubleClicked(rowOfName(t, "small"), 3);
    emit t->cellDoubleClicked(rowOfName(t, "big"), 0);
    emit t->cellDoubleClicked(rowOfName(t, "alike"), 1);
    QPointer<TrendChart> chart = w.findChild<TrendChart *>();
    QVERIFY(chart);
    QCOMPARE(w.findChildren<TrendChart *>().size(), 1);
    QCOMPARE(chart->pointNames(), QStringList({"small", "big", "alike"}));
    QCOMPARE(chart->minutes(), 10);
    QVERIFY(chart->valueAxis("small") != chart->valueAxis("big"));

    for (int i = 0; i < 3; ++i) {
        now += 1000;
        list[1].value = 25000 + i;
        w.onDataReceived(report("A", "P1", list));
    }
    QCOMPARE(chart->ring("small")->size(), 2 + 3); // the two reports before it opened, and three
    QCOMPARE(chart->valueAxis("big")->max(), 25002.0);
    QVERIFY(chart->valueAxis("small")->max() < 10);
    // Alike ranges share a visible axis named after both; apart, each has its own again.
    QCOMPARE(chart->valueAxis("alike"), chart->valueAxis("small"));
    QVERIFY(chart->valueAxis("small")->isVisible());
    QCOMPARE(chart->valueAxis("small")->titleText(), QStringLiteral("small, alike"));
    now += 1000;
    list[2].value = 40;
    w.onDataReceived(report("A", "P1", list));
    QVERIFY(chart->valueAxis("alike") != chart->valueAxis("small"));
    QVERIFY(chart->valueAxis("alike") != chart->valueAxis("big"));
    QCOMPARE(chart->valueAxis("small")->titleText(), QStringLiteral("small"));
    QVERIFY(chart->valueAxis("alike")->isVisible());
    QCOMPARE(chart->valueAxis("alike")->max(), 40.0);

    // The chart goes with the project that fed its device.
    w.projectModel()->removeRow(project->row());
    QTRY_VERIFY(!chart);
}

void TstMonitoring::trendStartsWithKeptSamplesAndFollowsThem()
{
    const qint64 first = 1'700'000'000'000;
    qint64 now = first;
    CMainWindow::setMonitoringClockForTesting([&now] { return now; });
    CMainWindow w;
    QStandardItem *project = addProject(w, QStringLiteral("A"), true);
    // Reports every 5 s: the line breaks after more than 15 s without one.
    auto *device = new QStandardItem(QStringLiteral("P1"));
    device->setData(QStringLiteral("5000"), Role::CollectionInterval);
    childWithText(project, Folder::Standard)->appendRow(device);
    const auto reportAt = [&](qint64 ms) {
        now = ms;
        w.onDataReceived(report("A", "P1", points({"t"})));
    };
    for (int i = 0; i < 12; ++i)
        reportAt(first + i * 5000);

    // Opened a minute in: the minute so far, across the whole width.
    TrendChart *chart = w.showTrend("P1", "t");
    QVERIFY(chart);
    QCOMPARE(chart->ring("t")->size(), 12);
    QCOMPARE(chart->shownFromMs(), first);
    QCOMPARE(chart->shownToMs(), first + 55'000);
    QCOMPARE(chart->drawnRuns("t").size(), 1);

    // 15 s without a report keep the line whole, 16 s break it.
    reportAt(first + 70'000);
    QCOMPARE(chart->drawnRuns("t").size(), 1);
    reportAt(first + 86'000);
    QCOMPARE(chart->drawnRuns("t").size(), 2);
    QCOMPARE(chart->drawnRuns("t").last().size(), 1);

    // Growing until ten minutes are shown, then sliding.
    for (qint64 ms = first + 90'000; ms <= first + 720'000; ms += 5000) {
        reportAt(ms);
        QCOMPARE(chart->shownFromMs(), qMax(first, ms - 600'000));
        QCOMPARE(chart->shownToMs(), ms);
    }
    chart->close();
}

void TstMonitoring::trendCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape in the minutes box") << "escape spin box";
    QTest::newRow("Escape on the chart") << "escape chart view";
    QTest::newRow("close button") << "button";
}

void TstMonitoring::trendCloses()
{
    QFETCH(QString, how);
    CMainWindow w;
    addProject(w, QStringLiteral("A"), true);
    QPointer<TrendChart> chart = w.showTrend("P1", "t");
    QVERIFY(chart);
    QVERIFY(QTest::qWaitForWindowExposed(chart));
    if (how == QLatin1String("button")) {
        auto *button = chart->findChild<QPushButton *>(QStringLiteral("closeButton"));
        QVERIFY(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        QWidget *target = how.endsWith(QLatin1String("spin box"))
                              ? static_cast<QWidget *>(chart->findChild<QSpinBox *>())
                              : chart->findChild<QtCharts::QChartView *>();
        QVERIFY(target);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
    }
    QTRY_VERIFY(!chart);
}

QTEST_MAIN(TstMonitoring)
#include "tst_monitoring.moc"
