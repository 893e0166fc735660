// A controller's attachment to the device table: the process copy that every controller of the
// process shares, and this controller's view of the "U3G5-MemMap" mapping that all processes share.
//
// Across processes the mapping has no lock: each write copies the whole process copy in (last
// writer wins) and each attach reads it whole. Within the process one lock covers the process copy,
// so controllers that enumerate on different threads never record the same camera twice.
//
// Any process of the user can make that mapping the wrong size, or cut it short while it is
// mapped. A controller therefore maps it only when it holds exactly one table, reaches the view
// only through copies that fail instead of faulting, and on any such failure carries on with a
// private table: the process copy still records and selects cameras, it is just not shared.
#pragma once

#include "kelvra/win32.h"
#include "usb/UsbDeviceEntry.h"

#include <functional>

namespace kelvra::usb {

extern const char kSharedTableName[];  // "U3G5-MemMap"

// Tests that must not share the table with other processes of the user give it a name of their
// own before the first controller attaches; an empty name restores kSharedTableName.
void SetSharedTableName(const char* name);

class DeviceTable {
public:
    DeviceTable();   // attaches
    ~DeviceTable();  // detaches
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    // False when neither the shared mapping nor a private table could be had; such a controller
    // cannot enumerate.
    bool HasView() const;

    // Runs change on the process copy under the process lock, then writes the copy to the view.
    void Update(const std::function<void(SharedDeviceTable&)>& change);

    // Copies taken under the process lock. Rows outside 0..31 read as empty rows.
    UsbDeviceEntry Entry(int row) const;
    int EntryCount() const;

private:
    void Attach();
    void Detach();
    void UsePrivateTable(const char* reason);
    void WriteToView(const SharedDeviceTable& copy);
    void ReleaseView();

    HANDLE mapping = nullptr;
    void* view = nullptr;
    bool shared = false;
};

}  // namespace kelvra::usb
