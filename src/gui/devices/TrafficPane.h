#pragma once

// "Traffic" pane: the frames of a ModbusTraffic log in a table (time, direction, unit, bytes in
// hex, round trip, marks) and its counters per device, with Reset and "Save as text". New
// frames reach the table in batches on a short timer, so a thousand frames a second leave the
// window responsive; the table keeps the same newest frames as the log. The table follows the
// newest frame while it is scrolled to the end, and otherwise stays on the frames shown.

#include "core/modbus/ModbusTraffic.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>

class QPushButton;
class QTableView;
class QTableWidget;

class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColTime, ColDirection, ColUnit, ColBytes, ColRoundTrip, ColMark, ColumnCount };

    explicit TrafficModel(ModbusTraffic *traffic, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const ModbusTraffic::Entry &entry(int row) const { return m_entries.at(size_t(row)); }
    // Takes what the log gained since the last call; true when rows changed. `dropped`: how
    // many of the oldest rows went.
    bool sync(int *dropped = nullptr);

    static QString markText(const ModbusTraffic::Entry &entry);

private:
    QPointer<ModbusTraffic> m_traffic;
    std::deque<ModbusTraffic::Entry> m_entries;
    quint64 m_next = 0;
};

class TrafficPane : public QWidget
{
    Q_OBJECT
public:
    enum CounterColumn {
        CountDevice, CountRequests, CountGood, CountTimeouts, CountExceptions, CountCrc, CountWrong,
        CountConnection, CountMin, CountMean, CountMax, CounterColumnCount
    };
    // How long new frames wait before they are shown together.
    static constexpr int BatchMs = 50;

    explicit TrafficPane(ModbusTraffic *traffic, QWidget *parent = nullptr);

    ModbusTraffic *traffic() const { return m_traffic; }
    TrafficModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    QTableWidget *countersTable() const { return m_counters; }
    QPushButton *resetButton() const { return m_resetButton; }
    QPushButton *saveButton() const { return m_saveButton; }

public slots:
    // Shows what came since the last batch now.
    void refresh();
    // Asks for a file and writes the log as text; saveTo() without asking.
    void saveAsText();
    bool saveTo(const QString &path, QString *error);

private:
    void showCounters();

    QPointer<ModbusTraffic> m_traffic;
    TrafficModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QTableWidget *m_counters = nullptr;
    QPushButton *m_resetButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QTimer m_batchTimer;
};
