#include "gui/services/ServiceIEC61850EditDialog.h"

#include "gui/widgets/FileDialogs.h"
#include "gui/widgets/Validators.h"
#include "core/support/WriteLog.h"
#include "core/checks/CertificateFile.h"
#include "core/checks/CertificateInspector.h"
#include "gui/checks/CertificateDetailsView.h"
#include "core/project/Iec61850ServiceRecord.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItem>
#include <QVBoxLayout>

namespace {

const char *const kLogPrefix = "ServiceIEC61850EditDialog: ";
const QString kProtocol = QStringLiteral("IEC61850");
using Record = Iec61850ServiceRecord;

void log(const char *operation)
{
    writeLog(QLatin1String(kLogPrefix) + QLatin1String(operation));
}

// "*.der", "*.pem", ... in lower or upper case.
QStringList certPatterns(bool upper)
{
    QStringList patterns;
    for (const QString &extension : CertificateFile::extensions())
        patterns << QStringLiteral("*.") + (upper ? extension.toUpper() : extension);
    return patterns;
}

} // namespace

ServiceIEC61850EditDialog::ServiceIEC61850EditDialog(QStandardItem *item, QWidget *parent)
    : QDialog(parent)
    , m_item(item)
{
    log("new-nuilt");
    setWindowTitle(tr("Edit Service"));
    buildForm();
    fillFromRecord();
}

ServiceIEC61850EditDialog::~ServiceIEC61850EditDialog()
{
    // ~QDialog hides the dialog after this destructor; nothing of it may call back from here.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
    log("destroyed");
}

void ServiceIEC61850EditDialog::buildForm()
{
    auto *scrollArea = new QScrollArea;
    scrollArea->setWidgetResizable(true);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setStyleSheet(QStringLiteral("QScrollArea { border: none; }"));
    auto *content = new QWidget;
    auto *form = new QFormLayout(content);
    scrollArea->setWidget(content);

    m_nameEdit = new QLineEdit;
    m_nameEdit->setReadOnly(true);
    form->addRow(tr("Service Name:"), m_nameEdit);

    m_protocolCombo = new QComboBox;
    m_protocolCombo->addItem(kProtocol);
    m_protocolCombo->setEnabled(false);
    form->addRow(tr("Protocol:"), m_protocolCombo);

    m_portEdit = new QLineEdit;
    m_portEdit->setValidator(Validators::integer(-1, 65535, m_portEdit));
    form->addRow(tr("Port:"), m_portEdit);

    // The record keeps the choice as shown, translated in the context the project file's
    // writer and loader compare with.
    m_authCombo = new QComboBox;
    m_authCombo->addItem(QObject::tr("None"));
    m_authCombo->addItem(QObject::tr("Password"));
    form->addRow(tr("Authentication:"), m_authCombo);

    m_passwordLabel = new QLabel(tr("Password:"));
    m_passwordEdit = new QLineEdit;
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setValidator(Validators::noCjk(m_passwordEdit));
    form->addRow(m_passwordLabel, m_passwordEdit);

    m_gooseCheck = new QCheckBox;
    form->addRow(tr("Enable GoosePublishing:"), m_gooseCheck);

    m_sslCheck = new QCheckBox;
    form->addRow(tr("Enable SSL:"), m_sslCheck);

    addCertRow(form, tr("Root Certificate:"), false);
    addCertRow(form, tr("Server Certificate:"), false);
    addCertRow(form, tr("Server Key:"), true);

    m_keyPasswordLabel = new QLabel(tr("Server Key Password:"));
    m_keyPasswordEdit = new QLineEdit;
    m_keyPasswordEdit->setEchoMode(QLineEdit::Password);
    m_keyPasswordEdit->setValidator(Validators::noCjk(m_keyPasswordEdit));
    form->addRow(m_keyPasswordLabel, m_keyPasswordEdit);
    m_certDetails = new CertificateDetailsView;
    form->addRow(m_certDetails);

    m_verifyCheck = new QCheckBox;
    form->addRow(tr("IsVerifyClientCert:"), m_verifyCheck);

    for (int n = 1; n <= Record::ClientCount; ++n)
        addCertRow(form, tr("Client Certificate%1:").arg(n), false);

    m_saveButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/ok.svg")), tr("Save"));
    m_cancelButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/cancel.svg")), tr("Cancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scrollArea);
    layout->addLayout(buttons);

    connect(m_saveButton, &QPushButton::clicked, this, &ServiceIEC61850EditDialog::saveChanges);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_authCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { applyPasswordRule(); });
    connect(m_sslCheck, &QCheckBox::stateChanged, this, &ServiceIEC61850EditDialog::updateSSLFieldsVisibility);
    connect(m_verifyCheck, &QCheckBox::stateChanged, this,
            &ServiceIEC61850EditDialog::updateIsVerifyClientCertFieldsVisibility);
}

