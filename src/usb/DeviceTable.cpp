#include "usb/DeviceTable.h"

#include "common/DebugLog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>

namespace kelvra::usb {

const char kSharedTableName[] = "U3G5-MemMap";

namespace {

constexpr SIZE_T kTableBytes = sizeof(SharedDeviceTable);

// The process's copy of the shared table and every copy between it and the mapping.
std::mutex& ProcessLock() {
    static std::mutex lock;
    return lock;
}

SharedDeviceTable& ProcessCopy() {
    static SharedDeviceTable copy{};
    return copy;
}

// Controllers attached in this process, whichever table they use.
int32_t& LiveControllers() {
    static int32_t count = 0;
    return count;
}

// The fall-back to a private table is reported once, until a controller shares the table again.
bool& PrivateTableReported() {
    static bool reported = false;
    return reported;
}

std::string& MappingName() {
    static std::string name = kSharedTableName;
    return name;
}

void ResetRows(SharedDeviceTable& table) {
    for (auto& row : table.rows) row = EmptyDeviceEntry();
    table.entryCount = 0;
}

// What another process left is trusted only as far as it can be checked. A row whose number no
// table of 32 rows can give is empty; a path must end within its row; a negative count vouches
// for no one, so the rows are reset. entryCount stays as found: every reader bounds it to 0..32.
void Sanitize(SharedDeviceTable& table) {
    if (table.instanceCount < 0) table.instanceCount = 0;
    for (auto& row : table.rows) {
        if (row.deviceNumber < -1 || row.deviceNumber >= kDeviceTableRows) row = EmptyDeviceEntry();
        row.devicePath[kDevicePathChars - 1] = '\0';
    }
}

SIZE_T RegionSize(const void* address) {
    MEMORY_BASIC_INFORMATION region{};
    return VirtualQuery(address, &region, sizeof region) == sizeof region ? region.RegionSize : 0;
}

// A view of exactly one table, or null with the reason. A view of the table's bytes fails on a
// smaller mapping, and a view of the whole mapping spans more pages than it on a larger one. The
// system sizes regions in pages, so a mapping larger only within the table's last page passes:
// nothing past the table is ever touched.
void* MapExactlyOneTable(HANDLE mapping, const char*& problem) {
    void* table = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kTableBytes);
    if (table == nullptr) {
        problem = "is smaller than the table or cannot be written";
        return nullptr;
    }
    void* whole = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    const SIZE_T tableRegion = RegionSize(table);
    const bool exact = whole != nullptr && tableRegion != 0 && RegionSize(whole) == tableRegion;
    if (whole != nullptr) UnmapViewOfFile(whole);
    if (!exact) {
        UnmapViewOfFile(table);
        problem = "is larger than the table";
        return nullptr;
    }
    return table;
}

// The view is reached only through these copies: if another process cut the mapping short, they
// fail where a plain access would fault.
bool ReadTable(const void* view, SharedDeviceTable& table) {
    SIZE_T done = 0;
    return ReadProcessMemory(GetCurrentProcess(), view, &table, kTableBytes, &done) && done == kTableBytes;
}

bool WriteBytes(void* view, std::size_t offset, const void* from, SIZE_T size) {
    SIZE_T done = 0;
    return WriteProcessMemory(GetCurrentProcess(), static_cast<char*>(view) + offset, from, size, &done) &&
           done == size;
}

// The fields go one after another in the same order as every other process copies them, so a
// reader never sees a count that belongs to rows it has not received yet.
bool WriteTable(void* view, const SharedDeviceTable& table) {
    return WriteBytes(view, offsetof(SharedDeviceTable, instanceCount), &table.instanceCount,
                      sizeof table.instanceCount) &&
           WriteBytes(view, offsetof(SharedDeviceTable, rows), table.rows, sizeof table.rows) &&
           WriteBytes(view, offsetof(SharedDeviceTable, entryCount), &table.entryCount, sizeof table.entryCount);
}

}  // namespace

void SetSharedTableName(const char* name) {
    std::lock_guard guard(ProcessLock());
    MappingName() = name != nullptr && *name != '\0' ? name : kSharedTableName;
    PrivateTableReported() = false;
}

DeviceTable::DeviceTable() { Attach(); }

DeviceTable::~DeviceTable() { Detach(); }

bool DeviceTable::HasView() const {
    std::lock_guard guard(ProcessLock());
    return view != nullptr;
}

void DeviceTable::Attach() {
    std::lock_guard guard(ProcessLock());
    SharedDeviceTable& copy = ProcessCopy();

    bool existed = true;
    const char* name = MappingName().c_str();
    mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (mapping == nullptr) {
        SetLastError(ERROR_SUCCESS);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DWORD(kTableBytes), name);
        // Another process may have created it between our open and create; its rows count then.
        existed = mapping != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    const char* problem = nullptr;
    if (mapping == nullptr) {
        problem = "can be neither opened nor created";
    } else {
        view = MapExactlyOneTable(mapping, problem);
    }
    SharedDeviceTable found{};
    if (view != nullptr && existed && !ReadTable(view, found)) problem = "was cut short by another process";

    if (problem != nullptr) {
        UsePrivateTable(problem);
    } else {
        shared = true;
        PrivateTableReported() = false;
        if (existed) {
            Sanitize(found);
            // A count below the controllers alive in this process means the mapping was made anew
            // or overwritten since they attached: their rows are the ones to keep.
            if (found.instanceCount >= LiveControllers()) copy = found;
        }
    }
    // Rows that this process's own controllers use are never reset under them, and a count left
    // in the process copy from an older mapping does not keep a new one from being reset.
    if (!existed || copy.instanceCount < LiveControllers()) copy.instanceCount = LiveControllers();
    ++LiveControllers();
    if (copy.instanceCount <= 0) {
        copy.instanceCount = 0;
        ResetRows(copy);
    }
    if (copy.instanceCount < std::numeric_limits<int32_t>::max()) ++copy.instanceCount;
    if (view != nullptr) WriteToView(copy);
}

void DeviceTable::Detach() {
    std::lock_guard guard(ProcessLock());
    SharedDeviceTable& copy = ProcessCopy();
    if (copy.instanceCount > 0) --copy.instanceCount;
    --LiveControllers();
    // The last write may fail on a mapping cut short; the controller goes all the same.
    if (view != nullptr) static_cast<void>(WriteTable(view, copy));
    ReleaseView();
}

// Under the process lock.
void DeviceTable::ReleaseView() {
    shared = false;
    if (view != nullptr) UnmapViewOfFile(view);
    if (mapping != nullptr) CloseHandle(mapping);
    view = nullptr;
    mapping = nullptr;
}

// Under the process lock. The private table is a mapping of its own, so the controller's writes
// go the same way whichever table it has; no other process ever opens it.
void DeviceTable::UsePrivateTable(const char* reason) {
    ReleaseView();
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DWORD(kTableBytes), nullptr);
    if (mapping != nullptr) view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) ReleaseView();
    if (!PrivateTableReported()) {
        PrivateTableReported() = true;
        DebugLog(LogCategory::Usb, "shared device table \"%s\" %s; this process keeps a table of its own",
                 MappingName().c_str(), reason);
    }
}

// Under the process lock.
void DeviceTable::WriteToView(const SharedDeviceTable& copy) {
    if (WriteTable(view, copy) || !shared) return;
    UsePrivateTable("was cut short by another process");
    if (view != nullptr) static_cast<void>(WriteTable(view, copy));
}

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
