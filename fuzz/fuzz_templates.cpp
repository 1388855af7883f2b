// The template parser on arbitrary bytes: it never crashes, and whatever it accepts is written
// and read again to the same template, and expands into devices whose record turns back into
// the same points.

#include "FuzzCheck.h"
#include "core/templates/DeviceTemplate.h"
#include "core/templates/TemplateExpansion.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DeviceTemplate first;
    TemplateProblems problems;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    if (!DeviceTemplate::parse(bytes, &first, &problems)) {
        FUZZ_CHECK(!problems.isEmpty());
        return 0;
    }
    FUZZ_CHECK(problems.isEmpty());
    DeviceTemplate second;
    TemplateProblems again;
    FUZZ_CHECK(DeviceTemplate::parse(first.toBytes(), &second, &again));
    FUZZ_CHECK(second.toJson() == first.toJson());

    const TemplateExpansion::Result result = TemplateExpansion::expand(
        first, {QStringLiteral("D{n}"), QStringLiteral("127.0.0.1-2"), QString(),
                first.isDlt645() ? QStringLiteral("000000000001") : QStringLiteral("1"), QString()},
        {});
    FUZZ_CHECK(result.ok());
    if (first.isModbus()) {
        for (const TemplateExpansion::Device &device : result.devices)
            FUZZ_CHECK(DeviceTemplate::fromModbus(device.modbus).slaves.size() == first.slaves.size());
    }
    return 0;
}
