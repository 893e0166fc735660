// Many sessions selecting cameras on many threads while another thread unplugs and plugs the
// cameras back in: no call hangs, and every failure says the camera was not there.
#include "api/SdkTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds StressDuration() {
    const char* seconds = std::getenv("KELVRA_STRESS_SECONDS");
    const int value = seconds ? std::atoi(seconds) : 0;
    return std::chrono::milliseconds(value > 0 ? value * 1000 : 3000);
}

TEST_F(SdkTest, SelectingWhileCamerasComeAndGoNeverHangsAndFailsOnlyForAMissingCamera) {
    constexpr int kCameras = 3;
    constexpr int kSelectors = 16;
    // A selection waits for the others of the process (one device table) and then talks to the
    // head; even queued behind every other thread it ends in this time. Without the bound a camera
    // that vanishes mid-command held a selection for a minute per command.
    constexpr auto kCallBound = std::chrono::seconds(30);
    int cameras[kCameras];
    for (int& camera : cameras) camera = Attach();

    const auto deadline = Clock::now() + StressDuration();
    std::atomic<bool> selecting{true};
    std::atomic<int> selected{0};
    std::atomic<int> missing{0};
    std::atomic<int> untruthful{0};
    std::atomic<long long> slowestMs{0};

    std::thread unplugger([&] {
        std::mt19937 random(7);
        while (selecting) {
            const int camera = cameras[random() % kCameras];
            KelvraSim_Unplug(camera);
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
            KelvraSim_Replug(camera);
            // A selection talks to the head for a good part of a second: cameras must stay long
            // enough for some of them to succeed.
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 200));
        }
    });
    std::vector<std::thread> selectors;
    for (int worker = 0; worker < kSelectors; ++worker) {
        selectors.emplace_back([&, worker] {
            const int32_t handle = Kelvra_Initialize(nullptr);
            if (handle == 0) {
                ++untruthful;
                return;
            }
            while (Kelvra_GetLastError(handle) != 0) {}
            for (int round = 0; Clock::now() < deadline; ++round) {
                const auto started = Clock::now();
                const int32_t result = Kelvra_SetDeviceNumber(handle, (worker + round) % kCameras);
                const long long took =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
                long long slowest = slowestMs.load();
                while (took > slowest && !slowestMs.compare_exchange_weak(slowest, took)) {}
                if (result == 1) {
                    ++selected;
                } else {
                    ++missing;
                    if (Kelvra_GetLastError(handle) != KELVRA_ERR_NO_DEVICE) ++untruthful;
                }
                while (Kelvra_GetLastError(handle) != 0) {}
            }
            Kelvra_Release(handle);
        });
    }
    for (std::thread& selector : selectors) selector.join();
    selecting = false;
    unplugger.join();

    EXPECT_LT(slowestMs.load(), std::chrono::duration_cast<std::chrono::milliseconds>(kCallBound).count());
    EXPECT_EQ(untruthful.load(), 0);
    EXPECT_GT(selected.load(), 0);
    // With every camera back, each is selected again.
    for (int camera : cameras) KelvraSim_Replug(camera);
    const int32_t after = Open();
    for (int number = 0; number < kCameras; ++number) {
        EXPECT_EQ(Kelvra_SetDeviceNumber(after, number), 1) << "camera " << number;
    }
    EXPECT_TRUE(Drain(after).empty());
    RecordProperty("selected", selected.load());
    RecordProperty("missing", missing.load());
    RecordProperty("slowestMs", static_cast<int>(slowestMs.load()));
}

}  // namespace
