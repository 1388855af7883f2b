#include "gui/devices/standardModbusEditDialog.h"

#include "gui/devices/ModbusTestReadDialog.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/widgets/Validators.h"
#include "gui/devices/DeviceForm.h"
#include "core/support/WriteLog.h"
#include "core/project/PointCsv.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectFileIo.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char *const kLogPrefix = "standardModbusEditDialog: ";


// Table columns
enum Column { ColAddress = 0, ColName, ColType, ColLength, ColPermissions, ColDelete, ColumnCount };
const int kColumnWidths[ColumnCount] = {70, 70, 80, 70, 70, 35};
const int kTableHeight = 600;

const QString kString = QStringLiteral("string");

void log(const char *operation)
{
    writeLog(QLatin1String(kLogPrefix) + QLatin1String(operation));
}

// Selects a choice by its exact display text; anything else leaves the selection alone.
void selectText(QComboBox *combo, const QString &text)
{
    const int index = DeviceForm::findExact(combo, text);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

// The text a cell shows to the user: item, line edit or combo box; the delete button none.
QString cellText(const QTableWidget *table, int row, int column)
{
    if (const QTableWidgetItem *item = table->item(row, column))
        return item->text();
    QWidget *widget = table->cellWidget(row, column);
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->currentText();
    return QString();
}

int rowOfCellWidget(const QTableWidget *table, int column, const QWidget *widget)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->cellWidget(row, column) == widget)
            return row;
    }
    return -1;
}

} // namespace

standardModbusEditDialog::standardModbusEditDialog(QStandardItem *item, QWidget *parent)
    : QDialog(parent)
    , m_item(item)
{
    log("new-nuilt");
    m_deleteIcon = QIcon(QStringLiteral(":/adsdemo/images/Delete.svg"));
    setWindowTitle(tr("Edit Standard"));
    buildForm();
    fillFromRecord();
    onProtocolChanged(m_modbusCombo->currentText());

    // Building many point rows is the slow part of opening; let the dock appear first.
    m_loadTimer = new QTimer(this);
    m_loadTimer->setSingleShot(true);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, &standardModbusEditDialog::loadTabs);
    m_loadTimer->start();
}

standardModbusEditDialog::~standardModbusEditDialog()
{
    // ~QDialog hides the dialog after this destructor: a focused line edit then finishes
    // editing and an open cell editor commits, and their handlers would run on what is no
    // longer this dialog. From here on no child calls back into it.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
    log("destroyed");
}

