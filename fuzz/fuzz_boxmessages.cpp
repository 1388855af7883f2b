// The tool's reply parsers on arbitrary JSON text; an accepted read reply, built again by the
// box side, parses to the same values.

#include "FuzzCheck.h"
#include "core/boxlink/BoxMessages.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonDocument>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), int(size));
    for (int k = 0; k < BoxMessages::KindCount; ++k) {
        const auto kind = BoxMessages::Kind(k);
        QStringList values;
        if (!BoxMessages::parseReadReply(json, kind, &values))
            continue;
        const QStringList keys = BoxMessages::keys(kind);
        FUZZ_CHECK(values.size() == keys.size());
        QJsonObject pares;
        for (int i = 0; i < keys.size(); ++i)
            pares.insert(keys.at(i), values.at(i));
        QStringList again;
        FUZZ_CHECK(BoxMessages::parseReadReply(
            QJsonDocument(BoxMessages::readReply(kind, pares)).toJson(), kind, &again));
        FUZZ_CHECK(again == values);
    }
    LanAllocationData lan;
    BoxMessages::parseLan(json, &lan);
    WanAllocationData wan;
    BoxMessages::parseWan(json, &wan);
    WifiAllocationData wifi;
    BoxMessages::parseWifi(json, &wifi);
    LteAllocationData lte;
    BoxMessages::parseLte(json, &lte);
    NTPAllocationData ntp;
    BoxMessages::parseNtp(json, &ntp);
    timeAllocationData time;
    BoxMessages::parseTime(json, &time);
    QString code;
    BoxMessages::parseCodeReply(json, &code);
    return 0;
}
