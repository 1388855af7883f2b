// The box editor: its record round trip and quirks, its controls, and the link to a box
// (the simulator, each case on a loopback address of its own).
#include "BoxTestSupport.h"

#include "FieldCheckSupport.h"
#include "ModalAnswer.h"
#include "TestDataLocation.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/boxlink/BoxEditDialog.h"
#include "gui/boxlink/BoxInputDialog.h"
#include "core/boxlink/FileTransfer.h"
#include "core/deployment/DeploymentLog.h"
#include "core/deployment/DeploymentStore.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectJson.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItem>
#include <QStandardPaths>
#include <QTabWidget>
#include <QStandardItemModel>
#include <QTreeView>
#include <QValidator>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

template <typename T>
T *child(QObject *dialog, const char *name)
{
    T *w = dialog->findChild<T *>(QLatin1String(name));
    if (!w)
        qWarning("no child %s", name);
    return w;
}

QString text(QObject *dialog, const char *name)
{
    QLineEdit *e = child<QLineEdit>(dialog, name);
    return e ? e->text() : QStringLiteral("<missing>");
}

QString label(QObject *dialog, const char *name)
{
    QLabel *l = child<QLabel>(dialog, name);
    return l ? l->text() : QStringLiteral("<missing>");
}

void click(QObject *dialog, const char *name)
{
    if (QPushButton *b = child<QPushButton>(dialog, name))
        b->click();
}

QByteArray fixture(const QString &name)
{
    QFile f(QStringLiteral(ORVANE_TEST_DATA_DIR "/boxdialog/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every record field of a box with a value of its own; 4G "on", since a new dialog forces it.
QMap<int, QString> fullRecord()
{
    QMap<int, QString> r;
    r[Role::BoxIp] = "127.0.6.59";
    r[Role::BoxModel] = "TLK-BOX-200";
    const QStringList lan{"10.0.0.2", "255.0.0.0", "10.0.0.1", "10.0.0.53", "10.0.0.54"};
    for (int i = 0; i < 5; ++i)
        r[Role::LanIp + i] = lan[i];
    r[Role::WanDhcp] = "Enable";
    const QStringList wan{"11.0.0.2", "255.255.0.0", "11.0.0.1", "11.0.0.53", "11.0.0.54"};
    for (int i = 0; i < 5; ++i)
        r[Role::WanIp + i] = wan[i];
    r[Role::WifiOnOff] = "off";
    r[Role::WifiMode] = "station";
    r[Role::WifiSsid] = "ssid-1";
    r[Role::WifiPassword] = "pw-1";
    r[Role::WifiDhcp] = "Enable";
    const QStringList wifi{"12.0.0.2", "255.255.255.0", "12.0.0.1", "12.0.0.53", "12.0.0.54"};
    for (int i = 0; i < 5; ++i)
        r[Role::WifiIp + i] = wifi[i];
    r[Role::LteOnOff] = "on";
    for (int i = 0; i < 5; ++i)
        r[Role::At1 + i] = QStringLiteral("AT+X%1").arg(i + 1);
    r[Role::NtpServer] = "13.0.0.1";
    r[Role::BoxTime] = "2020-02-02 02:02:02";
    return r;
}

// The main window connects the editor's message lines to its Message dock; so do the tests.
void showMessagesIn(BoxEditDialog &dialog, CMainWindow &window)
{
    QObject::connect(&dialog, &BoxEditDialog::messageAppended, &window, &CMainWindow::appendMessage);
}

QStandardItem *boxItem(const QString &name, const QString &ip)
{
    auto *item = new QStandardItem(name);
    item->setData(ip, Role::BoxIp);
    return item;
}

// A project in the window's tree with its four folders and one box; returns the box.
QStandardItem *projectWithBox(CMainWindow &window, const QString &project, const QString &directory,
                              const QString &box, const QString &ip)
{
    auto *item = new QStandardItem(project);
    item->setData(directory, Role::ProjectPath);
    item->setData(QStringLiteral("A project long enough to need more than a few hundred bytes on disk. ")
                      .repeated(4),
                  Role::ProjectDescription);
    for (const QString &folder : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data})
        item->appendRow(new QStandardItem(folder));
    window.projectModel()->appendRow(item);
    QStandardItem *boxes = childWithText(item, Folder::Box);
    QStandardItem *b = boxItem(box, ip);
    boxes->appendRow(b);
    return b;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString lastLine(CMainWindow &window)
{
    const QStringList lines = window.messageEditor()->toPlainText().split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

// An image larger than the socket buffers of both ends.
QString bigImage(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("big.bin"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray(16 * 1024 * 1024, 'p'));
    return path;
}

} // namespace

class TstBoxDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        registerItemRecordTypes();
        // The checks compare the English source texts: keep the Chinese catalogue out.
        CMainWindow::setCatalogPathForTesting(QStringLiteral(":/adsdemo/no-catalogue.qm"));
    }
    void cleanup()
    {
        FileTransfer::setVerdictTimeoutForTesting(0);
        Protocol::setTimerPeriodsForTesting(0, 0, 0);
        Protocol::setRetryLimitsForTesting(0, 0);
    }

    // Without a box
    void recordQuirks_data();
    void recordQuirks();
    void saveWritesEveryField();
    void clearData();
    void controls();
    void hostAddressSelection();
    void cancelDisconnects();
    void deploymentNeedsTheBoxesProject();
    void addBoxRefusesAnIncompleteAddress_data();
    void addBoxRefusesAnIncompleteAddress();
    void saveRefusesALeadingZero_data();
    void saveRefusesALeadingZero();
    void logLines();

    // Against the simulator
    void connectsAndShowsVersion();
    void otherSpellingIsNotContacted();
    void chosenLocalAddressConnectsAtOnce();
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void requestConnectsWhenUnlinked();
    void programUpdate_data();
    void programUpdate();
    void incompleteFieldsSendNothing_data();
    void incompleteFieldsSendNothing();
    void deploymentSendsTheBoxesOwnProject();
    void deploymentOntoAFullDevice();
    void runningTransferIsAskedAbout();
    void progressAndVerdictFollowTheBox_data();
    void progressAndVerdictFollowTheBox();
    void deploymentWithoutVerdictKeepsNoCopy();
    void refusedConnectIsRetriedUntilDisconnect();
    void rebootReconnectsByItself();

private:
    TestDataLocation m_dataLocation; // where the editor keeps what a box received
};

// ---------------------------------------------------------------------------------------

void TstBoxDialog::recordQuirks_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("reloaded"); // loadBoxItem instead of a new dialog
    QTest::addColumn<QString>("saved");

    QTest::newRow("model not in the list") << Role::BoxModel << "TLK-X" << false << "TLK-GW-A1";
    QTest::newRow("model in other case") << Role::BoxModel << "tlk-box-600" << false << "TLK-GW-A1";
    QTest::newRow("model in the list") << Role::BoxModel << "TLK-BOX-200" << true << "TLK-BOX-200";
    QTest::newRow("4G off, new dialog") << Role::LteOnOff << "off" << false << "on";
    QTest::newRow("4G off, reloaded") << Role::LteOnOff << "off" << true << "off";
    QTest::newRow("WiFi ON in capitals") << Role::WifiOnOff << "ON" << false << "off";
    QTest::newRow("WiFi ON in capitals, reloaded") << Role::WifiOnOff << "ON" << true << "off";
    QTest::newRow("WiFi on") << Role::WifiOnOff << "on" << false << "on";
    QTest::newRow("WAN DHCP Enable") << Role::WanDhcp << "Enable" << true << "Enable";
    QTest::newRow("WAN DHCP lower case") << Role::WanDhcp << "enable" << false << "Disabled";
    QTest::newRow("WiFi mode unknown") << Role::WifiMode << "ap" << false << "station";
}

