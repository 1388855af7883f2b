// Box discovery end to end, on the real broadcast path: the program moves itself into a
// network namespace of its own before any socket or thread exists, brings up its loopback
// interface and makes sure nothing else is up there. The search then broadcasts to
// 255.255.255.255 from the loopback address, as on a desktop; two simulators on 127.0.0.2 and
// 127.0.0.3 answer. Without the right to make a namespace the tests skip, saying why; under CI
// (CI=true), which runs as root, that is a failure.

#include "gui/boxlink/BoxSearchDialog.h"

#include "BoxSimProcess.h"
#include "ModalAnswer.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Empty once the program runs in a namespace of its own holding only an up loopback
// interface; otherwise why not.
QString g_networkProblem;

// Kernel-made tunnel devices that a fresh namespace may hold (down) when their modules are
// loaded; they carry nothing.
bool isStockTunnel(const char *name)
{
    static const char *const stock[] = {"sit0", "tunl0", "ip6tnl0", "gre0", "gretap0", "erspan0",
                                        "ip6gre0", "ip_vti0", "ip6_vti0"};
    for (const char *candidate : stock) {
        if (std::strcmp(name, candidate) == 0)
            return true;
    }
    return false;
}

QString enterPrivateNetwork()
{
    char before[64] = {};
    char after[64] = {};
    if (readlink("/proc/self/ns/net", before, sizeof before - 1) < 0)
        return QStringLiteral("cannot read the current network namespace: %1").arg(std::strerror(errno));
    if (unshare(CLONE_NEWNET) != 0)
        return QStringLiteral("cannot make a network namespace (%1); these tests need root or "
                              "CAP_SYS_ADMIN")
            .arg(std::strerror(errno));
    if (readlink("/proc/self/ns/net", after, sizeof after - 1) < 0 || std::strcmp(before, after) == 0)
        return QStringLiteral("the network namespace did not change");

    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (control < 0)
        return QStringLiteral("no control socket: %1").arg(std::strerror(errno));
    QString problem;
    struct if_nameindex *interfaces = if_nameindex();
    for (struct if_nameindex *i = interfaces; i && i->if_index != 0; ++i) {
        ifreq request = {};
        std::strncpy(request.ifr_name, i->if_name, IFNAMSIZ - 1);
        if (ioctl(control, SIOCGIFFLAGS, &request) != 0) {
            problem = QStringLiteral("cannot read the flags of %1").arg(QString::fromLocal8Bit(i->if_name));
            break;
        }
        if (std::strcmp(i->if_name, "lo") == 0) {
            request.ifr_flags |= IFF_UP;
            if (ioctl(control, SIOCSIFFLAGS, &request) != 0) {
                problem = QStringLiteral("cannot bring lo up: %1").arg(std::strerror(errno));
                break;
            }
        } else if ((request.ifr_flags & IFF_UP) || !isStockTunnel(i->if_name)) {
            problem = QStringLiteral("the new namespace holds the interface %1")
                          .arg(QString::fromLocal8Bit(i->if_name));
            break;
        }
    }
    if (interfaces)
        if_freenameindex(interfaces);
    close(control);
    return problem;
}

QString entry(const QString &ip, const QString &model)
{
    return QStringLiteral("设备IP: ") + ip + QStringLiteral("\n子网掩码: 255.255.255.0\n盒子型号: ")
        + model;
}

QStringList sortedEntries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    out.sort();
    return out;
}

} // namespace

class TstDiscoveryNet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void findsSimulatorsByBroadcast_data();
    void findsSimulatorsByBroadcast();
    void wildcardSimulatorListsItsAddress();
};

void TstDiscoveryNet::initTestCase()
{
    if (!g_networkProblem.isEmpty()) {
        // CI runs as root, where a namespace can always be made: a skip there would hide that
        // these tests never ran.
        if (qEnvironmentVariable("CI") == QLatin1String("true"))
            QFAIL(qPrintable(QStringLiteral("no private network namespace under CI: ") + g_networkProblem));
        QSKIP(qPrintable(QStringLiteral("no private network namespace: ") + g_networkProblem));
    }
    // What the search will offer: the loopback interface alone.
    QStringList up;
    for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces()) {
        if (iface.flags().testFlag(QNetworkInterface::IsUp))
            up << iface.name();
    }
    QCOMPARE(up, QStringList{QStringLiteral("lo")});
}

