#include "RegistryFile.h"
#include "RegistryTree.h"

#include "kelvra/win32/registry.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

using namespace kelvra::platform;

namespace {

struct OpenKey {
    std::string path;
    REGSAM access = 0;
};

// Open key handles of the process. A handle names a path; the key itself lives in the file and may be
// deleted by another process, which later calls on the handle report as ERROR_KEY_DELETED.
class KeyHandles {
public:
    HKEY Insert(OpenKey key) {
        std::lock_guard guard(lock);
        uintptr_t value = next;
        next += 4;
        keys.emplace(value, std::move(key));
        return reinterpret_cast<HKEY>(value);
    }

    bool Find(HKEY handle, OpenKey& key) {
        std::lock_guard guard(lock);
        auto it = keys.find(reinterpret_cast<uintptr_t>(handle));
        if (it == keys.end()) return false;
        key = it->second;
        return true;
    }

    bool Remove(HKEY handle) {
        std::lock_guard guard(lock);
        return keys.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
    }

private:
    std::mutex lock;
    std::unordered_map<uintptr_t, OpenKey> keys;
    uintptr_t next = 0x1000;
};

KeyHandles& Handles() {
    static KeyHandles* handles = new KeyHandles;  // keys may be closed from atexit code
    return *handles;
}

const char* PredefinedRoot(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (key == HKEY_USERS) return "HKEY_USERS";
    if (key == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
    return nullptr;
}

LONG Resolve(HKEY handle, OpenKey& key) {
    if (const char* root = PredefinedRoot(handle)) {
        key = OpenKey{root, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    return Handles().Find(handle, key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// Appends a relative key path to `base`; null or empty names the base key itself.
LONG ComposePath(const std::string& base, LPCSTR subKey, std::string& path) {
    path = base;
    if (!subKey || !*subKey) return ERROR_SUCCESS;
    std::string_view rest(subKey);
    if (rest.front() == '\\') return ERROR_BAD_PATHNAME;
    if (rest.back() == '\\') rest.remove_suffix(1);
    size_t depth = static_cast<size_t>(std::count(base.begin(), base.end(), '\\'));  // names below the root
    while (true) {
        size_t separator = rest.find('\\');
        std::string_view name = rest.substr(0, separator);
        if (name.empty()) return ERROR_BAD_PATHNAME;
        if (!IsValidKeyName(name) || ++depth > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
        path += '\\';
        path += name;
        if (separator == std::string_view::npos) return ERROR_SUCCESS;
        rest.remove_prefix(separator + 1);
    }
}

std::string_view ValueName(LPCSTR name) { return name ? std::string_view(name) : std::string_view(); }

// Size query, ERROR_MORE_DATA and copy of a value's data, shared by query and enumeration.
LONG DeliverData(const RegistryValue& value, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (type) *type = value.type;
    auto size = static_cast<DWORD>(value.data.size());
    if (!dataSize) return ERROR_SUCCESS;
    if (data) {
        if (*dataSize < size) {
            *dataSize = size;
            return ERROR_MORE_DATA;
        }
        if (size > 0) std::memcpy(data, value.data.data(), size);
    }
    *dataSize = size;
    return ERROR_SUCCESS;
}

// The key of an open handle, read from the current registry, for the query side of the API.
LONG LoadKey(HKEY handle, REGSAM needed, RegistryTree& tree, const RegistryKey*& key) {
    OpenKey open;
    if (LONG result = Resolve(handle, open); result != ERROR_SUCCESS) return result;
    if ((open.access & needed) != needed) return ERROR_ACCESS_DENIED;
    if (LONG result = RegistryFile::Load(tree); result != ERROR_SUCCESS) return result;
    key = tree.Find(open.path);
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Runs `change` on the key of an open handle under the writers' lock.
template <class Change>
LONG ModifyKey(HKEY handle, REGSAM needed, Change change) {
    OpenKey open;
    if (LONG result = Resolve(handle, open); result != ERROR_SUCCESS) return result;
    if ((open.access & needed) != needed) return ERROR_ACCESS_DENIED;
    return RegistryFile::Modify([&](RegistryTree& tree, bool& changed) -> LONG {
        RegistryKey* key = tree.Find(open.path);
        if (!key) return ERROR_KEY_DELETED;
        return change(tree, *key, changed);
    });
}

}  // namespace

extern "C" {

WINADVAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                                         LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    // Volatile keys are kept like any other: nothing here outlives a reboot differently.
    if ((dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE)) != 0) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    if (LONG result = Resolve(hKey, base); result != ERROR_SUCCESS) return result;
    OpenKey opened{std::string(), samDesired};
    if (LONG result = ComposePath(base.path, lpSubKey, opened.path); result != ERROR_SUCCESS) return result;
    bool created = false;
    LONG result = RegistryFile::Modify([&](RegistryTree& tree, bool& changed) -> LONG {
        if (!tree.Find(base.path)) return ERROR_KEY_DELETED;
        if (!tree.Find(opened.path) && (base.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
        // The path was checked above, so only a full hive refuses it.
        if (!tree.Create(opened.path, created)) return ERROR_NOT_ENOUGH_MEMORY;
        changed = created;
        return ERROR_SUCCESS;
    });
    if (result != ERROR_SUCCESS) return result;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = Handles().Insert(std::move(opened));
    return ERROR_SUCCESS;
}

WINADVAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    RegistryTree tree;
    const RegistryKey* base = nullptr;
    if (LONG result = LoadKey(hKey, 0, tree, base); result != ERROR_SUCCESS) return result;
    OpenKey opened{std::string(), samDesired};
    if (LONG result = ComposePath(base->Path(), lpSubKey, opened.path); result != ERROR_SUCCESS) return result;
    if (!tree.Find(opened.path)) return ERROR_FILE_NOT_FOUND;
    *phkResult = Handles().Insert(std::move(opened));
    return ERROR_SUCCESS;
}

WINADVAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                          LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    RegistryTree tree;
    const RegistryKey* key = nullptr;
    if (LONG result = LoadKey(hKey, KEY_QUERY_VALUE, tree, key); result != ERROR_SUCCESS) return result;
    const RegistryValue* value = key->FindValue(ValueName(lpValueName));
    if (!value) return ERROR_FILE_NOT_FOUND;
    return DeliverData(*value, lpType, lpData, lpcbData);
}

WINADVAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, CONST BYTE* lpData,
                                        DWORD cbData) {
    if (!lpData && cbData != 0) return ERROR_NOACCESS;
    std::string_view name = ValueName(lpValueName);
    if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    // Refused before the data is copied: it could never fit in the file.
    if (cbData > kMaxFileSize) return ERROR_NOT_ENOUGH_MEMORY;
    RegistryValue value{std::string(name), dwType, std::vector<BYTE>(lpData, lpData + cbData)};
    return ModifyKey(hKey, KEY_SET_VALUE, [&](RegistryTree& tree, RegistryKey& key, bool& changed) -> LONG {
        if (!tree.SetValue(key, std::move(value))) return ERROR_NOT_ENOUGH_MEMORY;
        changed = true;
        return ERROR_SUCCESS;
    });
}

WINADVAPI LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    return ModifyKey(hKey, KEY_SET_VALUE, [&](RegistryTree& tree, RegistryKey& key, bool& changed) -> LONG {
        changed = tree.DeleteValue(key, ValueName(lpValueName));
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

WINADVAPI LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    return ModifyKey(hKey, 0, [&](RegistryTree& tree, RegistryKey& base, bool& changed) -> LONG {
        std::string path;
        if (LONG result = ComposePath(base.Path(), lpSubKey, path); result != ERROR_SUCCESS) return result;
        if (!tree.Find(path)) return ERROR_FILE_NOT_FOUND;
        // A root, or a key that still has subkeys, cannot be deleted.
        changed = tree.Remove(path);
        return changed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    });
}

WINADVAPI LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                       LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    RegistryTree tree;
    const RegistryKey* key = nullptr;
    if (LONG result = LoadKey(hKey, KEY_QUERY_VALUE, tree, key); result != ERROR_SUCCESS) return result;
    if (dwIndex >= key->Values().size()) return ERROR_NO_MORE_ITEMS;
    const RegistryValue& value = key->Values()[dwIndex];
    if (*lpcchValueName <= value.name.size()) return ERROR_MORE_DATA;  // the name and its terminator must fit
    LONG result = DeliverData(value, lpType, lpData, lpcbData);
    if (result != ERROR_SUCCESS) return result;
    std::memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(value.name.size());
    return ERROR_SUCCESS;
}

WINADVAPI LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (PredefinedRoot(hKey)) return ERROR_SUCCESS;
    return Handles().Remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
