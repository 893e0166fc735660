// Gives the test a registry of its own for as long as it lives, so registry tests never touch the
// user's real settings nor see another test's, and removes it afterwards. On Linux it points
// XDG_CONFIG_HOME, where the platform library keeps the registry, at a fresh temporary directory;
// on Windows it redirects this process's HKEY_CURRENT_USER to a fresh key that it deletes again.
#pragma once

#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

class TemporaryConfigHome {
public:
    TemporaryConfigHome();
    ~TemporaryConfigHome();
    TemporaryConfigHome(const TemporaryConfigHome&) = delete;
    TemporaryConfigHome& operator=(const TemporaryConfigHome&) = delete;

#ifndef _WIN32
    std::string RegistryPath() const { return directory + "/kelvra/registry.txt"; }
    std::string ReadRegistryFile() const;
    void WriteRegistryFile(const std::string& text) const;
#endif

private:
#ifdef _WIN32
    std::string keyPath;  // under the real HKEY_CURRENT_USER
    HKEY key = nullptr;
#else
    std::string directory;
    std::string previous;
    bool hadPrevious = false;
#endif
};
