#include "gui/checks/FindingOpener.h"

#include <QApplication>
#include <QWidget>

QWidget *FindingOpener::hostOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget())
        if (dynamic_cast<FindingOpener *>(w))
            return w;
    const QList<QWidget *> tops = QApplication::topLevelWidgets();
    for (QWidget *w : tops)
        if (dynamic_cast<FindingOpener *>(w))
            return w;
    return nullptr;
}

FindingOpener *FindingOpener::of(QWidget *widget)
{
    return dynamic_cast<FindingOpener *>(hostOf(widget));
}
