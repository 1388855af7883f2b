#include "core/monitoring/MonitoringRecorder.h"

#include "core/project/PointCsv.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDebug>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QUrl>
#include <QVariantList>

#include <functional>
#include <memory>

namespace {
QAtomicInt g_connectionSerial;

// SQLite's primary result codes for "another connection holds the lock".
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteCantOpen = 14;

QString nextConnectionName()
{
    return QStringLiteral("monitoring-recorder-%1").arg(g_connectionSerial.fetchAndAddRelaxed(1));
}

// A value as text: numbers keep their shortest exact form, strings stay as sent.
QString valueText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QString();
    }
}

// A spreadsheet runs a cell that begins with one of these as a formula: such a text gets a
// leading apostrophe, which the spreadsheet shows as plain text. Numbers ("-12.5") stay.
QString inertField(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStarts.contains(text.front())) {
        bool number = false;
        text.toDouble(&number);
        if (!number)
            return PointCsv::quoteField(QLatin1Char('\'') + text);
    }
    return PointCsv::quoteField(text);
}

// Writes the query's rows to csvPath; the reason when not every byte reached the file.
QString writeCsv(QSqlQuery &q, const QString &csvPath)
{
    QSaveFile file(csvPath);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << "received,report time,box,project,device,name,address,value,validity\r\n";
    while (q.next() && out.status() == QTextStream::Ok) {
        out << QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong()).toString(Qt::ISODateWithMs);
        for (int c = 1; c < 9; ++c)
            out << ',' << inertField(q.value(c).toString());
        out << "\r\n";
    }
    out.flush();
    // commit() alone would not see a failed last flush of the file's own buffer.
    if (out.status() != QTextStream::Ok || !file.flush() || file.error() != QFileDevice::NoError) {
        // A write cut short by a full disk names no reason, only the placeholder that a device
        // without any error gives too.
        QString reason = file.errorString();
        if (reason.isEmpty() || reason == QFile().errorString())
            reason = MonitoringRecorder::statusText(MonitoringRecorder::Status::WriteIncomplete);
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

// A statement's failure. *cannotOpen (when given) tells SQLite's "unable to open", which it
// reports only when the first statement runs.
QString statementFailure(const QSqlQuery &q, bool *cannotOpen)
{
    if (cannotOpen)
        *cannotOpen = (q.lastError().nativeErrorCode().toInt() & 0xff) == kSqliteCantOpen;
    return q.lastError().text();
}

// Runs `read` with a forward-only query on the database `name`, opened with `options`; the
// reason when that failed.
using Reader = std::function<QString(QSqlQuery &q, bool *cannotOpen)>;
QString readFrom(const QString &name, const QString &options, const Reader &read, bool *cannotOpen)
{
    const QString connection = nextConnectionName();
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setConnectOptions(options);
        db.setDatabaseName(name);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!db.open())
            problem = db.lastError().text();
        else
            problem = read(q, cannotOpen);
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return problem;
}

// Runs `read` on the recording at dbPath without changing it; the reason when that failed.
QString readRecording(const QString &dbPath, const Reader &read)
{
    if (!QFile::exists(dbPath))
        return MonitoringRecorder::statusText(MonitoringRecorder::Status::NoSuchFile);
    bool cannotOpen = false;
    QString problem = readFrom(dbPath, QStringLiteral("QSQLITE_OPEN_READONLY"), read, &cannotOpen);
    // A recording in a read-only place: SQLite cannot make the shared-memory file it reads a
    // WAL database with, but nothing can change the file there either.
    if (cannotOpen)
        problem = readFrom(QUrl::fromLocalFile(QFileInfo(dbPath).absoluteFilePath()).toString()
                               + QStringLiteral("?immutable=1"),
                           QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"), read, nullptr);
    return problem;
}

} // namespace

MonitoringRecorder::MonitoringRecorder() : m_connection(nextConnectionName()) {}

MonitoringRecorder::~MonitoringRecorder()
{
    close();
}

QString MonitoringRecorder::statusText(Status status)
{
    switch (status) {
    case Status::Ok:
    case Status::Other:
        break;
    case Status::NotOpen:
        return QCoreApplication::translate("MonitoringRecorder", "not open");
    case Status::OlderLayout:
        return QCoreApplication::translate("MonitoringRecorder", "a recording of an older layout; choose a new file");
    case Status::NotWalDatabase:
        return QCoreApplication::translate("MonitoringRecorder", "not a database in WAL mode");
    case Status::NoSuchFile:
        return QCoreApplication::translate("MonitoringRecorder", "no such file");
    case Status::LockedTooLong:
        return QCoreApplication::translate("MonitoringRecorder",
                                           "another program kept the database locked too long; the "
                                           "values waiting for it were dropped");
    case Status::WriteIncomplete:
        return QCoreApplication::translate("MonitoringRecorder",
                                           "the file could not be written completely; the disk may be full");
    }
    return QString();
}

QString MonitoringRecorder::errorText() const
{
    return m_status == Status::Other ? m_detail : statusText(m_status);
}

