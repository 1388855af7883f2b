#include "BoxSimulator.h"

#include "core/boxlink/BoxMessages.h"
#include "core/boxlink/FrameCodec.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTime>

#include <cstdio>

namespace {

const char *const kGroupLabels[BoxMessages::KindCount] = {"LAN", "WAN", "WiFi", "LTE", "NTP",
                                                          "clock"};

QByteArray jsonFrame(const QJsonObject &message)
{
    return FrameCodec::jsonMessage(QJsonDocument(message).toJson());
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

QJsonObject livePoint(const QString &name, const QString &addr, const QString &dataType,
                      const QString &value, bool valid)
{
    return QJsonObject{{QStringLiteral("name"), name},
                       {QStringLiteral("addr"), addr},
                       {QStringLiteral("dataType"), dataType},
                       {QStringLiteral("value"), valid ? value : QString()},
                       {QStringLiteral("valid"), valid ? QStringLiteral("1") : QStringLiteral("0")}};
}

QByteArray liveReport(const ReportHeader &header, const QString &device, const QJsonArray &datas)
{
    const QJsonObject object{{QStringLiteral("projectName"), header.projectName},
                             {QStringLiteral("plcName"), device},
                             {QStringLiteral("description"), header.description},
                             {QStringLiteral("sn"), header.serialNumber},
                             {QStringLiteral("time"), header.time},
                             {QStringLiteral("datas"), datas}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void simLog(const QString &line)
{
    const QByteArray bytes =
        (QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line + QLatin1Char('\n'))
            .toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

BoxSimulator::BoxSimulator(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_random(options.seed != 0 ? options.seed : QRandomGenerator::global()->generate())
{
}

BoxSimulator::~BoxSimulator() = default;

bool BoxSimulator::start(QString *error)
{
    if (!m_state.open(m_options.stateDirectory, error))
        return false;
    if (!listenTcp(error))
        return false;
    // Exclusive, so a second simulator on the same address fails instead of sharing datagrams.
    if (!m_udp.bind(m_options.listen, FrameCodec::BoxPort, QUdpSocket::DontShareAddress)) {
        *error = QStringLiteral("cannot bind UDP %1:%2: %3")
                     .arg(m_options.listen.toString())
                     .arg(FrameCodec::BoxPort)
                     .arg(m_udp.errorString());
        m_server.close();
        return false;
    }
    // Bound to the wildcard address, the socket above gets broadcasts already (and the shared
    // one could not be bound beside it).
    if (m_options.listen != QHostAddress::AnyIPv4
        && !m_broadcastUdp.bind(QHostAddress(QHostAddress::Broadcast), FrameCodec::BoxPort,
                                QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QStringLiteral("cannot bind UDP %1:%2 for discovery broadcasts: %3")
                     .arg(QHostAddress(QHostAddress::Broadcast).toString())
                     .arg(FrameCodec::BoxPort)
                     .arg(m_broadcastUdp.errorString());
        m_udp.close();
        m_server.close();
        return false;
    }
    connect(&m_udp, &QUdpSocket::readyRead, this, [this] { readDatagrams(&m_udp); });
    connect(&m_broadcastUdp, &QUdpSocket::readyRead, this, [this] { readDatagrams(&m_broadcastUdp); });
    connect(&m_server, &QTcpServer::newConnection, this, &BoxSimulator::acceptConnections);

    LiveReporter::Settings settings;
    settings.serialNumber = m_options.serialNumber;
    settings.intervalOverrideMs = m_options.intervalMs;
    settings.invalidPercent = m_options.invalidPercent;
    settings.skipModbus = m_options.realModbus;
    settings.skipMeters = m_options.realMeters;
    settings.clock = [this]() { return m_state.clockText(); };
    m_reporter = new LiveReporter(settings, &m_random, this);
    connect(m_reporter, &LiveReporter::reportReady, this, &BoxSimulator::sendReport);
    if (m_options.realModbus) {
        ModbusPoller::Settings polling;
        polling.serialNumber = m_options.serialNumber;
        polling.serialMap = m_options.serialMap;
        polling.allowNetwork = m_options.allowNetwork;
        polling.intervalOverrideMs = m_options.intervalMs;
        polling.clock = settings.clock;
        m_poller = new ModbusPoller(polling, this);
        connect(m_poller, &ModbusPoller::reportReady, this, &BoxSimulator::sendReport);
    }
    if (m_options.realMeters) {
        MeterPoller::Settings polling;
        polling.serialNumber = m_options.serialNumber;
        polling.serialMap = m_options.serialMap;
        polling.intervalOverrideMs = m_options.intervalMs;
        polling.clock = settings.clock;
        m_meterPoller = new MeterPoller(polling, this);
        connect(m_meterPoller, &MeterPoller::reportReady, this, &BoxSimulator::sendReport);
    }

    simLog(QStringLiteral("orvane-boxsim %1 (serial %2, model %3) listening on %4:%5 (TCP and UDP, "
                          "UDP broadcasts too), state in %6")
               .arg(m_options.version, m_options.serialNumber, m_options.model,
                    m_options.listen.toString())
               .arg(FrameCodec::BoxPort)
               .arg(m_state.directory()));
    loadDeployedProject();
    return true;
}

bool BoxSimulator::listenTcp(QString *error)
{
    if (m_server.listen(m_options.listen, FrameCodec::BoxPort))
        return true;
    *error = QStringLiteral("cannot listen on TCP %1:%2: %3")
                 .arg(m_options.listen.toString())
                 .arg(FrameCodec::BoxPort)
                 .arg(m_server.errorString());
    return false;
}

void BoxSimulator::acceptConnections()
{
    while (m_server.hasPendingConnections()) {
        QTcpSocket *socket = m_server.nextPendingConnection();
        if (m_rebooting) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        SimConnection::Faults faults;
        faults.garbage = m_options.garbage;
        faults.split = m_options.split;
        auto *connection = new SimConnection(socket, faults, &m_random, this);
        connect(connection, &SimConnection::frameReceived, this, &BoxSimulator::handleFrame);
        connect(connection, &SimConnection::closed, this, &BoxSimulator::connectionClosed);
        m_connections.append(connection);
        simLog(connection->peer() + QStringLiteral(" connected"));
    }
}

void BoxSimulator::connectionClosed(SimConnection *connection)
{
    if (!m_connections.removeAll(connection))
        return;
    if (connection->transfer())
        recordAbandonedTransfer(connection);
    simLog(connection->peer() + QStringLiteral(" disconnected"));
    connection->deleteLater();
}

void BoxSimulator::handleFrame(SimConnection *connection, const QByteArray &frame)
{
    if (m_rebooting)
        return;
    const quint8 command = quint8(frame.at(2));
    switch (command) {
    case FrameCodec::HeartbeatRequest:
        connection->markLink();
        simLog(connection->peer()
               + (m_options.silent ? QStringLiteral(" heartbeat (not answered: --silent)")
                                   : QStringLiteral(" heartbeat")));
        if (!m_options.silent)
            connection->send(FrameCodec::heartbeatReply(m_options.version.toUtf8(),
                                                        m_options.serialNumber.toUtf8(),
                                                        m_options.model.toUtf8()));
        break;
    case FrameCodec::JsonMessage:
        connection->markLink();
        handleJson(connection, frame);
        break;
    case FrameCodec::ProjectTransfer:
    case FrameCodec::ProgramTransfer:
        handleTransferFrame(connection, frame);
        break;
    default:
        simLog(connection->peer()
               + QStringLiteral(" ignored frame with command %1 (%2 bytes)").arg(command).arg(frame.size()));
        break;
    }
}

void BoxSimulator::handleJson(SimConnection *connection, const QByteArray &frame)
{
    const QString peer = connection->peer();
    if (frame.size() < FrameCodec::JsonOverhead)
        return;
    const QJsonDocument document =
        QJsonDocument::fromJson(frame.mid(8, frame.size() - FrameCodec::JsonOverhead));
    if (!document.isObject()) {
        simLog(peer + QStringLiteral(" unparseable JSON message; not answered"));
        return;
    }
    const QJsonObject message = document.object();
    const QJsonValue typeValue = message.value(QStringLiteral("type"));
    const QJsonValue paresValue = message.value(QStringLiteral("pares"));

    if (typeValue.isString()) {
        const QString type = typeValue.toString();
        BoxMessages::Kind kind;
        if (type == BoxMessages::rebootType()) {
            if (paresValue.toObject().value(QStringLiteral("reboot")).toString()
                != QLatin1String("reboot")) {
                simLog(peer + QStringLiteral(" reboot request without \"reboot\": \"reboot\"; "
                                             "not answered: ") + compact(message));
                return;
            }
            const QString code = m_options.writeCode;
            simLog(peer + QStringLiteral(" reboot (type \"6\") -> code %1").arg(code));
            connection->send(jsonFrame(BoxMessages::codeReply(type, code)));
            if (code == QLatin1String("200"))
                scheduleReboot();
        } else if (BoxMessages::kindForReadType(type, &kind)) {
            const QJsonObject pares = m_state.settings(kind);
            simLog(peer + QStringLiteral(" read %1 (type \"%2\") -> %3")
                              .arg(QLatin1String(kGroupLabels[kind]), type, compact(pares)));
            connection->send(jsonFrame(BoxMessages::readReply(kind, pares)));
        } else {
            simLog(peer + QStringLiteral(" unknown request type \"%1\"; not answered").arg(type));
        }
        return;
    }
    if (!typeValue.isDouble()) {
        simLog(peer + QStringLiteral(" request without a string or number \"type\"; not answered: ")
               + compact(message));
        return;
    }
    const double number = typeValue.toDouble();
    BoxMessages::Kind kind;
    if (number != double(int(number)) || !BoxMessages::kindForWriteType(int(number), &kind)) {
        simLog(peer + QStringLiteral(" unknown request type %1; not answered").arg(number));
        return;
    }
    const int type = int(number);
    QString code = m_options.writeCode;
    const QJsonObject pares = paresValue.toObject();
    if (code == QLatin1String("200")) {
        bool valid = paresValue.isObject();
        for (const QString &key : BoxMessages::keys(kind)) {
            if (pares.contains(key) && !pares.value(key).isString())
                valid = false; // every setting travels as a string
        }
        if (!valid)
            code = QStringLiteral("400");
        else if (kind == BoxMessages::Time
                 ? !m_state.setClock(pares.value(QStringLiteral("date")).toString())
                 : !m_state.storeSettings(kind, pares))
            code = QStringLiteral("400");
    }
    simLog(peer + QStringLiteral(" write %1 (type %2) %3 -> code %4")
                      .arg(QLatin1String(kGroupLabels[kind]))
                      .arg(type)
                      .arg(compact(pares), code));
    connection->send(jsonFrame(BoxMessages::codeReply(QString::number(type), code)));
}

void BoxSimulator::handleTransferFrame(SimConnection *connection, const QByteArray &frame)
{
    const quint8 command = quint8(frame.at(2));
    const QString what = command == FrameCodec::ProjectTransfer ? QStringLiteral("project deployment")
                                                                : QStringLiteral("program update");
    TransferReceiver *transfer = connection->transfer();
    if (!transfer) {
        transfer = connection->startTransfer(command);
        simLog(connection->peer() + QStringLiteral(" %1 (command %2) started").arg(what).arg(command));
    } else if (transfer->command() != command) {
        simLog(connection->peer()
               + QStringLiteral(" frame of command %1 inside a transfer of command %2; ignored")
                     .arg(command)
                     .arg(transfer->command()));
        return;
    }
    if (transfer->addFrame(frame)) {
        finishTransfer(connection);
        return;
    }
    // One line per fragment would make the log the bottleneck of a large transfer: log the
    // first fragment and then one per MiB; the summary line follows the checksum frame.
    FrameCodec::FragmentHeader header;
    if (FrameCodec::parseFragmentHeader(frame.constData(), frame.size(), &header)
        && (header.number == 1 || header.number % 1024 == 0))
        simLog(connection->peer()
               + QStringLiteral(" %1 fragment %2: %3 bytes, total %4")
                     .arg(what)
                     .arg(header.number)
                     .arg(header.length)
                     .arg(header.total));
}

void BoxSimulator::finishTransfer(SimConnection *connection)
{
    std::unique_ptr<TransferReceiver> transfer = connection->takeTransfer();
    const quint8 command = transfer->command();
    const int result = m_options.checksumResult >= 0 ? m_options.checksumResult
                                                     : (transfer->verified() ? 0 : 1);
    QString storedAs;
    if (transfer->verified() && result == 0) {
        if (command == FrameCodec::ProjectTransfer) {
            if (m_state.storeDeployedProject(transfer->data()))
                storedAs = QStringLiteral("deployed.json");
        } else if (m_state.storeProgram(transfer->data())) {
            storedAs = QStringLiteral("program.bin");
        }
    }
    // The record is on disk before the verdict leaves, so whoever gets the verdict can read it.
    m_state.appendTransferRecord(transfer->record(m_options.noVerdict ? -1 : result, storedAs));
    simLog(connection->peer()
           + QStringLiteral(" transfer (command %1) checksum: %2 bytes, %3%4, verdict %5%6")
                 .arg(command)
                 .arg(transfer->data().size())
                 .arg(transfer->verified() ? QStringLiteral("verified")
                                           : QStringLiteral("NOT verified: ")
                                                 + transfer->errors().join(QStringLiteral("; ")))
                 .arg(storedAs.isEmpty() ? QString() : QStringLiteral(", stored as ") + storedAs)
                 .arg(result)
                 .arg(m_options.noVerdict ? QStringLiteral(" (not sent: --no-verdict)") : QString()));
    if (!m_options.noVerdict)
        connection->sendRaw(FrameCodec::transferVerdict(command, quint8(result)));
    if (storedAs == QLatin1String("deployed.json"))
        loadProject(transfer->data()); // the bytes just stored, not read back from the disk
}

void BoxSimulator::recordAbandonedTransfer(SimConnection *connection)
{
    std::unique_ptr<TransferReceiver> transfer = connection->takeTransfer();
    m_state.appendTransferRecord(transfer->record(-1, QString()));
    simLog(connection->peer()
           + QStringLiteral(" transfer (command %1) abandoned after %2 bytes, no checksum frame")
                 .arg(transfer->command())
                 .arg(transfer->data().size()));
}

void BoxSimulator::readDatagrams(QUdpSocket *socket)
{
    const QString how = socket == &m_broadcastUdp ? QStringLiteral(" (broadcast)") : QString();
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        const QString sender = QStringLiteral("%1:%2")
                                   .arg(datagram.senderAddress().toString())
                                   .arg(datagram.senderPort());
        if (m_rebooting)
            continue;
        if (!FrameCodec::isDiscoveryRequest(datagram.data())) {
            simLog(sender + QStringLiteral(" ignored datagram of %1 bytes%2").arg(datagram.data().size()).arg(how));
            continue;
        }
        const QByteArray reply =
            FrameCodec::discoveryReply(replyAddress(datagram), m_options.mask, m_options.model);
        // Always from the unicast socket: the reply's source is then this box's own address,
        // whichever socket the request came in on.
        m_udp.writeDatagram(reply, datagram.senderAddress(), quint16(datagram.senderPort()));
        simLog(sender + QStringLiteral(" discovery request answered") + how);
    }
}

QString BoxSimulator::replyAddress(const QNetworkDatagram &request) const
{
    if (m_options.listen != QHostAddress::AnyIPv4)
        return m_options.listen.toString();
    // Serving every address, the box is reached at the one the request was sent to, or for a
    // broadcast at the address of the interface it came in on; "0.0.0.0" reaches nothing.
    const QHostAddress destination = request.destinationAddress();
    if (destination.protocol() == QAbstractSocket::IPv4Protocol
        && destination != QHostAddress::Broadcast && !destination.isNull())
        return destination.toString();
    const QNetworkInterface iface = QNetworkInterface::interfaceFromIndex(request.interfaceIndex());
    for (const QNetworkAddressEntry &entry : iface.addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return entry.ip().toString();
    }
    return m_options.listen.toString();
}

void BoxSimulator::scheduleReboot()
{
    if (m_rebootPending || m_rebooting)
        return;
    m_rebootPending = true;
    // A moment for the reply to leave before the links drop.
    QTimer::singleShot(200, this, &BoxSimulator::beginReboot);
}

void BoxSimulator::beginReboot()
{
    m_rebootPending = false;
    m_rebooting = true;
    simLog(QStringLiteral("rebooting: dropping %1 connection(s), refusing connections for %2 s")
               .arg(m_connections.size())
               .arg(m_options.rebootSeconds));
    m_server.close();
    const QList<SimConnection *> connections = m_connections;
    for (SimConnection *connection : connections)
        connection->close();
    QTimer::singleShot(m_options.rebootSeconds * 1000, this, [this]() { endReboot(0); });
}

void BoxSimulator::endReboot(int attempt)
{
    QString error;
    if (listenTcp(&error)) {
        m_rebooting = false;
        simLog(QStringLiteral("back up after reboot"));
        return;
    }
    if (attempt >= 40) {
        std::fprintf(stderr, "orvane-boxsim: %s\n", qPrintable(error));
        QCoreApplication::exit(2);
        return;
    }
    QTimer::singleShot(250, this, [this, attempt]() { endReboot(attempt + 1); });
}

void BoxSimulator::sendReport(const QByteArray &text, const QString &device)
{
    if (m_rebooting)
        return;
    const QList<QByteArray> frames = FrameCodec::liveDataFragments(text);
    int links = 0;
    for (SimConnection *connection : qAsConst(m_connections)) {
        if (!connection->isLink() || connection->transfer())
            continue;
        ++links;
        for (const QByteArray &frame : frames)
            connection->send(frame);
    }
    if (links > 0)
        simLog(QStringLiteral("live data for %1: %2 bytes in %3 fragment(s) to %4 link(s)")
                   .arg(device)
                   .arg(text.size())
                   .arg(frames.size())
                   .arg(links));
}

void BoxSimulator::loadDeployedProject()
{
    loadProject(m_state.deployedProject());
}

void BoxSimulator::loadProject(const QByteArray &bytes)
{
    if (bytes.isEmpty()) {
        m_reporter->stop();
        if (m_poller)
            m_poller->stop();
        if (m_meterPoller)
            m_meterPoller->stop();
        simLog(QStringLiteral("no deployed project: no live data"));
        return;
    }
    QString summary;
    m_reporter->load(bytes, &summary);
    simLog(QStringLiteral("deployed ") + summary);
    if (m_poller)
        simLog(QStringLiteral("deployed ") + m_poller->load(bytes));
    if (m_meterPoller)
        simLog(QStringLiteral("deployed ") + m_meterPoller->load(bytes));
}
