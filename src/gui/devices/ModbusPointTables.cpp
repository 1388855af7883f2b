#include "gui/devices/ModbusPointTables.h"

#include "gui/devices/DeviceForm.h"
#include "gui/widgets/FileDialogs.h"
#include "core/support/WriteLog.h"
#include "core/project/PointCsv.h"
#include "core/project/ProjectFileIo.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextStream>
#include <QTranslator>

namespace {

const int kColumnWidths[ModbusPointTables::ColumnCount] = {70, 70, 80, 70, 70, 35};
const QString kString = QStringLiteral("string");
// The column headers, in order; exported as shown, so in the interface's language.
const char *const kHeaderSources[ModbusPointTables::ColumnCount] = {
    QT_TRANSLATE_NOOP("standardModbusEditDialog", "Address"),
    QT_TRANSLATE_NOOP("standardModbusEditDialog", "Name"),
    QT_TRANSLATE_NOOP("standardModbusEditDialog", "Type"),
    QT_TRANSLATE_NOOP("standardModbusEditDialog", "Length"),
    QT_TRANSLATE_NOOP("standardModbusEditDialog", "Permissions"),
    QT_TRANSLATE_NOOP("standardModbusEditDialog", "Deleat"),
};

int rowOfCellWidget(const QTableWidget *table, int column, const QWidget *widget)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->cellWidget(row, column) == widget)
            return row;
    }
    return -1;
}

} // namespace

ModbusPointTables::ModbusPointTables(QDialog *owner, std::function<void(const QString &)> message)
    : m_owner(owner)
    , m_message(std::move(message))
    , m_deleteIcon(QStringLiteral(":/adsdemo/images/Delete.svg"))
{
}

ModbusPointTables::~ModbusPointTables() = default;

void ModbusPointTables::log(const char *operation)
{
    writeLog(QLatin1String("standardModbusEditDialog: ") + QLatin1String(operation));
}

QString ModbusPointTables::cellText(const QTableWidget *table, int row, int column)
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

void ModbusPointTables::forget(QTableWidget *table)
{
    m_liveRows.remove(table);
}

void ModbusPointTables::message(const QString &text)
{
    m_message(text);
}

QTableWidget *ModbusPointTables::create(QWidget *page)
{
    auto *table = new QTableWidget(0, ColumnCount, page);
    QStringList labels;
    for (const char *source : kHeaderSources)
        labels.append(tr(source));
    table->setHorizontalHeaderLabels(labels);
    table->setStyleSheet(QStringLiteral("QTableWidget { border: none; }"));
    QHeaderView *header = table->horizontalHeader();
    header->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: #DDDDDD; }"));
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(QHeaderView::Interactive);
    DeviceForm::shapePointTable(table, kColumnWidths);

    // Stored rows get their widgets when they come into view (see materializeRow).
    QObject::connect(table->verticalScrollBar(), &QScrollBar::valueChanged, m_owner,
                     [this, table] { materializeVisibleRows(table); });
    QObject::connect(table->verticalHeader(), &QHeaderView::sectionResized, m_owner,
                     [this, table] { materializeVisibleRows(table); });
    return table;
}

int ModbusPointTables::insertEmptyRow(QTableWidget *table)
{
    const int row = table->rowCount();
    table->insertRow(row);
    QWidget *viewport = table->viewport();
    auto *address = new QLineEdit(viewport);
    auto *name = new QLineEdit(viewport);
    table->setCellWidget(row, ColAddress, address);
    table->setCellWidget(row, ColName, name);
    QObject::connect(address, &QLineEdit::editingFinished, m_owner, [this, table, address] {
        checkAddress(table, rowOfCellWidget(table, ColAddress, address), address);
    });
    // Checked once the name is complete: a check per keystroke would wipe "Temp10" as soon
    // as "Temp1" was typed when another row is already called "Temp1".
    QObject::connect(name, &QLineEdit::editingFinished, m_owner, [this, table, name] {
        checkName(table, rowOfCellWidget(table, ColName, name), name);
    });
    materializeRow(table, row);
    return row;
}

void ModbusPointTables::appendLoadedRows(QTableWidget *table, const QList<QStringList> &rows)
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

void ModbusPointTables::fillLoadedRow(QTableWidget *table, int row, const QStringList &values)
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

void ModbusPointTables::materializeRow(QTableWidget *table, int row)
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
    DeviceForm::selectExact(type, typeText);
    type->installEventFilter(m_owner);
    auto *length = new QLineEdit(lengthText, viewport);
    length->setEnabled(type->currentText() == kString);
    auto *permissions = new QComboBox(viewport);
    permissions->addItems(PointCsv::permissions());
    DeviceForm::selectExact(permissions, permissionText);
    permissions->installEventFilter(m_owner);
    auto *remove = new QPushButton(viewport);
    remove->setIcon(m_deleteIcon);
    remove->setFixedSize(35, 35);

    table->setCellWidget(row, ColType, type);
    table->setCellWidget(row, ColLength, length);
    table->setCellWidget(row, ColPermissions, permissions);
    table->setCellWidget(row, ColDelete, remove);

    QObject::connect(type, &QComboBox::currentTextChanged, length, [length](const QString &text) {
        const bool isString = text == kString;
        length->setEnabled(isString);
        if (!isString)
            length->setText(QStringLiteral("1"));
    });
    QObject::connect(length, &QLineEdit::editingFinished, m_owner, [this, length] { checkLength(length); });
    QObject::connect(remove, &QPushButton::clicked, m_owner, [this, table, remove] { removeRowOf(table, remove); });
}