void TstBoxDialog::recordQuirks()
{
    QFETCH(int, role);
    QFETCH(QString, stored);
    QFETCH(bool, reloaded);
    QFETCH(QString, saved);

    QStandardItem first(QStringLiteral("first"));
    QStandardItem item(QStringLiteral("B1"));
    item.setData(stored, role);
    BoxEditDialog dialog(reloaded ? &first : &item, nullptr);
    if (reloaded)
        dialog.loadBoxItem(&item);
    dialog.saveChanges();
    QCOMPARE(item.data(role).toString(), saved);
    QCOMPARE(item.data(role).userType(), int(QMetaType::QString));
}

void TstBoxDialog::saveWritesEveryField()
{
    CMainWindow window;
    QStandardItem item(QStringLiteral("B1"));
    const QMap<int, QString> record = fullRecord();
    for (auto it = record.begin(); it != record.end(); ++it)
        item.setData(it.value(), it.key());
    BoxEditDialog dialog(&item, &window);
    showMessagesIn(dialog, window);

    // The fields hold the record; wipe the item and let Save write it back.
    for (auto it = record.begin(); it != record.end(); ++it)
        item.setData(QString(), it.key());
    child<QLineEdit>(&dialog, "nameEdit")->setText(QStringLiteral("B1-renamed"));
    dialog.saveChanges();

    QCOMPARE(item.text(), QStringLiteral("B1-renamed"));
    for (auto it = record.begin(); it != record.end(); ++it)
        QCOMPARE(qPrintable(QString::number(it.key()) + "=" + item.data(it.key()).toString()),
                 qPrintable(QString::number(it.key()) + "=" + it.value()));
    QVERIFY(window.messageEditor()->toPlainText().contains(
        QStringLiteral("The box 'B1-renamed' is saved successfully.")));
}

void TstBoxDialog::clearData()
{
    QStandardItem item(QStringLiteral("B1"));
    const QMap<int, QString> record = fullRecord();
    for (auto it = record.begin(); it != record.end(); ++it)
        item.setData(it.value(), it.key());
    item.setData(QStringLiteral("off"), Role::LteOnOff);
    BoxEditDialog dialog(&item, nullptr);
    dialog.loadBoxItem(&item); // 4G follows the record: off
    const QString localTime = text(&dialog, "localTimeEdit");

    dialog.clearData();

    for (QLineEdit *edit : dialog.findChildren<QLineEdit *>()) {
        if (edit->objectName() == QLatin1String("localTimeEdit"))
            QCOMPARE(edit->text(), localTime);
        else if (!edit->objectName().isEmpty())
            QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName()));
    }
    for (QComboBox *combo : dialog.findChildren<QComboBox *>())
        QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(child<QRadioButton>(&dialog, "wifiOnRadio")->isChecked());
    QVERIFY(child<QRadioButton>(&dialog, "lteOnRadio")->isChecked());
}

void TstBoxDialog::controls()
{
    QStandardItem item(QStringLiteral("B1"));
    BoxEditDialog dialog(&item, nullptr);
    // The first text, before the failed connect (no address) names its error.
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: connecting.."));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Box"));
    auto *tabs = child<QTabWidget>(&dialog, "boxTabs");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    QCOMPARE(titles, QStringList({"Commonly", "LAN", "WAN", "NTP", "Time"}));
    // The model, WiFi and 4G controls exist but are never shown.
    for (const char *hidden : {"modelCombo", "wifiOnRadio", "ssidEdit", "lteOnRadio", "at1Edit"}) {
        QWidget *w = child<QWidget>(&dialog, hidden);
        QVERIFY2(w && !w->isVisibleTo(&dialog), hidden);
    }
    QVERIFY(!child<QComboBox>(&dialog, "modelCombo")->isEnabled());
    QCOMPARE(label(&dialog, "versionLabel"), QStringLiteral("Program version: 0.0.0"));
    QCOMPARE(child<QPushButton>(&dialog, "hostAddressButton")->size(), QSize(20, 25));
    QVERIFY(child<QLineEdit>(&dialog, "localTimeEdit")->isReadOnly());
    QVERIFY(child<QLineEdit>(&dialog, "boxTimeEdit")->isReadOnly());
    QCOMPARE(child<QLineEdit>(&dialog, "wifiPasswordEdit")->echoMode(), QLineEdit::Password);

    // Validators: addresses refuse what no prefix of an IPv4 address can be; texts refuse CJK.
    QLineEdit *ip = child<QLineEdit>(&dialog, "lanIpEdit");
    ip->setFocus();
    QTest::keyClicks(ip, "300.1a.2.3.4");
    QCOMPARE(ip->text(), QStringLiteral("30.1.2.34"));
    int pos = 0;
    QString probe = QStringLiteral("256.1.1.1");
    QCOMPARE(ip->validator()->validate(probe, pos), QValidator::Invalid);
    for (const char *name : {"ssidEdit", "wifiPasswordEdit", "at3Edit"}) {
        const QValidator *v = child<QLineEdit>(&dialog, name)->validator();
        QString cjk = QString::fromUtf8("工厂-1");
        QString plain = QStringLiteral("plant-1 ,;\"");
        QVERIFY2(v && v->validate(cjk, pos) == QValidator::Invalid, name);
        QVERIFY2(v->validate(plain, pos) == QValidator::Acceptable, name);
    }

    // The clock shows the PC's time and moves on by itself.
    const QDateTime shown = QDateTime::fromString(text(&dialog, "localTimeEdit"), "yyyy-MM-dd HH:mm:ss");
    QVERIFY(shown.isValid());
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) <= 2);
    const QString before = text(&dialog, "localTimeEdit");
    QTRY_VERIFY_WITH_TIMEOUT(text(&dialog, "localTimeEdit") != before, 2500);
}

