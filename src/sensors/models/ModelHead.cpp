#include "sensors/models/ModelHead.h"

#include "common/DebugLog.h"
#include "usb/CControllerBase.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr int kWindowBytes = 9;
constexpr double kExposureTimeUnitSeconds = 0.0001;

constexpr const char* kGainStepLabels[] = {"0.66x", "1.85x", "2.49x", "3.68x", "1.29x", "3.70x", "4.95x", "7.25x"};
constexpr int32_t kGainSteps = static_cast<int32_t>(sizeof(kGainStepLabels) / sizeof(kGainStepLabels[0]));

int32_t Give(int32_t* out, int32_t value) {
    if (out != nullptr) *out = value;
    return 1;
}

int32_t ClampToInt(double value, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

}  // namespace

CSensorModelHead::CSensorModelHead(CControllerBase* controllerInterface, uint8_t address, const ModelTraits& values)
    : CSensorFamilyMember(controllerInterface, address, FamilyDefaultsOf(values.model)), traits(values) {
    // Every window inside the readout area can be set: the session may narrow it both ways.
    params.binningX = 1;
    params.binningY = 1;
    params.bitsPerPixel = traits.bitsNarrow;
    params.lineTotal = traits.lineTotal;
    DeriveExposureTimeRange();
    if (Has(kFeatureExposureSeconds)) {
        const double unit = LineMicroseconds() * 1e-6;
        params.exposureSecondsMin = params.exposureMin * unit;
        // The 0x31E0 head starts in analog mode 0, whose shortest exposure is longer than its unit.
        if (HasExtra(kModelAnalogMode)) params.exposureSecondsMin = kShortestExposurePlain;
        params.exposureSecondsMax = params.exposureMax * unit;
        params.exposureSeconds = params.exposure * unit;
        params.exposureSecondsDefault = params.exposureSeconds;
        params.exposureSecondsSupported = 1;
    }
    if (Has(kFeatureLevel)) {
        params.levelMin = traits.levelMin;
        params.levelMax = traits.levelMax;
        params.level = traits.level;
        params.levelDefault = traits.level;
        params.levelSupported = 1;
    }
    if (HasExtra(kModelGainSteps)) {
        params.gainStepMin = 0;
        params.gainStepMax = kGainSteps - 1;
        params.gainStepSupported = 1;
    }
    channelGain.fill(kChannelGainDefault);
}

bool CSensorModelHead::WriteHead(uint16_t reg, uint32_t value, int count) {
    if (controller == nullptr || count < 1 || count > 4) return false;
    const uint8_t bytes[6] = {static_cast<uint8_t>(reg >> 8),    static_cast<uint8_t>(reg),
                              static_cast<uint8_t>(value),       static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    CriticalSectionGuard hold(Conversation());
    return controller->I2cWrite(serialAddress, bytes, 2 + count, kI2cTimeoutMs) != 0;
}

bool CSensorModelHead::ReadHead(uint16_t reg, uint32_t* value, int count) {
    if (controller == nullptr || value == nullptr || count < 1 || count > 4) return false;
    const uint8_t address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    uint8_t bytes[4] = {};
    CriticalSectionGuard hold(Conversation());
    if (!controller->I2cWrite(serialAddress, address, 2, kI2cTimeoutMs)) return false;
    if (!controller->I2cRead(serialAddress, bytes, count, kI2cTimeoutMs)) return false;
    uint32_t assembled = 0;
    for (int i = count - 1; i >= 0; --i) assembled = assembled << 8 | bytes[i];
    *value = assembled;
    return true;
}

int32_t CSensorModelHead::WriteRegister(uint32_t address, uint32_t value) {
    return WriteHead(static_cast<uint16_t>(address), value & 0xFF, 1) ? 1 : 0;
}

int32_t CSensorModelHead::ReadRegister(uint32_t address, uint32_t* value) {
    return ReadHead(static_cast<uint16_t>(address), value, 1) ? 1 : 0;
}

int32_t CSensorModelHead::IsCameraReady() {
    uint32_t status = 0;
    return ReadHead(head::kStatus, &status, 1) && (status & head::kReadyBit) != 0 ? 1 : 0;
}

int32_t CSensorModelHead::StartUp() { return WriteHead(head::kRunState, head::kRun, 1) ? 1 : 0; }

int32_t CSensorModelHead::ProgramWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    const uint8_t bytes[2 + kWindowBytes] = {static_cast<uint8_t>(head::kWindow >> 8),
                                             static_cast<uint8_t>(head::kWindow),
                                             static_cast<uint8_t>(x),
                                             static_cast<uint8_t>(x >> 8),
                                             static_cast<uint8_t>(y),
                                             static_cast<uint8_t>(y >> 8),
                                             static_cast<uint8_t>(width),
                                             static_cast<uint8_t>(width >> 8),
                                             static_cast<uint8_t>(height),
                                             static_cast<uint8_t>(height >> 8),
                                             static_cast<uint8_t>(mode)};
    CriticalSectionGuard hold(Conversation());
    return controller->I2cWrite(serialAddress, bytes, sizeof(bytes), kI2cTimeoutMs) ? 1 : 0;
}

