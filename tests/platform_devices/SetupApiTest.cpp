// Enumeration of device interfaces through SetupDi* and the table behind it.
#include "TestDeviceProvider.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kelvra::test {
namespace {

constexpr GUID kCameraClass = {0x328184c5, 0x93e6, 0x49b7, {0x94, 0xb8, 0x2a, 0xda, 0x13, 0xaa, 0xbb, 0x39}};
constexpr GUID kOtherClass = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

std::string CameraPath(const char* serial)
{
    return std::string("\\\\?\\usb#vid_04b4&pid_3180#") + serial + "#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
}

SP_DEVICE_INTERFACE_DATA InterfaceData()
{
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    return data;
}

// Walks a set the way the camera enumeration does: size query, then a fixed detail buffer.
std::vector<std::string> Paths(HDEVINFO set, const GUID& interfaceClass)
{
    std::vector<std::string> paths;
    SP_DEVICE_INTERFACE_DATA data = InterfaceData();
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data); ++index) {
        DWORD required = 0;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        alignas(8) char buffer[1000] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
        detail->cbSize = 8;
        EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr));
        paths.emplace_back(buffer + 4);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    return paths;
}

std::vector<std::string> PresentPaths(const GUID& interfaceClass)
{
    HDEVINFO set = SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    auto paths = Paths(set, interfaceClass);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    return paths;
}

TEST(DeviceEnumeration, ListsOnlyTheRequestedClassInArrivalOrder)
{
    PluggedDevice first(kCameraClass, CameraPath("a1"));
    PluggedDevice other(kOtherClass, "\\\\?\\usb#vid_1234&pid_0001#x#{other}");
    PluggedDevice second(kCameraClass, CameraPath("b2"));

    EXPECT_EQ(PresentPaths(kCameraClass), (std::vector<std::string>{first.Path(), second.Path()}));
    EXPECT_EQ(PresentPaths(kOtherClass), std::vector<std::string>{other.Path()});

    second.Unplug();
    PluggedDevice third(kCameraClass, CameraPath("c3"));
    EXPECT_EQ(PresentPaths(kCameraClass), (std::vector<std::string>{first.Path(), third.Path()}));
}

TEST(DeviceEnumeration, SetIsASnapshotOfItsMoment)
{
    PluggedDevice kept(kCameraClass, CameraPath("kept"));
    PluggedDevice leaving(kCameraClass, CameraPath("leaving"));
    HDEVINFO set = SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    leaving.Unplug();
    PluggedDevice arriving(kCameraClass, CameraPath("arriving"));

    EXPECT_EQ(Paths(set, kCameraClass), (std::vector<std::string>{kept.Path(), leaving.Path()}));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

TEST(DeviceEnumeration, EnumeratorAndAllClassesSelectInterfaces)
{
    PluggedDevice camera(kCameraClass, CameraPath("e1"));
    PluggedDevice pci(kCameraClass, "\\\\?\\pci#ven_8086&dev_0001#0#{328184c5-93e6-49b7-94b8-2ada13aabb39}");

    HDEVINFO usbOnly = SetupDiGetClassDevsA(&kCameraClass, "USB", nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(Paths(usbOnly, kCameraClass), std::vector<std::string>{camera.Path()});
    SetupDiDestroyDeviceInfoList(usbOnly);

    HDEVINFO all = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(Paths(all, kCameraClass), (std::vector<std::string>{camera.Path(), pci.Path()}));
    SetupDiDestroyDeviceInfoList(all);

    // Without DIGCF_DEVICEINTERFACE the GUID is a setup class, and no interface belongs to one.
    HDEVINFO setupClass = SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, DIGCF_PRESENT);
    EXPECT_TRUE(Paths(setupClass, kCameraClass).empty());
    SetupDiDestroyDeviceInfoList(setupClass);

    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_DEVICEINTERFACE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, 0x100 | DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

class DeviceInterfaceDetail : public ::testing::Test {
protected:
    void SetUp() override
    {
        set_ = SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set_, nullptr, &kCameraClass, 0, &data_));
    }
    void TearDown() override { SetupDiDestroyDeviceInfoList(set_); }

    PluggedDevice device_{kCameraClass, CameraPath("detail")};
    HDEVINFO set_ = nullptr;
    SP_DEVICE_INTERFACE_DATA data_ = InterfaceData();
    const DWORD required_ = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                               device_.Path().size() + 1);
};

