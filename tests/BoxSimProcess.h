#pragma once

// Runs orvane-boxsim for one test: its own loopback address, its state in a temporary
// directory (or a given one), killed when the object goes. Waits are bounded and keep the
// event loop running, so a Protocol in the test goes on working meanwhile.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class BoxSimProcess
{
public:
    explicit BoxSimProcess(const QString &address, const QStringList &extraArguments = {},
                           const QString &stateDirectory = QString())
        : m_address(address)
        , m_arguments(extraArguments)
        , m_stateDirectory(stateDirectory.isEmpty() ? m_temporary.path() : stateDirectory)
    {
    }

    ~BoxSimProcess() { stop(); }

    static QString program() { return QStringLiteral(ORVANE_BIN_DIR "/orvane-boxsim"); }

    QString address() const { return m_address; }
    qint64 processId() const { return m_process.processId(); }
    QString stateDirectory() const { return m_stateDirectory; }
    QString statePath(const QString &name) const { return m_stateDirectory + QLatin1Char('/') + name; }

    // Starts the simulator and waits until it listens.
    bool start(int timeoutMs = 5000)
    {
        m_output.clear();
        QStringList arguments{QStringLiteral("--listen"), m_address, QStringLiteral("--state"),
                              m_stateDirectory, QStringLiteral("--exit-with-parent")};
        arguments += m_arguments;
        m_process.setProgram(program());
        m_process.setArguments(arguments);
        // The simulator's warnings and sanitizer reports belong in the test's log.
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs))
            return false;
        return waitForOutput(QStringLiteral("listening on"), timeoutMs);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Everything written to standard output so far.
    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }

    int count(const QString &needle) { return output().count(needle); }

    bool waitForOutput(const QString &needle, int timeoutMs = 5000, int occurrences = 1)
    {
        QElapsedTimer timer;
        timer.start();
        while (count(needle) < occurrences) {
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return count(needle) >= occurrences;
            QTest::qWait(10);
        }
        return true;
    }

    // Puts a project in place as if it had been deployed; call before start().
    bool writeDeployed(const QJsonObject &project) const
    {
        QFile file(statePath(QStringLiteral("deployed.json")));
        return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(project).toJson()) > 0;
    }

    QJsonObject settings() const
    {
        QFile file(statePath(QStringLiteral("settings.json")));
        if (!file.open(QIODevice::ReadOnly))
            return QJsonObject();
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    QList<QJsonObject> transferRecords() const
    {
        QList<QJsonObject> records;
        QFile file(statePath(QStringLiteral("transfers.jsonl")));
        if (!file.open(QIODevice::ReadOnly))
            return records;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                records.append(QJsonDocument::fromJson(line).object());
        }
        return records;
    }

private:
    QTemporaryDir m_temporary;
    QString m_address;
    QStringList m_arguments;
    QString m_stateDirectory;
    QProcess m_process;
    QString m_output;
};
