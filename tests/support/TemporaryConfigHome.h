// Points XDG_CONFIG_HOME at a fresh temporary directory, so registry tests never touch the user's
// real configuration, and removes it afterwards.
#pragma once

#include <string>

class TemporaryConfigHome {
public:
    TemporaryConfigHome();
    ~TemporaryConfigHome();
    TemporaryConfigHome(const TemporaryConfigHome&) = delete;
    TemporaryConfigHome& operator=(const TemporaryConfigHome&) = delete;

    std::string RegistryPath() const { return directory + "/kelvra/registry.txt"; }
    std::string ReadRegistryFile() const;
    void WriteRegistryFile(const std::string& text) const;

private:
    std::string directory;
    std::string previous;
    bool hadPrevious = false;
};
