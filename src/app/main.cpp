#include "core/support/MessageHandler.h"
#include "core/support/WriteLog.h"
#include "gui/mainwindow/CMainWindow.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Orvane 600"));
    QApplication::setQuitOnLastWindowClosed(true);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/logo-1.png")));

    qInstallMessageHandler(messageHandler);
    qDebug("Message handler test");
    // One line per start, so a user (and the package check) can find where the log went.
    writeLog(QStringLiteral("main: start"));

    CMainWindow window;
    window.showMaximized();
    window.show();

    // The resource set ships no style sheet, so this applies an empty one.
    QFile css(QStringLiteral(":/adsdemo/app.css"));
    QString styleSheet;
    if (css.open(QIODevice::ReadOnly)) {
        QTextStream stream(&css);
        styleSheet = stream.readAll();
        css.close();
    }
    app.setStyleSheet(styleSheet);

    return QApplication::exec();
}
