#include "projectfile/ItemRecord.h"

void registerItemRecordTypes()
{
    qRegisterMetaType<PointTable>("PointTable");
    qRegisterMetaType<QList<QVariantList>>("QList<QVariantList>");
}
