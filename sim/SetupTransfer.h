// The 38-byte header that precedes every transfer handed to the FX3 driver (little-endian, packed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelvra::sim {

struct SetupTransfer {
    static constexpr std::size_t kSize = 38;
    static constexpr std::size_t kDriverStatusOffset = 14;
    static constexpr std::size_t kUsbStatusOffset = 18;

    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    std::uint32_t timeoutSeconds = 0;
    std::uint8_t endpointAddress = 0;
    std::uint32_t driverStatus = 0;
    std::uint32_t usbStatus = 0;
    std::uint32_t bufferOffset = 0;
    std::uint32_t bufferLength = 0;

    // bytes holds at least kSize bytes.
    static SetupTransfer Parse(const std::uint8_t* bytes) {
        SetupTransfer s;
        s.requestType = bytes[0];
        s.request = bytes[1];
        s.value = Load16(bytes + 2);
        s.index = Load16(bytes + 4);
        s.length = Load16(bytes + 6);
        s.timeoutSeconds = Load32(bytes + 8);
        s.endpointAddress = bytes[13];
        s.driverStatus = Load32(bytes + kDriverStatusOffset);
        s.usbStatus = Load32(bytes + kUsbStatusOffset);
        s.bufferOffset = Load32(bytes + 30);
        s.bufferLength = Load32(bytes + 34);
        return s;
    }

    static void StoreStatus(std::uint8_t* header, std::uint32_t driverStatus, std::uint32_t usbStatus) {
        Store32(header + kDriverStatusOffset, driverStatus);
        Store32(header + kUsbStatusOffset, usbStatus);
    }

    static std::uint16_t Load16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
    static std::uint32_t Load32(const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    static void Store16(std::uint8_t* p, std::uint16_t v) {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
    }
    static void Store32(std::uint8_t* p, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};

// What the driver reports in driverStatus/usbStatus when a transfer failed on the bus.
inline constexpr std::uint32_t kDriverStatusUnsuccessful = 0xC0000001u;
inline constexpr std::uint32_t kUsbStatusStall = 0xC0000004u;

}  // namespace kelvra::sim
