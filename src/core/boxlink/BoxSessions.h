#pragma once

// The box sessions the engineer has opened: one per box item of the project tree, whichever
// box an editor shows. A session lives until it is ended (Disconnect, the editor of its box
// closed) or its box item leaves the tree (the box deleted, its project closed). Everything the
// sessions report reaches the window here, reports stamped with the box they came from.

#include "core/boxlink/BoxSession.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QVector>

class QAbstractItemModel;

class BoxSessions : public QObject
{
    Q_OBJECT
public:
    // `model` holds the box items (their display text is the box's name).
    explicit BoxSessions(QAbstractItemModel *model, QObject *parent = nullptr);
    ~BoxSessions() override;

    BoxSession *find(const QModelIndex &box) const;
    // The box's session, made (without a link) when it has none.
    BoxSession *open(const QModelIndex &box);
    // Ends the box's session at once: its link goes down, a running transfer ends unreported.
    void end(const QModelIndex &box);
    void endAll();
    QModelIndex boxOf(const BoxSession *session) const;
    QList<BoxSession *> sessions() const;
    bool anyTransferRunning() const;

signals:
    // A live report, with its box's name and address filled in.
    void dataReceived(const Protocol::dataMonitoringData &data);
    void messageAppended(const QString &text);
    void linkStateChanged(const QString &boxIp, bool up);
    // The box's session was made, changed its state, or ended.
    void sessionChanged(const QPersistentModelIndex &box);
    // Just before the session is deleted.
    void sessionEnding(BoxSession *session);

private:
    struct Entry
    {
        QPersistentModelIndex box;
        BoxSession *session = nullptr;
    };
    int indexOf(const QModelIndex &box) const;
    void endAt(int entry);
    // Ends the sessions whose box item is gone.
    void sweep();

    QAbstractItemModel *m_model;
    QVector<Entry> m_entries;
};