void standardModbusEditDialog::buildForm()
{
    auto *scrollArea = new QScrollArea;
    scrollArea->setStyleSheet(QStringLiteral("QScrollArea { border: none; }"));
    scrollArea->setWidgetResizable(true);
    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);

    // Name, protocol, mode
    auto *headGroup = new QGroupBox;
    headGroup->setStyleSheet(QStringLiteral("QGroupBox { border: none; }"));
    auto *headForm = new QFormLayout(headGroup);
    m_nameEdit = new QLineEdit;
    m_protocolCombo = new QComboBox;
    m_protocolCombo->addItem(QStringLiteral("Modbus"));
    m_protocolCombo->setEnabled(false);
    m_modbusCombo = new QComboBox;
    m_modbusCombo->addItems({QStringLiteral("ModbusTCP"), QStringLiteral("ModbusRTU")});
    headForm->addRow(tr("Server Name:"), m_nameEdit);
    headForm->addRow(tr("Protocol:"), m_protocolCombo);
    headForm->addRow(tr("Modbus:"), m_modbusCombo);

    using DeviceForm::intEdit;
    const int maxInt = 2147483647;

    // Network layer (ModbusTCP)
    m_networkGroup = new QGroupBox(tr("Network Layer Information"));
    auto *networkForm = new QFormLayout(m_networkGroup);
    m_ipEdit = new QLineEdit;
    m_ipEdit->setValidator(Validators::ipv4(m_ipEdit));
    m_portEdit = intEdit(-1, 65535);
    m_connectionTimeoutEdit = intEdit(-1, maxInt);
    m_tcpTimeoutEdit = intEdit(-1, maxInt);
    m_keepAliveEdit = intEdit(-1, maxInt);
    networkForm->addRow(tr("IP:"), m_ipEdit);
    networkForm->addRow(tr("Port:"), m_portEdit);
    networkForm->addRow(tr("Connection Timeout:"), m_connectionTimeoutEdit);
    networkForm->addRow(tr("Communication Timeout:"), m_tcpTimeoutEdit);
    networkForm->addRow(tr("Keep Alive Time:"), m_keepAliveEdit);

    // Serial port (ModbusRTU)
    m_serialGroup = new QGroupBox(tr("Serial Port Information"));
    auto *serialForm = new QFormLayout(m_serialGroup);
    m_serialPortCombo = DeviceForm::choiceCombo(DeviceForm::serialPortChoices());
    m_baudRateCombo = DeviceForm::choiceCombo(DeviceForm::baudRateChoices());
    m_dataBitCombo = DeviceForm::choiceCombo(DeviceForm::dataBitChoices());
    m_stopBitCombo = DeviceForm::choiceCombo(DeviceForm::stopBitChoices());
    m_parityCombo = DeviceForm::choiceCombo(DeviceForm::parityChoices());
    m_rtsCheck = new QCheckBox;
    m_rtuTimeoutEdit = intEdit(-1, maxInt);
    m_gapEdit = intEdit(-1, maxInt);
    serialForm->addRow(tr("Serial Port:"), m_serialPortCombo);
    serialForm->addRow(tr("Baud Rate:"), m_baudRateCombo);
    serialForm->addRow(tr("Data Bit:"), m_dataBitCombo);
    serialForm->addRow(tr("Stop Bit:"), m_stopBitCombo);
    serialForm->addRow(tr("Parity Bit:"), m_parityCombo);
    serialForm->addRow(tr("Rts Enable:"), m_rtsCheck);
    serialForm->addRow(tr("Communication Timeout:"), m_rtuTimeoutEdit);
    serialForm->addRow(tr("Communication Gap:"), m_gapEdit);

    for (QGroupBox *group : {headGroup, m_networkGroup, m_serialGroup})
        group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    // Add Tab
    auto *addTabRow = new QHBoxLayout;
    m_addTabButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/add.svg")), tr("Add Tab"));
    addTabRow->addWidget(m_addTabButton);
    addTabRow->addStretch();

    // Trigger conditions and collection interval
    auto *triggerRow = new QHBoxLayout;
    auto *triggerCombo = new QComboBox;
    triggerCombo->addItem(tr("Timed Loops"));
    m_intervalEdit = intEdit(-1, maxInt);
    triggerRow->addWidget(new QLabel(tr("Trigger Conditions:")));
    triggerRow->addWidget(triggerCombo);
    triggerRow->addWidget(m_intervalEdit);

    m_tabWidget = new QTabWidget;
    m_tabWidget->setTabsClosable(true);

    contentLayout->addWidget(headGroup);
    contentLayout->addWidget(m_networkGroup);
    contentLayout->addWidget(m_serialGroup);
    contentLayout->addLayout(addTabRow);
    contentLayout->addLayout(triggerRow);
    contentLayout->addWidget(m_tabWidget);
    scrollArea->setWidget(content);

    auto *buttonRow = new QHBoxLayout;
    m_saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("Save"));
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"));
    buttonRow->addWidget(m_saveButton);
    buttonRow->addWidget(m_cancelButton);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->addWidget(scrollArea);
    mainLayout->addLayout(buttonRow);

    m_lineFields = {
        {m_ipEdit, Role::ModbusIp, QStringLiteral("192.168.1.60")},
        {m_portEdit, Role::ModbusPort, QStringLiteral("502")},
        {m_connectionTimeoutEdit, Role::ConnectionTimeout, QStringLiteral("2000")},
        {m_tcpTimeoutEdit, Role::CommunicationTimeout, QStringLiteral("2000")},
        {m_keepAliveEdit, Role::KeepAlive, QStringLiteral("60000")},
        {m_rtuTimeoutEdit, Role::CommunicationTimeoutRtu, QStringLiteral("2000")},
        {m_gapEdit, Role::CommunicationGap, QStringLiteral("-1")},
        {m_intervalEdit, Role::CollectionInterval, QStringLiteral("2000")},
    };
    m_comboFields = {
        {m_serialPortCombo, Role::SerialPort}, {m_baudRateCombo, Role::BaudRate},
        {m_dataBitCombo, Role::DataBit},       {m_stopBitCombo, Role::StopBit},
        {m_parityCombo, Role::ParityBit},
    };

    connect(m_modbusCombo, &QComboBox::currentTextChanged, this, &standardModbusEditDialog::onProtocolChanged);
    connect(m_addTabButton, &QPushButton::clicked, this, &standardModbusEditDialog::addTab);
    connect(m_tabWidget, &QTabWidget::tabCloseRequested, this, &standardModbusEditDialog::deleteTab);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void standardModbusEditDialog::fillFromRecord()
{
    if (!m_item)
        return;
    m_nameEdit->setText(m_item->text());
    // Re-pointing fills exactly like construction: a record text that is no choice picks
    // the first one, never the previous device's selection, which Save would write here.
    auto fillCombo = [this](QComboBox *combo, int role) {
        combo->setCurrentIndex(qMax(0, DeviceForm::findExact(combo, m_item->data(role).toString())));
    };
    fillCombo(m_protocolCombo, Role::Protocol);
    fillCombo(m_modbusCombo, Role::Modbus);
    for (const LineField &field : qAsConst(m_lineFields)) {
        QString text = m_item->data(field.role).toString();
        if (text.isEmpty()) {
            text = field.defaultText;
            m_item->setData(QVariant(text), field.role);
        }
        field.edit->setText(text);
    }
    for (const ComboField &field : qAsConst(m_comboFields))
        fillCombo(field.combo, field.role);
    m_rtsCheck->setChecked(m_item->data(Role::RtsEnable).toBool());
}

void standardModbusEditDialog::onProtocolChanged(QString protocol)
{
    m_networkGroup->hide();
    m_serialGroup->hide();
    if (protocol == QLatin1String("ModbusRTU"))
        m_serialGroup->show();
    else if (protocol == QLatin1String("ModbusTCP"))
        m_networkGroup->show();
}

