#include "SimClient.h"

#include "kelvra/KelvraSimModel.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace simtest;

namespace {

class SimEnumeration : public ::testing::Test {
protected:
    void SetUp() override { KelvraSim_Reset(); }
    void TearDown() override { KelvraSim_Reset(); }
};

unsigned HexAt(const std::string& path, std::size_t at) {
    unsigned value = 0;
    EXPECT_EQ(1, std::sscanf(path.substr(at, 4).c_str(), "%04x", &value)) << path;
    return value;
}

TEST_F(SimEnumeration, CamerasEnumerateInAttachOrderWithIdsAtTheSystemsPositions) {
    const int first = KelvraSim_Attach(0x3180);
    const int second = KelvraSim_Attach(0x3020);
    const int third = KelvraSim_Attach(0x3180);
    ASSERT_GE(first, 1);
    ASSERT_NE(first, second);
    ASSERT_NE(second, third);

    const auto paths = EnumeratePaths();
    ASSERT_EQ(3u, paths.size());
    EXPECT_EQ(*kelvra::sim::DevicePath(first), paths[0]);
    EXPECT_EQ(*kelvra::sim::DevicePath(second), paths[1]);
    EXPECT_EQ(*kelvra::sim::DevicePath(third), paths[2]);
    const unsigned products[] = {0x3180, 0x3020, 0x3180};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(0u, paths[i].rfind("\\\\?\\usb#vid_", 0)) << paths[i];
        EXPECT_EQ(unsigned{KELVRA_SIM_VENDOR_ID}, HexAt(paths[i], 12));
        EXPECT_EQ("&pid_", paths[i].substr(16, 5));
        EXPECT_EQ(products[i], HexAt(paths[i], 21));
        EXPECT_NE(std::string::npos, paths[i].find("#{328184c5-93e6-49b7-94b8-2ada13aabb39}"));
    }
    EXPECT_NE(paths[0], paths[2]);  // two cameras of one model are told apart by their paths
}

TEST_F(SimEnumeration, UnplugHidesThePathAndReplugBringsTheSamePathBack) {
    const int camera = KelvraSim_Attach(0x3180);
    const std::string path = *kelvra::sim::DevicePath(camera);
    Device before(path);
    ASSERT_TRUE(before.IsOpen());

    ASSERT_EQ(1, KelvraSim_Unplug(camera));
    EXPECT_TRUE(EnumeratePaths().empty());
    EXPECT_FALSE(Device(path).IsOpen());
    // A handle of the old plug-in is dead: requests fail instead of reaching the camera.
    EXPECT_FALSE(before.Control(0xC0, 0xB0, 0, 0).ok);

    ASSERT_EQ(1, KelvraSim_Replug(camera));
    ASSERT_EQ(std::vector<std::string>{path}, EnumeratePaths());
    Device after(path);
    ASSERT_TRUE(after.IsOpen());
    EXPECT_TRUE(after.Control(0xC0, 0xB0, 0, 0).ok);
    EXPECT_FALSE(before.Control(0xC0, 0xB0, 0, 0).ok);
}

TEST_F(SimEnumeration, ControlApiRefusesUnknownCamerasAndBadArguments) {
    EXPECT_EQ(0, KelvraSim_Attach(0));
    EXPECT_EQ(0, KelvraSim_Unplug(7));
    EXPECT_EQ(0, KelvraSim_Replug(7));
    EXPECT_EQ(0, KelvraSim_Trigger(7));
    EXPECT_EQ(-1, KelvraSim_FramesSent(7));
    const int camera = KelvraSim_Attach(0x3180);
    EXPECT_EQ(0, KelvraSim_SetScene(camera, 4, 0));
    EXPECT_EQ(0, KelvraSim_SetFrameRate(camera, -1));
    EXPECT_EQ(0, KelvraSim_InjectFault(camera, 5, 1));
    EXPECT_EQ(0, KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_DROP_HEADER, -1));
    const int generic = KelvraSim_Attach(0x3100);
    EXPECT_EQ(0, KelvraSim_InjectFault(generic, KELVRA_SIM_FAULT_HEAD_NG, 1));  // no head on that board
}

TEST_F(SimEnumeration, ResetForgetsEveryCameraAndStartsIdsAgain) {
    const int first = KelvraSim_Attach(0x3180);
    KelvraSim_Attach(0x3180);
    const std::string path = *kelvra::sim::DevicePath(first);
    Device stale(path);
    KelvraSim_Reset();
    EXPECT_TRUE(EnumeratePaths().empty());
    EXPECT_EQ(0, KelvraSim_Unplug(first));
    EXPECT_FALSE(stale.Control(0xC0, 0xB0, 0, 0).ok);
    EXPECT_EQ(first, KelvraSim_Attach(0x3180));
    EXPECT_EQ(path, *kelvra::sim::DevicePath(first));
}

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SimEnumeration, ArrivalAndRemovalAreAnnouncedToRegisteredWindows) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = QuietProc;
    windowClass.lpszClassName = "SimNotifyTest";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "SimNotifyTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kCameraClass;
    HDEVNOTIFY notify = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(nullptr, notify);

    const int camera = KelvraSim_Attach(0x3180);
    KelvraSim_Unplug(camera);
    KelvraSim_Replug(camera);
    std::vector<WPARAM> events;
    MSG message;
    while (PeekMessageA(&message, window, WM_DEVICECHANGE, WM_DEVICECHANGE, PM_REMOVE)) {
        events.push_back(message.wParam);
        const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(message.lParam);
        ASSERT_NE(nullptr, broadcast);
        EXPECT_EQ(*kelvra::sim::DevicePath(camera), std::string(broadcast->dbcc_name));
    }
    EXPECT_EQ((std::vector<WPARAM>{DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE, DBT_DEVICEARRIVAL}), events);
    UnregisterDeviceNotification(notify);
    DestroyWindow(window);
}

}  // namespace
