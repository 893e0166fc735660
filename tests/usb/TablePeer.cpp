// Second process of the shared-table tests.
//   usb_table_peer NAME              reports the table as it finds it, attaches a controller of its
//                                    own, and reports again after detaching.
//   usb_table_peer hold NAME SIZE B  creates a mapping of SIZE bytes that are all B (hex), says
//                                    "ready", and once its input ends says whether the bytes are
//                                    still all B ("intact") or not ("changed").
//   usb_table_peer truncate NAME N   sets the object behind the mapping to N bytes, as a process
//                                    would that cuts it short under its users; says "done".
#include "TableTamper.h"
#include "usb/CKelvCy3Cam.h"
#include "usb/DeviceTable.h"

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

SharedDeviceTable Read(const char* name) {
    SharedDeviceTable table{};
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (mapping == nullptr) return table;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) {
        std::memcpy(&table, view, sizeof table);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return table;
}

int Report(const char* name) {
    kelvra::usb::SetSharedTableName(name);
    const SharedDeviceTable before = Read(name);
    int attached;
    {
        CKelvCy3Cam controller;
        attached = Read(name).instanceCount;
    }
    const SharedDeviceTable after = Read(name);
    std::printf("before=%d entries=%d path=%s attached=%d after=%d\n", before.instanceCount, before.entryCount,
                before.rows[0].devicePath, attached, after.instanceCount);
    return 0;
}

int Hold(const char* name, unsigned long size, int fill) {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DWORD(size), name);
    if (mapping == nullptr) return 1;
    auto* bytes = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (bytes == nullptr) return 1;
    std::memset(bytes, fill, size);
    std::printf("ready\n");
    std::fflush(stdout);
    char ignored;
    while (::read(0, &ignored, 1) > 0) {}
    bool intact = true;
    for (unsigned long i = 0; i < size; ++i) intact = intact && bytes[i] == fill;
    std::printf("%s\n", intact ? "intact" : "changed");
    UnmapViewOfFile(bytes);
    CloseHandle(mapping);
    return 0;
}

int Truncate(const char* name, long size) {
    const std::string path = tabletamper::ObjectPath(name);
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    const bool done = fd >= 0 && ::ftruncate(fd, size) == 0;
    if (fd >= 0) ::close(fd);
    std::printf("%s\n", done ? "done" : "failed");
    return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) return Report(argv[1]);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hold" && argc == 5)
        return Hold(argv[2], std::strtoul(argv[3], nullptr, 10), int(std::strtol(argv[4], nullptr, 16)));
    if (mode == "truncate" && argc == 4) return Truncate(argv[2], std::strtol(argv[3], nullptr, 10));
    return 2;
}
