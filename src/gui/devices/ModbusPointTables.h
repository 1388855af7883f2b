#pragma once

// The data-point tables of the Modbus editor's slave tabs: their rows (stored rows get their
// widgets only while in view, so a table of thousands of points stays light), the name,
// address and length checks, Remove All, and CSV import and export. Texts and log lines are
// the editor's own.

#include <QCoreApplication>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QStringList>

#include <functional>

class QDialog;
class QLineEdit;
class QTableWidget;
class QWidget;

class ModbusPointTables
{
    Q_DECLARE_TR_FUNCTIONS(standardModbusEditDialog)
public:
    enum Column { ColAddress = 0, ColName, ColType, ColLength, ColPermissions, ColDelete, ColumnCount };
    // Height of a tall table, for the rows on screen before it has a viewport of its own.
    static constexpr int TableHeight = 600;

    // owner: the editor; parent of message boxes and context of every connection, so that
    // its destructor cuts them all. message: a line for the Message dock.
    ModbusPointTables(QDialog *owner, std::function<void(const QString &)> message);
    ~ModbusPointTables();

    static void log(const char *operation);
    // The text a cell shows to the user: item, line edit or combo box; the delete button none.
    static QString cellText(const QTableWidget *table, int row, int column);
    // A point row as stored: the cells in column order (item text, line-edit text, combo
    // text); the delete button adds nothing unless an item lies beneath it.
    static QStringList rowValues(const QTableWidget *table, int row);

    QTableWidget *create(QWidget *page);
    // Drops what is kept about a table that is about to be deleted.
    void forget(QTableWidget *table);
    int insertEmptyRow(QTableWidget *table);
    void appendLoadedRows(QTableWidget *table, const QList<QStringList> &rows);
    void clear(QTableWidget *table);
    void removeAll(QTableWidget *table);
    void importRows(QTableWidget *table);
    void exportRows(QTableWidget *table);

    // Without a line edit the check acts on the row's item.
    void checkName(QTableWidget *table, int row, QLineEdit *edit);
    void checkAddress(QTableWidget *table, int row, QLineEdit *edit);

private:
    void fillLoadedRow(QTableWidget *table, int row, const QStringList &values);
    void materializeRow(QTableWidget *table, int row);
    void dematerializeRow(QTableWidget *table, int row);
    void discardCellWidget(QTableWidget *table, int row, int column);
    void materializeVisibleRows(QTableWidget *table);
    void checkLength(QLineEdit *edit);
    void removeRowOf(QTableWidget *table, QWidget *cellWidget);
    static QStringList headerLabels(const QTableWidget *table);
    static QList<QStringList> acceptedHeaders(const QTableWidget *table);
    QString askFileName(bool save);
    bool refuseName(const QString &name);
    void message(const QString &text);

    QDialog *m_owner;
    std::function<void(const QString &)> m_message;
    QIcon m_deleteIcon; // shared by every row's delete button
    bool m_lengthWarningOpen = false;
    // Per table, the stored rows that currently have their widgets (see materializeRow).
    QHash<QTableWidget *, QList<QPersistentModelIndex>> m_liveRows;
};