TEST_F(DeviceInterfaceDetail, SizeQueryReportsPathPlusHeader)
{
    EXPECT_EQ(data_.Flags, static_cast<DWORD>(SPINT_ACTIVE));
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set_, &data_, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, required_);
}

TEST_F(DeviceInterfaceDetail, BufferMustAnnounceTheStructureSize)
{
    std::vector<char> buffer(required_);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    for (DWORD wrong : {0u, 5u, 6u, required_}) {
        detail->cbSize = wrong;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set_, &data_, detail, required_, nullptr, nullptr)) << wrong;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER)) << wrong;
    }
    // A buffer too small for even an empty path is a bad buffer, not a short one.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set_, &data_, detail, 4, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
}

TEST_F(DeviceInterfaceDetail, PathFitsExactlyTheRequiredSize)
{
    std::vector<char> buffer(required_ + 16, 'x');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set_, &data_, detail, required_ - 1, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, required_);
    EXPECT_EQ(buffer[4], 'x') << "a short buffer is left alone";

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set_, &data_, detail, required_, nullptr, &device));
    EXPECT_EQ(std::string(detail->DevicePath), device_.Path());
    EXPECT_EQ(buffer[required_], 'x') << "nothing is written past the required size";

    // The device of the interface narrows the enumeration to its own interfaces.
    SP_DEVICE_INTERFACE_DATA again = InterfaceData();
    EXPECT_TRUE(SetupDiEnumDeviceInterfaces(set_, &device, &kCameraClass, 0, &again));
    EXPECT_EQ(again.Reserved, data_.Reserved);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set_, &device, &kCameraClass, 1, &again));
}

TEST_F(DeviceInterfaceDetail, RejectsForeignRecordsAndHandles)
{
    SP_DEVICE_INTERFACE_DATA wrongSize = data_;
    wrongSize.cbSize = 28;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set_, nullptr, &kCameraClass, 0, &wrongSize));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

    SP_DEVICE_INTERFACE_DATA forged = data_;
    forged.Reserved = 999;
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set_, &forged, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // A set is no kernel object, and it is gone once destroyed.
    EXPECT_FALSE(CloseHandle(set_));
    HDEVINFO destroyed = SetupDiGetClassDevsA(&kCameraClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(destroyed));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(destroyed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(destroyed, nullptr, &kCameraClass, 0, &data_));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(DeviceTable, PathsAreUniqueWithoutRegardToCase)
{
    PluggedDevice device(kCameraClass, CameraPath("case"));
    ASSERT_TRUE(device.Added());
    std::string upper = device.Path();
    for (char& c : upper)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    EXPECT_FALSE(platform::AddDeviceInterface(kOtherClass, upper, std::make_shared<TestProvider>()));
    EXPECT_FALSE(platform::AddDeviceInterface(kCameraClass, "", std::make_shared<TestProvider>()));
    EXPECT_FALSE(platform::AddDeviceInterface(kCameraClass, CameraPath("null"), nullptr));

    // The provider sees the path as it was added, however the caller spelt it.
    HANDLE handle = CreateFileA(upper.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(device.Provider().OpenedPaths(), std::vector<std::string>{device.Path()});
    EXPECT_TRUE(CloseHandle(handle));

    EXPECT_TRUE(platform::RemoveDeviceInterface(upper));
    EXPECT_FALSE(platform::RemoveDeviceInterface(device.Path()));
}

TEST(DeviceTable, OpenFollowsPresenceAndPassesTheProvidersError)
{
    PluggedDevice device(kCameraClass, CameraPath("open"));
    HANDLE handle = CreateFileA(device.Path().c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(CloseHandle(handle));

    device.Provider().RefuseOpens(ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(CreateFileA(device.Path().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));

    // A refusal without a reason must still read as a failure.
    device.Provider().RefuseOpens(ERROR_SUCCESS);
    EXPECT_EQ(CreateFileA(device.Path().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));

    device.Provider().AcceptOpens();
    EXPECT_EQ(CreateFileA(device.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    device.Unplug();
    EXPECT_EQ(CreateFileA(device.Path().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(PresentPaths(kCameraClass).empty());
}

}  // namespace
}  // namespace kelvra::test
