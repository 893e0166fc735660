// Sessions in front of simulated 880HQLN cameras whose head misbehaves, with a reply limit short
// enough that a silent head costs a test well under a second or two.
#pragma once

#include "api/SdkTestSupport.h"
#include "kelvra/KelvraSimModel.h"
#include "sensors/Sensor880HQLN.h"

#include <atomic>
#include <chrono>
#include <thread>

class HeadFaultTest : public SdkTest {
protected:
    static constexpr DWORD kShortReplyLimitMs = 800;

    void SetUp() override {
        SdkTest::SetUp();
        CSensor880HQLN::SetDefaultReplyTimeLimit(kShortReplyLimitMs);
    }

    void TearDown() override {
        SdkTest::TearDown();
        CSensor880HQLN::SetDefaultReplyTimeLimit(CSensor880HQLN::kReplyTimeLimitMs);
    }

    using Clock = std::chrono::steady_clock;

    static long long MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
    }

    // Selects number on handle; returns its result and how long it took.
    static int32_t TimedSelect(int32_t handle, int32_t number, long long& milliseconds) {
        const auto start = Clock::now();
        const int32_t result = Kelvra_SetDeviceNumber(handle, number);
        milliseconds = MillisecondsBetween(start, Clock::now());
        return result;
    }

    // Unplugs camera as soon as its head has received more commands than it had when armed, so
    // the selection running meanwhile loses the camera while it waits for that command's reply.
    class UnplugOnCommand {
    public:
        explicit UnplugOnCommand(int camera)
            : camera(camera), baseline(kelvra::sim::HeadLog(camera).size()), worker([this] { Run(); }) {}
        ~UnplugOnCommand() { Finish(); }
        UnplugOnCommand(const UnplugOnCommand&) = delete;
        UnplugOnCommand& operator=(const UnplugOnCommand&) = delete;

        bool Fired() const { return fired.load(); }
        Clock::time_point When() const { return unpluggedAt; }
        // Joins the watcher; afterwards Fired and When are final.
        void Finish() {
            stop = true;
            if (worker.joinable()) worker.join();
        }

    private:
        void Run() {
            while (!stop) {
                if (kelvra::sim::HeadLog(camera).size() > baseline) {
                    unpluggedAt = Clock::now();
                    KelvraSim_Unplug(camera);
                    fired = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }

        int camera;
        size_t baseline;
        std::atomic<bool> stop{false};
        std::atomic<bool> fired{false};
        Clock::time_point unpluggedAt{};
        std::thread worker;
    };
};
