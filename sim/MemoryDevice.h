// An I2C device made of byte registers behind an address pointer: a write's first address bytes
// (one or two, high byte first) set the pointer and the bytes after them are stored from there;
// a read answers from the pointer. Both advance the pointer, as EEPROMs and sensor chips do.
#pragma once

#include "I2cDevice.h"

#include <map>

namespace kelvra::sim {

class MemoryDevice final : public I2cDevice {
public:
    MemoryDevice(int addressBytes, std::uint8_t erasedValue) : addressBytes(addressBytes), erased(erasedValue) {}

    bool Write(std::span<const std::uint8_t> bytes) override;
    bool Read(std::span<std::uint8_t> bytes) override;

    std::uint8_t Peek(std::uint16_t reg) const;
    void Poke(std::uint16_t reg, std::uint8_t value);
    // A register that the host reads but cannot change (a chip's version register).
    void SetReadOnly(std::uint16_t reg, std::uint8_t value);
    // The next count data writes are acknowledged but not stored, as by an EEPROM still busy
    // with its previous write cycle.
    void LoseWrites(int count) { writesToLose = count; }

private:
    std::uint16_t Wrap(std::uint32_t reg) const;

    int addressBytes;
    std::uint8_t erased;
    std::uint16_t pointer = 0;
    int writesToLose = 0;
    std::map<std::uint16_t, std::uint8_t> cells;
    std::map<std::uint16_t, std::uint8_t> readOnly;
};

}  // namespace kelvra::sim
