#include "Board.h"

namespace kelvra::sim {

namespace {

constexpr std::uint16_t kFpgaVersion = 0x0112;
constexpr std::uint16_t kChipVersionProduct = 0x3020;
constexpr std::uint8_t kChipAddress = 0x20;
constexpr std::uint16_t kDefaultChipVersion = 302;

// Products whose FPGA keeps the image size in registers 154-157 and the width code in 163.
bool UsesAltGeometry(std::uint16_t productId) { return productId == 0x31E0 || productId == 0x32D0; }

// The converter product sends three samples per pixel and keeps its width code in register 61.
constexpr std::uint16_t kConverterProduct = 0x3130;
constexpr std::uint8_t kConverterDataWidth = 61;

std::uint32_t SamplesPerPixel(std::uint16_t productId) { return productId == kConverterProduct ? 3 : 1; }

// The boards that write a timing value into register 64 right after the image size.
bool LatchesHeight(std::uint16_t productId) { return productId == 0x30B0 || productId == 0x30C0; }

struct ChipSeat {
    std::uint16_t productId;
    std::uint8_t address;
    ChipRegisterFile::Values values;
};

constexpr auto kWord = ChipRegisterFile::Values::kWord;
constexpr auto kByte = ChipRegisterFile::Values::kByte;
constexpr std::uint8_t kImxAddress = 0x48;

// Boards that carry an image sensor chip, and where it sits.
constexpr ChipSeat kChipSeats[] = {
    {0x3020, 0x20, kWord},        {0x3030, 0x90, kWord},        {0x3040, 0x20, kWord},
    {0x3042, 0x20, kWord},        {0x30F0, kImxAddress, kByte}, {0x3100, kImxAddress, kByte},
    {0x3110, kImxAddress, kByte}, {0x3120, kImxAddress, kByte}, {0x31B0, kImxAddress, kByte},
    {0x31B4, kImxAddress, kByte}, {0x31C0, kImxAddress, kByte}, {0x31C4, kImxAddress, kByte},
    {0x31F0, kImxAddress, kByte}, {0x3200, kImxAddress, kByte}, {0x3260, kImxAddress, kByte},
    {0x3270, kImxAddress, kByte}, {0x3280, kImxAddress, kByte}, {0x3290, kImxAddress, kByte},
    {0x32A0, kImxAddress, kByte}, {0x32B0, kImxAddress, kByte}, {0x32C0, kImxAddress, kByte},
    {0x32E0, kImxAddress, kByte}, {0x32F0, kImxAddress, kByte}, {0x3300, kImxAddress, kByte},
};

void PokeSize(BoardFpga& fpga, std::uint8_t low, std::uint8_t high, std::uint16_t value) {
    fpga.Poke(low, value & 0xFF);
    fpga.Poke(high, value >> 8);
}

}  // namespace

Board::Board(std::uint16_t productId, FpgaObserver& observer, CameraLog& log)
    : productId(productId), log(log), fpga(observer) {
    const bool hqln = productId == kProduct880HQLN;
    const std::uint16_t width = hqln ? 1280 : 640;
    const std::uint16_t height = hqln ? 1024 : 480;
    PokeSize(fpga, BoardFpga::kImageWidthLow, BoardFpga::kImageWidthHigh, width);
    PokeSize(fpga, BoardFpga::kImageHeightLow, BoardFpga::kImageHeightHigh, height);
    PokeSize(fpga, BoardFpga::kAltImageWidthLow, BoardFpga::kAltImageWidthHigh, width);
    PokeSize(fpga, BoardFpga::kAltImageHeightLow, BoardFpga::kAltImageHeightHigh, height);
    fpga.Poke(BoardFpga::kDataWidth, 2);
    fpga.Poke(BoardFpga::kAltDataWidth, 2);
    fpga.Poke(kConverterDataWidth, 1);
    PokeSize(fpga, BoardFpga::kVersionLow, BoardFpga::kVersionHigh, kFpgaVersion);
    if (hqln) {
        head = std::make_unique<CameraHead>(this->log.headCommands);
        bridge = std::make_unique<SerialBridge>(*head);
    }
    for (const ChipSeat& seat : kChipSeats) {
        if (seat.productId != productId) continue;
        const std::uint8_t address = seat.address;
        chips.try_emplace(address, seat.values, [this, address](std::uint16_t reg, std::uint16_t value) {
            this->log.chipWrites.Add({address, reg, value});
        });
    }
    if (productId == kChipVersionProduct) SetChipVersion(kDefaultChipVersion);
    modelHead = MakeModelHead(productId, this->log);
}

ChipRegisterFile* Board::Chip(std::uint8_t address) {
    auto found = chips.find(address);
    return found == chips.end() ? nullptr : &found->second;
}

bool Board::SetChipVersion(std::uint16_t version) {
    ChipRegisterFile* chip = productId == kChipVersionProduct ? Chip(kChipAddress) : nullptr;
    if (!chip) return false;
    chip->SetReadOnly(0, version);
    return true;
}

MemoryDevice* Board::Generic(std::uint8_t address) {
    if (head || address == kFpgaAddress || address == kEepromAddress || address == kAuxAddress || Chip(address) ||
        (modelHead && address == modelHead->Address()))
        return nullptr;
    return &generic.try_emplace(address, 2, std::uint8_t{0}).first->second;
}

I2cDevice* Board::Device(std::uint8_t address) {
    switch (address) {
        case kFpgaAddress:
            return &fpga;
        case kEepromAddress:
            return &eeprom;
        case kAuxAddress:
            return &aux;
        default:
            if (bridge && address == kHeadBridgeAddress) return bridge.get();
            if (modelHead && address == modelHead->Address()) return modelHead.get();
            if (ChipRegisterFile* chip = Chip(address)) return chip;
            return Generic(address);
    }
}

bool Board::Write(std::uint8_t address, std::span<const std::uint8_t> bytes) {
    I2cDevice* device = Device(address);
    const bool acknowledged = device && device->Write(bytes);
    log.i2c.Add({address, false, {bytes.begin(), bytes.end()}, acknowledged});
    return acknowledged;
}

bool Board::Read(std::uint8_t address, std::span<std::uint8_t> bytes) {
    I2cDevice* device = Device(address);
    const bool acknowledged = device && device->Read(bytes);
    log.i2c.Add({address, true,
                 acknowledged ? std::vector<std::uint8_t>(bytes.begin(), bytes.end()) : std::vector<std::uint8_t>{},
                 acknowledged});
    return acknowledged;
}

void Board::OnFpgaWrite(std::uint8_t reg) {
    if (LatchesHeight(productId) && reg == BoardFpga::kImageHeightHigh) {
        latchedHeight = fpga.Byte(BoardFpga::kImageHeightLow) | fpga.Byte(BoardFpga::kImageHeightHigh) << 8;
    }
}

FrameShape Board::Shape() const {
    const bool alt = UsesAltGeometry(productId);
    auto word = [this](std::uint8_t low, std::uint8_t high) {
        return static_cast<std::uint32_t>(fpga.Byte(low) | fpga.Byte(high) << 8);
    };
    FrameShape shape;
    const std::uint32_t width = alt ? word(BoardFpga::kAltImageWidthLow, BoardFpga::kAltImageWidthHigh)
                                    : word(BoardFpga::kImageWidthLow, BoardFpga::kImageWidthHigh);
    shape.rows = alt ? word(BoardFpga::kAltImageHeightLow, BoardFpga::kAltImageHeightHigh)
                     : latchedHeight.value_or(word(BoardFpga::kImageHeightLow, BoardFpga::kImageHeightHigh));
    shape.samplesPerRow = width * SamplesPerPixel(productId);
    // Code 1 selects one byte per sample; the FPGA sends two for any other code.
    shape.bytesPerSample = fpga.Byte(alt ? BoardFpga::kAltDataWidth : BoardFpga::kDataWidth) == 1 ? 1 : 2;
    if (productId == kConverterProduct) shape.bytesPerSample = fpga.Byte(kConverterDataWidth) != 0 ? 2 : 1;
    return shape;
}

bool Board::TriggerMode() const {
    if (head) return head->State().triggerMode;
    switch (productId) {
        case 0x3030:
        case 0x3050:
        case 0x3150:
        case 0x3170:
            return (fpga.Byte(36) & 1) != 0;
        case 0x30F0:
        case 0x3100:
            return (fpga.Byte(48) & 1) != 0;
        default:
            return false;
    }
}

}  // namespace kelvra::sim
