// Every image the program refers to by resource path must be compiled in and decodable;
// a misspelt file name or a broken SVG otherwise only shows up as a blank button.
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtTest>

class TstResources : public QObject
{
    Q_OBJECT

private slots:
    void imageLoads_data();
    void imageLoads();
    void noApplicationStyleSheet();
};

void TstResources::imageLoads_data()
{
    QTest::addColumn<QString>("path");

    const char *const names[] = {
        "Box.png", "Box.svg", "Connect.svg", "DLT645.svg", "Data.png", "Data.svg", "Delete.svg",
        "Disconnect.svg", "IEC61850.svg", "Load Project.svg", "Modbus.svg", "New Project.svg", "New.png",
        "Reboot Device.svg", "SelectAll.svg", "Service.svg", "Update project.svg", "add.svg",
        "box-file.svg", "cancel.svg", "change_host.svg", "custom-menu-button.svg",
        "data monitoring.svg", "data-file.svg", "edit-1.svg", "logo-1.png", "logo.png", "look.svg",
        "message.svg", "ok.svg", "project_manage.svg", "read.svg", "restore.svg", "save.svg",
        "saveini.svg", "standard.svg", "write.svg",
    };
    for (const char *name : names) {
        const QString path = QStringLiteral(":/adsdemo/images/") + QLatin1String(name);
        QTest::newRow(name) << path;
    }
}

// True when the image has at least one pixel that is not fully transparent: an SVG the
// renderer cannot parse still gives a non-null, but empty, pixmap.
static bool hasVisiblePixel(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                return true;
        }
    }
    return false;
}

void TstResources::imageLoads()
{
    QFETCH(QString, path);

    QVERIFY2(QFile::exists(path), qPrintable(path));

    const QIcon icon(path);
    QVERIFY(!icon.isNull());
    for (int size : {16, 24}) {
        const QPixmap pixmap = icon.pixmap(size, size);
        QVERIFY2(!pixmap.isNull(), qPrintable(QStringLiteral("%1 at %2 px").arg(path).arg(size)));
        QVERIFY2(hasVisiblePixel(pixmap.toImage()),
                 qPrintable(QStringLiteral("%1 renders blank at %2 px").arg(path).arg(size)));
    }

    const QPixmap full(path);
    QVERIFY(!full.isNull());
    QVERIFY(hasVisiblePixel(full.toImage()));
}

void TstResources::noApplicationStyleSheet()
{
    // The program runs on the default style plus per-widget sheets; it ships no global sheet.
    QVERIFY(!QFile::exists(QStringLiteral(":/adsdemo/app.css")));
}

QTEST_MAIN(TstResources)
#include "tst_resources.moc"
