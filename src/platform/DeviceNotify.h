// The bridge from the device-interface table to windows registered with RegisterDeviceNotificationA.
#pragma once

#include "kelvra/win32/types.h"

#include <string>

namespace kelvra::platform {

// Delivers WM_DEVICECHANGE with DBT_DEVICEARRIVAL (arrived) or DBT_DEVICEREMOVECOMPLETE and a
// DEV_BROADCAST_DEVICEINTERFACE_A for the path to every window registered for the class.
void BroadcastDeviceInterfaceChange(const GUID& interfaceClass, const std::string& path, bool arrived);

}  // namespace kelvra::platform
