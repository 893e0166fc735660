// A controller's attachment to the device table: the process copy that every controller of the
// process shares, and this controller's view of the "U3G5-MemMap" mapping that all processes share.
//
// Across processes the mapping has no lock: each write copies the whole process copy in (last
// writer wins) and each attach reads it whole. Within the process one lock covers the process copy,
// so controllers that enumerate on different threads never record the same camera twice.
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

    // False when the mapping could be neither opened nor created; such a controller cannot enumerate.
    bool HasView() const { return view != nullptr; }

    // Runs change on the process copy under the process lock, then writes the copy to the view.
    void Update(const std::function<void(SharedDeviceTable&)>& change);

    // Copies taken under the process lock. Rows outside 0..31 read as empty rows.
    UsbDeviceEntry Entry(int row) const;
    int EntryCount() const;

private:
    void Attach();
    void Detach();
    void WriteToView(const SharedDeviceTable& copy);

    HANDLE mapping = nullptr;
    SharedDeviceTable* view = nullptr;
};

}  // namespace kelvra::usb
