/* Win32 subset: device interfaces (SetupAPI), I/O-control codes (winioctl) and device I/O
 * (CreateFileA on a device path, DeviceIoControl, overlapped completion, cancellation). */
#ifndef KELVRA_WIN32_DEVIO_H
#define KELVRA_WIN32_DEVIO_H

#include "kernel.h"
#include "types.h"

#ifdef __cplusplus
#define KELVRA_DEVIO_ASSERT_SIZE(type, size) static_assert(sizeof(type) == (size), #type " has its Win64 size")
#else
#define KELVRA_DEVIO_ASSERT_SIZE(type, size) _Static_assert(sizeof(type) == (size), #type " has its Win64 size")
#endif

KELVRA_BEGIN_C

/* Error codes of the device functions. */
#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif
#ifndef ERROR_INVALID_USER_BUFFER
#define ERROR_INVALID_USER_BUFFER 1784L
#endif

#ifndef ANYSIZE_ARRAY
#define ANYSIZE_ARRAY 1
#endif

/* ---- winioctl ---- */
#define FILE_DEVICE_UNKNOWN 0x00000022
#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3
#define FILE_ANY_ACCESS 0
#define FILE_SPECIAL_ACCESS FILE_ANY_ACCESS
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002
#define CTL_CODE(DeviceType, Function, Method, Access) \
    (((DWORD)(DeviceType) << 16) | ((DWORD)(Access) << 14) | ((DWORD)(Function) << 2) | (DWORD)(Method))
#define DEVICE_TYPE_FROM_CTL_CODE(ctrlCode) (((DWORD)(ctrlCode)&0xffff0000) >> 16)
#define METHOD_FROM_CTL_CODE(ctrlCode) ((DWORD)((ctrlCode)&3))

/* ---- files and devices ---- */
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000

#ifndef STATUS_PENDING
#define STATUS_PENDING ((DWORD)0x00000103L)
#endif

typedef struct _OVERLAPPED {
    ULONG_PTR Internal;     /* status of the request: STATUS_PENDING while it runs */
    ULONG_PTR InternalHigh; /* bytes transferred */
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;
KELVRA_DEVIO_ASSERT_SIZE(OVERLAPPED, 32);

/* The completing thread publishes Internal with release order, so a caller that polls it may
 * read InternalHigh and the output buffer once it is no longer pending. */
#define HasOverlappedIoCompleted(lpOverlapped) \
    (((DWORD)__atomic_load_n(&(lpOverlapped)->Internal, __ATOMIC_ACQUIRE)) != STATUS_PENDING)

/* Opens a device interface path; regular files are not part of the subset (ERROR_FILE_NOT_FOUND). */
WINBASEAPI HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
WINBASEAPI BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                                       LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                                       LPOVERLAPPED lpOverlapped);
WINBASEAPI BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                           BOOL bWait);
/* Cancels every pending request of the handle, whichever thread issued it (Windows cancels
 * only the calling thread's); the requests have completed when it returns. */
WINBASEAPI BOOL WINAPI CancelIo(HANDLE hFile);

/* ---- SetupAPI ---- */
#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

#define SPINT_ACTIVE 0x00000001
#define SPINT_DEFAULT 0x00000002
#define SPINT_REMOVED 0x00000004

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;
KELVRA_DEVIO_ASSERT_SIZE(SP_DEVINFO_DATA, 32);

typedef struct _SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;
KELVRA_DEVIO_ASSERT_SIZE(SP_DEVICE_INTERFACE_DATA, 32);

typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize; /* sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), 8, whatever the buffer's size */
    CHAR DevicePath[ANYSIZE_ARRAY];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A, *PSP_DEVICE_INTERFACE_DETAIL_DATA_A;
KELVRA_DEVIO_ASSERT_SIZE(SP_DEVICE_INTERFACE_DETAIL_DATA_A, 8);

/* A snapshot of the interfaces present at the call, in the order they arrived. */
WINSETUPAPI HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags);
WINSETUPAPI BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                    const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                                    PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
WINSETUPAPI BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet,
                                                         PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                                         PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                                         DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                                         PSP_DEVINFO_DATA DeviceInfoData);
WINSETUPAPI BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

KELVRA_END_C

#undef KELVRA_DEVIO_ASSERT_SIZE

#endif
