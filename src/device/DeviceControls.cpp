// Camera controls of the device object. Almost all of them forward to the sensor driver, which
// knows the units and limits of its camera; the device adds the transfer time-outs that follow
// from the exposure, the register paths and the text channel of the 880HQLN head.
#include "device/CKelvraU3G5Base.h"

#include "common/DebugLog.h"
#include "device/FpgaRegisters.h"
#include "device/ProductRules.h"
#include "sensors/SensorBase.h"
#include "usb/CKelvCy3Cam.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int32_t kShortExposureLimit = 50000;
constexpr uint32_t kShortExposureTimeoutMs = 5000;
constexpr int32_t kTextLineBytes = 256;
constexpr double kLongestTimeoutMs = 4294967295.0;
constexpr uint16_t kLastFpgaWithDirectTrigger = 0x110;
constexpr int32_t kFrameReady = 3;
constexpr uint16_t kFpgaModeSwitchBit = 0x8000;
constexpr uint8_t kModeSwitchOn = 15;
constexpr uint8_t kModeSwitchOff = 8;
constexpr int32_t kMaxSwitchSetting = 8;
constexpr int32_t kMaskedTriggerBits = 0x83;

}  // namespace

// The operations that only hand their arguments to the driver.
#define KELVRA_DEVICE_OP(slot, kind, result, name, parameters)
#define KELVRA_DEVICE_FORWARD(slot, kind, result, name, parameters, sensorOperation, arguments, withoutSensor) \
    result CKelvraU3G5Base::name parameters { return sensor ? sensor->sensorOperation arguments : withoutSensor; }
#include "device/DeviceOperations.def"
#undef KELVRA_DEVICE_FORWARD
#undef KELVRA_DEVICE_OP

int32_t CKelvraU3G5Base::GetViaSensor(SensorGetter getter) {
    if (!sensor) return 0;
    int32_t value = 0;
    // A getter that fails leaves the 0 these operations report for "none".
    static_cast<void>((sensor.get()->*getter)(&value));
    return value;
}

int32_t CKelvraU3G5Base::GetClockMode(int32_t* mode) {
    if (!sensor) return 0;
    int32_t value = 0;
    const int32_t result = sensor->GetHalfClock(&value);
    if (result && mode != nullptr) *mode = value;
    return result;
}

int32_t CKelvraU3G5Base::GetVideoFormat(int32_t* startX, int32_t* startY, int32_t* width, int32_t* height,
                                        int32_t* subsampleMode) {
    if (!sensor) return 0;
    // Every driver fills what it is given; the device reports success once a sensor exists.
    static_cast<void>(sensor->GetWindow(startX, width, startY, height, subsampleMode));
    return 1;
}

// The device's horizontal mirror is the sensor's vertical one and the other way round: the
// sensors name their mirrors by readout direction, the session by the picture it shows.
int32_t CKelvraU3G5Base::GetMirrorH() { return GetViaSensor(&CSensorBase::GetMirrorV); }
int32_t CKelvraU3G5Base::GetMirrorV() { return GetViaSensor(&CSensorBase::GetMirrorH); }

int32_t CKelvraU3G5Base::SetTriggerMode(int32_t mode, int32_t force) {
    if (!sensor) return 0;
    if (!force && mode == triggerMode) return 1;
    StopStreaming();
    switch (Rules().trigger) {
        case TriggerSwitch::kFpgaGateWithCounterSync:
            if (!WriteFpgaRegister(fpga::kTrigger, mode ? 1 : 0))
                DebugLog(LogCategory::Device, "trigger gate not written");
            if (!sensor->SetTriggerMode(mode)) DebugLog(LogCategory::Device, "sensor refused trigger mode %d", mode);
            if (mode) SynchroniseFrameCounter();
            break;
        case TriggerSwitch::kFpgaArm: {
            // The sensor always runs triggered here; the FPGA's arm register decides what reaches it.
            int failed = !sensor->SetTriggerMode(1);
            failed += !WriteFpgaRegister(fpga::kTriggerArm, 0);
            if (mode) {
                failed += !WriteFpgaRegister(fpga::kTriggerArm, 1);
            } else {
                failed += !sensor->SetTriggerMode(0);
            }
            if (failed != 0) DebugLog(LogCategory::Device, "trigger arm: %d steps failed", failed);
            break;
        }
        case TriggerSwitch::kFpgaMaskedMode:
            mode &= kMaskedTriggerBits;
            if (!WriteFpgaRegister(fpga::kTrigger, static_cast<uint32_t>(mode)))
                DebugLog(LogCategory::Device, "trigger mode register not written");
            break;
        case TriggerSwitch::kByFpgaVersion:
            SetTriggerModeByFpgaVersion(mode);
            break;
        case TriggerSwitch::kSensor:
            SetTriggerModeOnSensor(mode);
            break;
    }
    triggerMode = mode;
    return 1;
}

