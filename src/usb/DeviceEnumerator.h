// One enumeration pass over the device interfaces of the camera class: every interface whose path
// opens and is not yet in the device table gets the next row and the next device number of its
// vendor and product id. Rows are never removed, so a camera that comes back keeps its row.
#pragma once

#include "kelvra/win32.h"
#include "usb/DeviceTable.h"

namespace kelvra::usb {

// Returns the table's entryCount after the pass; 0 when the table has no view.
int EnumerateDeviceInterfaces(const GUID& interfaceClass, DeviceTable& table);

}  // namespace kelvra::usb
