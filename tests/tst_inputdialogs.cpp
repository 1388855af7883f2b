// The small input dialogs of the workspace: what exec() returns, what the caller reads back,
// the Add Box address validator, the directory chooser hook, and the log lines.

#include "gui/widgets/FileDialogs.h"
#include "gui/boxlink/BoxInputDialog.h"
#include "gui/devices/standardInputDialog.h"
#include "gui/project/EditProjectDialog.h"
#include "gui/project/NewProjectDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QValidator>
#include <QtTest>

#include <functional>

using DialogFactory = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogFactory)

class TstInputDialogs : public QObject
{
    Q_OBJECT

private slots:
    void standardResult_data();
    void standardResult();
    void standardChoices();
    void boxResult_data();
    void boxResult();
    void boxIpValidator_data();
    void boxIpValidator();
    void browsePath_data();
    void browsePath();
    void logLines_data();
    void logLines();
};

namespace {

enum class Finish { Ok, Cancel, CloseWindow };

// Ends the dialog's exec() from inside its loop the way the user would.
int runAndFinish(QDialog &dialog, QPushButton *ok, QPushButton *cancel, Finish finish)
{
    QTimer::singleShot(0, &dialog, [&] {
        if (finish == Finish::Ok)
            ok->click();
        else if (finish == Finish::Cancel)
            cancel->click();
        else
            dialog.close();
    });
    return dialog.exec();
}

} // namespace

void TstInputDialogs::standardResult_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("finish");
    QTest::addColumn<int>("result");

    // The dialog checks nothing: an empty name is the caller's to refuse.
    QTest::newRow("ok, empty name") << QString() << int(Finish::Ok) << int(QDialog::Accepted);
    QTest::newRow("ok, blanks kept") << "  meter 1 " << int(Finish::Ok) << int(QDialog::Accepted);
    QTest::newRow("cancel") << "meter" << int(Finish::Cancel) << int(QDialog::Rejected);
    QTest::newRow("window closed") << "meter" << int(Finish::CloseWindow) << int(QDialog::Rejected);
}

void TstInputDialogs::standardResult()
{
    QFETCH(QString, name);
    QFETCH(int, finish);
    QFETCH(int, result);

    standardInputDialog dialog;
    dialog.nameEdit()->setText(name);
    dialog.protocolCombo()->setCurrentIndex(1);
    QCOMPARE(runAndFinish(dialog, dialog.okButton(), dialog.cancelButton(), Finish(finish)), result);
    QCOMPARE(dialog.getName(), name);
    QCOMPARE(dialog.getProtocol(), QStringLiteral("Modbus"));
}

void TstInputDialogs::standardChoices()
{
    // The protocol text becomes the device kind, so the choices are exact.
    standardInputDialog dialog;
    QComboBox *combo = dialog.protocolCombo();
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("DLT645"));
    QCOMPARE(combo->itemText(1), QStringLiteral("Modbus"));
    QCOMPARE(dialog.getProtocol(), QStringLiteral("DLT645"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Add Standard"));
    QCOMPARE(dialog.size(), QSize(400, 200));
}

void TstInputDialogs::boxResult_data()
{
    QTest::addColumn<int>("finish");
    QTest::addColumn<int>("result");

    QTest::newRow("ok") << int(Finish::Ok) << int(QDialog::Accepted);
    QTest::newRow("cancel") << int(Finish::Cancel) << int(QDialog::Rejected);
    QTest::newRow("window closed") << int(Finish::CloseWindow) << int(QDialog::Rejected);
}

void TstInputDialogs::boxResult()
{
    QFETCH(int, finish);
    QFETCH(int, result);

    BoxInputDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Add Box"));
    QComboBox *models = dialog.modelCombo();
    QCOMPARE(models->count(), 2);
    QCOMPARE(models->itemText(0), QStringLiteral("TLK-BOX-600"));
    QCOMPARE(models->itemText(1), QStringLiteral("TLK-BOX-200"));
    QCOMPARE(dialog.getModel(), QStringLiteral("TLK-BOX-600"));

    dialog.nameEdit()->setText(QStringLiteral(" gateway "));
    QTest::keyClicks(dialog.ipEdit(), QStringLiteral("192.168.10.1"));
    models->setCurrentIndex(1);
    QCOMPARE(runAndFinish(dialog, dialog.okButton(), dialog.cancelButton(), Finish(finish)), result);
    QCOMPARE(dialog.getBoxName(), QStringLiteral(" gateway "));
    QCOMPARE(dialog.getIpAddress(), QStringLiteral("192.168.10.1"));
    QCOMPARE(dialog.getModel(), QStringLiteral("TLK-BOX-200"));
}

void TstInputDialogs::boxIpValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");

    QTest::newRow("address") << "192.168.1.10" << int(QValidator::Acceptable);
    QTest::newRow("bounds") << "0.0.0.0" << int(QValidator::Acceptable);
    QTest::newRow("all 255") << "255.255.255.255" << int(QValidator::Acceptable);
    QTest::newRow("leading zeros") << "010.001.1.1" << int(QValidator::Acceptable);
    QTest::newRow("being typed") << "10.0." << int(QValidator::Intermediate);
    QTest::newRow("octet 256") << "256.1.1.1" << int(QValidator::Invalid);
    QTest::newRow("four digits") << "1.1.1.1000" << int(QValidator::Invalid);
    QTest::newRow("five octets") << "1.1.1.1.1" << int(QValidator::Invalid);
    QTest::newRow("letters") << "10.0.0.a" << int(QValidator::Invalid);
    QTest::newRow("blank") << "10.0.0.1 " << int(QValidator::Invalid);
}