void CKelvraU3G5Base::SynchroniseFrameCounter() {
    // A header-only stream takes over the camera's frame number, then the next new frame is awaited.
    lastFrameCounter = 0;
    if (!StartStreaming(3)) return;
    Sleep(10);
    if (WaitForSingleObject(threadEndEvent, 5000) != WAIT_OBJECT_0) return;
    Sleep(10);
    if (!StartStreaming(2)) DebugLog(LogCategory::Device, "next-frame stream after counter sync did not start");
}

// The trigger as the sensor alone switches it; mode 1 starts from the camera's frame counter now.
void CKelvraU3G5Base::SetTriggerModeOnSensor(int32_t mode) {
    if (!sensor->SetTriggerMode(mode)) DebugLog(LogCategory::Device, "sensor refused trigger mode %d", mode);
    if (mode == 1 && !ReadFrameCounter()) DebugLog(LogCategory::Device, "frame counter unreadable");
}

void CKelvraU3G5Base::SetTriggerModeByFpgaVersion(int32_t mode) {
    const uint16_t version = CameraFpgaVersion();
    if (sensor->Controller() == nullptr) return;
    if (version <= kLastFpgaWithDirectTrigger) {
        SetTriggerModeOnSensor(mode);
    } else if (mode == 0) {
        if (!sensor->SetTriggerMode(0)) DebugLog(LogCategory::Device, "sensor refused trigger mode 0");
    } else if (mode == 1) {
        // Newer boards arm the trigger only while a stream waits for the next new frame.
        const int32_t started = StartStreaming(2);
        if (!sensor->SetTriggerMode(1)) DebugLog(LogCategory::Device, "sensor refused trigger mode 1");
        if (started && WaitFrame(60000) == kFrameReady && !ReadFrameCounter())
            DebugLog(LogCategory::Device, "frame counter unreadable");
    }
}

int32_t CKelvraU3G5Base::IsWidthAdjustable() { return sensor ? sensor->Parameters().binningX : 0; }
int32_t CKelvraU3G5Base::IsHeightAdjustable() { return sensor ? sensor->Parameters().binningY : 0; }
int32_t CKelvraU3G5Base::GetSensorWidth() { return sensor ? sensor->Parameters().sensorWidth : 0; }
int32_t CKelvraU3G5Base::GetSensorHeight() { return sensor ? sensor->Parameters().sensorHeight : 0; }
int32_t CKelvraU3G5Base::GetEffectiveWidth() { return sensor ? sensor->Parameters().frameWidth : 0; }
int32_t CKelvraU3G5Base::GetEffectiveHeight() { return sensor ? sensor->Parameters().frameHeight : 0; }
int32_t CKelvraU3G5Base::GetEffectiveStartX() { return sensor ? sensor->Parameters().effectiveStartX : 0; }
int32_t CKelvraU3G5Base::GetEffectiveStartY() { return sensor ? sensor->Parameters().effectiveStartY : 0; }

int32_t CKelvraU3G5Base::GetGlobalGain() { return GetViaSensor(&CSensorBase::GetGain); }
int32_t CKelvraU3G5Base::GetGlobalGainMin() { return GetViaSensor(&CSensorBase::GetGainMin); }
int32_t CKelvraU3G5Base::GetGlobalGainMax() { return GetViaSensor(&CSensorBase::GetGainMax); }
int32_t CKelvraU3G5Base::GetGlobalGainDefault() { return GetViaSensor(&CSensorBase::GetGainDefault); }

