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

    explicit CameraHead(BoundedLog<HeadCommand>& log) : log(log) {}

    void Receive(char c);
    // The next reply character, 0 when none waits.
    char NextReplyChar();

    void InjectRejections(int count) { rejectCommands = count; }
    void InjectSilence(int count) { ignoreCommands = count; }

    const HeadState& State() const { return state; }
    std::uint8_t Fpga(std::uint8_t reg) const { return fpga[reg]; }

private:
    static constexpr std::size_t kMaxLine = 255;

    void EndLine();
    std::string Execute(const std::string& command);
    std::string WriteFpga(unsigned reg, unsigned value);

    BoundedLog<HeadCommand>& log;
    HeadState state;
    std::array<std::uint8_t, 256> fpga{};
    std::string line;
    bool lineTooLong = false;
    std::string reply;
    std::size_t replyRead = 0;
    int rejectCommands = 0;
    int ignoreCommands = 0;
};

}  // namespace kelvra::sim
