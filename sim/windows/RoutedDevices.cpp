// Windows has no platform library to keep device providers: the simulator's DLL keeps the table
// itself and answers the SDK's device calls through the test-only route. Handles and device lists
// are objects of this file; the calls behave as their Win32 namesakes do for a caller (errors
// through SetLastError, overlapped requests that stay pending and end with the caller's event).
#include "kelvra/DeviceProvider.h"
#include "kelvra/DeviceRoute.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

extern "C" __declspec(dllexport) const KelvraDeviceRoute* KelvraSim_DeviceRoute(void);

namespace kelvra::platform {

namespace {

struct Interface {
    GUID interfaceClass;
    std::string path;
    std::shared_ptr<DeviceProvider> provider;
};

struct DeviceList {
    std::vector<std::pair<GUID, std::string>> interfaces;
};

struct OpenDevice {
    std::shared_ptr<DeviceConnection> connection;
};

// OVERLAPPED::Internal while a request is pending, and the completed status: 0 for success, else
// the error with a mark that keeps it apart from the pending value.
constexpr ULONG_PTR kPending = 0x103;
constexpr ULONG_PTR kFailed = ULONG_PTR{1} << 32;

class Table {
public:
    static Table& Instance() {
        static Table* table = new Table;  // outlives every static destructor that may still use it
        return *table;
    }

    std::mutex mutex;
    std::vector<Interface> interfaces;
    std::set<const void*> devices;  // the handles openPath gave out and close did not take back
    std::set<const void*> lists;
};

bool SamePath(const std::string& a, const char* b) {
    // Windows compares device paths without regard to case.
    const std::size_t length = std::strlen(b);
    return a.size() == length && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

class RoutedRequest final : public IoRequest {
public:
    explicit RoutedRequest(OVERLAPPED* overlapped) : overlapped(overlapped) {}

    void Complete(DWORD error, DWORD bytesReturned) override {
        // The event is read first: once Internal changes, the caller may release the OVERLAPPED.
        const HANDLE event = overlapped ? overlapped->hEvent : nullptr;
        {
            std::lock_guard lock(mutex);
            if (overlapped) {
                overlapped->InternalHigh = bytesReturned;
                std::atomic_ref(overlapped->Internal)
                    .store(error == ERROR_SUCCESS ? 0 : kFailed | error, std::memory_order_release);
            }
            result = error;
            bytes = bytesReturned;
            done = true;
        }
        finished.notify_all();
        if (event) SetEvent(event);
    }

    // For a synchronous call: waits for the end and reports it.
    DWORD Wait(DWORD& bytesReturned) {
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return done; });
        bytesReturned = bytes;
        return result;
    }