void TstDiscoveryNet::cleanup()
{
    BoxSearchDialog::clearTestHooks();
}

void TstDiscoveryNet::findsSimulatorsByBroadcast_data()
{
    QTest::addColumn<bool>("port5Taken");
    QTest::newRow("from port 5") << false;
    QTest::newRow("port 5 taken") << true;
}

// One search lists both simulators once, each with its own address, and ends quietly. When
// port 5 is held by another socket, the requests go from a system-chosen port and the
// Message dock hears about it once.
void TstDiscoveryNet::findsSimulatorsByBroadcast()
{
    QFETCH(bool, port5Taken);

    BoxSimProcess first(QStringLiteral("127.0.0.2"), {QStringLiteral("--model"), QStringLiteral("TLK-BOX-600")});
    BoxSimProcess second(QStringLiteral("127.0.0.3"), {QStringLiteral("--model"), QStringLiteral("TLK-BOX-200")});
    QVERIFY2(first.start(), qPrintable(first.output()));
    QVERIFY2(second.start(), qPrintable(second.output()));
    QUdpSocket occupier;
    if (port5Taken)
        QVERIFY(occupier.bind(QHostAddress(QStringLiteral("127.0.0.1")), 5, QUdpSocket::DontShareAddress));

    // Shorter timings only; interfaces, addresses, destination and local port are the real ones.
    BoxSearchDialog::TestHooks hooks;
    hooks.broadcastIntervalMs = 200;
    hooks.searchDurationMs = 2000;
    BoxSearchDialog::setTestHooks(hooks);
    BoxSearchDialog dialog;
    QSignalSpy messages(&dialog, &BoxSearchDialog::messageAppended);
    QCOMPARE(dialog.interfaceChoice()->count(), 1);
    QCOMPARE(dialog.interfaceChoice()->itemText(0), QStringLiteral("lo \u2014 127.0.0.1"));

    ModalAnswer::Scoped answerer;
    dialog.show();
    QTest::mouseClick(dialog.searchButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isSearching(), 5000);
    QTest::qWait(400);

    QCOMPARE(sortedEntries(dialog.resultsList()),
             (QStringList{entry(QStringLiteral("127.0.0.2"), QStringLiteral("TLK-BOX-600")),
                          entry(QStringLiteral("127.0.0.3"), QStringLiteral("TLK-BOX-200"))}));
    QCOMPARE(answerer.seen(), QStringList());
    const QString broadcast = QStringLiteral(" discovery request answered (broadcast)");
    for (BoxSimProcess *sim : {&first, &second}) {
        QVERIFY2(sim->count(broadcast) >= 3, qPrintable(sim->output()));
        QCOMPARE(sim->count(QStringLiteral("127.0.0.1:5") + broadcast), port5Taken ? 0 : sim->count(broadcast));
    }
    QCOMPARE(messages.count(), port5Taken ? 1 : 0);
    if (port5Taken) {
        const QString text = messages.first().first().toString();
        QVERIFY2(text.contains(QStringLiteral("port 5 on lo (127.0.0.1)"))
                     && text.contains(QStringLiteral("cap_net_bind_service")),
                 qPrintable(text));
    }
}

// Serving every address, a simulator is listed with the address of the interface that the
// broadcast came in on, not as 0.0.0.0.
void TstDiscoveryNet::wildcardSimulatorListsItsAddress()
{
    BoxSimProcess sim(QStringLiteral("0.0.0.0"));
    QVERIFY2(sim.start(), qPrintable(sim.output()));
    BoxSearchDialog::TestHooks hooks;
    hooks.broadcastIntervalMs = 200;
    hooks.searchDurationMs = 1000;
    BoxSearchDialog::setTestHooks(hooks);
    BoxSearchDialog dialog;
    ModalAnswer::Scoped answerer;
    dialog.searchForBoxes();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isSearching(), 5000);
    QCOMPARE(sortedEntries(dialog.resultsList()),
             QStringList{entry(QStringLiteral("127.0.0.1"), QStringLiteral("TLK-BOX-600"))});
    QCOMPARE(answerer.seen(), QStringList());
}

int main(int argc, char *argv[])
{
    // Before QApplication: no socket and no thread may exist in the old namespace.
    g_networkProblem = enterPrivateNetwork();
    QApplication app(argc, argv);
    TstDiscoveryNet test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_discoverynet.moc"
