// A device object with its controller, in front of freshly attached simulated cameras.
#pragma once

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "kelvra/KelvraSimModel.h"
#include "usb/CKelvCy3Cam.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

class SimulatedDevice : public ::testing::Test {
protected:
    void SetUp() override {
        KelvraSim_Reset();
        device = std::make_unique<CKelvraUSB3G5SimpleSdk>();
        ASSERT_EQ(device->CreateController(nullptr, nullptr), 1);
    }

    void TearDown() override {
        device.reset();
        KelvraSim_Reset();
    }

    int Attach(unsigned short productId) {
        const int camera = KelvraSim_Attach(productId);
        EXPECT_GE(camera, 1);
        return camera;
    }

    // The device table is shared by every process that loads the SDK, so a camera's number is
    // looked up by its path rather than assumed.
    int DeviceNumberOf(int camera) {
        device->CountDevices(0);
        const auto path = kelvra::sim::DevicePath(camera);
        for (int row = 0; path && row < CKelvraU3G5Base::kMaxDevices; ++row) {
            const UsbDeviceEntry entry = device->Controller()->DeviceEntry(row);
            if (std::strcmp(entry.devicePath, path->c_str()) == 0) return entry.deviceNumber;
        }
        return -1;
    }

    // Opens the camera with the product id given; the open's own result is returned.
    int32_t Open(int camera, int32_t productId) {
        device->SetProductId(productId);
        const int number = DeviceNumberOf(camera);
        EXPECT_GE(number, 0);
        return device->OpenDevice(static_cast<uint32_t>(number));
    }

    std::unique_ptr<CKelvraUSB3G5SimpleSdk> device;
};
