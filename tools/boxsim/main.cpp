// orvane-boxsim: a box on the network, for tests, demos and training.
//
// It listens on TCP and UDP port 30088 of one address only (so several simulators can run side
// by side on 127.0.0.2, 127.0.0.3, ...), takes discovery requests broadcast to 255.255.255.255
// on a port shared with the other simulators (each answers with its own address), and answers
// like a box: heartbeats, the six settings
// reads and writes, reboot, project deployment (command 3) and program update (command 4) on
// connections of their own, live-data reports for the deployed project, and discovery.
//
// Usage: orvane-boxsim [options]
//   --listen ADDR            IPv4 address to serve on (default 127.0.0.1)
//   --state DIR              state directory (default: a temporary one, removed at exit)
//   --version TEXT           version in the heartbeat reply (default 1.0.3)
//   --serial TEXT            serial number in the heartbeat reply and reports (SN600-000001)
//   --model TEXT             model in the heartbeat and discovery replies (TLK-BOX-600)
//   --mask TEXT              subnet mask in the discovery reply (255.255.255.0)
//   --reboot-seconds N       how long a reboot refuses connections (default 3)
//   --write-code CODE        "code" of every write and reboot reply (default 200; any other
//                            code stores nothing and does not reboot)
//   --checksum-result N      verdict byte of every transfer, 0 to 255 (default: 0 when the
//                            transfer checked out, 1 otherwise)
//   --no-verdict             never answer a checksum frame
//   --silent                 never answer a heartbeat
//   --garbage                junk bytes before every frame sent on a link
//   --split                  frames sent in small pieces of 1 to 24 bytes, 1 ms apart
//   --interval MS            live-data period for every device, 10 to 3600000 ms (default:
//                            each device's collectionInterval, at least 100)
//   --invalid-percent N      share of readings reported with "valid" "0" (default 2)
//   --seed N                 random seed for values, junk and pieces (default: random)
//   --modbus MODE            "simulated" (default): Modbus values are invented like all others;
//                            "real": the deployed project's Modbus devices are polled (TCP and
//                            RTU) at their collection interval and their reports carry what was
//                            read, "valid" "0" with an empty value for a point that failed
//   --dlt645 MODE            "simulated" (default): meter values are invented; "real": the
//                            deployed project's DL/T 645 lines are polled at their collection
//                            interval, each meter's selected items reported with what was read,
//                            "valid" "0" with an empty value for an item that failed
//   --serial-map PORT=DEV    with --modbus real or --dlt645 real: the project's serial port PORT
//                            (e.g. COM1) is the serial device DEV (e.g. /dev/ttyUSB0); repeatable.
//                            A device on an unmapped port reports every point invalid
//   --allow-network          with --modbus real: also contact devices that are not on a loopback
//                            address (by default they report every point invalid, so a deployed
//                            field project never reaches real plant from a test machine)
// A bad option or value, or an address it cannot listen on, prints a message to standard error
// and exits with status 1 (options) or 2 (address, state directory).
//
// Standard output gets one line per request and event, flushed at once. The first line contains
// "listening on ADDR:30088" once both ports are open.
//
// State directory:
//   settings.json    {"lan": {...}, "wan": {...}, "wifi": {...}, "lte": {...}, "ntp": {...},
//                    "clockOffsetSeconds": N}: the groups hold the reply members as strings; a
//                    clock write stores the offset of the written time from the PC clock.
//   deployed.json    the last project whose transfer verified, exactly the bytes received.
//   program.bin      the last program image whose transfer verified, exactly as received.
//   transfers.jsonl  one compact JSON object per line, appended when a transfer's checksum frame
//                    has been judged (before the verdict is sent) or when its connection closes
//                    without one:
//     {"command": 3 or 4,
//      "peer": "ADDR:PORT", "started": ISO time,
//      "fragments": [{"frameLength": 1043, "kind": 1, "total": 2500, "chunkLength": 1024,
//                     "number": 1}, ...]            one entry per data fragment, in arrival order,
//                                                   the header fields as received
//      "checksum": {"frameLength": 30, "size": 2500, "digestLength": 16, "digest": hex}
//                  or {"frameLength": N, "malformed": true} or null (none received),
//      "receivedBytes": N, "md5": hex of the received bytes,
//      "errors": [text, ...]                        order, size and digest problems found,
//      "verified": true when there are no errors,
//      "result": the verdict byte sent, or null when none was sent,
//      "verdictSent": bool,
//      "storedAs": "deployed.json", "program.bin" or ""}

