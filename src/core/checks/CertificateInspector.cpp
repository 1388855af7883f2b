#include "core/checks/CertificateInspector.h"

#include <QByteArray>
#include <QStringList>

#include <cstring>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace {

const QByteArray kPemMarker = QByteArrayLiteral("-----BEGIN");

// A record holds PEM files as their text and DER files as Base64.
bool decode(const QString &content, QByteArray *bytes, QSsl::EncodingFormat *format)
{
    const QByteArray raw = content.trimmed().toUtf8();
    if (raw.isEmpty())
        return false;
    if (raw.contains(kPemMarker)) {
        *bytes = raw;
        *format = QSsl::Pem;
        return true;
    }
    const auto result = QByteArray::fromBase64Encoding(raw, QByteArray::AbortOnBase64DecodingErrors);
    if (!result || result.decoded.isEmpty())
        return false;
    *bytes = result.decoded;
    *format = QSsl::Der;
    return true;
}

// Hands OpenSSL the password given, an empty one included: without a callback it would ask
// on the terminal.
int passwordCallback(char *buffer, int size, int, void *userData)
{
    const QByteArray &password = *static_cast<const QByteArray *>(userData);
    const int length = qMin(size, password.size());
    memcpy(buffer, password.constData(), size_t(length));
    return length;
}

QString nameText(const QSslCertificate &certificate, bool issuer)
{
    QStringList parts;
    const QList<QByteArray> attributes =
        issuer ? certificate.issuerInfoAttributes() : certificate.subjectInfoAttributes();
    for (const QByteArray &attribute : attributes) {
        const QStringList values =
            issuer ? certificate.issuerInfo(attribute) : certificate.subjectInfo(attribute);
        for (const QString &value : values)
            parts << QString::fromLatin1(attribute) + QLatin1Char('=') + value;
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

QSslCertificate CertificateInspector::certificate(const QString &content)
{
    QByteArray bytes;
    QSsl::EncodingFormat format;
    if (!decode(content, &bytes, &format))
        return QSslCertificate();
    return QSslCertificate(bytes, format);
}

QSslKey CertificateInspector::privateKey(const QString &content, const QString &password)
{
    QByteArray bytes;
    QSsl::EncodingFormat format;
    if (!decode(content, &bytes, &format))
        return QSslKey();
    const QByteArray passPhrase = password.toUtf8();
    for (QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        QSslKey key(bytes, algorithm, format, QSsl::PrivateKey, passPhrase);
        if (!key.isNull())
            return key;
    }
    return QSslKey();
}

QString CertificateInspector::unsupportedKeyType(const QString &content, const QString &password)
{
    QByteArray bytes;
    QSsl::EncodingFormat format;
    if (!decode(content, &bytes, &format) || !privateKey(content, password).isNull())
        return QString();
    QByteArray passPhrase = password.toUtf8();
    EVP_PKEY *pkey = nullptr;
    if (BIO *bio = BIO_new_mem_buf(bytes.constData(), bytes.size())) {
        if (format == QSsl::Pem) {
            pkey = PEM_read_bio_PrivateKey(bio, nullptr, passwordCallback, &passPhrase);
        } else {
            pkey = d2i_PKCS8PrivateKey_bio(bio, nullptr, passwordCallback, &passPhrase);
            if (!pkey) {
                const auto *der = reinterpret_cast<const unsigned char *>(bytes.constData());
                pkey = d2i_AutoPrivateKey(nullptr, &der, bytes.size());
            }
        }
        BIO_free(bio);
    }
    QString type;
    if (pkey) {
        const char *name = OBJ_nid2sn(EVP_PKEY_base_id(pkey));
        type = name ? QString::fromLatin1(name).toUpper() : QStringLiteral("unknown");
        EVP_PKEY_free(pkey);
    }
    // A failed read leaves its reason queued; Qt's own TLS code must not find it later.
    ERR_clear_error();
    return type;
}

bool CertificateInspector::keyMatches(const QSslCertificate &certificate, const QSslKey &key)
{
    if (certificate.isNull() || key.isNull())
        return false;
    auto *x509 = static_cast<X509 *>(certificate.handle());
    if (!x509)
        return false;
    // What key.handle() points to depends on the algorithm; the unencrypted PEM is one form
    // OpenSSL reads for every algorithm.
    const QByteArray pem = key.toPem();
    BIO *bio = BIO_new_mem_buf(pem.constData(), pem.size());
    if (!bio)
        return false;
    EVP_PKEY *pkey = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!pkey) {
        ERR_clear_error();
        return false;
    }
    const bool matches = X509_check_private_key(x509, pkey) == 1;
    EVP_PKEY_free(pkey);
    // A mismatch leaves its reason queued; Qt's own TLS code must not find it later.
    ERR_clear_error();
    return matches;
}

QString CertificateInspector::subjectText(const QSslCertificate &certificate)
{
    return nameText(certificate, false);
}

QString CertificateInspector::issuerText(const QSslCertificate &certificate)
{
    return nameText(certificate, true);
}

QString CertificateInspector::dateText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

bool CertificateInspector::isCurrentlyValid(const QSslCertificate &certificate, const QDateTime &now)
{
    return certificate.effectiveDate() <= now && now <= certificate.expiryDate();
}
