#pragma once

// "Discover registers" window of one Modbus slave: finds which registers (or bits) of a table
// answer, over a range the user gives, shows each readable register's value in the types and
// orders a point could have, and adds the selected ones as points to the slave tab it was
// opened for. Its own window with its own connection, so the editor stays usable; a "Traffic"
// tab beside the results shows that connection's frames. The search is RegisterDiscovery's,
// the rows DiscoveredPoints'.

#include "core/modbus/DiscoveredPoints.h"
#include "core/modbus/ModbusLinkSettings.h"
#include "core/modbus/RegisterDiscovery.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <functional>

class ModbusClient;
class ModbusTraffic;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class TrafficPane;

// The readable registers of a result, one per row: the address and its value read as each
// type and order (a bit table: the bit alone).
class DiscoveredRegisterModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DiscoveredRegisterModel(QObject *parent = nullptr);

    void setResult(const RegisterDiscovery::Result &result);
    int address(int row) const { return m_addresses.at(row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool m_bits = false;
    QMap<int, quint16> m_values;
    QVector<int> m_addresses;
};

class RegisterDiscoveryDialog : public QDialog
{
    Q_OBJECT
public:
    // The slave tab "Add as points" writes into. tab() is false once the tab is gone.
    struct Target {
        std::function<bool(DiscoveredPoints::Tab *tab, ModbusValueCodec::ByteOrder *order)> tab;
        std::function<void(const QList<QStringList> &rows)> append;
        std::function<void(ModbusValueCodec::ByteOrder order)> setOrder;
    };

    // unit: the tab's station number; outside 1..247 nothing can be asked.
    RegisterDiscoveryDialog(const QString &deviceName, const ModbusLinkSettings &link, int unit,
                            const Target &target, QWidget *parent = nullptr);
    ~RegisterDiscoveryDialog() override;

    QComboBox *tableCombo() const { return m_tableCombo; }
    QSpinBox *fromSpin() const { return m_fromSpin; }
    QSpinBox *toSpin() const { return m_toSpin; }
    QPushButton *startButton() const { return m_startButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QProgressBar *progressBar() const { return m_progress; }
    QTableView *resultsView() const { return m_view; }
    DiscoveredRegisterModel *model() const { return m_model; }
    QLabel *rangesLabel() const { return m_rangesLabel; }
    QLabel *requestsLabel() const { return m_requestsLabel; }
    QLabel *noticeLabel() const { return m_noticeLabel; }
    QComboBox *typeCombo() const { return m_typeCombo; }
    QComboBox *orderCombo() const { return m_orderCombo; }
    QPushButton *addButton() const { return m_addButton; }
    QLabel *stateLabel() const { return m_stateLabel; }
    QTabWidget *tabs() const { return m_tabs; }
    TrafficPane *trafficPane() const { return m_trafficPane; }
    bool isRunning() const;
    // The last run's result (a fresh Result before the first run ends).
    const RegisterDiscovery::Result &result() const { return m_result; }

    // "0–99, 1000–1049".
    static QString rangesText(const QVector<RegisterDiscovery::Range> &ranges);

public slots:
    void start();
    void cancel();
    void addSelectedAsPoints();

signals:
    // A run ended (completed, cancelled, or cut short) and its result is shown.
    void discoveryEnded(const RegisterDiscovery::Result &result);

private:
    void showResult(const RegisterDiscovery::Result &result);
    void setRunning(bool running);
    void offerTypes(ModbusPoint::Table table);

    ModbusLinkSettings m_link;
    int m_unit;
    Target m_target;
    ModbusClient *m_client = nullptr;
    RegisterDiscovery *m_discovery = nullptr;
    ModbusTraffic *m_traffic = nullptr;
    RegisterDiscovery::Result m_result;
    bool m_haveResult = false;

    QComboBox *m_serialCombo = nullptr;
    QComboBox *m_tableCombo = nullptr;
    QSpinBox *m_fromSpin = nullptr;
    QSpinBox *m_toSpin = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableView *m_view = nullptr;
    DiscoveredRegisterModel *m_model = nullptr;
    TrafficPane *m_trafficPane = nullptr;
    QLabel *m_rangesLabel = nullptr;
    QLabel *m_requestsLabel = nullptr;
    QLabel *m_noticeLabel = nullptr;
    QComboBox *m_typeCombo = nullptr;
    QComboBox *m_orderCombo = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QLabel *m_stateLabel = nullptr;
};
