#include "gui/boxlink/BoxLinkMarks.h"

#include "core/boxlink/BoxSessions.h"

#include <QAbstractItemModel>
#include <QPainter>
#include <QPixmap>

namespace {

QIcon withDot(const QIcon &plain, const QColor &colour)
{
    QIcon marked;
    for (const int side : {16, 24, 32}) {
        QPixmap pixmap = plain.isNull() ? QPixmap(side, side) : plain.pixmap(side, side);
        if (plain.isNull())
            pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const int dot = side / 2;
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(colour);
        painter.drawEllipse(side - dot, side - dot, dot - 1, dot - 1);
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

QColor colourOf(BoxSession::LinkState state)
{
    switch (state) {
    case BoxSession::LinkState::Up:
        return QColor(0x2e, 0xa0, 0x43); // green
    case BoxSession::LinkState::Silent:
        return QColor(0xe0, 0x8e, 0x0b); // amber
    case BoxSession::LinkState::Connecting:
        return QColor(0x9e, 0x9e, 0x9e); // grey
    case BoxSession::LinkState::Off:
        break;
    }
    return QColor();
}

} // namespace

BoxLinkMarks::BoxLinkMarks(BoxSessions *sessions, QAbstractItemModel *model, QObject *parent)
    : QObject(parent)
    , m_sessions(sessions)
    , m_model(model)
{
    connect(sessions, &BoxSessions::sessionChanged, this, &BoxLinkMarks::mark);
}

QString BoxLinkMarks::stateText(const BoxSessions *sessions, const QModelIndex &box)
{
    const BoxSession *session = sessions->find(box);
    if (!session)
        return QString();
    switch (session->linkState()) {
    case BoxSession::LinkState::Up:
        return tr("Connected to %1").arg(session->boxAddress());
    case BoxSession::LinkState::Silent:
        return tr("Connected to %1, but the box has not answered for %2 s")
            .arg(session->boxAddress())
            .arg(Protocol::silenceMs() / 1000);
    case BoxSession::LinkState::Connecting:
        return tr("Not connected: trying %1").arg(session->boxAddress());
    case BoxSession::LinkState::Off:
        break;
    }
    return tr("Not connected");
}

void BoxLinkMarks::mark(const QPersistentModelIndex &box)
{
    if (!box.isValid()) {
        m_plainIcons.remove(box);
        return;
    }
    const QModelIndex index = box;
    if (!m_plainIcons.contains(box))
        m_plainIcons.insert(box, index.data(Qt::DecorationRole).value<QIcon>());
    const BoxSession *session = m_sessions->find(index);
    const BoxSession::LinkState state = session ? session->linkState() : BoxSession::LinkState::Off;
    const QIcon plain = m_plainIcons.value(box);
    const QColor colour = colourOf(state);
    m_model->setData(index, colour.isValid() ? withDot(plain, colour) : plain, Qt::DecorationRole);
    m_model->setData(index, stateText(m_sessions, index), Qt::ToolTipRole);
    if (!session)
        m_plainIcons.remove(box);
}
