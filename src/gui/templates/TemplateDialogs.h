#pragma once

// The template dialogs: the "Templates" window (the library: search, import, export, delete,
// open as text), the questions of "Save as template..." and the "Add from template..." dialog
// with its preview. Thin: the work is done by core/templates.

#include "core/templates/TemplateExpansion.h"
#include "core/templates/TemplateLibrary.h"

#include <QDialog>
#include <QSet>
#include <QVector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QTableWidget;

// The library as the user's settings name it: the user's own folder and the added folders.
TemplateLibrary userTemplateLibrary();

class TemplatesWindow : public QDialog
{
    Q_OBJECT
public:
    explicit TemplatesWindow(const TemplateLibrary &library, QWidget *parent = nullptr);

    QLineEdit *searchEdit() const { return m_search; }
    QTableWidget *table() const { return m_table; }
    // The entry of a table row (rows are filtered and sorted by name).
    const TemplateLibrary::Entry *entryAt(int row) const;

public slots:
    void reload();
    void applyFilter();
    void importTemplate();
    void exportTemplate();
    void deleteTemplate();
    void openAsText();
    void addFolder();

private:
    const TemplateLibrary::Entry *current() const;

    TemplateLibrary m_library;
    QVector<TemplateLibrary::Entry> m_entries;
    QLineEdit *m_search = nullptr;
    QTableWidget *m_table = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPushButton *m_textButton = nullptr;
};

// Asks for the name, maker, model and description of a template made from an editor's
// current state, checks it and saves it into the user's folder; problems are listed and
// nothing is saved. True when saved.
bool saveAsTemplate(QWidget *parent, DeviceTemplate device);

class AddFromTemplateDialog : public QDialog
{
    Q_OBJECT
public:
    // takenNames: the names in the Standard folder the devices go to.
    AddFromTemplateDialog(const TemplateLibrary &library, const QSet<QString> &takenNames, QWidget *parent = nullptr);

    QComboBox *templateCombo() const { return m_templates; }
    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *hostsEdit() const { return m_hosts; }
    QLineEdit *portsEdit() const { return m_ports; }
    QLineEdit *addressesEdit() const { return m_addresses; }
    QLineEdit *serialPortEdit() const { return m_serialPort; }
    QTableWidget *previewTable() const { return m_preview; }
    QLabel *problemLabel() const { return m_problem; }
    QPushButton *addButton() const { return m_addButton; }

    // What Add would add: the preview's devices (empty while the input is incomplete or wrong).
    const QVector<TemplateExpansion::Device> &devices() const { return m_result.devices; }

public slots:
    void updatePreview();

private:
    void templateChosen();

    QVector<TemplateLibrary::Entry> m_entries; // usable ones
    QSet<QString> m_taken;
    TemplateExpansion::Result m_result;
    QComboBox *m_templates = nullptr;
    QLabel *m_summary = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_hosts = nullptr;
    QLineEdit *m_ports = nullptr;
    QLineEdit *m_addresses = nullptr;
    QLineEdit *m_serialPort = nullptr;
    QLabel *m_hostsLabel = nullptr;
    QLabel *m_portsLabel = nullptr;
    QLabel *m_addressesLabel = nullptr;
    QLabel *m_serialPortLabel = nullptr;
    QTableWidget *m_preview = nullptr;
    QLabel *m_problem = nullptr;
    QPushButton *m_addButton = nullptr;
};
