/* The test-only device route of the Windows build.
 *
 * On Windows the SDK's device calls (SetupDi*, CreateFileA, DeviceIoControl, GetOverlappedResult,
 * CancelIo and CloseHandle on device handles) go to the system. A test program that wants them to
 * reach simulated cameras instead exports KELVRA_DEVICE_ROUTE_EXPORT from its own executable;
 * the SDK looks for that export once, in the executable only, so an application that does not
 * define it always talks to the system, and the SDK's DLL exports nothing new. Each function
 * behaves as the Win32 call it stands for, including GetLastError. Not shipped. */
#ifndef KELVRA_DEVICEROUTE_H
#define KELVRA_DEVICEROUTE_H

#include "kelvra/win32.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KELVRA_DEVICE_ROUTE_EXPORT "KelvraTestDeviceRoute"

typedef struct KelvraDeviceRoute {
    unsigned size; /* sizeof(KelvraDeviceRoute) of the route's build; a different size is not used */
    HDEVINFO (*getClassDevices)(const GUID* interfaceClass);
    BOOL(*enumerateInterface)
    (HDEVINFO devices, const GUID* interfaceClass, DWORD memberIndex, SP_DEVICE_INTERFACE_DATA* interfaceData);
    BOOL(*getInterfaceDetail)
    (HDEVINFO devices, SP_DEVICE_INTERFACE_DATA* interfaceData, SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail,
     DWORD detailSize, DWORD* requiredSize);
    void (*destroyDeviceList)(HDEVINFO devices);
    HANDLE (*openPath)(const char* devicePath, BOOL overlapped); /* INVALID_HANDLE_VALUE on failure */
    BOOL(*ioControl)
    (HANDLE device, DWORD code, void* input, DWORD inputSize, void* output, DWORD outputSize, DWORD* bytesReturned,
     OVERLAPPED* overlapped);
    BOOL (*overlappedResult)(HANDLE device, OVERLAPPED* overlapped, DWORD* bytesTransferred, BOOL wait);
    void (*cancelPending)(HANDLE device);
    void (*close)(HANDLE device);
} KelvraDeviceRoute;

/* The signature of the executable's KELVRA_DEVICE_ROUTE_EXPORT. */
typedef const KelvraDeviceRoute* (*KelvraDeviceRouteLookup)(void);

#ifdef __cplusplus
}
#endif

#endif
