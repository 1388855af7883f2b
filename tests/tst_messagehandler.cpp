// The console handler and the log file.

#include "core/support/MessageHandler.h"
#include "core/support/WriteLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {
// Captures what the handler writes to one of the standard streams.
class StreamCapture
{
public:
    explicit StreamCapture(FILE *stream) : m_stream(stream), m_fd(fileno(stream))
    {
        m_file.open();
        std::fflush(m_stream);
        m_saved = dup(m_fd);
        dup2(m_file.handle(), m_fd);
    }
    ~StreamCapture() { restore(); }
    QByteArray take()
    {
        restore();
        QFile f(m_file.fileName());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(m_stream);
        dup2(m_saved, m_fd);
        close(m_saved);
        m_saved = -1;
    }
    FILE *m_stream;
    int m_fd;
    int m_saved = -1;
    QTemporaryFile m_file;
};
} // namespace

class TestMessageHandler : public QObject
{
    Q_OBJECT
private slots:
    void oneLinePerMessage_data();
    void oneLinePerMessage();
    void fatalPrintsAndAborts();
    void writeLogAppendsInOrder();
    void writeLogSilentWhenUnopenable();
    void logRotatesAtLimit();
    void logKeepsLineWhenRotationFails();
};

void TestMessageHandler::oneLinePerMessage_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("withContext");
    QTest::addColumn<bool>("toStdout");
    QTest::addColumn<QString>("expected");
    QTest::newRow("debug, context") << int(QtDebugMsg) << true << true
                                    << "Debug: hello (main.cpp:42, void f())\n";
    QTest::newRow("info, context") << int(QtInfoMsg) << true << true
                                   << "Info: hello (main.cpp:42, void f())\n";
    QTest::newRow("warning, context") << int(QtWarningMsg) << true << false
                                      << "Warning: hello (main.cpp:42, void f())\n";
    QTest::newRow("critical, context") << int(QtCriticalMsg) << true << false
                                       << "Critical: hello (main.cpp:42, void f())\n";
    QTest::newRow("debug, null context") << int(QtDebugMsg) << false << true
                                         << "Debug: hello ((null):0, (null))\n";
    QTest::newRow("warning, null context") << int(QtWarningMsg) << false << false
                                           << "Warning: hello ((null):0, (null))\n";
}

void TestMessageHandler::oneLinePerMessage()
{
    QFETCH(int, type);
    QFETCH(bool, withContext);
    QFETCH(bool, toStdout);
    QFETCH(QString, expected);

    QMessageLogContext context;
    if (withContext) {
        context.file = "main.cpp";
        context.line = 42;
        context.function = "void f()";
    }
    StreamCapture out(stdout);
    StreamCapture err(stderr);
    messageHandler(QtMsgType(type), context, QStringLiteral("hello"));
    const QByteArray errText = err.take();
    const QByteArray outText = out.take();
    QCOMPARE(QString::fromLocal8Bit(toStdout ? outText : errText), expected);
    QVERIFY((toStdout ? errText : outText).isEmpty());
}

void TestMessageHandler::fatalPrintsAndAborts()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--fatal-child")});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(QString::fromLocal8Bit(child.readAllStandardError()),
             QStringLiteral("Fatal: boom ((null):0, (null))\n"));
}

namespace {
// The log lives beside the executable, which other tests share: run a private copy.
QString privateCopy(const QTemporaryDir &dir)
{
    const QString copy = dir.filePath(QStringLiteral("logwriter"));
    QFile::copy(QCoreApplication::applicationFilePath(), copy);
    return copy;
}
} // namespace

