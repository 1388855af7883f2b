// Box discovery: the request on the wire, how replies are listed, a search against the box
// simulator, searches that cannot send, and the main window's "Search Box" command. All
// traffic stays on 127.0.7.x: the dialog's interface, addresses, destination and local port
// are redirected through its test hooks, and its timers are shortened.

#include "gui/boxlink/BoxInputDialog.h"
#include "gui/boxlink/BoxSearchDialog.h"
#include "core/boxlink/FrameCodec.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"

#include "BoxSimProcess.h"
#include "BoxTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QMenu>
#include <QNetworkDatagram>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUdpSocket>
#include <QVBoxLayout>
#include <QtTest>

namespace {

constexpr int kTickMs = 100;
constexpr int kSearchMs = 1000;

QStringList g_debugLines;
QtMessageHandler g_previousHandler = nullptr;

void captureDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg)
        g_debugLines << message;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QNetworkInterface loopbackInterface()
{
    for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces()) {
        const auto flags = iface.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack) && flags.testFlag(QNetworkInterface::IsUp)
            && flags.testFlag(QNetworkInterface::IsRunning))
            return iface;
    }
    return QNetworkInterface();
}

// Keeps the dialog on the loopback interface with the given addresses, sending to
// `destination` from any free port, with short timers.
BoxSearchDialog::TestHooks loopbackHooks(const QList<QHostAddress> &addresses,
                                         const QHostAddress &destination, int localPort = 0)
{
    BoxSearchDialog::TestHooks hooks;
    const QNetworkInterface lo = loopbackInterface();
    hooks.interfaces = [lo] { return QList<QNetworkInterface>{lo}; };
    hooks.addressEntries = [addresses](const QNetworkInterface &) {
        QList<QNetworkAddressEntry> entries;
        for (const QHostAddress &address : addresses) {
            QNetworkAddressEntry entry;
            entry.setIp(address);
            entries << entry;
        }
        return entries;
    };
    hooks.destination = destination;
    hooks.localPort = localPort;
    hooks.broadcastIntervalMs = kTickMs;
    hooks.searchDurationMs = kSearchMs;
    return hooks;
}

QByteArray field16(const QByteArray &text, char pad)
{
    return text + QByteArray(16 - text.size(), pad);
}

QByteArray reply(const QByteArray &ip, const QByteArray &mask, const QByteArray &model,
                 char ipPad = '\0', char maskPad = ' ')
{
    return QByteArray::fromHex("1234ffff") + field16(ip, ipPad) + field16(mask, maskPad)
        + char(model.size()) + model;
}

QString entry(const QString &ip, const QString &mask, const QString &model)
{
    return QStringLiteral("设备IP: ") + ip + QStringLiteral("\n子网掩码: ") + mask
        + QStringLiteral("\n盒子型号: ") + model;
}

QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

int logCount(const QString &needle)
{
    QFile log(QCoreApplication::applicationDirPath() + QStringLiteral("/ORVANELOG.log"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromUtf8(log.readAll()).count(needle);
}

// A project item with its four folders, expanded.
QStandardItem *addProject(CMainWindow *window)
{
    auto *project = new QStandardItem(QStringLiteral("P"));
    for (const QString &folder : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data})
        project->appendRow(new QStandardItem(folder));
    window->projectModel()->appendRow(project);
    window->projectView()->expandAll();
    return project;
}

const QString kTimeoutLine = QStringLiteral("BoxSearchDialog: search timeout, no devices found.");

// A stand-in box on 127.0.7.x port 30088: records the requests it receives.
struct FakeBox {
    QUdpSocket socket;
    QList<QNetworkDatagram> requests;

    bool bind(const QString &address)
    {
        if (!socket.bind(QHostAddress(address), FrameCodec::BoxPort, QUdpSocket::DontShareAddress))
            return false;
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams())
                requests << socket.receiveDatagram();
        });
        return true;
    }
};

} // namespace

Q_DECLARE_METATYPE(QList<QByteArray>)

class TstBoxSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogLayout();
    void requestOnTheWire();
    void replies_data();
    void replies();
    void findsSimulatedBox();
    void nothingSent_data();
    void nothingSent();
    void takenPortFallsBack();
    void restartedSearchRunsItsFullTime();
    void mainWindowOpensFurtherWindows();
    void addFoundBoxToProject_data();
    void addFoundBoxToProject();

