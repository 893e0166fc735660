#include "sensors/models/ModelHead.h"

#include "common/DebugLog.h"
#include "usb/CControllerBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kI2cTimeoutMs = 3000;
constexpr int kMaxValueBytes = 9;  // the window is the widest group
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

CSensorModelHead::CSensorModelHead(CControllerBase* controllerInterface, uint8_t address, const ModelDescriptor& values)
    : CSensorCommon(controllerInterface, address), model(values) {
    params.sensorWidth = model.width;
    params.sensorHeight = model.height;
    params.frameWidth = model.width;
    params.frameHeight = model.height;
    params.windowWidth = model.width;
    params.windowHeight = model.height;
    // Every window inside the readout area can be set: the session may narrow it in both ways.
    params.binningX = 1;
    params.binningY = 1;
    variant = model.variant;
    params.pixelClockKHz = model.pixelClockKHz;
    params.bitsPerPixel = model.bitsNarrow;

    params.gainMin = model.gainMin;
    params.gainMax = model.gainMax;
    params.gain = model.gain;
    params.gainDefault = model.gain;
    params.gainSupported = Has(kModelGain) ? 1 : 0;

    params.exposureMin = model.exposureMin;
    params.exposureMax = model.exposureMax;
    params.exposure = model.exposure;
    params.exposureDefault = model.exposure;
    params.exposureSupported = Has(kModelExposure) ? 1 : 0;
    if (Has(kModelExposure)) {
        params.exposureTimeMin = std::max(1, TimeOfRaw(model.exposureMin));
        params.exposureTimeMax = std::max(params.exposureTimeMin, TimeOfRaw(model.exposureMax));
        params.exposureTime = std::clamp(TimeOfRaw(model.exposure), params.exposureTimeMin, params.exposureTimeMax);
        params.exposureTimeDefault = params.exposureTime;
        params.exposureTimeSupported = 1;
    }
    if (Has(kModelExposureSeconds)) {
        params.exposureSecondsMin = model.exposureMin * model.exposureUnitSeconds;
        // The 0x31E0 head starts in analog mode 0, whose shortest exposure is longer than its unit.
        if (Has(kModelAnalogMode)) params.exposureSecondsMin = kShortestExposurePlain;
        params.exposureSecondsMax = model.exposureMax * model.exposureUnitSeconds;
        params.exposureSeconds = model.exposure * model.exposureUnitSeconds;
        params.exposureSecondsDefault = params.exposureSeconds;
        params.exposureSecondsSupported = 1;
    }

    if (Has(kModelMirrors)) {
        params.mirrorHSupported = 1;
        params.mirrorVSupported = 1;
    }
    if (Has(kModelLevel)) {
        params.levelMin = model.levelMin;
        params.levelMax = model.levelMax;
        params.level = model.level;
        params.levelDefault = model.level;
        params.levelSupported = 1;
    }
    if (Has(kModelGainSteps)) {
        params.gainStepMin = 0;
        params.gainStepMax = kGainSteps - 1;
        params.gainStepSupported = 1;
    }
    channelGain.fill(kChannelGainDefault);
}

