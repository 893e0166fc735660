// A program that does not route the device calls (it links no simulator) talks to the system:
// on a machine without a camera, enumeration finds nothing and every call fails cleanly, with the
// system's own error codes, instead of reaching anything simulated.
#include "TemporaryConfigHome.h"
#include "kelvra/KelvraSdk.h"
#include "usb/CFx3Api.h"
#include "usb/CKelvCy3Cam.h"
#include "usb/DeviceIo.h"
#include "usb/DeviceTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace deviceio = kelvra::usb::deviceio;

class SystemDevices : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string table = "U3G5-MemMap-systemdevices-" + std::to_string(GetCurrentProcessId());
        kelvra::usb::SetSharedTableName(table.c_str());
    }

    TemporaryConfigHome configHome;
};

TEST_F(SystemDevices, TheCameraClassEnumeratesEmptyAndEndsWithNoMoreItems) {
    const HDEVINFO devices = deviceio::GetClassDevices(kelvra::usb::kCameraInterfaceClass);
    ASSERT_NE(devices, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(deviceio::EnumerateInterface(devices, kelvra::usb::kCameraInterfaceClass, 0, &interfaceData));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    deviceio::DestroyDeviceList(devices);

    CKelvCy3Cam controller;
    EXPECT_EQ(controller.EnumerateDevices(), 0);
    EXPECT_EQ(controller.EntryCount(), 0);
}

TEST_F(SystemDevices, APathOfTheCamerasFormDoesNotOpen) {
    const char* path = "\\\\?\\usb#vid_2e5a&pid_3180#0001#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
    for (bool overlapped : {false, true}) {
        const HANDLE device = deviceio::OpenPath(path, overlapped);
        EXPECT_FALSE(deviceio::IsOpen(device));
        if (deviceio::IsOpen(device)) deviceio::Close(device);
    }
}

TEST_F(SystemDevices, TheSdkFindsNoCameraAndSaysSo) {
    const int32_t handle = Kelvra_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    char names[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE] = {};
    names[0][0] = 'x';
    EXPECT_EQ(Kelvra_EnumDevice(handle, names), 0);
    EXPECT_EQ(names[0][0], '\0');
    Kelvra_Release(handle);
}

}  // namespace
