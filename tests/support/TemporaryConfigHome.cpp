#include "TemporaryConfigHome.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32

#include <atomic>

TemporaryConfigHome::TemporaryConfigHome() {
    static std::atomic<unsigned> made{0};
    keyPath = "Software\\KelvraTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(made++);
    RegDeleteTreeA(HKEY_CURRENT_USER, keyPath.c_str());  // left by a crashed run of the same process id
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS)
        throw std::runtime_error("cannot give the test a registry key of its own");
}

TemporaryConfigHome::~TemporaryConfigHome() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CURRENT_USER, keyPath.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, keyPath.c_str());
}

#else

TemporaryConfigHome::TemporaryConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvra-registry-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
    directory = pattern;
    if (const char* previous = std::getenv("XDG_CONFIG_HOME")) {
        this->previous = previous;
        hadPrevious = true;
    }
    ::setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
}

TemporaryConfigHome::~TemporaryConfigHome() {
    if (hadPrevious)
        ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

std::string TemporaryConfigHome::ReadRegistryFile() const {
    std::ifstream file(RegistryPath(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void TemporaryConfigHome::WriteRegistryFile(const std::string& text) const {
    std::filesystem::create_directories(directory + "/kelvra");
    std::ofstream(RegistryPath(), std::ios::binary | std::ios::trunc) << text;
}

#endif
