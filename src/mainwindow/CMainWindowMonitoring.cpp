// Live data: data items under the project's "Data" folder and the monitoring tables.

#include "mainwindow/CMainWindow.h"

#include "projectfile/ItemRecord.h"

#include <qtadvanceddocking/DockWidget.h>

#include <QDateTime>
#include <QDebug>
#include <QHash>
#include <QHeaderView>
#include <QJsonObject>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeView>
#include <QTabBar>
#include <QVBoxLayout>

namespace {
const QString kNoDisplay = QStringLiteral("NoDisplay");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kHeaderStyle = QStringLiteral("QHeaderView::section { background-color: #DDDDDD; }");
const QString kTabStyle = QStringLiteral(
    "QTabBar::tab { font-size: 16px; color: black; background-color: #e0e0e0; border-radius: 5px; "
    "min-width: 80px; height: 20px; padding: 5px 10px; } "
    "QTabBar::tab:selected { background-color: #1296db; color: white; } "
    "QTabBar::tab:hover { background-color: #7dc5eb; }");
constexpr int kColumns = 6;
constexpr int kUpdateTimeWidth = 180;

// Re-applying an unchanged sheet still re-polishes every child widget.
void applyStyleSheet(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

// True when the cell's text changed.
bool setCell(QTableWidget *table, int row, int column, const QString &text)
{
    QTableWidgetItem *cell = table->item(row, column);
    if (!cell) {
        table->setItem(row, column, new QTableWidgetItem(text));
        return true;
    }
    if (cell->text() == text)
        return false;
    // After a sort the item's cached position is stale, and a stale item looks itself up by
    // a linear search on every change: taking it out and putting it back renews the position,
    // so a report stays linear in the number of points.
    cell = table->takeItem(row, column);
    cell->setText(text);
    table->setItem(row, column, cell);
    return true;
}
} // namespace

void CMainWindow::onDataReceived(Protocol::dataMonitoringData data)
{
    qDebug() << "Main: " << data.projectName;

    QStandardItem *project = childWithText(m_projectModel->invisibleRootItem(), data.projectName);
    if (!project)
        return;

    QStandardItem *dataFolder = childWithText(project, Folder::Data);
    if (!dataFolder) {
        dataFolder = new QStandardItem(QIcon(QStringLiteral(":/adsdemo/images/Data.png")), Folder::Data);
        project->appendRow(dataFolder);
    }

    QStandardItem *dataItem = nullptr;
    for (int i = 0; i < dataFolder->rowCount(); ++i) {
        QStandardItem *child = dataFolder->child(i);
        if (child && child->text() == data.plcName)
            dataItem = child; // the last one wins
    }

    const QString now = QDateTime::currentDateTime().toString(kTimeFormat);
    QVariantList rows;
    rows.reserve(data.datas.size());
    for (const QJsonValue &value : qAsConst(data.datas)) {
        if (!value.isObject())
            continue;
        const QJsonObject point = value.toObject();
        QString valid = point.value(QStringLiteral("valid")).toString();
        if (valid.isEmpty())
            valid = QStringLiteral("Invalid");
        QVariantMap row;
        row.insert(QStringLiteral("name"), point.value(QStringLiteral("name")).toString());
        row.insert(QStringLiteral("addr"), point.value(QStringLiteral("addr")).toString());
        row.insert(QStringLiteral("dataType"), point.value(QStringLiteral("dataType")).toString());
        row.insert(QStringLiteral("value"), point.value(QStringLiteral("value")).toString());
        row.insert(QStringLiteral("valid"), valid);
        row.insert(QStringLiteral("updateTime"), now);
        rows.append(row);
    }

    if (dataItem) {
        dataItem->setData(rows, Role::DataRows);
        showDataInTable(dataItem, now, data.plcName);
    } else {
        // A device's first report only files the data; its table appears from the second on.
        dataItem = new QStandardItem(QIcon(QStringLiteral(":/adsdemo/images/data-file.svg")),
                                     data.plcName);
        dataItem->setData(rows, Role::DataRows);
        dataItem->setData(kNoDisplay, Role::DataDisplay);
        dataFolder->appendRow(dataItem);
    }
    m_projectView->expandAll();
}

QTableWidget *CMainWindow::monitoringTable(QTabWidget *tabs, const QString &plcName)
{
    QWidget *page = nullptr;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == plcName) {
            page = tabs->widget(i);
            break;
        }
    }
    if (!page) {
        page = new QWidget;
        auto *layout = new QVBoxLayout(page);
        layout->addWidget(new QTableWidget);
        tabs->addTab(page, plcName);
    }
    return page->findChild<QTableWidget *>();
}

