#include "FrameClock.h"

namespace kelvra::sim {

void FrameClock::Advance(Clock::time_point now) {
    if (triggerMode || framesPerSecond == 0 || now <= epoch) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - epoch).count();
    // 128 bits: a camera left attached for months at a high rate must not wrap.
    const auto ticks = static_cast<std::uint64_t>(static_cast<unsigned __int128>(elapsed) *
                                                  static_cast<unsigned>(framesPerSecond) / 1000000000u);
    if (ticks > ticksSeen) {
        counter += static_cast<std::uint32_t>(ticks - ticksSeen);
        ticksSeen = ticks;
        frameWaiting = true;
    }
}

void FrameClock::Rebase(Clock::time_point now) {
    epoch = now;
    ticksSeen = 0;
}

void FrameClock::SetFrameRate(int framesPerSecond, Clock::time_point now) {
    Advance(now);
    this->framesPerSecond = framesPerSecond;
    Rebase(now);
}

void FrameClock::SetTriggerMode(bool on, Clock::time_point now) {
    if (on == triggerMode) return;
    Advance(now);
    triggerMode = on;
    // A frame exposed before the switch is not what the host waits for after it.
    frameWaiting = false;
    Rebase(now);
}

void FrameClock::Trigger() {
    if (!triggerMode) return;
    ++counter;
    frameWaiting = true;
}

std::optional<std::uint32_t> FrameClock::TakeFrame(Clock::time_point now) {
    if (!requestArmed) return std::nullopt;
    Advance(now);
    if (!triggerMode && framesPerSecond == 0) {
        ++counter;
        frameWaiting = true;
    }
    if (!frameWaiting) return std::nullopt;
    frameWaiting = false;
    requestArmed = false;
    return counter;
}

std::optional<FrameClock::Clock::time_point> FrameClock::NextFrameTime() const {
    if (!requestArmed || triggerMode || framesPerSecond == 0) return std::nullopt;
    const auto next = std::chrono::nanoseconds(
        static_cast<std::int64_t>((ticksSeen + 1) * 1000000000u / static_cast<std::uint64_t>(framesPerSecond)));
    return epoch + std::chrono::duration_cast<Clock::duration>(next) + std::chrono::microseconds(1);
}

std::uint32_t FrameClock::Counter(Clock::time_point now) {
    Advance(now);
    return counter;
}

}  // namespace kelvra::sim
