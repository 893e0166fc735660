// One row of the device table and the table as it sits in the "U3G5-MemMap" mapping that every
// process loading the SDK shares. Both layouts are read by other processes, so they are packed
// and must never change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvra::usb {

constexpr int kDeviceTableRows = 32;
constexpr std::size_t kDevicePathChars = 260;

}  // namespace kelvra::usb

#pragma pack(push, 1)
struct UsbDeviceEntry {
    uint16_t vendorId;
    uint16_t productId;
    int32_t deviceNumber;  // count of earlier rows of the same vendor and product id
    char devicePath[kelvra::usb::kDevicePathChars];
};

struct SharedDeviceTable {
    int32_t instanceCount;  // live controllers in all processes
    UsbDeviceEntry rows[kelvra::usb::kDeviceTableRows];
    int32_t entryCount;
};
#pragma pack(pop)

static_assert(sizeof(UsbDeviceEntry) == 268);
static_assert(offsetof(UsbDeviceEntry, productId) == 2);
static_assert(offsetof(UsbDeviceEntry, deviceNumber) == 4);
static_assert(offsetof(UsbDeviceEntry, devicePath) == 8);
static_assert(sizeof(SharedDeviceTable) == 8584);
static_assert(offsetof(SharedDeviceTable, rows) == 4);
static_assert(offsetof(SharedDeviceTable, entryCount) == 8580);

namespace kelvra::usb {

// A row that holds no camera: ids 0, number -1, path zeroed.
inline UsbDeviceEntry EmptyDeviceEntry() {
    UsbDeviceEntry entry{};
    entry.deviceNumber = -1;
    return entry;
}

}  // namespace kelvra::usb