int32_t CKelvraU3G5Base::SetExposureTime(int32_t value) {
    // A frame cannot arrive before its exposure ends: long exposures stretch the transfer limit.
    transferTimeout.store(value <= kShortExposureLimit ? kShortExposureTimeoutMs : static_cast<uint32_t>(value / 5));
    if (!sensor) return 0;
    if (Rules().deferredExposure) {
        // This head takes a new exposure only between frames: the acquisition thread applies it.
        pendingExposureValue.store(static_cast<uint32_t>(value));
        pendingExposure.store(1);
        return 1;
    }
    return sensor->SetExposure(value);
}
int32_t CKelvraU3G5Base::GetExposureTime() { return GetViaSensor(&CSensorBase::GetExposure); }
int32_t CKelvraU3G5Base::GetExposureTimeMin() { return GetViaSensor(&CSensorBase::GetExposureMin); }
int32_t CKelvraU3G5Base::GetExposureTimeMax() { return GetViaSensor(&CSensorBase::GetExposureMax); }
int32_t CKelvraU3G5Base::GetExposureTimeDefault() { return GetViaSensor(&CSensorBase::GetExposureDefault); }

int32_t CKelvraU3G5Base::GetIntegrationRaw() { return GetViaSensor(&CSensorBase::GetExposureTime); }
int32_t CKelvraU3G5Base::GetIntegrationRawMin() { return GetViaSensor(&CSensorBase::GetExposureTimeMin); }
int32_t CKelvraU3G5Base::GetIntegrationRawMax() { return GetViaSensor(&CSensorBase::GetExposureTimeMax); }
int32_t CKelvraU3G5Base::GetIntegrationRawDefault() { return GetViaSensor(&CSensorBase::GetExposureTimeDefault); }

int32_t CKelvraU3G5Base::SetRealExposure(double seconds) {
    // Clamped: a double beyond the 32-bit range has no defined integer conversion.
    if (seconds > 2) transferTimeout.store(static_cast<uint32_t>(std::min((seconds + 1) * 1000, kLongestTimeoutMs)));
    return sensor ? sensor->SetExposureSeconds(seconds) : 0;
}

int32_t CKelvraU3G5Base::GetChannelGain(int32_t channel) {
    int32_t value = 0;
    // An unknown channel answers 0, the value this operation reports for "none".
    if (sensor) static_cast<void>(sensor->GetChannelGain(channel, &value));
    return value;
}
int32_t CKelvraU3G5Base::GetChannelGainMin() { return GetViaSensor(&CSensorBase::GetChannelGainMin); }
int32_t CKelvraU3G5Base::GetChannelGainMax() { return GetViaSensor(&CSensorBase::GetChannelGainMax); }
int32_t CKelvraU3G5Base::GetChannelGainDefault() { return GetViaSensor(&CSensorBase::GetChannelGainDefault); }
int32_t CKelvraU3G5Base::GetChannelOffset(int32_t channel) {
    int32_t value = 0;
    // An unknown channel answers 0, the value this operation reports for "none".
    if (sensor) static_cast<void>(sensor->GetChannelOffset(channel, &value));
    return value;
}
int32_t CKelvraU3G5Base::GetChannelOffsetMin() { return GetViaSensor(&CSensorBase::GetChannelOffsetMin); }
int32_t CKelvraU3G5Base::GetChannelOffsetMax() { return GetViaSensor(&CSensorBase::GetChannelOffsetMax); }
int32_t CKelvraU3G5Base::GetChannelOffsetDefault() { return GetViaSensor(&CSensorBase::GetChannelOffsetDefault); }

int32_t CKelvraU3G5Base::GetColorGainRed() { return GetViaSensor(&CSensorBase::GetColorGainRed); }
int32_t CKelvraU3G5Base::GetColorGainGreen1() { return GetViaSensor(&CSensorBase::GetColorGainGreen1); }
int32_t CKelvraU3G5Base::GetColorGainGreen2() { return GetViaSensor(&CSensorBase::GetColorGainGreen2); }
int32_t CKelvraU3G5Base::GetColorGainBlue() { return GetViaSensor(&CSensorBase::GetColorGainBlue); }
int32_t CKelvraU3G5Base::GetColorGainMin() { return GetViaSensor(&CSensorBase::GetRedGainMin); }
int32_t CKelvraU3G5Base::GetColorGainMax() { return GetViaSensor(&CSensorBase::GetRedGainMax); }
int32_t CKelvraU3G5Base::GetColorGainDefault() { return GetViaSensor(&CSensorBase::GetRedGainDefault); }

