// Errors recorded on one thread reach the notification window's thread; the history, the handle
// registry and the notifications stay consistent when several threads use them at once.
#include "SdkTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

// A message-only window made, and read, on a thread of its own.
class WindowThread {
public:
    WindowThread() {
        thread = std::thread([this] { Run(); });
        window = made.get_future().get();
    }
    ~WindowThread() {
        stop = true;
        thread.join();
    }
    HWND Window() const { return window; }
    // The lParam of every WM_CAMERA_ERROR the thread received until count arrived or it gave up.
    std::vector<LPARAM> Errors(size_t count) {
        wanted = count;
        return received.get_future().get();
    }

private:
    void Run() {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ApiNotificationTest";
        RegisterClassExA(&windowClass);
        HWND own = CreateWindowExA(0, "ApiNotificationTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        made.set_value(own);
        std::vector<LPARAM> errors;
        // A generous limit that only a lost message reaches; the test then fails instead of hanging.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!stop && std::chrono::steady_clock::now() < giveUp) {
            MSG message{};
            if (PeekMessageA(&message, own, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE)) {
                errors.push_back(message.lParam);
            } else if (wanted != 0 && errors.size() >= wanted) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        received.set_value(errors);
        while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        DestroyWindow(own);
    }

    std::promise<HWND> made;
    std::promise<std::vector<LPARAM>> received;
    std::atomic<size_t> wanted{0};
    std::atomic<bool> stop{false};
    HWND window = nullptr;
    std::thread thread;
};

TEST_F(SdkTest, ErrorsArriveAtTheNotificationWindowsThreadOnly) {
    WindowThread listener;
    ASSERT_NE(listener.Window(), nullptr);
    const int32_t handle = Open(listener.Window());
    MSG message{};
    while (PeekMessageA(&message, nullptr, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE)) {}

    // Unknown handles have no session to report from.
    char name[8];
    EXPECT_EQ(Kelvra_GetDeviceName(handle + 1, 0, name, sizeof name), 0);
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle + 1, 5), 0);
    EXPECT_EQ(Kelvra_GetDeviceName(handle, 0, name, sizeof name), 0);
    EXPECT_EQ(Kelvra_SetDeviceNumber(handle, 5), 0);

    EXPECT_EQ(listener.Errors(2), (std::vector<LPARAM>{KELVRA_ERR_PARAMETER, KELVRA_ERR_NO_DEVICE}));
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_CAMERA_ERROR, WM_CAMERA_ERROR, PM_REMOVE));
}

TEST_F(SdkTest, ConcurrentFailuresAreEachRecordedOnce) {
    WindowThread listener;
    const int32_t handle = Open(listener.Window());
    constexpr int kFailuresPerThread = 10;  // two threads together just fill the history
    std::atomic<int> poppedParameter{0};
    std::atomic<int> poppedMemory{0};
    const auto count = [&](int32_t code) {
        if (code == KELVRA_ERR_PARAMETER) ++poppedParameter;
        if (code == KELVRA_ERR_MEMORY) ++poppedMemory;
    };
    std::thread names([handle] {
        char name[8];
        for (int failure = 0; failure < kFailuresPerThread; ++failure)
            Kelvra_GetDeviceName(handle, 0, name, sizeof name);
    });
    std::thread infos([handle] {
        KelvraCameraInfo info{};
        info.size = 35;
        for (int failure = 0; failure < kFailuresPerThread; ++failure) Kelvra_GetCameraInfo(handle, &info);
    });
    std::thread reader([&] {
        for (int read = 0; read < kFailuresPerThread; ++read) count(Kelvra_GetLastError(handle));
    });
    names.join();
    infos.join();
    reader.join();
    for (int32_t code : Drain(handle)) count(code);

    // The history never overflowed, so every code comes out exactly once, as does every message.
    EXPECT_EQ(poppedParameter.load(), kFailuresPerThread);
    EXPECT_EQ(poppedMemory.load(), kFailuresPerThread);
    const std::vector<LPARAM> posted = listener.Errors(2 * kFailuresPerThread);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), KELVRA_ERR_PARAMETER), kFailuresPerThread);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), KELVRA_ERR_MEMORY), kFailuresPerThread);
}

TEST_F(SdkTest, HandlesMadeAndReleasedOnSeveralThreadsStayDistinct) {
    constexpr int kThreads = 4;
    constexpr int kSessionsPerThread = 5;
    std::vector<std::vector<int32_t>> issued(kThreads);
    std::atomic<int> released{0};
    std::vector<std::thread> threads;
    for (int worker = 0; worker < kThreads; ++worker) {
        threads.emplace_back([&, worker] {
            for (int session = 0; session < kSessionsPerThread; ++session) {
                issued[worker].push_back(Kelvra_Initialize(nullptr));
            }
            for (int32_t handle : issued[worker]) released += Kelvra_Release(handle);
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<int32_t> all;
    for (const auto& handlesOfThread : issued) all.insert(all.end(), handlesOfThread.begin(), handlesOfThread.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_EQ(std::count(all.begin(), all.end(), 0), 0);
    EXPECT_EQ(released.load(), kThreads * kSessionsPerThread);
}

}  // namespace
