// A window registered for a device-interface class hears the table's arrivals and removals.
#include "TestDeviceProvider.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kelvra::test {
namespace {

TEST(DeviceNotification, ArrivalAndRemovalReachTheWindowInOrder) {
    constexpr GUID kWatched = {0xfeedf00d, 1, 2, {1, 1, 2, 3, 5, 8, 13, 21}};
    constexpr GUID kIgnored = {0xfeedf00d, 1, 3, {1, 1, 2, 3, 5, 8, 13, 21}};
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "DeviceNotificationTest";
    RegisterClassExA(&windowClass);
    HWND window =
        CreateWindowExA(0, "DeviceNotificationTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    DEV_BROADCAST_DEVICEINTERFACE_A filter{sizeof filter, DBT_DEVTYP_DEVICEINTERFACE, 0, kWatched, {}};
    HDEVNOTIFY registration = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(registration, nullptr);

    const std::string path = "\\\\?\\usb#vid_04b4&pid_3180#notify#{feedf00d}";
    {
        PluggedDevice device(kWatched, path);
        PluggedDevice elsewhere(kIgnored, path + "-other-class");
        // A duplicate is no arrival, and an unknown path no removal.
        EXPECT_FALSE(platform::AddDeviceInterface(kWatched, path, std::make_shared<TestProvider>()));
        EXPECT_FALSE(platform::RemoveDeviceInterface(path + "-unknown"));
    }
    std::string changes;
    for (MSG message{}; PeekMessageA(&message, window, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE);) {
        const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(message.lParam);
        EXPECT_EQ(std::memcmp(&broadcast->dbcc_classguid, &kWatched, sizeof(GUID)), 0);
        changes += (message.wParam == DBT_DEVICEARRIVAL ? "+" : message.wParam == DBT_DEVICEREMOVECOMPLETE ? "-" : "?");
        changes += broadcast->dbcc_name;
    }
    EXPECT_EQ(changes, "+" + path + "-" + path);
    UnregisterDeviceNotification(registration);
    DestroyWindow(window);
}

}  // namespace
}  // namespace kelvra::test
