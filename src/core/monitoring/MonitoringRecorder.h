#pragma once

// Records live reports into an SQLite file, one row per point and report, and exports a
// range of receipt times as CSV.

#include <QJsonArray>
#include <QString>

#include <deque>
#include <memory>

class QSqlQuery;

class MonitoringRecorder
{
public:
    // What went wrong, told in this class's own words. `Other` carries the text that SQLite or
    // the file system gave (errorText()).
    enum class Status {
        Ok,
        Other,
        NotOpen,
        OlderLayout,
        NotWalDatabase,
        NoSuchFile,
        LockedTooLong,
        WriteIncomplete,
    };
    // The translated text of a status; empty for Ok and Other.
    static QString statusText(Status status);

    // A report that found the database locked waits this long (by receipt time) before the
    // recording gives up, and no more than this many points wait in all.
    static constexpr qint64 BacklogMs = 120'000;
    static constexpr int MaxBacklogPoints = 500'000;

    MonitoringRecorder();
    ~MonitoringRecorder();
    MonitoringRecorder(const MonitoringRecorder &) = delete;
    MonitoringRecorder &operator=(const MonitoringRecorder &) = delete;

    // Opens (creating when needed) the database file; false with errorText() on failure.
    bool open(const QString &path);
    // Makes one last attempt (at most one busy timeout long) at the reports still waiting and
    // returns how many of them could not be written.
    int close();
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    Status status() const { return m_status; }
    QString errorText() const;

    // One transaction per report. A report that finds the database locked by another program
    // waits and is written, in order, before the next one; true while it may still be written.
    // False, with errorText(), when the report cannot be stored: a database error, or reports
    // that have waited longer than the backlog allows. The reports waiting then are dropped.
    bool record(const QString &box, const QString &project, const QString &device,
                const QString &reportTime, qint64 receivedMs, const QJsonArray &points);
    // Reports received but not yet in the file (the database was locked).
    int pendingReports() const { return int(m_pending.size()); }

    // Rows received within [fromMs, toMs] of the database at dbPath, oldest first, as
    // RFC 4180 CSV with a header line; texts that a spreadsheet would run as a formula get a
    // leading apostrophe. False with *error when not every byte reached the file, which then
    // stays as it was.
    static bool exportCsv(const QString &dbPath, qint64 fromMs, qint64 toMs, const QString &csvPath,
                          QString *error);

    // What a recording holds, as far as an export of a range needs to know.
    struct Recorded {
        bool any = false; // at least one report
        qint64 firstMs = 0; // receipt times of its first and last report
        qint64 lastMs = 0;
        bool anyInRange = false; // a report received within the range asked about
        qint64 lastInRangeMs = 0; // the last of them
    };
    // What the database at dbPath holds for an export of [fromMs, toMs]; false with *error
    // when it cannot be read.
    static bool recorded(const QString &dbPath, qint64 fromMs, qint64 toMs, Recorded *out, QString *error);

    enum class ExportScope {
        AsAsked,
        BeforeRecording, // the range begins before the recording: offer its recorded part
        NothingRecorded, // no report was received within the range
        Reversed,        // the range ends before it begins
    };
    struct ExportPlan {
        ExportScope scope = ExportScope::AsAsked;
        qint64 fromMs = 0; // what to export when the answer is yes
        qint64 toMs = 0;
        qint64 recordedFromMs = 0; // the recorded part of the range, to name in the question
        qint64 recordedToMs = 0;
    };
    // How an export of [fromMs, toMs] goes with what is recorded: a range that begins before
    // the recording is not cut short silently, one without any report is not written empty.
    static ExportPlan planExport(qint64 fromMs, qint64 toMs, const Recorded &recorded);

private:
    struct Report
    {
        QString box;
        QString project;
        QString device;
        QString reportTime;
        qint64 receivedMs = 0;
        QJsonArray points;
    };
    enum class Write { Done, Busy, Failed };

    Write write(const Report &report);
    bool writePending();
    void fail(Status status, const QString &detail = QString());

    QString m_connection;
    QString m_path;
    QString m_detail;
    Status m_status = Status::Ok;
    bool m_open = false;
    std::unique_ptr<QSqlQuery> m_insertReport;
    std::unique_ptr<QSqlQuery> m_insertPoint;
    std::deque<Report> m_pending;
    int m_pendingPoints = 0;
};
