#include "usb/DeviceIo.h"

namespace kelvra::usb::deviceio {

HDEVINFO GetClassDevices(const GUID& interfaceClass) {
    return SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

bool EnumerateInterface(HDEVINFO devices, const GUID& interfaceClass, DWORD memberIndex,
                        SP_DEVICE_INTERFACE_DATA* interfaceData) {
    return SetupDiEnumDeviceInterfaces(devices, nullptr, &interfaceClass, memberIndex, interfaceData) != FALSE;
}

bool GetInterfaceDetail(HDEVINFO devices, SP_DEVICE_INTERFACE_DATA* interfaceData,
                        SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* requiredSize) {
    return SetupDiGetDeviceInterfaceDetailA(devices, interfaceData, detail, detailSize, requiredSize, nullptr) != FALSE;
}

void DestroyDeviceList(HDEVINFO devices) { SetupDiDestroyDeviceInfoList(devices); }

HANDLE OpenPath(const char* devicePath, bool overlapped) {
    return CreateFileA(devicePath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

bool IoControl(HANDLE device, DWORD code, void* input, DWORD inputSize, void* output, DWORD outputSize,
               DWORD* bytesReturned, OVERLAPPED* overlapped) {
    return DeviceIoControl(device, code, input, inputSize, output, outputSize, bytesReturned, overlapped) != FALSE;
}

bool OverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* bytesTransferred, bool wait) {
    return GetOverlappedResult(device, overlapped, bytesTransferred, wait ? TRUE : FALSE) != FALSE;
}

void CancelPending(HANDLE device) { CancelIo(device); }

void Close(HANDLE device) { CloseHandle(device); }

}  // namespace kelvra::usb::deviceio
