// Enumeration of device interfaces through SetupDi*, and the table behind it.
#include "TestDeviceProvider.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace kelvra::test {
namespace {

constexpr GUID kCameraClass = {0x328184c5, 0x93e6, 0x49b7, {0x94, 0xb8, 0x2a, 0xda, 0x13, 0xaa, 0xbb, 0x39}};
constexpr GUID kOtherClass = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr DWORD kPresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;

std::string CameraPath(const std::string& serial) {
    return "\\\\?\\usb#vid_04b4&pid_3180#" + serial + "#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
}

// Walks a set as the camera enumeration does: size query, then a 1000-byte detail buffer.
std::vector<std::string> Paths(HDEVINFO set, const GUID& interfaceClass) {
    std::vector<std::string> paths;
    SP_DEVICE_INTERFACE_DATA data{sizeof data, {}, 0, 0};
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data); ++index) {
        DWORD required = 0;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
        alignas(8) char buffer[1000] = {};
        reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer)->cbSize = 8;
        EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(
            set, &data, reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer), required, nullptr, nullptr));
        paths.emplace_back(buffer + 4);
    }
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NO_MORE_ITEMS});
    return paths;
}

std::vector<std::string> PresentPaths(const GUID* interfaceClass, const char* enumerator = nullptr,
                                      DWORD flags = kPresentInterfaces) {
    HDEVINFO set = SetupDiGetClassDevsA(interfaceClass, enumerator, nullptr, flags);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    auto paths = Paths(set, interfaceClass ? *interfaceClass : kCameraClass);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    return paths;
}

using PathList = std::vector<std::string>;

TEST(DeviceEnumeration, ListsTheRequestedInterfacesInArrivalOrder) {
    PluggedDevice first(kCameraClass, CameraPath("a1"));
    PluggedDevice other(kOtherClass, "\\\\?\\usb#vid_1234&pid_0001#x#{other}");
    PluggedDevice second(kCameraClass, CameraPath("b2"));
    PluggedDevice onPci(kCameraClass, "\\\\?\\pci#ven_8086&dev_0001#0#{328184c5-93e6-49b7-94b8-2ada13aabb39}");

    EXPECT_EQ(PresentPaths(&kCameraClass), (PathList{first.path, second.path, onPci.path}));
    EXPECT_EQ(PresentPaths(&kOtherClass), PathList{other.path});
    EXPECT_EQ(PresentPaths(&kCameraClass, "USB"), (PathList{first.path, second.path}));
    EXPECT_EQ(PresentPaths(nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE),
              (PathList{first.path, second.path, onPci.path}));
    // Without DIGCF_DEVICEINTERFACE the GUID names a setup class, which no interface belongs to.
    EXPECT_EQ(PresentPaths(&kCameraClass, nullptr, DIGCF_PRESENT), PathList{});

    // A set keeps what was present when it was made.
    HDEVINFO before = SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, kPresentInterfaces);
    second.Unplug();
    PluggedDevice third(kCameraClass, CameraPath("c3"));
    EXPECT_EQ(Paths(before, kCameraClass), (PathList{first.path, second.path, onPci.path}));
    EXPECT_EQ(PresentPaths(&kCameraClass), (PathList{first.path, onPci.path, third.path}));
    SetupDiDestroyDeviceInfoList(before);

    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_DEVICEINTERFACE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, 0x100 | DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_FLAGS});
}

TEST(DeviceEnumeration, DetailBufferRules) {
    PluggedDevice device(kCameraClass, CameraPath("detail"));
    HDEVINFO set = SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, kPresentInterfaces);
    SP_DEVICE_INTERFACE_DATA data{sizeof data, {}, 0, 0};
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kCameraClass, 0, &data));
    EXPECT_EQ(data.Flags, DWORD{SPINT_ACTIVE});
    const DWORD required = static_cast<DWORD>(4 + device.path.size() + 1);

    std::vector<char> buffer(required + 16, 'x');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    // cbSize announces the structure, never the buffer; a buffer without room for an empty
    // path is as bad as a wrong cbSize.
    for (auto [cbSize, size] : {std::pair{0u, required}, {5u, required}, {required, required}, {8u, 4u}}) {
        detail->cbSize = cbSize;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, nullptr)) << cbSize;
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_USER_BUFFER}) << cbSize;
    }
    detail->cbSize = 8;
    DWORD reported = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required - 1, &reported, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_EQ(reported, required);
    EXPECT_EQ(buffer[4], 'x') << "a short buffer is left alone";

    SP_DEVINFO_DATA deviceData{sizeof deviceData, {}, 0, 0};
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, &deviceData));
    EXPECT_EQ(std::string(detail->DevicePath), device.path);
    EXPECT_EQ(buffer[required], 'x') << "nothing is written past the required size";
    // The interface's device narrows an enumeration to its own interfaces.
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(set, &deviceData, &kCameraClass, 0, &data));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, &deviceData, &kCameraClass, 1, &data));

    data.cbSize = 28;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kCameraClass, 0, &data));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_USER_BUFFER});
    data.cbSize = sizeof data;
    data.Reserved = 999;  // no interface of this set
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &reported, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});

    EXPECT_FALSE(CloseHandle(set)) << "a device information set is no kernel object";
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST(DeviceTable, PathsAreUniqueAndOpenWithoutRegardToCase) {
    PluggedDevice device(kCameraClass, CameraPath("case"));
    ASSERT_TRUE(device.added);
    std::string upper = device.path;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(platform::AddDeviceInterface(kOtherClass, upper, std::make_shared<TestProvider>()));
    EXPECT_FALSE(platform::AddDeviceInterface(kCameraClass, CameraPath("null"), nullptr));

    HANDLE handle = CreateFileA(upper.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(device.provider->lastPath, device.path) << "the provider sees its own spelling";
    EXPECT_TRUE(CloseHandle(handle));

    EXPECT_TRUE(platform::RemoveDeviceInterface(upper));
    EXPECT_FALSE(platform::RemoveDeviceInterface(device.path));
}

TEST(DeviceTable, OpenFollowsPresenceAndPassesTheProvidersError) {
    PluggedDevice device(kCameraClass, CameraPath("open"));
    auto open = [&](DWORD disposition) {
        return CreateFileA(device.path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, disposition,
                           FILE_FLAG_OVERLAPPED, nullptr);
    };
    device.provider->refuseWith = ERROR_DEVICE_NOT_CONNECTED;
    EXPECT_EQ(open(OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_DEVICE_NOT_CONNECTED});
    device.provider->refuseWith = ERROR_SUCCESS;  // a refusal without a reason is still a failure
    EXPECT_EQ(open(OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});

    device.provider->refuseWith.reset();
    EXPECT_EQ(open(CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    HANDLE handle = open(OPEN_EXISTING);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(handle));

    device.Unplug();
    EXPECT_EQ(open(OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

}  // namespace
}  // namespace kelvra::test
