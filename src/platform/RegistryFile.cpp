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
#include <string>

namespace kelvra::platform {
namespace {

// A file this large was not written by us; refusing it keeps a runaway edit from exhausting memory,
// and refusing to write over it keeps the user's data for inspection.
constexpr size_t kMaxFileSize = 32 * 1024 * 1024;

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

LONG WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return static_cast<LONG>(Win32ErrorFromErrno(errno));
        written += static_cast<size_t>(count);
    }
    return ERROR_SUCCESS;
}

LONG Save(const std::string& directory, const RegistryTree& tree) {
    std::string text = FormatRegistryText(tree);
    if (text.size() > kMaxFileSize) return ERROR_NOT_ENOUGH_MEMORY;
    std::string temporary = directory + "/registry.txt.tmp";
    UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd) return static_cast<LONG>(Win32ErrorFromErrno(errno));
    LONG result = WriteAll(fd.Get(), text);
    // The data must be on disk before the rename makes it the registry, or a power cut could leave
    // an empty registry behind.
    if (result == ERROR_SUCCESS && ::fsync(fd.Get()) != 0) result = static_cast<LONG>(Win32ErrorFromErrno(errno));
    fd.Reset();
    if (result == ERROR_SUCCESS && ::rename(temporary.c_str(), (directory + "/registry.txt").c_str()) != 0)
        result = static_cast<LONG>(Win32ErrorFromErrno(errno));
    if (result != ERROR_SUCCESS) ::unlink(temporary.c_str());
    return result;
}

}  // namespace

LONG RegistryFile::Load(RegistryTree& tree) {
    std::string path = RegistryDirectory() + "/registry.txt";
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (errno != ENOENT && errno != ENOTDIR) return static_cast<LONG>(Win32ErrorFromErrno(errno));
        tree = RegistryTree();
        return ERROR_SUCCESS;
    }
    std::string text;
    if (LONG result = ReadAll(fd.Get(), text); result != ERROR_SUCCESS) return result;
    tree = ParseRegistryText(text);
    return ERROR_SUCCESS;
}

LONG RegistryFile::Modify(const std::function<LONG(RegistryTree& tree, bool& changed)>& change) {
    std::string directory = RegistryDirectory();
    if (!MakeDirectories(directory)) return static_cast<LONG>(Win32ErrorFromErrno(errno));
    UniqueFd lock(::open((directory + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock || !LockFile(lock.Get(), LOCK_EX)) return static_cast<LONG>(Win32ErrorFromErrno(errno));
    RegistryTree tree;
    if (LONG result = Load(tree); result != ERROR_SUCCESS) return result;
    bool changed = false;
    LONG result = change(tree, changed);
    if (result != ERROR_SUCCESS || !changed) return result;
    return Save(directory, tree);
}

}  // namespace kelvra::platform