void ModbusPointTables::discardCellWidget(QTableWidget *table, int row, int column)
{
    // The view would only schedule the deletion; widgets of thousands of rows should not
    // linger as hidden children until the event loop comes round.
    QWidget *widget = table->cellWidget(row, column);
    if (!widget)
        return;
    table->removeCellWidget(row, column);
    delete widget;
}

void ModbusPointTables::dematerializeRow(QTableWidget *table, int row)
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

void ModbusPointTables::materializeVisibleRows(QTableWidget *table)
{
    QList<QPersistentModelIndex> &live = m_liveRows[table];
    const int rows = table->rowCount();
    // Rows on screen, estimated from a tall table's height as well, since a table on a tab
    // not yet shown has no real viewport size.
    const int first = qMax(0, table->rowAt(0));
    const int perScreen = TableHeight / qMax(1, table->verticalHeader()->defaultSectionSize()) + 1;
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

void ModbusPointTables::clear(QTableWidget *table)
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

QStringList ModbusPointTables::rowValues(const QTableWidget *table, int row)
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

void ModbusPointTables::checkName(QTableWidget *table, int row, QLineEdit *edit)
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

void ModbusPointTables::checkAddress(QTableWidget *table, int row, QLineEdit *edit)
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

void ModbusPointTables::checkLength(QLineEdit *edit)
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
    QMessageBox::warning(m_owner, tr("Warning"), tr("Length must be a positive integer between 1 and 10."));
    m_lengthWarningOpen = false;
}

void ModbusPointTables::removeRowOf(QTableWidget *table, QWidget *cellWidget)
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

void ModbusPointTables::removeAll(QTableWidget *table)
{
    log("removeAllParameters");
    clear(table);
}

QStringList ModbusPointTables::headerLabels(const QTableWidget *table)
{
    QStringList labels;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *header = table->horizontalHeaderItem(column);
        labels.append(header ? header->text() : QString());
    }
    return labels;
}

QList<QStringList> ModbusPointTables::acceptedHeaders(const QTableWidget *table)
{
    // A file exported in either interface language imports in either: the header as shown,
    // the English one and the Chinese one, whichever language runs now.
    QStringList english;
    QStringList chinese;
    QTranslator catalogue;
    const bool loaded = catalogue.load(QStringLiteral(":/adsdemo/chinese.qm"));
    for (const char *source : kHeaderSources) {
        english.append(QString::fromLatin1(source));
        const QString translated = loaded ? catalogue.translate("standardModbusEditDialog", source) : QString();
        chinese.append(translated.isEmpty() ? english.last() : translated);
    }
    return {headerLabels(table), english, chinese};
}

QString ModbusPointTables::askFileName(bool save)
{
    if (save)
        return FileDialogs::getSaveFileName(m_owner, tr("Save CSV file"), QString(), tr("CSV file (*.csv)"));
    return FileDialogs::getOpenFileName(m_owner, tr("Open CSV file"), QString(), tr("CSV File (*.csv)"));
}

void ModbusPointTables::importRows(QTableWidget *table)
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
        QMessageBox::warning(m_owner, tr("mistake"), tr("Unable to open file for reading.") + QLatin1Char('\n') + read.error);
        return;
    }
    // As a text-mode read gives it: CR bytes dropped (no GBK or UTF-8 sequence holds one).
    bytes.replace("\r", "");
    const PointCsv::ReadResult result = PointCsv::read(PointCsv::decode(bytes), acceptedHeaders(table));

    for (const PointCsv::Message &found : result.messages) {
        QString text;
        switch (found.problem) {
        case PointCsv::Problem::ColumnCount:
            text = tr("CSV file has incorrect column count, unable to import");
            break;
        case PointCsv::Problem::Header:
            text = tr("CSV header does not match expected format.") + QLatin1Char('\n')
                   + tr("Expected header: %1").arg(headerLabels(table).join(QLatin1Char(',')));
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
        QMessageBox::warning(m_owner, tr("error"), text);
    }
    if (result.stopped)
        return;
    // Points typed by hand are gone once replaced: asked first, the table left alone on No.
    if (table->rowCount() > 0) {
        const auto answer = QMessageBox::question(
            m_owner, tr("Import"),
            tr("This tab holds %1 points. Importing replaces them with the %2 points of the file. Replace them?")
                .arg(table->rowCount())
                .arg(result.rows.size()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    clear(table);
    appendLoadedRows(table, result.rows);
}

void ModbusPointTables::exportRows(QTableWidget *table)
{
    log("exportParameters");
    const QString path = askFileName(true);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate)) {
        QMessageBox::warning(m_owner, tr("Mistake"), tr("Unable to open file for writing."));
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
    // Not the locale's codec: under a C locale the Chinese header would be lost.
    out.setCodec("UTF-8");
    out << PointCsv::write(headerLabels(table), rows);
}

bool ModbusPointTables::refuseName(const QString &name)
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
