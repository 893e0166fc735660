#include "usb/DeviceIo.h"

#include "kelvra/DeviceRoute.h"

namespace kelvra::usb::deviceio {

namespace {

#ifdef _WIN32
// A test program routes the device calls to its simulated cameras by exporting the lookup from
// its executable. Only the executable is asked, so a DLL loaded into an application cannot take
// the calls over, and an application that exports nothing of the kind always reaches the system.
const KelvraDeviceRoute* LookUpRoute() {
    const FARPROC found = GetProcAddress(GetModuleHandleA(nullptr), KELVRA_DEVICE_ROUTE_EXPORT);
    if (found == nullptr) return nullptr;
    const auto lookup = reinterpret_cast<KelvraDeviceRouteLookup>(reinterpret_cast<void*>(found));
    const KelvraDeviceRoute* route = lookup();
    return route != nullptr && route->size == sizeof(KelvraDeviceRoute) ? route : nullptr;
}

const KelvraDeviceRoute* Route() {
    static const KelvraDeviceRoute* const route = LookUpRoute();
    return route;
}
#else
// Elsewhere the platform library's device providers are the seam.
constexpr const KelvraDeviceRoute* Route() { return nullptr; }
#endif

}  // namespace

HDEVINFO GetClassDevices(const GUID& interfaceClass) {
    if (const auto* route = Route()) return route->getClassDevices(&interfaceClass);
    return SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

bool EnumerateInterface(HDEVINFO devices, const GUID& interfaceClass, DWORD memberIndex,
                        SP_DEVICE_INTERFACE_DATA* interfaceData) {
    if (const auto* route = Route())
        return route->enumerateInterface(devices, &interfaceClass, memberIndex, interfaceData) != FALSE;
    return SetupDiEnumDeviceInterfaces(devices, nullptr, &interfaceClass, memberIndex, interfaceData) != FALSE;
}

bool GetInterfaceDetail(HDEVINFO devices, SP_DEVICE_INTERFACE_DATA* interfaceData,
                        SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* requiredSize) {
    if (const auto* route = Route())
        return route->getInterfaceDetail(devices, interfaceData, detail, detailSize, requiredSize) != FALSE;
    return SetupDiGetDeviceInterfaceDetailA(devices, interfaceData, detail, detailSize, requiredSize, nullptr) != FALSE;
}

void DestroyDeviceList(HDEVINFO devices) {
    if (const auto* route = Route()) return route->destroyDeviceList(devices);
    SetupDiDestroyDeviceInfoList(devices);
}

HANDLE OpenPath(const char* devicePath, bool overlapped) {
    if (const auto* route = Route()) return route->openPath(devicePath, overlapped ? TRUE : FALSE);
    return CreateFileA(devicePath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

bool IoControl(HANDLE device, DWORD code, void* input, DWORD inputSize, void* output, DWORD outputSize,
               DWORD* bytesReturned, OVERLAPPED* overlapped) {
    if (const auto* route = Route())
        return route->ioControl(device, code, input, inputSize, output, outputSize, bytesReturned, overlapped) != FALSE;
    return DeviceIoControl(device, code, input, inputSize, output, outputSize, bytesReturned, overlapped) != FALSE;
}

bool OverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* bytesTransferred, bool wait) {
    if (const auto* route = Route())
        return route->overlappedResult(device, overlapped, bytesTransferred, wait ? TRUE : FALSE) != FALSE;
    return GetOverlappedResult(device, overlapped, bytesTransferred, wait ? TRUE : FALSE) != FALSE;
}

void CancelPending(HANDLE device) {
    if (const auto* route = Route()) return route->cancelPending(device);
    CancelIo(device);
}

void Close(HANDLE device) {
    if (const auto* route = Route()) return route->close(device);
    CloseHandle(device);
}

}  // namespace kelvra::usb::deviceio
