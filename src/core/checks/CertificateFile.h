#pragma once

// Certificate and key files as an IEC61850 service record keeps them: ".der" as Base64 of its
// bytes, ".pem", ".crt", ".cer" and ".key" as trimmed text, and such a file whose bytes are no
// text (binary DER under a text name) as the PEM text of its certificate or key, which is what
// the box expects under that name. Read once, bounded in size.

#include <QString>
#include <QStringList>

namespace CertificateFile {

// Far above any certificate chain or key; a file past it (or a device that never ends) is
// refused after reading this much.
constexpr qint64 SizeLimit = qint64(4) * 1024 * 1024;

// "der", "pem", "crt", "cer", "key": compared in lower case.
QStringList extensions();

struct Result
{
    enum Outcome {
        Stored,           // content holds what the record keeps
        UnknownExtension, // none of extensions()
        TooLarge,         // more than SizeLimit bytes
        Unreadable,       // cannot be opened or read
        UnsupportedKey,   // a binary private key of a type that cannot be used (keyType)
        NotDecodable,     // binary, but no certificate or key (or a wrong key password)
    };
    Outcome outcome = Stored;
    QString content;
    bool convertedFromBinary = false; // content is the PEM text of a binary file
    QString keyType;                  // for UnsupportedKey, e.g. "ED25519"
};

// keyPassword opens an encrypted binary key, whose PEM text stays encrypted under it.
Result read(const QString &path, const QString &keyPassword);

} // namespace CertificateFile
