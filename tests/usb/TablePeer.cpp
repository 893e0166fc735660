// Second process of the shared-table test: reports the table named on its command line as it finds
// it, attaches a controller of its own, and reports again after detaching.
#include "usb/CKelvCy3Cam.h"
#include "usb/DeviceTable.h"

#include <cstdio>
#include <cstring>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    kelvra::usb::SetSharedTableName(argv[1]);
    const SharedDeviceTable before = Read(argv[1]);
    int attached;
    {
        CKelvCy3Cam controller;
        attached = Read(argv[1]).instanceCount;
    }
    const SharedDeviceTable after = Read(argv[1]);
    std::printf("before=%d entries=%d path=%s attached=%d after=%d\n", before.instanceCount, before.entryCount,
                before.rows[0].devicePath, attached, after.instanceCount);
    return 0;
}
