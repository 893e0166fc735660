#include "sensors/SensorBase.h"

#include "sensors/HeadConversation.h"

#include <cstring>

namespace {

// Base range getters answer with the range's supported flag and still hand out the stored value,
// so a caller that ignores the flag sees the constructor's numbers.
template <typename T>
int32_t ReportRange(T* out, T value, int32_t supported) {
    if (out != nullptr) *out = value;
    return supported;
}

}  // namespace

CSensorBase::CSensorBase(CControllerBase* controllerInterface, uint8_t address)
    : controller(controllerInterface), serialAddress(address) {}

CSensorBase::~CSensorBase() = default;

void CSensorBase::SetDevicePath(const char* devicePath) { sharedConversation = ConversationLockFor(devicePath); }

void CSensorBase::BeginCommandSequence() {
    // Only the outermost sequence starts afresh: an inner one must not forget that the camera
    // already failed to answer the outer one.
    if (sequenceDepth.fetch_add(1) == 0) answerLoss.store(AnswerLoss::kNone);
}

void CSensorBase::EndCommandSequence() { sequenceDepth.fetch_sub(1); }

int32_t CSensorBase::SetVariant(int32_t code) {
    variant = code;
    return 1;
}

void CSensorBase::SetTriggerModeValue(int32_t value) { triggerMode = value; }
int32_t CSensorBase::GetTriggerModeValue() { return triggerMode; }
int32_t CSensorBase::IsCameraReady() { return 0; }
int32_t CSensorBase::Initialize() { return 0; }
int32_t CSensorBase::Identify() { return 0; }
int32_t CSensorBase::ResetSensor() { return 0; }
int32_t CSensorBase::SetWindow(int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
int32_t CSensorBase::GetWindow(int32_t*, int32_t*, int32_t*, int32_t*, int32_t*) { return 0; }
int32_t CSensorBase::SetTriggerMode(int32_t) { return 0; }
int32_t CSensorBase::GetTriggerMode(int32_t*) { return 0; }
int32_t CSensorBase::SetReadoutOption(int32_t) { return 0; }
int32_t CSensorBase::ApplyReadoutOption() { return 0; }
int32_t CSensorBase::SupportsReadoutOption() { return 0; }
int32_t CSensorBase::SetBitDepth(int32_t) { return 0; }
int32_t CSensorBase::SetExposure(int32_t) { return 0; }
int32_t CSensorBase::GetExposure(int32_t*) { return 0; }
int32_t CSensorBase::SetGain(int32_t) { return 0; }
int32_t CSensorBase::GetGain(int32_t*) { return 0; }
int32_t CSensorBase::SetColorGainRed(int32_t) { return 0; }
int32_t CSensorBase::GetColorGainRed(int32_t*) { return 0; }
int32_t CSensorBase::SetColorGainGreen1(int32_t) { return 0; }
int32_t CSensorBase::GetColorGainGreen1(int32_t*) { return 0; }
int32_t CSensorBase::SetColorGainGreen2(int32_t) { return 0; }
int32_t CSensorBase::GetColorGainGreen2(int32_t*) { return 0; }
int32_t CSensorBase::SetColorGainBlue(int32_t) { return 0; }
int32_t CSensorBase::GetColorGainBlue(int32_t*) { return 0; }
int32_t CSensorBase::GetExposureMin(int32_t*) { return 0; }
int32_t CSensorBase::GetExposureMax(int32_t*) { return 0; }
int32_t CSensorBase::GetExposureDefault(int32_t*) { return 0; }
int32_t CSensorBase::GetGainMin(int32_t*) { return 0; }
int32_t CSensorBase::GetGainMax(int32_t*) { return 0; }
int32_t CSensorBase::GetGainDefault(int32_t*) { return 0; }
int32_t CSensorBase::GetRedGainMin(int32_t*) { return 0; }
int32_t CSensorBase::GetRedGainMax(int32_t*) { return 0; }
int32_t CSensorBase::GetRedGainDefault(int32_t*) { return 0; }
int32_t CSensorBase::SetChannelGain(int32_t, int32_t) { return 0; }
int32_t CSensorBase::GetChannelGain(int32_t, int32_t*) { return 0; }
int32_t CSensorBase::GetChannelGainMin(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelGainMax(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelGainDefault(int32_t*) { return 0; }
int32_t CSensorBase::SetChannelOffset(int32_t, int32_t) { return 0; }
int32_t CSensorBase::GetChannelOffset(int32_t, int32_t*) { return 0; }
int32_t CSensorBase::GetChannelOffsetMin(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelOffsetMax(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelOffsetDefault(int32_t*) { return 0; }
int32_t CSensorBase::IsLevelSupported() { return params.levelSupported; }
int32_t CSensorBase::SetLevel(int32_t) { return 0; }
int32_t CSensorBase::GetLevel(int32_t* value) { return ReportRange(value, params.level, params.levelSupported); }

int32_t CSensorBase::GetLevelMin(int32_t* value) { return ReportRange(value, params.levelMin, params.levelSupported); }

int32_t CSensorBase::GetLevelMax(int32_t* value) { return ReportRange(value, params.levelMax, params.levelSupported); }

int32_t CSensorBase::GetLevelDefault(int32_t* value) {
    return ReportRange(value, params.levelDefault, params.levelSupported);
}

int32_t CSensorBase::IsGainStepSupported() { return params.gainStepSupported; }
int32_t CSensorBase::GetGainStepMin(int32_t* value) {
    return ReportRange(value, params.gainStepMin, params.gainStepSupported);
}

int32_t CSensorBase::GetGainStepMax(int32_t* value) {
    return ReportRange(value, params.gainStepMax, params.gainStepSupported);
}

int32_t CSensorBase::GetGainStepDefault(int32_t* value) {
    return ReportRange(value, params.gainStepDefault, params.gainStepSupported);
}

int32_t CSensorBase::GetGainStepValue(int32_t* value) {
    return ReportRange(value, params.gainStep, params.gainStepSupported);
}

int32_t CSensorBase::SetGainStep(int32_t) { return 0; }
int32_t CSensorBase::GetGainStep(int32_t*) { return 0; }
int32_t CSensorBase::GetGainStepLabel(int32_t, char*) { return 0; }
int32_t CSensorBase::SetExposureTime(int32_t) { return 0; }
int32_t CSensorBase::GetExposureTime(int32_t*) { return 0; }
int32_t CSensorBase::GetExposureTimeMin(int32_t*) { return 0; }
int32_t CSensorBase::GetExposureTimeMax(int32_t*) { return 0; }
int32_t CSensorBase::GetExposureTimeDefault(int32_t*) { return 0; }
int32_t CSensorBase::SetMirrorH(int32_t) { return 0; }
int32_t CSensorBase::GetMirrorH(int32_t*) { return 0; }
int32_t CSensorBase::SetMirrorV(int32_t) { return 0; }
int32_t CSensorBase::GetMirrorV(int32_t*) { return 0; }
int32_t CSensorBase::GetMirrorHDefault() { return params.mirrorHDefault; }
int32_t CSensorBase::GetMirrorVDefault() { return params.mirrorVDefault; }
int32_t CSensorBase::IsMirrorHSupported() { return params.mirrorHSupported; }
int32_t CSensorBase::IsMirrorVSupported() { return params.mirrorVSupported; }
int32_t CSensorBase::SetFrameRate(int32_t, int32_t) { return 0; }
int32_t CSensorBase::WriteRegister(uint32_t, uint32_t) { return 0; }
int32_t CSensorBase::ReadRegister(uint32_t, uint32_t*) { return 0; }
int32_t CSensorBase::WriteRegisterVerified(uint32_t, uint32_t) { return 0; }
int32_t CSensorBase::ReadRegisterWhenIdle(uint32_t, uint32_t*) { return 0; }
int32_t CSensorBase::SetSamplingRate(int32_t, int32_t*) { return 0; }
int32_t CSensorBase::ReservedSlot80() { return 0; }
int32_t CSensorBase::ReservedSlot81() { return 0; }
int32_t CSensorBase::ReservedSlot82() { return 0; }
int32_t CSensorBase::ReservedSlot83() { return 0; }
int32_t CSensorBase::SetHalfClock(int32_t) { return 0; }
int32_t CSensorBase::GetHalfClock(int32_t*) { return 0; }
int32_t CSensorBase::ReservedSlot86() { return 0; }
int32_t CSensorBase::ReservedSlot87() { return 0; }
int32_t CSensorBase::CopyParameters(SensorParameters* block) {
    if (block == nullptr) return 0;
    std::memcpy(block, &params, sizeof(params));
    return 1;
}

void CSensorBase::RestartStream() {}
void CSensorBase::WriteAuxSetting() {}
int32_t CSensorBase::SetAnalogMode(int32_t) { return 0; }
int32_t CSensorBase::GetAnalogMode(int32_t*) { return 0; }
int32_t CSensorBase::CoolerAvailable() { return 0; }
int32_t CSensorBase::GetCoolerState(int32_t*) { return 0; }
int32_t CSensorBase::SetCoolerState(int32_t) { return 0; }
int32_t CSensorBase::TemperatureAvailable() { return 0; }
int32_t CSensorBase::ReadTemperature(double*) { return 0; }
void CSensorBase::StopMonitor() {}
void CSensorBase::StopMonitorAndClear() {}
int32_t CSensorBase::MonitorAvailable() { return 0; }
int32_t CSensorBase::ReadMonitorStatus(int32_t*) { return 0; }
int32_t CSensorBase::SetMonitorMode(int32_t) { return 0; }
int32_t CSensorBase::ReceiveText(char*, int32_t) { return 0; }
int32_t CSensorBase::SendText(const char*, int32_t) { return 0; }
int32_t CSensorBase::AuxSensorAvailable() { return 0; }
int32_t CSensorBase::ReadAuxSensorRegister(int32_t*) { return 0; }
int32_t CSensorBase::ReadAuxSensor(int32_t*) { return 0; }
int32_t CSensorBase::TargetTemperatureAvailable() { return 0; }
int32_t CSensorBase::ReservedSensorOpA() { return 0; }
int32_t CSensorBase::ReservedSensorOpB() { return 0; }
int32_t CSensorBase::GetTargetTemperature(int32_t*) { return 0; }
int32_t CSensorBase::SetTargetTemperature(int32_t) { return 0; }
int32_t CSensorBase::IsExposureSecondsSupported() { return params.exposureSecondsSupported; }
int32_t CSensorBase::GetExposureSecondsMin(double* seconds) {
    return ReportRange(seconds, params.exposureSecondsMin, params.exposureSecondsSupported);
}

int32_t CSensorBase::GetExposureSecondsMax(double* seconds) {
    return ReportRange(seconds, params.exposureSecondsMax, params.exposureSecondsSupported);
}

int32_t CSensorBase::GetExposureSecondsDefault(double* seconds) {
    return ReportRange(seconds, params.exposureSecondsDefault, params.exposureSecondsSupported);
}

int32_t CSensorBase::GetExposureSeconds(double* seconds) {
    return ReportRange(seconds, params.exposureSeconds, params.exposureSecondsSupported);
}

int32_t CSensorBase::SetExposureSeconds(double) { return 0; }
int32_t CSensorBase::AutoLevelAvailable() { return 0; }
int32_t CSensorBase::GetAutoLevel(int32_t*) { return 0; }
int32_t CSensorBase::SetAutoLevel(int32_t) { return 0; }
int32_t CSensorBase::SetSensorMode(int32_t, int32_t, int32_t) { return 0; }
int32_t CSensorBase::GetSensorMode(int32_t*, int32_t*, int32_t*) { return 0; }
int32_t CSensorBase::SensorModeAvailable() { return 0; }
int32_t CSensorBase::GetFpgaFlag() { return -1; }
int32_t CSensorBase::WriteFpgaFlag(int32_t) { return 0; }
int32_t CSensorBase::ModeSwitchAvailable() { return 0; }
int32_t CSensorBase::GetModeSwitch() { return -1; }
int32_t CSensorBase::SetModeSwitch(int32_t) { return 0; }
