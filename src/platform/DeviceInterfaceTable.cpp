#include "DeviceInterfaceTable.h"

#include "DeviceNotify.h"

#include <algorithm>
#include <cstring>

namespace kelvra::platform {
namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool IsSameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

bool IsSamePath(const std::string& a, const std::string& b) {
    return std::ranges::equal(a, b, [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

DeviceInterfaceTable& DeviceInterfaceTable::Instance() {
    static DeviceInterfaceTable* table = new DeviceInterfaceTable;  // providers may leave from atexit code
    return *table;
}

bool DeviceInterfaceTable::Add(const GUID& interfaceClass, const std::string& path,
                               std::shared_ptr<DeviceProvider> provider) {
    if (path.empty() || !provider) return false;
    std::lock_guard order(notifyOrder);
    {
        std::lock_guard guard(lock);
        auto same = [&](const Entry& entry) { return IsSamePath(entry.path, path); };
        if (std::ranges::any_of(entries, same)) return false;
        entries.push_back({interfaceClass, path, std::move(provider)});
    }
    BroadcastDeviceInterfaceChange(interfaceClass, path, true);
    return true;
}

bool DeviceInterfaceTable::Remove(const std::string& path) {
    std::lock_guard order(notifyOrder);
    Entry removed{};
    {
        std::lock_guard guard(lock);
        auto it = std::ranges::find_if(entries, [&](const Entry& entry) { return IsSamePath(entry.path, path); });
        if (it == entries.end()) return false;
        removed = std::move(*it);
        entries.erase(it);
    }
    BroadcastDeviceInterfaceChange(removed.interfaceClass, removed.path, false);
    return true;
}

std::vector<DeviceInterfaceTable::Entry> DeviceInterfaceTable::Snapshot() const {
    std::lock_guard guard(lock);
    return entries;
}

std::optional<DeviceInterfaceTable::Entry> DeviceInterfaceTable::Find(const std::string& path) const {
    std::lock_guard guard(lock);
    auto it = std::ranges::find_if(entries, [&](const Entry& entry) { return IsSamePath(entry.path, path); });
    if (it == entries.end()) return std::nullopt;
    return *it;
}

bool AddDeviceInterface(const GUID& interfaceClass, const std::string& path, std::shared_ptr<DeviceProvider> provider) {
    return DeviceInterfaceTable::Instance().Add(interfaceClass, path, std::move(provider));
}

bool RemoveDeviceInterface(const std::string& path) { return DeviceInterfaceTable::Instance().Remove(path); }

}  // namespace kelvra::platform