void MonitoringRecorder::fail(Status status, const QString &detail)
{
    m_status = status;
    m_detail = detail;
}

bool MonitoringRecorder::open(const QString &path)
{
    close();
    m_path = path;
    fail(Status::Ok);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        // A short wait: a locked file must not freeze the live view for long.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=500"));
        db.setDatabaseName(path);
        bool ok = db.open();
        QSqlQuery q(db);
        // Qt binds text as UTF-16: stored as such (a new file only), no value needs converting.
        ok = ok && q.exec(QStringLiteral("PRAGMA encoding = \"UTF-16le\""));
        ok = ok && q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && q.next()
             && q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
        ok = ok && q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        // An earlier layout kept everything in one table of that name: not written to any more.
        ok = ok && q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'samples'"));
        if (ok && q.next()) {
            ok = false;
            fail(Status::OlderLayout);
        }
        // What all points of a report share is stored once per report; the view shows one row
        // per point and report with every column, so readers need not know the split.
        ok = ok && q.exec(QStringLiteral(
                  "CREATE TABLE IF NOT EXISTS reports (id INTEGER PRIMARY KEY, box TEXT, project TEXT, "
                  "device TEXT, received_ms INTEGER, report_time TEXT)"));
        ok = ok && q.exec(QStringLiteral(
                  "CREATE TABLE IF NOT EXISTS report_points (report INTEGER REFERENCES reports(id), name TEXT, "
                  "address TEXT, value TEXT, validity TEXT)"));
        ok = ok && q.exec(QStringLiteral(
                  "CREATE VIEW IF NOT EXISTS samples AS SELECT r.box AS box, r.project AS project, "
                  "r.device AS device, p.name AS name, p.address AS address, p.value AS value, "
                  "p.validity AS validity, r.received_ms AS received_ms, r.report_time AS report_time "
                  "FROM report_points p JOIN reports r ON r.id = p.report"));
        if (!ok) {
            if (m_status == Status::Ok) {
                const QString text = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
                if (text.trimmed().isEmpty())
                    fail(Status::NotWalDatabase);
                else
                    fail(Status::Other, text);
            }
            q = QSqlQuery();
            db.close();
        }
        if (ok) {
            // Prepared once for the whole recording, not once per report.
            m_insertReport = std::make_unique<QSqlQuery>(db);
            m_insertPoint = std::make_unique<QSqlQuery>(db);
            ok = m_insertReport->prepare(QStringLiteral("INSERT INTO reports (box, project, device, "
                                                        "received_ms, report_time) VALUES (?,?,?,?,?)"))
                 && m_insertPoint->prepare(QStringLiteral("INSERT INTO report_points (report, name, address, "
                                                          "value, validity) VALUES (?,?,?,?,?)"));
            if (!ok) {
                fail(Status::Other, m_insertReport->lastError().isValid() ? m_insertReport->lastError().text()
                                                                          : m_insertPoint->lastError().text());
                m_insertReport.reset();
                m_insertPoint.reset();
                q = QSqlQuery();
                db.close();
            }
        }
        m_open = ok;
    }
    if (!m_open)
        QSqlDatabase::removeDatabase(m_connection);
    return m_open;
}

int MonitoringRecorder::close()
{
    // Values that waited for a lock get one more chance, unless the recording already failed.
    if (m_open && m_status == Status::Ok && !m_pending.empty())
        writePending();
    const int dropped = pendingReports();
    if (dropped > 0)
        qWarning() << "Recording closed with" << dropped << "reports not written to" << m_path << m_detail;
    m_pending.clear();
    m_pendingPoints = 0;
    m_insertReport.reset();
    m_insertPoint.reset();
    m_open = false;
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    return dropped;
}

bool MonitoringRecorder::record(const QString &box, const QString &project, const QString &device,
                                const QString &reportTime, qint64 receivedMs, const QJsonArray &points)
{
    if (!m_open) {
        fail(Status::NotOpen);
        return false;
    }
    m_pending.push_back(Report{box, project, device, reportTime, receivedMs, points});
    m_pendingPoints += points.size();
    return writePending();
}

bool MonitoringRecorder::writePending()
{
    while (!m_pending.empty()) {
        switch (write(m_pending.front())) {
        case Write::Done:
            m_pendingPoints -= m_pending.front().points.size();
            m_pending.pop_front();
            break;
        case Write::Failed:
            // Not a lock that passes: the recording ends, errorText() says why.
            m_pending.clear();
            m_pendingPoints = 0;
            return false;
        case Write::Busy:
            // The rest waits behind the oldest, so their order stays; at most one busy timeout
            // per report is spent on the GUI thread.
            if (m_pending.back().receivedMs - m_pending.front().receivedMs > BacklogMs
                || m_pendingPoints > MaxBacklogPoints) {
                qWarning() << "Recording dropped" << m_pending.size() << "reports waiting for" << m_path << m_detail;
                m_pending.clear();
                m_pendingPoints = 0;
                fail(Status::LockedTooLong, m_detail);
                return false;
            }
            return true;
        }
    }
    return true;
}

