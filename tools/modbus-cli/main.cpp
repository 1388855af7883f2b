// orvane-modbus: the window's Modbus commissioning tools for scripts and terminals, on the same
// core code. One subcommand per entry of the table below.
//
// Exit status: 0 the run completed (whatever it found), 1 the device or address could not be
// used, 2 bad usage.

#include "core/modbus/ModbusBusScan.h"
#include "core/modbus/RegisterDiscovery.h"
#include "core/support/NumberRanges.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kCompleted = 0;
constexpr int kLinkFailed = 1;
constexpr int kBadUsage = 2;

int usageError(const QString &message)
{
    std::fprintf(stderr, "orvane-modbus: %s\n", qPrintable(message));
    return kBadUsage;
}

void printLine(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString parityWord(const QString &text)
{
    const QString upper = text.trimmed().toUpper();
    if (upper == QLatin1String("N") || upper == QLatin1String("NONE"))
        return QStringLiteral("NONE");
    if (upper == QLatin1String("E") || upper == QLatin1String("EVEN"))
        return QStringLiteral("EVEN");
    if (upper == QLatin1String("O") || upper == QLatin1String("ODD"))
        return QStringLiteral("ODD");
    return QString();
}

// "HOST:PORT" (the port 502 when left out); false for anything else.
bool tcpAddress(const QString &address, QString *host, int *port)
{
    const int colon = address.lastIndexOf(QLatin1Char(':'));
    bool ok = true;
    *host = colon < 0 ? address : address.left(colon);
    *port = colon < 0 ? 502 : address.mid(colon + 1).toInt(&ok);
    return ok && !host->isEmpty() && *port >= 1 && *port <= 65535;
}

QString rowLine(const ModbusBusScan::Row &row, bool tcp, bool json)
{
    const QString reply = ModbusBusScan::replyName(row.reply);
    const QString rtt = QString::number(row.rttMs, 'f', 1);
    if (json) {
        const QString link = tcp ? QString()
                                 : QStringLiteral("\"baud\": %1, \"parity\": \"%2\", \"stop_bits\": %3, ")
                                       .arg(row.setting.baudRate)
                                       .arg(row.setting.parity.left(1))
                                       .arg(row.setting.stopBits);
        return QStringLiteral("{\"id\": %1, %2\"reply\": \"%3\", \"rtt_ms\": %4}").arg(row.id).arg(link, reply, rtt);
    }
    const QString kind = row.reply == ModbusBusScan::ReplyKind::Exception
                             ? QStringLiteral("exception %1").arg(row.exceptionCode)
                             : reply;
    return QStringLiteral("%1%2 %3 %4 ms")
        .arg(row.id)
        .arg(tcp ? QString() : QLatin1Char(' ') + row.setting.describe(), kind, rtt);
}

// Parses a subcommand's arguments: -1 to go on, else the exit status (help shown, bad usage).
int parseCommand(QCommandLineParser &parser, const char *command, const QStringList &arguments)
{
    if (!parser.parse(QStringList{QStringLiteral("orvane-modbus ") + QLatin1String(command)} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kCompleted;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    if (parser.isSet(QStringLiteral("serial")) == parser.isSet(QStringLiteral("tcp")))
        return usageError(QStringLiteral("give either --serial DEV or --tcp HOST:PORT"));
    if (parser.isSet(QStringLiteral("tcp"))) {
        for (const char *name : {"baud", "parity", "stop-bits"})
            if (parser.isSet(QLatin1String(name)))
                return usageError(QStringLiteral("--%1 is for a serial line").arg(QLatin1String(name)));
    }
    return -1;
}

// A whole-number option within low..high, or `fallback` when it is not given.
bool numberOption(const QCommandLineParser &parser, const char *name, int low, int high, int fallback, int *value)
{
    if (!parser.isSet(QLatin1String(name))) {
        *value = fallback;
        return true;
    }
    bool ok = false;
    *value = parser.value(QLatin1String(name)).toInt(&ok);
    return ok && *value >= low && *value <= high;
}

int runScan(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Probes every slave id with a read of one register and prints one line per id that answers "
        "(id, line setting, reply kind: registers, exception or garbled, round trip)."));
    parser.addHelpOption();
    parser.addOptions({
        {"serial", "Serial device of the RTU line.", "DEV"},
        {"tcp", "Modbus TCP address instead of a serial line.", "HOST:PORT"},
        {"baud", "Baud rate(s), comma separated (default 9600).", "BAUD"},
        {"parity", "Parity: N, E or O, comma separated for several (default N).", "N|E|O"},
        {"stop-bits", "Stop bits: 1 or 2, or both as 1,2 (default 1).", "1|2"},
        {"ids", "Ids to probe, e.g. 1-247 or 3,17,200 (default 1-247; up to 255).", "IDS"},
        {"wait", "Milliseconds each id is given to answer after the probe (default 50).", "MS"},
        {"probe-address", "Register the probe reads (default 0).", "N"},
        {"function", "3 (holding registers, default) or 4 (input registers).", "3|4"},
        {"first", "Stop at the first id that answers."},
        {"json", "One JSON object per line."},
    });
    if (const int status = parseCommand(parser, "scan", arguments); status >= 0)
        return status;

    ModbusBusScan::Options options;
    options.tcp = parser.isSet(QStringLiteral("tcp"));
    if (options.tcp) {
        if (!tcpAddress(parser.value(QStringLiteral("tcp")), &options.host, &options.port))
            return usageError(QStringLiteral("--tcp wants HOST:PORT"));
    } else {
        options.serialDevice = parser.value(QStringLiteral("serial"));
        QVector<int> bauds, stopBits;
        QStringList parities;
        if (!NumberRanges::parseNumbers(parser.isSet("baud") ? parser.value("baud") : QStringLiteral("9600"), 50, 4000000, &bauds))
            return usageError(QStringLiteral("--baud wants baud rates such as 9600 or 9600,19200"));
        if (!NumberRanges::parseNumbers(parser.isSet("stop-bits") ? parser.value("stop-bits") : QStringLiteral("1"), 1, 2, &stopBits))
            return usageError(QStringLiteral("--stop-bits wants 1, 2 or 1,2"));
        for (const QString &text : parser.value("parity").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString parity = parityWord(text);
            if (parity.isEmpty())
                return usageError(QStringLiteral("--parity wants N, E or O"));
            parities.append(parity);
        }
        if (parities.isEmpty())
            parities.append(QStringLiteral("NONE"));
        options.settings = ModbusBusScan::sweepOrder(bauds, parities, stopBits);
    }
    if (parser.isSet("ids") && !NumberRanges::parseNumbers(parser.value("ids"), 1, ModbusBusScan::LastId, &options.ids))
        return usageError(QStringLiteral("--ids wants ids from 1 to 255, such as 1-247 or 3,17,200"));
    const auto number = [&parser](const char *name, int low, int high, int fallback, int *value) {
        return numberOption(parser, name, low, high, fallback, value);
    };
    int probeAddress = 0, function = 0;
    if (!number("wait", 1, 60000, ModbusBusScan::DefaultWaitMs, &options.waitMs))
        return usageError(QStringLiteral("--wait wants milliseconds from 1 to 60000"));
    if (!number("probe-address", 0, 65535, 0, &probeAddress))
        return usageError(QStringLiteral("--probe-address wants 0 to 65535"));
    if (!number("function", 3, 4, 3, &function))
        return usageError(QStringLiteral("--function wants 3 or 4"));
    options.probeAddress = quint16(probeAddress);
    options.function = quint8(function);
    options.stopAtFirst = parser.isSet("first");
    const bool json = parser.isSet("json");

    ModbusBusScan scan;
    QObject::connect(&scan, &ModbusBusScan::rowFound, &scan,
                     [&](const ModbusBusScan::Row &row) { printLine(rowLine(row, options.tcp, json)); });
    QObject::connect(&scan, &ModbusBusScan::finished, &scan, [] { QCoreApplication::quit(); });
    if (!scan.start(options))
        return usageError(QStringLiteral("these options make no scan"));
    QCoreApplication::exec();
    std::fprintf(stderr, "orvane-modbus: %s\n", qPrintable(scan.statusText()));
    return scan.outcome() == ModbusBusScan::Outcome::LinkFailed ? kLinkFailed : kCompleted;
}

int runDiscover(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Finds the readable ranges of one table of one slave, reading in blocks and splitting only "
        "what answers: one line per readable range, then the number of requests. A readable "
        "register alone inside a refused block can be missed (said on standard error)."));
    parser.addHelpOption();
    parser.addOptions({
        {"serial", "Serial device of the RTU line.", "DEV"},
        {"tcp", "Modbus TCP address instead of a serial line.", "HOST:PORT"},
        {"baud", "Baud rate (default 9600).", "BAUD"},
        {"parity", "Parity: N, E or O (default N).", "N|E|O"},
        {"stop-bits", "Stop bits: 1 or 2 (default 1).", "1|2"},
        {"id", "Slave id (unit id over TCP), 1 to 255.", "N"},
        {"table", "holding (default), input, coils or discrete.", "TABLE"},
        {"from", "First address (default 0).", "A"},
        {"to", "Last address (default 9999).", "B"},
        {"timeout", "Milliseconds each request may take (default 1000).", "MS"},
        {"json", "One JSON object per line."},
    });
    if (const int status = parseCommand(parser, "discover", arguments); status >= 0)
        return status;
    const bool tcp = parser.isSet(QStringLiteral("tcp"));
    const auto number = [&parser](const char *name, int low, int high, int fallback, int *value) {
        return numberOption(parser, name, low, high, fallback, value);
    };
    ModbusLinkSettings link;
    if (tcp) {
        link.mode = ModbusLinkSettings::Mode::Tcp;
        if (!tcpAddress(parser.value(QStringLiteral("tcp")), &link.host, &link.port))
            return usageError(QStringLiteral("--tcp wants HOST:PORT"));
    } else {
        link.mode = ModbusLinkSettings::Mode::Rtu;
        link.serialDevice = parser.value(QStringLiteral("serial"));
        link.parity = parityWord(parser.isSet("parity") ? parser.value("parity") : QStringLiteral("N"));
        if (link.parity.isEmpty())
            return usageError(QStringLiteral("--parity wants N, E or O"));
        if (!number("baud", 50, 4000000, 9600, &link.baudRate))
            return usageError(QStringLiteral("--baud wants a baud rate such as 9600"));
        if (!number("stop-bits", 1, 2, 1, &link.stopBits))
            return usageError(QStringLiteral("--stop-bits wants 1 or 2"));
    }
    int id = 0, from = 0, to = 0, timeout = 0;
    if (!parser.isSet("id") || !number("id", 1, 255, 1, &id))
        return usageError(QStringLiteral("--id wants the slave id, 1 to 255"));
    ModbusPoint::Table table = ModbusPoint::Table::HoldingRegisters;
    if (parser.isSet("table") && !RegisterDiscovery::tableFromName(parser.value("table"), &table))
        return usageError(QStringLiteral("--table wants holding, input, coils or discrete"));
    if (!number("from", 0, 65535, 0, &from) || !number("to", 0, 65535, RegisterDiscovery::DefaultLast, &to) || from > to)
        return usageError(QStringLiteral("--from and --to want addresses 0 to 65535, from not above to"));
    if (!number("timeout", 1, 60000, ModbusLinkSettings::DefaultTimeoutMs, &timeout))
        return usageError(QStringLiteral("--timeout wants milliseconds from 1 to 60000"));
    link.connectionTimeoutMs = timeout;
    link.requestTimeoutMs = timeout;
    const bool json = parser.isSet("json");

    ModbusClient client(link);
    RegisterDiscovery discovery(&client);
    RegisterDiscovery::Result result;
    QObject::connect(&discovery, &RegisterDiscovery::finished, &discovery, [&result](const RegisterDiscovery::Result &r) {
        result = r;
        QCoreApplication::quit();
    });
    if (!discovery.start(quint8(id), table, from, to))
        return usageError(QStringLiteral("these options make no discovery"));
    if (discovery.isRunning())
        QCoreApplication::exec();
    if (json) {
        for (const QString &line : RegisterDiscovery::rangesAsJsonLines(result))
            printLine(line);
    } else {
        for (const RegisterDiscovery::Range &range : qAsConst(result.readable))
            printLine(QStringLiteral("%1 %2-%3").arg(RegisterDiscovery::tableName(table)).arg(range.from).arg(range.to));
        printLine(QStringLiteral("requests: %1").arg(result.requests));
    }
    for (const QString &text : {RegisterDiscovery::endText(result), RegisterDiscovery::missedNotice(result)})
        if (!text.isEmpty())
            std::fprintf(stderr, "orvane-modbus: %s\n", qPrintable(text));
    return result.end == RegisterDiscovery::Result::End::LinkFailed ? kLinkFailed : kCompleted;
}

struct Command {
    const char *name;
    const char *summary;
    int (*run)(const QStringList &arguments);
};

const Command kCommands[] = {
    {"scan", "find the slave ids that answer on a serial line or at a TCP address", runScan},
    {"discover", "find the readable registers (or bits) of one slave", runDiscover},
};

QString usage()
{
    QString text = QStringLiteral("Usage: orvane-modbus COMMAND [OPTIONS]  (orvane-modbus COMMAND --help)\n\nCommands:\n");
    for (const Command &command : kCommands)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(command.name), -10).arg(QLatin1String(command.summary));
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command given\n") + usage());
    const QString name = arguments.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        std::fputs(qPrintable(usage()), stdout);
        return kCompleted;
    }
    for (const Command &command : kCommands)
        if (name == QLatin1String(command.name))
            return command.run(arguments);
    return usageError(QStringLiteral("unknown command \"%1\"\n").arg(name) + usage());
}
