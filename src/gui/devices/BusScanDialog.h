#pragma once

// "Bus scan" window: which slave ids answer on a serial line (over the line settings ticked)
// or behind a TCP address, with progress, Cancel, the ids found in a table and the scan's
// frames in a "Traffic" tab. The scan itself is ModbusBusScan; this window only gathers its
// options and shows what it reports. "Add as slave tab" hands the chosen row to whoever opened
// the window (the device editor, or the Standard folder for a new device).

#include "core/modbus/ModbusBusScan.h"
#include "core/templates/ModelProbe.h"

#include <QDialog>
#include <QMap>

struct ModbusDeviceRecord;
class ModbusTraffic;
class TrafficPane;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;

class BusScanDialog : public QDialog
{
    Q_OBJECT
public:
    enum Column { ColId, ColBaud, ColParity, ColStopBits, ColReply, ColRoundTrip, ColModel, ColumnCount };

    // What the window starts with: the mode and link of the device it was opened for.
    struct Defaults {
        bool tcp = false;
        QString serialDevice;
        ModbusBusScan::LineSetting setting; // ticked beside the common settings
        QString host;
        int port = 502;
    };
    // A device found, with the link it answered on.
    struct Found {
        ModbusBusScan::Row row;
        bool tcp = false;
        QString host;
        int port = 502;
        // Writes the link the device answered on into `device` (mode, and the line settings or
        // the address); true when that changed anything. A host that is no IPv4 address is not
        // written: the device's address field takes only those.
        bool applyTo(ModbusDeviceRecord *device) const;
        // "9600 8E1" or "ModbusTCP 10.0.0.5:502".
        QString describe() const;
    };

    explicit BusScanDialog(const Defaults &defaults, QWidget *parent = nullptr);
    ~BusScanDialog() override;

    // The options the form gives now; false (with the reason) when they make no scan.
    bool options(ModbusBusScan::Options *options, QString *reason) const;

    ModbusBusScan *scan() const { return m_scan; }
    // The known models a found slave is told apart by (the templates with a probe); the
    // library's when the window opens.
    void setModelCandidates(const QVector<ModelProbe::Candidate> &candidates) { m_candidates = candidates; }
    // The found slaves' models are being read.
    bool identifying() const { return m_probe != nullptr; }
    QComboBox *modeCombo() const { return m_modeCombo; }
    QComboBox *serialCombo() const { return m_serialCombo; }
    QCheckBox *baudCheck(int baud) const { return m_baudChecks.value(baud); }
    QCheckBox *parityCheck(const QString &parity) const { return m_parityChecks.value(parity); }
    QCheckBox *stopBitsCheck(int stopBits) const { return m_stopChecks.value(stopBits); }
    QSpinBox *firstIdSpin() const { return m_firstId; }
    QSpinBox *lastIdSpin() const { return m_lastId; }
    QCheckBox *extendedIdsCheck() const { return m_extendedIds; }
    QSpinBox *waitSpin() const { return m_wait; }
    QComboBox *functionCombo() const { return m_function; }
    QSpinBox *addressSpin() const { return m_address; }
    QLineEdit *hostEdit() const { return m_hostEdit; }
    QSpinBox *portSpin() const { return m_portSpin; }
    QRadioButton *stopAtFirstRadio() const { return m_stopAtFirst; }
    QPushButton *startButton() const { return m_startButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *addButton() const { return m_addButton; }
    QProgressBar *progressBar() const { return m_progress; }
    QLabel *progressLabel() const { return m_progressLabel; }
    QLabel *statusLabel() const { return m_statusLabel; }
    QTableWidget *resultsTable() const { return m_table; }
    QTabWidget *tabs() const { return m_tabs; }
    TrafficPane *trafficPane() const { return m_trafficPane; }

    static QString replyText(const ModbusBusScan::Row &row);

signals:
    void addAsSlaveTab(const BusScanDialog::Found &found);

public slots:
    void startScan();
    void cancelScan();
    // Hands the selected row on.
    void addSelected();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showMode();
    void showProgress(const ModbusBusScan::LineSetting &setting, int id, int done, int total, qint64 msLeft);
    void addRow(const ModbusBusScan::Row &row);
    void scanEnded();
    void updateButtons();
    int chosenRow() const;
    // Reads the known models' probes from each found slave in turn, one row at a time.
    void identifyNext();
    void stopIdentifying();

    ModbusBusScan *m_scan = nullptr;
    ModbusTraffic *m_traffic = nullptr;
    // The link of the scan that filled the table.
    bool m_scannedTcp = false;
    QString m_scannedHost;
    int m_scannedPort = 502;
    QString m_scannedDevice;
    QVector<ModelProbe::Candidate> m_candidates;
    int m_identifying = -1;            // the row whose model is being read
    ModbusClient *m_probeClient = nullptr;
    ModelProbe *m_probe = nullptr;

    QComboBox *m_modeCombo = nullptr;
    QWidget *m_serialBox = nullptr;
    QWidget *m_tcpBox = nullptr;
    QComboBox *m_serialCombo = nullptr;
    QMap<int, QCheckBox *> m_baudChecks;
    QMap<QString, QCheckBox *> m_parityChecks;
    QMap<int, QCheckBox *> m_stopChecks;
    QLineEdit *m_hostEdit = nullptr;
    QSpinBox *m_portSpin = nullptr;
    QSpinBox *m_firstId = nullptr;
    QSpinBox *m_lastId = nullptr;
    QCheckBox *m_extendedIds = nullptr;
    QSpinBox *m_wait = nullptr;
    QComboBox *m_function = nullptr;
    QSpinBox *m_address = nullptr;
    QRadioButton *m_stopAtFirst = nullptr;
    QRadioButton *m_scanAll = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_progressLabel = nullptr;
    QLabel *m_statusLabel = nullptr;
    QTableWidget *m_table = nullptr;
    QTabWidget *m_tabs = nullptr;
    TrafficPane *m_trafficPane = nullptr;
};

Q_DECLARE_METATYPE(BusScanDialog::Found)