MonitoringRecorder::Write MonitoringRecorder::write(const Report &report)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // Another program holding the lock beyond the busy timeout: worth another try later.
    const auto outcome = [this](const QSqlError &error) {
        bool numeric = false;
        const int code = error.nativeErrorCode().toInt(&numeric) & 0xff;
        m_detail = error.text();
        if (numeric && (code == kSqliteBusy || code == kSqliteLocked))
            return Write::Busy;
        fail(Status::Other, error.text());
        return Write::Failed;
    };
    if (!db.transaction())
        return outcome(db.lastError());
    QSqlQuery &reportRow = *m_insertReport;
    QSqlQuery &pointRow = *m_insertPoint;
    reportRow.bindValue(0, report.box);
    reportRow.bindValue(1, report.project);
    reportRow.bindValue(2, report.device);
    reportRow.bindValue(3, report.receivedMs);
    reportRow.bindValue(4, report.reportTime);
    bool ok = reportRow.exec();
    QSqlQuery *failed = ok ? &pointRow : &reportRow;
    const QVariant reportId = ok ? reportRow.lastInsertId() : QVariant();
    const QSqlError reportError = reportRow.lastError();
    reportRow.finish();
    ok = ok && reportId.isValid();
    if (ok)
        pointRow.bindValue(0, reportId);
    for (const QJsonValue &entry : report.points) {
        if (!ok)
            break;
        if (!entry.isObject())
            continue;
        const QJsonObject point = entry.toObject();
        pointRow.bindValue(1, point.value(QLatin1String("name")).toString());
        pointRow.bindValue(2, point.value(QLatin1String("addr")).toString());
        pointRow.bindValue(3, valueText(point.value(QLatin1String("value"))));
        pointRow.bindValue(4, valueText(point.value(QLatin1String("valid"))));
        ok = pointRow.exec();
    }
    const QSqlError pointError = pointRow.lastError();
    pointRow.finish();
    if (ok && db.commit())
        return Write::Done;
    QSqlError error = failed == &reportRow ? reportError : pointError;
    if (!error.isValid())
        error = db.lastError();
    db.rollback();
    return outcome(error);
}

bool MonitoringRecorder::exportCsv(const QString &dbPath, qint64 fromMs, qint64 toMs,
                                   const QString &csvPath, QString *error)
{
    const QString problem = readRecording(dbPath, [&](QSqlQuery &q, bool *cannotOpen) {
        if (!q.prepare(QStringLiteral(
                "SELECT r.received_ms, r.report_time, r.box, r.project, r.device, p.name, "
                "p.address, p.value, p.validity FROM reports r JOIN report_points p ON p.report = r.id "
                "WHERE r.received_ms BETWEEN ? AND ? ORDER BY r.received_ms, p.rowid")))
            return statementFailure(q, cannotOpen);
        q.addBindValue(fromMs);
        q.addBindValue(toMs);
        if (!q.exec())
            return statementFailure(q, nullptr);
        return writeCsv(q, csvPath);
    });
    if (!problem.isEmpty() && error)
        *error = problem;
    return problem.isEmpty();
}

bool MonitoringRecorder::recorded(const QString &dbPath, qint64 fromMs, qint64 toMs, Recorded *out,
                                  QString *error)
{
    Recorded found;
    const QString problem = readRecording(dbPath, [&](QSqlQuery &q, bool *cannotOpen) {
        if (!q.prepare(QStringLiteral("SELECT COUNT(*), MIN(received_ms), MAX(received_ms), "
                                      "MAX(CASE WHEN received_ms BETWEEN ? AND ? THEN received_ms END) "
                                      "FROM reports")))
            return statementFailure(q, cannotOpen);
        q.addBindValue(fromMs);
        q.addBindValue(toMs);
        if (!q.exec() || !q.next())
            return statementFailure(q, nullptr);
        found.any = q.value(0).toLongLong() > 0;
        found.firstMs = q.value(1).toLongLong();
        found.lastMs = q.value(2).toLongLong();
        found.anyInRange = !q.value(3).isNull();
        found.lastInRangeMs = q.value(3).toLongLong();
        return QString();
    });
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    if (out)
        *out = found;
    return true;
}

MonitoringRecorder::ExportPlan MonitoringRecorder::planExport(qint64 fromMs, qint64 toMs, const Recorded &recorded)
{
    ExportPlan plan;
    plan.fromMs = fromMs;
    plan.toMs = toMs;
    plan.recordedFromMs = qMax(fromMs, recorded.firstMs);
    plan.recordedToMs = recorded.lastInRangeMs;
    if (toMs < fromMs)
        plan.scope = ExportScope::Reversed;
    else if (!recorded.any || !recorded.anyInRange)
        plan.scope = ExportScope::NothingRecorded;
    else if (fromMs < recorded.firstMs) {
        plan.scope = ExportScope::BeforeRecording;
        plan.fromMs = recorded.firstMs;
    }
    return plan;
}
