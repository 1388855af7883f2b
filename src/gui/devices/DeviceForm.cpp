#include "gui/devices/DeviceForm.h"

#include "gui/widgets/Validators.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>

namespace DeviceForm {

QStringList serialPortChoices()
{
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
}

QStringList baudRateChoices()
{
    return {QStringLiteral("115200"), QStringLiteral("57600"), QStringLiteral("38400"),
            QStringLiteral("19200"),  QStringLiteral("9600"),  QStringLiteral("4800"),
            QStringLiteral("2400"),   QStringLiteral("1200"),  QStringLiteral("600")};
}

QStringList dataBitChoices()
{
    return {QStringLiteral("8"), QStringLiteral("7")};
}

QStringList stopBitChoices()
{
    return {QStringLiteral("1"), QStringLiteral("2")};
}

QStringList parityChoices()
{
    return {QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("EVEN")};
}

QComboBox *choiceCombo(const QStringList &choices)
{
    auto *combo = new QComboBox;
    combo->addItems(choices);
    return combo;
}

QLineEdit *intEdit(int bottom, int top)
{
    auto *edit = new QLineEdit;
    edit->setValidator(Validators::integer(bottom, top, edit));
    return edit;
}

int findExact(const QComboBox *combo, const QString &text)
{
    return combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void selectExact(QComboBox *combo, const QString &text)
{
    const int index = findExact(combo, text);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

void selectOr(QComboBox *combo, const QString &text, const QString &fallback)
{
    int index = findExact(combo, text);
    if (index < 0)
        index = fallback.isEmpty() ? 0 : findExact(combo, fallback);
    combo->setCurrentIndex(index);
}

SerialLineRecord readSerialLine(const SerialLineControls &controls)
{
    SerialLineRecord line;
    line.serialPort = controls.serialPort->currentText();
    line.baudRate = controls.baudRate->currentText();
    line.dataBit = controls.dataBit->currentText();
    line.stopBit = controls.stopBit->currentText();
    line.parityBit = controls.parity->currentText();
    line.rtsEnable = controls.rts->isChecked();
    line.communicationGap = controls.gap->text();
    return line;
}

void showSerialLine(const SerialLineControls &controls, const SerialLineRecord &line, const QString &baudFallback,
                    const QString &parityFallback)
{
    selectOr(controls.serialPort, line.serialPort);
    selectOr(controls.baudRate, line.baudRate, baudFallback);
    selectOr(controls.dataBit, line.dataBit);
    selectOr(controls.stopBit, line.stopBit);
    selectOr(controls.parity, line.parityBit, parityFallback);
    controls.rts->setChecked(line.rtsEnable);
    controls.gap->setText(line.communicationGap);
}

QHBoxLayout *formColumns(QFormLayout **left, QFormLayout **right)
{
    auto *columns = new QHBoxLayout;
    *left = new QFormLayout;
    *right = new QFormLayout;
    columns->addLayout(*left, 1);
    columns->addSpacing(12);
    columns->addLayout(*right, 1);
    return columns;
}

void shapePointTable(QTableWidget *table, const int *columnWidths)
{
    // Header, a few rows and a scroll bar: the rest of a tall dock goes to more rows.
    const int fewRows = 3;
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height()
                            + fewRows * table->verticalHeader()->defaultSectionSize()
                            + table->horizontalScrollBar()->sizeHint().height() + 2 * table->frameWidth());
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QHeaderView *header = table->horizontalHeader();
    for (int column = 0; column < table->columnCount(); ++column)
        table->setColumnWidth(column, qMax(columnWidths[column], header->sectionSizeHint(column)));
}

int renumberTabs(QTabWidget *tabs, const QString &prefix)
{
    for (int i = 0; i < tabs->count(); ++i)
        tabs->setTabText(i, QStringLiteral("%1-%2").arg(prefix).arg(i + 1));
    return tabs->count() + 1;
}

} // namespace DeviceForm