void ServiceIEC61850EditDialog::addCertRow(QFormLayout *form, const QString &label, bool isKey)
{
    CertSlot slot;
    slot.isKey = isKey;
    slot.label = new QLabel(label);
    // Read-only: the path shown is always the file whose content was loaded.
    slot.pathEdit = new QLineEdit;
    slot.pathEdit->setReadOnly(true);
    slot.selectButton = new QPushButton(QIcon(QStringLiteral(":/adsdemo/images/look.svg")), tr("Select"));

    auto *line = new QHBoxLayout;
    line->addWidget(slot.pathEdit);
    line->addWidget(slot.selectButton);
    form->addRow(slot.label, line);

    const int index = m_slots.size();
    connect(slot.selectButton, &QPushButton::clicked, this, [this, index] { selectFile(index); });
    m_slots.append(slot);
}

void ServiceIEC61850EditDialog::fillFromRecord()
{
    if (m_item) {
        // The server's well-known port goes into the record at once, not only on Save.
        Record::writeDefaults(m_item);
        const Record record = Record::fromItem(m_item);
        m_nameEdit->setText(record.name);
        m_portEdit->setText(record.port);
        const int auth = m_authCombo->findText(record.authentication, Qt::MatchExactly | Qt::MatchCaseSensitive);
        m_authCombo->setCurrentIndex(auth >= 0 ? auth : 0);
        m_passwordEdit->setText(record.password);
        m_gooseCheck->setChecked(record.enableGoosePublishing);
        m_sslCheck->setChecked(record.enableSSL);
        m_keyPasswordEdit->setText(record.serverKeyPassword);
        m_verifyCheck->setChecked(record.isVerifyClientCert);
        for (int i = 0; i < m_slots.size(); ++i) {
            CertSlot &slot = m_slots[i];
            slot.loadedPath = record.certificates.value(i).path;
            slot.loadedContent = record.certificates.value(i).content;
            slot.pathEdit->setText(slot.loadedPath);
        }
    }
    applyPasswordRule();
    updateSSLFieldsVisibility();
    showClientRows();
}

void ServiceIEC61850EditDialog::loadServiceItem(QStandardItem *item)
{
    log("replace");
    m_item = item;
    m_certDetails->hide();
    fillFromRecord();
}

void ServiceIEC61850EditDialog::applyPasswordRule()
{
    const bool visible = m_authCombo->currentIndex() != 0;
    m_passwordLabel->setVisible(visible);
    m_passwordEdit->setVisible(visible);
}

void ServiceIEC61850EditDialog::setCertRowEnabled(const CertSlot &slot, bool enabled)
{
    slot.label->setEnabled(enabled);
    slot.pathEdit->setEnabled(enabled);
    slot.selectButton->setEnabled(enabled);
}

