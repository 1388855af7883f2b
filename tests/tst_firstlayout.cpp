// The first layout without Settings.ini, measured on real X screens of the sizes users have
// (Xvfb): the offscreen platform offers only a fixed 800x600 screen. Each screen size runs
// this executable again inside its own Xvfb.

#include "gui/devices/standardDLT645EditDialog.h"
#include "gui/devices/standardModbusEditDialog.h"
#include "gui/mainwindow/CMainWindow.h"
#include "core/project/ItemRecord.h"

#include <qtadvanceddocking/DockAreaWidget.h>
#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace {
// Set (to "WIDTHxHEIGHT") only in the child that runs inside Xvfb.
const char *const kScreenVariable = "ORVANE_LAYOUT_SCREEN";
// When set in the child: the window with the Modbus editor open is saved to this PNG file
// (the README's screenshot).
const char *const kScreenshotVariable = "ORVANE_SCREENSHOT";

QRect globalRect(const QWidget *widget, const QRect &rect)
{
    return QRect(widget->mapToGlobal(rect.topLeft()), rect.size());
}

// Screen columns [left, right] that the dock shows of its content: the viewport of the scroll
// area that the docking library wraps the content in, or else the dock itself. Only the width
// counts; what lies below the fold is a vertical scroll away.
QPair<int, int> visibleColumns(ads::CDockWidget *dock)
{
    const QWidget *shown = dock;
    QWidget *viewport = dock->widget()->parentWidget();
    if (viewport && qobject_cast<QScrollArea *>(viewport->parentWidget()))
        shown = viewport;
    const QRect rect = globalRect(shown, shown->rect()).intersected(globalRect(dock, dock->rect()));
    return {rect.left(), rect.right()};
}

bool withinWidth(const QRect &rect, const QPair<int, int> &columns)
{
    return rect.left() >= columns.first && rect.right() <= columns.second;
}

// The header labels of `columns` whose section lies wholly within the dock's visible width
// and within the table's own viewport (not scrolled away sideways).
QStringList shownColumns(ads::CDockWidget *dock, QTableWidget *table, const QList<int> &columns)
{
    QStringList shown;
    const QHeaderView *header = table->horizontalHeader();
    QPair<int, int> visible = visibleColumns(dock);
    const QRect viewport = globalRect(table->viewport(), table->viewport()->rect());
    visible = {qMax(visible.first, viewport.left()), qMin(visible.second, viewport.right())};
    for (int column : columns) {
        const QRect section(header->sectionViewportPosition(column), 0, header->sectionSize(column),
                            header->height());
        if (withinWidth(globalRect(header->viewport(), section), visible))
            shown << table->horizontalHeaderItem(column)->text();
    }
    return shown;
}

QStringList allLabels(QTableWidget *table, const QList<int> &columns)
{
    QStringList labels;
    for (int column : columns)
        labels << table->horizontalHeaderItem(column)->text();
    return labels;
}

QTableWidget *currentTable(QTabWidget *tabs)
{
    return tabs && tabs->currentWidget() ? tabs->currentWidget()->findChild<QTableWidget *>() : nullptr;
}

qint64 areaOf(const QWidget *widget)
{
    return qint64(widget->width()) * widget->height();
}
} // namespace

class TestFirstLayout : public QObject
{
    Q_OBJECT
private slots:
    void onScreen_data();
    void onScreen();
    void inWindow();
};

void TestFirstLayout::onScreen_data()
{
    QTest::addColumn<QString>("screen");
    QTest::newRow("1366x768") << QStringLiteral("1366x768");
    QTest::newRow("1920x1080") << QStringLiteral("1920x1080");
}

