// The 880HQLN camera head: a line-oriented text protocol. Characters arrive one at a time; a
// line feed ends a command (a carriage return before it is dropped), and the reply is queued
// for the host to read back one character at a time.
#pragma once

#include "CameraLog.h"

#include <array>
#include <string>

namespace kelvra::sim {

class CameraHead {
public:
    static constexpr int kExposureMax = 1000000;
    static constexpr int kGainMax = 255;
    static constexpr std::uint8_t kTriggerRegister = 0x30;
    static constexpr std::uint8_t kApplyRegister = 0x3C;

    explicit CameraHead(BoundedLog<HeadCommand>& log) : log_(log) {}

    void Receive(char c);
    // The next reply character, 0 when none waits.
    char NextReplyChar();

    void InjectRejections(int count) { rejectCommands_ = count; }
    void InjectSilence(int count) { ignoreCommands_ = count; }

    const HeadState& State() const { return state_; }
    std::uint8_t Fpga(std::uint8_t reg) const { return fpga_[reg]; }

private:
    static constexpr std::size_t kMaxLine = 255;

    void EndLine();
    std::string Execute(const std::string& command);
    std::string WriteFpga(unsigned reg, unsigned value);

    BoundedLog<HeadCommand>& log_;
    HeadState state_;
    std::array<std::uint8_t, 256> fpga_{};
    std::string line_;
    bool lineTooLong_ = false;
    std::string reply_;
    std::size_t replyRead_ = 0;
    int rejectCommands_ = 0;
    int ignoreCommands_ = 0;
};

} // namespace kelvra::sim