void TstBoxDialog::hostAddressSelection()
{
    CMainWindow window;
    QStandardItem item(QStringLiteral("B1"));
    item.setData(QStringLiteral("127.0.6.58"), Role::BoxIp);
    BoxEditDialog dialog(&item, &window);
    showMessagesIn(dialog, window);

    QStringList offered;
    bool accept = false;
    QString title;
    QSize minimum;
    ModalAnswerer answerer([&](QWidget *w) {
        auto *d = qobject_cast<QDialog *>(w);
        title = w->windowTitle();
        minimum = w->minimumSize();
        auto *combo = w->findChild<QComboBox *>();
        offered.clear();
        for (int i = 0; i < combo->count(); ++i)
            offered << combo->itemText(i);
        combo->setCurrentIndex(0);
        for (QPushButton *b : w->findChildren<QPushButton *>())
            if (b->text() == (accept ? QStringLiteral("OK") : QStringLiteral("Cancel"))) {
                b->click();
                return;
            }
        d->reject();
    });

    Protocol *linkBefore = dialog.link();
    QTimer::singleShot(0, &dialog, &BoxEditDialog::showChangeHostAddressDialog);
    QTRY_VERIFY_WITH_TIMEOUT(!offered.isEmpty(), 3000);
    QTest::qWait(20);
    QCOMPARE(title, QStringLiteral("Select Host Address"));
    QVERIFY(minimum.width() >= 350 && minimum.height() >= 100);
    QCOMPARE(offered.first(), QStringLiteral("0.0.0.0"));
    for (const QString &address : offered.mid(1)) {
        const QHostAddress a(address);
        QVERIFY2(a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback(), qPrintable(address));
    }
    QCOMPARE(dialog.link(), linkBefore); // Cancel changes nothing
    QVERIFY(window.messageEditor()->toPlainText().isEmpty());

    accept = true;
    offered.clear();
    QTimer::singleShot(0, &dialog, &BoxEditDialog::showChangeHostAddressDialog);
    QTRY_VERIFY_WITH_TIMEOUT(!offered.isEmpty(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.link() != linkBefore, 3000);
    QCOMPARE(dialog.localAddress(), QStringLiteral("0.0.0.0"));
    QCOMPARE(window.messageEditor()->toPlainText(), QStringLiteral("Selected address: 0.0.0.0 (No binding)"));
    // The new link is on its way: still connecting, or (nothing listens there) already refused
    // once and retrying, depending on how fast the refusal comes back.
    const QString status = label(&dialog, "statusLabel");
    QVERIFY2(status == QStringLiteral("Connection status: connecting..")
                 || status.endsWith(QStringLiteral("retrying, attempt 1")),
             qPrintable(status));
}

void TstBoxDialog::cancelDisconnects()
{
    QStandardItem item(QStringLiteral("B1"));
    BoxEditDialog dialog(&item, nullptr);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QVERIFY(dialog.link());
    click(&dialog, "cancelButton");
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!dialog.link());
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Not connected"));
    dialog.disconnectFromServer(); // without a link: nothing
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Not connected"));
}

void TstBoxDialog::deploymentNeedsTheBoxesProject()
{
    // A box item outside any project: nothing to send, and the user is told so.
    CMainWindow window;
    QStandardItem item(QStringLiteral("B1"));
    BoxEditDialog dialog(&item, &window);
    showMessagesIn(dialog, window);
    QTest::ignoreMessage(QtDebugMsg, "No project selected.");
    ModalAnswerer answerer;
    click(&dialog, "updateProjectButton");
    const QString text = QStringLiteral("This box belongs to no open project; nothing was sent.");
    QCOMPARE(answerer.titles(), QStringList{"Update project | " + text});
    QCOMPARE(window.messageEditor()->toPlainText(), text);
}

void TstBoxDialog::addBoxRefusesAnIncompleteAddress_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("three parts") << "127.0.0" << false;
    QTest::newRow("trailing dot") << "10.1.2." << false;
    QTest::newRow("leading zero, octal to some") << "127.0.4.020" << false;
    QTest::newRow("complete") << "127.0.0.1" << true;
    QTest::newRow("empty, as before") << "" << true;
}

void TstBoxDialog::addBoxRefusesAnIncompleteAddress()
{
    QFETCH(QString, ip);
    QFETCH(bool, accepted);
    BoxInputDialog dialog;
    const QList<QLineEdit *> edits = dialog.findChildren<QLineEdit *>();
    QCOMPARE(edits.size(), 2);
    edits.at(0)->setText(QStringLiteral("B1"));
    edits.at(1)->setText(ip);
    QSignalSpy accepts(&dialog, &QDialog::accepted);
    ModalAnswerer answerer;
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        if (b->text() == QLatin1String("OK"))
            b->click();
    QCOMPARE(accepts.count(), accepted ? 1 : 0);
    QCOMPARE(answerer.titles(),
             accepted ? QStringList()
                      : QStringList{"Invalid Input | The IP address \"" + ip + "\" is incomplete or not valid."});
}

void TstBoxDialog::saveRefusesALeadingZero_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named"); // the field the warning names; empty: saved
    QTest::newRow("box IP") << "ipEdit" << "127.0.6.064" << "IP";
    QTest::newRow("LAN gateway") << "lanGatewayEdit" << "192.168.001.1" << "LAN Gateway";
    QTest::newRow("WAN DNS") << "wanDns2Edit" << "08.8.8.8" << "WAN Dns2";
    QTest::newRow("zero parts") << "lanGatewayEdit" << "10.0.0.1" << "";
}

// Through the window's Save, as a user would: the typing rule lets the leading zero stand.
void TstBoxDialog::saveRefusesALeadingZero()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, named);
    QTemporaryDir dir;
    CMainWindow window;
    QStandardItem *box = projectWithBox(window, "P", dir.path(), "B1", "127.0.6.63");
    window.projectView()->setCurrentIndex(box->index());
    window.slotBoxEditFile();
    auto *dialog = window.findChild<BoxEditDialog *>();
    QVERIFY(dialog);
    QLineEdit *edit = child<QLineEdit>(dialog, qPrintable(field));
    QVERIFY(edit);
    edit->setText(text);
    QVERIFY(edit->hasAcceptableInput());
    const QMap<int, QVariant> before = recordOf(box);

    ModalAnswer::Scoped answerer;
    click(dialog, "saveButton");
    if (named.isEmpty()) {
        QCOMPARE(answerer.seen(), QStringList());
        QCOMPARE(box->data(field == "ipEdit" ? Role::BoxIp : Role::LanGateway).toString(), text);
        QVERIFY(!window.findEditDock(QStringLiteral("Edit Box")));
        return;
    }
    QCOMPARE(answerer.seen(), QStringList{leadingZeroWarning(text, named)});
    QCOMPARE(recordOf(box), before);
    QVERIFY(window.findEditDock(QStringLiteral("Edit Box")));
}

