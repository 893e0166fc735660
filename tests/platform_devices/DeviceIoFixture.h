// A plugged test device and the handles and events of one I/O test.
#pragma once

#include "TestDeviceProvider.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvra::test {

class DeviceIoFixture : public ::testing::Test {
protected:
    HANDLE Open(DWORD flags) {
        HANDLE handle = CreateFileA(device.path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE);
        connection = device.provider->lastConnection;
        return handle;
    }

    OVERLAPPED Overlapped(BOOL manualReset = FALSE) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, manualReset, FALSE, nullptr);
        events.push_back(overlapped.hEvent);
        return overlapped;
    }

    static bool IsSignaled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

    void TearDown() override {
        for (HANDLE event : events) CloseHandle(event);
    }

    PluggedDevice device{{0x0badcafe, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}}, "\\\\?\\usb#vid_04b4&pid_3180#io#{0badcafe}"};
    std::shared_ptr<TestConnection> connection;
    std::vector<HANDLE> events;
};

}  // namespace kelvra::test
