#include "usb/DeviceNames.h"

#include <cstdio>

namespace kelvra::usb {

namespace {

struct ModelName {
    uint16_t productId;
    const char* designation;
    const char* converterSuffix;  // the converter product has a name form of its own
};

constexpr ModelName kModelNames[] = {
    {0x3020, "KV-U3-1400M", nullptr}, {0x3030, "KV-U3-0500M", nullptr}, {0x3040, "KV-U3-1000M", nullptr},
    {0x3042, "KV-U3-1000S", nullptr}, {0x3050, "KV-U3-0280C", nullptr}, {0x3090, "KV-U3-0900L", nullptr},
    {0x30B0, "KV-U3-1100L", nullptr}, {0x30C0, "KV-U3-1200L", nullptr}, {0x30F0, "KV-U3-0600R", nullptr},
    {0x3100, "KV-U3-0230G", nullptr}, {0x3110, "KV-U3-2000R", nullptr}, {0x3120, "KV-U3-0320G", nullptr},
    {0x3130, "KV-CNV-HD", "-LINK"},   {0x3140, "KV-U3-0140T", nullptr},
};

}  // namespace

bool FormatModelName(uint16_t productId, int deviceNumber, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    for (const ModelName& model : kModelNames) {
        if (model.productId != productId) continue;
        const int written =
            model.converterSuffix
                ? std::snprintf(buffer, capacity, "%s%s_%02d", model.designation, model.converterSuffix, deviceNumber)
                : std::snprintf(buffer, capacity, "Kelvra-%s-USB3-G5_%02d", model.designation, deviceNumber);
        if (written > 0 && std::size_t(written) < capacity) return true;
        buffer[0] = '\0';
        return false;
    }
    return false;
}

}  // namespace kelvra::usb
