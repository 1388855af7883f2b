#pragma once

// Editor of one standard Modbus device: link parameters for TCP or RTU mode, the polling
// interval, and one tab per slave with its parameters and data-point table. Fills its form
// from the item's record and commits one built from the form on Save; the main window
// connects Save to its name check.

#include "gui/devices/BusScanDialog.h"
#include "gui/devices/DeviceForm.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <memory>

class ModbusPointTables;
struct ModbusDeviceRecord;
struct ModbusSlaveRecord;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QStandardItem;
class QTabWidget;
class QTableWidget;
class QTimer;

class standardModbusEditDialog : public QDialog
{
    Q_OBJECT
public:
    standardModbusEditDialog(QStandardItem *item, QWidget *parent = nullptr);
    ~standardModbusEditDialog() override;

signals:
    // A line for the Message dock; whoever opens the editor decides where it goes.
    void messageAppended(const QString &text);

public:

    // Re-points the dialog at another Modbus item; unsaved tabs are dropped.
    void replaceItem(QStandardItem *item);

    QStandardItem *item() const { return m_item; }
    QLineEdit *nameEdit() const { return m_nameEdit; }
    QPushButton *saveButton() const { return m_saveButton; }
    QTabWidget *tabWidget() const { return m_tabWidget; }
    QPushButton *busScanButton() const { return m_busScanButton; }

    // True when every validated field of the mode in use, and every tab's station number,
    // is empty or acceptable, and the IP has no part with a leading zero; otherwise warns,
    // naming the field, and returns false.
    bool confirmFields();

public slots:
    // Writes nothing, after the warning of confirmFields(), when a field does not pass.
    void saveChanges();
    void onProtocolChanged(QString protocol);
    void deleteTab(int index);
    void addTab();
    // "Bus scan...": a scan window with the form's link as its defaults.
    void openBusScan();
    // "Add as slave tab" of the scan window: a tab with the station found, and the link it
    // answered on written into the form (after asking when other tabs use another link).
    void addFoundSlave(const BusScanDialog::Found &found);

    // Table checks. Without a sending table they act on the current tab's table.
    void validateName(int row, int column);
    void validateNameOnChange(int row, int column, QString newName);
    void validateAddr(int row, int column);
    void validateAddrOnChange(int row, int column, QString text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void fillFromRecord();
    void loadTabs();
    void loadPendingTabs();
    void renumberTabs();
    void removePage(int index);

    QWidget *createTabPage();
    DeviceForm::SerialLineControls serialControls() const;
    // The form as a record; without slaves, the link alone.
    ModbusDeviceRecord recordFromFields(bool withSlaves = true) const;
    // The slave of tab `index`; false when the page lacks one of its named controls.
    bool slaveFromPage(int index, ModbusSlaveRecord *slave) const;
    // The form's device (its link) and the slave of tab `page`, for a window of its own; false,
    // after a warning where there is one, when they cannot be had.
    bool linkAndSlave(QWidget *page, ModbusDeviceRecord *device, ModbusSlaveRecord *slave);
    // Opens the "Test Read" window for the slave tab `page` with the form's current link.
    void openTestRead(QWidget *page);
    // Opens the register discovery window for the slave tab `page`; found points go into it.
    void openDiscovery(QWidget *page);

    QTableWidget *currentTable() const;
    QTableWidget *tableFromSender() const;
    void message(const QString &text);

    QStandardItem *m_item = nullptr;
    int m_nextTab = 1;
    QTimer *m_loadTimer = nullptr;
    std::unique_ptr<ModbusPointTables> m_points;

    QLineEdit *m_nameEdit = nullptr;
    QComboBox *m_protocolCombo = nullptr;
    QComboBox *m_modbusCombo = nullptr;
    QGroupBox *m_networkGroup = nullptr;
    QGroupBox *m_serialGroup = nullptr;
    QLineEdit *m_ipEdit = nullptr;
    QLineEdit *m_portEdit = nullptr;
    QLineEdit *m_connectionTimeoutEdit = nullptr;
    QLineEdit *m_tcpTimeoutEdit = nullptr;
    QLineEdit *m_keepAliveEdit = nullptr;
    QComboBox *m_serialPortCombo = nullptr;
    QComboBox *m_baudRateCombo = nullptr;
    QComboBox *m_dataBitCombo = nullptr;
    QComboBox *m_stopBitCombo = nullptr;
    QComboBox *m_parityCombo = nullptr;
    QCheckBox *m_rtsCheck = nullptr;
    QLineEdit *m_rtuTimeoutEdit = nullptr;
    QLineEdit *m_gapEdit = nullptr;
    QLineEdit *m_intervalEdit = nullptr;
    QTabWidget *m_tabWidget = nullptr;
    QPushButton *m_addTabButton = nullptr;
    QPushButton *m_busScanButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
