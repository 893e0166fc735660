// Device names of the family models that have one: "Kelvra-<designation>-USB3-G5_NN".
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvra::usb {

// Longest name, terminator included: enough for any designation and any device number.
constexpr std::size_t kDeviceNameCapacity = 48;

// Writes the name of device deviceNumber of productId; false when the model has no name here or the
// buffer is too small (the buffer is then left empty when it has room for a terminator).
bool FormatModelName(uint16_t productId, int deviceNumber, char* buffer, std::size_t capacity);

}  // namespace kelvra::usb
