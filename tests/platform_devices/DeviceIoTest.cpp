// DeviceIoControl, GetOverlappedResult, CancelIo and CloseHandle on device handles, driven
// from the test's own thread.
#include "DeviceIoFixture.h"

#include <array>
#include <cstring>

namespace kelvra::test {
namespace {

using DeviceIo = DeviceIoFixture;

TEST_F(DeviceIo, SynchronousRequestReturnsTheProvidersBytes)
{
    HANDLE handle = Open(0);
    char in[] = "hello", out[16] = {};
    DWORD bytes = 0;
    ASSERT_TRUE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, nullptr));
    EXPECT_EQ(bytes, sizeof in);
    EXPECT_STREQ(out, "hello");

    // The provider's error reaches the caller, and so does its byte count, clamped to the buffer.
    EXPECT_FALSE(DeviceIoControl(handle, kIoUnsupported, nullptr, 0, nullptr, 0, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    ASSERT_TRUE(DeviceIoControl(handle, kIoOverclaim, nullptr, 0, out, 4, &bytes, nullptr));
    EXPECT_EQ(bytes, 4u);

    EXPECT_FALSE(DeviceIoControl(handle, kIoEcho, nullptr, 8, out, sizeof out, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceIo, OverlappedRequestCompletedAtOnceReportsSuccess)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    char in[] = "now", out[8] = {};
    DWORD bytes = 0;
    ASSERT_TRUE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, &overlapped));
    EXPECT_EQ(bytes, sizeof in);
    EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped));
    EXPECT_EQ(overlapped.Internal, 0u);
    EXPECT_EQ(overlapped.InternalHigh, sizeof in);
    EXPECT_TRUE(IsSignaled(overlapped.hEvent));

    // Failing at once is a failure, not a pending request.
    EXPECT_FALSE(DeviceIoControl(handle, kIoUnsupported, nullptr, 0, nullptr, 0, &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, PendingRequestCompletesThroughItsEvent)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    SetEvent(overlapped.hEvent);  // a stale signal that the request must clear
    std::array<unsigned char, 64> header{}, data{};
    DWORD bytes = 12345;
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, header.data(), header.size(), data.data(), data.size(), &bytes,
                                 &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(bytes, 12345u) << "a pending call reports no count";
    EXPECT_FALSE(HasOverlappedIoCompleted(&overlapped));
    EXPECT_FALSE(IsSignaled(overlapped.hEvent));
    EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    ASSERT_TRUE(connection_->CompleteOldest(ERROR_SUCCESS, 0xA5));
    EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped));
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
    EXPECT_EQ(bytes, data.size());
    EXPECT_EQ(data[63], 0xA5);
    EXPECT_TRUE(GetOverlappedResult(handle, &overlapped, &bytes, TRUE)) << "a completed request needs no wait";
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, ProviderCancellationReadsAsAborted)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped(TRUE);
    unsigned char data[8] = {};
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data, sizeof data, nullptr, &overlapped));
    ASSERT_TRUE(connection_->CompleteOldest(ERROR_OPERATION_ABORTED, 0));
    DWORD bytes = 0;
    EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(IsSignaled(overlapped.hEvent));

    // Any code the provider chooses comes back unchanged.
    for (long code : {ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED, ERROR_NO_MORE_ITEMS, 31337L}) {
        const auto error = static_cast<DWORD>(code);
        EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data, sizeof data, nullptr, &overlapped));
        ASSERT_TRUE(connection_->CompleteOldest(error, 0));
        EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
        EXPECT_EQ(GetLastError(), error);
    }
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, CancelIoAbortsEveryPendingRequest)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED first = Overlapped(), second = Overlapped();
    unsigned char a[4], b[4];
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, a, sizeof a, nullptr, &first));
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, b, sizeof b, nullptr, &second));
    ASSERT_TRUE(CancelIo(handle));
    DWORD bytes = 0;
    for (OVERLAPPED* overlapped : {&first, &second}) {
        EXPECT_TRUE(IsSignaled(overlapped->hEvent));
        EXPECT_FALSE(GetOverlappedResult(handle, overlapped, &bytes, FALSE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    }
    // The handle stays usable.
    char in[] = "on", out[4] = {};
    EXPECT_TRUE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, &first));
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, CloseHandleCancelsBeforeReturning)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    unsigned char data[4] = {};
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data, sizeof data, nullptr, &overlapped));
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(connection_->PendingCount(), 0u);
    EXPECT_EQ(connection_->CancelCalls(), 1);
    EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped));
    EXPECT_TRUE(IsSignaled(overlapped.hEvent));
    DWORD bytes = 0;
    EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceIo, MisbehavingProvidersCannotCompleteTwiceOrLeaveARequestHanging)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    unsigned char data[4] = {};
    DWORD bytes = 0;
    ASSERT_TRUE(DeviceIoControl(handle, kIoCompleteTwice, nullptr, 0, data, sizeof data, &bytes, &overlapped));
    EXPECT_EQ(bytes, 1u);
    EXPECT_EQ(overlapped.InternalHigh, 1u);

    // A request the provider forgets is finished as aborted rather than left pending.
    EXPECT_FALSE(DeviceIoControl(handle, kIoDrop, nullptr, 0, data, sizeof data, &bytes, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(IsSignaled(overlapped.hEvent));
    EXPECT_FALSE(GetOverlappedResult(handle, &overlapped, &bytes, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_FALSE(DeviceIoControl(handle, kIoDrop, nullptr, 0, data, sizeof data, &bytes, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, BufferedInputIsCapturedAtTheCall)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    constexpr DWORD kPendBuffered = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x810, METHOD_BUFFERED, FILE_ANY_ACCESS);
    unsigned char endpoint = 0x81, out[1] = {};
    EXPECT_FALSE(DeviceIoControl(handle, kPendBuffered, &endpoint, 1, out, 1, nullptr, &overlapped));
    endpoint = 0;
    // What the provider sees is the byte of the moment of the call.
    EXPECT_TRUE(connection_->InspectOldest([](const platform::IoRequest& request) {
        return request.inputSize == 1 && *static_cast<const unsigned char*>(request.input) == 0x81;
    }));
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIo, OpenHandleOutlivesTheInterface)
{
    HANDLE handle = Open(0);
    device_.Unplug();
    char in[] = "still", out[8] = {};
    DWORD bytes = 0;
    EXPECT_TRUE(DeviceIoControl(handle, kIoEcho, in, sizeof in, out, sizeof out, &bytes, nullptr));
    EXPECT_STREQ(out, "still");
    EXPECT_TRUE(CloseHandle(handle));
}

}  // namespace
}  // namespace kelvra::test
