// The register file of a camera head with its own controller (the family's model heads and the
// CCD head), as the drivers program it: 16-bit register addresses, one byte per register, a
// write's bytes stored from its address on. What a host reads back follows the head's rules:
//   0x0001       status, read only: 1 while the head is ready
//   0x0044-0x45  head temperature in 1/16 degrees (heads with a temperature sensor)
//   0x0048-0x49  auxiliary sensor value, measured anew when 0x004A is written 1 (read back 0)
//   80, 83       thermistor value (cooled heads); 82 is its strobe, 84 its selection:
//                strobe 1 with selection 0 loads the value as the cooler's target, strobe 2
//                fetches the target (selection 2) or the measured value (selection 1)
// Every other register reads back what was written, 0 before. Each stored byte is logged.
#pragma once

#include "CameraLog.h"
#include "I2cDevice.h"

#include <map>
#include <memory>
#include <optional>

namespace kelvra::sim {

class ModelHeadRegisters final : public I2cDevice {
public:
    enum class Kind { Plain, Infrared, Cooled };

    // The raw thermistor value of 25 degrees Celsius: what an idle cooler measures.
    static constexpr std::uint16_t kAmbientThermistor = 505;
    static constexpr int kAmbientSixteenths = 25 * 16;

    ModelHeadRegisters(Kind kind, std::uint8_t address, CameraLog& log) : kind(kind), address(address), log(log) {}

    bool Write(std::span<const std::uint8_t> bytes) override;
    bool Read(std::span<std::uint8_t> bytes) override;

    std::uint8_t Address() const { return address; }
    // What a host read of the register answers, without the read's effects.
    std::uint8_t Peek(std::uint16_t reg) const;
    bool SetReading(HeadReading which, int value);

private:
    void Store(std::uint16_t reg, std::uint8_t value);
    void PutWord(std::uint16_t lowReg, std::uint16_t value);
    std::uint16_t Word(std::uint16_t lowReg, std::uint16_t highReg) const;
    std::uint16_t MeasuredThermistor() const;

    Kind kind;
    std::uint8_t address;
    CameraLog& log;
    std::uint16_t pointer = 0;
    std::map<std::uint16_t, std::uint8_t> cells;
    bool ready = true;
    int temperatureSixteenths = kAmbientSixteenths;
    std::uint16_t auxReading = 0;
    std::uint16_t target = kAmbientThermistor;
    std::optional<std::uint16_t> forcedThermistor;
};

// The head of a product whose driver talks to a head of its own; null for any other product.
std::unique_ptr<ModelHeadRegisters> MakeModelHead(std::uint16_t productId, CameraLog& log);

}  // namespace kelvra::sim