void TstBoxDialog::logLines()
{
    QFile log(QCoreApplication::applicationDirPath() + QStringLiteral("/ORVANELOG.log"));
    const qint64 mark = log.exists() ? log.size() : 0;
    {
        QStandardItem first(QStringLiteral("B1"));
        QStandardItem second(QStringLiteral("B2"));
        second.setData(QStringLiteral("Enable"), Role::WanDhcp); // empty addresses may go out
        BoxEditDialog dialog(&first, nullptr);
        dialog.loadBoxItem(&second);
        dialog.saveChanges();
        click(&dialog, "disconnectButton");
        click(&dialog, "lanReadButton"); // connects first
        click(&dialog, "wanWriteButton");
        ModalAnswer::answerNext(QMessageBox::Yes);
        click(&dialog, "rebootButton");
        click(&dialog, "timeWriteButton");
    }
    QVERIFY(log.open(QIODevice::ReadOnly));
    log.seek(mark);
    QStringList lines;
    for (const QByteArray &line : log.readAll().split('\n')) {
        // "yyyy-MM-dd HH:mm:ss: text"
        if (line.size() > 21 && line.mid(19, 2) == ": " && line.mid(21).startsWith("BoxEditDialog"))
            lines << QString::fromUtf8(line.mid(21));
    }
    // The log lies beside the executables, so test programs running at the same time write
    // their box editors' lines into it too: ours must all be there, in this order.
    const QStringList expected({"BoxEditDialog: new-nuilt", "BoxEditDialog: replace",
                                "BoxEditDialog: save", "BoxEditDialog: disconnect",
                                "BoxEditDialog: connect", "BoxEditDialog: read Lan",
                                "BoxEditDialog: write Wan", "BoxEditDialog: rebooting",
                                "BoxEditDialog: write Time", "BoxEditDialog: destroyed"});
    int found = 0;
    for (const QString &line : qAsConst(lines))
        if (found < expected.size() && line == expected.at(found))
            ++found;
    QVERIFY2(found == expected.size(), qPrintable(lines.join(QLatin1Char('\n'))));
}

// ---------------------------------------------------------------------------------------

void TstBoxDialog::connectsAndShowsVersion()
{
    BoxSim sim(QStringLiteral("127.0.6.30"), {"--version", "2.4.1"});
    QVERIFY(sim.start());
    std::unique_ptr<QStandardItem> item(boxItem("B1", sim.address()));
    BoxEditDialog dialog(item.get(), nullptr);

    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    QCOMPARE(label(&dialog, "versionLabel"), QStringLiteral("Program version: 2.4.1"));

    click(&dialog, "disconnectButton");
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Not connected"));
    QVERIFY(!dialog.link());

    click(&dialog, "connectButton");
    QVERIFY(dialog.link());
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
}

// A stored address that the socket would read as octal ("064" is 52) is not contacted at all.
void TstBoxDialog::otherSpellingIsNotContacted()
{
    BoxSim sim(QStringLiteral("127.0.6.52"));
    QVERIFY(sim.start());
    std::unique_ptr<QStandardItem> item(boxItem("B1", QStringLiteral("127.0.6.064")));
    BoxEditDialog dialog(item.get(), nullptr);
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: \"127.0.6.064\" is not a valid IPv4 address"));
    ModalAnswerer answerer;
    click(&dialog, "updateProgramButton");
    QCOMPARE(answerer.titles(), QStringList{"Update program | The IP address \"127.0.6.064\" is not four decimal parts "
                                            "from 0 to 255 without leading zeros; nothing was sent."});
    QTest::qWait(300);
    QVERIFY2(!sim.output().contains(" connected"), sim.output().constData());
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: \"127.0.6.064\" is not a valid IPv4 address"));
}

// With a chosen local address the link binds as part of its connect, so it connects at once:
// no "Waiting for connection." and "Reconnecting..." two seconds later, in which a first read
// would be lost.
void TstBoxDialog::chosenLocalAddressConnectsAtOnce()
{
    BoxSim sim(QStringLiteral("127.0.6.64"));
    QVERIFY(sim.start());
    QStringList statuses; // outlives the dialog, whose link reports its close
    std::unique_ptr<QStandardItem> item(boxItem("B1", sim.address()));
    BoxEditDialog dialog(item.get(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    Protocol *first = dialog.link();

    // The selection offers no loopback address: the test adds it, as a chosen interface would be.
    ModalAnswerer answerer([](QWidget *w) {
        auto *combo = w->findChild<QComboBox *>();
        combo->addItem(QStringLiteral("127.0.0.1"));
        combo->setCurrentText(QStringLiteral("127.0.0.1"));
        for (QPushButton *b : w->findChildren<QPushButton *>())
            if (b->text() == QLatin1String("OK"))
                b->click();
    });
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, &dialog, &BoxEditDialog::showChangeHostAddressDialog);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.link() && dialog.link() != first, 3000);
    QCOMPARE(dialog.localAddress(), QStringLiteral("127.0.0.1"));
    connect(dialog.link(), &Protocol::connectionStatusChanged, this, [&](const QString &s) { statuses << s; });
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 1500);
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    // Past the time the delayed path would have taken: no second attempt, one connection.
    QTest::qWait(2500);
    QVERIFY2(!statuses.contains(QStringLiteral("Connection status: Reconnecting...")), qPrintable(statuses.join('\n')));
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"));
    QCOMPARE(sim.output().count(" connected\n"), 2); // the first link's, then this one's
    QVERIFY(answerer.titles().isEmpty());
}

void TstBoxDialog::reads_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("boxTitle");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QStringList>("fields");   // "objectName=value"

    QTest::newRow("LAN") << "127.0.6.31" << "lan" << "LAN Configuration"
                         << "LAN configuration updated successfully."
                         << QStringList{"lanIpEdit=10.20.30.40", "lanMaskEdit=255.255.0.0",
                                        "lanGatewayEdit=10.20.0.1", "lanDns1Edit=1.1.1.1",
                                        "lanDns2Edit=9.9.9.9"};
    QTest::newRow("WAN") << "127.0.6.32" << "wan" << "Wan Configuration"
                         << "Wan configuration updated successfully."
                         << QStringList{"wanDhcpCombo=Enable", "wanIpEdit=172.16.5.6",
                                        "wanMaskEdit=255.255.255.128", "wanGatewayEdit=172.16.5.1",
                                        "wanDns1Edit=8.8.4.4", "wanDns2Edit=4.2.2.2"};
    QTest::newRow("NTP") << "127.0.6.33" << "ntp" << "NTP Configuration"
                         << "NTP configuration updated successfully."
                         << QStringList{"ntpEdit=10.20.0.123"};
    QTest::newRow("Time") << "127.0.6.34" << "time" << "time Configuration"
                          << "time configuration updated successfully."
                          << QStringList{"boxTimeEdit=yesterday"};
    // The hidden pages' buttons work as well; "ON" from the box counts as on.
    QTest::newRow("WiFi") << "127.0.6.43" << "wifi" << "Wifi Configuration"
                          << "Wifi configuration updated successfully."
                          << QStringList{"wifiOnRadio=checked", "ssidEdit=plant-floor",
                                         "wifiPasswordEdit=s3cret", "wifiDhcpCombo=Enable",
                                         "wifiIpEdit=192.168.9.9", "wifiDns2Edit=8.8.8.8"};
    QTest::newRow("4G") << "127.0.6.44" << "lte" << "Lte Configuration"
                        << "Lte configuration updated successfully."
                        << QStringList{"lteOffRadio=checked", "at1Edit=AT+CFUN=1", "at2Edit=AT+COPS=0"};
}