private:
    QTemporaryDir m_workDir;
    QString m_oldCwd;
};

void TstBoxSearch::initTestCase()
{
    if (!loopbackInterface().isValid())
        QSKIP("no loopback interface that is up and running");
    QVERIFY(m_workDir.isValid());
    m_oldCwd = QDir::currentPath();
    // The main window keeps Settings.ini in the working directory.
    QVERIFY(QDir::setCurrent(m_workDir.path()));
    CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
}

void TstBoxSearch::init()
{
    g_debugLines.clear();
    g_previousHandler = qInstallMessageHandler(captureDebug);
}

void TstBoxSearch::cleanup()
{
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
    BoxSearchDialog::clearTestHooks();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TstBoxSearch::dialogLayout()
{
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("127.0.7.1")}, QHostAddress("127.0.7.2")));
    BoxSearchDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Search Box"));
    QCOMPARE(dialog.searchButton()->text(), QStringLiteral("Search"));
    auto *layout = qobject_cast<QVBoxLayout *>(dialog.layout());
    QVERIFY(layout);
    QCOMPARE(layout->count(), 3);
    QCOMPARE(layout->itemAt(0)->widget(), dialog.resultsList());
    QCOMPARE(layout->itemAt(1)->widget(), dialog.interfaceChoice());
    QCOMPARE(layout->itemAt(2)->widget(), dialog.searchButton());

    const QNetworkInterface lo = loopbackInterface();
    QCOMPARE(dialog.interfaceChoice()->count(), 1);
    QCOMPARE(dialog.interfaceChoice()->itemText(0), lo.humanReadableName() + QStringLiteral(" \u2014 127.0.7.1"));
    QCOMPARE(dialog.interfaceChoice()->itemData(0).value<QNetworkInterface>().name(), lo.name());
    // Not bound until the first tick.
    QCOMPARE(dialog.findChild<QUdpSocket *>()->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!dialog.isSearching());
    // Opened outside a project there is nothing to add a box to.
    QCOMPARE(dialog.addButton(), nullptr);

    // Without an IPv4 address an interface is listed by its name alone.
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("::1")}, QHostAddress("127.0.7.2")));
    BoxSearchDialog ipv6Only;
    QCOMPARE(ipv6Only.interfaceChoice()->itemText(0), lo.humanReadableName());
}

// The exact 16 bytes, as a box receives them, from the interface's IPv4 address (the first
// IPv4 entry, after an IPv6 one) and the configured local port.
void TstBoxSearch::requestOnTheWire()
{
    QCOMPARE(FrameCodec::discoveryRequest(), QByteArray::fromHex("1234000053656172636820426f785678"));

    FakeBox box;
    QVERIFY(box.bind(QStringLiteral("127.0.7.3")));
    // Port 5 only where the test may bind it; otherwise a fixed unprivileged port.
    QUdpSocket probe;
    const bool privileged = probe.bind(QHostAddress("127.0.7.4"), 5);
    probe.close();
    const int localPort = privileged ? 5 : 30587;
    BoxSearchDialog::setTestHooks(loopbackHooks(
        {QHostAddress("::1"), QHostAddress("127.0.7.4"), QHostAddress("127.0.7.5")},
        QHostAddress("127.0.7.3"), privileged ? -1 : localPort));
    BoxSearchDialog dialog;
    dialog.sendSearchBroadcast();
    dialog.sendSearchBroadcast();
    QTRY_COMPARE_WITH_TIMEOUT(box.requests.size(), 2, 3000);
    for (const QNetworkDatagram &request : box.requests) {
        QCOMPARE(request.data(), QByteArray::fromHex("1234000053656172636820426f785678"));
        QCOMPARE(request.senderAddress(), QHostAddress("127.0.7.4"));
        QCOMPARE(request.senderPort(), localPort);
    }
    QVERIFY(g_debugLines.contains(QStringLiteral("Binding to address: 127.0.7.4")));
}

