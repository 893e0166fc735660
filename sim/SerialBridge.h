// The serial bridge at I2C 0x48 that carries the head's text: 16-bit register addresses, and
// register 0x0000 is a character port (each byte written goes to the head, each byte read is
// the head's next reply character). The bridge's other registers are plain memory.
#pragma once

#include "CameraHead.h"
#include "MemoryDevice.h"

namespace kelvra::sim {

class SerialBridge final : public I2cDevice {
public:
    explicit SerialBridge(CameraHead& head) : head(head) {}

    bool Write(std::span<const std::uint8_t> bytes) override;
    bool Read(std::span<std::uint8_t> bytes) override;

private:
    static constexpr std::uint16_t kCharacterPort = 0x0000;

    CameraHead& head;
    MemoryDevice registers{2, 0};
    std::uint16_t pointer = 0;
};

}  // namespace kelvra::sim
