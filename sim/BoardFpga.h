// The board FPGA at I2C 0x40: 256 registers of 16 bits. A write is the register number followed
// by big-endian values for it and the registers after it; a one-byte write only selects the
// register that the next read answers (two bytes per register, high byte first).
#pragma once

#include "I2cDevice.h"
#include "kelvra/KelvraSimModel.h"

#include <array>

namespace kelvra::sim {

class FpgaObserver {
public:
    virtual ~FpgaObserver() = default;
    // The live value of the frame counter register.
    virtual std::uint16_t FrameCounter() = 0;
    // Called after the host changed a register.
    virtual void OnFpgaWrite(std::uint8_t reg, std::uint16_t oldValue, std::uint16_t newValue) = 0;
};

class BoardFpga final : public I2cDevice {
public:
    static constexpr std::uint8_t kBusy = 2;  // nonzero while the board relays its own sensor traffic
    static constexpr std::uint8_t kFrameCounter = 8;
    static constexpr std::uint8_t kVersionLow = 16;
    static constexpr std::uint8_t kVersionHigh = 17;
    static constexpr std::uint8_t kDataWidth = 60;
    static constexpr std::uint8_t kImageHeightLow = 64;
    static constexpr std::uint8_t kImageHeightHigh = 65;
    static constexpr std::uint8_t kImageWidthLow = 68;
    static constexpr std::uint8_t kImageWidthHigh = 69;
    static constexpr std::uint8_t kFrameRestart = 0x6C;
    static constexpr std::uint8_t kTransferReset = 108;
    static constexpr std::uint8_t kSensorReadyStatus = 0x81;  // bit 1: the sensor's VD is running
    static constexpr std::uint8_t kTransferResetAlt = 150;
    static constexpr std::uint8_t kAltImageHeightLow = 154;
    static constexpr std::uint8_t kAltImageHeightHigh = 155;
    static constexpr std::uint8_t kAltImageWidthLow = 156;
    static constexpr std::uint8_t kAltImageWidthHigh = 157;
    static constexpr std::uint8_t kAltDataWidth = 163;
    static constexpr std::uint8_t kIdentification = 0xFF;

    explicit BoardFpga(FpgaObserver& observer) : observer(observer) {}

    bool Write(std::span<const std::uint8_t> bytes) override;
    bool Read(std::span<std::uint8_t> bytes) override;

    // The value a host read answers.
    std::uint16_t Peek(std::uint8_t reg) const;
    // Sets a register without side effects (the camera's own state, and tests).
    void Poke(std::uint8_t reg, std::uint16_t value) { registers[reg] = value; }
    // Low byte of a register: the host programs most registers with 8-bit writes.
    std::uint8_t Byte(std::uint8_t reg) const { return static_cast<std::uint8_t>(registers[reg]); }

    // Register 2 reads busy for the next `reads` host reads; negative: until told otherwise.
    void HoldBusy(int reads) { busyReads = reads; }
    void SetVideoSync(VideoSync state) { sync = state; }

private:
    void OnSyncReset(std::uint16_t value);

    FpgaObserver& observer;
    std::array<std::uint16_t, 256> registers{};
    std::uint8_t pointer = 0;
    int busyReads = 0;
    VideoSync sync = VideoSync::Running;
    bool syncResetPulsed = false;
};

}  // namespace kelvra::sim
