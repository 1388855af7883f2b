#include "gui/project/NewProjectDialog.h"

#include "gui/widgets/FileDialogs.h"
#include "core/support/WriteLog.h"
#include "gui/project/ProjectNameCheck.h"

#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

NewProjectDialog::NewProjectDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("New Project"));
    setWindowIcon(QIcon(QStringLiteral(":/adsdemo/images/New.png")));

    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(tr("Name:"), this));
    m_nameEdit = new QLineEdit(this);
    nameRow->addWidget(m_nameEdit);

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(tr("Path:"), this));
    m_pathEdit = new QLineEdit(this);
    // The directory comes from the chooser only, so it always names an existing folder.
    m_pathEdit->setReadOnly(true);
    pathRow->addWidget(m_pathEdit);
    m_browseButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/look.svg")), tr("Browse"), this);
    pathRow->addWidget(m_browseButton);

    m_descriptionEdit = new QTextEdit(this);
    m_okButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("OK"), this);
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"), this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addLayout(pathRow);
    layout->addWidget(new QLabel(tr("Description:"), this));
    layout->addWidget(m_descriptionEdit);
    layout->addWidget(m_okButton);
    layout->addWidget(m_cancelButton);

    connect(m_browseButton, &QPushButton::clicked, this, &NewProjectDialog::browsePath);
    connect(m_okButton, &QPushButton::clicked, this, &NewProjectDialog::createProject);
    connect(m_cancelButton, &QPushButton::clicked, this, &NewProjectDialog::reject);

    writeLog(QStringLiteral("NewProjectDialog: new-nuilt"));
}

NewProjectDialog::~NewProjectDialog()
{
    writeLog(QStringLiteral("NewProjectDialog: destroyed"));
}

void NewProjectDialog::browsePath()
{
    const QString directory = FileDialogs::getExistingDirectory(this, tr("Select Directory"),
                                                                QDir::homePath(), QFileDialog::ShowDirsOnly);
    if (!directory.isEmpty())
        m_pathEdit->setText(directory);
}

void NewProjectDialog::createProject()
{
    const QString name = m_nameEdit->text();
    const QString path = m_pathEdit->text();
    if (name.isEmpty() || path.isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("Name and Path cannot be empty."));
        return;
    }
    // Refused here, the dialog stays open for a better name.
    if (!ProjectNameCheck::accept(this, name))
        return;
    emit projectCreated(name, path, m_descriptionEdit->toPlainText());
    accept();
}
