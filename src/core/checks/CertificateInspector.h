#pragma once

// Reads the certificates and keys an IEC61850 service record keeps (PEM text, or Base64 of
// DER bytes) and compares a server key with its certificate. Qt parses; OpenSSL compares,
// since Qt has no key-to-certificate check.

#include <QDateTime>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

class CertificateInspector
{
public:
    // The certificate in a record's content text; null when the text is empty or no certificate.
    static QSslCertificate certificate(const QString &content);
    // The private key in a record's content text, decrypted with the password when one is set;
    // null when it does not parse (a wrong or missing password included).
    static QSslKey privateKey(const QString &content, const QString &password);
    // The type of the private key in a record's content text ("ED25519") when OpenSSL reads the
    // key but privateKey() cannot (Qt knows RSA, EC and DSA keys only); empty otherwise, also
    // when the text is no key or the password is wrong.
    static QString unsupportedKeyType(const QString &content, const QString &password);
    // True when the key is the private half of the certificate's public key.
    static bool keyMatches(const QSslCertificate &certificate, const QSslKey &key);
    // "CN=..., O=..." of the subject or the issuer.
    static QString subjectText(const QSslCertificate &certificate);
    static QString issuerText(const QSslCertificate &certificate);
    // Validity dates in the form the checks and the editor show them (UTC).
    static QString dateText(const QDateTime &time);
    static bool isCurrentlyValid(const QSslCertificate &certificate, const QDateTime &now);
};
