#include "gui/templates/TemplateDialogs.h"

#include "core/support/AppPaths.h"
#include "gui/widgets/FileDialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// At most this many problems in one message box; the rest are counted.
constexpr int kProblemsShown = 25;

QString problemList(const TemplateProblems &problems)
{
    QStringList lines;
    for (int i = 0; i < problems.size() && i < kProblemsShown; ++i)
        lines.append(problems.at(i).describe());
    if (problems.size() > kProblemsShown)
        lines.append(TemplatesWindow::tr("... and %1 more.").arg(problems.size() - kProblemsShown));
    return lines.join(QLatin1Char('\n'));
}

void showProblems(QWidget *parent, const QString &error, const TemplateProblems &problems)
{
    QMessageBox::warning(parent, TemplatesWindow::tr("Template"),
                         problems.isEmpty() ? error : error + QStringLiteral("\n\n") + problemList(problems));
}

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QString linkText(const DeviceTemplate &device)
{
    if (device.isDlt645())
        return QStringLiteral("DL/T 645");
    return device.mode == ModbusDeviceRecord::Rtu ? QStringLiteral("Modbus RTU") : QStringLiteral("Modbus TCP");
}

} // namespace

TemplateLibrary userTemplateLibrary()
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    return TemplateLibrary::fromSettings(settings);
}

// --- Templates window ----------------------------------------------------------------------

TemplatesWindow::TemplatesWindow(const TemplateLibrary &library, QWidget *parent)
    : QDialog(parent), m_library(library)
{
    setObjectName(QStringLiteral("templatesWindow"));
    setWindowTitle(tr("Templates"));
    resize(900, 500);

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(tr("Search by name, maker or model"));
    m_search->setClearButtonEnabled(true);

    m_table = new QTableWidget(0, 6, this);
    m_table->setHorizontalHeaderLabels(
        {tr("Name"), tr("Maker"), tr("Model"), tr("Protocol"), tr("Points"), tr("Location")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *importButton = new QPushButton(tr("Import..."), this);
    m_exportButton = new QPushButton(tr("Export..."), this);
    m_deleteButton = new QPushButton(tr("Delete"), this);
    m_textButton = new QPushButton(tr("Open as Text"), this);
    auto *folderButton = new QPushButton(tr("Add Folder..."), this);
    auto *closeButton = new QPushButton(tr("Close"), this);
    importButton->setObjectName(QStringLiteral("importButton"));
    m_exportButton->setObjectName(QStringLiteral("exportButton"));
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_textButton->setObjectName(QStringLiteral("textButton"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {importButton, m_exportButton, m_deleteButton, m_textButton, folderButton})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    connect(m_search, &QLineEdit::textChanged, this, &TemplatesWindow::applyFilter);
    connect(importButton, &QPushButton::clicked, this, &TemplatesWindow::importTemplate);
    connect(m_exportButton, &QPushButton::clicked, this, &TemplatesWindow::exportTemplate);
    connect(m_deleteButton, &QPushButton::clicked, this, &TemplatesWindow::deleteTemplate);
    connect(m_textButton, &QPushButton::clicked, this, &TemplatesWindow::openAsText);
    connect(folderButton, &QPushButton::clicked, this, &TemplatesWindow::addFolder);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] {
        const TemplateLibrary::Entry *entry = current();
        m_exportButton->setEnabled(entry && entry->usable());
        m_deleteButton->setEnabled(entry && entry->own);
        m_textButton->setEnabled(entry);
    });
    reload();
}

void TemplatesWindow::reload()
{
    m_entries = m_library.list();
    m_table->setRowCount(0);
    m_table->setRowCount(m_entries.size());
    for (int row = 0; row < m_entries.size(); ++row) {
        const TemplateLibrary::Entry &entry = m_entries.at(row);
        const DeviceTemplate &device = entry.device;
        QString where = entry.own ? tr("My templates") : entry.device.example ? tr("Example") : QFileInfo(entry.path).absolutePath();
        if (!entry.usable())
            where = tr("Not usable: %1").arg(entry.problems.first().describe());
        const QString name = device.name.isEmpty() ? QFileInfo(entry.path).fileName() : device.name;
        m_table->setItem(row, 0, cell(name));
        m_table->item(row, 0)->setData(Qt::UserRole, row);
        m_table->setItem(row, 1, cell(device.maker));
        m_table->setItem(row, 2, cell(device.model));
        m_table->setItem(row, 3, cell(linkText(device)));
        m_table->setItem(row, 4, cell(QString::number(device.pointCount())));
        m_table->setItem(row, 5, cell(where));
        m_table->item(row, 5)->setToolTip(entry.usable() ? entry.path : problemList(entry.problems));
    }
    m_table->resizeColumnsToContents();
    applyFilter();
    m_table->clearSelection();
    m_exportButton->setEnabled(false);
    m_deleteButton->setEnabled(false);
    m_textButton->setEnabled(false);
}

void TemplatesWindow::applyFilter()
{
    const QString needle = m_search->text().trimmed();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const DeviceTemplate &device = m_entries.at(m_table->item(row, 0)->data(Qt::UserRole).toInt()).device;
        const bool shown = needle.isEmpty() || device.name.contains(needle, Qt::CaseInsensitive)
                           || device.maker.contains(needle, Qt::CaseInsensitive)
                           || device.model.contains(needle, Qt::CaseInsensitive);
        m_table->setRowHidden(row, !shown);
    }
}

