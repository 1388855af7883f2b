#pragma once

// Shows on each box item of the project tree the state of its box's session: a coloured dot on
// the item's icon and a tooltip. Never the item's text, which the project file stores.

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPersistentModelIndex>

class BoxSessions;
class QAbstractItemModel;

class BoxLinkMarks : public QObject
{
    Q_OBJECT
public:
    BoxLinkMarks(BoxSessions *sessions, QAbstractItemModel *model, QObject *parent = nullptr);

    // The tooltip a box item shows for its session's state (empty without a session).
    static QString stateText(const BoxSessions *sessions, const QModelIndex &box);

private:
    void mark(const QPersistentModelIndex &box);

    BoxSessions *m_sessions;
    QAbstractItemModel *m_model;
    // Each marked item's own icon, given back when its session ends.
    QHash<QPersistentModelIndex, QIcon> m_plainIcons;
};
