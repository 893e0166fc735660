// What the camera's kernel driver understands: its I/O-control codes, the header that precedes every
// transfer, the control-request record, and the camera's vendor requests.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "the driver records are little-endian");

namespace kelvra::usb {

constexpr uint32_t kIoctlControlTransfer = 0x220020;
constexpr uint32_t kIoctlBufferedTransfer = 0x220024;
constexpr uint32_t kIoctlResetPipe = 0x22002C;
constexpr uint32_t kIoctlResetPort = 0x220030;
constexpr uint32_t kIoctlAbortPipe = 0x220044;
constexpr uint32_t kIoctlDirectTransfer = 0x22004B;
constexpr uint32_t kIoctlBusSpeed = 0x22004C;

constexpr uint8_t kVendorToDevice = 0x40;
constexpr uint8_t kVendorFromDevice = 0xC0;
constexpr uint8_t kVendorToEndpoint = 0x42;

namespace request {
constexpr uint8_t kI2cWrite = 0x30;
constexpr uint8_t kI2cRead = 0x31;
constexpr uint8_t kWriteModeByte = 0x3C;
constexpr uint8_t kReadModeByte = 0x3D;
constexpr uint8_t kWriteRegisterPair = 0x3E;
constexpr uint8_t kReadRegisterWord = 0x3F;
constexpr uint8_t kReadCameraInfo = 0xB0;
constexpr uint8_t kReadCameraInfo2 = 0xB1;
constexpr uint8_t kResetStream = 0xC0;
constexpr uint8_t kRequestFrame = 0xC2;
constexpr uint8_t kReadReadyState = 0xC3;
constexpr uint8_t kSendRequestCC = 0xCC;
constexpr uint8_t kWriteRegister32 = 0xD0;
constexpr uint8_t kReadRegister16 = 0xD1;
}  // namespace request

constexpr uint8_t kFrameEndpoint = 0x81;
constexpr uint8_t kWholeFrameEndpoint = 0x83;
constexpr uint32_t kMaxTransferLength = 64u * 1024 * 1024;
constexpr std::size_t kControlDataBytes = 64;
constexpr int kMaxI2cBytes = 64;

#pragma pack(push, 1)
struct SetupTransfer {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint16_t length;
    uint32_t timeoutSeconds;
    uint8_t reserved;
    uint8_t endpointAddress;
    uint32_t driverStatus;
    uint32_t usbStatus;
    uint32_t isoPacketOffset;
    uint32_t isoPacketLength;
    uint32_t bufferOffset;
    uint32_t bufferLength;
};

struct ControlRequest {
    SetupTransfer setup;
    uint8_t data[kControlDataBytes];
};
#pragma pack(pop)

static_assert(sizeof(SetupTransfer) == 38);
static_assert(offsetof(SetupTransfer, timeoutSeconds) == 8);
static_assert(offsetof(SetupTransfer, endpointAddress) == 13);
static_assert(offsetof(SetupTransfer, driverStatus) == 14);
static_assert(offsetof(SetupTransfer, usbStatus) == 18);
static_assert(offsetof(SetupTransfer, bufferOffset) == 30);
static_assert(offsetof(SetupTransfer, bufferLength) == 34);
static_assert(sizeof(ControlRequest) == 102);

constexpr uint32_t kTransferHeaderBytes = sizeof(SetupTransfer);
constexpr uint32_t kTransferBufferBytes = kMaxTransferLength + kTransferHeaderBytes;

// The driver answers with the byte count of the whole record; what follows the header is data.
// A count shorter than the header is taken as the data length as it stands.
constexpr uint32_t DataLengthOfReply(uint32_t bytesReturned) {
    return bytesReturned >= kTransferHeaderBytes ? bytesReturned - kTransferHeaderBytes : bytesReturned;
}

}  // namespace kelvra::usb