const TemplateLibrary::Entry *TemplatesWindow::entryAt(int row) const
{
    const QTableWidgetItem *item = m_table->item(row, 0);
    return item ? &m_entries.at(item->data(Qt::UserRole).toInt()) : nullptr;
}

const TemplateLibrary::Entry *TemplatesWindow::current() const
{
    const QList<QTableWidgetItem *> selected = m_table->selectedItems();
    return selected.isEmpty() ? nullptr : entryAt(selected.first()->row());
}

void TemplatesWindow::importTemplate()
{
    const QString path = FileDialogs::getOpenFileName(this, tr("Import Template"), QString(),
                                                      tr("Templates (*.json)"));
    if (path.isEmpty())
        return;
    TemplateProblems problems;
    QString error;
    if (!m_library.importFile(path, &problems, &error)) {
        showProblems(this, error, problems);
        return;
    }
    reload();
}

void TemplatesWindow::exportTemplate()
{
    const TemplateLibrary::Entry *entry = current();
    if (!entry || !entry->usable())
        return;
    const QString path = FileDialogs::getSaveFileName(this, tr("Export Template"), QFileInfo(entry->path).fileName(),
                                                      tr("Templates (*.json)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!TemplateLibrary::write(entry->device, path, &error))
        QMessageBox::warning(this, tr("Template"), error);
}

void TemplatesWindow::deleteTemplate()
{
    const TemplateLibrary::Entry *entry = current();
    if (!entry || !entry->own)
        return;
    const QString path = entry->path;
    if (QMessageBox::question(this, tr("Template"), tr("Delete the template '%1'?").arg(entry->device.name),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
        != QMessageBox::Yes)
        return;
    QString error;
    if (!m_library.remove(path, &error))
        QMessageBox::warning(this, tr("Template"), error);
    reload();
}

void TemplatesWindow::openAsText()
{
    const TemplateLibrary::Entry *entry = current();
    if (!entry)
        return;
    QByteArray bytes;
    QString error;
    if (!TemplateLibrary::readBytes(entry->path, &bytes, &error)) {
        QMessageBox::warning(this, tr("Template"), error);
        return;
    }
    QDialog viewer(this);
    viewer.setObjectName(QStringLiteral("templateText"));
    viewer.setWindowTitle(entry->path);
    viewer.resize(700, 600);
    auto *text = new QPlainTextEdit(QString::fromUtf8(bytes), &viewer);
    text->setReadOnly(true);
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, &viewer);
    auto *layout = new QVBoxLayout(&viewer);
    layout->addWidget(text);
    layout->addWidget(close);
    connect(close, &QDialogButtonBox::rejected, &viewer, &QDialog::reject);
    viewer.exec();
}

void TemplatesWindow::addFolder()
{
    const QString folder = FileDialogs::getExistingDirectory(this, tr("Add Template Folder"));
    if (folder.isEmpty())
        return;
    QStringList folders = m_library.folders();
    if (!folders.contains(folder)) {
        folders.append(folder);
        QSettings(settingsFilePath(), QSettings::IniFormat).setValue(TemplateLibrary::FoldersKey, folders);
    }
    m_library = TemplateLibrary(m_library.ownFolder(), folders);
    reload();
}

// --- Save as template ----------------------------------------------------------------------

bool saveAsTemplate(QWidget *parent, DeviceTemplate device)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("saveTemplateDialog"));
    dialog.setWindowTitle(TemplatesWindow::tr("Save as Template"));
    auto *name = new QLineEdit(device.name, &dialog);
    name->setObjectName(QStringLiteral("templateName"));
    auto *maker = new QLineEdit(&dialog);
    maker->setObjectName(QStringLiteral("templateMaker"));
    auto *model = new QLineEdit(&dialog);
    model->setObjectName(QStringLiteral("templateModel"));
    auto *description = new QPlainTextEdit(&dialog);
    description->setObjectName(QStringLiteral("templateDescription"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &dialog);
    auto *form = new QFormLayout(&dialog);
    form->addRow(TemplatesWindow::tr("Template name:"), name);
    form->addRow(TemplatesWindow::tr("Maker:"), maker);
    form->addRow(TemplatesWindow::tr("Model:"), model);
    form->addRow(TemplatesWindow::tr("Description:"), description);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;

    device.name = name->text().trimmed();
    device.maker = maker->text().trimmed();
    device.model = model->text().trimmed();
    device.description = description->toPlainText().trimmed();
    TemplateLibrary library = userTemplateLibrary();
    TemplateProblems problems;
    QString error;
    QString path;
    if (!library.save(device, &problems, &error, &path)) {
        showProblems(parent, error, problems);
        return false;
    }
    QMessageBox::information(parent, TemplatesWindow::tr("Template"),
                             TemplatesWindow::tr("The template '%1' was saved to %2.").arg(device.name, path));
    return true;
}

// --- Add from template ---------------------------------------------------------------------

AddFromTemplateDialog::AddFromTemplateDialog(const TemplateLibrary &library, const QSet<QString> &takenNames,
                                             QWidget *parent)
    : QDialog(parent), m_taken(takenNames)
{
    setObjectName(QStringLiteral("addFromTemplateDialog"));
    setWindowTitle(tr("Add from Template"));
    resize(760, 520);
    for (const TemplateLibrary::Entry &entry : library.list()) {
        if (entry.usable())
            m_entries.append(entry);
    }

    m_templates = new QComboBox(this);
    for (const TemplateLibrary::Entry &entry : qAsConst(m_entries))
        m_templates->addItem(entry.device.name);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_name = new QLineEdit(QStringLiteral("Device {n}"), this);
    m_name->setToolTip(tr("{n} counts the devices from 1."));
    m_hosts = new QLineEdit(this);
    m_hosts->setPlaceholderText(QStringLiteral("192.168.1.10-192.168.1.12, 192.168.1.20"));
    m_ports = new QLineEdit(this);
    m_ports->setPlaceholderText(tr("the template's port, or one per host"));
    m_addresses = new QLineEdit(this);
    m_serialPort = new QLineEdit(this);

    auto *form = new QFormLayout;
    form->addRow(tr("Template:"), m_templates);
    form->addRow(QString(), m_summary);
    form->addRow(tr("Device name:"), m_name);
    m_hostsLabel = new QLabel(tr("IP addresses:"), this);
    m_portsLabel = new QLabel(tr("Ports:"), this);
    m_addressesLabel = new QLabel(this);
    m_serialPortLabel = new QLabel(tr("Serial port:"), this);
    form->addRow(m_hostsLabel, m_hosts);
    form->addRow(m_portsLabel, m_ports);
    form->addRow(m_addressesLabel, m_addresses);
    form->addRow(m_serialPortLabel, m_serialPort);

    m_preview = new QTableWidget(0, 4, this);
    m_preview->setHorizontalHeaderLabels({tr("Name"), tr("Link"), tr("Tabs"), tr("Points")});
    m_preview->verticalHeader()->hide();
    m_preview->horizontalHeader()->setStretchLastSection(true);
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #B00020;"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_addButton = buttons->addButton(tr("Add"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(tr("Preview:"), this));
    layout->addWidget(m_preview, 1);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);

    connect(m_templates, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { templateChosen(); });
    for (QLineEdit *edit : {m_name, m_hosts, m_ports, m_addresses, m_serialPort})
        connect(edit, &QLineEdit::textChanged, this, &AddFromTemplateDialog::updatePreview);
    templateChosen();
}

