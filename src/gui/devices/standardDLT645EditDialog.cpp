#include "gui/devices/standardDLT645EditDialog.h"
#include "gui/templates/TemplateDialogs.h"

#include "gui/widgets/Validators.h"
#include "core/support/WriteLog.h"
#include "gui/devices/DeviceForm.h"
#include "core/project/Dlt645Catalogue.h"
#include "core/project/Dlt645DeviceRecord.h"
#include "core/dlt645/Dlt645Meter.h"
#include "gui/devices/MeterTestReadDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char *const kLogPrefix = "standardDLT645EditDialog: ";

enum Column { ColSelect = 0, ColDataName, ColName, ColumnCount };
const int kColumnWidths[ColumnCount] = {40, 150, 90};

const QString kDefaultAddress = QStringLiteral("AAAAAAAAAAAA");

void log(const char *operation)
{
    writeLog(QLatin1String(kLogPrefix) + QLatin1String(operation));
}

Dlt645Catalogue::Edition editionOf(const QString &text)
{
    return text == Dlt645Catalogue::Edition1997Text ? Dlt645Catalogue::Edition::V1997
                                                    : Dlt645Catalogue::Edition::V2007;
}

using DeviceForm::findExact;

// A page's own controls, not the editors a table creates below its viewport.
QLineEdit *addressEditOf(QWidget *page)
{
    return page ? page->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QComboBox *editionComboOf(QWidget *page)
{
    return page ? page->findChild<QComboBox *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QTableWidget *tableOf(QWidget *page)
{
    return page ? page->findChild<QTableWidget *>() : nullptr;
}

// The data names whole, so the engineer sees which value a name is given to.
void fitDataNames(QTableWidget *table)
{
    table->resizeColumnToContents(ColDataName);
    if (table->columnWidth(ColDataName) < kColumnWidths[ColDataName])
        table->setColumnWidth(ColDataName, kColumnWidths[ColDataName]);
}

} // namespace

standardDLT645EditDialog::standardDLT645EditDialog(QStandardItem *item, QWidget *parent)
    : QDialog(parent)
    , m_item(item)
{
    log("new-nuilt");
    setWindowTitle(tr("Edit Standard"));
    buildForm();
    fillFromRecord();
    loadTabs();
}

standardDLT645EditDialog::~standardDLT645EditDialog()
{
    // ~QDialog hides the dialog after this destructor: an open name-cell editor then commits
    // and the name check would run on what is no longer this dialog.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
    log("destroyed");
}

void standardDLT645EditDialog::buildForm()
{
    auto *scrollArea = new QScrollArea;
    scrollArea->setStyleSheet(QStringLiteral("QScrollArea { border: none; }"));
    scrollArea->setWidgetResizable(true);
    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);

    using DeviceForm::intEdit;

    m_nameEdit = new QLineEdit;
    m_protocolCombo = new QComboBox;
    m_protocolCombo->addItem(QStringLiteral("DLT645"));
    m_protocolCombo->setEnabled(false);
    m_serialPortCombo = DeviceForm::choiceCombo(DeviceForm::serialPortChoices());
    m_baudRateCombo = DeviceForm::choiceCombo(DeviceForm::baudRateChoices());
    m_dataBitCombo = DeviceForm::choiceCombo(DeviceForm::dataBitChoices());
    m_stopBitCombo = DeviceForm::choiceCombo(DeviceForm::stopBitChoices());
    m_parityCombo = DeviceForm::choiceCombo(DeviceForm::parityChoices());
    m_rtsCheck = new QCheckBox;
    m_timeoutEdit = intEdit();
    m_gapEdit = intEdit();
    m_intervalEdit = intEdit();

    // Two columns of fields, so that the meter tab's table still shows below them on a
    // 768-pixel screen.
    QFormLayout *left = nullptr;
    QFormLayout *right = nullptr;
    QHBoxLayout *columns = DeviceForm::formColumns(&left, &right);
    left->addRow(tr("Server Name:"), m_nameEdit);
    left->addRow(tr("Protocol:"), m_protocolCombo);
    left->addRow(tr("Serial Port:"), m_serialPortCombo);
    left->addRow(tr("Baud Rate:"), m_baudRateCombo);
    left->addRow(tr("Data Bit:"), m_dataBitCombo);
    right->addRow(tr("Stop Bit:"), m_stopBitCombo);
    right->addRow(tr("Parity Bit:"), m_parityCombo);
    right->addRow(tr("Rts Enable:"), m_rtsCheck);
    right->addRow(tr("Communication Timeout:"), m_timeoutEdit);
    right->addRow(tr("Communication Gap:"), m_gapEdit);

    // Add Tab, then the trigger conditions and collection interval, in one row
    auto *tabRow = new QHBoxLayout;
    m_addTabButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/add.svg")), tr("Add Tab"));
    tabRow->addWidget(m_addTabButton);
    tabRow->addStretch();
    auto *triggerCombo = new QComboBox;
    triggerCombo->addItem(tr("Timed Loops"));
    tabRow->addWidget(new QLabel(tr("Trigger Conditions:")));
    tabRow->addWidget(triggerCombo);
    tabRow->addWidget(m_intervalEdit);

    m_tabWidget = new QTabWidget;
    m_tabWidget->setTabsClosable(true);

    contentLayout->addLayout(columns);
    contentLayout->addLayout(tabRow);
    contentLayout->addWidget(m_tabWidget, 1);
    scrollArea->setWidget(content);

    auto *buttonRow = new QHBoxLayout;
    m_saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("Save"));
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"));
    buttonRow->addWidget(m_saveButton);
    buttonRow->addWidget(m_cancelButton);
    // The form as it stands, saved or not, becomes the template.
    auto *templateButton = new QPushButton(tr("Save as Template..."));
    templateButton->setObjectName(QStringLiteral("saveTemplateButton"));
    buttonRow->addStretch();
    buttonRow->addWidget(templateButton);
    connect(templateButton, &QPushButton::clicked, this, [this] { saveAsTemplate(this, DeviceTemplate::fromDlt645(recordFromFields())); });

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->addWidget(scrollArea);
    mainLayout->addLayout(buttonRow);

    connect(m_addTabButton, &QPushButton::clicked, this, &standardDLT645EditDialog::addTab);
    connect(m_tabWidget, &QTabWidget::tabCloseRequested, this, &standardDLT645EditDialog::deleteTab);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void standardDLT645EditDialog::fillFromRecord()
{
    if (!m_item)
        return;
    Dlt645DeviceRecord::writeDefaults(m_item);
    const Dlt645DeviceRecord record = Dlt645DeviceRecord::fromItem(m_item);
    m_nameEdit->setText(record.name);
    // Re-targeting fills exactly like construction: keeping the previous device's selection
    // for a text that is no choice would save that device's value into this one.
    DeviceForm::selectOr(m_protocolCombo, record.protocol);
    DeviceForm::showSerialLine(serialControls(), record.serial, QStringLiteral("2400"), QStringLiteral("EVEN"));
    m_timeoutEdit->setText(record.communicationTimeout);
    m_intervalEdit->setText(record.collectionInterval);
}

