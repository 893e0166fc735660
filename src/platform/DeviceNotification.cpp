// Windows registered with RegisterDeviceNotificationA hear of device interfaces that come and go.
#include "DeviceNotify.h"
#include "HandleTable.h"
#include "Window.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace kelvra::platform {

namespace {

struct Registration {
    HWND recipient = nullptr;
    bool allClasses = false;
    GUID interfaceClass{};
};

HandleTable<Registration>& Registrations() {
    static auto* table = new HandleTable<Registration>;
    return *table;
}

constexpr size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);

// One copy per recipient: each may keep or modify what it was given until it takes its next message.
std::shared_ptr<void> MakeBroadcast(const GUID& interfaceClass, const std::string& path) {
    const size_t size = kNameOffset + path.size() + 1;
    auto* buffer = static_cast<BYTE*>(::operator new(std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A))));
    std::memset(buffer, 0, std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)));
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buffer);
    broadcast->dbcc_size = static_cast<DWORD>(size);
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast->dbcc_classguid = interfaceClass;
    std::memcpy(buffer + kNameOffset, path.c_str(), path.size() + 1);
    return std::shared_ptr<void>(buffer, [](void* memory) { ::operator delete(memory); });
}

}  // namespace

void BroadcastDeviceInterfaceChange(const GUID& interfaceClass, const std::string& path, bool arrived) {
    const WPARAM event = arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    for (const auto& registration : Registrations().Snapshot()) {
        if (!registration->allClasses && std::memcmp(&registration->interfaceClass, &interfaceClass, sizeof(GUID)) != 0)
            continue;
        auto broadcast = MakeBroadcast(interfaceClass, path);
        const auto lParam = reinterpret_cast<LPARAM>(broadcast.get());
        // A recipient that is gone simply misses the news; its registration stays until unregistered.
        PostToWindow(registration->recipient, WM_DEVICECHANGE, event, lParam, std::move(broadcast));
    }
}

}  // namespace kelvra::platform

using namespace kelvra::platform;

extern "C" {

WINUSERAPI HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) {
    if (Flags & DEVICE_NOTIFY_SERVICE_HANDLE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if ((Flags & ~DWORD{DEVICE_NOTIFY_ALL_INTERFACE_CLASSES}) != 0 || NotificationFilter == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(NotificationFilter);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE || header->dbch_size < kNameOffset) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HWND recipient = static_cast<HWND>(hRecipient);
    if (!FindWindowObject(recipient)) return nullptr;
    auto registration = std::make_shared<Registration>();
    registration->recipient = recipient;
    registration->allClasses = (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0;
    registration->interfaceClass =
        static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter)->dbcc_classguid;
    return reinterpret_cast<HDEVNOTIFY>(Registrations().Insert(std::move(registration)));
}

WINUSERAPI BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
    if (!Registrations().Remove(reinterpret_cast<uintptr_t>(Handle))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
