// Device I/O across threads: late completions, racing completions, and CloseHandle while the
// provider or another caller is still busy. Run under ThreadSanitizer too.
#include "DeviceIoFixture.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace kelvra::test {
namespace {

using DeviceIoThreads = DeviceIoFixture;

TEST_F(DeviceIoThreads, CallersWaitForALateCompletion) {
    // A call without OVERLAPPED is synchronous, also on a handle opened for overlapped I/O.
    for (DWORD flags : {0u, DWORD{FILE_FLAG_OVERLAPPED}}) {
        HANDLE handle = Open(flags);
        std::array<unsigned char, 32> data{};
        DWORD bytes = 0;
        std::thread completer([&] {
            connection->WaitForPending(1);
            connection->CompleteOldest(ERROR_SUCCESS, 0x3C);
        });
        EXPECT_TRUE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), &bytes, nullptr)) << flags;
        completer.join();
        EXPECT_EQ(bytes, data.size());
        EXPECT_EQ(data[31], 0x3C);
        EXPECT_TRUE(CloseHandle(handle));
    }

    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    std::array<unsigned char, 16> data{};
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), nullptr, &overlapped));
    std::thread completer([&] { connection->CompleteOldest(ERROR_SUCCESS, 0x77); });
    DWORD bytes = 0;
    EXPECT_TRUE(GetOverlappedResult(handle, &overlapped, &bytes, TRUE));
    completer.join();
    EXPECT_EQ(data[15], 0x77);
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIoThreads, RacingCompletionsFinishARequestOnce) {
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    for (int round = 0; round < 200; ++round) {
        OVERLAPPED overlapped{};
        std::array<unsigned char, 8> data{};
        EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), nullptr, &overlapped));
        auto request = connection->TakeOldest();
        std::thread success([&] { request->Complete(ERROR_SUCCESS, 5); });
        std::thread abort([&] { request->Complete(ERROR_OPERATION_ABORTED, 0); });
        success.join();
        abort.join();
        DWORD bytes = 99;
        BOOL succeeded = GetOverlappedResult(handle, &overlapped, &bytes, FALSE);
        EXPECT_EQ(bytes, succeeded ? 5u : 0u) << "count and status come from the same completion";
        EXPECT_TRUE(succeeded || GetLastError() == ERROR_OPERATION_ABORTED);
    }
    EXPECT_TRUE(CloseHandle(handle));
}

// The provider still serves a request that CancelAll no longer reaches: CloseHandle returns only
// once it has completed, so the buffers are the caller's again (TSan sees any late write).
TEST_F(DeviceIoThreads, CloseHandleWaitsForARequestTheProviderIsStillServing) {
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    std::array<OVERLAPPED, 3> overlapped{};
    std::array<std::array<unsigned char, 64>, 3> buffers{};
    for (size_t i = 0; i < overlapped.size(); ++i)
        EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, buffers[i].data(), 64, nullptr, &overlapped[i]));
    auto serving = connection->TakeOldest();
    std::atomic<bool> closing{false};
    std::thread provider([&] {
        while (!closing.load()) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widens the window of a late write
        std::memset(serving->output, 0xEE, serving->outputSize);
        serving->Complete(ERROR_SUCCESS, serving->outputSize);
    });
    closing.store(true);
    EXPECT_TRUE(CloseHandle(handle));
    for (size_t i = 0; i < overlapped.size(); ++i) {
        EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped[i])) << i;
        buffers[i].fill(0);
    }
    provider.join();
    EXPECT_EQ(overlapped[0].InternalHigh, 64u);
}

TEST_F(DeviceIoThreads, CloseHandleWhileAnotherThreadIssuesRequests) {
    for (int round = 0; round < 50; ++round) {
        HANDLE handle = Open(0);
        std::atomic<bool> started{false};
        std::thread caller([&] {
            std::array<unsigned char, 8> data{};
            DWORD bytes = 0;
            // Every call ends: aborted by the close, or refused once the handle is gone.
            for (DWORD error = 0; error != ERROR_INVALID_HANDLE;) {
                started.store(true);
                EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), &bytes, nullptr));
                error = GetLastError();
                EXPECT_TRUE(error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE) << error;
            }
        });
        while (!started.load()) std::this_thread::yield();
        EXPECT_TRUE(CloseHandle(handle));
        caller.join();
    }
}

TEST(DeviceTableThreads, ChangesWhileAnotherThreadEnumeratesAndOpens) {
    constexpr GUID kClass = {0x5eed5eed, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            HDEVINFO set = SetupDiGetClassDevsA(&kClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
            SP_DEVICE_INTERFACE_DATA data{sizeof data, {}, 0, 0};
            for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &kClass, i, &data); ++i) {
                alignas(8) char buffer[200] = {};
                auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
                detail->cbSize = sizeof *detail;
                EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buffer, nullptr, nullptr));
                HANDLE handle = CreateFileA(detail->DevicePath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
            }
            SetupDiDestroyDeviceInfoList(set);
        }
    });
    for (int i = 0; i < 300; ++i) {
        PluggedDevice device(kClass, "\\\\?\\usb#vid_0001&pid_0001#" + std::to_string(i));
        EXPECT_TRUE(device.added);
    }
    stop.store(true);
    reader.join();
}

}  // namespace
}  // namespace kelvra::test
