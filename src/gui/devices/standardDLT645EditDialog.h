#pragma once

// Editor of one DLT645 device: the serial line, the polling interval, and one tab per meter
// with its address, protocol edition and the fixed data-item catalogue, from which the user
// selects and names what the box reads. Fills its form from the item's record and commits
// one built from the form on Save; the main window connects Save to its name check.

#include "gui/devices/DeviceForm.h"

#include <QDialog>
#include <QPointer>

struct Dlt645DeviceRecord;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStandardItem;
class QTabWidget;
class QTableWidget;

class standardDLT645EditDialog : public QDialog
{
    Q_OBJECT
public:
    standardDLT645EditDialog(QStandardItem *item, QWidget *parent = nullptr);
    ~standardDLT645EditDialog() override;

signals:
    // A line for the Message dock; whoever opens the editor decides where it goes.
    void messageAppended(const QString &text);

public:

    // Re-points the dialog at another DLT645 item; unsaved tabs are dropped without asking.
    void replaceItem(QStandardItem *item);

    QStandardItem *item() const { return m_item; }
    QLineEdit *nameEdit() const { return m_nameEdit; }
    QPushButton *saveButton() const { return m_saveButton; }
    QTabWidget *tabWidget() const { return m_tabWidget; }

    // True when the time-out, gap, interval and every meter address are empty or acceptable;
    // otherwise warns, naming the field, and returns false.
    bool confirmFields();

public slots:
    // Writes nothing, after the warning of confirmFields(), when a field does not pass.
    void saveChanges();
    void validateName(int row, int column);
    void toggleSelectAll(int logicalIndex);
    void deleteTab(int index);
    void updateParameterTable(int index);
    void addTab();

private:
    void buildForm();
    void fillFromRecord();
    void loadTabs();
    DeviceForm::SerialLineControls serialControls() const;
    Dlt645DeviceRecord recordFromFields() const;
    void renumberTabs();
    void removePage(int index);
    void openTestRead(QWidget *page);

    QWidget *createTabPage();
    void fillTable(QTableWidget *table, const QString &edition);
    QWidget *pageOf(QObject *child) const;
    QTableWidget *currentTable() const;
    void message(const QString &text);

    QStandardItem *m_item = nullptr;
    int m_nextTab = 1;
    bool m_checkingName = false; // emptying a duplicate must not run the check again

    QLineEdit *m_nameEdit = nullptr;
    QComboBox *m_protocolCombo = nullptr;
    QComboBox *m_serialPortCombo = nullptr;
    QComboBox *m_baudRateCombo = nullptr;
    QComboBox *m_dataBitCombo = nullptr;
    QComboBox *m_stopBitCombo = nullptr;
    QComboBox *m_parityCombo = nullptr;
    QCheckBox *m_rtsCheck = nullptr;
    QLineEdit *m_timeoutEdit = nullptr;
    QLineEdit *m_gapEdit = nullptr;
    QLineEdit *m_intervalEdit = nullptr;
    QTabWidget *m_tabWidget = nullptr;
    QPushButton *m_addTabButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
