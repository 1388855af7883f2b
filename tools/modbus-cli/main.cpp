// orvane-modbus: the window's Modbus commissioning tools for scripts and terminals, on the same
// core code. One subcommand per entry of the table below.
//
// Exit status: 0 the run completed (whatever it found), 1 the device or address could not be
// used, 2 bad usage.

#include "core/modbus/ModbusBusScan.h"
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
    if (!parser.parse(QStringList{QStringLiteral("orvane-modbus scan")} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kCompleted;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    ModbusBusScan::Options options;
    const bool serial = parser.isSet(QStringLiteral("serial"));
    options.tcp = parser.isSet(QStringLiteral("tcp"));
    if (serial == options.tcp)
        return usageError(QStringLiteral("give either --serial DEV or --tcp HOST:PORT"));
    if (options.tcp) {
        for (const char *name : {"baud", "parity", "stop-bits"})
            if (parser.isSet(QLatin1String(name)))
                return usageError(QStringLiteral("--%1 is for a serial line").arg(QLatin1String(name)));
        const QString address = parser.value(QStringLiteral("tcp"));
        const int colon = address.lastIndexOf(QLatin1Char(':'));
        bool ok = true;
        options.host = colon < 0 ? address : address.left(colon);
        options.port = colon < 0 ? 502 : address.mid(colon + 1).toInt(&ok);
        if (!ok || options.host.isEmpty() || options.port < 1 || options.port > 65535)
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
        if (!parser.isSet(QLatin1String(name))) {
            *value = fallback;
            return true;
        }
        bool ok = false;
        *value = parser.value(QLatin1String(name)).toInt(&ok);
        return ok && *value >= low && *value <= high;
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

struct Command {
    const char *name;
    const char *summary;
    int (*run)(const QStringList &arguments);
};

const Command kCommands[] = {
    {"scan", "find the slave ids that answer on a serial line or at a TCP address", runScan},
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