void TstBoxSearch::replies_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QStringList>("expected");

    const QByteArray padded = reply("192.168.1.10", "255.255.255.0", "TLK-BOX-600");
    const QString paddedEntry = entry("192.168.1.10", "255.255.255.0", "TLK-BOX-600");
    QTest::newRow("NUL-padded IP, space-padded mask") << QList<QByteArray>{padded} << QStringList{paddedEntry};
    QList<QByteArray> tenTimes;
    for (int i = 0; i < 10; ++i)
        tenTimes << padded;
    QTest::newRow("same box ten times") << tenTimes << QStringList{paddedEntry};
    QTest::newRow("two boxes in arrival order")
        << QList<QByteArray>{reply("10.0.0.2", "255.0.0.0", "B"), padded, reply("10.0.0.2", "255.0.0.0", "B")}
        << QStringList{entry("10.0.0.2", "255.0.0.0", "B"), paddedEntry};
    // Up to the model length byte: 37 bytes, one short of the smallest reply.
    QTest::newRow("37 bytes") << QList<QByteArray>{reply("10.0.0.3", "255.0.0.0", QByteArray())}
                              << QStringList();
    QTest::newRow("38 bytes") << QList<QByteArray>{reply("10.0.0.3", "255.0.0.0", "X")}
                              << QStringList{entry("10.0.0.3", "255.0.0.0", "X")};
    QByteArray badStart = padded;
    badStart[1] = '\x35';
    QByteArray badType = padded;
    badType[3] = '\x00';
    QTest::newRow("wrong start marker, wrong reply marker, request echo")
        << QList<QByteArray>{badStart, badType, FrameCodec::discoveryRequest()} << QStringList();
    // A length byte promising more than arrived reads what is there.
    QByteArray shortModel = reply("10.0.0.4", "255.255.0.0", "TLK-BOX-600");
    shortModel[36] = char(200);
    QTest::newRow("model length beyond the datagram")
        << QList<QByteArray>{shortModel} << QStringList{entry("10.0.0.4", "255.255.0.0", "TLK-BOX-600")};
    QTest::newRow("white space around the texts is trimmed")
        << QList<QByteArray>{reply(" 10.0.0.5", "255.0.0.0\t", " M 1 ", ' ', '\0')}
        << QStringList{entry("10.0.0.5", "255.0.0.0", "M 1")};
}

// Datagrams are fed to the dialog's bound socket; a valid reply from a sentinel box follows
// them, so its entry shows that everything before it was handled.
void TstBoxSearch::replies()
{
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QStringList, expected);

    FakeBox box;
    QVERIFY(box.bind(QStringLiteral("127.0.7.6")));
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("127.0.7.7")}, QHostAddress("127.0.7.6")));
    BoxSearchDialog dialog;
    dialog.sendSearchBroadcast();
    QTRY_COMPARE_WITH_TIMEOUT(box.requests.size(), 1, 3000);
    const QNetworkDatagram request = box.requests.first();

    if (QTest::currentDataTag() == QByteArray("37 bytes"))
        QCOMPARE(datagrams.first().size(), 37);
    for (const QByteArray &datagram : datagrams)
        QVERIFY(box.socket.writeDatagram(request.makeReply(datagram)) == datagram.size());
    const QByteArray sentinel = reply("127.0.7.99", "255.255.255.255", "SENTINEL");
    box.socket.writeDatagram(request.makeReply(sentinel));
    const QString sentinelEntry = entry("127.0.7.99", "255.255.255.255", "SENTINEL");

    QTRY_VERIFY_WITH_TIMEOUT(entries(dialog.resultsList()).contains(sentinelEntry), 3000);
    QCOMPARE(entries(dialog.resultsList()), expected + QStringList{sentinelEntry});
    QCOMPARE(dialog.resultsList()->item(0)->text().split(QLatin1Char('\n')).size(), 3);
}

