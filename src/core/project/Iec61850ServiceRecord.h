#pragma once

// The IEC 61850 server a project offers, as its service item keeps it: port, authentication,
// GOOSE publishing, TLS and the thirteen certificate and key files (path and content each).
// The editor fills its form from one and commits one on Save.

#include <QString>
#include <QVector>

class QStandardItem;

struct CertificateSlotRecord
{
    QString path;
    QString content; // as read by CertificateFile::read
};

struct Iec61850ServiceRecord
{
    static constexpr int ClientCount = 10;
    // Slot positions: root certificate, server certificate, server key, client certificates 1..10.
    enum Slot { RootSlot = 0, ServerCertSlot, ServerKeySlot, FirstClientSlot, SlotCount = FirstClientSlot + ClientCount };

    QString name;
    QString protocol;
    QString port;
    QString authentication; // the choice text as shown ("None" or "Password", translated)
    QString password;
    bool enableGoosePublishing = true; // on for a service that never had the field
    bool enableSSL = false;
    QString serverKeyPassword;
    bool isVerifyClientCert = false;
    QVector<CertificateSlotRecord> certificates = QVector<CertificateSlotRecord>(SlotCount);

    // The roles of slot `index` (path, content).
    static int pathRole(int index);
    static int contentRole(int index);

    static Iec61850ServiceRecord fromItem(const QStandardItem *item);
    // Name and every field (roles 427..460).
    void commitTo(QStandardItem *item) const;
    // The server's well-known port when the item holds none.
    static void writeDefaults(QStandardItem *item);
};
