// The registry in memory: keys by path, each with its values. Key and value names compare without
// regard to ASCII case and keep the case they were created with, as on Windows.
#pragma once

#include "kelvra/win32/types.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::platform {

struct RegistryValue {
    std::string name;  // empty: the key's default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct RegistryKey {
    std::string path;                   // full path from a root, e.g. "HKEY_CURRENT_USER\Software\Tavrel"
    std::vector<RegistryValue> values;  // in the order they were first set

    const RegistryValue* FindValue(std::string_view name) const;
    void SetValue(RegistryValue value);
    bool DeleteValue(std::string_view name);
};

class RegistryTree {
public:
    RegistryTree();

    // The predefined roots always exist and cannot be deleted.
    static bool IsRootName(std::string_view name);

    const RegistryKey* Find(std::string_view path) const;
    RegistryKey* Find(std::string_view path);
    // Creates the key and any missing ancestors; the path's root must be a predefined root.
    RegistryKey* Create(std::string_view path, bool& created);
    bool HasSubkeys(std::string_view path) const;
    // Removes a key without subkeys; false for a root or a missing key.
    bool Remove(std::string_view path);

    const std::map<std::string, RegistryKey>& Keys() const { return keys; }

private:
    std::map<std::string, RegistryKey> keys;  // by case-folded path: parents sort before children
};

// Validation shared by the API and the parser of the file.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxKeyDepth = 512;

std::string FoldCase(std::string_view text);
bool IsValidKeyName(std::string_view name);

}  // namespace kelvra::platform