// A search against the box simulator lists it once, broadcasts only while searching, and
// ends quietly because something was found. A second search starts a fresh list.
void TstBoxSearch::findsSimulatedBox()
{
    BoxSimProcess sim(QStringLiteral("127.0.7.10"));
    QVERIFY2(sim.start(), qPrintable(sim.output()));
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("127.0.7.11")}, QHostAddress("127.0.7.10")));
    const int timeoutLines = logCount(kTimeoutLine);
    ModalAnswerer answerer;

    BoxSearchDialog dialog;
    dialog.show();
    const QString simEntry = entry("127.0.7.10", "255.255.255.0", "TLK-BOX-600");
    for (int round = 1; round <= 2; ++round) {
        const QString answered = QStringLiteral("discovery request answered");
        const int before = sim.count(answered);
        QTest::mouseClick(dialog.searchButton(), Qt::LeftButton);
        QVERIFY(dialog.isSearching());
        if (round == 2)
            QVERIFY(dialog.resultsList()->count() == 0 || entries(dialog.resultsList()) == QStringList{simEntry});
        QTRY_COMPARE_WITH_TIMEOUT(entries(dialog.resultsList()), QStringList{simEntry}, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isSearching(), 3000);
        // The simulator's log lines for the last requests may still be on their way: take the
        // count once it has stopped changing.
        int requests = sim.count(answered) - before;
        for (int settle = 0; settle < 10; ++settle) {
            QTest::qWait(2 * kTickMs);
            const int now = sim.count(answered) - before;
            if (now == requests)
                break;
            requests = now;
        }
        QVERIFY2(requests >= 3 && requests <= kSearchMs / kTickMs + 1, qPrintable(QString::number(requests)));
        QTest::qWait(3 * kTickMs);
        QCOMPARE(sim.count(answered) - before, requests);
        QCOMPARE(entries(dialog.resultsList()), QStringList{simEntry});
    }
    QVERIFY2(answerer.boxes.isEmpty(), qPrintable(answerer.titles().join(", ")));
    QCOMPARE(logCount(kTimeoutLine), timeoutLines);
}

void TstBoxSearch::nothingSent_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("debugLine");
    QTest::addColumn<QString>("endBox");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("interface without IPv4")
        << "::1" << QStringLiteral("No IPv4 address found for selected network interface!")
        << QStringLiteral("No Devices Found | No devices were found during the search.") << kTimeoutLine;
    // Not an address of this machine: neither the preferred nor a system-chosen port binds.
    QTest::newRow("every bind fails")
        << "192.0.2.1" << QStringLiteral("Failed to bind to selected network interface!")
        << QStringLiteral("Search Failed | Could not send the search request: binding %1 (192.0.2.1) failed: ")
               .arg(loopbackInterface().humanReadableName())
        << QStringLiteral("BoxSearchDialog: search failed, no request sent.");
}

// No IPv4 address: a debug line per tick, nothing on the wire, and at the end the "No Devices
// Found" box and the timeout line. No port that binds: the end says that nothing could be
// sent, and why, instead of blaming the network.
void TstBoxSearch::nothingSent()
{
    QFETCH(QString, address);
    QFETCH(QString, debugLine);
    QFETCH(QString, endBox);
    QFETCH(QString, logLine);

    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress(address)}, QHostAddress("127.0.7.20"), 30588));
    const int logLines = logCount(logLine);
    const int timeoutLines = logCount(kTimeoutLine);
    ModalAnswerer answerer;

    BoxSearchDialog dialog;
    QSignalSpy messages(&dialog, &BoxSearchDialog::messageAppended);
    dialog.show();
    dialog.searchForBoxes();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 1, 5000);
    QCOMPARE(answerer.titles().size(), 1);
    QVERIFY2(answerer.titles().first().startsWith(endBox), qPrintable(answerer.titles().first()));
    QVERIFY(!dialog.isSearching());
    QCOMPARE(logCount(logLine), logLines + 1);
    if (logLine != kTimeoutLine)
        QCOMPARE(logCount(kTimeoutLine), timeoutLines);
    const int ticks = g_debugLines.count(QStringLiteral("Binding to address: ") + address);
    const int lines = g_debugLines.count(debugLine);
    if (address == QLatin1String("::1")) {
        QCOMPARE(ticks, 0);
        QVERIFY2(lines >= 3 && lines <= kSearchMs / kTickMs + 1, qPrintable(QString::number(lines)));
    } else {
        // The preferred port and then the fallback fail on every tick.
        QVERIFY2(ticks >= 3 && ticks <= kSearchMs / kTickMs + 1, qPrintable(QString::number(ticks)));
        QCOMPARE(lines, ticks);
    }
    QCOMPARE(messages.count(), 0);
    QTest::qWait(2 * kTickMs);
    QCOMPARE(g_debugLines.count(debugLine), lines);
}

