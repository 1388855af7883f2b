#pragma once

// "Add Box": asks for a new box's name, IP address and model. The main window validates
// the name and creates the box item from these three texts.

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

class BoxInputDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BoxInputDialog(QWidget *parent = nullptr);
    ~BoxInputDialog() override;

    QString getBoxName() const;
    QString getIpAddress() const;
    QString getModel() const;

    QLineEdit *nameEdit() const { return m_nameEdit; }
    QLineEdit *ipEdit() const { return m_ipEdit; }
    QComboBox *modelCombo() const { return m_modelCombo; }
    QPushButton *okButton() const { return m_okButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

private:
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_ipEdit = nullptr;
    QComboBox *m_modelCombo = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