void ServiceIEC61850EditDialog::showClientRows()
{
    // Ten rows at once push the form past the bottom of a small screen; the next empty row
    // is always there to take another certificate.
    int last = Record::FirstClientSlot - 1;
    for (int i = Record::FirstClientSlot; i < m_slots.size(); ++i) {
        if (!m_slots.at(i).pathEdit->text().isEmpty())
            last = i;
    }
    for (int i = Record::FirstClientSlot; i < m_slots.size(); ++i) {
        const CertSlot &slot = m_slots.at(i);
        const bool shown = i <= last + 1;
        slot.label->setVisible(shown);
        slot.pathEdit->setVisible(shown);
        slot.selectButton->setVisible(shown);
    }
}

void ServiceIEC61850EditDialog::updateSSLFieldsVisibility()
{
    const bool ssl = m_sslCheck->isChecked();
    for (int i = Record::RootSlot; i < Record::FirstClientSlot; ++i)
        setCertRowEnabled(m_slots.at(i), ssl);
    m_keyPasswordLabel->setEnabled(ssl);
    m_keyPasswordEdit->setEnabled(ssl);
    // With TLS the server authenticates by certificate, not by password.
    m_authCombo->setEnabled(!ssl);
    m_passwordLabel->setEnabled(!ssl);
    m_passwordEdit->setEnabled(!ssl);
    updateIsVerifyClientCertFieldsVisibility();
}

void ServiceIEC61850EditDialog::updateIsVerifyClientCertFieldsVisibility()
{
    const bool clients = m_sslCheck->isChecked() && m_verifyCheck->isChecked();
    for (int i = Record::FirstClientSlot; i < m_slots.size(); ++i)
        setCertRowEnabled(m_slots.at(i), clients);
}

QString ServiceIEC61850EditDialog::askFileName(bool key)
{
    // The chooser matches patterns case-sensitively; files named by other systems often end
    // in capitals.
    const QString filter = certPatterns(false).join(QLatin1Char(' ')) + QLatin1Char(' ')
                           + certPatterns(true).join(QLatin1Char(' '));
    if (key)
        return FileDialogs::getOpenFileName(this, tr("Select Key File"), QString(), tr("Keys (%1)").arg(filter));
    return FileDialogs::getOpenFileName(this, tr("Select Certificate File"), QString(),
                                        tr("Certificates (%1)").arg(filter));
}

void ServiceIEC61850EditDialog::selectFile(int slotIndex)
{
    const QString path = askFileName(m_slots.at(slotIndex).isKey);
    if (path.isEmpty())
        return;
    // The path is kept even when the content cannot be read, so the field shows what was chosen.
    QString content = readCertificateFile(path);
    CertSlot &slot = m_slots[slotIndex];
    if (slot.isKey && !content.isEmpty()) {
        const QString type = CertificateInspector::unsupportedKeyType(content, m_keyPasswordEdit->text());
        if (!type.isEmpty()) {
            warnUnsupportedKey(path, type);
            content.clear();
        }
    }
    slot.loadedPath = path;
    slot.pathEdit->setText(path);
    slot.loadedContent = content;
    showClientRows();
    m_certDetails->showChoice(slot.label->text(), content, slot.isKey, m_slots.at(Record::ServerCertSlot).loadedContent,
                              m_slots.at(Record::ServerKeySlot).loadedContent, m_keyPasswordEdit->text());
}

void ServiceIEC61850EditDialog::warnUnsupportedKey(const QString &path, const QString &type)
{
    QMessageBox::warning(this, tr("Error"),
                         tr("The file %1 holds a private key of a type that is not supported (%2). "
                            "Nothing was stored.")
                             .arg(path, type));
}