void CMainWindow::showDataInTable(QStandardItem *dataItem, QString updateTime, QString plcName)
{
    auto *tabs = qobject_cast<QTabWidget *>(m_dataDock ? m_dataDock->widget() : nullptr);
    if (!tabs || !dataItem)
        return;
    tabs->setTabsClosable(false);
    QTableWidget *table = monitoringTable(tabs, plcName);
    if (!table)
        return;

    // Sorting waits until every row is written, so an appended row keeps its six cells together.
    table->setSortingEnabled(false);
    if (table->columnCount() != kColumns)
        table->setColumnCount(kColumns);
    table->setHorizontalHeaderLabels({tr("Name"), tr("Addr"), tr("DataType"), tr("Value"),
                                      tr("Valid"), tr("Update Time")});

    const int verticalPos = table->verticalScrollBar()->value();
    const int horizontalPos = table->horizontalScrollBar()->value();

    // Name -> row, so every point of the report finds its row in constant time.
    const int oldCount = table->rowCount();
    QHash<QString, int> rowOf;
    rowOf.reserve(oldCount);
    // Bottom up, so the first row of a name is the one that stays in the index; a later row
    // of the same name is never matched and goes with the vanished ones.
    for (int row = oldCount - 1; row >= 0; --row) {
        const QTableWidgetItem *nameCell = table->item(row, 0);
        rowOf.insert(nameCell ? nameCell->text() : QString(), row);
    }
    QVector<bool> seen(oldCount, false);

    const QString effective = tr("Effective");
    const QString invalid = tr("Invalid");
    const QString unknown = tr("Unknown");
    const QString nameKey = QStringLiteral("name");
    const QString addrKey = QStringLiteral("addr");
    const QString dataTypeKey = QStringLiteral("dataType");
    const QString valueKey = QStringLiteral("value");
    const QString validKey = QStringLiteral("valid");
    const QString timeKey = QStringLiteral("updateTime");

    QVector<QStringList> appended;
    const QVariantList rows = dataItem->data(Role::DataRows).toList();
    // Rewritten cells are announced to the view once, below, not twice per cell.
    QSignalBlocker quiet(table->model());
    bool rewritten = false;
    for (const QVariant &entry : rows) {
        const QVariantMap point = entry.toMap();
        const QString valid = point.value(validKey).toString();
        const QString validText = valid == QLatin1String("1")   ? effective
                                  : valid == QLatin1String("0") ? invalid
                                                                : unknown;
        const QString timeText = updateTime.isEmpty() ? point.value(timeKey).toString() : updateTime;
        const QString name = point.value(nameKey).toString();
        const QStringList cells{name,
                                point.value(addrKey).toString(),
                                point.value(dataTypeKey).toString(),
                                point.value(valueKey).toString(),
                                validText,
                                timeText};

        const auto found = rowOf.constFind(name);
        if (found == rowOf.constEnd()) {
            rowOf.insert(name, oldCount + appended.size());
            appended.append(cells);
            continue;
        }
        const int row = found.value();
        if (row >= oldCount) {
            // Same name twice in one report: the later point overwrites the pending row.
            QStringList &pending = appended[row - oldCount];
            for (int column = 1; column < kColumns; ++column)
                pending[column] = cells[column];
            continue;
        }
        seen[row] = true;
        for (int column = 1; column < kColumns; ++column)
            rewritten |= setCell(table, row, column, cells[column]);
    }
    quiet.unblock();
    if (rewritten) {
        QAbstractItemModel *model = table->model();
        emit model->dataChanged(model->index(0, 1), model->index(oldCount - 1, kColumns - 1));
    }

    // Points missing from this report go, in runs from the bottom up.
    for (int row = oldCount - 1; row >= 0;) {
        if (seen[row]) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !seen[first - 1])
            --first;
        table->model()->removeRows(first, row - first + 1);
        row = first - 1;
    }

    if (!appended.isEmpty()) {
        const int base = table->rowCount();
        table->setRowCount(base + appended.size());
        {
            const QSignalBlocker quietAppend(table->model());
            for (int i = 0; i < appended.size(); ++i) {
                const QStringList &cells = appended[i];
                for (int column = 0; column < kColumns; ++column)
                    table->setItem(base + i, column, new QTableWidgetItem(cells[column]));
            }
        }
        QAbstractItemModel *model = table->model();
        emit model->dataChanged(model->index(base, 0), model->index(table->rowCount() - 1, kColumns - 1));
    }

    table->setSortingEnabled(true);
    table->verticalScrollBar()->setValue(verticalPos);
    table->horizontalScrollBar()->setValue(horizontalPos);

    applyStyleSheet(table->horizontalHeader(), kHeaderStyle);
    table->setColumnWidth(5, kUpdateTimeWidth);
    applyStyleSheet(tabs, kTabStyle);
    // The sheet draws tab titles at 16 px, but the tab bar sizes its tabs from its own font;
    // give it the same size so long device names are not clipped.
    if (tabs->tabBar()->font().pixelSize() != 16) {
        QFont font = tabs->tabBar()->font();
        font.setPixelSize(16);
        tabs->tabBar()->setFont(font);
    }
}