void standardModbusEditDialog::replaceItem(QStandardItem *item)
{
    log("replace");
    m_loadTimer->stop();
    m_item = item;
    fillFromRecord();
    while (m_tabWidget->count() > 0)
        removePage(0);
    m_nextTab = 1;
    loadTabs();
}

void standardModbusEditDialog::loadPendingTabs()
{
    if (m_loadTimer->isActive()) {
        m_loadTimer->stop();
        loadTabs();
    }
}

void standardModbusEditDialog::loadTabs()
{
    if (!m_item)
        return;
    const PointTable table = m_item->data(Role::PointTable).value<PointTable>();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        log("loadParameters");
        QWidget *page = nullptr;
        for (int i = 0; i < m_tabWidget->count(); ++i) {
            if (m_tabWidget->tabText(i) == it.key()) {
                page = m_tabWidget->widget(i);
                break;
            }
        }
        if (!page) {
            page = createTabPage();
            m_tabWidget->addTab(page, it.key());
        }

        const QList<QVariantList> &rows = it.value();
        if (!rows.isEmpty() && rows.first().size() >= 5) {
            const QVariantList &header = rows.first();
            selectText(page->findChild<QComboBox *>(QStringLiteral("seriesComboBox")), header.at(0).toString());
            page->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"))->setText(header.at(1).toString());
            selectText(page->findChild<QComboBox *>(QStringLiteral("byteOrderComboBox")), header.at(2).toString());
            page->findChild<QCheckBox *>(QStringLiteral("startAddress0CheckBox"))->setChecked(header.at(3).toBool());
            page->findChild<QCheckBox *>(QStringLiteral("charReversedCheckBox"))->setChecked(header.at(4).toBool());
        }

        QList<QStringList> points;
        points.reserve(qMax(0, rows.size() - 1));
        for (int r = 1; r < rows.size(); ++r) {
            QStringList values;
            values.reserve(rows.at(r).size());
            for (const QVariant &value : rows.at(r))
                values.append(value.toString());
            points.append(values);
        }
        auto *pointTable = page->findChild<QTableWidget *>();
        clearTable(pointTable);
        appendLoadedRows(pointTable, points);
    }
    renumberTabs();
    for (int i = 0; i < m_tabWidget->count(); ++i) {
        if (auto *pointTable = m_tabWidget->widget(i)->findChild<QTableWidget *>())
            pointTable->setFixedHeight(kTableHeight);
    }
}

void standardModbusEditDialog::renumberTabs()
{
    m_nextTab = DeviceForm::renumberTabs(m_tabWidget, QStringLiteral("Modbus"));
}

void standardModbusEditDialog::addTab()
{
    m_tabWidget->addTab(createTabPage(), QStringLiteral("Modbus-%1").arg(m_nextTab));
    ++m_nextTab;
}

void standardModbusEditDialog::deleteTab(int index)
{
    if (!m_tabWidget->widget(index))
        return;
    removePage(index);
    renumberTabs();
}

void standardModbusEditDialog::removePage(int index)
{
    QWidget *page = m_tabWidget->widget(index);
    m_liveRows.remove(page->findChild<QTableWidget *>());
    m_tabWidget->removeTab(index);
    delete page;
}

QWidget *standardModbusEditDialog::createTabPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    auto *form = new QFormLayout;
    auto *series = new QComboBox;
    series->setObjectName(QStringLiteral("seriesComboBox"));
    series->addItem(QStringLiteral("standard"));
    series->setEnabled(false);
    auto *station = new QLineEdit(QStringLiteral("1"));
    station->setObjectName(QStringLiteral("stationNumEdit"));
    station->setValidator(Validators::integer(-1, 2147483647, station));
    auto *byteOrder = new QComboBox;
    byteOrder->setObjectName(QStringLiteral("byteOrderComboBox"));
    byteOrder->addItems({QStringLiteral("ABCD"), QStringLiteral("BADC"), QStringLiteral("CDAB"), QStringLiteral("DCBA")});
    auto *startAddress0 = new QCheckBox;
    startAddress0->setObjectName(QStringLiteral("startAddress0CheckBox"));
    startAddress0->setChecked(true);
    auto *charReversed = new QCheckBox;
    charReversed->setObjectName(QStringLiteral("charReversedCheckBox"));
    form->addRow(tr("Series:"), series);
    form->addRow(tr("Station Num:"), station);
    form->addRow(tr("Byte Order:"), byteOrder);
    form->addRow(tr("StartAddress0:"), startAddress0);
    form->addRow(tr("Char Reversed:"), charReversed);

    auto *buttons = new QHBoxLayout;
    auto *add = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/add.svg")), tr("Add"));
    auto *removeAll = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Remove All"));
    auto *import = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Import"));
    auto *exportButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/write.svg")), tr("Export"));
    add->setMinimumWidth(10);
    removeAll->setMinimumWidth(15);
    import->setMinimumWidth(10);
    exportButton->setMinimumWidth(10);
    for (QPushButton *button : {add, removeAll, import, exportButton})
        buttons->addWidget(button);
    auto *testRead = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/read.svg")), tr("Test Read"));
    testRead->setObjectName(QStringLiteral("testReadButton"));
    buttons->addWidget(testRead);

    QTableWidget *table = createPointTable(page);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(table);

    // The buttons belong to this page, so they act on its table.
    connect(add, &QPushButton::clicked, this, [this, table] {
        log("addParameter");
        insertEmptyRow(table);
    });
    connect(removeAll, &QPushButton::clicked, this, [this, table] { removeAllRows(table); });
    connect(import, &QPushButton::clicked, this, [this, table] { importRows(table); });
    connect(exportButton, &QPushButton::clicked, this, [this, table] { exportRows(table); });
    connect(testRead, &QPushButton::clicked, this, [this, page] { openTestRead(page); });
    return page;
}

