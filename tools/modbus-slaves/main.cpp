// orvane-modbus-slaves: serves Modbus RTU slaves on a serial device, usually one end of a
// pseudo-terminal pair, so the bus scan and register discovery can be tried without hardware.
// Registers read as their own address, coils and discrete inputs as the address's lowest bit.
// A request that touches an address outside the readable ranges of its table is refused with
// exception 2, the way many devices refuse a block that runs into a gap of their map.
//
// Prints "ready" on standard output once the device is open. Exit status 2 for bad arguments,
// 1 when the device cannot be opened.

#include "core/modbus/ModbusFrame.h"
#include "core/support/NumberRanges.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHash>
#include <QSerialPort>
#include <QSet>
#include <QTimer>

#include <cstdio>

namespace {

using NumberRanges::Range;

class Slaves : public QObject
{
public:
    QSet<int> ids;
    QSet<int> exceptionIds;
    QSet<int> garbledIds;
    QSet<int> lateIds;
    int lateMs = 100;
    bool echo = false; // like a half-duplex adapter that hears its own transmission
    QVector<Range> readable[5]; // by function: 1 coils, 2 discrete, 3 holding, 4 input

    bool open(const QString &device, QString *error)
    {
        m_port.setPortName(device);
        if (!m_port.open(QIODevice::ReadWrite)) {
            *error = m_port.errorString();
            return false;
        }
        m_port.setBaudRate(9600);
        connect(&m_port, &QSerialPort::readyRead, this, [this] { received(); });
        // A request cut short leaves bytes that would spoil the next one: silence ends it.
        m_resync.setSingleShot(true);
        connect(&m_resync, &QTimer::timeout, this, [this] { m_buffer.clear(); });
        return true;
    }

private:
    static int requestSize(const QByteArray &buffer)
    {
        if (buffer.size() < 2)
            return 0;
        const quint8 function = quint8(buffer.at(1));
        if (function >= 1 && function <= 6)
            return 8;
        if (function == 15 || function == 16)
            return buffer.size() < 7 ? 0 : 9 + quint8(buffer.at(6));
        return -1;
    }

    bool inside(int function, int first, int count) const
    {
        for (const Range &range : readable[function])
            if (first >= range.from && first + count - 1 <= range.to)
                return true;
        return false;
    }

    void received()
    {
        m_buffer += m_port.readAll();
        for (;;) {
            const int size = requestSize(m_buffer);
            if (size < 0) {
                m_buffer.clear();
                return;
            }
            if (size == 0 || m_buffer.size() < size) {
                m_resync.start(20);
                return;
            }
            const QByteArray frame = m_buffer.left(size);
            m_buffer.remove(0, size);
            const int body = size - 2;
            const quint16 crc = quint16(quint8(frame.at(body)) | (quint8(frame.at(body + 1)) << 8));
            if (crc != ModbusFrame::crc16(frame.constData(), body)) {
                m_buffer.clear(); // no frame boundary can be trusted now
                return;
            }
            answer(frame);
        }
    }

    QByteArray replyPdu(const QByteArray &frame)
    {
        const int id = quint8(frame.at(0));
        const quint8 function = quint8(frame.at(1));
        const auto word = [&frame](int at) { return (quint8(frame.at(at)) << 8) | quint8(frame.at(at + 1)); };
        const auto exception = [function](int code) { return QByteArray().append(char(function | 0x80)).append(char(code)); };
        if (exceptionIds.contains(id))
            return exception(2);
        const int address = word(2);
        if (function >= 1 && function <= 4) {
            const int count = word(4);
            const bool bits = function <= 2;
            if (count < 1 || count > (bits ? 2000 : 125))
                return exception(3);
            if (!inside(function, address, count))
                return exception(2);
            QByteArray data;
            if (bits) {
                data.fill(0, (count + 7) / 8);
                for (int i = 0; i < count; ++i)
                    if ((address + i) & 1)
                        data[i / 8] = char(quint8(data.at(i / 8)) | (1 << (i % 8)));
            } else {
                for (int i = 0; i < count; ++i) {
                    const int at = address + i;
                    const int value = function == 3 ? m_written.value(at, at) : at;
                    data.append(char(value >> 8)).append(char(value & 0xFF));
                }
            }
            return QByteArray().append(char(function)).append(char(data.size())) + data;
        }
        if (function == 6 || function == 16) {
            const int count = function == 6 ? 1 : word(4);
            if (!inside(3, address, count))
                return exception(2);
            for (int i = 0; i < count; ++i)
                m_written[address + i] = word(function == 6 ? 4 : 7 + 2 * i);
            return frame.mid(1, 5);
        }
        return exception(1);
    }

