// orvane-deploy: sends a project document and/or a program image to many boxes at once, for
// scripts and automation. The boxes see exactly what a deployment from the box dialog sends.
//
// Exit status: 0 every box reported success, 1 any box failed, 2 bad arguments (nothing sent).

#include "core/checks/ProjectChecker.h"
#include "core/checks/ProjectDiff.h"
#include "core/deployment/DeploymentStore.h"
#include "core/deployment/FleetDeployment.h"
#include "core/deployment/ProjectDeployment.h"
#include "core/project/Ipv4Address.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardItemModel>

#include <cstdio>

namespace {

constexpr int kBadArguments = 2;

int fail(const QString &message)
{
    std::fprintf(stderr, "orvane-deploy: %s\n", qPrintable(message));
    return kBadArguments;
}

// Every file is read once and with a bound (see TransferPayload::readFile): what the checks
// see is what the boxes get, and a pipe or FIFO cannot hold the run past --timeout.
SharedPayload readInput(const QString &path, int deadlineMs, QString *error)
{
    QString reason;
    SharedPayload payload = TransferPayload::readFile(path, deadlineMs, &reason);
    if (!payload)
        *error = QStringLiteral("cannot read %1: %2").arg(path, reason);
    return payload;
}

bool readObject(const QString &path, int deadlineMs, QJsonObject *object, QString *error,
                SharedPayload *read = nullptr)
{
    const SharedPayload payload = readInput(path, deadlineMs, error);
    if (!payload)
        return false;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(payload->bytes(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("%1 is not a project file (%2)").arg(path, parseError.errorString());
        return false;
    }
    *object = document.object();
    if (read)
        *read = payload;
    return true;
}

// --timeout in milliseconds, the default when it is not given; false for a value out of range.
bool timeoutOption(const QCommandLineParser &parser, int *timeoutMs)
{
    *timeoutMs = FleetDeployment::kDefaultTimeoutMs;
    if (!parser.isSet(QStringLiteral("timeout")))
        return true;
    bool ok = false;
    const double seconds = parser.value(QStringLiteral("timeout")).toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 86400)
        return false;
    *timeoutMs = qMax(1, int(seconds * 1000));
    return true;
}

void printLine(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Nothing was sent: every box fails at `stage` with `reason`, in the form of a box's result.
int failEveryBox(const QStringList &boxes, bool json, const QString &stage, const QString &reason)
{
    for (const QString &box : boxes) {
        if (json)
            printLine(QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("box"), box},
                                                                  {QStringLiteral("success"), false},
                                                                  {QStringLiteral("stage"), stage},
                                                                  {QStringLiteral("result"), reason},
                                                                  {QStringLiteral("seconds"), 0}})
                                            .toJson(QJsonDocument::Compact)));
        else
            printLine(QStringLiteral("%1 failed %2").arg(box, reason));
    }
    return 1;
}

QString commandName(quint8 command)
{
    return command == FileTransfer::ProgramUpdate ? QStringLiteral("program") : QStringLiteral("project");
}

QString kindName(ProjectChange::Kind kind)
{
    switch (kind) {
    case ProjectChange::Added:
        return QStringLiteral("added");
    case ProjectChange::Removed:
        return QStringLiteral("removed");
    case ProjectChange::Changed:
        break;
    }
    return QStringLiteral("changed");
}