int32_t CSensorModelHead::TimeOfRaw(int32_t raw) const {
    return ClampToInt(std::round(raw * model.exposureUnitSeconds / kExposureTimeUnitSeconds), 0, INT32_MAX);
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

int32_t CSensorModelHead::Initialize() {
    if (!WriteHead(head::kRunState, head::kRun, 1)) return 0;
    bool applied = true;
    if (Has(kModelGain)) applied = SetGain(params.gainDefault) && applied;
    if (Has(kModelExposure)) applied = SetExposure(params.exposureDefault) && applied;
    if (Has(kModelMirrors)) applied = WriteMirrors(params.mirrorHDefault, params.mirrorVDefault) && applied;
    return SetWindow(0, params.frameWidth, 0, params.frameHeight, 0) && applied ? 1 : 0;
}

int32_t CSensorModelHead::SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    // The heads read out whole pixels only: subsampling is the session's business.
    if (mode != 0 || x < 0 || y < 0 || width <= 0 || height <= 0) return 0;
    if (x > params.frameWidth - width || y > params.frameHeight - height) return 0;
    if (controller == nullptr) return 0;
    const uint8_t bytes[2 + kMaxValueBytes] = {static_cast<uint8_t>(head::kWindow >> 8),
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
    {
        CriticalSectionGuard hold(Conversation());
        if (!controller->I2cWrite(serialAddress, bytes, sizeof(bytes), kI2cTimeoutMs)) return 0;
    }
    params.windowX = x;
    params.windowY = y;
    params.windowWidth = width;
    params.windowHeight = height;
    params.windowMode = mode;
    return 1;
}

int32_t CSensorModelHead::SetTriggerMode(int32_t mode) {
    if (!Has(kModelTrigger) || mode < 0 || mode > 0xFF) return 0;
    if (!WriteHead(head::kTriggerMode, static_cast<uint32_t>(mode), 1)) return 0;
    triggerMode = mode;
    return 1;
}

int32_t CSensorModelHead::SetBitDepth(int32_t wide) {
    if (!Has(kModelBitDepth)) return 0;
    const int32_t bits = wide ? model.bitsWide : model.bitsNarrow;
    if (!WriteHead(head::kBitsPerPixel, static_cast<uint32_t>(bits), 1)) return 0;
    params.bitsPerPixel = bits;
    return 1;
}

int32_t CSensorModelHead::ApplyExposure(int32_t raw, double seconds, int32_t time) {
    if (!WriteHead(head::kExposure, static_cast<uint32_t>(raw), 4)) return 0;
    params.exposure = raw;
    params.exposureTime = time;
    if (Has(kModelExposureSeconds)) params.exposureSeconds = seconds;
    return 1;
}

int32_t CSensorModelHead::SetExposure(int32_t value) {
    if (!Has(kModelExposure)) return 0;
    const int32_t raw = std::clamp(value, params.exposureMin, params.exposureMax);
    return ApplyExposure(raw, raw * model.exposureUnitSeconds, TimeOfRaw(raw));
}

int32_t CSensorModelHead::SetExposureTime(int32_t time) {
    if (!Has(kModelExposure)) return 0;
    time = std::clamp(time, params.exposureTimeMin, params.exposureTimeMax);
    const double seconds = time * kExposureTimeUnitSeconds;
    const int32_t raw =
        ClampToInt(std::round(seconds / model.exposureUnitSeconds), params.exposureMin, params.exposureMax);
    return ApplyExposure(raw, seconds, time);
}

int32_t CSensorModelHead::SetExposureSeconds(double seconds) {
    if (!Has(kModelExposureSeconds) || std::isnan(seconds)) return 0;
    seconds = std::clamp(seconds, params.exposureSecondsMin, params.exposureSecondsMax);
    const int32_t raw =
        ClampToInt(std::round(seconds / model.exposureUnitSeconds), params.exposureMin, params.exposureMax);
    return ApplyExposure(raw, seconds, ClampToInt(std::trunc(seconds / kExposureTimeUnitSeconds), 0, INT32_MAX));
}

int32_t CSensorModelHead::SetGain(int32_t value) {
    if (!Has(kModelGain)) return 0;
    value = std::clamp(value, params.gainMin, params.gainMax);
    if (!WriteHead(head::kGain, static_cast<uint32_t>(value), 2)) return 0;
    params.gain = value;
    return 1;
}

int32_t CSensorModelHead::SetChannelGain(int32_t channel, int32_t value) {
    if (!Has(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    value = std::clamp(value, 0, kChannelGainMax);
    const auto reg = static_cast<uint16_t>(head::kChannels + 4 * (channel - 1));
    if (!WriteHead(reg, static_cast<uint32_t>(value), 2)) return 0;
    channelGain[static_cast<size_t>(channel - 1)] = value;
    return 1;
}

int32_t CSensorModelHead::GetChannelGain(int32_t channel, int32_t* value) {
    if (!Has(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    return Give(value, channelGain[static_cast<size_t>(channel - 1)]);
}

int32_t CSensorModelHead::GetChannelGainMin(int32_t* value) { return Has(kModelChannels) ? Give(value, 0) : 0; }
int32_t CSensorModelHead::GetChannelGainMax(int32_t* value) {
    return Has(kModelChannels) ? Give(value, kChannelGainMax) : 0;
}
int32_t CSensorModelHead::GetChannelGainDefault(int32_t* value) {
    return Has(kModelChannels) ? Give(value, kChannelGainDefault) : 0;
}

int32_t CSensorModelHead::SetChannelOffset(int32_t channel, int32_t value) {
    if (!Has(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    value = std::clamp(value, 0, kChannelOffsetMax);
    const auto reg = static_cast<uint16_t>(head::kChannels + 4 * (channel - 1) + 2);
    if (!WriteHead(reg, static_cast<uint32_t>(value), 2)) return 0;
    channelOffset[static_cast<size_t>(channel - 1)] = value;
    return 1;
}

int32_t CSensorModelHead::GetChannelOffset(int32_t channel, int32_t* value) {
    if (!Has(kModelChannels) || channel < 1 || channel > kChannelCount) return 0;
    return Give(value, channelOffset[static_cast<size_t>(channel - 1)]);
}

int32_t CSensorModelHead::GetChannelOffsetMin(int32_t* value) { return Has(kModelChannels) ? Give(value, 0) : 0; }
int32_t CSensorModelHead::GetChannelOffsetMax(int32_t* value) {
    return Has(kModelChannels) ? Give(value, kChannelOffsetMax) : 0;
}
int32_t CSensorModelHead::GetChannelOffsetDefault(int32_t* value) { return Has(kModelChannels) ? Give(value, 0) : 0; }

int32_t CSensorModelHead::SetLevel(int32_t value) {
    if (!Has(kModelLevel)) return 0;
    value = std::clamp(value, params.levelMin, params.levelMax);
    if (!WriteHead(head::kLevel, static_cast<uint32_t>(value), 2)) return 0;
    params.level = value;
    return 1;
}

int32_t CSensorModelHead::SetGainStep(int32_t step) {
    if (!Has(kModelGainSteps) || step < params.gainStepMin || step > params.gainStepMax) return 0;
    if (!WriteHead(head::kGainStep, static_cast<uint32_t>(step), 1)) return 0;
    params.gainStep = step;
    return 1;
}

int32_t CSensorModelHead::GetGainStep(int32_t* step) { return Has(kModelGainSteps) ? Give(step, params.gainStep) : 0; }

int32_t CSensorModelHead::GetGainStepLabel(int32_t step, char* label) {
    if (!Has(kModelGainSteps) || label == nullptr || step < 0 || step >= kGainSteps) return 0;
    std::strcpy(label, kGainStepLabels[step]);
    return 1;
}

int32_t CSensorModelHead::WriteMirrors(int32_t horizontal, int32_t vertical) {
    const uint32_t bits = (horizontal ? 1u : 0u) | (vertical ? 2u : 0u);
    if (!WriteHead(head::kMirror, bits, 1)) return 0;
    params.mirrorH = horizontal ? 1 : 0;
    params.mirrorV = vertical ? 1 : 0;
    return 1;
}

int32_t CSensorModelHead::SetMirrorH(int32_t on) { return Has(kModelMirrors) ? WriteMirrors(on, params.mirrorV) : 0; }
int32_t CSensorModelHead::SetMirrorV(int32_t on) { return Has(kModelMirrors) ? WriteMirrors(params.mirrorH, on) : 0; }

int32_t CSensorModelHead::SetFrameRate(int32_t on, int32_t rate) {
    if (!Has(kModelFrameRate)) return 0;
    if (on && (rate < 1 || rate > kFrameRateMax)) return 0;
    const uint32_t value = (on ? 1u : 0u) | static_cast<uint32_t>(on ? rate : 0) << 8;
    return WriteHead(head::kFrameRate, value, 3) ? 1 : 0;
}

int32_t CSensorModelHead::SetAnalogMode(int32_t step) {
    if (!Has(kModelAnalogMode) || step < 0 || step >= kAnalogModeSteps || controller == nullptr) return 0;
    if (!controller->WriteFpgaRegister(boardfpga::kAnalogMode, static_cast<uint8_t>(step))) return 0;
    analogMode = step;
    // The analog modes other than 0 need a longer shortest exposure; the exposure set before is
    // applied again under the new limit, clamped to it.
    params.exposureSecondsMin = step != 0 ? kShortestExposureAnalog : kShortestExposurePlain;
    return SetExposureSeconds(params.exposureSeconds);
}

int32_t CSensorModelHead::GetAnalogMode(int32_t* step) { return Has(kModelAnalogMode) ? Give(step, analogMode) : 0; }

int32_t CSensorModelHead::CoolerAvailable() { return Has(kModelCooler) ? 1 : 0; }

int32_t CSensorModelHead::GetCoolerState(int32_t* state) { return Has(kModelCooler) ? Give(state, coolerState) : 0; }

int32_t CSensorModelHead::SetCoolerState(int32_t state) {
    if (!Has(kModelCooler)) return 0;
    const int32_t wanted = state > 0 ? 1 : 0;
    if (!WriteHead(head::kCooler, static_cast<uint32_t>(wanted), 1)) return 0;
    coolerState = wanted;
    return 1;
}

int32_t CSensorModelHead::TemperatureAvailable() { return Has(kModelHeadTemperature) ? 1 : 0; }

int32_t CSensorModelHead::ReadTemperature(double* degrees) {
    uint32_t raw = 0;
    if (!Has(kModelHeadTemperature) || degrees == nullptr || !ReadHead(head::kTemperature, &raw, 2)) return 0;
    *degrees = static_cast<int16_t>(raw) / static_cast<double>(head::kTemperatureSteps);
    return 1;
}

int32_t CSensorModelHead::AuxSensorAvailable() { return Has(kModelAuxSensor) ? 1 : 0; }

int32_t CSensorModelHead::ReadAuxSensorRegister(int32_t* value) {
    uint32_t raw = 0;
    if (!Has(kModelAuxSensor) || !ReadHead(head::kAuxValue, &raw, 2)) return 0;
    return Give(value, static_cast<int32_t>(raw));
}

int32_t CSensorModelHead::ReadAuxSensor(int32_t* value) {
    if (!Has(kModelAuxSensor) || !WriteHead(head::kAuxStart, 1, 1)) return 0;
    return ReadAuxSensorRegister(value);
}

int32_t CSensorModelHead::SetSensorMode(int32_t, int32_t, int32_t mode) {
    if (!Has(kModelSensorMode) || mode < 0 || mode >= kSensorModes) return 0;
    if (!WriteHead(head::kSensorMode, static_cast<uint32_t>(mode), 1)) return 0;
    sensorMode = mode;
    return 1;
}

int32_t CSensorModelHead::GetSensorMode(int32_t* a, int32_t* b, int32_t* mode) {
    if (!Has(kModelSensorMode)) return 0;
    Give(a, 0);
    Give(b, 0);
    return Give(mode, sensorMode);
}

int32_t CSensorModelHead::SensorModeAvailable() { return Has(kModelSensorMode) ? 1 : 0; }

int32_t CSensorModelHead::GetFpgaFlag() {
    uint8_t value = 0;
    if (!Has(kModelFpgaFlag) || controller == nullptr || !controller->ReadFpgaRegister(boardfpga::kFpgaFlag, &value))
        return -1;
    return value;
}

int32_t CSensorModelHead::WriteFpgaFlag(int32_t value) {
    if (!Has(kModelFpgaFlag) || controller == nullptr) return 0;
    const bool written = controller->WriteFpgaRegister(boardfpga::kFpgaFlag, static_cast<uint8_t>(value)) != 0;
    if (Has(kModelFpgaFlagReport))
        DebugLog(LogCategory::Sensor, "FPGA reg0x80 write %s", written ? "succeed" : "failed");
    return written ? 1 : 0;
}

int32_t CSensorModelHead::ModeSwitchAvailable() { return Has(kModelModeSwitch) ? 1 : 0; }

int32_t CSensorModelHead::GetModeSwitch() { return Has(kModelModeSwitch) ? modeSwitch : -1; }

int32_t CSensorModelHead::SetModeSwitch(int32_t on) {
    if (!Has(kModelModeSwitch)) return 0;
    const int32_t wanted = on ? 1 : 0;
    if (!WriteHead(head::kModeSwitch, static_cast<uint32_t>(wanted), 1)) return 0;
    modeSwitch = wanted;
    return 1;
}
