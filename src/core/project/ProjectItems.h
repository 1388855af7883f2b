#pragma once

// The one place that makes tree items. Every item of the project tree (a project, its four
// folders, a device, a service, a box, a data item) is created here, filled before it enters
// a model, so that a new kind of item or a new role is added once. The caller gives the icon:
// the same folder may carry another one depending on who made it.

#include <QIcon>
#include <QString>
#include <QVariant>

class QStandardItem;

namespace ProjectItems {

// A shared icon of the application's image resources by file name ("Modbus.svg"). Parsing an
// SVG costs more than loading a device's whole point table: one icon per name per run.
QIcon icon(const char *fileName);
// The icon a folder of this text gets in a project made or loaded by the tool.
QIcon folderIcon(const QString &folderText);
// The icon of a device or service item of this protocol (a null icon for one the tool lacks).
QIcon protocolIcon(const QString &protocol);

// An item of this text and icon, no roles yet: for readers that fill the roles themselves.
QStandardItem *newItem(const QIcon &icon, const QString &text);
QStandardItem *newProject(const QIcon &icon, const QString &name, const QString &path,
                          const QString &description);
QStandardItem *newFolder(const QIcon &icon, const QString &folderText);
// A device under Standard (`protocol` in the Protocol role) or a service under Service.
QStandardItem *newDevice(const QIcon &icon, const QString &name, const QString &protocol);
QStandardItem *newService(const QIcon &icon, const QString &name, const QString &protocol);
QStandardItem *newBox(const QIcon &icon, const QString &name, const QString &ip, const QString &model);
// A device's entry under Data: its latest rows and how they are shown.
QStandardItem *newDataItem(const QIcon &icon, const QString &deviceName, const QVariant &rows,
                           const QVariant &display);

} // namespace ProjectItems
