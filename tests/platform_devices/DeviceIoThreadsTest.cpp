// Device I/O across threads: late completions, waits, and cancellation racing with completion
// and with CloseHandle. Meant to run under ThreadSanitizer too.
#include "DeviceIoFixture.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace kelvra::test {
namespace {

using DeviceIoThreads = DeviceIoFixture;

TEST_F(DeviceIoThreads, SynchronousCallWaitsForALateCompletion)
{
    for (DWORD flags : {0u, static_cast<DWORD>(FILE_FLAG_OVERLAPPED)}) {
        HANDLE handle = Open(flags);
        std::array<unsigned char, 32> data{};
        DWORD bytes = 0;
        BOOL result = FALSE;
        std::thread caller([&] {
            result = DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), &bytes, nullptr);
        });
        connection_->WaitForPending(1);
        ASSERT_TRUE(connection_->CompleteOldest(ERROR_SUCCESS, 0x3C));
        caller.join();
        EXPECT_TRUE(result) << flags;
        EXPECT_EQ(bytes, data.size());
        EXPECT_TRUE(std::ranges::all_of(data, [](unsigned char b) { return b == 0x3C; }));
        EXPECT_TRUE(CloseHandle(handle));
    }
}

TEST_F(DeviceIoThreads, GetOverlappedResultWaitsForALateCompletion)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    OVERLAPPED overlapped = Overlapped();
    std::array<unsigned char, 16> data{};
    EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), nullptr, &overlapped));
    std::thread completer([&] { connection_->CompleteOldest(ERROR_SUCCESS, 0x77); });
    DWORD bytes = 0;
    EXPECT_TRUE(GetOverlappedResult(handle, &overlapped, &bytes, TRUE));
    completer.join();
    EXPECT_EQ(bytes, data.size());
    EXPECT_EQ(data[15], 0x77);
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIoThreads, RacingCompletionsFinishARequestOnce)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    for (int round = 0; round < 200; ++round) {
        OVERLAPPED overlapped{};
        std::array<unsigned char, 8> data{};
        EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), nullptr, &overlapped));
        auto request = connection_->TakeOldest();
        ASSERT_NE(request, nullptr);
        std::thread success([&] { request->Complete(ERROR_SUCCESS, 5); });
        std::thread abort([&] { request->Complete(ERROR_OPERATION_ABORTED, 0); });
        success.join();
        abort.join();
        DWORD bytes = 99;
        if (GetOverlappedResult(handle, &overlapped, &bytes, TRUE)) {
            EXPECT_EQ(bytes, 5u);
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
            EXPECT_EQ(bytes, 0u);
        }
    }
    EXPECT_TRUE(CloseHandle(handle));
}

TEST_F(DeviceIoThreads, CancelIoRacingWithCompletion)
{
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    for (int round = 0; round < 200; ++round) {
        OVERLAPPED overlapped = Overlapped(TRUE);
        std::array<unsigned char, 8> data{};
        EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), nullptr, &overlapped));
        std::thread completer([&] { connection_->CompleteOldest(ERROR_SUCCESS, 1); });
        EXPECT_TRUE(CancelIo(handle));
        completer.join();
        EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 5000), WAIT_OBJECT_0);
        DWORD bytes = 0;
        BOOL done = GetOverlappedResult(handle, &overlapped, &bytes, FALSE);
        EXPECT_TRUE(done || GetLastError() == static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    }
    EXPECT_TRUE(CloseHandle(handle));
}

// A provider still busy with a request that CancelAll no longer reaches: CloseHandle returns
// only once it has completed, so the buffers are the caller's again (TSan sees any late write).
TEST_F(DeviceIoThreads, CloseHandleWaitsForARequestTheProviderIsStillServing)
{
    constexpr int kRequests = 4;
    HANDLE handle = Open(FILE_FLAG_OVERLAPPED);
    std::vector<OVERLAPPED> overlapped(kRequests);
    std::vector<std::array<unsigned char, 64>> buffers(kRequests);
    for (int i = 0; i < kRequests; ++i)
        EXPECT_FALSE(DeviceIoControl(handle, kIoPend, nullptr, 0, buffers[i].data(), buffers[i].size(), nullptr,
                                     &overlapped[i]));
    auto serving = connection_->TakeOldest();
    ASSERT_NE(serving, nullptr);
    std::atomic<bool> closing{false};
    std::thread provider([&] {
        while (!closing.load())
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widens the window a late write would need
        std::memset(serving->output, 0xEE, serving->outputSize);
        serving->Complete(ERROR_SUCCESS, serving->outputSize);
        serving.reset();
    });
    closing.store(true);
    EXPECT_TRUE(CloseHandle(handle));
    for (int i = 0; i < kRequests; ++i) {
        EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped[i])) << i;
        buffers[i].fill(0);
    }
    provider.join();
    EXPECT_EQ(overlapped[0].InternalHigh, buffers[0].size());
    EXPECT_EQ(overlapped[1].Internal, 0xC0000120u) << "STATUS_CANCELLED, as the system leaves it";
}

TEST_F(DeviceIoThreads, CloseHandleWhileAnotherThreadIssuesRequests)
{
    for (int round = 0; round < 50; ++round) {
        HANDLE handle = Open(0);
        std::atomic<bool> started{false};
        std::thread caller([&] {
            std::array<unsigned char, 8> data{};
            DWORD bytes = 0;
            // Each call ends: aborted by the close, or refused once the handle is gone.
            for (;;) {
                started.store(true);
                if (DeviceIoControl(handle, kIoPend, nullptr, 0, data.data(), data.size(), &bytes, nullptr))
                    continue;
                DWORD error = GetLastError();
                EXPECT_TRUE(error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE) << error;
                if (error == ERROR_INVALID_HANDLE)
                    break;
            }
        });
        while (!started.load())
            std::this_thread::yield();
        EXPECT_TRUE(CloseHandle(handle));
        caller.join();
    }
}

TEST(DeviceTableThreads, ChangesWhileOthersEnumerateAndOpen)
{
    constexpr GUID kClass = {0x5eed5eed, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    std::atomic<bool> stop{false};
    std::vector<std::thread> changers;
    for (int t = 0; t < 2; ++t) {
        changers.emplace_back([&, t] {
            auto provider = std::make_shared<TestProvider>();
            for (int i = 0; i < 200; ++i) {
                std::string path = "\\\\?\\usb#vid_0001&pid_000" + std::to_string(t) + "#" + std::to_string(i);
                EXPECT_TRUE(platform::AddDeviceInterface(kClass, path, provider));
                EXPECT_TRUE(platform::RemoveDeviceInterface(path));
            }
        });
    }
    std::thread reader([&] {
        while (!stop.load()) {
            HDEVINFO set = SetupDiGetClassDevsA(&kClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &kClass, i, &data); ++i) {
                char buffer[300] = {};
                auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
                detail->cbSize = sizeof *detail;
                ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buffer, nullptr, nullptr));
                HANDLE handle = CreateFileA(detail->DevicePath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                if (handle != INVALID_HANDLE_VALUE)
                    CloseHandle(handle);
                else
                    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
            }
            SetupDiDestroyDeviceInfoList(set);
        }
    });
    for (auto& changer : changers)
        changer.join();
    stop.store(true);
    reader.join();
}

}  // namespace
}  // namespace kelvra::test
