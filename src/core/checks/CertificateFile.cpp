#include "core/checks/CertificateFile.h"

#include "core/checks/CertificateInspector.h"
#include "core/project/ProjectFileIo.h"

#include <QFileInfo>
#include <QTextCodec>

namespace CertificateFile {

namespace {

bool isUtf8Text(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return false;
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state); // UTF-8
    return state.invalidChars == 0 && state.remainingChars == 0;
}

// The PEM text of a certificate or private key given as Base64 of its DER bytes (a key
// opened with the password where one is set and kept under it), or an empty text.
QString pemFromDer(const QString &base64, const QString &password)
{
    const QSslCertificate certificate = CertificateInspector::certificate(base64);
    if (!certificate.isNull())
        return QString::fromLatin1(certificate.toPem()).trimmed();
    const QSslKey key = CertificateInspector::privateKey(base64, password);
    if (!key.isNull())
        return QString::fromLatin1(key.toPem(password.toUtf8())).trimmed();
    return QString();
}

} // namespace

QStringList extensions()
{
    return {QStringLiteral("der"), QStringLiteral("pem"), QStringLiteral("crt"), QStringLiteral("cer"),
            QStringLiteral("key")};
}

Result read(const QString &path, const QString &keyPassword)
{
    Result result;
    const QString extension = QFileInfo(path).suffix().toLower();
    if (!extensions().contains(extension)) {
        result.outcome = Result::UnknownExtension;
        return result;
    }
    QByteArray bytes;
    const ProjectFileIo::Result read = ProjectFileIo::readBounded(path, SizeLimit, &bytes);
    if (!read.ok()) {
        result.outcome = read.stage == ProjectFileIo::Result::TooLarge ? Result::TooLarge : Result::Unreadable;
        return result;
    }

    // Binary DER travels as Base64; the text forms as they are.
    const QString base64 = QString::fromLatin1(bytes.toBase64());
    if (extension == QLatin1String("der")) {
        result.content = base64;
        return result;
    }
    if (isUtf8Text(bytes)) {
        result.content = QString::fromUtf8(bytes).trimmed();
        return result;
    }

    // Read as text, binary DER would be kept as a few mangled characters.
    result.content = pemFromDer(base64, keyPassword);
    if (!result.content.isEmpty()) {
        result.convertedFromBinary = true;
        return result;
    }
    result.keyType = CertificateInspector::unsupportedKeyType(base64, keyPassword);
    result.outcome = result.keyType.isEmpty() ? Result::NotDecodable : Result::UnsupportedKey;
    return result;
}

} // namespace CertificateFile