QTableWidget *standardModbusEditDialog::createPointTable(QWidget *page)
{
    auto *table = new QTableWidget(0, ColumnCount, page);
    table->setHorizontalHeaderLabels({tr("Address"), tr("Name"), tr("Type"), tr("Length"),
                                      tr("Permissions"), tr("Deleat")});
    table->setFixedHeight(kTableHeight);
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    table->setStyleSheet(QStringLiteral("QTableWidget { border: none; }"));
    QHeaderView *header = table->horizontalHeader();
    header->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: #DDDDDD; }"));
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int column = 0; column < ColumnCount; ++column)
        table->setColumnWidth(column, kColumnWidths[column]);

    // Stored rows get their widgets when they come into view (see materializeRow).
    connect(table->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this, table] { materializeVisibleRows(table); });
    connect(table->verticalHeader(), &QHeaderView::sectionResized, this,
            [this, table] { materializeVisibleRows(table); });
    connect(table, &QTableWidget::cellChanged, this, &standardModbusEditDialog::validateName);
    connect(table, &QTableWidget::cellChanged, this, &standardModbusEditDialog::validateAddr);
    return table;
}

int standardModbusEditDialog::insertEmptyRow(QTableWidget *table)
{
    const int row = table->rowCount();
    table->insertRow(row);
    QWidget *viewport = table->viewport();
    auto *address = new QLineEdit(viewport);
    auto *name = new QLineEdit(viewport);
    table->setCellWidget(row, ColAddress, address);
    table->setCellWidget(row, ColName, name);
    connect(address, &QLineEdit::editingFinished, this, [this, table, address] {
        checkAddress(table, rowOfCellWidget(table, ColAddress, address), address);
    });
    // Checked once the name is complete: a check per keystroke would wipe "Temp10" as soon
    // as "Temp1" was typed when another row is already called "Temp1".
    connect(name, &QLineEdit::editingFinished, this, [this, table, name] {
        checkName(table, rowOfCellWidget(table, ColName, name), name);
    });
    materializeRow(table, row);
    return row;
}

void standardModbusEditDialog::appendLoadedRows(QTableWidget *table, const QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    const int first = table->rowCount();
    {
        // Built silently, then checked once per row in the order the cell-change checks
        // would have run, so names are compared through a hash instead of row by row.
        const QSignalBlocker blocker(table);
        table->setRowCount(first + rows.size());
        for (int i = 0; i < rows.size(); ++i)
            fillLoadedRow(table, first + i, rows.at(i));

        QHash<QString, int> firstRowOfName;
        for (int row = 0; row < first; ++row) {
            const QString name = cellText(table, row, ColName);
            if (!name.isEmpty() && !firstRowOfName.contains(name))
                firstRowOfName.insert(name, row);
        }
        for (int row = first; row < table->rowCount(); ++row) {
            checkAddress(table, row, nullptr);
            QTableWidgetItem *nameItem = table->item(row, ColName);
            const QString name = nameItem->text();
            if (refuseName(name)) {
                nameItem->setText(QString());
                continue;
            }
            if (name.isEmpty())
                continue;
            const auto found = firstRowOfName.constFind(name);
            if (found != firstRowOfName.cend()) {
                message(tr("The name of the '%1' line already exists in this tab. Please use a different name.")
                            .arg(found.value() + 1));
                nameItem->setText(QString());
                continue;
            }
            firstRowOfName.insert(name, row);
        }
    }
    materializeVisibleRows(table);
}

void standardModbusEditDialog::fillLoadedRow(QTableWidget *table, int row, const QStringList &values)
{
    auto value = [&values](int column) { return column < values.size() ? values.at(column) : QString(); };
    table->setItem(row, ColAddress, new QTableWidgetItem(value(ColAddress)));
    table->setItem(row, ColName, new QTableWidgetItem(value(ColName)));

    // Until the row is first scrolled into view, its choices wait in read-only items holding
    // exactly what the widgets will show; a table of thousands of points would otherwise
    // carry four live widgets per row.
    const QString type = value(ColType);
    const QString permission = value(ColPermissions);
    const QString cells[] = {
        PointCsv::dataTypes().contains(type) ? type : PointCsv::dataTypes().first(),
        values.size() > ColLength ? value(ColLength) : QStringLiteral("1"),
        PointCsv::permissions().contains(permission) ? permission : PointCsv::permissions().first(),
    };
    for (int i = 0; i < 3; ++i) {
        auto *pending = new QTableWidgetItem(cells[i]);
        pending->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table->setItem(row, ColType + i, pending);
    }
    // A value beyond the fifth lies beneath the delete button.
    if (values.size() > ColDelete)
        table->setItem(row, ColDelete, new QTableWidgetItem(value(ColDelete)));
}