DeviceForm::SerialLineControls standardDLT645EditDialog::serialControls() const
{
    return {m_serialPortCombo, m_baudRateCombo, m_dataBitCombo, m_stopBitCombo, m_parityCombo, m_rtsCheck, m_gapEdit};
}

void standardDLT645EditDialog::replaceItem(QStandardItem *item)
{
    log("replace");
    m_item = item;
    fillFromRecord();
    while (m_tabWidget->count() > 0)
        removePage(0);
    m_nextTab = 1;
    loadTabs();
}

void standardDLT645EditDialog::loadTabs()
{
    if (!m_item)
        return;
    const Dlt645DeviceRecord record = Dlt645DeviceRecord::fromItem(m_item);
    for (const Dlt645MeterRecord &meter : record.meters) {
        log("loadParameters");
        QWidget *page = nullptr;
        for (int i = 0; i < m_tabWidget->count(); ++i) {
            if (m_tabWidget->tabText(i) == meter.title) {
                page = m_tabWidget->widget(i);
                break;
            }
        }
        if (!page) {
            page = createTabPage();
            m_tabWidget->addTab(page, meter.title);
        }
        QLineEdit *address = addressEditOf(page);
        QComboBox *edition = editionComboOf(page);
        QTableWidget *table = tableOf(page);

        address->setText(meter.slaveAddress);
        const int index = findExact(edition, meter.edition);
        if (index >= 0) {
            // The table is rebuilt once below, whether or not the edition changed.
            const QSignalBlocker blocker(edition);
            edition->setCurrentIndex(index);
        }
        fillTable(table, edition->currentText());

        const QSignalBlocker blocker(table);
        for (int row = 0; row < table->rowCount() && row < meter.points.size(); ++row) {
            const Dlt645PointRecord &stored = meter.points.at(row);
            if (auto *check = qobject_cast<QCheckBox *>(table->cellWidget(row, ColSelect)))
                check->setChecked(stored.selected);
            table->item(row, ColDataName)->setText(stored.dataName);
            table->item(row, ColName)->setText(stored.name);
        }
        fitDataNames(table);
    }
    renumberTabs();
}

