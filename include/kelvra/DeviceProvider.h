// Device providers of the platform library (on Windows: of the simulator's device route).
//
// A provider stands behind device interfaces that SetupDi* enumerate: CreateFileA on one of its
// paths opens a connection, and DeviceIoControl / GetOverlappedResult / CancelIo / CloseHandle on
// that handle reach the connection. The simulated camera is such a provider; tests may add their own.
#pragma once

#include "kelvra/win32.h"

#include <memory>
#include <string>

#if defined(_WIN32) && defined(KELVRA_SIM_BUILD)
// Windows has no platform library: the simulator's DLL keeps the table of routed devices.
#define KELVRA_PLATFORM_CXX __declspec(dllexport)
#elif defined(_WIN32)
#define KELVRA_PLATFORM_CXX __declspec(dllimport)
#else
#define KELVRA_PLATFORM_CXX __attribute__((visibility("default")))
#endif

namespace kelvra::platform {

// One DeviceIoControl call. The provider finishes it exactly once with Complete(), at once from
// IoControl() or later from any thread. Until then the caller's buffers stay valid, as Windows
// requires of an overlapped caller; after Complete() the provider must not touch them again.
class IoRequest {
public:
    virtual ~IoRequest() = default;

    DWORD code = 0;
    const void* input = nullptr;
    DWORD inputSize = 0;
    void* output = nullptr;
    DWORD outputSize = 0;

    // error: ERROR_SUCCESS, or the system error code the caller then sees from GetLastError /
    // GetOverlappedResult (ERROR_OPERATION_ABORTED for a cancelled request).
    virtual void Complete(DWORD error, DWORD bytesReturned) = 0;
};

// One open handle on a device path.
class DeviceConnection {
public:
    virtual ~DeviceConnection() = default;

    // Starts the request; see IoRequest for how it ends.
    virtual void IoControl(std::shared_ptr<IoRequest> request) = 0;

    // CancelIo or CloseHandle: completes every request of this connection that is still pending
    // with ERROR_OPERATION_ABORTED before it returns.
    virtual void CancelAll() = 0;
};

class DeviceProvider {
public:
    virtual ~DeviceProvider() = default;

    // CreateFileA on one of this provider's paths. Null, with error set to the system error code
    // (for example ERROR_FILE_NOT_FOUND for a device that is gone), when it cannot be opened.
    virtual std::shared_ptr<DeviceConnection> Open(const std::string& path, DWORD& error) = 0;
};

// Adds a device interface of the class at the end of the process-wide table and notifies the
// windows registered for the class (DBT_DEVICEARRIVAL). False when the path is already present.
KELVRA_PLATFORM_CXX bool AddDeviceInterface(const GUID& interfaceClass, const std::string& path,
                                            std::shared_ptr<DeviceProvider> provider);

// Removes it from the table (paths no longer enumerate or open; open handles stay with their
// provider) and notifies the registered windows (DBT_DEVICEREMOVECOMPLETE). False if unknown.
KELVRA_PLATFORM_CXX bool RemoveDeviceInterface(const std::string& path);

}  // namespace kelvra::platform
