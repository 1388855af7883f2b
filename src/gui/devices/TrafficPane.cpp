#include "gui/devices/TrafficPane.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

TrafficModel::TrafficModel(ModbusTraffic *traffic, QObject *parent)
    : QAbstractTableModel(parent), m_traffic(traffic)
{
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString TrafficModel::markText(const ModbusTraffic::Entry &entry)
{
    using Mark = ModbusTraffic::Mark;
    switch (entry.mark) {
    case Mark::None: break;
    case Mark::Timeout: return tr("timeout");
    case Mark::CrcError: return tr("CRC error");
    case Mark::Exception: return tr("exception %1").arg(entry.exceptionCode);
    case Mark::WrongReply: return tr("wrong reply");
    case Mark::ConnectionError: return tr("connection error");
    case Mark::Unexpected: return tr("not awaited");
    }
    return QString();
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const ModbusTraffic::Entry &e = entry(index.row());
    if (role == Qt::ToolTipRole && index.column() == ColMark)
        return e.reason.isEmpty() ? QVariant() : QVariant(e.reason);
    if (role == Qt::ForegroundRole)
        return e.mark == ModbusTraffic::Mark::None ? QVariant() : QVariant(QBrush(Qt::red));
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case ColTime:
        return QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case ColDirection:
        switch (e.direction) {
        case ModbusTraffic::Direction::Sent: return tr("TX");
        case ModbusTraffic::Direction::Received: return tr("RX");
        case ModbusTraffic::Direction::None: return QStringLiteral("--");
        }
        return QVariant();
    case ColUnit: return e.unit >= 0 ? QVariant(e.unit) : QVariant();
    case ColBytes: return QString::fromLatin1(e.bytes.toHex(' ').toUpper());
    case ColRoundTrip:
        return e.roundTripMs >= 0 ? QVariant(tr("%1 ms").arg(e.roundTripMs, 0, 'f', 1)) : QVariant();
    case ColMark: return markText(e);
    }
    return QVariant();
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColTime: return tr("Time");
    case ColDirection: return tr("Direction");
    case ColUnit: return tr("Unit");
    case ColBytes: return tr("Bytes (hex)");
    case ColRoundTrip: return tr("Round trip");
    case ColMark: return tr("Error");
    }
    return QVariant();
}

bool TrafficModel::sync(int *dropped)
{
    if (dropped)
        *dropped = 0;
    if (!m_traffic || m_traffic->nextSequence() == m_next)
        return false;
    QVector<ModbusTraffic::Entry> added = m_traffic->entriesFrom(m_next);
    m_next = m_traffic->nextSequence();
    const int capacity = m_traffic->capacity();
    if (added.size() > capacity)
        added.remove(0, added.size() - capacity);
    // The oldest rows go first, in one step, so the table never holds more than the log.
    const int excess = int(m_entries.size()) + added.size() - capacity;
    if (excess > 0) {
        const int drop = qMin(excess, int(m_entries.size()));
        beginRemoveRows(QModelIndex(), 0, drop - 1);
        m_entries.erase(m_entries.begin(), m_entries.begin() + drop);
        endRemoveRows();
        if (dropped)
            *dropped = drop;
    }
    if (!added.isEmpty()) {
        const int first = int(m_entries.size());
        beginInsertRows(QModelIndex(), first, first + added.size() - 1);
        for (ModbusTraffic::Entry &entry : added)
            m_entries.push_back(std::move(entry));
        endInsertRows();
    }
    return true;
}

