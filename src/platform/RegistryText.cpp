#include "RegistryText.h"

#include "kelvra/win32/registry.h"

#include <optional>

namespace kelvra::platform {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
// Written at the top of every file; skipped when read, so that it is not kept as a hand-written line.
constexpr std::string_view kFileHeader =
    "; Registry of the Kelvra platform library: [key paths] and \"value\"=type:data lines.";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<BYTE> HexByte(std::string_view text, size_t pos) {
    if (pos + 2 > text.size() || HexValue(text[pos]) < 0 || HexValue(text[pos + 1]) < 0) return std::nullopt;
    return static_cast<BYTE>(HexValue(text[pos]) * 16 + HexValue(text[pos + 1]));
}

// 1 to 8 hex digits, the whole of `text`.
std::optional<DWORD> ParseHexNumber(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    DWORD number = 0;
    for (char c : text) {
        if (HexValue(c) < 0) return std::nullopt;
        number = number * 16 + static_cast<DWORD>(HexValue(c));
    }
    return number;
}

void AppendHexByte(std::string& out, BYTE byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 15];
}

// `digits` 0 writes as few digits as the number needs.
void AppendHexNumber(std::string& out, DWORD number, int digits) {
    if (digits == 0)
        for (digits = 1; digits < 8 && (number >> (4 * digits)) != 0;) ++digits;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHexDigits[(number >> shift) & 15];
}

// ---- quoted strings ----

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\x";
                    AppendHexByte(out, byte);
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

// Reads a quoted string starting at text[pos] == '"'; on success `pos` is past the closing quote.
std::optional<std::string> ParseQuoted(std::string_view text, size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string result;
    for (size_t i = pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return result;
        }
        if (c != '\\') {
            result += c;
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\':
                result += '\\';
                break;
            case '"':
                result += '"';
                break;
            case 'n':
                result += '\n';
                break;
            case 'r':
                result += '\r';
                break;
            case 't':
                result += '\t';
                break;
            case 'x': {
                std::optional<BYTE> byte = HexByte(text, i + 1);
                if (!byte) return std::nullopt;
                result += static_cast<char>(*byte);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

// ---- key paths ----

void AppendKeyPath(std::string& out, std::string_view path) {
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            AppendHexByte(out, byte);
        } else {
            out += c;
        }
    }
}

// Decodes "[...]" content into a path of valid key names under a predefined root.
std::optional<std::string> ParseKeyPath(std::string_view text) {
    std::string path;
    size_t depth = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string_view::npos) end = text.size();
        std::string name;
        for (size_t i = start; i < end; ++i) {
            if (text[i] != '%') {
                name += text[i];
                continue;
            }
            std::optional<BYTE> byte = HexByte(text, i + 1);
            if (!byte || i + 3 > end) return std::nullopt;
            name += static_cast<char>(*byte);
            i += 2;
        }
        if (depth == 0 ? !RegistryTree::IsRootName(name) : !IsValidKeyName(name)) return std::nullopt;
        if (++depth > kMaxKeyDepth + 1) return std::nullopt;  // the root and the names below it
        if (!path.empty()) path += '\\';
        path += name;
        start = end + 1;
    }
    return path;
}

// ---- values ----

bool IsPlainString(const std::vector<BYTE>& data) {
    if (data.empty() || data.back() != 0) return false;
    for (size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0) return false;
    return true;
}

void AppendValue(std::string& out, const RegistryValue& value) {
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | value.data[static_cast<size_t>(i)];
        out += "dword:";
        AppendHexNumber(out, number, 8);
    } else if (value.type == REG_SZ && IsPlainString(value.data)) {
        out += "sz:";
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
    } else {
        if (value.type == REG_BINARY) {
            out += "hex:";
        } else {
            out += "hex(";
            AppendHexNumber(out, value.type, 0);
            out += "):";
        }
        for (size_t i = 0; i < value.data.size(); ++i) {
            if (i > 0) out += ',';
            AppendHexByte(out, value.data[i]);
        }
    }
    out += '\n';
}

std::optional<std::vector<BYTE>> ParseHexBytes(std::string_view text) {
    std::vector<BYTE> bytes;
    if (text.empty()) return bytes;
    for (size_t pos = 0;; pos += 3) {
        std::optional<BYTE> byte = HexByte(text, pos);
        if (!byte) return std::nullopt;
        bytes.push_back(*byte);
        if (pos + 2 == text.size()) return bytes;
        if (text[pos + 2] != ',') return std::nullopt;
    }
}

