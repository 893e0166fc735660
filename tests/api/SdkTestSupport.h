// Sessions of the public C API in front of simulated cameras, with a device table and a registry
// of this process's own, so that tests running side by side do not see each other's cameras or
// settings, and every test starts from a machine that never ran the SDK.
#pragma once

#include "TemporaryConfigHome.h"
#include "kelvra/KelvraSdk.h"
#include "kelvra/KelvraSim.h"
#include "usb/DeviceTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SdkTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string table = "U3G5-MemMap-apitest-" + std::to_string(GetCurrentProcessId());
        kelvra::usb::SetSharedTableName(table.c_str());
        KelvraSim_Reset();
    }

    void TearDown() override {
        for (int32_t handle : handles) Kelvra_Release(handle);
        KelvraSim_Reset();
    }

    int32_t Open(HWND window = nullptr) {
        const int32_t handle = Kelvra_Initialize(window);
        EXPECT_NE(handle, 0);
        handles.push_back(handle);
        return handle;
    }

    static int Attach(unsigned short productId = 0x3180) {
        const int camera = KelvraSim_Attach(productId);
        EXPECT_GE(camera, 1);
        return camera;
    }

    // Every code still in the history, newest first.
    static std::vector<int32_t> Drain(int32_t handle) {
        std::vector<int32_t> codes;
        for (int32_t code = Kelvra_GetLastError(handle); code != 0 && codes.size() <= 20;
             code = Kelvra_GetLastError(handle)) {
            codes.push_back(code);
        }
        return codes;
    }

    TemporaryConfigHome configHome;  // made before SetUp, removed after TearDown
    std::vector<int32_t> handles;
};