void standardModbusEditDialog::materializeRow(QTableWidget *table, int row)
{
    if (table->cellWidget(row, ColType))
        return;
    const QSignalBlocker blocker(table);
    auto takeText = [table, row](int column, const QString &fallback) {
        QTableWidgetItem *pending = table->takeItem(row, column);
        const QString text = pending ? pending->text() : fallback;
        delete pending;
        return text;
    };
    const QString typeText = takeText(ColType, PointCsv::dataTypes().first());
    const QString lengthText = takeText(ColLength, QStringLiteral("1"));
    const QString permissionText = takeText(ColPermissions, PointCsv::permissions().first());

    // Created inside the viewport: parented later, each would re-resolve its style.
    QWidget *viewport = table->viewport();
    auto *type = new QComboBox(viewport);
    type->addItems(PointCsv::dataTypes());
    selectText(type, typeText);
    type->installEventFilter(this);
    auto *length = new QLineEdit(lengthText, viewport);
    length->setEnabled(type->currentText() == kString);
    auto *permissions = new QComboBox(viewport);
    permissions->addItems(PointCsv::permissions());
    selectText(permissions, permissionText);
    permissions->installEventFilter(this);
    auto *remove = new QPushButton(viewport);
    remove->setIcon(m_deleteIcon);
    remove->setFixedSize(35, 35);

    table->setCellWidget(row, ColType, type);
    table->setCellWidget(row, ColLength, length);
    table->setCellWidget(row, ColPermissions, permissions);
    table->setCellWidget(row, ColDelete, remove);

    connect(type, &QComboBox::currentTextChanged, length, [length](const QString &text) {
        const bool isString = text == kString;
        length->setEnabled(isString);
        if (!isString)
            length->setText(QStringLiteral("1"));
    });
    connect(length, &QLineEdit::editingFinished, this, [this, length] { checkLength(length); });
    connect(remove, &QPushButton::clicked, this, [this, table, remove] { removeRowOf(table, remove); });
}

void standardModbusEditDialog::discardCellWidget(QTableWidget *table, int row, int column)
{
    // The view would only schedule the deletion; widgets of thousands of rows should not
    // linger as hidden children until the event loop comes round.
    QWidget *widget = table->cellWidget(row, column);
    if (!widget)
        return;
    table->removeCellWidget(row, column);
    delete widget;
}

void standardModbusEditDialog::dematerializeRow(QTableWidget *table, int row)
{
    auto *type = qobject_cast<QComboBox *>(table->cellWidget(row, ColType));
    auto *length = qobject_cast<QLineEdit *>(table->cellWidget(row, ColLength));
    auto *permissions = qobject_cast<QComboBox *>(table->cellWidget(row, ColPermissions));
    if (!type || !length || !permissions)
        return;
    const QString cells[] = {type->currentText(), length->text(), permissions->currentText()};
    const QSignalBlocker blocker(table);
    for (int column = ColType; column <= ColDelete; ++column)
        discardCellWidget(table, row, column);
    for (int i = 0; i < 3; ++i) {
        auto *pending = new QTableWidgetItem(cells[i]);
        pending->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table->setItem(row, ColType + i, pending);
    }
}

void standardModbusEditDialog::materializeVisibleRows(QTableWidget *table)
{
    QList<QPersistentModelIndex> &live = m_liveRows[table];
    const int rows = table->rowCount();
    // Rows on screen, estimated from the table's fixed height as well, since a table on a
    // tab not yet shown has no real viewport size.
    const int first = qMax(0, table->rowAt(0));
    const int perScreen = kTableHeight / qMax(1, table->verticalHeader()->defaultSectionSize()) + 1;
    const int last = qMin(rows - 1, qMax(table->rowAt(table->viewport()->height() - 1), first + perScreen));

    // Stored rows that scrolled well away give their widgets back, so scrolling through a
    // long table never leaves thousands of widgets behind. Rows added by hand, and a row
    // holding the focus, keep theirs.
    QWidget *focus = QApplication::focusWidget();
    QList<QPersistentModelIndex> kept;
    for (const QPersistentModelIndex &index : qAsConst(live)) {
        if (!index.isValid())
            continue;
        const int row = index.row();
        const bool near = row >= first - perScreen && row <= last + perScreen;
        bool focused = false;
        for (int column = ColType; column <= ColDelete && focus; ++column) {
            QWidget *cell = table->cellWidget(row, column);
            focused = focused || (cell && (cell == focus || cell->isAncestorOf(focus)));
        }
        if (near || focused)
            kept.append(index);
        else
            dematerializeRow(table, row);
    }
    live = kept;

    for (int row = first; row <= last; ++row) {
        if (table->cellWidget(row, ColType))
            continue;
        materializeRow(table, row);
        if (table->item(row, ColAddress))
            live.append(QPersistentModelIndex(table->model()->index(row, ColType)));
    }
}

