// Build-time helper: scales the square application logo into the hicolor theme layout,
// OUTDIR/<size>x<size>/apps/NAME.png for every size given.

#include <QDir>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s LOGO OUTDIR NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QImage logo(QString::fromLocal8Bit(argv[1]));
    if (logo.isNull() || logo.width() != logo.height()) {
        std::fprintf(stderr, "%s: not a square image\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (size <= 0 || !QDir().mkpath(dir)
            || !logo.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
