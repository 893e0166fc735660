// WM_DEVICECHANGE for windows registered with RegisterDeviceNotificationA.
#include "TestWindow.h"

#include "kelvra/DeviceProvider.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace kelvra::test;

namespace {

constexpr GUID kCameraClass = {0x328184c5, 0x93e6, 0x49b7, {0x94, 0xb8, 0x2a, 0xda, 0x13, 0xaa, 0xbb, 0x39}};
constexpr GUID kOtherClass = {0xa5dcbf10, 0x6530, 0x11d2, {0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed}};
const char* const kPath = "\\\\?\\usb#vid_04b4&pid_3180#gdi0001#{328184c5-93e6-49b7-94b8-2ada13aabb39}";

// The notifications under test come from the device-interface table; nothing opens these devices.
class UnopenableProvider : public kelvra::platform::DeviceProvider {
public:
    std::shared_ptr<kelvra::platform::DeviceConnection> Open(const std::string&, DWORD& error) override {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
};

void Plug(const GUID& interfaceClass, const std::string& path) {
    ASSERT_TRUE(kelvra::platform::AddDeviceInterface(interfaceClass, path, std::make_shared<UnopenableProvider>()));
}

void Unplug(const std::string& path) { ASSERT_TRUE(kelvra::platform::RemoveDeviceInterface(path)); }

HDEVNOTIFY Register(HWND window, const GUID& interfaceClass, DWORD flags = DEVICE_NOTIFY_WINDOW_HANDLE) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = interfaceClass;
    return RegisterDeviceNotificationA(window, &filter, flags);
}

class DeviceNotificationTest : public ::testing::Test {
protected:
    void SetUp() override { DrainQueue(); }
    void TearDown() override { DrainQueue(); }

    TestClass windows{"DeviceNotificationTest"};
};

TEST_F(DeviceNotificationTest, RegisteredWindowHearsArrivalAndRemovalOfItsClassOnly) {
    const HWND window = windows.Create(0, HWND_MESSAGE);
    ASSERT_NE(window, nullptr);
    const HDEVNOTIFY notify = Register(window, kCameraClass);
    ASSERT_NE(notify, nullptr);

    // A camera plugged in on another thread still notifies this thread's window.
    std::thread([] {
        Plug(kOtherClass, "\\\\?\\other#gdi1");
        Plug(kCameraClass, kPath);
    }).join();
    Unplug(kPath);
    Unplug("\\\\?\\other#gdi1");

    for (const WPARAM expected : {WPARAM{DBT_DEVICEARRIVAL}, WPARAM{DBT_DEVICEREMOVECOMPLETE}}) {
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, window, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE));
        EXPECT_EQ(msg.wParam, expected);
        const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(msg.lParam);
        ASSERT_NE(broadcast, nullptr);
        EXPECT_EQ(broadcast->dbcc_devicetype, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
        EXPECT_EQ(0, std::memcmp(&broadcast->dbcc_classguid, &kCameraClass, sizeof(GUID)));
        EXPECT_STREQ(broadcast->dbcc_name, kPath);
        EXPECT_EQ(broadcast->dbcc_size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + std::strlen(kPath) + 1);
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE)) << "other class ignored";

    EXPECT_TRUE(UnregisterDeviceNotification(notify));
    EXPECT_FALSE(UnregisterDeviceNotification(notify));
    Plug(kCameraClass, kPath);
    Unplug(kPath);
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE));
    DestroyWindow(window);
}

TEST_F(DeviceNotificationTest, AllInterfaceClassesFlagHearsEveryClass) {
    const HWND window = windows.Create(0, HWND_MESSAGE);
    const HDEVNOTIFY notify = Register(window, kCameraClass, DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
    ASSERT_NE(notify, nullptr);
    Plug(kOtherClass, "\\\\?\\other#gdi2");
    Unplug("\\\\?\\other#gdi2");
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE));
    EXPECT_STREQ(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(msg.lParam)->dbcc_name, "\\\\?\\other#gdi2");
    UnregisterDeviceNotification(notify);
    DestroyWindow(window);
}

TEST_F(DeviceNotificationTest, RegistrationChecksItsArguments) {
    const HWND window = windows.Create(0, HWND_MESSAGE);
    DEV_BROADCAST_HDR handleFilter{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_HANDLE, 0};
    EXPECT_EQ(RegisterDeviceNotificationA(window, &handleFilter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_EQ(RegisterDeviceNotificationA(window, nullptr, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    DestroyWindow(window);
    EXPECT_EQ(Register(window, kCameraClass), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(DeviceNotificationTest, WindowThatIsGoneMissesTheNewsWithoutHarm) {
    const HWND window = windows.Create(0, HWND_MESSAGE);
    const HDEVNOTIFY notify = Register(window, kCameraClass);
    ASSERT_NE(notify, nullptr);
    DestroyWindow(window);
    Plug(kCameraClass, kPath);
    Unplug(kPath);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE));
    EXPECT_TRUE(UnregisterDeviceNotification(notify));
}

}  // namespace
