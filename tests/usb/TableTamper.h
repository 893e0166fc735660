// Acting as another process of the user that resizes the shared-memory object behind a named
// mapping. The object is found as the kernel names the file behind a view of the mapping, so
// nothing here depends on how the platform library names it. Linux only, like the tests.
#pragma once

#include "kelvra/win32.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace tabletamper {

// The file behind the mapped address, from /proc/self/maps; empty when none.
inline std::string FileBehind(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto target = reinterpret_cast<uintptr_t>(address);
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx", &start, &end) != 2 || target < start || target >= end) continue;
        const std::size_t slash = line.find('/');
        return slash == std::string::npos ? std::string() : line.substr(slash);
    }
    return std::string();
}

// The object behind the named mapping; empty when no process holds one or it holds no bytes.
inline std::string ObjectPath(const std::string& name) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping == nullptr) return std::string();
    std::string path;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1)) {
        path = FileBehind(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return path;
}

}  // namespace tabletamper
