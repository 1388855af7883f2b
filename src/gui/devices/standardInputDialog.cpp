#include "gui/devices/standardInputDialog.h"

#include "core/support/WriteLog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

standardInputDialog::standardInputDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Add Standard"));
    setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/standard.svg")));
    resize(400, 200);

    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(tr("Name:"), this));
    m_nameEdit = new QLineEdit(this);
    nameRow->addWidget(m_nameEdit);

    auto *protocolRow = new QHBoxLayout;
    protocolRow->addWidget(new QLabel(tr("Protocol:"), this));
    m_protocolCombo = new QComboBox(this);
    m_protocolCombo->addItems({QStringLiteral("DLT645"), QStringLiteral("Modbus")});
    protocolRow->addWidget(m_protocolCombo);

    auto *buttonRow = new QHBoxLayout;
    m_okButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("OK"), this);
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"), this);
    buttonRow->addWidget(m_okButton);
    buttonRow->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addLayout(protocolRow);
    layout->addLayout(buttonRow);

    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    writeLog(QStringLiteral("standardInputDialog: new-nuilt"));
}

standardInputDialog::~standardInputDialog()
{
    writeLog(QStringLiteral("standardInputDialog: destroyed"));
}

QString standardInputDialog::getName() const
{
    return m_nameEdit->text();
}

QString standardInputDialog::getProtocol() const
{
    return m_protocolCombo->currentText();
}