// The preferred local port is held by another socket: the requests go from a system-chosen
// port on the same address, the Message dock hears it once per search, and a search that sent
// but found nothing still ends with "No Devices Found".
void TstBoxSearch::takenPortFallsBack()
{
    FakeBox box;
    QVERIFY(box.bind(QStringLiteral("127.0.7.22")));
    QUdpSocket occupier;
    QVERIFY(occupier.bind(QHostAddress("127.0.7.23"), 30589, QUdpSocket::DontShareAddress));
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("127.0.7.23")}, QHostAddress("127.0.7.22"), 30589));
    ModalAnswerer answerer;

    BoxSearchDialog dialog;
    QSignalSpy messages(&dialog, &BoxSearchDialog::messageAppended);
    dialog.show();
    for (int search = 1; search <= 2; ++search) {
        const int before = box.requests.size();
        dialog.searchForBoxes();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), search, 5000);
        QCOMPARE(answerer.titles().last(), QStringLiteral("No Devices Found | No devices were found during the search."));
        const QList<QNetworkDatagram> requests = box.requests.mid(before);
        QVERIFY2(requests.size() >= 3, qPrintable(QString::number(requests.size())));
        for (const QNetworkDatagram &request : requests) {
            QCOMPARE(request.senderAddress(), QHostAddress("127.0.7.23"));
            QVERIFY(request.senderPort() > 0 && request.senderPort() != 30589);
        }
        QCOMPARE(messages.count(), search);
        const QString text = messages.last().first().toString();
        QVERIFY2(text.contains(QStringLiteral("local port 30589 on %1 (127.0.7.23) could not be bound")
                                   .arg(loopbackInterface().humanReadableName()))
                     && text.contains(QStringLiteral("setcap cap_net_bind_service=+ep ")),
                 qPrintable(text));
    }
}

// Pressing "Search" again mid-search gives the new search its whole time: the first
// search's end neither stops the broadcasts nor reports "No Devices Found".
void TstBoxSearch::restartedSearchRunsItsFullTime()
{
    FakeBox box;
    QVERIFY(box.bind(QStringLiteral("127.0.7.30")));
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("127.0.7.31")}, QHostAddress("127.0.7.30")));
    ModalAnswerer answerer;

    BoxSearchDialog dialog;
    dialog.show();
    QElapsedTimer clock;
    dialog.searchForBoxes();
    QTest::qWait(kSearchMs / 2);
    dialog.searchForBoxes();
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 1, 5000);
    QVERIFY2(clock.elapsed() >= kSearchMs - 50, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!dialog.isSearching());
    QTest::qWait(2 * kTickMs);
    QCOMPARE(answerer.boxes.size(), 1);
    // About one request per tick over both searches, none after the end.
    QVERIFY2(box.requests.size() >= 8, qPrintable(QString::number(box.requests.size())));
}

// "Search Box" in the Box folder's menu opens a further non-modal window each time; a
// closed one is deleted.
void TstBoxSearch::mainWindowOpensFurtherWindows()
{
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("127.0.7.40")}, QHostAddress("127.0.7.41")));
    CMainWindow window;
    window.show();
    QStandardItem *boxFolder = addProject(&window)->child(2);
    QCOMPARE(boxFolder->text(), Folder::Box);

    auto chooseSearchBox = [&] {
        const QRect rect = window.projectView()->visualRect(boxFolder->index());
        bool chosen = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions()) {
                if (action->text() == QStringLiteral("Search Box")) {
                    chosen = true;
                    action->trigger();
                }
            }
            menu->close();
        });
        poll.start();
        QTimer::singleShot(3000, &poll, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget()))
                menu->close();
        });
        // The window swallows every other menu request (a right press also ends an open
        // menu), so a second request may be needed.
        for (int attempt = 0; attempt < 2 && !chosen; ++attempt)
            window.prjectTreeView_MenuPopup(rect.center());
        poll.stop();
        return chosen;
    };

    QList<QPointer<BoxSearchDialog>> opened;
    for (int i = 1; i <= 2; ++i) {
        QVERIFY(chooseSearchBox());
        const auto dialogs = window.findChildren<BoxSearchDialog *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(dialogs.size(), i);
        for (BoxSearchDialog *dialog : dialogs) {
            if (!opened.contains(dialog))
                opened << dialog;
        }
        BoxSearchDialog *latest = opened.last();
        QVERIFY(latest->isVisible());
        QVERIFY(!latest->isModal());
        QVERIFY(latest->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }
    QCOMPARE(opened.size(), 2);

    opened.first()->close();
    QTRY_VERIFY_WITH_TIMEOUT(opened.first().isNull(), 2000);
    QVERIFY(!opened.last().isNull());
    QVERIFY(opened.last()->isVisible());
}

