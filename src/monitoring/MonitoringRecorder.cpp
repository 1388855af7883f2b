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
        ok = ok && q.exec(QStringLiteral(
                  "CREATE TABLE IF NOT EXISTS samples (box TEXT, project TEXT, device TEXT, name TEXT, "
                  "address TEXT, value TEXT, validity TEXT, received_ms INTEGER, report_time TEXT)"));
        // No index on the receipt time: it would cost every report, the rare export can scan.
        if (!ok) {
            m_error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
            if (m_error.trimmed().isEmpty())
                m_error = QStringLiteral("not a database in WAL mode");
            q = QSqlQuery();
            db.close();
        }
        m_open = ok;
    }
    if (!m_open)
        QSqlDatabase::removeDatabase(m_connection);
    return m_open;
}

void MonitoringRecorder::close()
{
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
    const QString nameKey = QStringLiteral("name");
    const QString addrKey = QStringLiteral("addr");
    const QString valueKey = QStringLiteral("value");
    const QString validKey = QStringLiteral("valid");
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return false;
    }
    // One prepared single-row statement: the driver looks each placeholder up by position,
    // which grows with the placeholders of a statement, so many rows per statement cost more.
    QSqlQuery q(db);
    bool ok = q.prepare(QStringLiteral("INSERT INTO samples (box, project, device, name, address, value, "
                                       "validity, received_ms, report_time) VALUES (?,?,?,?,?,?,?,?,?)"));
    const QVariant boxValue(box), projectValue(project), deviceValue(device), receivedValue(receivedMs),
        reportTimeValue(reportTime);
    for (const QJsonValue &entry : points) {
        if (!ok)
            break;
        if (!entry.isObject())
            continue;
        const QJsonObject point = entry.toObject();
        q.bindValue(0, boxValue);
        q.bindValue(1, projectValue);
        q.bindValue(2, deviceValue);
        q.bindValue(3, point.value(nameKey).toString());
        q.bindValue(4, point.value(addrKey).toString());
        q.bindValue(5, valueText(point.value(valueKey)));
        q.bindValue(6, valueText(point.value(validKey)));
        q.bindValue(7, receivedValue);
        q.bindValue(8, reportTimeValue);
        ok = q.exec();
    }
    if (ok)
        ok = db.commit();
    if (!ok) {
        m_error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
        q = QSqlQuery();
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
            q.prepare(QStringLiteral("SELECT received_ms, report_time, box, project, device, name, address, "
                                     "value, validity FROM samples WHERE received_ms BETWEEN ? AND ? "
                                     "ORDER BY received_ms, rowid"));
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