void TstBoxDialog::reads()
{
    QFETCH(QString, address);
    QFETCH(QString, tab);
    QFETCH(QString, boxTitle);
    QFETCH(QString, boxText);
    QFETCH(QStringList, fields);

    BoxSim sim(address);
    QVERIFY(sim.writeStateFile("settings.json", fixture("settings.json")));
    QVERIFY(sim.start());
    std::unique_ptr<QStandardItem> item(boxItem("B1", address));
    item->setData(QStringLiteral("Disabled"), Role::WanDhcp);
    item->setData(QStringLiteral("off"), Role::WifiOnOff);
    BoxEditDialog dialog(item.get(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);

    ModalAnswerer answerer;
    click(&dialog, qPrintable(tab + "ReadButton"));
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.boxes.isEmpty(), 5000);
    QCOMPARE(answerer.titles(), QStringList{boxTitle + " | " + boxText});

    for (const QString &field : fields) {
        const QString name = field.section('=', 0, 0);
        const QString want = field.section('=', 1);
        QObject *w = dialog.findChild<QObject *>(name);
        QVERIFY2(w, qPrintable(name));
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            QCOMPARE(combo->currentText(), want);
        } else if (auto *radio = qobject_cast<QRadioButton *>(w)) {
            QVERIFY2(radio->isChecked(), qPrintable(name));
        } else if (want == QLatin1String("yesterday")) {
            const QDateTime shown = QDateTime::fromString(text(&dialog, qPrintable(name)), "yyyy-MM-dd HH:mm:ss");
            QVERIFY2(qAbs(shown.secsTo(QDateTime::currentDateTime().addDays(-1))) <= 5,
                     qPrintable(text(&dialog, qPrintable(name))));
        } else {
            QCOMPARE(text(&dialog, qPrintable(name)), want);
        }
    }
    // A read changes the dialog only; the record waits for Save.
    QCOMPARE(item->data(Role::WanDhcp).toString(), QStringLiteral("Disabled"));
    QVERIFY(item->data(Role::LanIp).toString().isEmpty());
}

void TstBoxDialog::writes_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("boxTitle");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QString>("group");      // settings.json group expected to change
    QTest::addColumn<QJsonObject>("stored"); // members expected there afterwards

    const QJsonObject lan{{"lanIp", "10.1.1.10"}, {"lanMask", "255.255.255.0"},
                          {"lanGateway", "10.1.1.1"}, {"lanDns1", "10.1.1.53"}, {"lanDns2", ""}};
    QTest::newRow("LAN accepted") << "127.0.6.35" << QStringList() << "lanWriteButton"
                                  << "Write LAN Allocation" << "LAN allocation write successful."
                                  << "lan" << lan;
    QTest::newRow("LAN refused") << "127.0.6.36" << QStringList{"--write-code", "500"} << "lanWriteButton"
                                 << "Write LAN Allocation" << "LAN allocation write failed. Error code: 500"
                                 << "lan" << QJsonObject{{"lanIp", "192.168.1.100"}};
    QTest::newRow("WAN accepted, DHCP as 1") << "127.0.6.37" << QStringList() << "wanWriteButton"
                                             << "Write WAN Allocation" << "WAN allocation write successful."
                                             << "wan" << QJsonObject{{"wanDhcp", "1"}, {"wanIp", "11.1.1.10"}};
    QTest::newRow("NTP accepted") << "127.0.6.38" << QStringList() << "ntpWriteButton"
                                  << "Write NTP Allocation" << "NTP allocation write successful."
                                  << "ntp" << QJsonObject{{"NTP", "11.1.1.123"}};
    QTest::newRow("reboot, after its question") << "127.0.6.39" << QStringList{"--reboot-seconds", "0"}
                                         << "rebootButton" << "Write Restart Allocation"
                                         << "Restart allocation write successful." << QString()
                                         << QJsonObject();
}

void TstBoxDialog::writes()
{
    QFETCH(QString, address);
    QFETCH(QStringList, simArgs);
    QFETCH(QString, button);
    QFETCH(QString, boxTitle);
    QFETCH(QString, boxText);
    QFETCH(QString, group);
    QFETCH(QJsonObject, stored);

    BoxSim sim(address, simArgs);
    QVERIFY(sim.start());
    std::unique_ptr<QStandardItem> item(boxItem("B1", address));
    item->setData("10.1.1.10", Role::LanIp);
    item->setData("255.255.255.0", Role::LanMask);
    item->setData("10.1.1.1", Role::LanGateway);
    item->setData("10.1.1.53", Role::LanDns1);
    item->setData("Enable", Role::WanDhcp);
    item->setData("11.1.1.10", Role::WanIp);
    item->setData("11.1.1.123", Role::NtpServer);
    BoxEditDialog dialog(item.get(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);

    ModalAnswerer answerer;
    answerer.answer(QStringLiteral("Reboot"), QMessageBox::Yes);
    click(&dialog, qPrintable(button));
    // A reboot is asked about first, naming the box.
    QStringList expected{boxTitle + " | " + boxText};
    if (button == QLatin1String("rebootButton"))
        expected.prepend(QStringLiteral("Reboot | Reboot the box B1 (%1)? It stops polling its devices until it has "
                                        "started again.").arg(address));
    QTRY_COMPARE_WITH_TIMEOUT(answerer.boxes.size(), expected.size(), 5000);
    QCOMPARE(answerer.titles(), expected);

    if (group.isEmpty())
        return;
    const QJsonObject settings = sim.settings().value(group).toObject();
    for (auto it = stored.begin(); it != stored.end(); ++it)
        QCOMPARE(settings.value(it.key()).toString(), it.value().toString());
}

void TstBoxDialog::requestConnectsWhenUnlinked()
{
    BoxSim sim(QStringLiteral("127.0.6.40"));
    QVERIFY(sim.writeStateFile("settings.json", fixture("settings.json")));
    QVERIFY(sim.start());
    std::unique_ptr<QStandardItem> item(boxItem("B1", sim.address()));
    BoxEditDialog dialog(item.get(), nullptr);
    click(&dialog, "disconnectButton");
    QVERIFY(!dialog.link());

    // The read waits in the new link's buffer and goes out once the connection is up.
    ModalAnswerer answerer;
    click(&dialog, "lanReadButton");
    QVERIFY(dialog.link());
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.boxes.isEmpty(), 5000);
    QCOMPARE(answerer.boxes.first().title, QStringLiteral("LAN Configuration"));
    QCOMPARE(text(&dialog, "lanIpEdit"), QStringLiteral("10.20.30.40"));
}

void TstBoxDialog::programUpdate_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("size");            // -1: the file does not exist; -2: cancelled
    QTest::addColumn<QString>("message");     // last Message dock line, if any
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("progress");

    QTest::newRow("accepted") << "127.0.6.41" << QStringList() << 5000
                              << "Checksum Result:Checksum successful." << QStringList() << 100;
    QTest::newRow("no verdict") << "127.0.6.42" << QStringList{"--no-verdict"} << 5000
                                << "Timeout:Timeout while waiting for checksum result."
                                << QStringList{"Timeout | Timeout while waiting for checksum result."} << 0;
    QTest::newRow("file gone") << "127.0.6.45" << QStringList() << -1
                               << "Update Status:Could not read the file: No such file or directory"
                               << QStringList{"Error | Failed to open program file."} << 0;
    QTest::newRow("cancelled") << "127.0.6.46" << QStringList() << -2 << QString() << QStringList() << 0;
}

