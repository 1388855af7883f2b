// Every text the sources pass through tr() has a finished Chinese translation.

#include "core/deployment/DeploymentStore.h"
#include "core/modbus/ModbusStatus.h"
#include "core/monitoring/MonitoringRecorder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
struct Entry {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

QList<Entry> readCatalogue(const QString &path, QString *error)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return entries;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Entry current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            current = Entry{context, QString(), QString(), false};
        } else if (name == QLatin1String("source")) {
            current.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            current.translation = xml.readElementText();
            current.finished = type.isEmpty() && !current.translation.trimmed().isEmpty();
            entries << current;
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return entries;
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void everySourceTextIsTranslated();
    void mainWindowVocabulary_data();
    void mainWindowVocabulary();
    void statusTexts_data();
    void statusTexts();
    void modbusStatusTexts();
};

void TestTranslations::everySourceTextIsTranslated()
{
    QTemporaryDir dir;
    const QString scanned = dir.filePath(QStringLiteral("scan.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(ORVANE_LUPDATE),
                  {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"), QStringLiteral("-locations"),
                   QStringLiteral("none"), QStringLiteral(ORVANE_SOURCE_DIR "/src"), QStringLiteral("-ts"), scanned});
    QVERIFY(lupdate.waitForFinished(120000));
    QCOMPARE(lupdate.exitCode(), 0);

    QString error;
    const QList<Entry> found = readCatalogue(scanned, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(found.size() > 30);
    const QList<Entry> catalogue =
        readCatalogue(QStringLiteral(ORVANE_SOURCE_DIR "/src/resources/translations/chinese.ts"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QSet<QString> done;
    for (const Entry &e : catalogue)
        if (e.finished)
            done.insert(e.context + QLatin1Char('|') + e.source);
    QStringList missing;
    for (const Entry &e : found)
        if (!done.contains(e.context + QLatin1Char('|') + e.source))
            missing << e.context + QStringLiteral(" | ") + e.source;
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("untranslated:\n") + missing.join(QLatin1Char('\n'))));
}

void TestTranslations::mainWindowVocabulary_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("chinese");
    const char *rows[][3] = {
        {"MainWindow", "File", "文件"}, {"MainWindow", "View", "视图"}, {"MainWindow", "window", "窗口"},
        {"MainWindow", "About", "关于"}, {"MainWindow", "toolBar", "工具栏"},
        {"MainWindow", "New Project", "新建项目"}, {"MainWindow", "Load Project", "加载项目"},
        {"MainWindow", "Save All Project", "保存全部项目"}, {"MainWindow", "Save State", "保存状态"},
        {"MainWindow", "Restore State", "恢复状态"},
        {"QObject", "Project", "项目"}, {"QObject", "Message", "消息"},
        {"QObject", "Data monitoring", "数据监控"}, {"QObject", "Project Name", "项目名称"},
        {"QObject", "Options", "选项"}, {"QObject", "Clear Editor", "清除编辑器"},
        {"QObject", "Edit Project", "编辑项目"}, {"QObject", "Edit Standard", "编辑Standard"},
        {"QObject", "Edit Service", "编辑Service"}, {"QObject", "Edit Box", "编辑Box"},
        {"CMainWindow", "Edit Project", "编辑项目"}, {"CMainWindow", "Close Project", "关闭项目"},
        {"CMainWindow", "Save Project", "保存项目"}, {"CMainWindow", "Delete", "删除"},
        {"CMainWindow", "Delete All", "删除全部"}, {"CMainWindow", "Add Standard", "添加Standard"},
        {"CMainWindow", "Add Box", "添加Box"}, {"CMainWindow", "Search Box", "搜索设备"},
        {"CMainWindow", "Editing Standard", "编辑Standard"}, {"CMainWindow", "Editing Service", "编辑Service"},
        {"CMainWindow", "Editing Box", "编辑Box"}, {"CMainWindow", "Save Changes", "保存更改"},
        {"CMainWindow", "Warning", "警告"},
        {"BoxEditDialog", "Connect", "连接"}, {"BoxEditDialog", "Disconnect", "断开连接"},
        {"BoxEditDialog", "Update project", "更新项目"}, {"BoxEditDialog", "Update program", "更新程序"},
        {"BoxEditDialog", "Reboot Device", "重新启动设备"}, {"BoxEditDialog", "Commonly", "常用"},
        {"BoxEditDialog", "Time", "Time"}, {"BoxEditDialog", "Read", "读取"},
        {"BoxEditDialog", "Write", "写入"}, {"BoxEditDialog", "Save", "保存"},
        {"BoxEditDialog", "Cancel", "取消"},
        {"Protocol", "Connection status: Connected", "连接状态：已连接"},
    };
    for (const auto &row : rows)
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QString::fromUtf8(row[0]), QString::fromUtf8(row[1]))))
            << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
}

void TestTranslations::mainWindowVocabulary()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, chinese);
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/adsdemo/chinese.qm")));
    QCOMPARE(translator.translate(context.toUtf8().constData(), source.toUtf8().constData()), chinese);
}

// Status codes of core classes reach the interface inside translated sentences: each one is
// told in Chinese there.
void TestTranslations::statusTexts_data()
{
    using Recorder = MonitoringRecorder::Status;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("chinese");
    const auto recorder = [](const char *name, Recorder code, const char *chinese) {
        QTest::newRow(name) << MonitoringRecorder::statusText(code) << QString::fromUtf8(chinese);
    };
    recorder("recorder not open", Recorder::NotOpen, "未打开");
    recorder("recorder older layout", Recorder::OlderLayout, "旧格式的记录；请选择一个新文件");
    recorder("recorder not WAL", Recorder::NotWalDatabase, "不是 WAL 模式的数据库");
    recorder("recorder no such file", Recorder::NoSuchFile, "文件不存在");
    recorder("recorder locked too long", Recorder::LockedTooLong,
             "另一个程序锁定数据库的时间过长；等待写入的数值已被丢弃");
    recorder("recorder write incomplete", Recorder::WriteIncomplete, "文件未能完整写入，磁盘可能已满");
    QTest::newRow("store cannot create")
        << DeploymentStore::statusText(DeploymentStore::Status::CannotCreate, QStringLiteral("/srv/x"))
        << QString::fromUtf8("无法创建 /srv/x");
}

void TestTranslations::statusTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, chinese);
    QCOMPARE(text, chinese);
}

// Every status a Modbus point or write can end with reaches the Chinese interface translated.
void TestTranslations::modbusStatusTexts()
{
    const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    for (const QString &code : ModbusStatus::codes()) {
        const QString text = modbusStatusText(code);
        QVERIFY2(text != code && text.contains(chinese), qPrintable(code + QStringLiteral(" -> ") + text));
    }
    QCOMPARE(modbusStatusText(ModbusStatus::exception(3)), QStringLiteral("异常 3"));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Loaded before the table is made: the texts are taken when its rows are.
    QTranslator chinese;
    if (!chinese.load(QStringLiteral(":/adsdemo/chinese.qm")) || !app.installTranslator(&chinese))
        return 1;
    TestTranslations test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_translations.moc"
