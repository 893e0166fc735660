// A device whose controller cannot be allocated must say so. The nothrow allocation the device
// uses is replaced in this test program so that one chosen call fails.
#include "device/CKelvraUSB3G5SimpleSdk.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <new>

namespace {
thread_local bool failNextNothrowAllocation = false;
}  // namespace

// Goes through the ordinary operator new so that sanitizers pair it with the ordinary delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (failNextNothrowAllocation) {
        failNextNothrowAllocation = false;
        return nullptr;
    }
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

TEST(DeviceController, CreateControllerReportsAFailedAllocation) {
    CKelvraUSB3G5SimpleSdk device;
    failNextNothrowAllocation = true;
    EXPECT_EQ(device.CreateController(nullptr, nullptr), 0);
    failNextNothrowAllocation = false;
    EXPECT_EQ(device.Controller(), nullptr);
    // Nothing was left half made: the next attempt succeeds.
    EXPECT_EQ(device.CreateController(nullptr, nullptr), 1);
    EXPECT_NE(device.Controller(), nullptr);
}