int32_t CKelvraU3G5Base::GetAuxLevel() { return GetViaSensor(&CSensorBase::GetLevel); }
int32_t CKelvraU3G5Base::GetAuxLevelMin() { return GetViaSensor(&CSensorBase::GetLevelMin); }
int32_t CKelvraU3G5Base::GetAuxLevelMax() { return GetViaSensor(&CSensorBase::GetLevelMax); }
int32_t CKelvraU3G5Base::GetAuxLevelDefault() { return GetViaSensor(&CSensorBase::GetLevelDefault); }

int32_t CKelvraU3G5Base::ReadSensorRegister(uint32_t address, int32_t* success) {
    uint32_t value = 0;
    if (!sensor || !sensor->ReadRegister(address, &value)) return 0;
    if (success != nullptr) *success = 1;
    return static_cast<int32_t>(value);
}

int32_t CKelvraU3G5Base::WriteFpgaRegister(uint32_t address, uint32_t value) {
    if (!controller || Rules().singleTransfer) return 0;
    return controller->WriteFpgaRegister(static_cast<uint8_t>(address), static_cast<uint8_t>(value)) ? 1 : 0;
}

int32_t CKelvraU3G5Base::ReadFpgaRegister(uint32_t address, int32_t* success) {
    uint8_t value = 0;
    const bool read =
        controller && !Rules().singleTransfer && controller->ReadFpgaRegister(static_cast<uint8_t>(address), &value);
    if (success != nullptr) *success = read ? 1 : 0;
    return read ? value : 0;
}

int32_t CKelvraU3G5Base::Reserved115() { return 0; }
int32_t CKelvraU3G5Base::Reserved116() { return 0; }

int32_t CKelvraU3G5Base::SensorPreviewHook() {
    if (!sensor) return 0;
    sensor->RestartStream();
    return 1;
}

void CKelvraU3G5Base::SensorStreamHook() {
    if (sensor) sensor->WriteAuxSetting();
}

int32_t CKelvraU3G5Base::ReceiveSensorText(char* buffer, int32_t length) {
    if (!sensor || !Rules().textChannel) return 0;
    char line[kTextLineBytes] = {};
    const int32_t received = sensor->ReceiveText(line, kTextLineBytes);
    // The count may exceed what the line buffer holds (a CR at the line limit is stored as CR LF).
    const int32_t copied = buffer == nullptr ? 0 : std::min({length, received, kTextLineBytes});
    if (copied > 0) std::memcpy(buffer, line, static_cast<size_t>(copied));
    return received;
}

int32_t CKelvraU3G5Base::SendSensorText(const char* text, int32_t length) {
    if (!sensor || !Rules().textChannel || text == nullptr || length < 0) return 0;
    std::unique_ptr<char[]> terminated(new (std::nothrow) char[static_cast<size_t>(length) + 1]());
    if (!terminated) return 0;
    // A caller's string may end before length: nothing past its terminator is read.
    for (int32_t i = 0; i < length && text[i] != '\0'; ++i) terminated[i] = text[i];
    return sensor->SendText(terminated.get(), length + 1);
}

int32_t CKelvraU3G5Base::GetPeltier() { return GetViaSensor(&CSensorBase::GetCoolerState); }

int32_t CKelvraU3G5Base::GetGainStep(int32_t* value) {
    if (!sensor) return 0;
    int32_t step = 0;
    const int32_t result = sensor->GetGainStep(&step);
    if (result && value != nullptr) *value = step;
    return result;
}

// The on/off feature of the family is the sensor's automatic level.
int32_t CKelvraU3G5Base::GetFeatureSwitch() { return GetViaSensor(&CSensorBase::GetAutoLevel); }

// A device carries one sensor, so index 0 is the only one there is.
int32_t CKelvraU3G5Base::SetSamplingRate(int32_t sensorIndex, int32_t value, int32_t* rate) {
    return sensor && sensorIndex == 0 ? sensor->SetSamplingRate(value, rate) : 0;
}

// The device's gain mode is the flag the head keeps in its FPGA; heads with sensor modes have it.

uint16_t CKelvraU3G5Base::CameraFpgaVersion() {
    // Read once per sensor and kept there: the version does not change while a camera is open.
    uint16_t version = sensor->FpgaVersion();
    if (version == 0 && controller && controller->ReadFpgaRegisterPair(&version)) sensor->SetFpgaVersion(version);
    return version;
}

