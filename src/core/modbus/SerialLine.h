#pragma once

// One serial line opened with a device's settings, for the protocols that poll over it. It
// knows the line's inter-frame silence (3.5 characters, at least 2 ms), waits for the line to
// fall silent before a request, dropping whatever stale bytes come meanwhile, and lets every
// byte sent and received be watched (bytesSent/bytesReceived).

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <functional>

class SerialLine : public QObject
{
    Q_OBJECT
public:
    struct Settings {
        QString device;
        int baudRate = 9600;
        int dataBits = 8;
        int stopBits = 1;
        QString parity = QStringLiteral("NONE"); // "NONE", "ODD" or "EVEN"
        bool rts = false; // raise RTS once open (adapters that switch direction by it)
    };

    static constexpr int MinimumSilenceMs = 2;

    explicit SerialLine(QObject *parent = nullptr);
    ~SerialLine() override;

    // The line's settings take effect at the next open().
    void setSettings(const Settings &settings) { m_settings = settings; }
    // Changes speed, framing and parity of the open line in place (a scan sweeping settings),
    // without closing it: a pseudo-terminal's far end would see a hang-up.
    bool reconfigure(const Settings &settings, QString *error);
    const Settings &settings() const { return m_settings; }
    bool open(QString *error);
    void close();
    bool isOpen() const { return m_port.isOpen(); }
    // Why the RTS setting could not be applied at the last open(); empty when it was. The line
    // works without it, so this is a warning, not a failure.
    QString rtsWarning() const { return m_rtsWarning; }

    // The silence that ends a frame at the configured speed (a pseudo-terminal has no speed of
    // its own, so the settings decide).
    int silenceMs() const;
    static int silenceMs(const Settings &settings);

    // Writes all of it (bytesSent follows); false when the line is not open or refused.
    bool write(const QByteArray &bytes);

    // Drops what has been received and not yet handed on.
    void flushStale();

    // Calls ready() once nothing has come for quietMs from now (stale bytes are dropped), or
    // after maxMs at the latest on a line that never falls silent. A new call replaces the last.
    void whenQuiet(int quietMs, int maxMs, std::function<void()> ready);
    void cancelWait();

signals:
    void bytesSent(const QByteArray &bytes);
    void bytesReceived(const QByteArray &bytes);
    // The port failed after it was opened (unplugged adapter, closed pseudo-terminal).
    void failed(const QString &error);

private:
    bool applyFraming(QString *error);
    void readAvailable();
    void quietCheck();

    Settings m_settings;
    QSerialPort m_port;
    QString m_rtsWarning;
    QTimer m_quietTimer;
    QElapsedTimer m_waitStarted;
    QElapsedTimer m_lastByte;
    int m_quietMs = 0;
    int m_maxMs = 0;
    std::function<void()> m_ready;
};
