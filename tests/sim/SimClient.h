// A host-side client of the simulated camera that speaks only the Win32 device calls, as an
// independent driver user would: enumeration, control requests, I2C, the head's text channel
// and overlapped bulk-in reads.
#pragma once

#include "kelvra/win32.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

inline constexpr GUID kCameraClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};
inline constexpr DWORD kIoctlControl = 0x220020;
inline constexpr DWORD kIoctlBuffered = 0x220024;
inline constexpr DWORD kIoctlResetPipe = 0x22002C;
inline constexpr DWORD kIoctlResetPort = 0x220030;
inline constexpr DWORD kIoctlAbort = 0x220044;
inline constexpr DWORD kIoctlDirect = 0x22004B;
inline constexpr DWORD kIoctlBusSpeed = 0x22004C;
inline constexpr std::size_t kSetupSize = 38;

// Device paths of the camera class present now, in enumeration order.
std::vector<std::string> EnumeratePaths();

// An open device handle, closed on destruction.
class Device {
public:
    explicit Device(const std::string& path, bool overlapped = true);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return handle; }

    struct ControlAnswer {
        bool ok = false;
        DWORD error = 0;
        std::vector<std::uint8_t> data;  // the bytes after the 38-byte header
    };
    // A vendor request as a 102-byte ControlRequest, sent synchronously.
    ControlAnswer Control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                          const std::vector<std::uint8_t>& data = {});

    bool I2cWrite(std::uint8_t address, const std::vector<std::uint8_t>& bytes);
    std::optional<std::vector<std::uint8_t>> I2cRead(std::uint8_t address, std::size_t count);
    bool WriteFpga(std::uint8_t reg, std::uint8_t value);
    std::optional<std::uint16_t> ReadFpga(std::uint8_t reg);  // both bytes, big-endian
    bool RequestFrame();

    // The head's text channel through the serial bridge at 0x48.
    bool SendText(const std::string& text);
    std::string ReceiveAll();  // every waiting reply character

    bool SimpleIoctl(DWORD code, const std::vector<std::uint8_t>& input, DWORD* bytesReturned = nullptr,
                     void* output = nullptr, DWORD outputSize = 0);

private:
    HANDLE handle;
};

// One overlapped direct (0x22004B) or buffered (0x220024) bulk-in read.
class BulkRead {
public:
    BulkRead(HANDLE device, std::uint8_t endpoint, void* buffer, DWORD length, bool buffered = false);
    ~BulkRead();
    BulkRead(const BulkRead&) = delete;
    BulkRead& operator=(const BulkRead&) = delete;

    // Waits up to the time for the read to end; false while it is still pending.
    bool Wait(DWORD milliseconds);
    // GetOverlappedResult after completion.
    bool Succeeded(DWORD* count = nullptr, DWORD* error = nullptr);
    std::uint32_t DriverStatus() const;
    std::uint32_t UsbStatus() const;
    // A buffered read's data, after its 38-byte header.
    const std::uint8_t* BufferedData() const { return io.data() + kSetupSize; }

private:
    HANDLE device;
    HANDLE event;
    OVERLAPPED overlapped{};
    std::vector<std::uint8_t> io;  // the SetupTransfer (direct) or header + data (buffered)
    bool issued = false;
    bool finished = false;
};

// Reads a whole frame from endpoint 0x81: header, then the payload in pieces of `piece` bytes.
struct Frame {
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> payload;
};
std::optional<Frame> ReadFrame(Device& device, std::size_t piece, DWORD waitMs = 5000);

std::uint32_t Load32(const std::uint8_t* p);

}  // namespace simtest
