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
    if (productId == kChipVersionProduct) SetChipVersion(kDefaultChipVersion);
    modelHead = MakeModelHead(productId, this->log);
}

bool Board::SetChipVersion(std::uint16_t version) {
    MemoryDevice* chip = productId == kChipVersionProduct ? Generic(kChipAddress) : nullptr;
    if (!chip) return false;
    // The chip answers register 0 high byte first.
    chip->SetReadOnly(0, static_cast<std::uint8_t>(version >> 8));
    chip->SetReadOnly(1, static_cast<std::uint8_t>(version));
    return true;
}

MemoryDevice* Board::Generic(std::uint8_t address) {
    if (head || address == kFpgaAddress || address == kEepromAddress || address == kAuxAddress) return nullptr;
    if (modelHead && address == modelHead->Address()) return nullptr;
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

FrameShape Board::Shape() const {
    const bool alt = UsesAltGeometry(productId);
    auto word = [this](std::uint8_t low, std::uint8_t high) {
        return static_cast<std::uint32_t>(fpga.Byte(low) | fpga.Byte(high) << 8);
    };
    FrameShape shape;
    const std::uint32_t width = alt ? word(BoardFpga::kAltImageWidthLow, BoardFpga::kAltImageWidthHigh)
                                    : word(BoardFpga::kImageWidthLow, BoardFpga::kImageWidthHigh);
    shape.rows = alt ? word(BoardFpga::kAltImageHeightLow, BoardFpga::kAltImageHeightHigh)
                     : word(BoardFpga::kImageHeightLow, BoardFpga::kImageHeightHigh);
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
