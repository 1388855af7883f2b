#pragma once

// Asks for a new project's name, directory and description. Creating the project item is
// left to the receiver of projectCreated.

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTextEdit;

class NewProjectDialog : public QDialog
{
    Q_OBJECT
public:
    explicit NewProjectDialog(QWidget *parent = nullptr);
    ~NewProjectDialog() override;

    QLineEdit *nameEdit() const { return m_nameEdit; }
    QLineEdit *pathEdit() const { return m_pathEdit; }
    QTextEdit *descriptionEdit() const { return m_descriptionEdit; }
    QPushButton *browseButton() const { return m_browseButton; }
    QPushButton *okButton() const { return m_okButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

signals:
    void projectCreated(const QString &name, const QString &path, const QString &description);

public slots:
    void browsePath();
    void createProject();

private:
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_pathEdit = nullptr;
    QPushButton *m_browseButton = nullptr;
    QTextEdit *m_descriptionEdit = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
