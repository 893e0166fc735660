// The process-wide table of device interfaces that SetupDi* enumerate and CreateFileA opens.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::platform {

bool IsSameGuid(const GUID& a, const GUID& b);

// Device paths compare as the system compares them: without regard to (ASCII) case.
bool IsSamePath(const std::string& a, const std::string& b);

class DeviceInterfaceTable {
public:
    struct Entry {
        GUID interfaceClass;
        std::string path;
        std::shared_ptr<DeviceProvider> provider;
    };

    static DeviceInterfaceTable& Instance();

    bool Add(const GUID& interfaceClass, const std::string& path, std::shared_ptr<DeviceProvider> provider);
    bool Remove(const std::string& path);

    // Every interface present now, in the order they were added.
    std::vector<Entry> Snapshot() const;
    std::optional<Entry> Find(const std::string& path) const;

private:
    DeviceInterfaceTable() = default;

    // Held across a change and its notification, so that windows see arrivals and removals in
    // the order the table saw them. Recursive: a window procedure may change the table itself.
    std::recursive_mutex notifyOrder;
    mutable std::mutex lock;
    std::vector<Entry> entries;
};

}  // namespace kelvra::platform
