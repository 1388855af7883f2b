#pragma once

// Shared by the box dialog, transfer and typical-road tests: answering modal boxes while a
// test waits, and running the box simulator on a loopback address of its own.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <functional>

// Polls for the active modal widget and answers it: message boxes are recorded (title and
// text) and confirmed with OK, or with the button given for their title (answer()); other modal
// dialogs go to `other`, which must close them.
class ModalAnswerer : public QObject
{
public:
    struct Box {
        QString title;
        QString text;
    };

    explicit ModalAnswerer(std::function<void(QWidget *)> other = {})
        : m_other(std::move(other))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
    }

    QList<Box> boxes;

    bool sawBox(const QString &title, const QString &text) const
    {
        for (const Box &b : boxes)
            if (b.title == title && b.text == text)
                return true;
        return false;
    }
    // Boxes titled `title` are answered with `button` from now on.
    void answer(const QString &title, QMessageBox::StandardButton button) { m_answers.insert(title, button); }
    QStringList titles() const
    {
        QStringList out;
        for (const Box &b : boxes)
            out << b.title + QStringLiteral(" | ") + b.text;
        return out;
    }

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || w == m_handling)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            boxes.append({box->windowTitle(), box->text()});
            m_handling = box;
            if (QAbstractButton *chosen = box->button(m_answers.value(box->windowTitle(), QMessageBox::Ok)))
                chosen->click();
            else
                box->reject();
            m_handling = nullptr;
            return;
        }
        if (m_other) {
            m_handling = w;
            m_other(w);
            m_handling = nullptr;
        }
    }

    QTimer m_timer;
    QMap<QString, QMessageBox::StandardButton> m_answers;
    std::function<void(QWidget *)> m_other;
    QWidget *m_handling = nullptr;
};

// The box simulator as a child process, listening on one loopback address with its state in
// a temporary directory.
class BoxSim
{
public:
    explicit BoxSim(const QString &address, const QStringList &extraArgs = {})
        : m_address(address)
    {
        m_process.setProgram(QStringLiteral(ORVANE_BIN_DIR "/orvane-boxsim"));
        QStringList args{QStringLiteral("--listen"), address, QStringLiteral("--state"),
                         m_stateDir.path(), QStringLiteral("--exit-with-parent")};
        args << extraArgs;
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Drained whenever the test spins an event loop, so the pipe never fills up.
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this] { m_output += m_process.readAllStandardOutput(); });
    }
    ~BoxSim() { stop(); }

    // Starts the simulator and waits (bounded) until it reports both ports open.
    bool start(int timeoutMs = 5000)
    {
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
            m_output += m_process.readAllStandardOutput();
            if (m_output.contains("listening on"))
                return true;
            m_process.waitForReadyRead(100);
        }
        return false;
    }

    // Everything the simulator has printed so far.
    QByteArray output()
    {
        m_output += m_process.readAllStandardOutput();
        return m_output;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    QString stateDir() const { return m_stateDir.path(); }
    QString address() const { return m_address; }
    qint64 processId() const { return m_process.processId(); }

    // Puts a file into the state directory, e.g. settings.json before start().
    bool writeStateFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_stateDir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    QJsonObject settings() const
    {
        return QJsonDocument::fromJson(stateFile(QStringLiteral("settings.json"))).object();
    }

    QByteArray stateFile(const QString &name) const
    {
        QFile f(m_stateDir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The transfers the simulator has recorded, oldest first.
    QList<QJsonObject> transfers() const
    {
        QList<QJsonObject> out;
        const QList<QByteArray> lines = stateFile(QStringLiteral("transfers.jsonl")).split('\n');
        for (const QByteArray &line : lines) {
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            if (doc.isObject())
                out.append(doc.object());
        }
        return out;
    }

private:
    QString m_address;
    QTemporaryDir m_stateDir;
    QProcess m_process;
    QByteArray m_output;
};

// A box played by a thread of its own, without an event loop, so a test side that blocks or
// is busy cannot starve it. Subclasses serve the listening server and wait() for the thread in
// their own destructor.
class ThreadBox : public QThread
{
public:
    explicit ThreadBox(const QString &address)
        : m_address(address)
    {
    }

    bool startListening()
    {
        start();
        return m_ready.tryAcquire(1, 5000) && m_listening;
    }

protected:
    virtual void serve(QTcpServer &server) = 0;

    void run() override
    {
        QTcpServer server;
        m_listening = server.listen(QHostAddress(m_address), 30088);
        m_ready.release();
        if (m_listening)
            serve(server);
    }

private:
    QString m_address;
    QSemaphore m_ready;
    bool m_listening = false;
};

// A box that accepts transfer connections and then never reads a byte, until destroyed: the
// sender's queue fills once the socket buffers are full.
class SilentBox : public ThreadBox
{
public:
    using ThreadBox::ThreadBox;
    ~SilentBox() override
    {
        m_stop = true;
        wait(10000);
    }

protected:
    void serve(QTcpServer &server) override
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_stop && clock.elapsed() < 120000)
            server.waitForNewConnection(50); // accepted sockets stay in the server, unread
    }

private:
    std::atomic<bool> m_stop{false};
};