void TestFirstLayout::onScreen()
{
    QFETCH(QString, screen);
    if (qEnvironmentVariableIsSet(kScreenVariable))
        QSKIP("inside Xvfb already");
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is missing (Debian package xvfb): the first layout is not checked on real screen sizes");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kScreenVariable), screen);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-s"),
                          QStringLiteral("-screen 0 %1x24 -nolisten tcp").arg(screen),
                          QCoreApplication::applicationFilePath(), QStringLiteral("inWindow")});
    QVERIFY(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        qWarning().noquote() << output;
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

void TestFirstLayout::inWindow()
{
    if (!qEnvironmentVariableIsSet(kScreenVariable))
        QSKIP("runs inside its own Xvfb, started by onScreen");
    QTemporaryDir cwd; // no Settings.ini here
    QVERIFY(QDir::setCurrent(cwd.path()));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(QStringLiteral("%1x%2").arg(available.width()).arg(available.height()),
             qEnvironmentVariable(kScreenVariable));

    CMainWindow w;
    // No window manager runs under Xvfb to maximise the window: give it the screen instead.
    w.setGeometry(available);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    ads::CDockAreaWidget *project = nullptr;
    for (auto *dock : w.dockManager()->findChildren<ads::CDockWidget *>()) {
        if (dock->widget() == w.projectView())
            project = dock->dockAreaWidget();
    }
    QVERIFY(project);
    ads::CDockWidget *dataDock = nullptr;
    ads::CDockWidget *messageDock = nullptr;
    for (auto *dock : w.dockManager()->findChildren<ads::CDockWidget *>()) {
        if (dock->objectName() == QLatin1String("Table 0"))
            dataDock = dock;
        else if (dock->objectName() == QLatin1String("Editor"))
            messageDock = dock;
    }
    QVERIFY(dataDock && messageDock);
    ads::CDockAreaWidget *data = dataDock->dockAreaWidget();
    ads::CDockAreaWidget *message = messageDock->dockAreaWidget();

    // Tree about a fifth of the width; the monitoring area is the largest.
    const int width = w.dockManager()->width();
    QTRY_VERIFY2(qAbs(project->width() - width / 5) <= width / 40,
                 qPrintable(QStringLiteral("tree %1 of %2").arg(project->width()).arg(width)));
    QVERIFY(areaOf(data) > areaOf(project));
    QVERIFY(areaOf(data) > areaOf(message));

    // A project with a Modbus device (one tab with points), a DL/T 645 meter and a box.
    auto *projectItem = new QStandardItem(QStringLiteral("Plant"));
    for (const QString &folder : {Folder::Standard, Folder::Service, Folder::Box, Folder::Data})
        projectItem->appendRow(new QStandardItem(folder));
    w.projectModel()->appendRow(projectItem);

    auto *modbus = new QStandardItem(QStringLiteral("PLC"));
    modbus->setData(QStringLiteral("Modbus"), Role::Protocol);
    QList<QVariantList> modbusRows{QVariantList{"standard", "1", "ABCD", true, false}};
    for (int i = 0; i < 40; ++i)
        modbusRows << QVariantList{QString::number(40001 + 2 * i), QStringLiteral("Point %1").arg(i),
                                   "float", "2", "rw"};
    modbus->setData(QVariant::fromValue(PointTable{{QStringLiteral("Modbus-1"), modbusRows}}), Role::PointTable);
    projectItem->child(0)->appendRow(modbus);

    auto *meter = new QStandardItem(QStringLiteral("Meter"));
    meter->setData(QStringLiteral("DLT645"), Role::Protocol);
    QList<QVariantList> meterRows{QVariantList{"000000001234", "DLT645_2007"}};
    meterRows << QVariantList{"true", "Positive active energy", "Energy"};
    meter->setData(QVariant::fromValue(PointTable{{QStringLiteral("DLT645-1"), meterRows}}), Role::PointTable);
    projectItem->child(0)->appendRow(meter);

    auto *box = new QStandardItem(QStringLiteral("Box"));
    box->setData(QStringLiteral("192.0.2.1"), Role::BoxIp); // documentation address: nothing answers
    projectItem->child(2)->appendRow(box);
    w.projectView()->expandAll();

    // The Modbus editor shows all six columns of its point table.
    w.projectView()->setCurrentIndex(modbus->index());
    w.slotstandardEditFile();
    ads::CDockWidget *edit = w.findEditDock(QObject::tr("Edit Standard"));
    QVERIFY(edit);
    auto *modbusEditor = qobject_cast<standardModbusEditDialog *>(edit->widget());
    QVERIFY(modbusEditor);
    QTRY_VERIFY(currentTable(modbusEditor->tabWidget()));
    QTableWidget *points = currentTable(modbusEditor->tabWidget());
    const QList<int> six{0, 1, 2, 3, 4, 5};
    QTRY_COMPARE(shownColumns(edit, points, six), allLabels(points, six));
    // The tree keeps its fifth and the monitoring column stays the widest.
    QVERIFY2(qAbs(project->width() - width / 5) <= width / 40,
             qPrintable(QStringLiteral("tree %1 of %2").arg(project->width()).arg(width)));
    QVERIFY(data->width() > edit->dockAreaWidget()->width());
    QVERIFY(data->width() > project->width());

    const QString screenshot = qEnvironmentVariable(kScreenshotVariable);
    if (!screenshot.isEmpty()) {
        // The point table sits below the device form: scroll the dock down to it.
        if (auto *scroll = qobject_cast<QScrollArea *>(edit->widget()->parentWidget()->parentWidget()))
            scroll->ensureWidgetVisible(points->horizontalHeader(), 0, 0);
        QTest::qWait(100);
        QVERIFY(w.grab().save(screenshot));
    }

    // The DL/T 645 editor shows its name column.
    w.projectView()->setCurrentIndex(meter->index());
    w.slotstandardEditFile();
    edit = w.findEditDock(QObject::tr("Edit Standard"));
    auto *meterEditor = edit ? qobject_cast<standardDLT645EditDialog *>(edit->widget()) : nullptr;
    QVERIFY(meterEditor);
    QTRY_VERIFY(currentTable(meterEditor->tabWidget()));
    QTableWidget *meterTable = currentTable(meterEditor->tabWidget());
    QTRY_COMPARE(shownColumns(edit, meterTable, {2}), allLabels(meterTable, {2}));

    // The box editor's buttons show their whole text.
    w.projectView()->setCurrentIndex(box->index());
    w.slotBoxEditFile();
    ads::CDockWidget *boxDock = w.findEditDock(QObject::tr("Edit Box"));
    QVERIFY(boxDock);
    QTest::qWait(200);
    int shownButtons = 0;
    auto cutButtons = [&] {
        QStringList cut;
        shownButtons = 0;
        for (QPushButton *button : boxDock->widget()->findChildren<QPushButton *>()) {
            if (!button->isVisible() || button->text().isEmpty())
                continue;
            ++shownButtons;
            if (button->width() < button->sizeHint().width()
                || !withinWidth(globalRect(button, button->rect()), visibleColumns(boxDock)))
                cut << button->text();
        }
        return cut;
    };
    QTRY_COMPARE(cutButtons(), QStringList());
    // Connect, Disconnect, Update project, Update program, Reboot Device, Save, Cancel at least.
    QVERIFY2(shownButtons >= 7, qPrintable(QString::number(shownButtons)));
    QCoreApplication::removeTranslator(w.translator());
}

QTEST_MAIN(TestFirstLayout)
#include "tst_firstlayout.moc"