    void answer(const QByteArray &frame)
    {
        if (echo)
            m_port.write(frame);
        const int id = quint8(frame.at(0));
        if (!ids.contains(id))
            return; // another station's request, or a broadcast
        QByteArray reply = QByteArray().append(char(id)) + replyPdu(frame);
        const quint16 crc = ModbusFrame::crc16(reply.constData(), reply.size());
        reply.append(char(crc & 0xFF)).append(char(crc >> 8));
        if (garbledIds.contains(id))
            reply[reply.size() - 1] = char(reply.at(reply.size() - 1) ^ 0x5A);
        if (lateIds.contains(id))
            QTimer::singleShot(lateMs, this, [this, reply] { m_port.write(reply); });
        else
            m_port.write(reply);
    }

    QSerialPort m_port;
    QByteArray m_buffer;
    QTimer m_resync;
    QHash<int, int> m_written;
};

int fail(const QString &message)
{
    std::fprintf(stderr, "orvane-modbus-slaves: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves Modbus RTU slaves on a serial device (a pty)."));
    parser.addHelpOption();
    parser.addOptions({
        {"serial", "Serial device to serve on.", "DEV"},
        {"ids", "Slave ids served, e.g. 3,17,200 (default 1).", "LIST"},
        {"holding", "Readable holding registers, e.g. 0-99,1000-1049 (default 0-99).", "RANGES"},
        {"input", "Readable input registers (default 0-99).", "RANGES"},
        {"coils", "Readable coils (default 0-99).", "RANGES"},
        {"discrete", "Readable discrete inputs (default 0-99).", "RANGES"},
        {"exception-id", "This id answers every request with exception 2.", "ID"},
        {"garbled-id", "This id answers with a bad CRC.", "ID"},
        {"late-id", "This id answers only after --late-ms.", "ID"},
        {"late-ms", "Delay of the late id's replies (default 100).", "MS"},
        {"echo", "Send every request back first, as an adapter that echoes the line."},
    });
    parser.process(app);
    if (!parser.isSet("serial"))
        return fail(QStringLiteral("give --serial"));

    Slaves slaves;
    const auto idSet = [&parser](const char *option, QSet<int> *set) {
        QVector<int> ids;
        if (parser.isSet(QLatin1String(option))
            && !NumberRanges::parseNumbers(parser.value(QLatin1String(option)), 1, 255, &ids))
            return false;
        for (int id : ids)
            set->insert(id);
        return true;
    };
    if (!idSet("ids", &slaves.ids) || !idSet("exception-id", &slaves.exceptionIds)
        || !idSet("garbled-id", &slaves.garbledIds) || !idSet("late-id", &slaves.lateIds))
        return fail(QStringLiteral("ids are numbers from 1 to 255"));
    if (!parser.isSet("ids"))
        slaves.ids.insert(1);
    slaves.ids += slaves.exceptionIds + slaves.garbledIds + slaves.lateIds;
    slaves.echo = parser.isSet("echo");
    bool ok = true;
    if (parser.isSet("late-ms"))
        slaves.lateMs = parser.value("late-ms").toInt(&ok);
    if (!ok || slaves.lateMs < 0 || slaves.lateMs > 60000)
        return fail(QStringLiteral("--late-ms is 0 to 60000"));
    const char *tables[] = {nullptr, "coils", "discrete", "holding", "input"};
    for (int function = 1; function <= 4; ++function) {
        const QString text = parser.isSet(tables[function]) ? parser.value(tables[function]) : QStringLiteral("0-99");
        if (!NumberRanges::parse(text, 0, 65535, &slaves.readable[function]))
            return fail(QStringLiteral("bad --%1 ranges").arg(QLatin1String(tables[function])));
    }

    QString error;
    if (!slaves.open(parser.value("serial"), &error)) {
        std::fprintf(stderr, "orvane-modbus-slaves: %s\n", qPrintable(error));
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