    // For an overlapped call: whether it ended while it was being started.
    bool Ended(DWORD& error, DWORD& bytesReturned) {
        std::lock_guard lock(mutex);
        error = result;
        bytesReturned = bytes;
        return done;
    }

private:
    OVERLAPPED* const overlapped;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    DWORD result = ERROR_SUCCESS;
    DWORD bytes = 0;
};

std::shared_ptr<DeviceConnection> ConnectionOf(HANDLE device) {
    auto& table = Table::Instance();
    std::lock_guard lock(table.mutex);
    if (!table.devices.contains(device)) return nullptr;
    return static_cast<OpenDevice*>(device)->connection;
}

DeviceList* ListOf(HDEVINFO devices) {
    auto& table = Table::Instance();
    std::lock_guard lock(table.mutex);
    return table.lists.contains(devices) ? static_cast<DeviceList*>(devices) : nullptr;
}

HDEVINFO GetClassDevices(const GUID* interfaceClass) {
    auto* list = new DeviceList;
    auto& table = Table::Instance();
    std::lock_guard lock(table.mutex);
    for (const auto& entry : table.interfaces)
        if (interfaceClass == nullptr || IsEqualGUID(entry.interfaceClass, *interfaceClass))
            list->interfaces.emplace_back(entry.interfaceClass, entry.path);
    table.lists.insert(list);
    return list;
}

BOOL EnumerateInterface(HDEVINFO devices, const GUID* interfaceClass, DWORD memberIndex,
                        SP_DEVICE_INTERFACE_DATA* interfaceData) {
    DeviceList* list = ListOf(devices);
    if (list == nullptr || interfaceData == nullptr || interfaceClass == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // The member index counts the interfaces of the asked class only.
    DWORD seen = 0;
    for (std::size_t i = 0; i < list->interfaces.size(); ++i) {
        if (!IsEqualGUID(list->interfaces[i].first, *interfaceClass)) continue;
        if (seen++ != memberIndex) continue;
        interfaceData->InterfaceClassGuid = list->interfaces[i].first;
        interfaceData->Flags = SPINT_ACTIVE;
        interfaceData->Reserved = i + 1;
        return TRUE;
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
}

BOOL GetInterfaceDetail(HDEVINFO devices, SP_DEVICE_INTERFACE_DATA* interfaceData,
                        SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* requiredSize) {
    DeviceList* list = ListOf(devices);
    if (list == nullptr || interfaceData == nullptr || interfaceData->Reserved == 0 ||
        interfaceData->Reserved > list->interfaces.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& path = list->interfaces[interfaceData->Reserved - 1].second;
    const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize) *requiredSize = needed;
    if (detail == nullptr || detailSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

void DestroyDeviceList(HDEVINFO devices) {
    auto& table = Table::Instance();
    std::lock_guard lock(table.mutex);
    if (table.lists.erase(devices) != 0) delete static_cast<DeviceList*>(devices);
}

HANDLE OpenPath(const char* devicePath, BOOL) {
    std::shared_ptr<DeviceProvider> provider;
    std::string path;
    {
        auto& table = Table::Instance();
        std::lock_guard lock(table.mutex);
        for (const auto& entry : table.interfaces)
            if (devicePath != nullptr && SamePath(entry.path, devicePath)) {
                provider = entry.provider;
                path = entry.path;
            }
    }
    if (!provider) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = ERROR_SUCCESS;
    auto connection = provider->Open(path, error);
    if (!connection) {
        SetLastError(error != ERROR_SUCCESS ? error : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto* device = new OpenDevice{std::move(connection)};
    auto& table = Table::Instance();
    std::lock_guard lock(table.mutex);
    table.devices.insert(device);
    return device;
}

BOOL IoControl(HANDLE device, DWORD code, void* input, DWORD inputSize, void* output, DWORD outputSize,
               DWORD* bytesReturned, OVERLAPPED* overlapped) {
    auto connection = ConnectionOf(device);
    if (!connection) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto request = std::make_shared<RoutedRequest>(overlapped);
    request->code = code;
    request->input = input;
    request->inputSize = input ? inputSize : 0;
    request->output = output;
    request->outputSize = output ? outputSize : 0;
    if (overlapped) {
        overlapped->InternalHigh = 0;
        std::atomic_ref(overlapped->Internal).store(kPending, std::memory_order_release);
        if (overlapped->hEvent) ResetEvent(overlapped->hEvent);
    }
    connection->IoControl(request);

    DWORD error = ERROR_SUCCESS;
    DWORD bytes = 0;
    if (overlapped == nullptr) {
        error = request->Wait(bytes);
    } else if (!request->Ended(error, bytes)) {
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    if (bytesReturned) *bytesReturned = bytes;
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

BOOL OverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* bytesTransferred, BOOL wait) {
    if (!ConnectionOf(device) || overlapped == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto status = [&] { return std::atomic_ref(overlapped->Internal).load(std::memory_order_acquire); };
    if (status() == kPending) {
        if (!wait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        if (overlapped->hEvent) WaitForSingleObject(overlapped->hEvent, INFINITE);
        while (status() == kPending) Sleep(1);
    }
    if (bytesTransferred) *bytesTransferred = static_cast<DWORD>(overlapped->InternalHigh);
    const ULONG_PTR ended = status();
    if (ended != 0) {
        SetLastError(static_cast<DWORD>(ended & ~kFailed));
        return FALSE;
    }
    return TRUE;
}

void CancelPending(HANDLE device) {
    if (auto connection = ConnectionOf(device)) connection->CancelAll();
}

void Close(HANDLE device) {
    std::shared_ptr<DeviceConnection> connection;
    {
        auto& table = Table::Instance();
        std::lock_guard lock(table.mutex);
        if (table.devices.erase(device) == 0) return;
        auto* open = static_cast<OpenDevice*>(device);
        connection = std::move(open->connection);
        delete open;
    }
    connection->CancelAll();
}

const KelvraDeviceRoute kRoute = {sizeof(KelvraDeviceRoute),
                                  GetClassDevices,
                                  EnumerateInterface,
                                  GetInterfaceDetail,
                                  DestroyDeviceList,
                                  OpenPath,
                                  IoControl,
                                  OverlappedResult,
                                  CancelPending,
                                  Close};

}  // namespace

bool AddDeviceInterface(const GUID& interfaceClass, const std::string& path, std::shared_ptr<DeviceProvider> provider) {
    auto& table = Table::Instance();
    std::lock_guard lock(table.mutex);
    for (const auto& entry : table.interfaces)
        if (SamePath(entry.path, path.c_str())) return false;
    table.interfaces.push_back({interfaceClass, path, std::move(provider)});
    return true;
}

bool RemoveDeviceInterface(const std::string& path) {
    std::shared_ptr<DeviceProvider> removed;  // released outside the lock
    auto& table = Table::Instance();
    std::lock_guard lock(table.mutex);
    auto it = std::find_if(table.interfaces.begin(), table.interfaces.end(),
                           [&](const Interface& entry) { return SamePath(entry.path, path.c_str()); });
    if (it == table.interfaces.end()) return false;
    removed = std::move(it->provider);
    table.interfaces.erase(it);
    return true;
}

}  // namespace kelvra::platform

const KelvraDeviceRoute* KelvraSim_DeviceRoute(void) { return &kelvra::platform::kRoute; }
