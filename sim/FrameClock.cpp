#include "FrameClock.h"

namespace kelvra::sim {

void FrameClock::Advance(Clock::time_point now)
{
    if (triggerMode_ || framesPerSecond_ == 0 || now <= epoch_)
        return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - epoch_).count();
    // 128 bits: a camera left attached for months at a high rate must not wrap.
    const auto ticks = static_cast<std::uint64_t>(static_cast<unsigned __int128>(elapsed) *
                                                  static_cast<unsigned>(framesPerSecond_) / 1000000000u);
    if (ticks > ticksSeen_) {
        counter_ += static_cast<std::uint32_t>(ticks - ticksSeen_);
        ticksSeen_ = ticks;
        frameWaiting_ = true;
    }
}

void FrameClock::Rebase(Clock::time_point now)
{
    epoch_ = now;
    ticksSeen_ = 0;
}

void FrameClock::SetFrameRate(int framesPerSecond, Clock::time_point now)
{
    Advance(now);
    framesPerSecond_ = framesPerSecond;
    Rebase(now);
}

void FrameClock::SetTriggerMode(bool on, Clock::time_point now)
{
    if (on == triggerMode_)
        return;
    Advance(now);
    triggerMode_ = on;
    // A frame exposed before the switch is not what the host waits for after it.
    frameWaiting_ = false;
    Rebase(now);
}

void FrameClock::Trigger()
{
    if (!triggerMode_)
        return;
    ++counter_;
    frameWaiting_ = true;
}

std::optional<std::uint32_t> FrameClock::TakeFrame(Clock::time_point now)
{
    if (!requestArmed_)
        return std::nullopt;
    Advance(now);
    if (!triggerMode_ && framesPerSecond_ == 0) {
        ++counter_;
        frameWaiting_ = true;
    }
    if (!frameWaiting_)
        return std::nullopt;
    frameWaiting_ = false;
    requestArmed_ = false;
    return counter_;
}

std::optional<FrameClock::Clock::time_point> FrameClock::NextFrameTime() const
{
    if (!requestArmed_ || triggerMode_ || framesPerSecond_ == 0)
        return std::nullopt;
    const auto next = std::chrono::nanoseconds(static_cast<std::int64_t>((ticksSeen_ + 1) * 1000000000u /
                                                                          static_cast<std::uint64_t>(framesPerSecond_)));
    return epoch_ + std::chrono::duration_cast<Clock::duration>(next) + std::chrono::microseconds(1);
}

std::uint32_t FrameClock::Counter(Clock::time_point now)
{
    Advance(now);
    return counter_;
}

} // namespace kelvra::sim
