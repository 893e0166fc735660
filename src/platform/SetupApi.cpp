// SetupDi* over the device-interface table. A device information set is a snapshot: interfaces
// that arrive or leave later do not change a set that was already made.
#include "DeviceInterfaceTable.h"
#include "HandleTable.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

using kelvra::platform::DeviceInterfaceTable;
using kelvra::platform::IsSameGuid;

namespace {

// Every interface stands for a device of its own, so the 1-based position of an interface in
// the set identifies both; it is what SetupAPI keeps in the opaque Reserved members.
class DeviceInfoSet {
public:
    struct Interface {
        GUID interfaceClass;
        std::string path;
    };

    explicit DeviceInfoSet(std::vector<Interface> interfaces) : interfaces(std::move(interfaces)) {}

    // The memberIndex-th interface of the class, counting only those of deviceFilter when given.
    const Interface* Member(const GUID& interfaceClass, DWORD memberIndex, ULONG_PTR deviceFilter,
                            ULONG_PTR& position) const {
        for (size_t i = 0; i < interfaces.size(); ++i) {
            if (!IsSameGuid(interfaces[i].interfaceClass, interfaceClass)) continue;
            if (deviceFilter != 0 && deviceFilter != i + 1) continue;
            if (memberIndex-- == 0) {
                position = i + 1;
                return &interfaces[i];
            }
        }
        return nullptr;
    }

    const Interface* At(ULONG_PTR position) const {
        return position >= 1 && position <= interfaces.size() ? &interfaces[position - 1] : nullptr;
    }

private:
    const std::vector<Interface> interfaces;
};

// Device information sets are no kernel objects: CloseHandle and the waits refuse them.
kelvra::platform::HandleTable<DeviceInfoSet>& InfoSets() {
    static auto* sets = new kelvra::platform::HandleTable<DeviceInfoSet>(0x5E700000);
    return *sets;
}

std::shared_ptr<DeviceInfoSet> ReferenceInfoSet(HDEVINFO handle) {
    return InfoSets().Find(reinterpret_cast<uintptr_t>(handle));
}

constexpr DWORD kKnownFlags = DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE;
constexpr DWORD kDetailHeaderSize = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

HDEVINFO FailSet(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// An enumerator names the bus a device hangs on, the first component of an interface path
// ("USB" for \\?\usb#vid_...).
bool IsOnEnumerator(const std::string& path, const char* enumerator) {
    const std::string prefix = "\\\\?\\";
    std::string bus = path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
    bus = bus.substr(0, bus.find('#'));
    return kelvra::platform::IsSamePath(bus, enumerator);
}

void FillDeviceInfo(SP_DEVINFO_DATA& data, const DeviceInfoSet::Interface& interface, ULONG_PTR position) {
    data.ClassGuid = interface.interfaceClass;
    data.DevInst = static_cast<DWORD>(position);
    data.Reserved = position;
}

}  // namespace

extern "C" {

WINSETUPAPI HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND /*hwndParent*/,
                                                 DWORD Flags) {
    if ((Flags & ~kKnownFlags) != 0) return FailSet(ERROR_INVALID_FLAGS);
    bool allClasses = (Flags & DIGCF_ALLCLASSES) != 0;
    if (!ClassGuid && !allClasses) return FailSet(ERROR_INVALID_PARAMETER);
    try {
        std::vector<DeviceInfoSet::Interface> interfaces;
        // Without DIGCF_DEVICEINTERFACE the GUID names a setup class; no device of the table
        // belongs to one, so such a set is empty.
        if (Flags & DIGCF_DEVICEINTERFACE) {
            for (auto& entry : DeviceInterfaceTable::Instance().Snapshot()) {
                if (!allClasses && !IsSameGuid(entry.interfaceClass, *ClassGuid)) continue;
                if (Enumerator && !IsOnEnumerator(entry.path, Enumerator)) continue;
                interfaces.push_back({entry.interfaceClass, std::move(entry.path)});
            }
        }
        return reinterpret_cast<HDEVINFO>(InfoSets().Insert(std::make_shared<DeviceInfoSet>(std::move(interfaces))));
    } catch (const std::bad_alloc&) {
        return FailSet(ERROR_NOT_ENOUGH_MEMORY);
    }
}

WINSETUPAPI BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                    const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                                    PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    auto set = ReferenceInfoSet(DeviceInfoSet);
    if (!set) return Fail(ERROR_INVALID_HANDLE);
    if (!InterfaceClassGuid || !DeviceInterfaceData) return Fail(ERROR_INVALID_PARAMETER);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    ULONG_PTR position = 0;
    ULONG_PTR deviceFilter = DeviceInfoData ? DeviceInfoData->Reserved : 0;
    const auto* interface = set->Member(*InterfaceClassGuid, MemberIndex, deviceFilter, position);
    if (!interface) return Fail(ERROR_NO_MORE_ITEMS);
    DeviceInterfaceData->InterfaceClassGuid = interface->interfaceClass;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = position;
    return TRUE;
}

WINSETUPAPI BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet,
                                                         PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                                         PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                                         DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                                         PSP_DEVINFO_DATA DeviceInfoData) {
    auto set = ReferenceInfoSet(DeviceInfoSet);
    if (!set) return Fail(ERROR_INVALID_HANDLE);
    if (!DeviceInterfaceData || DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_PARAMETER);
    const auto* interface = set->At(DeviceInterfaceData->Reserved);
    if (!interface) return Fail(ERROR_INVALID_PARAMETER);
    // The size query passes no buffer and a size of 0; a buffer must at least hold cbSize and
    // an empty path, and announce the structure's own size whatever the buffer's size.
    if (DeviceInterfaceDetailData) {
        if (DeviceInterfaceDetailDataSize < kDetailHeaderSize + 1 ||
            DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
            return Fail(ERROR_INVALID_USER_BUFFER);
    } else if (DeviceInterfaceDetailDataSize != 0) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);

    DWORD required = kDetailHeaderSize + static_cast<DWORD>(interface->path.size()) + 1;
    if (RequiredSize) *RequiredSize = required;
    if (DeviceInterfaceDetailDataSize < required) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(DeviceInterfaceDetailData->DevicePath, interface->path.c_str(), interface->path.size() + 1);
    if (DeviceInfoData) FillDeviceInfo(*DeviceInfoData, *interface, DeviceInterfaceData->Reserved);
    return TRUE;
}

WINSETUPAPI BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    if (!InfoSets().Remove(reinterpret_cast<uintptr_t>(DeviceInfoSet))) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

}  // extern "C"