void standardModbusEditDialog::clearTable(QTableWidget *table)
{
    // A row without a type widget has no widget at all.
    const QSignalBlocker blocker(table);
    for (int row = 0; row < table->rowCount(); ++row) {
        if (!table->cellWidget(row, ColType))
            continue;
        for (int column = 0; column < ColumnCount; ++column)
            discardCellWidget(table, row, column);
    }
    table->clearContents();
    table->setRowCount(0);
    m_liveRows.remove(table);
}

QStringList standardModbusEditDialog::rowValues(const QTableWidget *table, int row) const
{
    // Visiting cells in column order: item text, line-edit text, combo text; the delete
    // button adds nothing unless an item lies beneath it.
    QStringList values;
    for (int column = 0; column < ColumnCount; ++column) {
        if (const QTableWidgetItem *item = table->item(row, column)) {
            values.append(item->text());
            continue;
        }
        QWidget *widget = table->cellWidget(row, column);
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            values.append(edit->text());
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            values.append(combo->currentText());
    }
    return values;
}

bool standardModbusEditDialog::confirmFields()
{
    // A save before the deferred load ran must check the tabs it is about to write.
    loadPendingTabs();
    QVector<Validators::Field> fields;
    if (!m_networkGroup->isHidden()) {
        fields += {{tr("IP:"), m_ipEdit},
                   {tr("Port:"), m_portEdit},
                   {tr("Connection Timeout:"), m_connectionTimeoutEdit},
                   {tr("Communication Timeout:"), m_tcpTimeoutEdit},
                   {tr("Keep Alive Time:"), m_keepAliveEdit}};
    }
    if (!m_serialGroup->isHidden())
        fields += {{tr("Communication Timeout:"), m_rtuTimeoutEdit}, {tr("Communication Gap:"), m_gapEdit}};
    fields += {tr("Collection Interval"), m_intervalEdit};
    for (int i = 0; i < m_tabWidget->count(); ++i) {
        if (auto *station = m_tabWidget->widget(i)->findChild<QLineEdit *>(QStringLiteral("stationNumEdit")))
            fields += {m_tabWidget->tabText(i) + QLatin1Char(' ') + tr("Station Num:"), station};
    }
    if (!Validators::confirmAcceptable(this, fields))
        return false;
    return m_networkGroup->isHidden() || Validators::confirmNoLeadingZero(this, {{tr("IP:"), m_ipEdit}});
}

void standardModbusEditDialog::saveChanges()
{
    if (!m_item)
        return;
    // A save before the deferred load ran must not write an empty point table.
    loadPendingTabs();
    if (!confirmFields())
        return;
    log("save");

    m_item->setText(m_nameEdit->text());
    m_item->setData(QVariant(m_protocolCombo->currentText()), Role::Protocol);
    m_item->setData(QVariant(m_modbusCombo->currentText()), Role::Modbus);

    // The group's own visibility, not whether the dialog is on screen at the moment.
    const bool tcp = !m_networkGroup->isHidden();
    const bool rtu = !m_serialGroup->isHidden();
    auto writeText = [this](bool keep, int role, const QString &text) {
        m_item->setData(keep ? QVariant(text) : QVariant(), role);
    };
    writeText(tcp, Role::ModbusIp, m_ipEdit->text());
    writeText(tcp, Role::ModbusPort, m_portEdit->text());
    writeText(tcp, Role::ConnectionTimeout, m_connectionTimeoutEdit->text());
    writeText(tcp, Role::CommunicationTimeout, m_tcpTimeoutEdit->text());
    writeText(tcp, Role::KeepAlive, m_keepAliveEdit->text());

    for (const ComboField &field : qAsConst(m_comboFields))
        writeText(rtu, field.role, field.combo->currentText());
    m_item->setData(rtu ? QVariant(m_rtsCheck->isChecked()) : QVariant(), Role::RtsEnable);
    writeText(rtu, Role::CommunicationTimeoutRtu, m_rtuTimeoutEdit->text());
    writeText(rtu, Role::CommunicationGap, m_gapEdit->text());

    m_item->setData(QVariant(m_intervalEdit->text()), Role::CollectionInterval);

    PointTable points;
    for (int i = 0; i < m_tabWidget->count(); ++i) {
        QWidget *page = m_tabWidget->widget(i);
        auto *series = page->findChild<QComboBox *>(QStringLiteral("seriesComboBox"));
        auto *station = page->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"));
        auto *byteOrder = page->findChild<QComboBox *>(QStringLiteral("byteOrderComboBox"));
        auto *startAddress0 = page->findChild<QCheckBox *>(QStringLiteral("startAddress0CheckBox"));
        auto *charReversed = page->findChild<QCheckBox *>(QStringLiteral("charReversedCheckBox"));
        auto *table = page->findChild<QTableWidget *>();
        if (!series || !station || !byteOrder || !startAddress0 || !charReversed || !table)
            continue;
        QList<QVariantList> rows;
        rows.reserve(table->rowCount() + 1);
        rows.append(QVariantList{series->currentText(), station->text(), byteOrder->currentText(),
                                 startAddress0->isChecked(), charReversed->isChecked()});
        for (int row = 0; row < table->rowCount(); ++row) {
            QVariantList values;
            for (const QString &text : rowValues(table, row))
                values.append(text);
            rows.append(values);
        }
        points.insert(m_tabWidget->tabText(i), rows);
    }
    m_item->setData(QVariant::fromValue(points), Role::PointTable);

    message(tr("The Standard Modbus '%1' is saved successfully.").arg(m_nameEdit->text()));
}