TrafficPane::TrafficPane(ModbusTraffic *traffic, QWidget *parent)
    : QWidget(parent), m_traffic(traffic), m_model(new TrafficModel(traffic, this))
{
    setObjectName(QStringLiteral("trafficPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *splitter = new QSplitter(Qt::Vertical);

    m_view = new QTableView;
    m_view->setObjectName(QStringLiteral("trafficView"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // Fixed row heights and column widths: nothing is measured per row as frames stream in.
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    // Wide enough for the header and the usual content (a 12-byte frame in hex).
    const int digit = m_view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[] = {13, 4, 4, 36, 9};
    for (int column = 0; column < TrafficModel::ColMark; ++column)
        m_view->setColumnWidth(column, qMax(widths[column] * digit + 8,
                                            m_view->horizontalHeader()->sectionSizeHint(column)));
    m_view->horizontalHeader()->setStretchLastSection(true);
    splitter->addWidget(m_view);

    m_counters = new QTableWidget(0, CounterColumnCount);
    m_counters->setObjectName(QStringLiteral("trafficCounters"));
    m_counters->setHorizontalHeaderLabels({tr("Device"), tr("Requests"), tr("Good replies"), tr("Timeouts"),
                                           tr("Exceptions"), tr("CRC/framing errors"), tr("Wrong replies"),
                                           tr("Connection errors"), tr("Min (ms)"), tr("Mean (ms)"),
                                           tr("Max (ms)")});
    m_counters->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_counters->verticalHeader()->hide();
    m_counters->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    splitter->addWidget(m_counters);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter);

    auto *buttons = new QHBoxLayout;
    m_resetButton = new QPushButton(tr("Reset"));
    m_resetButton->setObjectName(QStringLiteral("resetCountersButton"));
    m_resetButton->setToolTip(tr("Start the counters afresh; the frames stay."));
    m_saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/save.svg")), tr("Save as text"));
    m_saveButton->setObjectName(QStringLiteral("saveTrafficButton"));
    buttons->addWidget(m_resetButton);
    buttons->addStretch();
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    m_batchTimer.setSingleShot(true);
    m_batchTimer.setInterval(BatchMs);
    connect(&m_batchTimer, &QTimer::timeout, this, &TrafficPane::refresh);
    if (m_traffic) {
        connect(m_traffic, &ModbusTraffic::changed, this, [this] {
            if (!m_batchTimer.isActive())
                m_batchTimer.start();
        });
    }
    connect(m_resetButton, &QPushButton::clicked, this, [this] {
        if (m_traffic)
            m_traffic->reset();
        refresh();
    });
    connect(m_saveButton, &QPushButton::clicked, this, &TrafficPane::saveAsText);
    refresh();
}

void TrafficPane::refresh()
{
    m_batchTimer.stop();
    QScrollBar *bar = m_view->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    const int top = bar->value();
    int dropped = 0;
    if (m_model->sync(&dropped)) {
        if (atEnd)
            m_view->scrollToBottom();
        else
            bar->setValue(qMax(0, top - dropped)); // one step per row
    }
    showCounters();
}

void TrafficPane::showCounters()
{
    if (!m_traffic)
        return;
    const QMap<int, ModbusTraffic::Counters> &perUnit = m_traffic->counters();
    m_counters->setRowCount(perUnit.size() + 1);
    const auto show = [this](int row, const QString &device, const ModbusTraffic::Counters &c) {
        const bool timed = c.timedReplies > 0;
        const auto ms = [timed](double value) { return timed ? QString::number(value, 'f', 1) : QString(); };
        const QStringList texts{device,
                                QString::number(c.requests),
                                QString::number(c.goodReplies),
                                QString::number(c.timeouts),
                                QString::number(c.exceptions),
                                QString::number(c.crcErrors),
                                QString::number(c.wrongReplies),
                                QString::number(c.connectionErrors),
                                ms(c.minRoundTripMs),
                                ms(c.meanRoundTripMs()),
                                ms(c.maxRoundTripMs)};
        for (int column = 0; column < CounterColumnCount; ++column) {
            QTableWidgetItem *item = m_counters->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_counters->setItem(row, column, item);
            }
            if (item->text() != texts.at(column))
                item->setText(texts.at(column));
        }
    };
    int row = 0;
    for (auto it = perUnit.cbegin(); it != perUnit.cend(); ++it)
        show(row++, it.key() >= 0 ? tr("Unit %1").arg(it.key()) : QStringLiteral("--"), it.value());
    show(row, tr("All"), m_traffic->total());
}

void TrafficPane::saveAsText()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save traffic as text"), QString(),
                                                      tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveTo(path, &error))
        QMessageBox::warning(this, tr("Save as text"), tr("Could not write %1: %2").arg(path, error));
}

bool TrafficPane::saveTo(const QString &path, QString *error)
{
    if (!m_traffic) {
        if (error)
            *error = tr("No traffic to save.");
        return false;
    }
    return m_traffic->saveText(path, error);
}
