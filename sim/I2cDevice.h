// A device on the camera board's I2C bus. A write sends bytes to it, a read takes bytes from it;
// false means the device did not acknowledge.
#pragma once

#include <cstdint>
#include <span>

namespace kelvra::sim {

class I2cDevice {
public:
    virtual ~I2cDevice() = default;
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
    virtual bool Read(std::span<std::uint8_t> bytes) = 0;
};

}  // namespace kelvra::sim
