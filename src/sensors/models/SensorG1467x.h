// The G1467x head cools its sensor to a target that the host sets and reads as a raw value of
// the head's thermistor circuit: a 10 kOhm thermistor with B = 3950 at 25 degrees Celsius behind
// a 10-bit converter. The measured temperature comes through the same registers.
#pragma once

#include "sensors/models/ModelHead.h"

#include <optional>

namespace thermistor {
// Raw converter value for a temperature, truncated; nothing for temperatures whose value does
// not fit the converter's 16-bit register pair (none below the absolute zero either).
std::optional<uint16_t> RawOfDegrees(double degrees);
// Temperature of a raw value; nothing when the value lies outside the circuit's range (0, or one
// whose resistance would not be positive), where the formula has no finite answer.
std::optional<double> DegreesOfRaw(uint32_t raw);
}  // namespace thermistor

class CSensorG1467x : public CSensorModelHead {
public:
    CSensorG1467x(CControllerBase* controller, uint8_t serialAddress);

    [[nodiscard]] int32_t ReadTemperature(double* degrees) override;
    int32_t TargetTemperatureAvailable() override;
    [[nodiscard]] int32_t GetTargetTemperature(int32_t* degrees) override;
    [[nodiscard]] int32_t SetTargetTemperature(int32_t degrees) override;

private:
    bool CoolerRunning();
    // Selects one of the head's thermistor values, fetches it and reads it back.
    std::optional<uint32_t> FetchThermistor(uint8_t selection);
};