void TestMessageHandler::writeLogAppendsInOrder()
{
    QTemporaryDir dir;
    const QString program = privateCopy(dir);
    const QString path = dir.filePath(QStringLiteral("ORVANELOG.log"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier line\n");
    old.close();

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QProcess child;
    child.start(program, {QStringLiteral("--writelog-child")});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitCode(), 0);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("earlier line"));
    QVERIFY(lines[3].isEmpty());
    const QRegularExpression form(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d): (.*)$"));
    const QStringList texts = {QStringLiteral("First: new-nuilt"), QStringLiteral("Second：save")};
    for (int i = 0; i < 2; ++i) {
        const auto match = form.match(lines[i + 1]);
        QVERIFY2(match.hasMatch(), qPrintable(lines[i + 1]));
        QCOMPARE(match.captured(2), texts[i]);
        const QDateTime stamp = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after);
    }
}

void TestMessageHandler::writeLogSilentWhenUnopenable()
{
    // A directory in the file's place cannot be opened for appending, even by root.
    QTemporaryDir dir;
    const QString program = privateCopy(dir);
    const QString path = dir.filePath(QStringLiteral("ORVANELOG.log"));
    QVERIFY(QDir().mkpath(path));
    QProcess child;
    child.start(program, {QStringLiteral("--writelog-child")});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(child.readAllStandardError().isEmpty());
    QVERIFY(child.readAllStandardOutput().isEmpty());
    QVERIFY(QFileInfo(path).isDir());
    QVERIFY(QDir(path).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

namespace {
QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(1 << 20) : QByteArray();
}
} // namespace

void TestMessageHandler::logRotatesAtLimit()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("ORVANELOG.log"));
    // A line is "yyyy-MM-dd HH:mm:ss: lineN\n", 28 bytes: two fit under 60, the third rotates.
    constexpr qint64 limit = 60;
    for (int i = 0; i < 12; ++i)
        QVERIFY(appendLogLine(log, QStringLiteral("line%1").arg(i, 2, 10, QLatin1Char('0')), limit));

    // 12 lines, two per file: the newest two in the log, then .1 to .3, the oldest dropped.
    const QStringList expected[] = {{"line10", "line11"}, {"line08", "line09"}, {"line06", "line07"},
                                    {"line04", "line05"}};
    for (int n = 0; n <= kLogKeptFiles; ++n) {
        const QString path = n == 0 ? log : log + QLatin1Char('.') + QString::number(n);
        const QByteArray text = contentOf(path);
        QVERIFY2(text.size() <= limit, qPrintable(path));
        const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        for (int i = 0; i < 2; ++i)
            QVERIFY2(lines[i].endsWith(QStringLiteral(": ") + expected[n][i]), qPrintable(lines[i]));
    }
    QVERIFY(!QFileInfo::exists(log + QStringLiteral(".4")));
}

void TestMessageHandler::logKeepsLineWhenRotationFails()
{
    // The oldest slot cannot be freed (a directory with something in it), so no rename can go
    // ahead; the log grows past its limit rather than losing the line.
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("ORVANELOG.log"));
    QVERIFY(QDir().mkpath(log + QStringLiteral(".3/keep")));
    for (const char *name : {".1", ".2"}) {
        QFile f(log + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(name);
    }
    QVERIFY(appendLogLine(log, QStringLiteral("first"), 30));
    QVERIFY(appendLogLine(log, QStringLiteral("second"), 30));
    const QByteArray text = contentOf(log);
    QVERIFY2(text.contains(": first\n") && text.contains(": second\n"), text.constData());
    QCOMPARE(contentOf(log + QStringLiteral(".1")), QByteArray(".1"));
    QCOMPARE(contentOf(log + QStringLiteral(".2")), QByteArray(".2"));
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--fatal-child") == 0) {
        qInstallMessageHandler(messageHandler);
        QMessageLogContext context;
        messageHandler(QtFatalMsg, context, QStringLiteral("boom"));
        return 0;
    }
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--writelog-child") == 0) {
        writeLog(QStringLiteral("First: new-nuilt"));
        writeLog(QStringLiteral("Second：save"));
        return 0;
    }
    TestMessageHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_messagehandler.moc"
