#include "FileMapping.h"

#include "kelvra/win32/kernel.h"

#include <sys/mman.h>
#include <map>

using namespace kelvra::platform;

namespace {

// Each view keeps its mapping alive, as on Windows, until UnmapViewOfFile.
struct View {
    size_t length;
    std::shared_ptr<FileMapping> mapping;
};

struct ViewTable {
    std::mutex lock;
    std::map<uintptr_t, View> views;  // by base address
};

ViewTable& Views() {
    static ViewTable* table = new ViewTable;  // views may outlive static destruction
    return *table;
}

}  // namespace

extern "C" {

WINBASEAPI HANDLE WINAPI CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                                            DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCSTR lpName) {
    // Only mappings backed by the paging file exist here; file-backed sections are not provided.
    if (hFile != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    DWORD protection = flProtect & 0xFF;
    if (protection != PAGE_READONLY && protection != PAGE_READWRITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint64_t size = (static_cast<uint64_t>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
    bool existed = false;
    std::shared_ptr<FileMapping> mapping = FileMapping::Create(lpName, size, protection, existed);
    if (!mapping) return nullptr;
    HANDLE handle = InsertObject(std::move(mapping));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

WINBASEAPI HANDLE WINAPI OpenFileMappingA(DWORD dwDesiredAccess, BOOL, LPCSTR lpName) {
    std::shared_ptr<FileMapping> mapping = FileMapping::Open(lpName, dwDesiredAccess);
    return mapping ? InsertObject(std::move(mapping)) : nullptr;
}

WINBASEAPI LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                                       DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap) {
    std::shared_ptr<FileMapping> mapping = ReferenceObjectAs<FileMapping>(hFileMappingObject);
    if (!mapping) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    uint64_t offset = (static_cast<uint64_t>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
    size_t length = 0;
    void* address = mapping->MapView(dwDesiredAccess, offset, dwNumberOfBytesToMap, length);
    if (!address) return nullptr;
    ViewTable& table = Views();
    std::lock_guard guard(table.lock);
    table.views.insert_or_assign(reinterpret_cast<uintptr_t>(address), View{length, std::move(mapping)});
    return address;
}

WINBASEAPI BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress) {
    std::shared_ptr<FileMapping> released;  // a last reference is dropped outside the table lock
    ViewTable& table = Views();
    std::lock_guard guard(table.lock);
    auto address = reinterpret_cast<uintptr_t>(lpBaseAddress);
    auto it = table.views.upper_bound(address);
    if (it == table.views.begin() || address >= std::prev(it)->first + std::prev(it)->second.length) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    --it;
    ::munmap(reinterpret_cast<void*>(it->first), it->second.length);
    released = std::move(it->second.mapping);
    table.views.erase(it);
    return TRUE;
}

}  // extern "C"
