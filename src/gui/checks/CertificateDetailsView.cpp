#include "gui/checks/CertificateDetailsView.h"

#include "core/checks/CertificateInspector.h"

#include <QDateTime>
#include <QStringList>

CertificateDetailsView::CertificateDetailsView(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("certificateDetails"));
    setWordWrap(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    hide();
}

void CertificateDetailsView::showChoice(const QString &slotName, const QString &chosen, bool chosenIsKey,
                                        const QString &serverCertificate, const QString &serverKey,
                                        const QString &keyPassword)
{
    QStringList lines;
    if (!chosenIsKey) {
        const QSslCertificate certificate = CertificateInspector::certificate(chosen);
        if (certificate.isNull()) {
            lines << tr("%1: the file holds no certificate.").arg(slotName);
        } else {
            const QDateTime now = QDateTime::currentDateTimeUtc();
            lines << slotName
                  << tr("Subject: %1").arg(CertificateInspector::subjectText(certificate))
                  << tr("Issuer: %1").arg(CertificateInspector::issuerText(certificate))
                  << tr("Valid from %1 to %2%3")
                         .arg(CertificateInspector::dateText(certificate.effectiveDate()),
                              CertificateInspector::dateText(certificate.expiryDate()),
                              now > certificate.expiryDate()       ? tr(" (expired)")
                              : now < certificate.effectiveDate() ? tr(" (not valid yet)")
                                                                   : QString());
        }
    }
    if (!serverKey.isEmpty()) {
        const QSslKey key = CertificateInspector::privateKey(serverKey, keyPassword);
        const QSslCertificate certificate = CertificateInspector::certificate(serverCertificate);
        const QString unsupported =
            key.isNull() ? CertificateInspector::unsupportedKeyType(serverKey, keyPassword) : QString();
        if (!unsupported.isEmpty())
            lines << tr("Server key: its type is not supported (%1).").arg(unsupported);
        else if (key.isNull())
            lines << tr("Server key: does not parse (not a private key, or the key password is wrong).");
        else if (certificate.isNull())
            lines << tr("Server key: no server certificate to compare with.");
        else if (CertificateInspector::keyMatches(certificate, key))
            lines << tr("Server key: matches the server certificate.");
        else
            lines << tr("Server key: does NOT match the server certificate.");
    }
    setText(lines.join(QLatin1Char('\n')));
    setVisible(!lines.isEmpty());
}
