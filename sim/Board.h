// The camera board's I2C bus and what hangs on it: the board FPGA (0x40), the EEPROM (0xA2),
// the auxiliary device (0x5A) and, on the 880HQLN, the head's serial bridge (0x48). Boards of
// the family's chip cameras carry their image sensor's register file at the chip's address. A
// generic family board also answers at every other address with a register map of its own, so
// that any sensor driver finds its chip. The 880HQLN board does not acknowledge unknown addresses.
#pragma once

#include "BoardFpga.h"
#include "CameraHead.h"
#include "MemoryDevice.h"
#include "ScenePainter.h"
#include "SerialBridge.h"
#include "heads/ModelHeadRegisters.h"
#include "chips/ChipRegisterFile.h"

#include <map>
#include <memory>
#include <optional>

namespace kelvra::sim {

class Board {
public:
    static constexpr std::uint16_t kProduct880HQLN = 0x3180;
    static constexpr std::uint8_t kFpgaAddress = 0x40;
    static constexpr std::uint8_t kHeadBridgeAddress = 0x48;
    static constexpr std::uint8_t kAuxAddress = 0x5A;
    static constexpr std::uint8_t kEepromAddress = 0xA2;

    Board(std::uint16_t productId, FpgaObserver& observer, CameraLog& log);

    // address in the 8-bit write form; false when no device acknowledged.
    bool Write(std::uint8_t address, std::span<const std::uint8_t> bytes);
    bool Read(std::uint8_t address, std::span<std::uint8_t> bytes);

    BoardFpga& Fpga() { return fpga; }
    const BoardFpga& Fpga() const { return fpga; }
    MemoryDevice& Eeprom() { return eeprom; }
    // The register map at an address other than the board's own devices; null on the 880HQLN.
    MemoryDevice* Generic(std::uint8_t address);
    // The image sensor chip at an address; null where the board carries none.
    ChipRegisterFile* Chip(std::uint8_t address);
    CameraHead* Head() { return head.get(); }
    const CameraHead* Head() const { return head.get(); }
    // The head of a model with its own controller; null on other products.
    ModelHeadRegisters* ModelHead() { return modelHead.get(); }

    // Product 0x3020's chip version at register 0 of I2C 0x20; false on any other product.
    bool SetChipVersion(std::uint16_t version);

    // Image size and sample width as the FPGA registers program them.
    FrameShape Shape() const;
    // After the host changed a board FPGA register.
    void OnFpgaWrite(std::uint8_t reg);
    // Whether the sensor waits for trigger pulses, by the board's or the head's setting.
    bool TriggerMode() const;

private:
    I2cDevice* Device(std::uint8_t address);

    std::uint16_t productId;
    // Boards whose register 64 holds a timing value once the size is set take the image height
    // when its high byte (register 65, written last) arrives.
    std::optional<std::uint32_t> latchedHeight;
    CameraLog& log;
    BoardFpga fpga;
    MemoryDevice eeprom{2, 0xFF};
    MemoryDevice aux{1, 0};
    std::unique_ptr<CameraHead> head;
    std::unique_ptr<SerialBridge> bridge;
    std::unique_ptr<ModelHeadRegisters> modelHead;
    std::map<std::uint8_t, MemoryDevice> generic;
    std::map<std::uint8_t, ChipRegisterFile> chips;
};

}  // namespace kelvra::sim
