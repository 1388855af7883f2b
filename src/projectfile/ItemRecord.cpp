#include "projectfile/ItemRecord.h"

#include <QStandardItem>

void registerItemRecordTypes()
{
    qRegisterMetaType<PointTable>("PointTable");
    qRegisterMetaType<QList<QVariantList>>("QList<QVariantList>");
}

QStandardItem *childWithText(const QStandardItem *parent, const QString &text)
{
    for (int i = 0; parent && i < parent->rowCount(); ++i) {
        QStandardItem *child = parent->child(i);
        if (child && child->text() == text)
            return child;
    }
    return nullptr;
}
