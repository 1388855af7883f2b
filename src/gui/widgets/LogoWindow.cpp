#include "gui/widgets/LogoWindow.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

LogoWindow::LogoWindow(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("About"));
    setStyleSheet(QStringLiteral("background-color: white;"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(this);
    label->setPixmap(QPixmap(QStringLiteral(":/adsdemo/images/logo.png")));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    auto *version = new QLabel(tr("Version %1").arg(QStringLiteral(ORVANE_VERSION)), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
}