#include <csignal>
#include <malloc.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "BoxSimulator.h"
#include "core/project/Ipv4Address.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

int fail(int status, const QString &message)
{
    std::fprintf(stderr, "orvane-boxsim: %s\n", qPrintable(message));
    return status;
}

bool readInt(const QCommandLineParser &parser, const QString &name, int minimum, int maximum,
             int *value, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int number = parser.value(name).toInt(&ok);
    if (!ok || number < minimum || number > maximum) {
        *error = QStringLiteral("--%1 needs a whole number from %2 to %3, not \"%4\"")
                     .arg(name)
                     .arg(minimum)
                     .arg(maximum)
                     .arg(parser.value(name));
        return false;
    }
    *value = number;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Every transfer allocates and frees buffers the size of its file, and reading a deployed
    // project a few more. Left to the defaults, such buffers are mapped and unmapped each
    // time, and faulting their pages in anew costs more than all the rest of a large
    // deployment; kept in the heap, they are reused.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-boxsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulates an Orvane 600 box on one address."));
    parser.addHelpOption();
    const auto valueOption = [&parser](const char *name, const char *help, const char *valueName) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                            QString::fromLatin1(valueName)));
    };
    const auto flagOption = [&parser](const char *name, const char *help) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help)));
    };
    valueOption("listen", "IPv4 address to serve on (default 127.0.0.1).", "ADDR");
    valueOption("state", "State directory (default: a temporary one).", "DIR");
    valueOption("version", "Version in the heartbeat reply.", "TEXT");
    valueOption("serial", "Serial number.", "TEXT");
    valueOption("model", "Model name.", "TEXT");
    valueOption("mask", "Subnet mask in the discovery reply.", "TEXT");
    valueOption("reboot-seconds", "Seconds a reboot refuses connections (default 3).", "N");
    valueOption("write-code", "Code of every write and reboot reply (default 200).", "CODE");
    valueOption("checksum-result", "Verdict byte of every transfer (0 to 255).", "N");
    flagOption("no-verdict", "Never answer a checksum frame.");
    flagOption("silent", "Never answer a heartbeat.");
    flagOption("garbage", "Junk bytes before every frame sent on a link.");
    flagOption("split", "Frames sent in small pieces.");
    valueOption("interval", "Live-data period for every device in ms.", "MS");
    valueOption("invalid-percent", "Share of readings reported invalid (default 2).", "N");
    valueOption("seed", "Random seed.", "N");
    valueOption("modbus", "\"simulated\" (default): invented Modbus values; \"real\": poll the deployed project's Modbus devices.", "MODE");
    valueOption("dlt645", "\"simulated\" (default): invented meter values; \"real\": poll the deployed project's DL/T 645 lines.", "MODE");
    valueOption("serial-map", "With --modbus real or --dlt645 real: project serial port PORT is device DEV (repeatable).",
                "PORT=DEV");
    flagOption("allow-network", "With --modbus real: also poll devices off loopback addresses.");
    flagOption("exit-with-parent", "Exit when the process that started the simulator ends.");

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(1, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(1, QStringLiteral("unexpected argument \"%1\"")
                           .arg(parser.positionalArguments().first()));

    if (parser.isSet(QStringLiteral("exit-with-parent"))) {
        // A test that is killed must not leave its simulator holding the address.
        const pid_t parent = getppid();
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            return 0;
    }

    SimOptions options;
    if (parser.isSet(QStringLiteral("listen"))) {
        const QString text = parser.value(QStringLiteral("listen"));
        const QHostAddress address = Ipv4Address::parse(text);
        if (address.isNull())
            return fail(1, QStringLiteral("--listen needs an IPv4 address of four decimal parts without "
                                          "leading zeros, not \"%1\"").arg(text));
        options.listen = address;
    }
    const auto text = [&parser](const char *name, QString *value) {
        if (parser.isSet(QString::fromLatin1(name)))
            *value = parser.value(QString::fromLatin1(name));
    };
    text("version", &options.version);
    text("serial", &options.serialNumber);
    text("model", &options.model);
    text("mask", &options.mask);
    text("write-code", &options.writeCode);
    if (options.writeCode.isEmpty())
        return fail(1, QStringLiteral("--write-code needs a code"));

    QString error;
    int seed = 0;
    if (!readInt(parser, QStringLiteral("reboot-seconds"), 0, 3600, &options.rebootSeconds, &error)
        || !readInt(parser, QStringLiteral("checksum-result"), 0, 255, &options.checksumResult, &error)
        || !readInt(parser, QStringLiteral("interval"), 10, 3600000, &options.intervalMs, &error)
        || !readInt(parser, QStringLiteral("invalid-percent"), 0, 100, &options.invalidPercent, &error)
        || !readInt(parser, QStringLiteral("seed"), 0, 2147483647, &seed, &error))
        return fail(1, error);
    options.seed = quint32(seed);
    options.noVerdict = parser.isSet(QStringLiteral("no-verdict"));
    options.silent = parser.isSet(QStringLiteral("silent"));
    options.garbage = parser.isSet(QStringLiteral("garbage"));
    options.split = parser.isSet(QStringLiteral("split"));
    const QString modbus = parser.value(QStringLiteral("modbus"));
    if (!modbus.isEmpty() && modbus != QLatin1String("real") && modbus != QLatin1String("simulated"))
        return fail(1, QStringLiteral("--modbus needs \"real\" or \"simulated\", not \"%1\"").arg(modbus));
    options.realModbus = modbus == QLatin1String("real");
    const QString meters = parser.value(QStringLiteral("dlt645"));
    if (!meters.isEmpty() && meters != QLatin1String("real") && meters != QLatin1String("simulated"))
        return fail(1, QStringLiteral("--dlt645 needs \"real\" or \"simulated\", not \"%1\"").arg(meters));
    options.realMeters = meters == QLatin1String("real");
    for (const QString &entry : parser.values(QStringLiteral("serial-map"))) {
        const int equals = entry.indexOf(QLatin1Char('='));
        if (equals <= 0 || equals == entry.size() - 1)
            return fail(1, QStringLiteral("--serial-map needs PORT=DEVICE, not \"%1\"").arg(entry));
        options.serialMap.insert(entry.left(equals), entry.mid(equals + 1));
    }
    options.allowNetwork = parser.isSet(QStringLiteral("allow-network"));
    if (!options.realModbus && options.allowNetwork)
        return fail(1, QStringLiteral("--allow-network needs --modbus real"));
    if (!options.realModbus && !options.realMeters && !options.serialMap.isEmpty())
        return fail(1, QStringLiteral("--serial-map needs --modbus real or --dlt645 real"));

    std::unique_ptr<QTemporaryDir> temporaryState;
    if (parser.isSet(QStringLiteral("state"))) {
        options.stateDirectory = parser.value(QStringLiteral("state"));
        if (options.stateDirectory.isEmpty())
            return fail(1, QStringLiteral("--state needs a directory"));
    } else {
        temporaryState = std::make_unique<QTemporaryDir>();
        if (!temporaryState->isValid())
            return fail(2, QStringLiteral("cannot create a temporary state directory"));
        options.stateDirectory = temporaryState->path();
    }

    BoxSimulator simulator(options);
    if (!simulator.start(&error))
        return fail(2, error);
    return app.exec();
}
