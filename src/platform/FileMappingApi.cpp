#include "FileMapping.h"
#include "PseudoHandles.h"

#include "kelvra/win32/kernel.h"

#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <map>

using namespace kelvra::platform;

namespace {

// Each view keeps its mapping alive, as on Windows, until UnmapViewOfFile.
struct View {
    size_t length;
    DWORD protection;  // PAGE_* as VirtualQuery reports it
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

size_t PageSize() {
    static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

// Copies within this process through the kernel, which reports a page it cannot reach (a view of a
// mapping that another process truncated) as EFAULT instead of raising SIGBUS. `write` names the
// direction: into the address the caller asked about (`to`), or out of it (`from`). Returns the
// bytes copied before the first unreachable page.
size_t KernelCopy(void* to, const void* from, size_t size, bool write) {
    auto* target = static_cast<char*>(to);
    auto* source = static_cast<char*>(const_cast<void*>(from));
    size_t copied = 0;
    while (copied < size) {
        iovec buffer{(write ? source : target) + copied, size - copied};
        iovec asked{(write ? target : source) + copied, size - copied};
        const ssize_t result = write ? ::process_vm_writev(::getpid(), &buffer, 1, &asked, 1, 0)
                                     : ::process_vm_readv(::getpid(), &buffer, 1, &asked, 1, 0);
        if (result > 0) {
            copied += static_cast<size_t>(result);
        } else if (result < 0 && errno == EINTR) {
            continue;
        } else if (result < 0 && (errno == ENOSYS || errno == EPERM) && copied == 0) {
            // A sandbox forbids the call: copy directly, and a truncated view faults as it would anyway.
            std::memcpy(target, source, size);
            return size;
        } else {
            break;
        }
    }
    return copied;
}

BOOL CopyProcessMemory(HANDLE process, void* to, const void* from, SIZE_T size, SIZE_T* done, bool write) {
    if (done) *done = 0;
    if (process != CurrentProcessPseudoHandle()) {
        SetLastError(process == nullptr ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (size == 0) return TRUE;
    const size_t copied = KernelCopy(to, from, size, write);
    if (done) *done = copied;
    if (copied == size) return TRUE;
    SetLastError(copied == 0 ? ERROR_NOACCESS : ERROR_PARTIAL_COPY);
    return FALSE;
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
    const DWORD protection = dwDesiredAccess == FILE_MAP_COPY             ? PAGE_WRITECOPY
                             : (dwDesiredAccess & SECTION_MAP_WRITE) != 0 ? PAGE_READWRITE
                                                                          : PAGE_READONLY;
    table.views.insert_or_assign(reinterpret_cast<uintptr_t>(address), View{length, protection, std::move(mapping)});
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

// Windows answers for any address; here only views are known, which is what callers ask about.
WINBASEAPI SIZE_T WINAPI VirtualQuery(LPCVOID lpAddress, PMEMORY_BASIC_INFORMATION lpBuffer, SIZE_T dwLength) {
    if (lpBuffer == nullptr || dwLength < sizeof(MEMORY_BASIC_INFORMATION)) {
        SetLastError(ERROR_BAD_LENGTH);
        return 0;
    }
    ViewTable& table = Views();
    std::lock_guard guard(table.lock);
    const auto address = reinterpret_cast<uintptr_t>(lpAddress);
    auto it = table.views.upper_bound(address);
    if (it == table.views.begin() || address >= std::prev(it)->first + std::prev(it)->second.length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    --it;
    // A view is committed in whole pages: the tail of its last page belongs to it as well.
    const uintptr_t page = PageSize();
    const uintptr_t regionStart = address & ~(page - 1);
    const uintptr_t regionEnd = (it->first + it->second.length + page - 1) & ~(page - 1);
    *lpBuffer = MEMORY_BASIC_INFORMATION{};
    lpBuffer->BaseAddress = reinterpret_cast<PVOID>(regionStart);
    lpBuffer->AllocationBase = reinterpret_cast<PVOID>(it->first);
    lpBuffer->AllocationProtect = it->second.protection;
    lpBuffer->RegionSize = regionEnd - regionStart;
    lpBuffer->State = MEM_COMMIT;
    lpBuffer->Protect = it->second.protection;
    lpBuffer->Type = MEM_MAPPED;
    return sizeof(MEMORY_BASIC_INFORMATION);
}

WINBASEAPI BOOL WINAPI ReadProcessMemory(HANDLE hProcess, LPCVOID lpBaseAddress, LPVOID lpBuffer, SIZE_T nSize,
                                         SIZE_T* lpNumberOfBytesRead) {
    return CopyProcessMemory(hProcess, lpBuffer, lpBaseAddress, nSize, lpNumberOfBytesRead, false);
}

WINBASEAPI BOOL WINAPI WriteProcessMemory(HANDLE hProcess, LPVOID lpBaseAddress, LPCVOID lpBuffer, SIZE_T nSize,
                                          SIZE_T* lpNumberOfBytesWritten) {
    return CopyProcessMemory(hProcess, lpBaseAddress, lpBuffer, nSize, lpNumberOfBytesWritten, true);
}

}  // extern "C"