// --check-only: what a run would send to each box, from the copies and records this computer
// keeps; no box is contacted. Always exit 0 here: the checks have passed when this runs.
int reportWithoutSending(const QStringList &boxes, bool json, const QString &projectName,
                         const SharedPayload &project, const SharedPayload &program)
{
    QJsonObject document;
    if (project)
        document = QJsonDocument::fromJson(project->bytes()).object();
    const QSet<QString> haveProgram =
        program ? FleetDeployment::boxesWithProgram(QString(), program->bytes()) : QSet<QString>();
    for (const QString &box : boxes) {
        QJsonObject line{{QStringLiteral("box"), box}, {QStringLiteral("success"), true},
                         {QStringLiteral("stage"), QStringLiteral("check")}};
        QStringList said;
        bool changed = false;
        if (project) {
            QJsonObject kept;
            QJsonArray changes;
            if (FleetDeployment::projectUnchanged(QString(), box, projectName, project->bytes())) {
                said << QStringLiteral("project unchanged");
            } else if (DeploymentStore().lastDocument(box, projectName, &kept)) {
                changed = true;
                const ProjectChanges found = ProjectDiff::compare(kept, document);
                for (const ProjectChange &change : found)
                    changes.append(QJsonObject{{QStringLiteral("kind"), kindName(change.kind)},
                                               {QStringLiteral("place"), change.place},
                                               {QStringLiteral("field"), change.field},
                                               {QStringLiteral("old"), change.oldValue},
                                               {QStringLiteral("new"), change.newValue}});
                said << QStringLiteral("project: %1 change(s)").arg(found.size());
            } else {
                changed = true;
                said << QStringLiteral("would receive the whole project");
            }
            line.insert(QStringLiteral("changes"), changes);
        }
        if (program) {
            const bool same = haveProgram.contains(box);
            changed = changed || !same;
            said << (same ? QStringLiteral("program unchanged") : QStringLiteral("would receive the program"));
            line.insert(QStringLiteral("program"), same ? QStringLiteral("unchanged") : QStringLiteral("would be sent"));
        }
        line.insert(QStringLiteral("changed"), changed);
        line.insert(QStringLiteral("result"), said.join(QStringLiteral("; ")));
        if (json)
            printLine(QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)));
        else
            printLine(QStringLiteral("%1 %2 %3").arg(box, changed ? QStringLiteral("would-change") : QStringLiteral("unchanged"),
                                                    said.join(QStringLiteral("; "))));
    }
    return 0;
}

