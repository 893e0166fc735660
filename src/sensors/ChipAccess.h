// Register access to an image sensor chip on the camera's I2C bus, and the two waits that the
// family's boards need before a chip may be programmed: the board FPGA's busy register for
// verified accesses, and the sensor's vertical-sync ready bit at start-up.
#pragma once

#include "kelvra/win32.h"

#include <cstdint>

class CControllerBase;
class CSensorBase;

// How a chip lays out a register access: every chip of the family uses 16-bit register
// addresses sent high byte first; the values are one byte (the IMX-style chips) or a 16-bit
// big-endian word (the MT9 chips).
enum class RegisterFormat { kAddress16Value8, kAddress16Value16 };

namespace chip {

constexpr uint32_t kI2cTimeoutMs = 3000;

int ValueBytes(RegisterFormat format);

// One register write or read; 0 when the chip did not acknowledge.
int32_t WriteRegister(CControllerBase* controller, uint8_t serialAddress, RegisterFormat format, uint32_t reg,
                      uint32_t value);
int32_t ReadRegister(CControllerBase* controller, uint8_t serialAddress, RegisterFormat format, uint32_t reg,
                     uint32_t* value);

// The board FPGA relays the host's I2C traffic to the sensor only while its register 2 reads 0;
// a write is trusted only once the chip reads it back.
struct VerifiedAccess {
    static constexpr uint8_t kBusyRegister = 2;
    static constexpr int kAttempts = 100;
    static constexpr DWORD kRetryPauseMs = 3;

    // The sensor's own WriteRegister/ReadRegister carry each attempt.
    static int32_t Write(CSensorBase& sensor, uint32_t reg, uint32_t value);
    static int32_t Read(CSensorBase& sensor, uint32_t reg, uint32_t* value);
};

// Start-up of the chips whose board reports the sensor's vertical sync in FPGA register 0x81
// bit 1: when it is not running yet, the board resets the serial link and the driver waits for
// it. The outcome goes to the debugger output.
struct VideoSyncWait {
    static constexpr uint8_t kStatusRegister = 0x81;
    static constexpr uint8_t kReadyBit = 0x02;
    static constexpr DWORD kResetPulseMs = 100;
    static constexpr DWORD kPollPauseMs = 10;
    static constexpr DWORD kTimeLimitMs = 5000;

    // 1 once the sync runs, 0 after limitMs of waiting.
    static int32_t Run(CControllerBase* controller, DWORD limitMs);
    // The limit drivers made from now on use; for tests that reach a driver through the device.
    static void SetDefaultTimeLimit(DWORD milliseconds);
    static DWORD DefaultTimeLimit();
};

}  // namespace chip
