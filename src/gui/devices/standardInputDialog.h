#pragma once

// "Add Standard": asks for a new standard device's name and protocol. It checks nothing;
// the main window validates the name before it creates the item.

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

class standardInputDialog : public QDialog
{
    Q_OBJECT
public:
    explicit standardInputDialog(QWidget *parent = nullptr);
    ~standardInputDialog() override;

    QString getName() const;     // as typed, untrimmed
    QString getProtocol() const; // "DLT645" or "Modbus"

    QLineEdit *nameEdit() const { return m_nameEdit; }
    QComboBox *protocolCombo() const { return m_protocolCombo; }
    QPushButton *okButton() const { return m_okButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

private:
    QLineEdit *m_nameEdit = nullptr;
    QComboBox *m_protocolCombo = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