// The boxes of a project file, or of an inventory as `ansible-inventory --list` prints it
// (every host's box_ip). False with the reason for an address that is not usable.
bool boxesOf(const QString &path, const QJsonObject &source, QStringList *boxes, QString *error)
{
    QStringList found;
    if (source.contains(Key::Boxs)) {
        for (const QJsonValue &value : source.value(Key::Boxs).toArray())
            // Not trimmed: a stored address is taken as written or not at all.
            found.append(value.toObject().value(QStringLiteral("ip")).toString());
    } else {
        const QJsonObject hostvars = source.value(QStringLiteral("_meta")).toObject().value(QStringLiteral("hostvars")).toObject();
        for (auto host = hostvars.begin(); host != hostvars.end(); ++host) {
            const QJsonValue ip = host.value().toObject().value(QStringLiteral("box_ip"));
            if (!ip.isUndefined())
                found.append(ip.toString());
        }
    }
    for (const QString &ip : qAsConst(found)) {
        if (!Ipv4Address::isValid(ip)) {
            *error = QStringLiteral("%1 has a box without a valid IPv4 address (\"%2\")").arg(path, ip);
            return false;
        }
        boxes->append(ip);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The same name as the window program: the records go into the same data directory.
    QCoreApplication::setApplicationName(QStringLiteral("Orvane 600"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends a project and/or a program image to many boxes at once. With both, each box gets "
        "the program only after its project checked out. Prints one line per box (address, "
        "result, time), or one JSON object per box with --json. Exit status: 0 when every box "
        "reported success, 1 when any failed, 2 for bad arguments (no box contacted)."));
    parser.addHelpOption();
    const auto option = [&parser](const char *name, const char *help, const char *valueName = nullptr) {
        parser.addOption(valueName ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                                        QString::fromLatin1(valueName))
                                   : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help)));
    };
    option("project", "Project file to deploy, sent byte for byte as saved (read once; at most 256 MiB; a pipe such "
                      "as /dev/stdin must end within --timeout).", "FILE.json");
    option("program", "Program image to send as a program update (read once, at most 256 MiB).", "FILE.bin");
    option("box", "IPv4 address of a box (repeatable), four decimal parts without leading zeros.", "ADDR");
    option("boxes-from", "Also every box item of this project file, or every host with a box_ip of an inventory "
                         "as `ansible-inventory --list` prints it.", "FILE.json");
    option("bind", "Local IPv4 address to send from.", "LOCAL_ADDR");
    option("parallel", "At most N boxes at once (default 8), fewer when the open-file limit allows fewer.", "N");
    option("timeout", "Seconds for each box's whole transfer, verdicts included (default 60).", "S");
    option("json", "One JSON object per box instead of a line of text.");
    option("force", "Deploy even when the project checks find errors.");
    option("skip-unchanged", "Send a box nothing it confirmed before, as this computer's records show: the project "
                             "when the copy kept of its last confirmed deployment is byte-identical, the program "
                             "when its last confirmed program update had the same MD5. Reported as unchanged.");
    option("check-only", "Contact no box: run the checks and report per box what a run would change, from the "
                         "copies and records kept on this computer. Exit 0 when nothing would fail.");

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    const QString projectPath = parser.value(QStringLiteral("project"));
    const QString programPath = parser.value(QStringLiteral("program"));
    if (projectPath.isEmpty() && programPath.isEmpty())
        return fail(QStringLiteral("give --project, --program or both"));

    int timeoutMs = 0;
    if (!timeoutOption(parser, &timeoutMs))
        return fail(QStringLiteral("--timeout needs a number of seconds above 0, at most 86400"));

    QString error;
    QJsonObject project;
    SharedPayload projectBytes;
    if (!projectPath.isEmpty() && !readObject(projectPath, timeoutMs, &project, &error, &projectBytes))
        return fail(error);
    SharedPayload programBytes;
    if (!programPath.isEmpty() && !(programBytes = readInput(programPath, timeoutMs, &error)))
        return fail(error);

    QStringList boxes;
    for (const QString &box : parser.values(QStringLiteral("box"))) {
        if (!Ipv4Address::isValid(box))
            return fail(QStringLiteral("--box needs an IPv4 address of four decimal parts without leading zeros, "
                                       "not \"%1\"").arg(box));
        boxes.append(box);
    }
    for (const QString &path : parser.values(QStringLiteral("boxes-from"))) {
        QJsonObject source;
        if (!readObject(path, timeoutMs, &source, &error) || !boxesOf(path, source, &boxes, &error))
            return fail(error);
    }
    // Only the one spelling passes, so equal text is the same box: it gets one transfer.
    boxes.removeDuplicates();
    if (boxes.isEmpty())
        return fail(QStringLiteral("no box: give --box ADDR or --boxes-from PROJECT.json"));

    const QString bind = parser.value(QStringLiteral("bind"));
    if (parser.isSet(QStringLiteral("bind")) && !Ipv4Address::isValid(bind))
        return fail(QStringLiteral("--bind needs an IPv4 address, not \"%1\"").arg(bind));
    int parallel = FleetDeployment::kDefaultParallel;
    if (parser.isSet(QStringLiteral("parallel"))) {
        bool ok = false;
        parallel = parser.value(QStringLiteral("parallel")).toInt(&ok);
        if (!ok || parallel < 1 || parallel > 1000)
            return fail(QStringLiteral("--parallel needs a whole number from 1 to 1000"));
    }
    const bool json = parser.isSet(QStringLiteral("json"));

    // The checks read the project as the window would hold it.
    QString projectName;
    bool checksStop = false;
    if (!projectPath.isEmpty()) {
        registerItemRecordTypes();
        QStandardItemModel model;
        const ProjectJson::LoadOutcome loaded =
            ProjectJson::loadProjectIntoModel(&model, project, QFileInfo(projectPath).absolutePath());
        projectName = loaded.project ? loaded.project->text() : QString();
        const CheckFindings findings = loaded.project ? ProjectChecker::check(loaded.project) : CheckFindings();
        for (const CheckFinding &finding : findings) {
            std::fprintf(stderr, "orvane-deploy: %s: %s%s\n",
                         finding.severity == CheckFinding::Error ? "error" : "warning",
                         finding.item ? qPrintable(finding.item->text() + QStringLiteral(": ")) : "",
                         qPrintable(finding.text));
        }
        checksStop = ProjectChecker::hasErrors(findings) && !parser.isSet(QStringLiteral("force"));
    }

    if (checksStop)
        return failEveryBox(boxes, json, QStringLiteral("checks"),
                            QStringLiteral("Project checks found errors; nothing sent (--force sends anyway)."));
    if (parser.isSet(QStringLiteral("check-only")))
        return reportWithoutSending(boxes, json, projectName, projectBytes, programBytes);

    FleetDeployment fleet;
    fleet.setBoxes(boxes);
    if (projectBytes) {
        // The same path as the windows': a copy checked to the last byte, or nothing is sent.
        std::shared_ptr<ProjectDeployment> deployment =
            ProjectDeployment::prepare(projectBytes->bytes(), projectName, &error);
        if (!deployment)
            return failEveryBox(boxes, json, QStringLiteral("copy"), error + QStringLiteral("; nothing sent."));
        fleet.setProject(std::move(deployment));
    }
    if (programBytes)
        fleet.setProgram(programBytes);
    if (!bind.isEmpty())
        fleet.setLocalAddress(bind);
    fleet.setParallel(parallel);
    if (fleet.parallel() < parallel) {
        // Each transfer holds a socket: more at once would fail to connect for want of
        // descriptors, and the boxes would be blamed.
        std::fprintf(stderr,
                     "orvane-deploy: --parallel %d: the limit of %lld open files allows %d at once; running %d\n",
                     parallel, static_cast<long long>(FleetDeployment::openFileLimit()), fleet.parallel(),
                     fleet.parallel());
    }
    fleet.setTimeoutMs(timeoutMs);
    fleet.setSkipUnchanged(parser.isSet(QStringLiteral("skip-unchanged")));
    QObject::connect(&fleet, &FleetDeployment::boxChanged, &fleet, [&fleet, json](int index) {
        const FleetDeployment::BoxResult result = fleet.result(index);
        if (result.state != FleetDeployment::State::Succeeded && result.state != FleetDeployment::State::Failed)
            return;
        const bool success = result.state == FleetDeployment::State::Succeeded;
        const double seconds = result.elapsedMs / 1000.0;
        const QString box = fleet.boxes().at(index);
        if (!result.recordNotKept.isEmpty())
            std::fprintf(stderr, "orvane-deploy: %s: %s\n", qPrintable(box), qPrintable(result.recordNotKept));
        if (!result.copyNotKept.isEmpty()) {
            std::fprintf(stderr, "orvane-deploy: %s: the copy kept for comparing the next deployment could not be written: %s\n",
                         qPrintable(box), qPrintable(result.copyNotKept));
        }
        if (json) {
            printLine(QString::fromUtf8(
                QJsonDocument(QJsonObject{{QStringLiteral("box"), box},
                                          {QStringLiteral("success"), success},
                                          {QStringLiteral("stage"), result.command ? commandName(result.command)
                                                                                   : QStringLiteral("unchanged")},
                                          {QStringLiteral("result"), result.reason},
                                          {QStringLiteral("changed"), result.changed},
                                          {QStringLiteral("seconds"), seconds}})
                    .toJson(QJsonDocument::Compact)));
        } else {
            printLine(QStringLiteral("%1 %2 %3 %4 s")
                          .arg(box, success ? QStringLiteral("ok") : QStringLiteral("failed"),
                               success ? result.reason : commandName(result.command) + QStringLiteral(": ") + result.reason)
                          .arg(seconds, 0, 'f', 2));
        }
    });
    QObject::connect(&fleet, &FleetDeployment::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    fleet.start();
    if (fleet.isRunning())
        app.exec();
    return fleet.succeededCount() == fleet.count() ? 0 : 1;
}