void TstInputDialogs::boxIpValidator()
{
    QFETCH(QString, text);
    QFETCH(int, state);

    BoxInputDialog dialog;
    const QValidator *validator = dialog.ipEdit()->validator();
    QVERIFY(validator);
    int pos = 0;
    QCOMPARE(int(validator->validate(text, pos)), state);
    // Typing refuses what can never become an address.
    dialog.ipEdit()->clear();
    QTest::keyClicks(dialog.ipEdit(), text);
    QCOMPARE(dialog.ipEdit()->text() == text, state != int(QValidator::Invalid));
}

void TstInputDialogs::browsePath_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("path");

    QTest::newRow("chosen") << "/srv/projects" << "/srv/projects";
    QTest::newRow("chooser cancelled") << QString() << "/earlier/choice";
}

void TstInputDialogs::browsePath()
{
    QFETCH(QString, answer);
    QFETCH(QString, path);

    NewProjectDialog dialog;
    dialog.pathEdit()->setText(QStringLiteral("/earlier/choice"));
    FileDialogs::setNextAnswerForTesting(answer);
    dialog.browseButton()->click();
    QCOMPARE(dialog.pathEdit()->text(), path);
    QVERIFY(dialog.pathEdit()->isReadOnly());
}

void TstInputDialogs::logLines_data()
{
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("destroyed");

    QTest::newRow("standardInputDialog")
        << DialogFactory([] { return new standardInputDialog; }) << "standardInputDialog: new-nuilt"
        << "standardInputDialog: destroyed";
    QTest::newRow("BoxInputDialog") << DialogFactory([] { return new BoxInputDialog; })
                                    << "BoxInputDialog: new-nuilt" << "BoxInputDialog: destroyed";
    QTest::newRow("NewProjectDialog") << DialogFactory([] { return new NewProjectDialog; })
                                      << "NewProjectDialog: new-nuilt" << "NewProjectDialog: destroyed";
    QTest::newRow("EditProjectDialog")
        << DialogFactory([] { return new EditProjectDialog(QStringLiteral("n"), QStringLiteral("p"), QString()); })
        << QString::fromUtf8("EditProjectDialog\xEF\xBC\x9Anew-nuilt") << "EditProjectDialog: destroyed";
}

void TstInputDialogs::logLines()
{
    QFETCH(DialogFactory, make);
    QFETCH(QString, built);
    QFETCH(QString, destroyed);

    QFile log(QCoreApplication::applicationDirPath() + QStringLiteral("/ORVANELOG.log"));
    const qint64 before = log.exists() ? log.size() : 0;
    delete make();

    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    QVERIFY(log.seek(before));
    // Other test programs may append to the same file meanwhile; only the order of ours counts.
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: "));
    int builtAt = -1;
    int destroyedAt = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = stamp.match(lines[i]);
        if (!match.hasMatch())
            continue;
        const QString message = lines[i].mid(match.capturedLength());
        if (message == built && builtAt < 0)
            builtAt = i;
        else if (message == destroyed && builtAt >= 0 && destroyedAt < 0)
            destroyedAt = i;
    }
    QVERIFY2(builtAt >= 0, qPrintable(built));
    QVERIFY2(destroyedAt > builtAt, qPrintable(destroyed));
}

QTEST_MAIN(TstInputDialogs)
#include "tst_inputdialogs.moc"
