// One open key of the current user's registry, closed when it goes, with the value types the
// session stores: 32-bit numbers and 8-byte doubles. Every read checks the stored type and size,
// so a value edited by hand reads as missing rather than as garbage.
#pragma once

#include "kelvra/win32.h"

#include <cstdint>
#include <optional>

class RegistryKey {
public:
    // Opens (or, with create, creates) path below parent; Valid() tells whether it worked.
    RegistryKey(HKEY parent, const char* path, bool create);
    RegistryKey(const RegistryKey& parent, const char* path, bool create);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Valid() const { return key != nullptr; }
    // Whether the key had to be made by this open.
    bool Created() const { return created; }

    std::optional<int32_t> ReadNumber(const char* name) const;
    std::optional<double> ReadDouble(const char* name) const;
    bool WriteNumber(const char* name, int32_t value) const;
    bool WriteDouble(const char* name, double value) const;

private:
    HKEY key = nullptr;
    bool created = false;
};
