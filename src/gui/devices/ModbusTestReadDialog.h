#pragma once

// "Test Read" window of one Modbus slave tab: reads the tab's points from the device with
// the editor's current link settings, once or at the collection interval, and writes a single
// "rw" point after a confirmation. Its own window, so the editor stays usable meanwhile;
// closing it closes the connection. A "Traffic" tab beside the points shows the frames and
// counters of the window's own connection.

#include "core/modbus/ModbusLinkSettings.h"
#include "core/modbus/ModbusReader.h"
#include "core/modbus/ModbusSlave.h"

#include <QDialog>
#include <QTimer>

struct ModbusDeviceRecord;
struct ModbusSlaveRecord;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class ModbusTraffic;
class TrafficPane;

class ModbusTestReadDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column { ColName, ColAddress, ColType, ColRegisters, ColValue, ColStatus, ColumnCount };
    // The untranslated status text of a row is kept in this role of its status cell.
    static constexpr int StatusRole = Qt::UserRole + 1;

    ModbusTestReadDialog(const QString &deviceName, const ModbusLinkSettings &link,
                         const ModbusSlave &slave, QWidget *parent = nullptr);
    // For one slave of a device as its record describes it (the link of the record's mode).
    ModbusTestReadDialog(const ModbusDeviceRecord &device, const ModbusSlaveRecord &slave,
                         QWidget *parent = nullptr);
    ~ModbusTestReadDialog() override;

    QTableWidget *table() const { return m_table; }
    QPushButton *readButton() const { return m_readButton; }
    QPushButton *repeatButton() const { return m_repeatButton; }
    QPushButton *writeButton() const { return m_writeButton; }
    QLineEdit *writeValueEdit() const { return m_valueEdit; }
    QComboBox *serialDeviceCombo() const { return m_serialCombo; }
    QTabWidget *tabs() const { return m_tabs; }
    TrafficPane *trafficPane() const { return m_trafficPane; }
    bool isBusy() const { return m_reader && m_reader->isBusy(); }
    // Completed reads since the window opened.
    int readCount() const { return m_readCount; }

public slots:
    void readOnce();
    void setRepeat(bool on);
    void writeSelected();

private:
    bool prepareReader();
    void showResults(const QVector<ModbusReader::SlaveResults> &results);
    void writeDone(const QString &status);
    void updateWriteButton();
    QString statusText(const QString &status) const;
    // The status of a point, with what happened to the link and where when it is about that.
    QString linkText(const ModbusReader::PointResult &result) const;

    QString m_deviceName;
    ModbusLinkSettings m_link;
    ModbusSlave m_slave;
    ModbusReader *m_reader = nullptr;
    QTimer m_repeatTimer;
    int m_readCount = 0;
    QString m_pendingWrite;

    QComboBox *m_serialCombo = nullptr;
    ModbusTraffic *m_traffic = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_table = nullptr;
    TrafficPane *m_trafficPane = nullptr;
    QPushButton *m_readButton = nullptr;
    QPushButton *m_repeatButton = nullptr;
    QLineEdit *m_valueEdit = nullptr;
    QPushButton *m_writeButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QLabel *m_stateLabel = nullptr;
};
