// The record that carries one frame through the stream reads. The device core owns it and sets the
// destination and sizes; the controller fills the header and the frame number.
#pragma once

#include <cstddef>
#include <cstdint>

struct FrameRequest {
    uint8_t header[64];    // as received from the camera: untrusted
    uint32_t frameNumber;  // copy of the header's word at 32
    uint32_t reserved;
    uint8_t* destination;
    uint32_t capacity;      // bytes the destination holds
    uint32_t expectedSize;  // bytes of a whole frame read in one transfer
};

static_assert(sizeof(void*) != 8 || sizeof(FrameRequest) == 88);
static_assert(offsetof(FrameRequest, frameNumber) == 64);
static_assert(sizeof(void*) != 8 || offsetof(FrameRequest, destination) == 72);
static_assert(sizeof(void*) != 8 || offsetof(FrameRequest, capacity) == 80);
static_assert(sizeof(void*) != 8 || offsetof(FrameRequest, expectedSize) == 84);

namespace kelvra::usb {

constexpr std::size_t kHeaderPayloadLengthOffset = 16;
constexpr std::size_t kHeaderFrameNumberOffset = 32;

inline uint32_t HeaderWord(const FrameRequest& frame, std::size_t offset) {
    const uint8_t* p = frame.header + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace kelvra::usb
