// Selections of several cameras on several threads while their heads refuse, fall silent or
// vanish in the middle of a command, over and over. Every selection must end within its bound
// and report what happened: selected with only refused settings recorded, or not selected with
// KELVRA_ERR_NO_DEVICE alone.
#include "device/HeadFaultTest.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

int StressSeconds() {
    const char* text = std::getenv("KELVRA_STRESS_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 3;
}

// What one thread saw going wrong; empty when every selection kept its promise.
using Findings = std::vector<std::string>;

class HeadFaultStress : public HeadFaultTest {
protected:
    static constexpr DWORD kStressReplyLimitMs = 400;
    // Beyond the reply limit: a whole selection of a healthy camera, on a busy machine.
    static constexpr long long kSelectionSlackMs = 3000;

    void SetUp() override {
        HeadFaultTest::SetUp();
        CSensor880HQLN::SetDefaultReplyTimeLimit(kStressReplyLimitMs);
    }

    // One thread: its own session and camera (device number), faults in turn until the deadline.
    static void Exercise(int32_t handle, int camera, int32_t number, Clock::time_point deadline, Findings& findings,
                         int& rounds) {
        const auto note = [&](int round, const std::string& what) {
            findings.push_back("camera " + std::to_string(camera) + " round " + std::to_string(round) + ": " + what);
        };
        for (int round = 0; Clock::now() < deadline; ++round) {
            rounds = round + 1;
            const int fault = round % 3;
            if (fault == 2) {
                UnplugOnCommand unplug(camera);
                const int32_t result = Kelvra_SetDeviceNumber(handle, number);
                const auto returned = Clock::now();
                unplug.Finish();
                const auto codes = Drain(handle);
                // A watcher that came too late (the selection had ended) proves nothing.
                if (unplug.Fired() && unplug.When() < returned) {
                    if (result != 0 || codes != std::vector<int32_t>{KELVRA_ERR_NO_DEVICE})
                        note(round, "selection of a vanishing camera did not fail with code 2 alone");
                    if (MillisecondsBetween(unplug.When(), returned) >= 1000)
                        note(round, "vanished camera took a second or more to give up");
                }
                if (unplug.Fired() && KelvraSim_Replug(camera) != 1) note(round, "replug failed");
                continue;
            }
            const int count = 1 + round % 7;
            KelvraSim_InjectFault(camera, fault == 0 ? KELVRA_SIM_FAULT_HEAD_NG : KELVRA_SIM_FAULT_HEAD_SILENT, count);
            long long elapsed = 0;
            const int32_t result = TimedSelect(handle, number, elapsed);
            const auto codes = Drain(handle);
            const bool refusedOnly =
                result == 1 && codes.size() <= 2 &&
                std::all_of(codes.begin(), codes.end(), [](int32_t code) { return code == KELVRA_ERR_CAMERA_IO; });
            const bool notSelected = result == 0 && codes == std::vector<int32_t>{KELVRA_ERR_NO_DEVICE};
            if (!refusedOnly && !notSelected) note(round, "untruthful result " + std::to_string(result));
            // A silent head costs one reply limit per selection, not one per command.
            if (fault == 1 && result == 1 && codes.size() != 2) note(round, "silent head went unreported");
            if (elapsed >= kStressReplyLimitMs + kSelectionSlackMs) note(round, "selection exceeded its bound");
            // Faults left over would leak into the next round's expectations.
            KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_NG, 0);
            KelvraSim_InjectFault(camera, KELVRA_SIM_FAULT_HEAD_SILENT, 0);
        }
    }
};

TEST_F(HeadFaultStress, SelectionsUnderHeadFaultsOnSeveralThreads) {
    constexpr int kThreads = 3;
    std::vector<int> cameras;
    for (int i = 0; i < kThreads; ++i) cameras.push_back(Attach());
    std::vector<int32_t> sessions;
    for (int i = 0; i < kThreads; ++i) sessions.push_back(Open());

    const auto deadline = Clock::now() + std::chrono::seconds(StressSeconds());
    std::vector<Findings> findings(kThreads);
    std::vector<int> rounds(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back(Exercise, sessions[i], cameras[i], i, deadline, std::ref(findings[i]),
                             std::ref(rounds[i]));
    for (auto& thread : threads) thread.join();

    // Each thread met every kind of fault at least once.
    for (int done : rounds) EXPECT_GE(done, 3);
    for (const auto& found : findings)
        EXPECT_TRUE(found.empty()) << found.front() << " (" << found.size() << " in all)";
    // Afterwards every camera is selectable and healthy again.
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(Kelvra_SetDeviceNumber(sessions[i], i), 1);
        EXPECT_EQ(Drain(sessions[i]), std::vector<int32_t>{});
    }
}

}  // namespace
