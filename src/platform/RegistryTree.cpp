#include "RegistryTree.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kelvra::platform {
namespace {

constexpr std::array<std::string_view, 5> kRootNames = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                                        "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return fold(x) == fold(y);
    });
}

// Splits "Root\a\b" into its names; an empty name (doubled or trailing separator) stays in the list
// so that callers refuse it.
std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> names;
    for (size_t start = 0;;) {
        size_t separator = path.find('\\', start);
        names.push_back(path.substr(start, separator == std::string_view::npos ? separator : separator - start));
        if (separator == std::string_view::npos) return names;
        start = separator + 1;
    }
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

// ---- RegistryKey ----

RegistryKey::RegistryKey(std::string name, RegistryKey* parent)
    : name(std::move(name)), parent(parent), depth(parent ? parent->depth + 1 : 0) {}

std::string RegistryKey::Path() const {
    std::vector<const RegistryKey*> chain;
    size_t length = 0;
    for (const RegistryKey* key = this; key; key = key->parent) {
        chain.push_back(key);
        length += key->name.size() + 1;
    }
    std::string path;
    path.reserve(length);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += '\\';
        path += (*it)->name;
    }
    return path;
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
    auto it = valueIndex.find(FoldCase(name));
    return it == valueIndex.end() ? nullptr : &values[it->second];
}

bool RegistryKey::SetValue(RegistryValue value) {
    auto [it, inserted] = valueIndex.try_emplace(FoldCase(value.name), values.size());
    if (inserted) {
        values.push_back(std::move(value));
        return true;
    }
    RegistryValue& existing = values[it->second];
    existing.type = value.type;
    existing.data = std::move(value.data);
    return false;
}

bool RegistryKey::DeleteValue(std::string_view name) {
    auto it = valueIndex.find(FoldCase(name));
    if (it == valueIndex.end()) return false;
    size_t position = it->second;
    valueIndex.erase(it);
    values.erase(values.begin() + static_cast<ptrdiff_t>(position));
    for (auto& [folded, index] : valueIndex)
        if (index > position) --index;
    return true;
}

RegistryKey* RegistryKey::FindSubkey(std::string_view name) const {
    auto it = subkeys.find(FoldCase(name));
    return it == subkeys.end() ? nullptr : it->second.get();
}

// ---- RegistryTree ----

RegistryTree::RegistryTree() {
    for (std::string_view root : kRootNames) roots.push_back(std::make_unique<RegistryKey>(std::string(root), nullptr));
}

bool RegistryTree::IsRootName(std::string_view name) {
    return std::any_of(kRootNames.begin(), kRootNames.end(),
                       [&](std::string_view root) { return EqualNoCase(root, name); });
}

RegistryKey* RegistryTree::FindRoot(std::string_view name) const {
    for (const auto& root : roots)
        if (EqualNoCase(root->Name(), name)) return root.get();
    return nullptr;
}

const RegistryKey* RegistryTree::Find(std::string_view path) const {
    std::vector<std::string_view> names = SplitPath(path);
    const RegistryKey* key = FindRoot(names.front());
    for (size_t i = 1; key && i < names.size(); ++i) key = key->FindSubkey(names[i]);
    return key;
}

RegistryKey* RegistryTree::Find(std::string_view path) {
    return const_cast<RegistryKey*>(std::as_const(*this).Find(path));
}

RegistryKey* RegistryTree::Create(std::string_view path, bool& created) {
    created = false;
    std::vector<std::string_view> names = SplitPath(path);
    if (names.size() > kMaxKeyDepth + 1) return nullptr;
    for (size_t i = 1; i < names.size(); ++i)
        if (!IsValidKeyName(names[i])) return nullptr;
    RegistryKey* key = FindRoot(names.front());
    for (size_t i = 1; key && i < names.size(); ++i) {
        auto [it, inserted] = key->subkeys.try_emplace(FoldCase(names[i]));
        if (inserted) {
            if (Full()) {
                key->subkeys.erase(it);
                return nullptr;
            }
            it->second = std::make_unique<RegistryKey>(std::string(names[i]), key);
            ++entries;
            created = true;
        }
        key = it->second.get();
    }
    return key;
}

bool RegistryTree::Remove(std::string_view path) {
    RegistryKey* key = Find(path);
    if (!key || !key->parent || !key->subkeys.empty()) return false;
    entries -= 1 + key->values.size();
    key->parent->subkeys.erase(FoldCase(key->name));
    return true;
}

bool RegistryTree::SetValue(RegistryKey& key, RegistryValue value) {
    if (Full() && !key.FindValue(value.name)) return false;
    if (key.SetValue(std::move(value))) ++entries;
    return true;
}

bool RegistryTree::DeleteValue(RegistryKey& key, std::string_view name) {
    if (!key.DeleteValue(name)) return false;
    --entries;
    return true;
}

}  // namespace kelvra::platform
