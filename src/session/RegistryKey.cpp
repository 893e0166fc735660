#include "session/RegistryKey.h"

#include <cstring>

RegistryKey::RegistryKey(HKEY parent, const char* path, bool create) {
    if (parent == nullptr) return;
    if (!create) {
        if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS) key = nullptr;
        return;
    }
    DWORD disposition = 0;
    if (RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
        key = nullptr;
        return;
    }
    created = disposition == REG_CREATED_NEW_KEY;
}

RegistryKey::RegistryKey(const RegistryKey& parent, const char* path, bool create)
    : RegistryKey(parent.key, path, create) {}

RegistryKey::~RegistryKey() {
    if (key != nullptr) RegCloseKey(key);
}

std::optional<int32_t> RegistryKey::ReadNumber(const char* name) const {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (key == nullptr ||
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<double> RegistryKey::ReadDouble(const char* name) const {
    DWORD type = 0;
    BYTE bytes[sizeof(double)] = {};
    DWORD size = sizeof bytes;
    if (key == nullptr || RegQueryValueExA(key, name, nullptr, &type, bytes, &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof bytes) {
        return std::nullopt;
    }
    double value = 0.0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

bool RegistryKey::WriteNumber(const char* name, int32_t value) const {
    const DWORD stored = static_cast<DWORD>(value);
    return key != nullptr && RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                                            sizeof stored) == ERROR_SUCCESS;
}

bool RegistryKey::WriteDouble(const char* name, double value) const {
    BYTE bytes[sizeof(double)];
    std::memcpy(bytes, &value, sizeof bytes);
    return key != nullptr && RegSetValueExA(key, name, 0, REG_BINARY, bytes, sizeof bytes) == ERROR_SUCCESS;
}