bool CKelvraU3G5Base::ModeSwitchSupported() {
    if (!sensor) return false;
    switch (Rules().modeSwitch) {
        case ModeSwitchRule::kSwitchRegister:
        case ModeSwitchRule::kAnalogMode:
            return true;
        case ModeSwitchRule::kFlagRegister:
            return (CameraFpgaVersion() & kFpgaModeSwitchBit) != 0;
        case ModeSwitchRule::kNone:
            break;
    }
    return false;
}

int32_t CKelvraU3G5Base::HasModeSwitch() { return ModeSwitchSupported() ? 1 : 0; }

int32_t CKelvraU3G5Base::ReadModeSwitchState() {
    uint8_t value = 0;
    switch (Rules().modeSwitch) {
        case ModeSwitchRule::kSwitchRegister:
            return controller && controller->ReadFpgaRegister(fpga::kModeSwitch, &value) && value == kModeSwitchOn ? 1
                                                                                                                   : 0;
        case ModeSwitchRule::kAnalogMode: {
            // The switch of this head is its analog mode: steps 1 to 8 are on, 0 is off.
            int32_t state = 0;
            if (!sensor->GetAnalogMode(&state)) return 0;
            uint8_t stored = 0;
            // The sensor's setting is the one to keep when the SROM holds none that is valid.
            if (ReadSromSetting(&stored) && (stored == 0 || stored > kMaxSwitchSetting) && state >= 1 &&
                state <= kMaxSwitchSetting && !WriteSromSetting(state))
                DebugLog(LogCategory::Device, "mode switch step not kept in the SROM");
            return state >= 1 && state <= kMaxSwitchSetting ? 1 : 0;
        }
        case ModeSwitchRule::kFlagRegister:
        case ModeSwitchRule::kNone:
            break;
    }
    return controller && controller->ReadFpgaRegister(fpga::kModeSwitchFlags, &value) && (value & 1) ? 1 : 0;
}

int32_t CKelvraU3G5Base::GetModeSwitch() { return ModeSwitchSupported() ? ReadModeSwitchState() : 0; }

int32_t CKelvraU3G5Base::SetModeSwitch(int32_t on) {
    if (!ModeSwitchSupported() || !controller) return 0;
    const int32_t wanted = on ? 1 : 0;
    if (ReadModeSwitchState() == wanted) return 1;
    switch (Rules().modeSwitch) {
        case ModeSwitchRule::kSwitchRegister:
            return controller->WriteFpgaRegister(fpga::kModeSwitch, wanted ? kModeSwitchOn : kModeSwitchOff) ? 1 : 0;
        case ModeSwitchRule::kAnalogMode: {
            if (!wanted) return sensor->SetAnalogMode(0);
            uint8_t setting = 0;
            if (!ReadSromSetting(&setting)) return 0;
            return sensor->SetAnalogMode(setting);
        }
        case ModeSwitchRule::kFlagRegister:
        case ModeSwitchRule::kNone:
            break;
    }
    uint8_t flags = 0;
    if (!controller->ReadFpgaRegister(fpga::kModeSwitchFlags, &flags)) return 0;
    flags = static_cast<uint8_t>(wanted ? flags | 1 : flags & ~1);
    return controller->WriteFpgaRegister(fpga::kModeSwitchFlags, flags) ? 1 : 0;
}

// The level registers come with the flag-register switch.
int32_t CKelvraU3G5Base::HasLevel() {
    return Rules().modeSwitch == ModeSwitchRule::kFlagRegister && ModeSwitchSupported() ? 1 : 0;
}

int32_t CKelvraU3G5Base::SetLevel(int32_t value) {
    if (!HasLevel() || !controller) return 0;
    const bool low = controller->WriteFpgaRegister(fpga::kLevelLow, static_cast<uint8_t>(value & 0xFF));
    const bool high = controller->WriteFpgaRegister(fpga::kLevelHigh, static_cast<uint8_t>((value >> 8) & 0xFF));
    return low && high ? 1 : 0;
}

int32_t CKelvraU3G5Base::GetLevel(int32_t* value) {
    if (!HasLevel() || !controller) return 0;
    uint8_t low = 0;
    uint8_t high = 0;
    if (!controller->ReadFpgaRegister(fpga::kLevelLow, &low) || !controller->ReadFpgaRegister(fpga::kLevelHigh, &high))
        return 0;
    if (value != nullptr) *value = high * 256 + low;
    return 1;
}

int32_t CKelvraU3G5Base::GetLevelMin() { return 0; }
int32_t CKelvraU3G5Base::GetLevelMax() { return HasLevel() ? 0xFFFF : 0; }