void TstBoxDialog::programUpdate()
{
    QFETCH(QString, address);
    QFETCH(QStringList, simArgs);
    QFETCH(int, size);
    QFETCH(QString, message);
    QFETCH(QStringList, boxes);
    QFETCH(int, progress);

    BoxSim sim(address, simArgs);
    QVERIFY(sim.start());
    QTemporaryDir dir;
    const QString path = dir.filePath("image.bin");
    QByteArray image(qMax(size, 0), 'x');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i % 251);
    if (size >= 0) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(image);
    }

    CMainWindow window;
    std::unique_ptr<QStandardItem> item(boxItem("B1", address));
    BoxEditDialog dialog(item.get(), &window);
    showMessagesIn(dialog, window);
    // Long enough for an instrumented simulator on a busy machine to check 5000 bytes.
    FileTransfer::setVerdictTimeoutForTesting(2000);
    FileDialogs::setNextAnswerForTesting(size == -2 ? QString() : path);
    ModalAnswerer answerer;
    answerer.answer(QStringLiteral("Update program"), QMessageBox::Yes);
    click(&dialog, "updateProgramButton");
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.transferRunning(), 10000);
    QTest::qWait(50);

    // A chosen file is confirmed first, naming the box and the file.
    if (size != -2)
        boxes.prepend(QStringLiteral("Update program | Send the program file %1 to the box B1 (%2)? The box "
                                     "installs it and restarts.")
                          .arg(QDir::toNativeSeparators(path), address));
    QCOMPARE(answerer.titles(), boxes);
    const QStringList lines = window.messageEditor()->toPlainText().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.isEmpty() ? QString() : lines.last(), message);
    QCOMPARE(child<QProgressBar>(&dialog, "progressBar")->value(), progress);
    if (size >= 0 && message.contains("successful"))
        QCOMPARE(sim.stateFile("program.bin"), image);
}

void TstBoxDialog::incompleteFieldsSendNothing_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("fields"); // "objectName=text"
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");        // "title | text"
    QTest::addColumn<bool>("sent");

    auto refused = [](const QString &tab, const QString &field) {
        return QStringLiteral("Invalid Input | %1 tab: the field \"%2\" is incomplete or not valid. "
                              "Nothing was sent to the box.")
            .arg(tab, field);
    };
    QTest::newRow("LAN IP half typed")
        << "127.0.6.50" << QStringList{"lanIpEdit=192.168.", "lanMaskEdit=255.255.255.0"} << "lanWriteButton"
        << refused("LAN", "IP") << false;
    QTest::newRow("LAN mask empty")
        << "127.0.6.51" << QStringList{"lanIpEdit=10.1.1.10", "lanMaskEdit="} << "lanWriteButton"
        << refused("LAN", "Mask") << false;
    QTest::newRow("LAN gateway half typed")
        << "127.0.6.52" << QStringList{"lanIpEdit=10.1.1.10", "lanMaskEdit=255.0.0.0", "lanGatewayEdit=10.1"}
        << "lanWriteButton" << refused("LAN", "Gateway") << false;
    QTest::newRow("WAN IP short, DHCP off")
        << "127.0.6.53" << QStringList{"wanDhcpCombo=Disabled", "wanIpEdit=10.1", "wanMaskEdit=255.0.0.0"}
        << "wanWriteButton" << refused("WAN", "IP") << false;
    QTest::newRow("WAN empty, DHCP on: sent")
        << "127.0.6.54" << QStringList{"wanDhcpCombo=Enable", "wanIpEdit=", "wanMaskEdit="} << "wanWriteButton"
        << "Write WAN Allocation | WAN allocation write successful." << true;
    QTest::newRow("NTP half typed")
        << "127.0.6.55" << QStringList{"ntpEdit=10.0."} << "ntpWriteButton" << refused("NTP", "NTP Server") << false;
    QTest::newRow("WiFi mask missing, DHCP off")
        << "127.0.6.56" << QStringList{"wifiDhcpCombo=Disabled", "wifiIpEdit=10.2.2.2", "wifiMaskEdit="}
        << "wifiWriteButton" << refused("WiFi", "Mask") << false;
}

void TstBoxDialog::incompleteFieldsSendNothing()
{
    QFETCH(QString, address);
    QFETCH(QStringList, fields);
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(bool, sent);

    BoxSim sim(address);
    QVERIFY(sim.start());
    std::unique_ptr<QStandardItem> item(boxItem("B1", address));
    BoxEditDialog dialog(item.get(), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    for (const QString &field : fields) {
        const QString name = field.section('=', 0, 0);
        const QString value = field.section('=', 1);
        if (auto *combo = dialog.findChild<QComboBox *>(name))
            combo->setCurrentText(value);
        else
            child<QLineEdit>(&dialog, qPrintable(name))->setText(value);
    }

    ModalAnswerer answerer;
    click(&dialog, qPrintable(button));
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.boxes.isEmpty(), 5000);
    QCOMPARE(answerer.titles(), QStringList{box});
    QTest::qWait(sent ? 0 : 300);
    QCOMPARE(sim.output().contains(" write "), sent);
}

void TstBoxDialog::deploymentSendsTheBoxesOwnProject()
{
    BoxSim sim(QStringLiteral("127.0.6.57"));
    QVERIFY(sim.start());
    // A project named "temp", and a file of the user's that a copy beside the project would
    // have overwritten and deleted.
    QTemporaryDir dir;
    const QByteArray users = "{\"mine\": \"kept\"}\n";
    QFile own(dir.filePath("temp.json"));
    QVERIFY(own.open(QIODevice::WriteOnly) && own.write(users) == users.size());
    own.close();

    CMainWindow window;
    QStandardItem *box = projectWithBox(window, "temp", dir.path(), "B1", sim.address());
    QStandardItem *elsewhere = projectWithBox(window, "Other", dir.path(), "B9", "127.0.6.99");
    window.projectView()->setCurrentIndex(elsewhere->index()); // the other project is current
    const QByteArray expected = ProjectJson::projectFileBytes(box->parent()->parent());

    BoxEditDialog dialog(box, &window);
    showMessagesIn(dialog, window);
    // The project cannot be saved beside the user's file of its name: sent without saving.
    ModalAnswerer answerer;
    answerer.answer(QStringLiteral("Unsaved Project"), QMessageBox::No);
    click(&dialog, "updateProjectButton");
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.transferRunning(), 10000);

    QCOMPARE(answerer.boxes.size(), 1);
    QCOMPARE(answerer.boxes.first().title, QStringLiteral("Unsaved Project"));
    QCOMPARE(lastLine(window), QStringLiteral("Checksum Result:Checksum successful."));
    QCOMPARE(sim.stateFile("deployed.json"), expected);
    // What the box confirmed is kept, for the next deployment's changes.
    QCOMPARE(readFile(DeploymentStore().documentPath(sim.address(), "temp")), expected);
    QCOMPARE(readFile(dir.filePath("temp.json")), users);
    DeploymentRecord record;
    QVERIFY(DeploymentLog().last(sim.address(), &record));
    QCOMPARE(record.projectName, QStringLiteral("temp"));
    QCOMPARE(record.md5, QCryptographicHash::hash(expected, QCryptographicHash::Md5));
    QCOMPARE(record.verdict, QStringLiteral("Checksum successful."));
    QVERIFY(record.succeeded() && qAbs(record.time.secsTo(QDateTime::currentDateTimeUtc())) < 60);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"temp.json"});
}

