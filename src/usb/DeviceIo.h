// Every call the USB transport makes on the camera's kernel driver and on the device-setup
// interface goes through here, so that a test build can route simulated cameras through one place.
#pragma once

#include "kelvra/win32.h"

namespace kelvra::usb::deviceio {

HDEVINFO GetClassDevices(const GUID& interfaceClass);
bool EnumerateInterface(HDEVINFO devices, const GUID& interfaceClass, DWORD memberIndex,
                        SP_DEVICE_INTERFACE_DATA* interfaceData);
bool GetInterfaceDetail(HDEVINFO devices, SP_DEVICE_INTERFACE_DATA* interfaceData,
                        SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* requiredSize);
void DestroyDeviceList(HDEVINFO devices);

// The path opened for writing, shared for writing, as the driver expects; null or
// INVALID_HANDLE_VALUE when it does not open.
HANDLE OpenPath(const char* devicePath, bool overlapped);
bool IoControl(HANDLE device, DWORD code, void* input, DWORD inputSize, void* output, DWORD outputSize,
               DWORD* bytesReturned, OVERLAPPED* overlapped);
bool OverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* bytesTransferred, bool wait);
void CancelPending(HANDLE device);  // every request of this thread on the handle
void Close(HANDLE device);

inline bool IsOpen(HANDLE device) { return device != nullptr && device != INVALID_HANDLE_VALUE; }

}  // namespace kelvra::usb::deviceio
