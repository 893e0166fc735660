// A handle used from several threads at once: calls on one handle run one after another, and a
// release on one thread while others are inside calls detaches the handle without pulling the
// session from under them.
#include "SdkTestSupport.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

bool HasOpenCamera(int32_t handle) {
    KelvraCameraInfo info{};
    info.size = sizeof info;
    return Kelvra_GetCameraInfo(handle, &info) == 1 && info.exposureMax > 0;
}

TEST_F(SdkTest, SelectingOnTwoThreadsWhileAThirdReadsNeverTearsTheSession) {
    Attach();
    Attach();
    const int32_t handle = Open();
    constexpr int kSelectionsPerThread = 3;
    std::atomic<int> selected{0};
    std::atomic<bool> selecting{true};
    std::atomic<int> failedReads{0};
    const auto select = [&](int32_t number) {
        for (int round = 0; round < kSelectionsPerThread; ++round) selected += Kelvra_SetDeviceNumber(handle, number);
    };
    std::thread reader([&] {
        using Names = char[KELVRA_ENUM_DEVICE_COUNT][KELVRA_DEVICE_NAME_SIZE];
        while (selecting) {
            KelvraCameraInfo info{};
            info.size = sizeof info;
            Names names;
            if (Kelvra_GetCameraInfo(handle, &info) != 1 || Kelvra_EnumDevice(handle, names) != 2) ++failedReads;
        }
    });
    std::thread first(select, 0);
    std::thread second(select, 1);
    first.join();
    second.join();
    selecting = false;
    reader.join();

    EXPECT_EQ(selected.load(), 2 * kSelectionsPerThread);
    EXPECT_EQ(failedReads.load(), 0);
    EXPECT_TRUE(HasOpenCamera(handle));
    EXPECT_TRUE(Drain(handle).empty());
}

TEST_F(SdkTest, ReleaseDuringCallsDetachesAtOnceAndTheCallsFinishOnALiveSession) {
    Attach();
    constexpr int kRounds = 3;
    constexpr int kCallers = 3;
    for (int round = 0; round < kRounds; ++round) {
        const int32_t handle = Kelvra_Initialize(nullptr);
        ASSERT_NE(handle, 0);
        ASSERT_TRUE(HasOpenCamera(handle));
        std::atomic<int> callsDone{0};
        std::vector<std::thread> callers;
        for (int caller = 0; caller < kCallers; ++caller) {
            callers.emplace_back([&, caller] {
                // Each caller keeps calling until the handle is gone; selection is the longest
                // call, so the release lands inside one of them.
                for (;;) {
                    int32_t result = 0;
                    if (caller == 0) {
                        result = Kelvra_SetDeviceNumber(handle, 0);
                    } else {
                        KelvraCameraInfo info{};
                        info.size = sizeof info;
                        result = Kelvra_GetCameraInfo(handle, &info);
                    }
                    if (result == 0) return;
                    ++callsDone;
                }
            });
        }
        while (callsDone.load() < kCallers) std::this_thread::yield();
        EXPECT_EQ(Kelvra_Release(handle), 1);
        // Detached at once, whatever is still running on it.
        KelvraCameraInfo info{};
        info.size = sizeof info;
        EXPECT_EQ(Kelvra_GetCameraInfo(handle, &info), 0);
        EXPECT_EQ(Kelvra_Release(handle), 0);
        for (std::thread& caller : callers) caller.join();
    }
    // The last session closed the camera when its last call returned: a new one opens it.
    const int32_t next = Open();
    EXPECT_TRUE(HasOpenCamera(next));
    EXPECT_TRUE(Drain(next).empty());
}

}  // namespace
