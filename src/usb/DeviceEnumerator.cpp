#include "usb/DeviceEnumerator.h"

#include "common/DebugLog.h"
#include "usb/DeviceIo.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace kelvra::usb {

namespace {

constexpr DWORD kDetailBufferBytes = 1000;
constexpr std::size_t kDetailPathOffset = 4;
constexpr std::size_t kVendorIdColumn = 12;   // "\\?\usb#vid_" precedes it
constexpr std::size_t kProductIdColumn = 21;  // "&pid_" precedes it

// "%04x": up to four hexadecimal digits, ending at the first other character.
uint16_t ParseHexId(const std::string& path, std::size_t column) {
    uint16_t value = 0;
    for (std::size_t i = column; i < path.size() && i < column + 4; ++i) {
        const char c = path[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = uint16_t(value << 4 | digit);
    }
    return value;
}

struct FoundInterface {
    uint16_t vendorId;
    uint16_t productId;
    std::string path;
};

// The path of one interface, or empty when its detail does not fit or cannot be read.
std::string ReadInterfacePath(HDEVINFO devices, SP_DEVICE_INTERFACE_DATA& interfaceData, uint8_t* detailBuffer) {
    DWORD required = 0;
    deviceio::GetInterfaceDetail(devices, &interfaceData, nullptr, 0, &required);
    if (required <= kDetailPathOffset || required > kDetailBufferBytes) return {};
    std::memset(detailBuffer, 0, required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detailBuffer);
    detail->cbSize = 8;  // the fixed part of the record on 64-bit Windows
    if (!deviceio::GetInterfaceDetail(devices, &interfaceData, detail, required, nullptr)) return {};
    const char* path = reinterpret_cast<const char*>(detailBuffer + kDetailPathOffset);
    const std::size_t room = required - kDetailPathOffset;
    const void* terminator = std::memchr(path, 0, room);
    return std::string(path, terminator ? static_cast<const char*>(terminator) - path : room);
}

bool PathOpens(const std::string& path) {
    HANDLE device = deviceio::OpenPath(path.c_str(), true);
    if (!deviceio::IsOpen(device)) return false;
    deviceio::Close(device);
    return true;
}

std::vector<FoundInterface> FindOpenInterfaces(const GUID& interfaceClass) {
    std::vector<FoundInterface> found;
    std::unique_ptr<uint8_t[]> detailBuffer(new (std::nothrow) uint8_t[kDetailBufferBytes]);
    HDEVINFO devices = deviceio::GetClassDevices(interfaceClass);
    if (devices == INVALID_HANDLE_VALUE) return found;
    for (DWORD index = 0; detailBuffer && index < DWORD(kDeviceTableRows); ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!deviceio::EnumerateInterface(devices, interfaceClass, index, &interfaceData))
            continue;  // a gap does not end the pass
        std::string path = ReadInterfacePath(devices, interfaceData, detailBuffer.get());
        // A row holds at most 259 characters and its terminator; a longer path could never be
        // compared or opened from the row, so it is not recorded at all.
        if (path.empty() || path.size() >= kDevicePathChars || !PathOpens(path)) continue;
        found.push_back({ParseHexId(path, kVendorIdColumn), ParseHexId(path, kProductIdColumn), std::move(path)});
    }
    detailBuffer.reset();
    deviceio::DestroyDeviceList(devices);
    return found;
}

void Record(SharedDeviceTable& table, const FoundInterface& camera) {
    int number = 0;
    for (const UsbDeviceEntry& row : table.rows) {
        if (row.vendorId != camera.vendorId || row.productId != camera.productId) continue;
        ++number;
        // Rows may come from another process: never read a path past its 260 characters.
        if (std::strncmp(row.devicePath, camera.path.c_str(), kDevicePathChars) == 0) return;
    }
    // A count outside 0..31 (full, or damaged by another process) leaves no row to fill.
    if (table.entryCount < 0 || table.entryCount >= kDeviceTableRows) return;
    UsbDeviceEntry& row = table.rows[table.entryCount];
    // A row past the count that is still in use means the table was damaged; it is overwritten.
    // The text is the historic Shift-JIS "never gets here"; the log supplies the line end.
    if (row.productId != 0)
        DebugLog(LogCategory::Usb,
                 "\x82\xB1\x82\xB1\x82\xC9\x82\xCD\x97\x88\x82\xC8\x82\xA2\x82\xCD\x82\xB8\x82\xC5\x82\xB7");
    row = EmptyDeviceEntry();
    row.vendorId = camera.vendorId;
    row.productId = camera.productId;
    row.deviceNumber = number;
    std::memcpy(row.devicePath, camera.path.c_str(), camera.path.size());
    ++table.entryCount;
}

}  // namespace

int EnumerateDeviceInterfaces(const GUID& interfaceClass, DeviceTable& table) {
    if (!table.HasView()) return 0;
    const std::vector<FoundInterface> found = FindOpenInterfaces(interfaceClass);
    int entryCount = 0;
    table.Update([&](SharedDeviceTable& copy) {
        for (const FoundInterface& camera : found) Record(copy, camera);
        entryCount = copy.entryCount;
    });
    return entryCount;
}

}  // namespace kelvra::usb