int32_t CSensorModelHead::ProgramExposure(int32_t value) {
    if (!WriteHead(head::kExposure, static_cast<uint32_t>(value), 4)) return 0;
    // The other units follow the head's; a setter in one of them puts its exact value after this.
    const double line = LineMicroseconds();
    params.exposureTime = ClampToInt(std::round(value * line / 100.0), 0, INT32_MAX);
    if (Has(kFeatureExposureSeconds)) params.exposureSeconds = value * line * 1e-6;
    return 1;
}

int32_t CSensorModelHead::ProgramGain(int32_t value) {
    return WriteHead(head::kGain, static_cast<uint32_t>(value), 2) ? 1 : 0;
}

int32_t CSensorModelHead::ProgramMirror(Axis axis, int32_t on) {
    const int32_t horizontal = axis == Axis::kHorizontal ? on : params.mirrorH;
    const int32_t vertical = axis == Axis::kVertical ? on : params.mirrorV;
    return WriteHead(head::kMirror, (horizontal ? 1u : 0u) | (vertical ? 2u : 0u), 1) ? 1 : 0;
}

int32_t CSensorModelHead::ProgramTrigger(int32_t mode) {
    if (mode < 0 || mode > 0xFF) return 0;
    return WriteHead(head::kTriggerMode, static_cast<uint32_t>(mode), 1) ? 1 : 0;
}

int32_t CSensorModelHead::ProgramBitDepth(int32_t bits) {
    return WriteHead(head::kBitsPerPixel, static_cast<uint32_t>(bits), 1) ? 1 : 0;
}

int32_t CSensorModelHead::ProgramFrameRate(int32_t on, int32_t rate) {
    if (on && (rate < 1 || rate > kFrameRateMax)) return 0;
    const uint32_t value = (on ? 1u : 0u) | static_cast<uint32_t>(on ? rate : 0) << 8;
    return WriteHead(head::kFrameRate, value, 3) ? 1 : 0;
}

int32_t CSensorModelHead::SetExposureSeconds(double seconds) {
    const double unit = LineMicroseconds() * 1e-6;
    if (!Has(kFeatureExposureSeconds) || std::isnan(seconds) || unit <= 0) return 0;
    seconds = std::clamp(seconds, params.exposureSecondsMin, params.exposureSecondsMax);
    const int32_t raw = ClampToInt(std::round(seconds / unit), params.exposureMin, params.exposureMax);
    if (!SetExposure(raw)) return 0;
    params.exposureSeconds = seconds;
    params.exposureTime = ClampToInt(std::trunc(seconds / kExposureTimeUnitSeconds), 0, INT32_MAX);
    return 1;
}

