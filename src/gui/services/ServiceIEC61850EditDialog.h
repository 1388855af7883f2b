#pragma once

// Editor of a project's IEC 61850 server: port, password authentication, GOOSE publishing,
// and TLS with root, server and client certificates. Certificates and keys are read from
// files when selected and kept in the record beside their paths, so the project file carries
// them to the box. Fills its form from the item's record and commits one built from the form;
// saves on its own, and Save leaves the dialog open.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QVector>

class CertificateDetailsView;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItem;

class ServiceIEC61850EditDialog : public QDialog
{
    Q_OBJECT
public:
    ServiceIEC61850EditDialog(QStandardItem *item, QWidget *parent = nullptr);
    ~ServiceIEC61850EditDialog() override;

signals:
    // A line for the Message dock; whoever opens the editor decides where it goes.
    void messageAppended(const QString &text);

public:

    // Makes the dialog edit another service item.
    void loadServiceItem(QStandardItem *item);
    // A certificate or key file's content as the record keeps it (CertificateFile::read, with
    // the Server Key Password). Empty, after a warning, for another extension, a file that
    // cannot be read, one of more than a few MiB, or binary bytes that are no certificate or
    // key; a message says when binary bytes were stored as their PEM text.
    QString readCertificateFile(QString path);
    // True when the port and the password fields in use are empty or acceptable; otherwise
    // warns, naming the field, and returns false.
    bool confirmFields();

public slots:
    // Writes nothing, after the warning of confirmFields(), when a field does not pass.
    void saveChanges();
    void clearData();
    void updateSSLFieldsVisibility();
    void updateIsVerifyClientCertFieldsVisibility();

private:
    // One certificate or key: its form row and what was last loaded.
    struct CertSlot
    {
        bool isKey = false;
        QLabel *label = nullptr;
        QLineEdit *pathEdit = nullptr;
        QPushButton *selectButton = nullptr;
        QString loadedPath;
        QString loadedContent;
    };

    void buildForm();
    void addCertRow(QFormLayout *form, const QString &label, bool isKey);
    void fillFromRecord();
    void applyPasswordRule();
    void setCertRowEnabled(const CertSlot &slot, bool enabled);
    // Shows the client certificate rows up to the last one chosen and one empty row after it.
    void showClientRows();
    void selectFile(int slotIndex);
    QString askFileName(bool key);
    void warnUnsupportedKey(const QString &path, const QString &type);

    QStandardItem *m_item = nullptr;

    QLineEdit *m_nameEdit = nullptr;
    QComboBox *m_protocolCombo = nullptr;
    QLineEdit *m_portEdit = nullptr;
    QComboBox *m_authCombo = nullptr;
    QLabel *m_passwordLabel = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QCheckBox *m_gooseCheck = nullptr;
    QCheckBox *m_sslCheck = nullptr;
    QLabel *m_keyPasswordLabel = nullptr;
    QLineEdit *m_keyPasswordEdit = nullptr;
    QCheckBox *m_verifyCheck = nullptr;
    CertificateDetailsView *m_certDetails = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;

    // Root certificate, server certificate, server key, then client certificates 1 to 10.
    QVector<CertSlot> m_slots;
};
