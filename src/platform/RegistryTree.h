// The registry in memory: a tree of keys, each with its values. Key and value names compare without
// regard to ASCII case and keep the case they were created with, as on Windows.
//
// Every key stores only its own name; full paths are composed when asked for, so a deep key costs its
// names once and not once per ancestor. Values and subkeys are found through an index per key, so
// reading a file of n values, and looking one up, take time linear in n.
#pragma once

#include "kelvra/win32/types.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvra::platform {

// Limits of the hive. Names follow Windows' own; the depth is deliberately far below Windows' 512,
// as nothing here needs more and every level costs a lookup on each call.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxKeyDepth = 32;  // key names below the predefined root
// Keys and values together; a 16 MiB file of tiny entries would otherwise cost gigabytes in memory.
constexpr size_t kMaxHiveEntries = size_t{1} << 18;

struct RegistryValue {
    std::string name;  // empty: the key's default value
    DWORD type = 0;
    std::vector<BYTE> data;
};

class RegistryKey {
public:
    using Subkeys = std::map<std::string, std::unique_ptr<RegistryKey>>;  // by case-folded name

    RegistryKey(std::string name, RegistryKey* parent);
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    const std::string& Name() const { return name; }
    const RegistryKey* Parent() const { return parent; }
    // Number of names below the predefined root; 0 for a root.
    size_t Depth() const { return depth; }
    // The full path from its root, e.g. "HKEY_CURRENT_USER\Software\Tavrel".
    std::string Path() const;

    const std::vector<RegistryValue>& Values() const { return values; }  // in the order first set
    const RegistryValue* FindValue(std::string_view name) const;

    const Subkeys& SubkeyMap() const { return subkeys; }
    RegistryKey* FindSubkey(std::string_view name) const;

    // Lines of the file in this key's section that were not values (comments, and lines the parser
    // could not read), each ending in '\n', written back verbatim so that a rewrite never loses a hand
    // edit. One string rather than one per line: a file of short lines must not cost many times its size.
    std::string keptLines;

private:
    friend class RegistryTree;

    // Replaces the value of the same name, keeping its position; true when the value is new.
    bool SetValue(RegistryValue value);
    bool DeleteValue(std::string_view name);

    std::string name;
    RegistryKey* parent;
    size_t depth;
    std::vector<RegistryValue> values;
    std::unordered_map<std::string, size_t> valueIndex;  // case-folded name -> position in values
    Subkeys subkeys;
};

class RegistryTree {
public:
    RegistryTree();
    RegistryTree(RegistryTree&&) = default;
    RegistryTree& operator=(RegistryTree&&) = default;

    // The predefined roots always exist and cannot be deleted.
    static bool IsRootName(std::string_view name);
    const std::vector<std::unique_ptr<RegistryKey>>& Roots() const { return roots; }

    const RegistryKey* Find(std::string_view path) const;
    RegistryKey* Find(std::string_view path);
    // Creates the key and any missing ancestors; null when the path's root is not a predefined root,
    // a name is not valid, the path is deeper than kMaxKeyDepth or the hive is full.
    RegistryKey* Create(std::string_view path, bool& created);
    // Removes a key without subkeys; false for a root or a missing key.
    bool Remove(std::string_view path);

    // Sets a value through the tree, which counts it against kMaxHiveEntries; false when full.
    bool SetValue(RegistryKey& key, RegistryValue value);
    bool DeleteValue(RegistryKey& key, std::string_view name);

    // Keys and values held, the roots not counted.
    size_t EntryCount() const { return entries; }
    bool Full() const { return entries >= kMaxHiveEntries; }

    // Lines before the first section, and whole sections whose header could not be read, verbatim.
    std::string keptPreamble;
    std::string keptSections;

private:
    RegistryKey* FindRoot(std::string_view name) const;

    std::vector<std::unique_ptr<RegistryKey>> roots;
    size_t entries = 0;
};

std::string FoldCase(std::string_view text);
bool IsValidKeyName(std::string_view name);

}  // namespace kelvra::platform
