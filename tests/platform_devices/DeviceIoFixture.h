// A plugged test device with an open handle, shared by the I/O tests.
#pragma once

#include "TestDeviceProvider.h"

#include <gtest/gtest.h>

namespace kelvra::test {

constexpr GUID kTestDeviceClass = {0x0badcafe, 0x1234, 0x5678, {9, 8, 7, 6, 5, 4, 3, 2}};

class DeviceIoFixture : public ::testing::Test {
protected:
    HANDLE Open(DWORD flags)
    {
        HANDLE handle = CreateFileA(device_.Path().c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE);
        connection_ = device_.Provider().LastConnection();
        return handle;
    }

    // An OVERLAPPED with its own event, as a caller prepares it.
    OVERLAPPED Overlapped(BOOL manualReset = FALSE)
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, manualReset, FALSE, nullptr);
        EXPECT_NE(overlapped.hEvent, nullptr);
        events_.push_back(overlapped.hEvent);
        return overlapped;
    }

    static bool IsSignaled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

    void TearDown() override
    {
        for (HANDLE event : events_)
            CloseHandle(event);
    }

    PluggedDevice device_{kTestDeviceClass, "\\\\?\\usb#vid_04b4&pid_3180#io#{0badcafe}"};
    std::shared_ptr<TestConnection> connection_;
    std::vector<HANDLE> events_;
};

}  // namespace kelvra::test
