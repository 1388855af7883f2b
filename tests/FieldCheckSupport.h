#pragma once

// What the editors' Save-time field checks are tested with: a copy of an item's whole record,
// to show a refused Save wrote nothing, the warning that names the field, and the
// collection-interval line edit, which has no form label of its own.

#include "core/project/ItemRecord.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QStandardItem>
#include <QVariant>

inline QMap<int, QVariant> recordOf(const QStandardItem *item)
{
    QMap<int, QVariant> record;
    record.insert(Qt::DisplayRole, item->text());
    for (int role = Qt::UserRole; role <= Role::ServerKeyPassword; ++role)
        record.insert(role, item->data(role));
    return record;
}

inline QString fieldWarning(const QString &field)
{
    return QStringLiteral("Warning|The value of \"%1\" is out of range, incomplete or not allowed. Nothing was saved.")
        .arg(field);
}

// What Save says of an address the typing rule let through with a leading zero.
inline QString leadingZeroWarning(const QString &address, const QString &field)
{
    return QStringLiteral("Warning|The IP address \"%1\" in \"%2\" has a part with a leading zero, which some "
                          "devices read as an octal number (010 as 8). Write it without leading zeros.")
        .arg(address, field);
}

// The line edit in the row labelled "Trigger Conditions:".
inline QLineEdit *intervalEdit(QWidget *root)
{
    for (QHBoxLayout *row : root->findChildren<QHBoxLayout *>()) {
        QLineEdit *edit = nullptr;
        bool labelled = false;
        for (int i = 0; i < row->count(); ++i) {
            QWidget *w = row->itemAt(i)->widget();
            if (auto *label = qobject_cast<QLabel *>(w))
                labelled = labelled || label->text() == QLatin1String("Trigger Conditions:");
            if (auto *found = qobject_cast<QLineEdit *>(w))
                edit = found;
        }
        if (labelled && edit)
            return edit;
    }
    return nullptr;
}
