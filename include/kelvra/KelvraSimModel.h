// The richer C++ side of the simulated camera, for tests: what the camera saw (control requests,
// I2C transactions, board FPGA writes, head commands) and direct access to its state.
// Every function takes a camera id from KelvraSim_Attach; for an unknown id the getters return
// an empty result (std::nullopt or an empty vector) and the setters return false.
#pragma once

#include "kelvra/KelvraSim.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32) && defined(KELVRA_SIM_BUILD)
#define KELVRA_SIM_CXX __declspec(dllexport)
#elif defined(_WIN32)
#define KELVRA_SIM_CXX __declspec(dllimport)
#else
#define KELVRA_SIM_CXX __attribute__((visibility("default")))
#endif

namespace kelvra::sim {

// The frame header the camera sends on endpoint 0x81 before each payload (64 bytes, little-endian).
inline constexpr std::size_t kHeaderWidthOffset = 0;          // uint32: pixels per row
inline constexpr std::size_t kHeaderHeightOffset = 4;         // uint32: rows
inline constexpr std::size_t kHeaderBytesPerPixelOffset = 8;  // uint32: 1 or 2
inline constexpr std::size_t kHeaderPayloadOffset = 16;       // uint32: payload bytes that follow
inline constexpr std::size_t kHeaderFrameNumberOffset = 32;   // uint32: the frame counter of this frame
inline constexpr std::size_t kHeaderTimestampOffset = 36;     // uint32: milliseconds since the camera was attached

// Camera information records (vendor requests 0xB0 and 0xB1), as a new camera reports them.
// Record 1: vendor id (uint16 at 0), product id (uint16 at 2), model name (16 chars at 4),
// serial number (uint32 at 20), firmware version (uint16 at 24, 0x1102).
// Record 2: FPGA version (uint16 at 0, also FPGA registers 16/17), board name (16 chars at 2),
// date of manufacture ("YYYY-MM-DD" at 18).
using InfoRecord = std::array<std::uint8_t, 64>;

struct ControlRecord {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::vector<std::uint8_t> dataOut;  // bytes the host sent
    std::vector<std::uint8_t> dataIn;   // bytes the camera answered
    bool accepted = false;              // false: the camera stalled the request
};

struct I2cRecord {
    std::uint8_t address = 0;  // 8-bit write form (bit 0 clear)
    bool read = false;
    std::vector<std::uint8_t> bytes;  // written, or answered
    bool acknowledged = false;        // false: no device answered at the address
};

struct FpgaWrite {
    std::uint8_t reg = 0;
    std::uint16_t value = 0;
};

// A value an image sensor chip stored (the chips of the family's boards, not the generic maps).
struct ChipWrite {
    std::uint8_t address = 0;  // the chip's 8-bit write form
    std::uint16_t reg = 0;
    std::uint16_t value = 0;  // one byte for the IMX-style chips, 16 bits for the MT9 chips
};

struct HeadCommand {
    std::string command;  // the line as received, without its line end
    std::string reply;    // exact reply, empty when the head stayed silent
};

// Pipe and port requests of the host's driver (I/O controls 0x22002C, 0x220030, 0x220044).
enum class EndpointAction { ResetPipe, ResetPort, AbortPipe };
struct EndpointRequest {
    EndpointAction action = EndpointAction::ResetPipe;
    std::uint8_t endpoint = 0;  // 0 for a port reset
};

struct HeadState {
    bool debugMode = false;
    bool commandModeCleared = false;  // "x -c" was accepted
    int exposure = 10000;
    int gain = 128;
    bool triggerMode = false;  // head FPGA register 0x30 as applied by the last 0x3C pulse
};

// One byte stored in the register file of a head with its own controller (the family's model
// heads, products such as 0x3090, 0x31E0 or 0x3220), in the order the head took them.
struct HeadRegisterWrite {
    std::uint16_t reg = 0;
    std::uint8_t value = 0;
};

// What such a head measures and reports back.
enum class HeadReading {
    Ready,                  // status register bit 0 (1 by default)
    TemperatureSixteenths,  // heads with a temperature sensor: 1/16 degrees (25 degrees by default)
    AuxValue,               // heads with an auxiliary sensor: its next measurement (0 by default)
    Thermistor,             // cooled heads: raw value every fetch answers; -1 for the head's own
};

// Logs keep the most recent 65536 entries of each kind.
KELVRA_SIM_CXX std::vector<ControlRecord> ControlLog(int camera);
KELVRA_SIM_CXX std::vector<I2cRecord> I2cLog(int camera);
KELVRA_SIM_CXX std::vector<FpgaWrite> FpgaWriteLog(int camera);
KELVRA_SIM_CXX std::vector<HeadCommand> HeadLog(int camera);
KELVRA_SIM_CXX std::vector<EndpointRequest> EndpointLog(int camera);
KELVRA_SIM_CXX std::vector<HeadRegisterWrite> HeadRegisterLog(int camera);
KELVRA_SIM_CXX std::vector<ChipWrite> ChipWriteLog(int camera);
KELVRA_SIM_CXX bool ClearLogs(int camera);

// Board FPGA registers (I2C 0x40) as the host would read them, and direct writes without side effects.
KELVRA_SIM_CXX std::optional<std::uint16_t> PeekFpga(int camera, std::uint8_t reg);
KELVRA_SIM_CXX bool PokeFpga(int camera, std::uint8_t reg, std::uint16_t value);
// EEPROM (I2C 0xA2), one byte per 16-bit address.
KELVRA_SIM_CXX std::optional<std::uint8_t> PeekEeprom(int camera, std::uint16_t address);
KELVRA_SIM_CXX bool PokeEeprom(int camera, std::uint16_t address, std::uint8_t value);
// The next count data writes to the EEPROM are acknowledged but not stored (a chip still busy
// with its previous write cycle).
KELVRA_SIM_CXX bool LoseEepromWrites(int camera, int count);
// Any other device register map on the bus (generic boards: every address; 16-bit register
// addresses, one byte per register, reads and writes auto-increment).
KELVRA_SIM_CXX std::optional<std::uint8_t> PeekI2c(int camera, std::uint8_t address, std::uint16_t reg);
KELVRA_SIM_CXX bool PokeI2c(int camera, std::uint8_t address, std::uint16_t reg, std::uint8_t value);

// The image sensor chip at an address of the family's boards (16-bit registers, values of one
// byte or, on the MT9 chips, 16 bits); nullopt or false where no chip sits.
KELVRA_SIM_CXX std::optional<std::uint16_t> PeekChip(int camera, std::uint8_t address, std::uint16_t reg);
KELVRA_SIM_CXX bool PokeChip(int camera, std::uint8_t address, std::uint16_t reg, std::uint16_t value);
// The next count register writes to the chip are acknowledged but lost.
KELVRA_SIM_CXX bool LoseChipWrites(int camera, std::uint8_t address, int count);
// Board FPGA register 2 (busy while the board relays its own traffic to the sensor) reads 1 for
// the next `reads` host reads, or for every read when reads is negative; 0 makes it idle again.
KELVRA_SIM_CXX bool HoldFpgaBusy(int camera, int reads);
// Bit 1 of board FPGA register 0x81: the sensor's vertical sync.
enum class VideoSync {
    Running,        // bit 1 set (the default)
    StartsOnReset,  // clear until the host pulses the register with 1 then 0
    Stopped,        // clear whatever the host does
};
KELVRA_SIM_CXX bool SetVideoSync(int camera, VideoSync state);

// Bus speed code reported by I/O control 0x22004C (4 = SuperSpeed, the default; 3 = High Speed).
KELVRA_SIM_CXX bool SetBusSpeed(int camera, std::uint32_t code);
// Ready state answered by vendor request 0xC3 (1 by default).
KELVRA_SIM_CXX bool SetReadyState(int camera, std::uint8_t state);
// Chip version that product 0x3020 reports at register 0 of I2C 0x20 (302 by default).
KELVRA_SIM_CXX bool SetChipVersion(int camera, std::uint16_t version);

// which: 1 (request 0xB0) or 2 (request 0xB1).
KELVRA_SIM_CXX std::optional<InfoRecord> GetInfoRecord(int camera, int which);
KELVRA_SIM_CXX bool SetInfoRecord(int camera, int which, const InfoRecord& record);

// The 880HQLN head: identified means board FPGA register 0xFF reads 4 (IsCameraReady).
KELVRA_SIM_CXX std::optional<bool> IsHeadIdentified(int camera);
KELVRA_SIM_CXX std::optional<HeadState> GetHeadState(int camera);
KELVRA_SIM_CXX std::optional<std::uint8_t> PeekHeadFpga(int camera, std::uint8_t reg);

// The register file of a head with its own controller; nothing, or false, on other products
// (and for a reading the head does not have).
KELVRA_SIM_CXX std::optional<std::uint8_t> PeekHeadRegister(int camera, std::uint16_t reg);
KELVRA_SIM_CXX bool SetHeadReading(int camera, HeadReading which, int value);

KELVRA_SIM_CXX std::optional<std::string> DevicePath(int camera);
KELVRA_SIM_CXX std::optional<std::uint32_t> FrameCounter(int camera);

}  // namespace kelvra::sim