std::optional<RegistryValue> ParseValueLine(std::string_view line) {
    RegistryValue value;
    size_t pos = 0;
    if (line.starts_with('@')) {
        pos = 1;
    } else {
        std::optional<std::string> name = ParseQuoted(line, pos);
        if (!name || name->empty() || name->size() > kMaxValueNameLength || name->find('\0') != std::string::npos)
            return std::nullopt;
        value.name = std::move(*name);
    }
    if (pos >= line.size() || line[pos] != '=') return std::nullopt;
    std::string_view data = line.substr(pos + 1);
    if (data.starts_with("dword:")) {
        std::optional<DWORD> number = ParseHexNumber(data.substr(6));
        if (!number) return std::nullopt;
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<BYTE>(*number >> (8 * i)));
        return value;
    }
    if (data.starts_with("sz:")) {
        size_t quoted = 3;
        std::optional<std::string> text = ParseQuoted(data, quoted);
        if (!text || quoted != data.size() || text->find('\0') != std::string::npos) return std::nullopt;
        value.type = REG_SZ;
        value.data.assign(text->begin(), text->end());
        value.data.push_back(0);
        return value;
    }
    std::string_view bytes;
    if (data.starts_with("hex:")) {
        value.type = REG_BINARY;
        bytes = data.substr(4);
    } else if (data.starts_with("hex(")) {
        size_t close = data.find("):");
        std::optional<DWORD> type =
            close == std::string_view::npos ? std::nullopt : ParseHexNumber(data.substr(4, close - 4));
        if (!type) return std::nullopt;
        value.type = *type;
        bytes = data.substr(close + 2);
    } else {
        return std::nullopt;
    }
    std::optional<std::vector<BYTE>> parsed = ParseHexBytes(bytes);
    if (!parsed) return std::nullopt;
    value.data = std::move(*parsed);
    return value;
}

std::string_view TrimLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    return line;
}

void AppendLine(std::string& out, std::string_view line) {
    out += line;
    out += '\n';
}

// Writes `key` and its subkeys; `path` is the key's escaped path and is restored before returning.
bool AppendKey(std::string& out, const RegistryKey& key, std::string& path, size_t maxSize) {
    bool isRoot = key.Depth() == 0;
    if (!key.Values().empty() || !key.keptLines.empty() || (!isRoot && key.SubkeyMap().empty())) {
        out += "\n[";
        out += path;
        out += "]\n";
        out += key.keptLines;
        for (const RegistryValue& value : key.Values()) {
            // Checked per value, so a runaway registry is refused before its text grows far past the limit.
            if (out.size() > maxSize) return false;
            AppendValue(out, value);
        }
    }
    for (const auto& [folded, subkey] : key.SubkeyMap()) {
        if (out.size() > maxSize) return false;
        size_t length = path.size();
        path += '\\';
        AppendKeyPath(path, subkey->Name());
        bool fits = AppendKey(out, *subkey, path, maxSize);
        path.resize(length);
        if (!fits) return false;
    }
    return true;
}

}  // namespace

std::optional<RegistryTree> ParseRegistryText(std::string_view text) {
    RegistryTree tree;
    RegistryKey* section = nullptr;
    bool inUnreadSection = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(start, end - start);
        std::string_view line = TrimLine(raw);
        start = end + 1;
        if (line.empty() || line == kFileHeader) continue;
        if (line.front() == '[') {
            std::optional<std::string> path;
            if (line.size() >= 2 && line.back() == ']') path = ParseKeyPath(line.substr(1, line.size() - 2));
            bool created = false;
            section = path ? tree.Create(*path, created) : nullptr;
            // The header was valid, so only a full hive can have refused the key.
            if (path && !section) return std::nullopt;
            inUnreadSection = !section;
            if (inUnreadSection) AppendLine(tree.keptSections, raw);
            continue;
        }
        if (inUnreadSection) {
            AppendLine(tree.keptSections, raw);
        } else if (!section) {
            AppendLine(tree.keptPreamble, raw);
        } else if (line.front() == ';' || line.front() == '#') {
            AppendLine(section->keptLines, raw);
        } else if (std::optional<RegistryValue> value = ParseValueLine(line)) {
            if (!tree.SetValue(*section, std::move(*value))) return std::nullopt;
        } else {
            AppendLine(section->keptLines, raw);
        }
    }
    return tree;
}

std::optional<std::string> FormatRegistryText(const RegistryTree& tree, size_t maxSize) {
    std::string out(kFileHeader);
    out += '\n';
    out += tree.keptPreamble;
    std::string path;
    for (const auto& root : tree.Roots()) {
        path.clear();
        AppendKeyPath(path, root->Name());
        if (!AppendKey(out, *root, path, maxSize)) return std::nullopt;
    }
    if (!tree.keptSections.empty()) {
        out += '\n';
        out += tree.keptSections;
    }
    if (out.size() > maxSize) return std::nullopt;
    return out;
}

}  // namespace kelvra::platform