void TstBoxDialog::deploymentOntoAFullDevice()
{
#ifdef Q_OS_UNIX
    BoxSim sim(QStringLiteral("127.0.6.60"));
    QVERIFY(sim.start());
    QTemporaryDir dir;
    CMainWindow window;
    QStandardItem *box = projectWithBox(window, "P", dir.path(), "B1", sim.address());
    QVERIFY(ProjectJson::projectFileBytes(box->parent()->parent()).size() > 400);
    QVERIFY(window.saveProject(box->parent()->parent())); // so that no question comes first
    BoxEditDialog dialog(box, &window);
    showMessagesIn(dialog, window);

    // A device that takes only the first 200 bytes of any file.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200;
    ModalAnswerer answerer;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Could not create temp file:"));
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    click(&dialog, "updateProjectButton");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!dialog.transferRunning());
    QCOMPARE(answerer.boxes.size(), 1);
    QCOMPARE(answerer.boxes.first().title, QStringLiteral("Update project"));
    const QString prefix = QStringLiteral("Could not write the deployment copy ")
                           + QDir::toNativeSeparators(QDir::tempPath());
    QVERIFY2(answerer.boxes.first().text.startsWith(prefix), qPrintable(answerer.boxes.first().text));
    QCOMPARE(lastLine(window), answerer.boxes.first().text);
    QTest::qWait(300);
    QVERIFY(!window.messageEditor()->toPlainText().contains("Checksum successful"));
    QCOMPARE(sim.transfers().size(), 0);
#else
    QSKIP("needs a file-size limit to make the device fail");
#endif
}

void TstBoxDialog::progressAndVerdictFollowTheBox_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("simArgs"); // "@silent": a box that takes bytes and never answers
    QTest::addColumn<int>("progress");        // shown for B1 once its transfer has ended
    QTest::addColumn<QString>("verdict");

    QTest::newRow("confirmed") << "127.0.6.80" << QStringList() << 100 << "Checksum successful.";
    QTest::newRow("checksum failed") << "127.0.6.81" << QStringList{"--checksum-result", "1"} << 0
                                     << "Checksum failed.";
    QTest::newRow("cancelled") << "127.0.6.82" << QStringList{"@silent"} << 0 << "Cancelled";
}

// What the editor shows of a transfer belongs to the box it shows: turning to another box shows
// that box's (none), turning back shows the first box's again.
void TstBoxDialog::progressAndVerdictFollowTheBox()
{
    QFETCH(QString, address);
    QFETCH(QStringList, simArgs);
    QFETCH(int, progress);
    QFETCH(QString, verdict);

    const bool silent = simArgs == QStringList{"@silent"};
    BoxSim sim(address, silent ? QStringList() : simArgs);
    SilentBox quiet(address);
    QVERIFY(silent ? quiet.startListening() : sim.start());
    QTemporaryDir dir;
    const QString image = silent ? bigImage(dir) : dir.filePath("image.bin");
    if (!silent) {
        QFile f(image);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'p'));
    }
    FileTransfer::setVerdictTimeoutForTesting(2000);
    CMainWindow window;
    QStandardItem *box = projectWithBox(window, "P", dir.path(), "B1", address);
    QStandardItem *other = boxItem("B2", QStringLiteral("127.0.6.83")); // nobody there
    box->parent()->appendRow(other);
    auto open = [&window](QStandardItem *item) {
        window.projectView()->setCurrentIndex(item->index());
        window.slotBoxEditFile();
    };
    open(box);
    auto *dialog = window.findChild<BoxEditDialog *>();
    QVERIFY(dialog);
    auto shown = [dialog] {
        return qMakePair(child<QProgressBar>(dialog, "progressBar")->value(), label(dialog, "verdictLabel"));
    };

    FileDialogs::setNextAnswerForTesting(image);
    ModalAnswer::Scoped answerer(QMessageBox::Yes);
    click(dialog, "updateProgramButton");
    QVERIFY(dialog->transferRunning());
    if (silent) {
        QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(dialog, "progressBar")->value() > 0, 5000);
        // The running transfer stays with B1 while the editor shows B2.
        open(other);
        QCOMPARE(shown(), qMakePair(0, QString()));
        QVERIFY(child<QPushButton>(dialog, "updateProgramButton")->isEnabled());
        open(box);
        QVERIFY(dialog->transferRunning());
        click(dialog, "cancelTransferButton");
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->transferRunning(), 10000);
    const auto ended = shown();
    QCOMPARE(ended.first, progress);
    QVERIFY2(ended.second.startsWith("Last transfer: " + verdict), qPrintable(ended.second));

    open(other);
    QCOMPARE(shown(), qMakePair(0, QString()));
    QCOMPARE(label(dialog, "versionLabel"), QStringLiteral("Program version: 0.0.0"));
    open(box);
    QCOMPARE(shown(), ended);

    // A new transfer starts from nothing, whatever the last one reached.
    if (!silent) {
        QList<int> values;
        QObject scope; // the window outlives this block
        connect(child<QProgressBar>(dialog, "progressBar"), &QProgressBar::valueChanged, &scope,
                [&values](int value) { values << value; });
        FileDialogs::setNextAnswerForTesting(image);
        click(dialog, "updateProgramButton");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->transferRunning(), 10000);
        QVERIFY(!values.isEmpty());
        QCOMPARE(values.first(), progress == 100 ? 0 : values.first());
    }
}

