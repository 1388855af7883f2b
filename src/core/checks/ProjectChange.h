#pragma once

// One difference between the project document a box last received and the one about to go.

#include <QList>
#include <QString>

struct ProjectChange
{
    enum Kind { Added, Removed, Changed };

    Kind kind = Changed;
    // Where, already translated: "device 'Pump' / slave 1 / point 'flow'".
    QString place;
    // The changed key ("name", "port", ...); empty for an added or removed element.
    QString field;
    // The field as the editor that sets it labels it, translated ("Name", "Station Num");
    // empty for an added or removed element.
    QString label;
    // For a removed point its address and type in words, for an added one likewise.
    QString oldValue;
    QString newValue;
};

using ProjectChanges = QList<ProjectChange>;
