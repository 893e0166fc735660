#include "usb/CFx3Api.h"

#include "usb/DeviceEnumerator.h"
#include "usb/DeviceIo.h"
#include "usb/DeviceNames.h"

using namespace kelvra::usb;

namespace {

bool MatchesProduct(const UsbDeviceEntry& row, int productId) { return row.productId == uint16_t(productId & 0xFFFF); }

}  // namespace

CFx3Api::CFx3Api() = default;

CFx3Api::~CFx3Api() = default;

int CFx3Api::EnumerateDevices() { return EnumerateDeviceInterfaces(interfaceClass, table); }

HANDLE CFx3Api::OpenDeviceRow(int row, bool overlapped) {
    if (row < 0 || row >= kDeviceTableRows || row >= table.EntryCount()) return nullptr;
    const UsbDeviceEntry entry = table.Entry(row);
    HANDLE device = deviceio::OpenPath(entry.devicePath, overlapped);
    if (!deviceio::IsOpen(device)) return nullptr;
    return device;
}

bool CFx3Api::IsDeviceRowPresent(int row) {
    HANDLE device = OpenDeviceRow(row, false);
    if (device == nullptr) return false;
    deviceio::Close(device);
    return true;
}

int CFx3Api::FormatDeviceName(int row, char* buffer, std::size_t capacity) {
    if (!IsDeviceRowPresent(row)) return 0;
    const UsbDeviceEntry entry = table.Entry(row);
    return FormatModelName(entry.productId, entry.deviceNumber, buffer, capacity) ? 1 : 0;
}

int CFx3Api::CountDevices(int productId) {
    const int entryCount = EnumerateDevices();
    if (productId == 0) return entryCount;
    int count = 0;
    for (int row = 0; row < entryCount && row < kDeviceTableRows; ++row) {
        if (MatchesProduct(table.Entry(row), productId) && IsDeviceRowPresent(row)) ++count;
    }
    return count;
}

bool CFx3Api::IsDeviceNumberPresent(int productId, int deviceNumber) {
    if (productId == -1) return false;
    for (int row = 0; row < kDeviceTableRows; ++row) {
        const UsbDeviceEntry entry = table.Entry(row);
        if (MatchesProduct(entry, productId) && entry.deviceNumber == deviceNumber && IsDeviceRowPresent(row))
            return true;
    }
    return false;
}

int CFx3Api::FindDeviceRow(int productId, int deviceNumber) {
    for (int row = 0; row < kDeviceTableRows; ++row) {
        const UsbDeviceEntry entry = table.Entry(row);
        if (MatchesProduct(entry, productId) && entry.deviceNumber == deviceNumber) return row;
    }
    return -1;
}
