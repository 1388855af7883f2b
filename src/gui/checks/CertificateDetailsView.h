#pragma once

// A few lines under the certificate rows of the IEC61850 editor: subject, issuer and validity
// of the certificate just chosen, and whether the server key matches the server certificate.

#include <QLabel>

class CertificateDetailsView : public QLabel
{
    Q_OBJECT
public:
    explicit CertificateDetailsView(QWidget *parent = nullptr);

    // `chosen` is the content just read (a certificate, or the key when `chosenIsKey`); the
    // server certificate, key and password are the editor's current ones.
    void showChoice(const QString &slotName, const QString &chosen, bool chosenIsKey,
                    const QString &serverCertificate, const QString &serverKey, const QString &keyPassword);
};