void AddFromTemplateDialog::templateChosen()
{
    const int index = m_templates->currentIndex();
    const bool known = index >= 0 && index < m_entries.size();
    const DeviceTemplate device = known ? m_entries.at(index).device : DeviceTemplate();
    const bool serial = device.usesSerialLine();
    m_summary->setText(known ? QStringLiteral("%1 %2 · %3 · %4")
                                   .arg(device.maker, device.model, linkText(device),
                                        tr("Points: %1").arg(device.pointCount()))
                             : tr("No usable template in the library."));
    for (QWidget *widget : {static_cast<QWidget *>(m_hosts), static_cast<QWidget *>(m_hostsLabel),
                            static_cast<QWidget *>(m_ports), static_cast<QWidget *>(m_portsLabel)})
        widget->setVisible(known && !serial);
    for (QWidget *widget : {static_cast<QWidget *>(m_addresses), static_cast<QWidget *>(m_addressesLabel),
                            static_cast<QWidget *>(m_serialPort), static_cast<QWidget *>(m_serialPortLabel)})
        widget->setVisible(known && serial);
    m_addressesLabel->setText(device.isDlt645() ? tr("Meter addresses:") : tr("Station numbers:"));
    m_addresses->setPlaceholderText(device.isDlt645() ? QStringLiteral("000000000001-000000000003")
                                                      : QStringLiteral("1-3, 7"));
    m_serialPort->setText(device.serial.serialPort);
    m_ports->clear();
    updatePreview();
}