void standardDLT645EditDialog::renumberTabs()
{
    m_nextTab = DeviceForm::renumberTabs(m_tabWidget, QStringLiteral("DLT645"));
}

void standardDLT645EditDialog::addTab()
{
    m_tabWidget->addTab(createTabPage(), QStringLiteral("DLT645-%1").arg(m_nextTab));
    ++m_nextTab;
}

void standardDLT645EditDialog::deleteTab(int index)
{
    if (!m_tabWidget->widget(index))
        return;
    removePage(index);
    renumberTabs();
}

void standardDLT645EditDialog::removePage(int index)
{
    QWidget *page = m_tabWidget->widget(index);
    m_tabWidget->removeTab(index);
    delete page;
}

QWidget *standardDLT645EditDialog::createTabPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    auto *address = new QLineEdit(kDefaultAddress, page);
    address->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9A-Fa-f]{0,12}$")), address));
    auto *edition = new QComboBox(page);
    edition->addItems({Dlt645Catalogue::Edition2007Text, Dlt645Catalogue::Edition1997Text});
    QFormLayout *addressForm = nullptr;
    QFormLayout *editionForm = nullptr;
    QHBoxLayout *columns = DeviceForm::formColumns(&addressForm, &editionForm);
    addressForm->addRow(tr("Slave Address:"), address);
    editionForm->addRow(tr("Protocol Version:"), edition);

    auto *selectAll = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/SelectAll.svg")), tr("Select All"), page);
    auto *testRead = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Test Read"), page);
    testRead->setObjectName(QStringLiteral("testReadButton"));
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(selectAll);
    buttonRow->addWidget(testRead);
    buttonRow->addStretch();

    auto *table = new QTableWidget(0, ColumnCount, page);
    table->setHorizontalHeaderLabels({tr("Select All"), tr("Data name"), tr("Name")});
    DeviceForm::shapePointTable(table, kColumnWidths);
    table->setStyleSheet(QStringLiteral("QTableWidget { border: none; }"));
    table->horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: #DDDDDD; }"));
    fillTable(table, edition->currentText());

    layout->addLayout(columns);
    layout->addLayout(buttonRow);
    layout->addWidget(table, 1);

    connect(edition, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &standardDLT645EditDialog::updateParameterTable);
    connect(selectAll, &QPushButton::clicked, this, [this] { toggleSelectAll(0); });
    connect(testRead, &QPushButton::clicked, this, [this, page] { openTestRead(page); });
    connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this, &standardDLT645EditDialog::toggleSelectAll);
    connect(table, &QTableWidget::cellChanged, this, &standardDLT645EditDialog::validateName);
    return page;
}

void standardDLT645EditDialog::fillTable(QTableWidget *table, const QString &edition)
{
    const QStringList names = Dlt645Catalogue::translatedNames(editionOf(edition));
    const QSignalBlocker blocker(table);
    table->clearContents();
    table->setRowCount(0);
    table->setRowCount(names.size());
    for (int row = 0; row < names.size(); ++row) {
        table->setCellWidget(row, ColSelect, new QCheckBox);
        auto *dataName = new QTableWidgetItem(names.at(row));
        dataName->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table->setItem(row, ColDataName, dataName);
        table->setItem(row, ColName, new QTableWidgetItem(QString()));
    }
    fitDataNames(table);
}

void standardDLT645EditDialog::updateParameterTable(int index)
{
    Q_UNUSED(index)
    // The page whose combo box changed, which need not be the current one while tabs load.
    QWidget *page = pageOf(sender());
    if (!page)
        page = m_tabWidget->currentWidget();
    QComboBox *edition = editionComboOf(page);
    QTableWidget *table = tableOf(page);
    if (!edition || !table)
        return;
    fillTable(table, edition->currentText());
}

QWidget *standardDLT645EditDialog::pageOf(QObject *child) const
{
    auto *widget = qobject_cast<QWidget *>(child);
    if (!widget)
        return nullptr;
    for (int i = 0; i < m_tabWidget->count(); ++i) {
        QWidget *page = m_tabWidget->widget(i);
        if (page == widget || page->isAncestorOf(widget))
            return page;
    }
    return nullptr;
}

QTableWidget *standardDLT645EditDialog::currentTable() const
{
    return tableOf(m_tabWidget->currentWidget());
}

