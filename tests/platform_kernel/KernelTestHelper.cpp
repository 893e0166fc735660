// Second process for the multi-process tests of the registry and of named file mappings.
//
//   reg-set <key> <name> <dword>          write a REG_DWORD under HKEY_CURRENT_USER
//   reg-set-many <key> <prefix> <count>   write <prefix>0 .. <prefix>count-1, each its own change
//   map-check <name>                      open a mapping; exit 0 if its first byte is 0x5A
//   map-hold <name> <size>                create/open a mapping, write 0x5A, print "ready", wait for stdin to close
//
// The exit status is 0 on success.
#include "kelvra/win32.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int SetValue(HKEY key, const std::string& name, DWORD value) {
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
                   ERROR_SUCCESS
               ? 0
               : 1;
}

int WithKey(const char* path, int (*body)(HKEY, char**), char** arguments) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 2;
    int status = body(key, arguments);
    RegCloseKey(key);
    return status;
}

int MapHold(const char* name, DWORD size) {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    if (!mapping) return 2;
    auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) return 3;
    view[0] = 0x5A;
    std::puts("ready");
    std::fflush(stdout);
    char buffer[16];
    while (::read(0, buffer, sizeof buffer) > 0) {}
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    return 0;
}

int MapCheck(const char* name) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!mapping) return 2;
    auto* view = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    int status = view && view[0] == 0x5A ? 0 : 3;
    if (view) UnmapViewOfFile(view);
    CloseHandle(mapping);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 64;
    std::string command = argv[1];
    if (command == "reg-set" && argc == 5)
        return WithKey(
            argv[2], [](HKEY key, char** a) { return SetValue(key, a[0], std::strtoul(a[1], nullptr, 0)); }, argv + 3);
    if (command == "reg-set-many" && argc == 5)
        return WithKey(
            argv[2],
            [](HKEY key, char** a) {
                int count = std::atoi(a[1]);
                for (int i = 0; i < count; ++i)
                    if (SetValue(key, a[0] + std::to_string(i), static_cast<DWORD>(i)) != 0) return 1;
                return 0;
            },
            argv + 3);
    if (command == "map-hold" && argc == 4)
        return MapHold(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0)));
    if (command == "map-check" && argc == 3) return MapCheck(argv[2]);
    return 64;
}
