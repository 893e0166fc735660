#include "heads/ModelHeadRegisters.h"

namespace kelvra::sim {

namespace {

constexpr std::uint16_t kStatus = 0x0001;
constexpr std::uint16_t kCooler = 0x0040;
constexpr std::uint16_t kTemperature = 0x0044;
constexpr std::uint16_t kAuxValue = 0x0048;
constexpr std::uint16_t kAuxStart = 0x004A;
constexpr std::uint16_t kThermistorLow = 80;
constexpr std::uint16_t kThermistorStrobe = 82;
constexpr std::uint16_t kThermistorHigh = 83;
constexpr std::uint16_t kThermistorSelect = 84;

constexpr std::uint8_t kStrobeLoad = 1;
constexpr std::uint8_t kStrobeFetch = 2;
constexpr std::uint8_t kSelectTarget = 0;
constexpr std::uint8_t kSelectMeasured = 1;
constexpr std::uint8_t kSelectTargetSet = 2;

struct HeadRow {
    std::uint16_t productId;
    std::uint8_t address;
    ModelHeadRegisters::Kind kind;
};

using Kind = ModelHeadRegisters::Kind;
constexpr HeadRow kHeads[] = {
    {0x3050, 0x00, Kind::Plain}, {0x3090, 0x00, Kind::Plain},  {0x30B0, 0x00, Kind::Plain},
    {0x30C0, 0x00, Kind::Plain}, {0x3130, 0x42, Kind::Plain},  {0x3140, 0x6C, Kind::Plain},
    {0x3150, 0x6C, Kind::Plain}, {0x3170, 0x6C, Kind::Plain},  {0x3190, 0x20, Kind::Plain},
    {0x31A0, 0x20, Kind::Plain}, {0x31D0, 0x20, Kind::Plain},  {0x31E0, 0x6C, Kind::Infrared},
    {0x3210, 0x20, Kind::Plain}, {0x3220, 0x6C, Kind::Cooled}, {0x32D0, 0x6C, Kind::Infrared},
};

}  // namespace

std::unique_ptr<ModelHeadRegisters> MakeModelHead(std::uint16_t productId, CameraLog& log) {
    for (const HeadRow& row : kHeads) {
        if (row.productId == productId) return std::make_unique<ModelHeadRegisters>(row.kind, row.address, log);
    }
    return nullptr;
}

bool ModelHeadRegisters::Write(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2) return true;  // an address probe
    pointer = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    for (std::size_t i = 2; i < bytes.size(); ++i) {
        Store(pointer, bytes[i]);
        ++pointer;
    }
    return true;
}

void ModelHeadRegisters::Store(std::uint16_t reg, std::uint8_t value) {
    log.headRegisters.Add({reg, value});
    if (reg == kStatus) return;
    cells[reg] = value;
    if (kind == Kind::Infrared && reg == kAuxStart && value == 1) {
        PutWord(kAuxValue, auxReading);
        cells[kAuxStart] = 0;  // the measurement is over at once
    }
    if (kind == Kind::Cooled && reg == kThermistorStrobe) {
        const std::uint8_t selection = cells[kThermistorSelect];
        if (value == kStrobeLoad && selection == kSelectTarget) target = Word(kThermistorLow, kThermistorHigh);
        if (value == kStrobeFetch && (selection == kSelectTargetSet || selection == kSelectMeasured)) {
            const std::uint16_t answer = forcedThermistor                ? *forcedThermistor
                                         : selection == kSelectTargetSet ? target
                                                                         : MeasuredThermistor();
            cells[kThermistorLow] = static_cast<std::uint8_t>(answer);
            cells[kThermistorHigh] = static_cast<std::uint8_t>(answer >> 8);
        }
    }
}

std::uint16_t ModelHeadRegisters::MeasuredThermistor() const {
    // A running cooler holds its target; an idle one sits at room temperature.
    const auto cooler = cells.find(kCooler);
    return cooler != cells.end() && cooler->second != 0 ? target : kAmbientThermistor;
}

void ModelHeadRegisters::PutWord(std::uint16_t lowReg, std::uint16_t value) {
    cells[lowReg] = static_cast<std::uint8_t>(value);
    cells[static_cast<std::uint16_t>(lowReg + 1)] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t ModelHeadRegisters::Word(std::uint16_t lowReg, std::uint16_t highReg) const {
    return static_cast<std::uint16_t>(Peek(lowReg) | Peek(highReg) << 8);
}

bool ModelHeadRegisters::Read(std::span<std::uint8_t> bytes) {
    for (auto& byte : bytes) byte = Peek(pointer++);
    return true;
}

std::uint8_t ModelHeadRegisters::Peek(std::uint16_t reg) const {
    if (reg == kStatus) return ready ? 1 : 0;
    if (kind == Kind::Infrared && (reg == kTemperature || reg == kTemperature + 1)) {
        const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(temperatureSixteenths));
        return static_cast<std::uint8_t>(reg == kTemperature ? word : word >> 8);
    }
    const auto cell = cells.find(reg);
    return cell == cells.end() ? 0 : cell->second;
}

bool ModelHeadRegisters::SetReading(HeadReading which, int value) {
    switch (which) {
        case HeadReading::Ready:
            ready = value != 0;
            return true;
        case HeadReading::TemperatureSixteenths:
            if (kind != Kind::Infrared) return false;
            temperatureSixteenths = value;
            return true;
        case HeadReading::AuxValue:
            if (kind != Kind::Infrared) return false;
            auxReading = static_cast<std::uint16_t>(value);
            return true;
        case HeadReading::Thermistor:
            if (kind != Kind::Cooled) return false;
            if (value < 0) {
                forcedThermistor.reset();
            } else {
                forcedThermistor = static_cast<std::uint16_t>(value);
            }
            return true;
    }
    return false;
}

}  // namespace kelvra::sim
