#include "core/project/ItemRecord.h"

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

QVector<QStandardItem *> itemsInFolders(const QStandardItem *project, const QString &folderText)
{
    QVector<QStandardItem *> items;
    for (int i = 0; project && i < project->rowCount(); ++i) {
        const QStandardItem *folder = project->child(i);
        if (!folder || folder->text() != folderText)
            continue;
        for (int j = 0; j < folder->rowCount(); ++j)
            if (QStandardItem *item = folder->child(j))
                items.append(item);
    }
    return items;
}
