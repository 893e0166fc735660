#include "RegistryFile.h"

#include "PosixError.h"
#include "PosixFile.h"
#include "RegistryText.h"

#include "kelvra/win32/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra::platform {
namespace {

constexpr const char* kHiveName = "registry.txt";

std::string ConfigurationDirectory() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return configHome;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config";
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        return std::string(user->pw_dir) + "/.config";
    return "/tmp";
}

std::string RegistryDirectory() { return ConfigurationDirectory() + "/kelvra"; }

bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

LONG ReadAll(int fd, std::string& text) {
    char buffer[65536];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return ERROR_CANTREAD;
        if (count == 0) return ERROR_SUCCESS;
        if (text.size() + static_cast<size_t>(count) > kMaxFileSize) return ERROR_REGISTRY_CORRUPT;
        text.append(buffer, static_cast<size_t>(count));
    }
}

LONG WriteAll(int fd, std::string_view text) {
    size_t written = 0;
    while (written < text.size()) {
        ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return static_cast<LONG>(Win32ErrorFromErrno(errno));
        written += static_cast<size_t>(count);
    }
    return ERROR_SUCCESS;
}

LONG LastError() { return static_cast<LONG>(Win32ErrorFromErrno(errno)); }

// Writes `text` as directory/name through a temporary file and a rename, so that readers see the old
// file or the new one, never a part.
LONG ReplaceFile(const std::string& directory, const std::string& name, std::string_view text) {
    std::string temporary = directory + "/" + name + ".tmp";
    std::string target = directory + "/" + name;
    // Writers hold the lock, so whatever is left under the temporary name is stale; removing it first
    // and creating exclusively means a FIFO or symlink planted there is never opened.
    if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) return LastError();
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return LastError();
    LONG result = WriteAll(fd.Get(), text);
    // The data must be on disk before the rename makes it the registry, or a power cut could leave
    // an empty registry behind.
    if (result == ERROR_SUCCESS && ::fsync(fd.Get()) != 0) result = LastError();
    fd.Reset();
    if (result == ERROR_SUCCESS && ::rename(temporary.c_str(), target.c_str()) != 0) result = LastError();
    if (result != ERROR_SUCCESS) ::unlink(temporary.c_str());
    return result;
}

// Keeps the file about to be replaced as its .bak. A hard link costs nothing and is exactly the old
// file; where links are not supported the text read under the lock is copied instead.
LONG KeepBackup(const std::string& directory, std::string_view previous) {
    std::string hive = directory + "/" + kHiveName;
    std::string backup = hive + ".bak";
    if (::unlink(backup.c_str()) != 0 && errno != ENOENT) return LastError();
    if (::link(hive.c_str(), backup.c_str()) == 0) return ERROR_SUCCESS;
    if (errno != EPERM && errno != EXDEV && errno != EMLINK && errno != ENOTSUP && errno != ENOSYS) return LastError();
    return ReplaceFile(directory, std::string(kHiveName) + ".bak", previous);
}

// Reads the hive's text; `exists` is false when there is no file yet.
LONG ReadHive(const std::string& directory, std::string& text, bool& exists) {
    text.clear();
    exists = false;
    std::string path = directory + "/" + kHiveName;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        if (errno == ELOOP) return ERROR_BADDB;  // a symlink
        if (errno == ENXIO) return ERROR_BADDB;  // a socket or a device without its driver
        if (errno != ENOENT && errno != ENOTDIR) return LastError();
        return ERROR_SUCCESS;
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) return LastError();
    if (!S_ISREG(status.st_mode)) return ERROR_BADDB;
    if (static_cast<unsigned long long>(status.st_size) > kMaxFileSize) return ERROR_REGISTRY_CORRUPT;
    exists = true;
    text.reserve(static_cast<size_t>(status.st_size));
    return ReadAll(fd.Get(), text);
}

LONG ParseHive(std::string_view text, RegistryTree& tree) {
    std::optional<RegistryTree> parsed = ParseRegistryText(text);
    if (!parsed) return ERROR_REGISTRY_CORRUPT;
    tree = std::move(*parsed);
    return ERROR_SUCCESS;
}

LONG OpenLock(const std::string& directory, UniqueFd& lock) {
    lock = UniqueFd(
        ::open((directory + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock) return errno == ELOOP || errno == ENXIO ? ERROR_BADDB : LastError();
    struct stat status {};
    if (::fstat(lock.Get(), &status) != 0) return LastError();
    if (!S_ISREG(status.st_mode)) return ERROR_BADDB;
    return LockFile(lock.Get(), LOCK_EX) ? ERROR_SUCCESS : LastError();
}

}  // namespace

LONG RegistryFile::Load(RegistryTree& tree) {
    std::string text;
    bool exists = false;
    if (LONG result = ReadHive(RegistryDirectory(), text, exists); result != ERROR_SUCCESS) return result;
    return ParseHive(text, tree);
}

LONG RegistryFile::Modify(const std::function<LONG(RegistryTree& tree, bool& changed)>& change) {
    std::string directory = RegistryDirectory();
    if (!MakeDirectories(directory)) return LastError();
    UniqueFd lock;
    if (LONG result = OpenLock(directory, lock); result != ERROR_SUCCESS) return result;
    std::string previous;
    bool exists = false;
    if (LONG result = ReadHive(directory, previous, exists); result != ERROR_SUCCESS) return result;
    RegistryTree tree;
    if (LONG result = ParseHive(previous, tree); result != ERROR_SUCCESS) return result;
    bool changed = false;
    LONG result = change(tree, changed);
    if (result != ERROR_SUCCESS || !changed) return result;
    std::optional<std::string> text = FormatRegistryText(tree, kMaxFileSize);
    if (!text) return ERROR_NOT_ENOUGH_MEMORY;
    if (exists)
        if (LONG kept = KeepBackup(directory, previous); kept != ERROR_SUCCESS) return kept;
    return ReplaceFile(directory, kHiveName, *text);
}

}  // namespace kelvra::platform
