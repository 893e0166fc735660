// The registers of an image sensor chip as its driver sees them over I2C. Every chip of the
// family takes a 16-bit register address, high byte first; the MT9 chips hold 16-bit values
// sent and answered high byte first, the IMX-style chips one byte per register. A write's
// first two bytes set the register pointer and the values after them go to that register and
// the ones after it; a read answers from the pointer. Both advance the pointer by one register.
#pragma once

#include "../I2cDevice.h"
#include "kelvra/KelvraSimModel.h"

#include <functional>
#include <map>

namespace kelvra::sim {

class ChipRegisterFile final : public I2cDevice {
public:
    enum class Values { kByte, kWord };

    // Called with (register, value) for each value the host stored.
    using WriteObserver = std::function<void(std::uint16_t, std::uint16_t)>;

    ChipRegisterFile(Values values, WriteObserver observer) : values(values), observer(std::move(observer)) {}

    bool Write(std::span<const std::uint8_t> bytes) override;
    bool Read(std::span<std::uint8_t> bytes) override;

    std::uint16_t Peek(std::uint16_t reg) const;
    void Poke(std::uint16_t reg, std::uint16_t value) { registers[reg] = Fit(value); }
    // A register the host reads but cannot change (a chip's version).
    void SetReadOnly(std::uint16_t reg, std::uint16_t value) { readOnly[reg] = Fit(value); }
    // The next count register writes are acknowledged but do not reach the register, as when
    // the board drops traffic it relays while busy.
    void LoseWrites(int count) { writesToLose = count; }
    // One byte of the register file seen as bytes in address order: a 16-bit register's high
    // byte sits at its own address, its low byte at the next.
    std::uint8_t PeekByte(std::uint16_t address) const;
    void PokeByte(std::uint16_t address, std::uint8_t value);

    int ValueBytes() const { return values == Values::kWord ? 2 : 1; }

private:
    std::uint16_t Fit(std::uint16_t value) const { return values == Values::kWord ? value : value & 0xFF; }

    Values values;
    WriteObserver observer;
    std::uint16_t pointer = 0;
    int writesToLose = 0;
    std::map<std::uint16_t, std::uint16_t> registers;
    std::map<std::uint16_t, std::uint16_t> readOnly;
};

}  // namespace kelvra::sim
