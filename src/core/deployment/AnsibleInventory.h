#pragma once

// Boxes as an Ansible inventory group (INI): one host per box with its address in box_ip, for
// rollouts run by Ansible with the orvane_deploy module. Reading inventories stays with Ansible.

#include <QList>
#include <QString>

namespace AnsibleInventory {

struct Host
{
    QString name; // the box's name in the project
    QString ip;
};

// A group or host name Ansible takes: letters, digits and "_" ("-" and "." too for hosts);
// anything else becomes "_", and a name that would start with a digit gets a "box_"/"group_"
// prefix for a group.
QString groupName(const QString &text);
QString hostName(const QString &text);

// The INI text of one group; host names stay unique (a "_2", "_3" suffix when two boxes
// would share one).
QString ini(const QString &group, const QList<Host> &hosts);

} // namespace AnsibleInventory
