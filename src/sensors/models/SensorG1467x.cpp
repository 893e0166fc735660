#include "sensors/models/SensorG1467x.h"

#include "sensors/models/ModelSensors.h"

#include <cmath>

namespace {

constexpr double kKelvinOffset = 273.15;
constexpr double kReferenceKelvin = 298.15;  // 25 degrees Celsius
constexpr double kBeta = 3950;
constexpr double kSupplyCounts = 9994.24;  // converter counts across the divider's supply
constexpr double kSeriesCounts = 9.76;     // the divider's fixed resistor, in the same scale
constexpr double kNominalKiloOhm = 10;

constexpr uint8_t kSelectTarget = 0;
constexpr uint8_t kSelectMeasured = 1;
constexpr uint8_t kSelectTargetSet = 2;
constexpr uint8_t kStrobeIdle = 0;
constexpr uint8_t kStrobeLoad = 1;
constexpr uint8_t kStrobeFetch = 2;

}  // namespace

namespace thermistor {

std::optional<uint16_t> RawOfDegrees(double degrees) {
    const double kelvin = degrees + kKelvinOffset;
    if (!(kelvin > 0)) return std::nullopt;
    const double raw =
        kSupplyCounts / (kNominalKiloOhm * std::exp(kBeta * (1 / kelvin - 1 / kReferenceKelvin)) + kSeriesCounts);
    if (!(raw >= 1) || raw > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(raw);
}

std::optional<double> DegreesOfRaw(uint32_t raw) {
    if (raw == 0) return std::nullopt;
    const double ratio = (kSupplyCounts / raw - kSeriesCounts) / kNominalKiloOhm;
    if (!(ratio > 0)) return std::nullopt;
    const double inverseKelvin = std::log(ratio) / kBeta + 1 / kReferenceKelvin;
    if (!(inverseKelvin > 0)) return std::nullopt;
    const double degrees = 1 / inverseKelvin - kKelvinOffset;
    if (!std::isfinite(degrees)) return std::nullopt;
    return degrees;
}

}  // namespace thermistor

CSensorG1467x::CSensorG1467x(CControllerBase* controllerInterface, uint8_t address)
    : CSensorModelHead(controllerInterface, address, ModelTraitsOf(SensorModel::G1467x)) {}

int32_t CSensorG1467x::TargetTemperatureAvailable() { return 1; }

bool CSensorG1467x::CoolerRunning() {
    int32_t state = 0;
    return TargetTemperatureAvailable() && GetCoolerState(&state) && state > 0;
}

std::optional<uint32_t> CSensorG1467x::FetchThermistor(uint8_t selection) {
    // The selection and the value registers are shared by every sequence: another thread's
    // sequence must not select in between.
    CriticalSectionGuard hold(Conversation());
    uint32_t low = 0;
    uint32_t high = 0;
    if (!WriteRegister(head::kThermistorSelect, selection) || !WriteRegister(head::kThermistorStrobe, kStrobeIdle) ||
        !WriteRegister(head::kThermistorStrobe, kStrobeFetch) || !ReadRegister(head::kThermistorLow, &low) ||
        !ReadRegister(head::kThermistorHigh, &high))
        return std::nullopt;
    return high << 8 | low;
}

int32_t CSensorG1467x::SetTargetTemperature(int32_t degrees) {
    if (!CoolerRunning()) return 0;
    const std::optional<uint16_t> raw = thermistor::RawOfDegrees(degrees);
    if (!raw) return 0;
    CriticalSectionGuard hold(Conversation());
    return WriteRegister(head::kThermistorLow, *raw & 0xFF) && WriteRegister(head::kThermistorHigh, *raw >> 8) &&
                   WriteRegister(head::kThermistorSelect, kSelectTarget) &&
                   WriteRegister(head::kThermistorStrobe, kStrobeIdle) &&
                   WriteRegister(head::kThermistorStrobe, kStrobeLoad)
               ? 1
               : 0;
}

int32_t CSensorG1467x::GetTargetTemperature(int32_t* degrees) {
    if (degrees == nullptr || !CoolerRunning()) return 0;
    const std::optional<uint32_t> raw = FetchThermistor(kSelectTargetSet);
    const std::optional<double> converted = raw ? thermistor::DegreesOfRaw(*raw) : std::nullopt;
    if (!converted) return 0;
    *degrees = static_cast<int32_t>(std::trunc(*converted));
    return 1;
}

int32_t CSensorG1467x::ReadTemperature(double* degrees) {
    if (degrees == nullptr) return 0;
    const std::optional<uint32_t> raw = FetchThermistor(kSelectMeasured);
    const std::optional<double> converted = raw ? thermistor::DegreesOfRaw(*raw) : std::nullopt;
    if (!converted) return 0;
    *degrees = *converted;
    return 1;
}