int32_t CSensorModelHead::SetChannelGain(int32_t channel, int32_t value) {
    if (!HasExtra(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    value = std::clamp(value, 0, kChannelGainMax);
    const auto reg = static_cast<uint16_t>(head::kChannels + 4 * (channel - 1));
    if (!WriteHead(reg, static_cast<uint32_t>(value), 2)) return 0;
    channelGain[static_cast<size_t>(channel - 1)] = value;
    return 1;
}

int32_t CSensorModelHead::GetChannelGain(int32_t channel, int32_t* value) {
    if (!HasExtra(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    return Give(value, channelGain[static_cast<size_t>(channel - 1)]);
}

int32_t CSensorModelHead::GetChannelGainMin(int32_t* value) { return HasExtra(kModelChannels) ? Give(value, 0) : 0; }
int32_t CSensorModelHead::GetChannelGainMax(int32_t* value) {
    return HasExtra(kModelChannels) ? Give(value, kChannelGainMax) : 0;
}
int32_t CSensorModelHead::GetChannelGainDefault(int32_t* value) {
    return HasExtra(kModelChannels) ? Give(value, kChannelGainDefault) : 0;
}

int32_t CSensorModelHead::SetChannelOffset(int32_t channel, int32_t value) {
    if (!HasExtra(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    value = std::clamp(value, 0, kChannelOffsetMax);
    const auto reg = static_cast<uint16_t>(head::kChannels + 4 * (channel - 1) + 2);
    if (!WriteHead(reg, static_cast<uint32_t>(value), 2)) return 0;
    channelOffset[static_cast<size_t>(channel - 1)] = value;
    return 1;
}

int32_t CSensorModelHead::GetChannelOffset(int32_t channel, int32_t* value) {
    if (!HasExtra(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    return Give(value, channelOffset[static_cast<size_t>(channel - 1)]);
}

int32_t CSensorModelHead::GetChannelOffsetMin(int32_t* value) { return HasExtra(kModelChannels) ? Give(value, 0) : 0; }
int32_t CSensorModelHead::GetChannelOffsetMax(int32_t* value) {
    return HasExtra(kModelChannels) ? Give(value, kChannelOffsetMax) : 0;
}
int32_t CSensorModelHead::GetChannelOffsetDefault(int32_t* value) {
    return HasExtra(kModelChannels) ? Give(value, 0) : 0;
}

int32_t CSensorModelHead::SetLevel(int32_t value) {
    if (!Has(kFeatureLevel)) return 0;
    value = std::clamp(value, params.levelMin, params.levelMax);
    if (!WriteHead(head::kLevel, static_cast<uint32_t>(value), 2)) return 0;
    params.level = value;
    return 1;
}

int32_t CSensorModelHead::SetGainStep(int32_t step) {
    if (!HasExtra(kModelGainSteps) || step < params.gainStepMin || step > params.gainStepMax) return 0;
    if (!WriteHead(head::kGainStep, static_cast<uint32_t>(step), 1)) return 0;
    params.gainStep = step;
    return 1;
}

int32_t CSensorModelHead::GetGainStep(int32_t* step) {
    return HasExtra(kModelGainSteps) ? Give(step, params.gainStep) : 0;
}

int32_t CSensorModelHead::GetGainStepLabel(int32_t step, char* label) {
    if (!HasExtra(kModelGainSteps) || label == nullptr || step < 0 || step >= kGainSteps) return 0;
    std::strcpy(label, kGainStepLabels[step]);
    return 1;
}

int32_t CSensorModelHead::SetAnalogMode(int32_t step) {
    if (!HasExtra(kModelAnalogMode) || step < 0 || step >= kAnalogModeSteps || controller == nullptr) return 0;
    if (!controller->WriteFpgaRegister(boardfpga::kAnalogMode, static_cast<uint8_t>(step))) return 0;
    analogMode = step;
    // The analog modes other than 0 need a longer shortest exposure; the exposure set before is
    // applied again under the new limit, clamped to it.
    params.exposureSecondsMin = step != 0 ? kShortestExposureAnalog : kShortestExposurePlain;
    return SetExposureSeconds(params.exposureSeconds);
}

int32_t CSensorModelHead::GetAnalogMode(int32_t* step) {
    return HasExtra(kModelAnalogMode) ? Give(step, analogMode) : 0;
}

int32_t CSensorModelHead::CoolerAvailable() { return Has(kFeatureCooler) ? 1 : 0; }

int32_t CSensorModelHead::GetCoolerState(int32_t* state) { return Has(kFeatureCooler) ? Give(state, coolerState) : 0; }

int32_t CSensorModelHead::SetCoolerState(int32_t state) {
    if (!Has(kFeatureCooler)) return 0;
    const int32_t wanted = state > 0 ? 1 : 0;
    if (!WriteHead(head::kCooler, static_cast<uint32_t>(wanted), 1)) return 0;
    coolerState = wanted;
    return 1;
}

int32_t CSensorModelHead::TemperatureAvailable() { return Has(kFeatureTemperature) ? 1 : 0; }

int32_t CSensorModelHead::ReadTemperature(double* degrees) {
    uint32_t raw = 0;
    if (!Has(kFeatureTemperature) || degrees == nullptr || !ReadHead(head::kTemperature, &raw, 2)) return 0;
    *degrees = static_cast<int16_t>(raw) / static_cast<double>(head::kTemperatureSteps);
    return 1;
}

int32_t CSensorModelHead::AuxSensorAvailable() { return HasExtra(kModelAuxSensor) ? 1 : 0; }

int32_t CSensorModelHead::ReadAuxSensorRegister(int32_t* value) {
    uint32_t raw = 0;
    if (!HasExtra(kModelAuxSensor) || !ReadHead(head::kAuxValue, &raw, 2)) return 0;
    return Give(value, static_cast<int32_t>(raw));
}

int32_t CSensorModelHead::ReadAuxSensor(int32_t* value) {
    if (!HasExtra(kModelAuxSensor) || !WriteHead(head::kAuxStart, 1, 1)) return 0;
    return ReadAuxSensorRegister(value);
}

int32_t CSensorModelHead::SetSensorMode(int32_t, int32_t, int32_t mode) {
    if (!HasExtra(kModelSensorMode) || mode < 0 || mode >= kSensorModes) return 0;
    if (!WriteHead(head::kSensorMode, static_cast<uint32_t>(mode), 1)) return 0;
    sensorMode = mode;
    return 1;
}

int32_t CSensorModelHead::GetSensorMode(int32_t* a, int32_t* b, int32_t* mode) {
    if (!HasExtra(kModelSensorMode)) return 0;
    Give(a, 0);
    Give(b, 0);
    return Give(mode, sensorMode);
}

int32_t CSensorModelHead::SensorModeAvailable() { return HasExtra(kModelSensorMode) ? 1 : 0; }

int32_t CSensorModelHead::GetFpgaFlag() {
    uint8_t value = 0;
    if (!HasExtra(kModelFpgaFlag) || controller == nullptr ||
        !controller->ReadFpgaRegister(boardfpga::kFpgaFlag, &value))
        return -1;
    return value;
}

int32_t CSensorModelHead::WriteFpgaFlag(int32_t value) {
    if (!HasExtra(kModelFpgaFlag) || controller == nullptr) return 0;
    const bool written = controller->WriteFpgaRegister(boardfpga::kFpgaFlag, static_cast<uint8_t>(value)) != 0;
    if (HasExtra(kModelFpgaFlagReport))
        DebugLog(LogCategory::Sensor, "FPGA reg0x80 write %s", written ? "succeed" : "failed");
    return written ? 1 : 0;
}

int32_t CSensorModelHead::ModeSwitchAvailable() { return HasExtra(kModelModeSwitch) ? 1 : 0; }

int32_t CSensorModelHead::GetModeSwitch() { return HasExtra(kModelModeSwitch) ? modeSwitch : -1; }

int32_t CSensorModelHead::SetModeSwitch(int32_t on) {
    if (!HasExtra(kModelModeSwitch)) return 0;
    const int32_t wanted = on ? 1 : 0;
    if (!WriteHead(head::kModeSwitch, static_cast<uint32_t>(wanted), 1)) return 0;
    modeSwitch = wanted;
    return 1;
}
