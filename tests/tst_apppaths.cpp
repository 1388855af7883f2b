// Where the log and Settings.ini go: beside the program or in the working directory while
// writable, else in the user's data directory.

#include "core/support/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestAppPaths : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void settingsFollowTheWorkingDirectory();
    void unusableDirectoryFallsBack_data();
    void unusableDirectoryFallsBack();
};

void TestAppPaths::initTestCase()
{
    // Keeps the fallback out of the real home directory.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Orvane 600"));
}

void TestAppPaths::settingsFollowTheWorkingDirectory()
{
    const QString old = QDir::currentPath();
    QTemporaryDir gone;
    QVERIFY(QDir::setCurrent(gone.path()));
    QCOMPARE(settingsFilePath(), QStringLiteral("Settings.ini"));

    // A working directory that has disappeared is as unusable as a read-only one.
    QVERIFY(gone.remove());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QCOMPARE(settingsFilePath(), data + QStringLiteral("/Settings.ini"));
    QVERIFY(QDir(data).exists());
    QDir::setCurrent(old);
}

void TestAppPaths::unusableDirectoryFallsBack_data()
{
    QTest::addColumn<QString>("preferred");
    QTest::addColumn<bool>("kept");
    QTest::newRow("writable directory") << QStringLiteral("<temp>") << true;
    QTest::newRow("missing directory") << QStringLiteral("/nonexistent/orvane") << false;
    QTest::newRow("a file, not a directory") << QStringLiteral("<file>") << false;
}

void TestAppPaths::unusableDirectoryFallsBack()
{
    QFETCH(QString, preferred);
    QFETCH(bool, kept);
    QTemporaryDir dir;
    if (preferred == QLatin1String("<temp>"))
        preferred = dir.path();
    if (preferred == QLatin1String("<file>")) {
        preferred = dir.filePath(QStringLiteral("plain"));
        QFile file(preferred);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QCOMPARE(writableDirOrUserData(preferred), kept ? QFileInfo(preferred).absoluteFilePath() : data);
}

QTEST_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
