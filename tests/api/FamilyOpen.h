// Opening one product id of the family on a simulated camera the way an application's session
// does (device table, open, start-up, window, data width, stream) and checking what a user sees
// first: the size and ranges the camera reports and frames of the window set. Shared by the
// tests of every family member.
#pragma once

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "kelvra/KelvraSim.h"
#include "kelvra/KelvraSimModel.h"
#include "sensors/SensorBase.h"
#include "usb/CKelvCy3Cam.h"
#include "usb/DeviceTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the family table promises for a product id; a range of 0..0 is not checked.
struct FamilyRow {
    unsigned short productId;
    int32_t width, height;
    int32_t gainMin, gainMax, gain;
    int32_t exposureMin, exposureMax, exposure;
};

class FamilyOpen : public ::testing::Test {
protected:
    static constexpr int32_t kFrameReady = 3;

    void SetUp() override {
        const std::string table = "U3G5-MemMap-family-" + std::to_string(GetCurrentProcessId());
        kelvra::usb::SetSharedTableName(table.c_str());
        KelvraSim_Reset();
    }

    void TearDown() override {
        Close();
        KelvraSim_Reset();
    }

    void Close() {
        if (device) device->StopStreaming();
        device.reset();
    }

    // Attaches a camera of the product and opens it; the open's result is returned. prepare
    // sees the camera before the SDK does.
    int32_t OpenProduct(unsigned short productId, const std::function<void(int camera)>& prepare = {}) {
        Close();
        camera = KelvraSim_Attach(productId);
        EXPECT_GE(camera, 1);
        if (prepare) prepare(camera);
        device = std::make_unique<CKelvraUSB3G5SimpleSdk>();
        EXPECT_EQ(device->CreateController(nullptr, nullptr), 1);
        device->SetProductId(productId);
        device->CountDevices(0);
        const auto path = kelvra::sim::DevicePath(camera);
        for (int row = 0; path && row < CKelvraU3G5Base::kMaxDevices; ++row) {
            const UsbDeviceEntry entry = device->Controller()->DeviceEntry(row);
            if (std::strcmp(entry.devicePath, path->c_str()) == 0)
                return device->OpenDevice(static_cast<uint32_t>(entry.deviceNumber));
        }
        ADD_FAILURE() << "camera " << camera << " is not in the device table";
        return 0;
    }

    // The size and ranges of the row, as the device reports them to the session.
    void ExpectReports(const FamilyRow& row) {
        EXPECT_EQ(device->GetSensorWidth(), row.width);
        EXPECT_EQ(device->GetSensorHeight(), row.height);
        if (row.gainMax != 0) {
            EXPECT_EQ(device->GetGlobalGainMin(), row.gainMin);
            EXPECT_EQ(device->GetGlobalGainMax(), row.gainMax);
            EXPECT_EQ(device->GetGlobalGainDefault(), row.gain);
        }
        if (row.exposureMax != 0) {
            EXPECT_EQ(device->GetExposureTimeMin(), row.exposureMin);
            EXPECT_EQ(device->GetExposureTimeMax(), row.exposureMax);
            EXPECT_EQ(device->GetExposureTimeDefault(), row.exposure);
        }
    }

    // Sets the window, streams and checks that two successive frames of that size arrive: the
    // horizontal ramp's last sample shows the camera sent rows of the window's width.
    void ExpectStreams(int32_t x, int32_t y, int32_t width, int32_t height) {
        ASSERT_EQ(device->SetVideoFormat(x, y, width, height, 0), 1);
        int32_t gotX = -1, gotY = -1, gotWidth = 0, gotHeight = 0, gotMode = -1;
        ASSERT_EQ(device->GetVideoFormat(&gotX, &gotY, &gotWidth, &gotHeight, &gotMode), 1);
        EXPECT_EQ(gotX, x);
        EXPECT_EQ(gotY, y);
        EXPECT_EQ(gotWidth, width);
        EXPECT_EQ(gotHeight, height);
        ASSERT_EQ(device->SetDataWidth(1), 1);
        ASSERT_EQ(device->FrameBytes(), static_cast<uint32_t>(width * height * 2));
        ASSERT_EQ(KelvraSim_SetScene(camera, KELVRA_SIM_SCENE_RAMP_H, 1), 1);
        std::vector<uint8_t> frame(device->FrameBytes(), 0);
        ASSERT_EQ(device->StartStreaming(0), 1);
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(device->WaitFrame(3000), kFrameReady);
            ASSERT_EQ(device->CopyNextFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1), 1);
        }
        device->StopStreaming();
        const size_t last = (static_cast<size_t>(height - 1) * width + (width - 1)) * 2;
        EXPECT_EQ(frame[last] | frame[last + 1] << 8, (width - 1) & 0xFFFF);
    }

    CSensorBase& Sensor() { return *device->Sensor(); }

    int camera = 0;
    std::unique_ptr<CKelvraUSB3G5SimpleSdk> device;
};
