#include "gui/project/EditProjectDialog.h"

#include "core/support/WriteLog.h"
#include "gui/project/ProjectNameCheck.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

EditProjectDialog::EditProjectDialog(const QString &name, const QString &path,
                                     const QString &description, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Edit Project"));

    auto *nameRow = new QWidget(this);
    auto *nameLayout = new QHBoxLayout(nameRow);
    nameLayout->addWidget(new QLabel(tr("Name:"), nameRow));
    m_nameEdit = new QLineEdit(nameRow);
    nameLayout->addWidget(m_nameEdit);

    auto *pathRow = new QWidget(this);
    auto *pathLayout = new QHBoxLayout(pathRow);
    pathLayout->addWidget(new QLabel(tr("Path:"), pathRow));
    m_pathEdit = new QLineEdit(pathRow);
    // The project file stays where it is; only name and description change here.
    m_pathEdit->setReadOnly(true);
    pathLayout->addWidget(m_pathEdit);

    auto *descriptionRow = new QWidget(this);
    auto *descriptionLayout = new QHBoxLayout(descriptionRow);
    m_descriptionEdit = new QTextEdit(descriptionRow);
    descriptionLayout->addWidget(m_descriptionEdit);

    auto *buttonRow = new QWidget(this);
    auto *buttonLayout = new QHBoxLayout(buttonRow);
    m_saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("Save"), buttonRow);
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"), buttonRow);
    buttonLayout->addWidget(m_saveButton);
    buttonLayout->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(nameRow);
    layout->addWidget(pathRow);
    layout->addWidget(new QLabel(tr("Description:"), this));
    layout->addWidget(descriptionRow);
    layout->addWidget(buttonRow);

    setFields(name, path, description);

    connect(m_saveButton, &QPushButton::clicked, this, &EditProjectDialog::saveChanges);
    connect(m_cancelButton, &QPushButton::clicked, this, &EditProjectDialog::reject);

    writeLog(QStringLiteral("EditProjectDialog：new-nuilt"));
}

EditProjectDialog::~EditProjectDialog()
{
    writeLog(QStringLiteral("EditProjectDialog: destroyed"));
}

void EditProjectDialog::setFields(const QString &name, const QString &path, const QString &description)
{
    m_nameEdit->setText(name);
    m_pathEdit->setText(path);
    m_descriptionEdit->setPlainText(description);
}

void EditProjectDialog::saveChanges()
{
    const QString name = m_nameEdit->text();
    if (name.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Warning"), QStringLiteral("Name cannot be empty."));
        return;
    }
    if (!ProjectNameCheck::accept(this, name))
        return;
    emit projectModified(name, m_pathEdit->text(), m_descriptionEdit->toPlainText());
    writeLog(QStringLiteral("EditProjectDialog：save"));
}