// --- table checks -------------------------------------------------------------------

QTableWidget *standardModbusEditDialog::currentTable() const
{
    QWidget *page = m_tabWidget->currentWidget();
    return page ? page->findChild<QTableWidget *>() : nullptr;
}

QTableWidget *standardModbusEditDialog::tableFromSender() const
{
    if (auto *table = qobject_cast<QTableWidget *>(sender()))
        return table;
    return currentTable();
}

void standardModbusEditDialog::validateName(int row, int column)
{
    QTableWidget *table = tableFromSender();
    if (column != ColName || !table || !table->item(row, column))
        return;
    checkName(table, row, nullptr);
}

void standardModbusEditDialog::validateNameOnChange(int row, int column, QString newName)
{
    Q_UNUSED(newName)
    QTableWidget *table = tableFromSender();
    if (!table)
        return;
    if (auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(row, column)))
        checkName(table, row, edit);
}

void standardModbusEditDialog::validateAddr(int row, int column)
{
    QTableWidget *table = tableFromSender();
    if (column != ColAddress || !table || !table->item(row, column))
        return;
    checkAddress(table, row, nullptr);
}

void standardModbusEditDialog::validateAddrOnChange(int row, int column, QString text)
{
    Q_UNUSED(text)
    QTableWidget *table = tableFromSender();
    if (!table)
        return;
    if (auto *edit = qobject_cast<QLineEdit *>(table->cellWidget(row, column)))
        checkAddress(table, row, edit);
}

void standardModbusEditDialog::checkName(QTableWidget *table, int row, QLineEdit *edit)
{
    if (row < 0)
        return;
    QTableWidgetItem *item = edit ? nullptr : table->item(row, ColName);
    if (!edit && !item)
        return;
    const QString name = edit ? edit->text() : item->text();
    if (edit && name.trimmed().isEmpty())
        return;
    auto clear = [edit, item] {
        if (edit)
            edit->clear();
        else
            item->setText(QString());
    };
    if (refuseName(name)) {
        clear();
        return;
    }
    for (int other = 0; other < table->rowCount(); ++other) {
        if (other == row)
            continue;
        const QString otherName = cellText(table, other, ColName);
        if (!otherName.isEmpty() && otherName == name) {
            message(tr("The name of the '%1' line already exists in this tab. Please use a different name.")
                        .arg(other + 1));
            clear();
            return;
        }
    }
}

void standardModbusEditDialog::checkAddress(QTableWidget *table, int row, QLineEdit *edit)
{
    if (row < 0)
        return;
    QTableWidgetItem *item = edit ? nullptr : table->item(row, ColAddress);
    if (!edit && !item)
        return;
    const QString text = (edit ? edit->text() : item->text()).trimmed();
    if (text.isEmpty() || PointCsv::isValidAddress(text))
        return;
    if (edit)
        edit->clear();
    else
        item->setText(QString());
    message(tr("Invalid input in row %1: only letters, digits, underscores, dots, colons, and brackets are allowed.")
                .arg(row + 1));
}

void standardModbusEditDialog::checkLength(QLineEdit *edit)
{
    if (m_lengthWarningOpen)
        return;
    bool ok = false;
    const int length = edit->text().toInt(&ok);
    if (ok && length > 0)
        return;
    // Reset first: the box takes the focus, which finishes editing a second time.
    edit->setText(QStringLiteral("1"));
    m_lengthWarningOpen = true;
    QMessageBox::warning(this, tr("Warning"), tr("Length must be a positive integer between 1 and 10."));
    m_lengthWarningOpen = false;
}

// --- rows ---------------------------------------------------------------------------

void standardModbusEditDialog::removeRowOf(QTableWidget *table, QWidget *cellWidget)
{
    // The row whose button was pressed: a press on a cell widget does not always move the
    // current cell, and removing the current row instead would delete the wrong point.
    const int row = rowOfCellWidget(table, ColDelete, cellWidget);
    if (row < 0)
        return;
    log("removeParameter");
    table->removeRow(row);
    materializeVisibleRows(table); // rows below moved up into view
}

void standardModbusEditDialog::removeAllRows(QTableWidget *table)
{
    log("removeAllParameters");
    clearTable(table);
}

QStringList standardModbusEditDialog::headerLabels(const QTableWidget *table) const
{
    QStringList labels;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *header = table->horizontalHeaderItem(column);
        labels.append(header ? header->text() : QString());
    }
    return labels;
}

QString standardModbusEditDialog::askFileName(bool save)
{
    if (save)
        return FileDialogs::getSaveFileName(this, tr("Save CSV file"), QString(), tr("CSV file (*.csv)"));
    return FileDialogs::getOpenFileName(this, tr("Open CSV file"), QString(), tr("CSV File (*.csv)"));
}

