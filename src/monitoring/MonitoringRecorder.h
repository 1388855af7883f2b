#pragma once

// Records live reports into an SQLite file, one row per point and report, and exports a
// range of receipt times as CSV.

#include <QJsonArray>
#include <QString>

#include <memory>

class QSqlQuery;

class MonitoringRecorder
{
public:
    MonitoringRecorder();
    ~MonitoringRecorder();
    MonitoringRecorder(const MonitoringRecorder &) = delete;
    MonitoringRecorder &operator=(const MonitoringRecorder &) = delete;

    // Opens (creating when needed) the database file; false with errorText() on failure.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    QString errorText() const { return m_error; }

    // One transaction per report. False, with errorText(), when nothing of it was stored.
    bool record(const QString &box, const QString &project, const QString &device,
                const QString &reportTime, qint64 receivedMs, const QJsonArray &points);

    // Rows received within [fromMs, toMs] of the database at dbPath, oldest first, as
    // RFC 4180 CSV with a header line. False with *error on failure.
    static bool exportCsv(const QString &dbPath, qint64 fromMs, qint64 toMs, const QString &csvPath,
                          QString *error);

private:
    QString m_connection;
    QString m_path;
    QString m_error;
    bool m_open = false;
    std::unique_ptr<QSqlQuery> m_insertReport;
    std::unique_ptr<QSqlQuery> m_insertPoint;
};
