#pragma once

// Keeps what the tool writes to the user's data directory (the copies of deployed projects)
// in a test directory of this run alone, removed when the object goes. Construct it after the
// application object, before anything is written, e.g. as a member of the test class.

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

class TestDataLocation
{
public:
    TestDataLocation()
    {
        QStandardPaths::setTestModeEnabled(true);
        // Another run of the same test, from another checkout, may be writing at the same time.
        QCoreApplication::setApplicationName(QCoreApplication::applicationName() + QLatin1Char('-')
                                             + QString::number(QCoreApplication::applicationPid()));
        m_path = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    }
    ~TestDataLocation() { QDir(m_path).removeRecursively(); }

    TestDataLocation(const TestDataLocation &) = delete;
    TestDataLocation &operator=(const TestDataLocation &) = delete;

    QString path() const { return m_path; }

private:
    QString m_path;
};
