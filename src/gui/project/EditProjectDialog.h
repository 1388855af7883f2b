#pragma once

// Edits a project's name and description inside the "Edit Project" dock. It only reports
// the new values; the main window checks and applies them.

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTextEdit;

class EditProjectDialog : public QDialog
{
    Q_OBJECT
public:
    EditProjectDialog(const QString &name, const QString &path, const QString &description,
                      QWidget *parent = nullptr);
    ~EditProjectDialog() override;

    void setFields(const QString &name, const QString &path, const QString &description);

    QLineEdit *nameEdit() const { return m_nameEdit; }
    QLineEdit *pathEdit() const { return m_pathEdit; }
    QTextEdit *descriptionEdit() const { return m_descriptionEdit; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

signals:
    void projectModified(const QString &name, const QString &path, const QString &description);

public slots:
    void saveChanges();

private:
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_pathEdit = nullptr;
    QTextEdit *m_descriptionEdit = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