void standardDLT645EditDialog::toggleSelectAll(int logicalIndex)
{
    if (logicalIndex != ColSelect)
        return;
    QTableWidget *table = currentTable();
    if (!table || table->rowCount() == 0)
        return;
    QList<QCheckBox *> boxes;
    bool anyUnchecked = false;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (auto *check = qobject_cast<QCheckBox *>(table->cellWidget(row, ColSelect))) {
            boxes.append(check);
            anyUnchecked = anyUnchecked || !check->isChecked();
        }
    }
    for (QCheckBox *check : qAsConst(boxes))
        check->setChecked(anyUnchecked);
}

void standardDLT645EditDialog::validateName(int row, int column)
{
    if (column != ColName || m_checkingName)
        return;
    auto *table = qobject_cast<QTableWidget *>(sender());
    if (!table)
        table = currentTable();
    QTableWidgetItem *edited = table ? table->item(row, ColName) : nullptr;
    if (!edited)
        return;
    const QString name = edited->text();
    if (name.isEmpty())
        return;
    for (int other = 0; other < table->rowCount(); ++other) {
        const QTableWidgetItem *item = table->item(other, ColName);
        if (other == row || !item || item->text() != name)
            continue;
        message(tr("The name of the '%1' line already exists. Please use a different name.").arg(row + 1));
        m_checkingName = true;
        edited->setText(QString());
        m_checkingName = false;
        return;
    }
}

bool standardDLT645EditDialog::confirmFields()
{
    QVector<Validators::Field> fields{{tr("Communication Timeout:"), m_timeoutEdit},
                                      {tr("Communication Gap:"), m_gapEdit},
                                      {tr("Collection Interval"), m_intervalEdit}};
    for (int i = 0; i < m_tabWidget->count(); ++i) {
        if (QLineEdit *address = addressEditOf(m_tabWidget->widget(i)))
            fields += {m_tabWidget->tabText(i) + QLatin1Char(' ') + tr("Slave Address:"), address};
    }
    return Validators::confirmAcceptable(this, fields);
}

Dlt645DeviceRecord standardDLT645EditDialog::recordFromFields() const
{
    Dlt645DeviceRecord record;
    record.name = m_nameEdit->text();
    record.protocol = m_protocolCombo->currentText();
    record.serial = DeviceForm::readSerialLine(serialControls());
    record.communicationTimeout = m_timeoutEdit->text();
    record.collectionInterval = m_intervalEdit->text();

    for (int i = 0; i < m_tabWidget->count(); ++i) {
        QWidget *page = m_tabWidget->widget(i);
        QTableWidget *table = tableOf(page);
        QLineEdit *address = addressEditOf(page);
        QComboBox *edition = editionComboOf(page);
        if (!table || !address || !edition)
            continue;
        Dlt645MeterRecord meter;
        meter.title = m_tabWidget->tabText(i);
        meter.slaveAddress = address->text();
        meter.edition = edition->currentText();
        meter.points.reserve(table->rowCount());
        for (int row = 0; row < table->rowCount(); ++row) {
            auto *check = qobject_cast<QCheckBox *>(table->cellWidget(row, ColSelect));
            const QTableWidgetItem *dataName = table->item(row, ColDataName);
            const QTableWidgetItem *name = table->item(row, ColName);
            meter.points.append({check && check->isChecked(), dataName ? dataName->text() : QString(),
                                 name ? name->text() : QString()});
        }
        record.meters.append(meter);
    }
    return record;
}

void standardDLT645EditDialog::openTestRead(QWidget *page)
{
    const int index = m_tabWidget->indexOf(page);
    // What the form shows now, saved or not: testing comes before saving.
    const Dlt645DeviceRecord record = recordFromFields();
    const QString title = m_tabWidget->tabText(index);
    const auto meter = std::find_if(record.meters.cbegin(), record.meters.cend(),
                                    [&title](const Dlt645MeterRecord &m) { return m.title == title; });
    if (index < 0 || meter == record.meters.cend())
        return;
    auto *window = new MeterTestReadDialog(m_nameEdit->text(), Dlt645Line::fromRecord(record),
                                           Dlt645Meter::fromRecord(*meter), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The address goes to the tab the window was opened for, wherever the user is by then.
    const QPointer<QWidget> target(page);
    connect(window, &MeterTestReadDialog::addressChosen, this, [this, target](const QString &address) {
        if (target && addressEditOf(target))
            addressEditOf(target)->setText(address);
    });
    window->show();
}

void standardDLT645EditDialog::saveChanges()
{
    if (!m_item || !confirmFields())
        return;
    log("save");
    recordFromFields().commitTo(m_item);
    message(tr("The Standard DLT645 '%1' is saved successfully.").arg(m_nameEdit->text()));
}

void standardDLT645EditDialog::message(const QString &text)
{
    emit messageAppended(text);
}