void TstBoxSearch::addFoundBoxToProject_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<bool>("projectClosed");
    QTest::addColumn<QString>("chosenModel");
    QTest::newRow("double-click, offered model") << "TLK-BOX-200" << true << false << "TLK-BOX-200";
    QTest::newRow("button, model not offered") << "TLK-BOX-900" << false << false << "TLK-BOX-600";
    QTest::newRow("project closed meanwhile") << "TLK-BOX-200" << true << true << QString();
}

// A search opened from a project's Box folder hands a found box to "Add Box" for that folder,
// even when something else is current by then: the address is filled in and the model chosen
// when it is one of those offered. Its Message-dock lines reach the window.
void TstBoxSearch::addFoundBoxToProject()
{
    QFETCH(QString, model);
    QFETCH(bool, doubleClick);
    QFETCH(bool, projectClosed);
    QFETCH(QString, chosenModel);

    BoxSimProcess sim(QStringLiteral("127.0.7.50"), {QStringLiteral("--model"), model});
    QVERIFY2(sim.start(), qPrintable(sim.output()));
    QUdpSocket occupier;
    QVERIFY(occupier.bind(QHostAddress("127.0.7.51"), 30590, QUdpSocket::DontShareAddress));
    BoxSearchDialog::setTestHooks(loopbackHooks({QHostAddress("127.0.7.51")}, QHostAddress("127.0.7.50"), 30590));
    CMainWindow window;
    window.show();
    QStandardItem *project = addProject(&window);
    QStandardItem *boxFolder = project->child(2);

    const auto openSearch = [&window](QStandardItem *current) {
        const auto before = window.findChildren<BoxSearchDialog *>(QString(), Qt::FindDirectChildrenOnly);
        window.projectView()->setCurrentIndex(current->index());
        window.boxSearchFile();
        for (BoxSearchDialog *dialog : window.findChildren<BoxSearchDialog *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!before.contains(dialog))
                return dialog;
        }
        return static_cast<BoxSearchDialog *>(nullptr);
    };
    BoxSearchDialog *elsewhere = openSearch(project);
    QVERIFY(elsewhere);
    QCOMPARE(elsewhere->addButton(), nullptr);
    BoxSearchDialog *dialog = openSearch(boxFolder);
    QVERIFY(dialog);
    QVERIFY(dialog->addButton());
    QVERIFY(!dialog->addButton()->isEnabled());
    dialog->searchForBoxes();
    QTRY_COMPARE_WITH_TIMEOUT(dialog->resultsList()->count(), 1, 3000);
    QCOMPARE(window.messageEditor()->toPlainText().count(QStringLiteral("could not be bound")), 1);

    window.projectView()->setCurrentIndex(project->index());
    if (projectClosed)
        window.projectModel()->removeRow(project->row());
    QString seenIp;
    QString seenModel;
    ModalAnswerer answerer([&](QWidget *w) {
        auto *input = qobject_cast<BoxInputDialog *>(w);
        QVERIFY(input);
        seenIp = input->ipEdit()->text();
        seenModel = input->modelCombo()->currentText();
        input->nameEdit()->setText(QStringLiteral("found"));
        input->okButton()->click();
    });
    QListWidget *list = dialog->resultsList();
    if (doubleClick) {
        const QPoint centre = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    } else {
        list->setCurrentRow(0);
        QVERIFY(dialog->addButton()->isEnabled());
        QTest::mouseClick(dialog->addButton(), Qt::LeftButton);
    }
    if (projectClosed) {
        QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), 1, 3000);
        QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Warning | The project this search was opened "
                                                               "for is no longer open; the box was not added.")});
        QVERIFY(seenIp.isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(boxFolder->rowCount(), 1, 3000);
    QCOMPARE(seenIp, QStringLiteral("127.0.7.50"));
    QCOMPARE(seenModel, chosenModel);
    QStandardItem *box = boxFolder->child(0);
    QCOMPARE(box->text(), QStringLiteral("found"));
    QCOMPARE(box->data(Role::BoxIp).toString(), QStringLiteral("127.0.7.50"));
    QCOMPARE(box->data(Role::BoxModel).toString(), chosenModel);
    QCOMPARE(answerer.boxes.size(), 0);
}

QTEST_MAIN(TstBoxSearch)
#include "tst_boxsearch.moc"
