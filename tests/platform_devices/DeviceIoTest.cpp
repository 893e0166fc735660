// DeviceIoControl, GetOverlappedResult, CancelIo and CloseHandle on device handles, driven
// from the test's own thread.
#include "DeviceIoFixture.h"

#include <array>

namespace kelvra::test {
namespace {

using DeviceIo = DeviceIoFixture;

TEST_F(DeviceIo, SynchronousRequestsReportWhatTheProviderDid) {
    HANDLE handle = Open(0);
    char in[] = "hello", out[16] = {};
    DWORD bytes = 0;
    ASSERT_TRUE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, nullptr));
    EXPECT_EQ(bytes, sizeof in);
    EXPECT_STREQ(out, "hello");
    EXPECT_FALSE(DeviceIoControl(handle, kIoUnsupported, nullptr, 0, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SUPPORTED});
    // Misbehaving providers: a count beyond the buffer is cut to it, a second completion is
    // ignored, and a request let go of unfinished ends as aborted instead of hanging.
    ASSERT_TRUE(DeviceIoControl(handle, kIoOverclaim, nullptr, 0, out, 4, &bytes, nullptr));
    EXPECT_EQ(bytes, 4u);
    ASSERT_TRUE(DeviceIoControl(handle, kIoCompleteTwice, nullptr, 0, out, 4, &bytes, nullptr));
    EXPECT_EQ(bytes, 1u);
    EXPECT_FALSE(DeviceIoControl(handle, kIoDrop, nullptr, 0, out, 4, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_OPERATION_ABORTED});

    EXPECT_FALSE(DeviceIoControl(handle, kIoEcho, nullptr, 8, out, sizeof out, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(DeviceIo, OverlappedRequestCompletedAtOnceIsNoPendingOne) {
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    char in[] = "now", out[8] = {};
    DWORD bytes = 0;
    ASSERT_TRUE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, &overlapped));
    EXPECT_EQ(bytes, sizeof in);
    EXPECT_EQ(overlapped.Internal, 0u);
    EXPECT_EQ(overlapped.InternalHigh, sizeof in);
    EXPECT_TRUE(IsSignaled(overlapped.hEvent));

    EXPECT_FALSE(DeviceIoControl(handle, kIoUnsupported, nullptr, 0, nullptr, 0, &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SUPPORTED});
    EXPECT_FALSE(DeviceIoControl(handle, kIoDrop, nullptr, 0, out, 4, &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_OPERATION_ABORTED});
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, PendingRequestCompletesThroughOverlappedAndEvent) {
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    SetEvent(overlapped.hEvent);  // a stale signal that the new request must clear
    std::array<unsigned char, 64> header{}, data{};
    DWORD bytes = 12345;
    EXPECT_FALSE(
        DeviceIoControl(handle, kIoPend, header.data(), header.size(), data.data(), data.size(), &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_IO_PENDING});
    EXPECT_EQ(bytes, 12345u) << "a pending call reports no count";
    EXPECT_FALSE(HasOverlappedIoCompleted(&overlapped));
    EXPECT_FALSE(IsSignaled(overlapped.hEvent));
    EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_IO_INCOMPLETE});

    ASSERT_TRUE(connection->CompleteOldest(ERROR_SUCCESS, 0xA5));
    EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped));
    EXPECT_TRUE(IsSignaled(overlapped.hEvent));
    ASSERT_TRUE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
    EXPECT_EQ(bytes, data.size());
    EXPECT_EQ(data[63], 0xA5);

    // Whatever error the provider completes with comes back unchanged.
    for (long code : {ERROR_OPERATION_ABORTED, ERROR_DEVICE_NOT_CONNECTED, ERROR_NO_MORE_ITEMS, 31337L}) {
        EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), 8, nullptr, &overlapped));
        ASSERT_TRUE(connection->CompleteOldest(static_cast<DWORD>(code), 0));
        EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, TRUE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(code));
    }
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, BufferedInputIsCapturedAtTheCall) {
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    unsigned char endpoint = 0x81;
    EXPECT_FALSE(DeviceIoControl(handle, TestCode(0x810), &endpoint, 1, nullptr, 0, nullptr, &overlapped));
    endpoint = 0;
    auto request = connection->TakeOldest();
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(*static_cast<const unsigned char*>(request->input), 0x81);
    request->Complete(ERROR_SUCCESS, 0);
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, CancelIoAndCloseHandleAbortWhatIsPending) {
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED first = Overlapped(), second = Overlapped(TRUE);
    unsigned char a[4], b[4];
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, a, sizeof a, nullptr, &first));
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, b, sizeof b, nullptr, &second));
    ASSERT_TRUE(CancelIo(handle));
    DWORD bytes = 0;
    for (OVERLAPPED* overlapped : {&first, &second}) {
        EXPECT_TRUE(IsSignaled(overlapped->hEvent));
        EXPECT_FALSE(GetOverlappedResult(handle, overlapped, &bytes, FALSE));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_OPERATION_ABORTED});
    }

    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, a, sizeof a, nullptr, &first));
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(connection->PendingCount(), 0u);
    EXPECT_EQ(first.Internal, 0xC0000120u) << "STATUS_CANCELLED, as the system leaves it";
    EXPECT_TRUE(IsSignaled(first.hEvent));
}

TEST_F(DeviceIo, OpenHandleOutlivesTheInterface) {
    HANDLE handle = Open(0);
    device.Unplug();
    char in[] = "still", out[8] = {};
    DWORD bytes = 0;
    EXPECT_TRUE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, nullptr));
    EXPECT_STREQ(out, "still");
    EXPECT_TRUE(CloseHandle(handle));
}

}  // namespace
}  // namespace kelvra::test
