#include "monitoring/MonitoringRecorder.h"

#include "devices/PointCsv.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QFile>
#include <QJsonObject>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QVariantList>

#include <memory>

namespace {
QAtomicInt g_connectionSerial;

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

} // namespace

MonitoringRecorder::MonitoringRecorder() : m_connection(nextConnectionName()) {}

MonitoringRecorder::~MonitoringRecorder()
{
    close();
}

bool MonitoringRecorder::open(const QString &path)
{
    close();
    m_path = path;
    m_error.clear();
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
            m_error = QStringLiteral("a recording of an older layout; choose a new file");
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
            if (m_error.isEmpty())
                m_error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
            if (m_error.trimmed().isEmpty())
                m_error = QStringLiteral("not a database in WAL mode");
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
                m_error = m_insertReport->lastError().isValid() ? m_insertReport->lastError().text()
                                                                : m_insertPoint->lastError().text();
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

void MonitoringRecorder::close()
{
    m_insertReport.reset();
    m_insertPoint.reset();
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_open = false;
}

bool MonitoringRecorder::record(const QString &box, const QString &project, const QString &device,
                                const QString &reportTime, qint64 receivedMs, const QJsonArray &points)
{
    if (!m_open) {
        m_error = QStringLiteral("not open");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return false;
    }
    QSqlQuery &reportRow = *m_insertReport;
    QSqlQuery &pointRow = *m_insertPoint;
    reportRow.bindValue(0, box);
    reportRow.bindValue(1, project);
    reportRow.bindValue(2, device);
    reportRow.bindValue(3, receivedMs);
    reportRow.bindValue(4, reportTime);
    bool ok = reportRow.exec();
    QSqlQuery *failed = ok ? &pointRow : &reportRow;
    const QVariant reportId = ok ? reportRow.lastInsertId() : QVariant();
    reportRow.finish();
    ok = ok && reportId.isValid();
    if (ok)
        pointRow.bindValue(0, reportId);
    for (const QJsonValue &entry : points) {
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
    pointRow.finish();
    if (ok)
        ok = db.commit();
    if (!ok) {
        m_error = failed->lastError().isValid() ? failed->lastError().text() : db.lastError().text();
        db.rollback();
    }
    return ok;
}

bool MonitoringRecorder::exportCsv(const QString &dbPath, qint64 fromMs, qint64 toMs,
                                   const QString &csvPath, QString *error)
{
    const QString connection = nextConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(dbPath);
        QSaveFile file(csvPath);
        if (!QFile::exists(dbPath) || !db.open()) {
            if (error)
                *error = QFile::exists(dbPath) ? db.lastError().text() : QStringLiteral("no such file");
        } else if (!file.open(QIODevice::WriteOnly)) {
            if (error)
                *error = file.errorString();
        } else {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.prepare(QStringLiteral("SELECT r.received_ms, r.report_time, r.box, r.project, r.device, p.name, "
                                     "p.address, p.value, p.validity FROM reports r "
                                     "JOIN report_points p ON p.report = r.id "
                                     "WHERE r.received_ms BETWEEN ? AND ? ORDER BY r.received_ms, p.rowid"));
            q.addBindValue(fromMs);
            q.addBindValue(toMs);
            if (!q.exec()) {
                if (error)
                    *error = q.lastError().text();
            } else {
                QTextStream out(&file);
                out.setCodec("UTF-8");
                out << "received,report time,box,project,device,name,address,value,validity\r\n";
                while (q.next()) {
                    out << QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong())
                               .toString(Qt::ISODateWithMs);
                    for (int c = 1; c < 9; ++c)
                        out << ',' << PointCsv::quoteField(q.value(c).toString());
                    out << "\r\n";
                }
                out.flush();
                ok = file.commit();
                if (!ok && error)
                    *error = file.errorString();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}