void standardModbusEditDialog::importRows(QTableWidget *table)
{
    log("importParameters");
    const QString path = askFileName(false);
    if (path.isEmpty())
        return;
    // Far above any point table, far below what a file that never ends would cost.
    constexpr qint64 kCsvLimit = qint64(64) * 1024 * 1024;
    QByteArray bytes;
    const ProjectFileIo::Result read = ProjectFileIo::readBounded(path, kCsvLimit, &bytes);
    if (!read.ok()) {
        QMessageBox::warning(this, tr("mistake"), tr("Unable to open file for reading.") + QLatin1Char('\n') + read.error);
        return;
    }
    // As a text-mode read gives it: CR bytes dropped, decoded as the locale says.
    bytes.replace("\r", "");
    QTextStream in(bytes);
    const PointCsv::ReadResult result = PointCsv::read(in.readAll(), headerLabels(table));

    for (const PointCsv::Message &found : result.messages) {
        QString text;
        switch (found.problem) {
        case PointCsv::Problem::ColumnCount:
            text = tr("CSV file has incorrect column count, unable to import");
            break;
        case PointCsv::Problem::Header:
            text = tr("CSV header does not match expected format.");
            break;
        case PointCsv::Problem::Address:
            text = tr("The address in the CSV row does not match the expected format.");
            break;
        case PointCsv::Problem::Choice:
            text = tr("The multiple-choice content in the CSV row does not match the expected format. Set as default value");
            break;
        case PointCsv::Problem::Length:
            text = tr("The length of the numbers in the CSV row does not match the expected format.");
            break;
        case PointCsv::Problem::Quote:
            text = tr("Row %1 of the CSV file opens a quote that is never closed, unable to import")
                       .arg(found.line);
            break;
        }
        QMessageBox::warning(this, tr("error"), text);
    }
    if (result.stopped)
        return;
    clearTable(table);
    appendLoadedRows(table, result.rows);
}

void standardModbusEditDialog::exportRows(QTableWidget *table)
{
    log("exportParameters");
    const QString path = askFileName(true);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate)) {
        QMessageBox::warning(this, tr("Mistake"), tr("Unable to open file for writing."));
        return;
    }
    QList<QStringList> rows;
    rows.reserve(table->rowCount());
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList values;
        for (int column = 0; column < ColumnCount; ++column)
            values.append(cellText(table, row, column));
        rows.append(values);
    }
    QTextStream out(&file);
    out << PointCsv::write(headerLabels(table), rows);
}

// --- misc ---------------------------------------------------------------------------

bool standardModbusEditDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Scrolling the table must never change a choice under the pointer.
    if (event->type() == QEvent::Wheel && qobject_cast<QComboBox *>(watched))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool standardModbusEditDialog::refuseName(const QString &name)
{
    // Either would split the point's line in the CSV export or the project file.
    if (name.contains(QLatin1Char(','))) {
        message(tr("The name cannot contain a comma. Please use a different name."));
        return true;
    }
    if (PointCsv::hasLineBreak(name)) {
        message(tr("The name cannot contain a line break. Please use a different name."));
        return true;
    }
    return false;
}

void standardModbusEditDialog::message(const QString &text)
{
    emit messageAppended(text);
}

// --- test read -----------------------------------------------------------------------

void standardModbusEditDialog::openTestRead(QWidget *page)
{
    // The form as it stands now, saved or not, in the shape of the project file's parameters.
    const bool tcp = m_modbusCombo->currentText() != QLatin1String("ModbusRTU");
    if (tcp && !Validators::confirmNoLeadingZero(this, {{tr("IP:"), m_ipEdit}}))
        return;
    QJsonObject parameter{{"collectionInterval", m_intervalEdit->text()},
                          {"communicationTimeout", tcp ? m_tcpTimeoutEdit->text() : m_rtuTimeoutEdit->text()}};
    if (tcp) {
        parameter.insert("ip", m_ipEdit->text());
        parameter.insert("port", m_portEdit->text());
        parameter.insert("connectionTimeout", m_connectionTimeoutEdit->text());
    } else {
        parameter.insert("serialport", m_serialPortCombo->currentText());
        parameter.insert("baudRate", m_baudRateCombo->currentText());
        parameter.insert("dataBit", m_dataBitCombo->currentText());
        parameter.insert("stopBit", m_stopBitCombo->currentText());
        parameter.insert("parityBit", m_parityCombo->currentText());
    }
    const auto *table = page->findChild<QTableWidget *>();
    QList<QStringList> rows;
    for (int row = 0; table && row < table->rowCount(); ++row)
        rows.append(rowValues(table, row));
    const ModbusSlave slave(page->findChild<QLineEdit *>(QStringLiteral("stationNumEdit"))->text(),
                            page->findChild<QComboBox *>(QStringLiteral("byteOrderComboBox"))->currentText(),
                            page->findChild<QCheckBox *>(QStringLiteral("startAddress0CheckBox"))->isChecked(),
                            page->findChild<QCheckBox *>(QStringLiteral("charReversedCheckBox"))->isChecked(), rows);
    auto *window = new ModbusTestReadDialog(
        m_nameEdit->text(), ModbusLinkSettings::fromParameters(m_modbusCombo->currentText(), parameter), slave, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}
