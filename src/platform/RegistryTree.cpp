#include "RegistryTree.h"

#include <algorithm>
#include <array>

namespace kelvra::platform {
namespace {

constexpr std::array<std::string_view, 5> kRootNames = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                                        "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

bool EqualNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && FoldCase(a) == FoldCase(b); }

std::string_view ParentOf(std::string_view path) {
    size_t separator = path.rfind('\\');
    return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator);
}

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

bool IsValidKeyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength && name.find('\\') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RegistryValue& value) { return EqualNoCase(value.name, name); });
    return it == values.end() ? nullptr : &*it;
}

void RegistryKey::SetValue(RegistryValue value) {
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RegistryValue& existing) { return EqualNoCase(existing.name, value.name); });
    if (it == values.end()) {
        values.push_back(std::move(value));
    } else {
        it->type = value.type;
        it->data = std::move(value.data);
    }
}

bool RegistryKey::DeleteValue(std::string_view name) {
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RegistryValue& value) { return EqualNoCase(value.name, name); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

RegistryTree::RegistryTree() {
    for (std::string_view root : kRootNames) keys.emplace(FoldCase(root), RegistryKey{std::string(root), {}});
}

bool RegistryTree::IsRootName(std::string_view name) {
    return std::any_of(kRootNames.begin(), kRootNames.end(),
                       [&](std::string_view root) { return EqualNoCase(root, name); });
}

const RegistryKey* RegistryTree::Find(std::string_view path) const {
    auto it = keys.find(FoldCase(path));
    return it == keys.end() ? nullptr : &it->second;
}

RegistryKey* RegistryTree::Find(std::string_view path) {
    auto it = keys.find(FoldCase(path));
    return it == keys.end() ? nullptr : &it->second;
}

RegistryKey* RegistryTree::Create(std::string_view path, bool& created) {
    created = false;
    if (RegistryKey* existing = Find(path)) return existing;
    std::string_view parent = ParentOf(path);
    if (parent.empty()) return nullptr;  // only the predefined roots sit at the top
    bool parentCreated = false;
    if (!Create(parent, parentCreated) || !IsValidKeyName(path.substr(parent.size() + 1))) return nullptr;
    created = true;
    // The parent's stored spelling wins over the caller's, as a key keeps the case it was made with.
    std::string stored = Find(parent)->path + std::string(path.substr(parent.size()));
    return &keys.emplace(FoldCase(path), RegistryKey{std::move(stored), {}}).first->second;
}

bool RegistryTree::HasSubkeys(std::string_view path) const {
    std::string prefix = FoldCase(path) + '\\';
    auto it = keys.lower_bound(prefix);
    return it != keys.end() && it->first.starts_with(prefix);
}

bool RegistryTree::Remove(std::string_view path) {
    if (ParentOf(path).empty() || HasSubkeys(path)) return false;
    return keys.erase(FoldCase(path)) == 1;
}

}  // namespace kelvra::platform
