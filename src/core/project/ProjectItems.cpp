#include "core/project/ProjectItems.h"

#include "core/project/ItemRecord.h"

#include <QCoreApplication>
#include <QHash>
#include <QStandardItem>

namespace {
const QString kModbus = QStringLiteral("Modbus");
const QString kDlt645 = QStringLiteral("DLT645");
const QString kIec61850 = QStringLiteral("IEC61850");

QIcon resourceIcon(const QString &fileName)
{
    return QIcon(QStringLiteral(":/adsdemo/images/") + fileName);
}
} // namespace

namespace ProjectItems {

QIcon icon(const char *fileName)
{
    static QHash<const char *, QIcon> *cache = [] {
        auto *icons = new QHash<const char *, QIcon>;
        // Icons are GUI objects: release them with the application, not after it.
        qAddPostRoutine([] { icon(nullptr); });
        return icons;
    }();
    if (!fileName) {
        delete cache;
        cache = nullptr;
        return QIcon();
    }
    if (!cache)
        return resourceIcon(QLatin1String(fileName));
    auto it = cache->constFind(fileName);
    if (it == cache->constEnd())
        it = cache->insert(fileName, resourceIcon(QLatin1String(fileName)));
    return it.value();
}

QIcon folderIcon(const QString &folderText)
{
    if (folderText == Folder::Standard)
        return icon("standard.svg");
    if (folderText == Folder::Service)
        return icon("Service.svg");
    if (folderText == Folder::Box)
        return icon("Box.svg");
    return icon("Data.svg");
}

QIcon protocolIcon(const QString &protocol)
{
    if (protocol == kDlt645)
        return icon("DLT645.svg");
    if (protocol == kModbus)
        return icon("Modbus.svg");
    if (protocol == kIec61850)
        return icon("IEC61850.svg");
    return QIcon();
}

QStandardItem *newItem(const QIcon &icon, const QString &text)
{
    return new QStandardItem(icon, text);
}

QStandardItem *newProject(const QIcon &icon, const QString &name, const QString &path,
                          const QString &description)
{
    QStandardItem *item = newItem(icon, name);
    item->setData(path, Role::ProjectPath);
    item->setData(description, Role::ProjectDescription);
    return item;
}

QStandardItem *newFolder(const QIcon &icon, const QString &folderText)
{
    return newItem(icon, folderText);
}

QStandardItem *newDevice(const QIcon &icon, const QString &name, const QString &protocol)
{
    QStandardItem *item = newItem(icon, name);
    item->setData(protocol, Role::Protocol);
    return item;
}

QStandardItem *newService(const QIcon &icon, const QString &name, const QString &protocol)
{
    QStandardItem *item = newItem(icon, name);
    item->setData(protocol, Role::ServiceProtocol);
    return item;
}

QStandardItem *newBox(const QIcon &icon, const QString &name, const QString &ip, const QString &model)
{
    QStandardItem *item = newItem(icon, name);
    item->setData(ip, Role::BoxIp);
    item->setData(model, Role::BoxModel);
    return item;
}

QStandardItem *newDataItem(const QIcon &icon, const QString &deviceName, const QVariant &rows,
                           const QVariant &display)
{
    QStandardItem *item = newItem(icon, deviceName);
    item->setData(rows, Role::DataRows);
    item->setData(display, Role::DataDisplay);
    return item;
}

} // namespace ProjectItems
