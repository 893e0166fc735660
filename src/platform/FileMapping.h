// Page-file-backed file mappings, optionally named and shared between processes.
//
// A named mapping is a POSIX shared-memory object. Every handle (and, through it, every view) holds a
// shared flock on the object, so "has users" is a question the kernel answers, and the kernel drops
// the locks of a process that dies. The last user to go, or the next creator that finds an object
// nobody holds, removes it; a later CreateFileMappingA therefore starts from zeroed memory.
#pragma once

#include "KernelObject.h"
#include "PosixFile.h"

#include <cstdint>
#include <string>

namespace kelvra::platform {

class FileMapping final : public KernelObject {
public:
    // A new or (named, still used elsewhere) existing mapping. `name` may be null for a private one.
    // On failure null, with the last error set.
    static std::shared_ptr<FileMapping> Create(const char* name, uint64_t size, DWORD protection, bool& existed);
    // An existing named mapping; null with ERROR_FILE_NOT_FOUND when no process uses one of that name.
    static std::shared_ptr<FileMapping> Open(const char* name, DWORD desiredAccess);

    FileMapping(UniqueFd fd, std::string sharedName, uint64_t size, DWORD access)
        : fd(std::move(fd)), sharedName(std::move(sharedName)), size(size), access(access) {}
    ~FileMapping() override;

    // Maps `bytes` (0: up to the end) from `offset`; null with the last error set on failure.
    void* MapView(DWORD desiredAccess, uint64_t offset, size_t bytes, size_t& length) const;

private:
    UniqueFd fd;
    const std::string sharedName;  // empty for a private mapping
    const uint64_t size;
    const DWORD access;  // SECTION_* rights this handle grants to its views
};

}  // namespace kelvra::platform