QString ServiceIEC61850EditDialog::readCertificateFile(QString path)
{
    const CertificateFile::Result read = CertificateFile::read(path, m_keyPasswordEdit->text());
    switch (read.outcome) {
    case CertificateFile::Result::Stored:
        break;
    case CertificateFile::Result::UnknownExtension:
        QMessageBox::warning(this, tr("Error"),
                             tr("The file %1 is not a certificate or key file (%2). Nothing was stored.")
                                 .arg(path, certPatterns(false).join(QStringLiteral(", "))));
        break;
    case CertificateFile::Result::TooLarge:
        QMessageBox::warning(this, tr("Error"),
                             tr("The file %1 holds more than %2 MiB, more than any certificate or key. "
                                "Nothing was stored.")
                                 .arg(path, QString::number(CertificateFile::SizeLimit >> 20)));
        break;
    case CertificateFile::Result::Unreadable:
        QMessageBox::warning(this, tr("Error"), tr("Failed to open file: %1").arg(path));
        break;
    case CertificateFile::Result::UnsupportedKey:
        warnUnsupportedKey(path, read.keyType);
        break;
    case CertificateFile::Result::NotDecodable:
        QMessageBox::warning(this, tr("Error"),
                             tr("The file %1 is neither text nor a DER certificate or key (an encrypted "
                                "key needs its Server Key Password). Nothing was stored.")
                                 .arg(path));
        break;
    }
    if (read.convertedFromBinary)
        emit messageAppended(
                tr("The file %1 holds a binary (DER) certificate or key; its PEM text is stored.").arg(path));
    return read.content;
}

bool ServiceIEC61850EditDialog::confirmFields()
{
    // The password belongs to the authentication in use, the key password to TLS.
    const bool ssl = m_sslCheck->isChecked();
    QVector<Validators::Field> fields{{tr("Port:"), m_portEdit}};
    if (!ssl && m_authCombo->currentIndex() != 0)
        fields += {tr("Password:"), m_passwordEdit};
    if (ssl)
        fields += {tr("Server Key Password:"), m_keyPasswordEdit};
    return Validators::confirmAcceptable(this, fields);
}

void ServiceIEC61850EditDialog::saveChanges()
{
    if (!m_item || !confirmFields())
        return;

    Record record;
    record.name = m_nameEdit->text();
    record.protocol = m_protocolCombo->currentText();
    record.port = m_portEdit->text();
    record.authentication = m_authCombo->currentText();
    record.password = m_passwordEdit->text();
    record.serverKeyPassword = m_keyPasswordEdit->text();
    record.enableGoosePublishing = m_gooseCheck->isChecked();
    record.enableSSL = m_sslCheck->isChecked();
    record.isVerifyClientCert = m_verifyCheck->isChecked();
    for (int i = 0; i < m_slots.size(); ++i) {
        const CertSlot &slot = m_slots.at(i);
        if (slot.pathEdit->text() == slot.loadedPath) {
            record.certificates[i] = {slot.loadedPath, slot.loadedContent};
            continue;
        }
        // A path whose content was never read would pair one file's name with another's data.
        if (slot.isKey)
            QMessageBox::warning(this, tr("Warning"),
                                 tr("The key storage path is inconsistent with the loading path."
                                    "Please select the key again.Prevent data loss."));
        else
            QMessageBox::warning(this, tr("Warning"),
                                 tr("The certificate storage path is inconsistent with the loading path."
                                    "Please select the certificate again.Prevent data loss."));
        record.certificates[i] = {};
    }
    record.commitTo(m_item);

    emit messageAppended(tr("The Standard OpcUa '%1' is saved successfully.").arg(record.name));
    log("save");
}

void ServiceIEC61850EditDialog::clearData()
{
    m_portEdit->clear();
    m_authCombo->setCurrentIndex(0);
    m_passwordEdit->clear();
    m_gooseCheck->setChecked(false);
    m_sslCheck->setChecked(false);
    m_keyPasswordEdit->clear();
    m_verifyCheck->setChecked(false);
    // Path and loaded file go together, so a save after clearing empties the slots quietly.
    for (CertSlot &slot : m_slots) {
        slot.pathEdit->clear();
        slot.loadedPath.clear();
        slot.loadedContent.clear();
    }
    applyPasswordRule();
    updateSSLFieldsVisibility();
    showClientRows();
}
