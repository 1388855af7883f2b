#include "core/project/Iec61850ServiceRecord.h"

#include "core/project/ItemRecord.h"
#include "core/project/StandardDeviceRecord.h"

#include <QStandardItem>

int Iec61850ServiceRecord::pathRole(int index)
{
    switch (index) {
    case RootSlot:
        return Role::RootCertificatePath;
    case ServerCertSlot:
        return Role::ServerCertificatePath;
    case ServerKeySlot:
        return Role::ServerKeyPath;
    default:
        return Role::clientCertificatePath(index - FirstClientSlot + 1);
    }
}

int Iec61850ServiceRecord::contentRole(int index)
{
    switch (index) {
    case RootSlot:
        return Role::RootCertificate;
    case ServerCertSlot:
        return Role::ServerCertificate;
    case ServerKeySlot:
        return Role::ServerKey;
    default:
        return Role::clientCertificate(index - FirstClientSlot + 1);
    }
}

Iec61850ServiceRecord Iec61850ServiceRecord::fromItem(const QStandardItem *item)
{
    auto text = [item](int role) { return item->data(role).toString(); };
    Iec61850ServiceRecord record;
    record.name = item->text();
    record.protocol = text(Role::ServiceProtocol);
    record.port = text(Role::ServicePort);
    record.authentication = text(Role::Authentication);
    record.password = text(Role::Password);
    // Publishing is on for a service that never had the field, off for an empty text.
    const QVariant goose = item->data(Role::EnableGoosePublishing);
    record.enableGoosePublishing = !goose.isValid() || roleFlag(item, Role::EnableGoosePublishing);
    record.enableSSL = roleFlag(item, Role::EnableSSL);
    record.serverKeyPassword = text(Role::ServerKeyPassword);
    record.isVerifyClientCert = roleFlag(item, Role::IsVerifyClientCert);
    for (int i = 0; i < SlotCount; ++i)
        record.certificates[i] = {text(pathRole(i)), text(contentRole(i))};
    return record;
}

void Iec61850ServiceRecord::commitTo(QStandardItem *item) const
{
    item->setText(name);
    item->setData(QVariant(protocol), Role::ServiceProtocol);
    item->setData(QVariant(port), Role::ServicePort);
    item->setData(QVariant(authentication), Role::Authentication);
    item->setData(QVariant(password), Role::Password);
    item->setData(QVariant(serverKeyPassword), Role::ServerKeyPassword);
    item->setData(QVariant(enableGoosePublishing), Role::EnableGoosePublishing);
    item->setData(QVariant(enableSSL), Role::EnableSSL);
    for (int i = 0; i < SlotCount; ++i) {
        const CertificateSlotRecord &slot = certificates.value(i);
        item->setData(QVariant(slot.path), pathRole(i));
        item->setData(QVariant(slot.content), contentRole(i));
    }
    item->setData(QVariant(isVerifyClientCert), Role::IsVerifyClientCert);
}

void Iec61850ServiceRecord::writeDefaults(QStandardItem *item)
{
    writeEmptyDefaults(item, {{Role::ServicePort, QStringLiteral("102")}});
}
