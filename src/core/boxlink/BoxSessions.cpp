#include "core/boxlink/BoxSessions.h"

#include <QAbstractItemModel>

BoxSessions::BoxSessions(QAbstractItemModel *model, QObject *parent)
    : QObject(parent)
    , m_model(model)
{
    connect(model, &QAbstractItemModel::rowsRemoved, this, &BoxSessions::sweep);
    connect(model, &QAbstractItemModel::modelReset, this, &BoxSessions::sweep);
    // A renamed box is named so in its next Message lines.
    connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
        for (const Entry &entry : qAsConst(m_entries)) {
            const QModelIndex box = entry.box;
            if (box.parent() == topLeft.parent() && box.row() >= topLeft.row() && box.row() <= bottomRight.row())
                entry.session->setBoxName(box.data().toString());
        }
    });
}

BoxSessions::~BoxSessions()
{
    // The sessions are children; each one ends quietly with it.
    for (const Entry &entry : qAsConst(m_entries))
        QObject::disconnect(entry.session, nullptr, this, nullptr);
}

int BoxSessions::indexOf(const QModelIndex &box) const
{
    if (!box.isValid())
        return -1;
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries.at(i).box == box)
            return i;
    return -1;
}

BoxSession *BoxSessions::find(const QModelIndex &box) const
{
    const int at = indexOf(box);
    return at >= 0 ? m_entries.at(at).session : nullptr;
}

BoxSession *BoxSessions::open(const QModelIndex &box)
{
    if (BoxSession *session = find(box))
        return session;
    if (!box.isValid() || box.model() != m_model)
        return nullptr;
    auto *session = new BoxSession(this);
    session->setBoxName(box.data().toString());
    const QPersistentModelIndex key(box);
    m_entries.append({key, session});
    connect(session, &BoxSession::dataReceived, this, [this, session](Protocol::dataMonitoringData data) {
        data.boxName = session->boxName();
        data.boxIp = session->boxAddress();
        emit dataReceived(data);
    });
    connect(session, &BoxSession::messageAppended, this, &BoxSessions::messageAppended);
    connect(session, &BoxSession::linkStateChanged, this, &BoxSessions::linkStateChanged);
    connect(session, &BoxSession::stateChanged, this, [this, key] { emit sessionChanged(key); });
    emit sessionChanged(key);
    return session;
}

void BoxSessions::end(const QModelIndex &box)
{
    const int at = indexOf(box);
    if (at >= 0)
        endAt(at);
}

void BoxSessions::endAt(int entry)
{
    const Entry ended = m_entries.takeAt(entry);
    emit sessionEnding(ended.session);
    // Its link is reported down (the monitoring marks the box's rows stale), then it goes quiet.
    ended.session->shutDown();
    QObject::disconnect(ended.session, nullptr, this, nullptr);
    ended.session->deleteLater();
    emit sessionChanged(ended.box);
}

void BoxSessions::endAll()
{
    while (!m_entries.isEmpty())
        endAt(m_entries.size() - 1);
}

void BoxSessions::sweep()
{
    for (int i = m_entries.size() - 1; i >= 0; --i)
        if (!m_entries.at(i).box.isValid())
            endAt(i);
}

QModelIndex BoxSessions::boxOf(const BoxSession *session) const
{
    for (const Entry &entry : m_entries)
        if (entry.session == session)
            return entry.box;
    return {};
}

QList<BoxSession *> BoxSessions::sessions() const
{
    QList<BoxSession *> all;
    for (const Entry &entry : m_entries)
        all.append(entry.session);
    return all;
}

bool BoxSessions::anyTransferRunning() const
{
    for (const Entry &entry : m_entries)
        if (entry.session->transferRunning())
            return true;
    return false;
}
