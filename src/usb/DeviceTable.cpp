#include "usb/DeviceTable.h"

#include <cstring>
#include <mutex>
#include <string>

namespace kelvra::usb {

const char kSharedTableName[] = "U3G5-MemMap";

namespace {

// The process's copy of the shared table and every copy between it and the mapping.
std::mutex& ProcessLock() {
    static std::mutex lock;
    return lock;
}

SharedDeviceTable& ProcessCopy() {
    static SharedDeviceTable copy{};
    return copy;
}

// The fields go one after another in the same order as every other process copies them, so a
// reader never sees a count that belongs to rows it has not received yet.
void CopyFields(SharedDeviceTable& to, const SharedDeviceTable& from) {
    std::memcpy(&to.instanceCount, &from.instanceCount, sizeof to.instanceCount);
    std::memcpy(to.rows, from.rows, sizeof to.rows);
    std::memcpy(&to.entryCount, &from.entryCount, sizeof to.entryCount);
}

// Another process may have left anything in the mapping; a path must at least end within its row.
void TakeFromView(SharedDeviceTable& copy, const SharedDeviceTable& view) {
    CopyFields(copy, view);
    for (auto& row : copy.rows) row.devicePath[kDevicePathChars - 1] = '\0';
}

void ResetRows(SharedDeviceTable& table) {
    for (auto& row : table.rows) row = EmptyDeviceEntry();
    table.entryCount = 0;
}

std::string& MappingName() {
    static std::string name = kSharedTableName;
    return name;
}

SharedDeviceTable* MapWhole(HANDLE mapping) {
    return static_cast<SharedDeviceTable*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
}

}  // namespace

void SetSharedTableName(const char* name) {
    std::lock_guard guard(ProcessLock());
    MappingName() = name != nullptr && *name != '\0' ? name : kSharedTableName;
}

DeviceTable::DeviceTable() { Attach(); }

DeviceTable::~DeviceTable() { Detach(); }

void DeviceTable::Attach() {
    std::lock_guard guard(ProcessLock());
    SharedDeviceTable& copy = ProcessCopy();

    bool existed = true;
    const char* name = MappingName().c_str();
    mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (mapping == nullptr) {
        SetLastError(ERROR_SUCCESS);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedDeviceTable), name);
        // Another process may have created it between our open and create; its rows count then.
        existed = mapping != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    if (mapping == nullptr) return;
    view = MapWhole(mapping);
    if (view == nullptr) {
        CloseHandle(mapping);
        mapping = nullptr;
        return;
    }
    if (existed) TakeFromView(copy, *view);
    if (copy.instanceCount == 0) ResetRows(copy);
    ++copy.instanceCount;
    WriteToView(copy);
}

void DeviceTable::Detach() {
    if (view == nullptr) return;
    std::lock_guard guard(ProcessLock());
    SharedDeviceTable& copy = ProcessCopy();
    --copy.instanceCount;
    WriteToView(copy);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    view = nullptr;
    mapping = nullptr;
}

void DeviceTable::WriteToView(const SharedDeviceTable& copy) { CopyFields(*view, copy); }

void DeviceTable::Update(const std::function<void(SharedDeviceTable&)>& change) {
    std::lock_guard guard(ProcessLock());
    SharedDeviceTable& copy = ProcessCopy();
    change(copy);
    if (view != nullptr) WriteToView(copy);
}

UsbDeviceEntry DeviceTable::Entry(int row) const {
    if (row < 0 || row >= kDeviceTableRows) return EmptyDeviceEntry();
    std::lock_guard guard(ProcessLock());
    return ProcessCopy().rows[row];
}

int DeviceTable::EntryCount() const {
    std::lock_guard guard(ProcessLock());
    return ProcessCopy().entryCount;
}

}  // namespace kelvra::usb