void TstBoxDialog::runningTransferIsAskedAbout()
{
    // Opened through the window, as a user would, so its hooks and message wiring take part.
    const QString address = QStringLiteral("127.0.6.61");
    SilentBox silent(address);
    QVERIFY(silent.startListening());
    QTemporaryDir dir;
    const QString image = bigImage(dir);
    CMainWindow window;
    QStandardItem *box = projectWithBox(window, "P", dir.path(), "B1", address);
    QStandardItem *other = boxItem("B2", address);
    box->parent()->appendRow(other);
    window.projectView()->setCurrentIndex(box->index());
    window.slotBoxEditFile();
    auto *dialog = window.findChild<BoxEditDialog *>();
    QVERIFY(dialog);

    FileDialogs::setNextAnswerForTesting(image);
    ModalAnswer::answerNext(QMessageBox::Yes);
    click(dialog, "updateProgramButton");
    QVERIFY(dialog->transferRunning());
    QVERIFY(!child<QPushButton>(dialog, "updateProjectButton")->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, "updateProgramButton")->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, "rebootButton")->isEnabled());
    QVERIFY(child<QPushButton>(dialog, "cancelTransferButton")->isEnabled());

    // Everything that would end it asks first; No leaves it running.
    const QString question = QStringLiteral("A transfer to the box is still running. Cancel it?");
    QString seen;
    ModalAnswer::answerNext(QMessageBox::No, &seen);
    click(dialog, "cancelButton");
    QCOMPARE(seen, question);
    seen.clear();
    ModalAnswer::answerNext(QMessageBox::No, &seen);
    window.close();
    QCOMPARE(seen, question);
    seen.clear();
    ads::CDockWidget *dock = window.findEditDock(QStringLiteral("Edit Box"));
    QVERIFY(dock);
    ModalAnswer::answerNext(QMessageBox::No, &seen);
    emit dock->closeRequested(); // the dock's close button
    QCOMPARE(seen, question);
    QVERIFY(!dock->isClosed());

    // Turning the editor to another box ends nothing: the transfer goes on in B1's session,
    // and the editor shows B2's own (idle) state; back on B1 it shows the transfer again.
    seen.clear();
    window.projectView()->setCurrentIndex(other->index());
    window.slotBoxEditFile();
    QCOMPARE(seen, QString());
    QCOMPARE(dialog->boxItem(), other);
    QVERIFY(!dialog->transferRunning());
    QVERIFY(child<QPushButton>(dialog, "updateProgramButton")->isEnabled());
    QVERIFY(child<QPushButton>(dialog, "rebootButton")->isEnabled());
    QCOMPARE(child<QProgressBar>(dialog, "progressBar")->value(), 0);
    window.projectView()->setCurrentIndex(box->index());
    window.slotBoxEditFile();
    QCOMPARE(dialog->boxItem(), box);
    QVERIFY(dialog->transferRunning());
    QVERIFY(!child<QPushButton>(dialog, "updateProgramButton")->isEnabled());

    // Yes cancels it, at once and without success.
    ModalAnswer::answerNext(QMessageBox::Yes, &seen);
    emit dock->closeRequested();
    QCOMPARE(seen, question);
    const QPointer<BoxEditDialog> closed(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(!closed, 1000);
    QCOMPARE(lastLine(window), QStringLiteral("Update Status:Program update cancelled, not completed."));
    window.projectView()->setCurrentIndex(other->index());
    window.slotBoxEditFile();
    dialog = window.findChild<BoxEditDialog *>();
    QVERIFY(dialog);
    QCOMPARE(child<QProgressBar>(dialog, "progressBar")->value(), 0);
    QVERIFY(child<QPushButton>(dialog, "updateProgramButton")->isEnabled());

    // The button beside the progress bar ends the next one promptly.
    FileDialogs::setNextAnswerForTesting(image);
    ModalAnswer::answerNext(QMessageBox::Yes);
    click(dialog, "updateProgramButton");
    QVERIFY(dialog->transferRunning());
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    click(dialog, "cancelTransferButton");
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->transferRunning(), 1000);
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(lastLine(window), QStringLiteral("Update Status:Program update cancelled, not completed."));
    QVERIFY(!window.messageEditor()->toPlainText().contains("successful"));
}

// A box that takes the project but gives no verdict may not have it: nothing is kept, so the
// next deployment is not compared with a document the box never confirmed.
void TstBoxDialog::deploymentWithoutVerdictKeepsNoCopy()
{
    BoxSim sim(QStringLiteral("127.0.6.62"), {"--no-verdict"});
    QVERIFY(sim.start());
    QTemporaryDir dir;
    CMainWindow window;
    QStandardItem *box = projectWithBox(window, "P", dir.path(), "B1", sim.address());
    QVERIFY(window.saveProject(box->parent()->parent())); // so that no question comes first
    BoxEditDialog dialog(box, &window);
    showMessagesIn(dialog, window);
    FileTransfer::setVerdictTimeoutForTesting(300);
    ModalAnswerer answerer;
    click(&dialog, "updateProjectButton");
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.transferRunning(), 10000);

    QCOMPARE(answerer.titles(), QStringList{"Timeout | Timeout while waiting for checksum result."});
    QCOMPARE(sim.transfers().size(), 1);
    QVERIFY(!QFile::exists(DeploymentStore().documentPath(sim.address(), "P")));
}

QTEST_MAIN(TstBoxDialog)
#include "tst_boxdialog.moc"

void TstBoxDialog::refusedConnectIsRetriedUntilDisconnect()
{
    // Heartbeats often, so their "not connected" text would show between retries.
    Protocol::setTimerPeriodsForTesting(50, 0, 150);
    CMainWindow window;
    BoxSim sim(QStringLiteral("127.0.6.61"));
    std::unique_ptr<QStandardItem> item(boxItem("B1", sim.address()));
    BoxEditDialog dialog(item.get(), &window);
    showMessagesIn(dialog, window);
    const QString refused = QStringLiteral("Connection status: refused (Connection refused), retrying, attempt %1");
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), refused.arg(1), 3000);
    // Counted once per retry.
    QTest::qWait(500);
    const QString shown = label(&dialog, "statusLabel");
    QVERIFY2(shown.startsWith(refused.arg(QString()).trimmed()), qPrintable(shown));
    const int attempt = shown.section(QLatin1Char(' '), -1).toInt();
    QVERIFY2(attempt >= 2 && attempt <= 5, qPrintable(shown));

    // Disconnect ends the retries: a box that comes up afterwards sees no connection.
    click(&dialog, "disconnectButton");
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Not connected"));
    QVERIFY(sim.start());
    QTest::qWait(600);
    QVERIFY2(!sim.output().contains(" connected"), sim.output().constData());
    QCOMPARE(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Not connected"));
    QVERIFY(window.messageEditor()->toPlainText().isEmpty());
}

void TstBoxDialog::rebootReconnectsByItself()
{
    Protocol::setTimerPeriodsForTesting(0, 0, 200);
    BoxSim sim(QStringLiteral("127.0.6.62"), {"--reboot-seconds", "1"});
    QVERIFY(sim.start());
    std::unique_ptr<QStandardItem> item(boxItem("B1", sim.address()));
    BoxEditDialog dialog(item.get(), nullptr);
    QList<QPair<QString, bool>> links;
    connect(&dialog, &BoxEditDialog::linkStateChanged, this,
            [&](const QString &ip, bool up) { links.append({ip, up}); });
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);

    ModalAnswerer answerer;
    answerer.answer(QStringLiteral("Reboot"), QMessageBox::Yes);
    click(&dialog, "rebootButton");
    QTRY_VERIFY_WITH_TIMEOUT(label(&dialog, "statusLabel").contains(QStringLiteral(", retrying, attempt ")), 5000);
    // No click: the box is back after its reboot time and the dialog with it.
    QTRY_COMPARE_WITH_TIMEOUT(label(&dialog, "statusLabel"), QStringLiteral("Connection status: Connected"), 5000);
    QCOMPARE(answerer.titles(),
             (QStringList{QStringLiteral("Reboot | Reboot the box B1 (%1)? It stops polling its devices until it "
                                         "has started again.").arg(sim.address()),
                          "Write Restart Allocation | Restart allocation write successful."}));
    const QList<QPair<QString, bool>> expected{{sim.address(), true}, {sim.address(), false}, {sim.address(), true}};
    QCOMPARE(links, expected);

    // Dropping the link reports it down.
    click(&dialog, "disconnectButton");
    QCOMPARE(links.size(), 4);
    QCOMPARE(links.last(), qMakePair(sim.address(), false));
}
