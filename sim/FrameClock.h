// When the camera's sensor produces frames and which one a frame request gets. The sensor
// free-runs at the frame rate (the counter advances whether or not anyone reads), or in
// trigger mode exposes one frame per trigger pulse; the FPGA keeps the newest frame that was
// not yet sent, and a request takes it, or the next one. At frame rate 0 the sensor produces
// a frame exactly when one is requested.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace kelvra::sim {

class FrameClock {
public:
    using Clock = std::chrono::steady_clock;

    explicit FrameClock(Clock::time_point now) : epoch(now) {}

    void SetFrameRate(int framesPerSecond, Clock::time_point now);
    void SetTriggerMode(bool on, Clock::time_point now);
    bool TriggerMode() const { return triggerMode; }
    // A trigger pulse; ignored while the sensor free-runs.
    void Trigger();

    void Request() { requestArmed = true; }
    bool RequestArmed() const { return requestArmed; }
    // The transfer logic was reset: an armed request is forgotten (the newest frame stays).
    void CancelRequest() { requestArmed = false; }

    // The number of the frame that answers the armed request, if one is there by now.
    std::optional<std::uint32_t> TakeFrame(Clock::time_point now);
    // When the armed request will be answered by the free-running sensor; nullopt when that
    // depends on something other than time.
    std::optional<Clock::time_point> NextFrameTime() const;

    std::uint32_t Counter(Clock::time_point now);

private:
    void Advance(Clock::time_point now);
    void Rebase(Clock::time_point now);

    int framesPerSecond = 30;
    bool triggerMode = false;
    Clock::time_point epoch;
    std::uint64_t ticksSeen = 0;
    std::uint32_t counter = 0;
    bool frameWaiting = false;
    bool requestArmed = false;
};

}  // namespace kelvra::sim
