#include "ColourOption.h"

#include <ostream>

namespace {

constexpr char kFormatKey[] = "Software\\Tavrel\\Kelvra880HQLNSdk\\Camera_00";
constexpr DWORD kColour48 = 4;

}  // namespace

std::optional<int32_t> ReadColourOption(const ParsedOptions& options, std::ostream& err) {
    if (!options.Has("--colour")) return 16;
    const std::string& text = options.values.at("--colour");
    if (text == "16") return 16;
    if (text == "48") return 48;
    err << "kelvra: --colour takes 16 or 48, not " << text << '\n';
    return std::nullopt;
}

ColourChoice::ColourChoice(int32_t bits) {
    if (bits != 48) return;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kFormatKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, "Color", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value)
        previous = value;
    changed = RegSetValueExA(key, "Color", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kColour48), sizeof kColour48) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
}

void ColourChoice::Restore() const {
    if (!changed || restored) return;
    restored = true;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kFormatKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (previous) {
        RegSetValueExA(key, "Color", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*previous), sizeof *previous);
    } else {
        RegDeleteValueA(key, "Color");
    }
    RegCloseKey(key);
}
