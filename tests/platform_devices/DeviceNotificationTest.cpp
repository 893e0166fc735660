// Windows registered for a device-interface class hear the table's arrivals and removals.
#include "TestDeviceProvider.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kelvra::test {
namespace {

constexpr GUID kWatchedClass = {0xfeedf00d, 0x0001, 0x0002, {1, 1, 2, 3, 5, 8, 13, 21}};
constexpr GUID kIgnoredClass = {0xfeedf00d, 0x0001, 0x0003, {1, 1, 2, 3, 5, 8, 13, 21}};

class DeviceNotification : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "DeviceNotificationTest";
        RegisterClassExA(&windowClass);
        window_ = CreateWindowExA(0, "DeviceNotificationTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
        ASSERT_NE(window_, nullptr);
        DEV_BROADCAST_DEVICEINTERFACE_A filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kWatchedClass;
        registration_ = RegisterDeviceNotificationA(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        ASSERT_NE(registration_, nullptr);
    }

    void TearDown() override
    {
        UnregisterDeviceNotification(registration_);
        DestroyWindow(window_);
    }

    // The next device change waiting for the window, as "+path" (arrival) or "-path" (removal).
    std::string NextChange()
    {
        MSG message{};
        if (!PeekMessageA(&message, window_, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE))
            return "none";
        const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(message.lParam);
        EXPECT_EQ(broadcast->dbcc_devicetype, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
        EXPECT_EQ(std::memcmp(&broadcast->dbcc_classguid, &kWatchedClass, sizeof(GUID)), 0);
        if (message.wParam == DBT_DEVICEARRIVAL)
            return std::string("+") + broadcast->dbcc_name;
        if (message.wParam == DBT_DEVICEREMOVECOMPLETE)
            return std::string("-") + broadcast->dbcc_name;
        return "unexpected event";
    }

    HWND window_ = nullptr;
    HDEVNOTIFY registration_ = nullptr;
};

TEST_F(DeviceNotification, ArrivalAndRemovalReachTheWindowInOrder)
{
    const std::string path = "\\\\?\\usb#vid_04b4&pid_3180#notify#{feedf00d}";
    {
        PluggedDevice device(kWatchedClass, path);
        PluggedDevice elsewhere(kIgnoredClass, "\\\\?\\usb#vid_04b4&pid_3180#ignored#{x}");
        // A duplicate is no arrival, and an unknown path no removal.
        EXPECT_FALSE(platform::AddDeviceInterface(kWatchedClass, path, std::make_shared<TestProvider>()));
        EXPECT_FALSE(platform::RemoveDeviceInterface(path + "-unknown"));
    }
    EXPECT_EQ(NextChange(), "+" + path);
    EXPECT_EQ(NextChange(), "-" + path);
    EXPECT_EQ(NextChange(), "none");
}

}  // namespace
}  // namespace kelvra::test
