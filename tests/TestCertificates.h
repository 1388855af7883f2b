#pragma once

// Certificates and keys made for a test with the openssl command, in a directory the test
// owns, and their contents as the IEC61850 service record keeps them (PEM text trimmed, DER
// as Base64).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

struct TestCertificates
{
    QString dir;
    QString cert;         // c1.pem: self-signed RSA, CN=server, O=Orvane, valid 365 days from now
    QString key;          // k1.pem: its key
    QString otherKey;     // k2.pem: key of another pair (EC)
    QString encryptedKey; // k1enc.pem: k1 encrypted with "secret"
    QString certDer;      // c1.der as Base64
    QString keyDer;       // k1.der as Base64
    QString edCert;       // e1.pem: self-signed Ed25519, CN=ed
    QString edKey;        // e1key.pem: its key (a type Qt cannot read)

    QString path(const char *name) const { return dir + QLatin1Char('/') + QLatin1String(name); }

    static void openssl(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral("openssl"), arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            qFatal("openssl %s failed: %s", qPrintable(arguments.join(QLatin1Char(' '))),
                   process.readAllStandardError().constData());
    }

    QByteArray read(const char *name) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", name);
        return file.readAll();
    }

    explicit TestCertificates(const QString &directory) : dir(directory)
    {
        openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "365", "-subj", "/CN=server/O=Orvane",
                 "-keyout", path("k1.pem"), "-out", path("c1.pem")});
        openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "365",
                 "-subj", "/CN=other", "-keyout", path("k2.pem"), "-out", path("c2.pem")});
        openssl({"pkey", "-in", path("k1.pem"), "-aes256", "-passout", "pass:secret", "-out", path("k1enc.pem")});
        openssl({"x509", "-in", path("c1.pem"), "-outform", "DER", "-out", path("c1.der")});
        openssl({"pkey", "-in", path("k1.pem"), "-outform", "DER", "-out", path("k1.der")});
        openssl({"genpkey", "-algorithm", "ed25519", "-out", path("e1key.pem")});
        openssl({"req", "-x509", "-key", path("e1key.pem"), "-days", "365", "-subj", "/CN=ed", "-out", path("e1.pem")});
        cert = QString::fromUtf8(read("c1.pem")).trimmed();
        key = QString::fromUtf8(read("k1.pem")).trimmed();
        otherKey = QString::fromUtf8(read("k2.pem")).trimmed();
        encryptedKey = QString::fromUtf8(read("k1enc.pem")).trimmed();
        certDer = QString::fromLatin1(read("c1.der").toBase64());
        keyDer = QString::fromLatin1(read("k1.der").toBase64());
        edCert = QString::fromUtf8(read("e1.pem")).trimmed();
        edKey = QString::fromUtf8(read("e1key.pem")).trimmed();
    }
};
