#pragma once

// "Test Read" window of one meter tab: reads the tab's selected items through a serial device
// of this computer with the editor's current line settings, once or at the collection interval,
// and reads the meter's address (2007 edition, the meter alone on the line), offering it for
// the tab's "Slave Address:". Its own window, so the editor stays usable; closing it mid-request
// closes the line and drops the answer.

#include "core/dlt645/Dlt645Meter.h"

#include <QDialog>
#include <QTimer>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class MeterTestReadDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column { ColName, ColDataItem, ColValue, ColUnit, ColStatus, ColRoundTrip, ColumnCount };

    MeterTestReadDialog(const QString &deviceName, const Dlt645Line &line, const Dlt645Meter &meter,
                        QWidget *parent = nullptr);
    ~MeterTestReadDialog() override;

    QTableWidget *table() const { return m_table; }
    QPushButton *readButton() const { return m_readButton; }
    QPushButton *repeatButton() const { return m_repeatButton; }
    QPushButton *addressButton() const { return m_addressButton; }
    QComboBox *serialDeviceCombo() const { return m_serialCombo; }
    QLabel *stateLabel() const { return m_stateLabel; }
    bool isBusy() const { return m_reader && m_reader->isBusy(); }
    int readCount() const { return m_readCount; }

signals:
    // The user took the address the meter answered with for the tab.
    void addressChosen(const QString &address);

public slots:
    void readOnce();
    void setRepeat(bool on);
    void readAddress();

private:
    bool prepareReader();
    void showItem(int index, const Dlt645Reader::Result &result);
    void roundDone();
    void addressDone(const Dlt645Reader::Result &result);

    QString m_deviceName;
    Dlt645Line m_line;
    Dlt645Meter m_meter;
    Dlt645Reader *m_reader = nullptr;
    QString m_openDevice;
    QTimer m_repeatTimer;
    int m_readCount = 0;
    int m_failed = 0;

    QComboBox *m_serialCombo = nullptr;
    QTableWidget *m_table = nullptr;
    QPushButton *m_readButton = nullptr;
    QPushButton *m_repeatButton = nullptr;
    QPushButton *m_addressButton = nullptr;
    QLabel *m_stateLabel = nullptr;
};
