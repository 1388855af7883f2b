#include "gui/boxlink/BoxInputDialog.h"

#include "gui/widgets/Validators.h"
#include "core/support/WriteLog.h"
#include "core/project/Ipv4Address.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegExp>
#include <QVBoxLayout>

BoxInputDialog::BoxInputDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Add Box"));
    setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/Box.png")));

    m_nameEdit = new QLineEdit(this);
    m_ipEdit = new QLineEdit(this);
    m_ipEdit->setValidator(Validators::ipv4(m_ipEdit));
    m_modelCombo = new QComboBox(this);
    m_modelCombo->addItems({QStringLiteral("TLK-BOX-600"), QStringLiteral("TLK-BOX-200")});

    auto *form = new QFormLayout;
    form->addRow(tr("Box Name:"), m_nameEdit);
    form->addRow(tr("IP Address:"), m_ipEdit);
    form->addRow(tr("Model:"), m_modelCombo);

    auto *buttonRow = new QHBoxLayout;
    m_okButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("OK"), this);
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"), this);
    buttonRow->addWidget(m_okButton);
    buttonRow->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttonRow);

    connect(m_okButton, &QPushButton::clicked, this, [this] {
        // The validator lets a prefix such as "127.0.0" stand while typing, and a leading zero
        // that some read as octal ("127.0.4.020" as .16): neither is taken.
        if (!m_ipEdit->text().isEmpty() && !Ipv4Address::isValid(m_ipEdit->text())) {
            QMessageBox::warning(this, tr("Invalid Input"),
                                 tr("The IP address \"%1\" is incomplete or not valid.")
                                     .arg(m_ipEdit->text()),
                                 QMessageBox::Ok);
            return;
        }
        accept();
    });
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    writeLog(QStringLiteral("BoxInputDialog: new-nuilt"));
}

BoxInputDialog::~BoxInputDialog()
{
    writeLog(QStringLiteral("BoxInputDialog: destroyed"));
}

QString BoxInputDialog::getBoxName() const
{
    return m_nameEdit->text();
}

QString BoxInputDialog::getIpAddress() const
{
    return m_ipEdit->text();
}

QString BoxInputDialog::getModel() const
{
    return m_modelCombo->currentText();
}
