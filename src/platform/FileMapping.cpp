#include "FileMapping.h"

#include "PosixError.h"

#include "kelvra/win32/kernel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>

namespace kelvra::platform {
namespace {

constexpr uint64_t kAllocationGranularity = 64 * 1024;

std::string UserPrefix() { return "/kelvra-" + std::to_string(::getuid()); }

// Object names are case-sensitive and may hold any character but '\'; the shared-memory name keeps
// the safe ones and escapes the rest. "Local\" is the default namespace, so it names the same object.
bool SharedMemoryName(const char* name, std::string& result) {
    std::string_view text(name);
    if (text.starts_with("Local\\")) text.remove_prefix(6);
    static const char hex[] = "0123456789ABCDEF";
    result = UserPrefix() + "-map-";
    for (unsigned char c : text) {
        bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.';
        if (safe) {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += hex[c >> 4];
            result += hex[c & 15];
        }
    }
    return result.size() <= NAME_MAX;
}

// Serialises create, open and discard of named mappings across all processes of the user.
class NamespaceLock {
public:
    NamespaceLock() : fd(::shm_open((UserPrefix() + "-mappings.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        locked = fd && LockFile(fd.Get(), LOCK_EX);
    }
    bool Locked() const { return locked; }

private:
    UniqueFd fd;
    bool locked = false;
};

// True when no process holds the object open as a mapping user (a crashed user's lock is gone too).
bool IsUnused(int fd) { return LockFile(fd, LOCK_EX | LOCK_NB); }

DWORD AccessForProtection(DWORD protection) {
    return protection == PAGE_READONLY ? (SECTION_QUERY | SECTION_MAP_READ) : SECTION_ALL_ACCESS;
}

// Opens the named object as a user; a leftover nobody uses is removed and reported as absent.
UniqueFd OpenUsed(const std::string& sharedName, uint64_t& size) {
    UniqueFd fd(::shm_open(sharedName.c_str(), O_RDWR | O_CLOEXEC, 0));
    if (!fd) return fd;
    struct stat status {};
    if (IsUnused(fd.Get())) {
        ::shm_unlink(sharedName.c_str());
        errno = ENOENT;
        return UniqueFd();
    }
    if (!LockFile(fd.Get(), LOCK_SH) || ::fstat(fd.Get(), &status) != 0) return UniqueFd();
    size = static_cast<uint64_t>(status.st_size);
    return fd;
}

bool Resize(int fd, uint64_t size) {
    int result;
    do {
        result = ::ftruncate(fd, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

}  // namespace

std::shared_ptr<FileMapping> FileMapping::Create(const char* name, uint64_t size, DWORD protection, bool& existed) {
    existed = false;
    if (size == 0 || size > static_cast<uint64_t>(LLONG_MAX)) {
        SetLastError(size == 0 ? ERROR_INVALID_PARAMETER : ERROR_COMMITMENT_LIMIT);
        return nullptr;
    }
    DWORD access = AccessForProtection(protection);
    if (!name || !*name) {
        UniqueFd fd(::memfd_create("kelvra-mapping", MFD_CLOEXEC));
        if (!fd || !Resize(fd.Get(), size)) {
            SetLastErrorFromErrno();
            return nullptr;
        }
        return std::make_shared<FileMapping>(std::move(fd), std::string(), size, access);
    }
    std::string sharedName;
    if (!SharedMemoryName(name, sharedName)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    NamespaceLock lock;
    if (!lock.Locked()) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    uint64_t existingSize = 0;
    if (UniqueFd fd = OpenUsed(sharedName, existingSize)) {
        existed = true;
        return std::make_shared<FileMapping>(std::move(fd), std::move(sharedName), existingSize, access);
    }
    if (errno != ENOENT) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    UniqueFd fd(::shm_open(sharedName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    if (!Resize(fd.Get(), size) || !LockFile(fd.Get(), LOCK_SH)) {
        SetLastErrorFromErrno();
        ::shm_unlink(sharedName.c_str());
        return nullptr;
    }
    return std::make_shared<FileMapping>(std::move(fd), std::move(sharedName), size, access);
}

std::shared_ptr<FileMapping> FileMapping::Open(const char* name, DWORD desiredAccess) {
    std::string sharedName;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!SharedMemoryName(name, sharedName)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    NamespaceLock lock;
    if (!lock.Locked()) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    uint64_t size = 0;
    UniqueFd fd = OpenUsed(sharedName, size);
    if (!fd) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    return std::make_shared<FileMapping>(std::move(fd), std::move(sharedName), size,
                                         desiredAccess & SECTION_ALL_ACCESS);
}

FileMapping::~FileMapping() {
    if (sharedName.empty()) return;
    NamespaceLock lock;
    fd.Reset();                  // drop this user's lock first, then see whether anyone is left
    if (!lock.Locked()) return;  // the next creator removes the object if it is unused by then
    UniqueFd probe(::shm_open(sharedName.c_str(), O_RDWR | O_CLOEXEC, 0));
    if (probe && IsUnused(probe.Get())) ::shm_unlink(sharedName.c_str());
}

void* FileMapping::MapView(DWORD desiredAccess, uint64_t offset, size_t bytes, size_t& length) const {
    bool write = (desiredAccess & SECTION_MAP_WRITE) != 0;
    bool copy = desiredAccess == FILE_MAP_COPY;
    bool read = (desiredAccess & SECTION_MAP_READ) != 0;
    if (!write && !read && !copy) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD needed = write ? SECTION_MAP_WRITE : SECTION_MAP_READ;
    if ((access & needed) == 0 && !(copy && (access & SECTION_MAP_READ))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (offset % kAllocationGranularity != 0) {
        SetLastError(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    if (offset >= size || bytes > size - offset) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    length = bytes != 0 ? bytes : static_cast<size_t>(size - offset);
    int protection = PROT_READ | (write || copy ? PROT_WRITE : 0);
    void* address =
        ::mmap(nullptr, length, protection, copy ? MAP_PRIVATE : MAP_SHARED, fd.Get(), static_cast<off_t>(offset));
    if (address == MAP_FAILED) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    return address;
}

}  // namespace kelvra::platform
