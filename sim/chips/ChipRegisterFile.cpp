#include "ChipRegisterFile.h"

namespace kelvra::sim {

bool ChipRegisterFile::Write(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2) return true;  // an address probe: acknowledged, nothing changes
    pointer = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    const auto width = static_cast<std::size_t>(ValueBytes());
    // A trailing partial value is dropped: the chip latches whole registers only.
    for (std::size_t at = 2; at + width <= bytes.size(); at += width) {
        const auto value = static_cast<std::uint16_t>(width == 2 ? bytes[at] << 8 | bytes[at + 1] : bytes[at]);
        if (writesToLose > 0) {
            --writesToLose;
        } else if (!readOnly.contains(pointer)) {
            registers[pointer] = value;
            if (observer) observer(pointer, value);
        }
        ++pointer;
    }
    return true;
}

bool ChipRegisterFile::Read(std::span<std::uint8_t> bytes) {
    const auto width = static_cast<std::size_t>(ValueBytes());
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const std::uint16_t value = Peek(pointer);
        const std::size_t byteOfValue = at % width;
        bytes[at] = static_cast<std::uint8_t>(width == 2 && byteOfValue == 0 ? value >> 8 : value);
        if (byteOfValue == width - 1) ++pointer;
    }
    return true;
}

std::uint16_t ChipRegisterFile::Peek(std::uint16_t reg) const {
    if (auto fixed = readOnly.find(reg); fixed != readOnly.end()) return fixed->second;
    auto found = registers.find(reg);
    return found == registers.end() ? 0 : found->second;
}

std::uint8_t ChipRegisterFile::PeekByte(std::uint16_t address) const {
    if (values == Values::kByte) return static_cast<std::uint8_t>(Peek(address));
    const std::uint16_t word = Peek(static_cast<std::uint16_t>(address & ~1u));
    return static_cast<std::uint8_t>((address & 1u) != 0 ? word : word >> 8);
}

void ChipRegisterFile::PokeByte(std::uint16_t address, std::uint8_t value) {
    if (values == Values::kByte) {
        Poke(address, value);
        return;
    }
    const auto reg = static_cast<std::uint16_t>(address & ~1u);
    const std::uint16_t word = Peek(reg);
    Poke(reg, static_cast<std::uint16_t>((address & 1u) != 0 ? (word & 0xFF00) | value : (word & 0x00FF) | value << 8));
}

}  // namespace kelvra::sim
