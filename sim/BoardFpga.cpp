#include "BoardFpga.h"

namespace kelvra::sim {

bool BoardFpga::Write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return true;
    pointer = bytes[0];
    // A trailing odd byte is half a value: the FPGA only latches complete words.
    for (std::size_t i = 1; i + 1 < bytes.size(); i += 2) {
        const auto value = static_cast<std::uint16_t>(bytes[i] << 8 | bytes[i + 1]);
        const std::uint16_t old = registers[pointer];
        registers[pointer] = value;
        if (pointer == kSensorReadyStatus) OnSyncReset(value);
        observer.OnFpgaWrite(pointer, old, value);
        ++pointer;
    }
    return true;
}

void BoardFpga::OnSyncReset(std::uint16_t value) {
    // The board restarts the sensor's serial link on a 1 followed by a 0.
    if ((value & 1) != 0) {
        syncResetPulsed = true;
    } else if (syncResetPulsed) {
        syncResetPulsed = false;
        if (sync == VideoSync::StartsOnReset) sync = VideoSync::Running;
    }
}

bool BoardFpga::Read(std::span<std::uint8_t> bytes) {
    const bool busy = pointer == kBusy && busyReads != 0;
    if (busy && busyReads > 0) --busyReads;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint16_t value = busy && pointer == kBusy ? 1 : Peek(pointer);
        bytes[i] = static_cast<std::uint8_t>(i % 2 == 0 ? value >> 8 : value);
        if (i % 2 == 1) ++pointer;
    }
    return true;
}

std::uint16_t BoardFpga::Peek(std::uint8_t reg) const {
    if (reg == kFrameCounter) return observer.FrameCounter();
    if (reg == kSensorReadyStatus) {
        const auto running = static_cast<std::uint16_t>(registers[reg] | 0x02);
        return sync == VideoSync::Running ? running : static_cast<std::uint16_t>(running & ~0x02);
    }
    return registers[reg];
}

}  // namespace kelvra::sim
