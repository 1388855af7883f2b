#pragma once

// The tests' Modbus server (tests/modbus_server.py on Debian's pymodbus, or our own RTU slaves)
// and a pseudo-terminal pair made by socat for RTU. Both are started on demand, waited for with bounded waits that
// keep the event loop running, and killed when the object goes.

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class ModbusServerProcess
{
public:
    ~ModbusServerProcess() { stop(); }

    static QString script() { return QStringLiteral(ORVANE_SOURCE_DIR "/tests/modbus_server.py"); }

    bool startTcp(const QString &address, int port) { return start({"--tcp", QStringLiteral("%1:%2").arg(address).arg(port)}); }
    bool startRtu(const QString &device, int baud = 115200)
    {
        return start({"--rtu", device, "--baud", QString::number(baud)});
    }
    // Our own RTU slaves (orvane-modbus-slaves: ids, readable ranges, misbehaving ids).
    bool startSlaves(const QString &device, const QStringList &arguments)
    {
        return start(QStringList{QStringLiteral("--serial"), device} + arguments,
                     QStringLiteral(ORVANE_BIN_DIR "/orvane-modbus-slaves"));
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    bool start(const QStringList &arguments, const QString &program = QString())
    {
        stop();
        m_process.setProgram(program.isEmpty() ? QStringLiteral("/usr/bin/python3") : program);
        m_process.setArguments(program.isEmpty() ? QStringList{script()} + arguments : arguments);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        QElapsedTimer timer;
        timer.start();
        QByteArray output;
        while (timer.elapsed() < 15000 && m_process.state() == QProcess::Running) {
            output += m_process.readAllStandardOutput();
            if (output.contains("ready"))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    QProcess m_process;
};

// Two linked pseudo-terminals: what is written to one end is read from the other.
class PtyPair
{
public:
    ~PtyPair()
    {
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.kill();
            m_socat.waitForFinished(5000);
        }
    }

    QString first() const { return m_dir.filePath(QStringLiteral("a")); }
    QString second() const { return m_dir.filePath(QStringLiteral("b")); }

    bool start()
    {
        m_socat.setProgram(QStringLiteral("socat"));
        m_socat.setArguments({QStringLiteral("pty,raw,echo=0,link=%1").arg(first()),
                              QStringLiteral("pty,raw,echo=0,link=%1").arg(second())});
        m_socat.start();
        if (!m_socat.waitForStarted(5000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000 && m_socat.state() == QProcess::Running) {
            if (QFileInfo::exists(first()) && QFileInfo::exists(second()))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
};
