#include "MemoryDevice.h"

namespace kelvra::sim {

std::uint16_t MemoryDevice::Wrap(std::uint32_t reg) const {
    return static_cast<std::uint16_t>(addressBytes == 1 ? reg & 0xFFu : reg & 0xFFFFu);
}

bool MemoryDevice::Write(std::span<const std::uint8_t> bytes) {
    const auto addressBytes = static_cast<std::size_t>(this->addressBytes);
    if (bytes.size() < addressBytes) return true;  // an address probe: the device acknowledges and nothing changes
    std::uint32_t reg = 0;
    for (std::size_t i = 0; i < addressBytes; ++i) reg = reg << 8 | bytes[i];
    pointer = Wrap(reg);
    if (bytes.size() > addressBytes && writesToLose > 0) {
        --writesToLose;
        return true;
    }
    for (std::size_t i = addressBytes; i < bytes.size(); ++i) {
        if (!readOnly.contains(pointer)) cells[pointer] = bytes[i];
        pointer = Wrap(pointer + 1u);
    }
    return true;
}

bool MemoryDevice::Read(std::span<std::uint8_t> bytes) {
    for (auto& byte : bytes) {
        byte = Peek(pointer);
        pointer = Wrap(pointer + 1u);
    }
    return true;
}

std::uint8_t MemoryDevice::Peek(std::uint16_t reg) const {
    if (auto fixed = readOnly.find(reg); fixed != readOnly.end()) return fixed->second;
    auto cell = cells.find(reg);
    return cell == cells.end() ? erased : cell->second;
}

void MemoryDevice::Poke(std::uint16_t reg, std::uint8_t value) { cells[Wrap(reg)] = value; }

void MemoryDevice::SetReadOnly(std::uint16_t reg, std::uint8_t value) { readOnly[Wrap(reg)] = value; }

}  // namespace kelvra::sim