void AddFromTemplateDialog::updatePreview()
{
    const int index = m_templates->currentIndex();
    m_result = TemplateExpansion::Result();
    if (index >= 0 && index < m_entries.size()) {
        m_result = TemplateExpansion::expand(m_entries.at(index).device,
                                             {m_name->text(), m_hosts->text(), m_ports->text(), m_addresses->text(),
                                              m_serialPort->text().trimmed()},
                                             m_taken);
    }
    // A long preview shows its first rows; the count says the rest.
    constexpr int kShownRows = 200;
    const int shown = qMin(m_result.devices.size(), kShownRows);
    m_preview->setRowCount(0);
    m_preview->setRowCount(shown);
    for (int row = 0; row < shown; ++row) {
        const TemplateExpansion::Device &device = m_result.devices.at(row);
        const bool dlt645 = device.protocol == DeviceTemplate::Dlt645;
        int points = 0;
        for (const ModbusSlaveRecord &slave : device.modbus.slaves)
            points += slave.points.size();
        for (const Dlt645MeterRecord &meter : device.dlt645.meters) {
            for (const Dlt645PointRecord &point : meter.points)
                points += point.selected;
        }
        m_preview->setItem(row, 0, cell(device.name));
        m_preview->setItem(row, 1, cell(device.summary));
        m_preview->setItem(row, 2, cell(QString::number(dlt645 ? device.dlt645.meters.size() : device.modbus.slaves.size())));
        m_preview->setItem(row, 3, cell(QString::number(points)));
    }
    const bool incomplete = index >= 0 && m_result.ok() && m_result.devices.isEmpty();
    m_problem->setText(m_result.errors.join(QLatin1Char('\n')));
    if (!incomplete && m_result.ok())
        m_problem->setText(tr("Devices to add: %1").arg(m_result.devices.size()));
    m_addButton->setEnabled(!m_result.devices.isEmpty());
}
