#include "sensors/SensorImx.h"

#include "sensors/ChipAccess.h"
#include "usb/CControllerBase.h"

#include <algorithm>
#include <cmath>

// The numbers in which the models differ.
struct ImxRegisterMap {
    int32_t hmax;      // clocks per line
    int32_t vmax;      // lines per frame at start-up
    int shutterBytes;  // width of VMAX and SHS1
    int gainBytes;     // width of GAIN
    bool syncWait;     // the board must report the sensor's vertical sync before programming
    int32_t wideBits;  // bits per pixel of the 12-bit converter mode
};

namespace {

// Register names and addresses of the published IMX register map these chips follow:
// STANDBY, REGHOLD (hold register updates until released), XMSTA (0: the chip runs as timing
// master; 1: it waits for the board's sync, our trigger mode), ADBIT (converter resolution),
// WINMODE with VREVERSE (bit 0) and HREVERSE (bit 1), BLKLEVEL, GAIN, VMAX, HMAX, SHS1 (the
// shutter: exposure = VMAX - SHS1 - 1 lines) and the crop window WINPV, WINWV, WINPH, WINWH.
// Multi-byte values are little-endian across consecutive registers.
constexpr uint16_t kStandby = 0x3000;
constexpr uint16_t kRegHold = 0x3001;
constexpr uint16_t kMasterStart = 0x3002;
constexpr uint16_t kAdBit = 0x3005;
constexpr uint16_t kWinModeReverse = 0x3007;
constexpr uint16_t kBlackLevel = 0x300A;
constexpr uint16_t kGain = 0x3014;
constexpr uint16_t kVmax = 0x3018;
constexpr uint16_t kHmax = 0x301C;
constexpr uint16_t kShs1 = 0x3020;
constexpr uint16_t kWinPv = 0x303C;
constexpr uint16_t kWinWv = 0x303E;
constexpr uint16_t kWinPh = 0x3040;
constexpr uint16_t kWinWh = 0x3042;
constexpr uint8_t kVReverse = 0x01;
constexpr uint8_t kHReverse = 0x02;
constexpr uint8_t kWinModeCrop = 0x40;
// Our own registers of the heads built round these chips: the exposure in nanoseconds that the
// short-wave infrared heads take (six bytes), and the GLUX9701's automatic black level switch.
constexpr uint16_t kExposureNanoseconds = 0x3F00;
constexpr uint16_t kAutoLevel = 0x3F10;

constexpr int32_t kLevelMax = 0x1FF;
constexpr int32_t kLevelDefault = 0x3C;
constexpr int32_t kFrameMargin = 20;  // lines of blanking a frame keeps beyond its window
constexpr DWORD kResetPauseMs = 10;

// hmax, vmax, shutter bytes, gain bytes, sync wait, wide bits; our timing where no row gives it.
constexpr ImxRegisterMap kImx178 = {4400, 2200, 3, 2, false, 12};
constexpr ImxRegisterMap kImx174 = {1100, 1250, 3, 2, false, 12};
constexpr ImxRegisterMap kImx183 = {1200, 3700, 3, 2, false, 12};
constexpr ImxRegisterMap kImx159 = {2200, 1125, 3, 1, false, 12};
constexpr ImxRegisterMap kImx250 = {720, 2100, 3, 2, true, 12};
constexpr ImxRegisterMap kImx264 = {990, 2100, 3, 2, false, 12};
constexpr ImxRegisterMap kImx252 = {550, 1600, 3, 2, false, 12};
constexpr ImxRegisterMap kImx265 = {550, 1600, 3, 2, true, 12};
constexpr ImxRegisterMap kImx226 = {1000, 3100, 4, 2, true, 12};
constexpr ImxRegisterMap kP3200 = {1100, 1100, 3, 2, false, 12};
constexpr ImxRegisterMap kImx990 = {600, 1100, 3, 2, false, 12};
constexpr ImxRegisterMap kImx991 = {300, 560, 3, 2, false, 12};
constexpr ImxRegisterMap kLi7050 = {2200, 1125, 3, 2, false, 12};
constexpr ImxRegisterMap kGlux9701 = {1100, 1084, 3, 1, false, 12};
constexpr ImxRegisterMap kImx536 = {800, 2900, 3, 2, false, 12};
constexpr ImxRegisterMap kImx487 = {800, 2900, 3, 2, true, 12};
constexpr ImxRegisterMap kImx273 = {400, 1120, 3, 2, false, 12};

const ImxRegisterMap& MapOf(SensorModel model) {
    switch (model) {
        case SensorModel::IMX178:
            return kImx178;
        case SensorModel::IMX174:
            return kImx174;
        case SensorModel::IMX183:
            return kImx183;
        case SensorModel::IMX159:
            return kImx159;
        case SensorModel::IMX250:
            return kImx250;
        case SensorModel::IMX264:
            return kImx264;
        case SensorModel::IMX252:
            return kImx252;
        case SensorModel::IMX265:
            return kImx265;
        case SensorModel::IMX226:
            return kImx226;
        case SensorModel::P3200:
            return kP3200;
        case SensorModel::IMX990:
            return kImx990;
        case SensorModel::IMX991:
            return kImx991;
        case SensorModel::LI7050:
            return kLi7050;
        case SensorModel::GLUX9701:
            return kGlux9701;
        case SensorModel::IMX536:
            return kImx536;
        case SensorModel::IMX487:
            return kImx487;
        default:
            return kImx273;
    }
}

int32_t Give(int32_t* out, int32_t value) {
    if (out != nullptr) *out = value;
    return 1;
}

uint32_t Mask(int bytes) { return bytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1; }

}  // namespace

CSensorImx::CSensorImx(CControllerBase* controllerInterface, uint8_t address, SensorModel model)
    : CSensorFamilyMember(controllerInterface, address, FamilyDefaultsOf(model)), map(MapOf(model)) {
    params.lineTotal = map.hmax;
    params.frameTotal = map.vmax;
    if (Has(kFeatureLevel)) {
        params.levelMin = 0;
        params.levelMax = kLevelMax;
        params.level = kLevelDefault;
        params.levelDefault = kLevelDefault;
        params.levelSupported = 1;
    }
    DeriveExposureTimeRange();
    DeriveSecondsRange();
}

void CSensorImx::DeriveSecondsRange() {
    if (!Has(kFeatureExposureSeconds) || !params.exposureTimeSupported) return;
    params.exposureSecondsMin = params.exposureTimeMin / 10000.0;
    params.exposureSecondsMax = params.exposureTimeMax / 10000.0;
    params.exposureSeconds = params.exposureTime / 10000.0;
    params.exposureSecondsDefault = params.exposureTimeDefault / 10000.0;
    params.exposureSecondsSupported = 1;
}

int32_t CSensorImx::WriteRegister(uint32_t address, uint32_t value) {
    CriticalSectionGuard hold(Conversation());
    return chip::WriteRegister(controller, serialAddress, RegisterFormat::kAddress16Value8, address, value);
}

int32_t CSensorImx::ReadRegister(uint32_t address, uint32_t* value) {
    CriticalSectionGuard hold(Conversation());
    return chip::ReadRegister(controller, serialAddress, RegisterFormat::kAddress16Value8, address, value);
}

int32_t CSensorImx::WriteRegisterVerified(uint32_t address, uint32_t value) {
    return Has(kFeatureVerifiedAccess) ? chip::VerifiedAccess::Write(*this, address, value) : 0;
}

int32_t CSensorImx::ReadRegisterWhenIdle(uint32_t address, uint32_t* value) {
    return Has(kFeatureVerifiedAccess) ? chip::VerifiedAccess::Read(*this, address, value) : 0;
}

int32_t CSensorImx::WriteChip(uint16_t reg, uint32_t value) {
    value &= 0xFF;
    return Has(kFeatureVerifiedAccess) ? chip::VerifiedAccess::Write(*this, reg, value) : WriteRegister(reg, value);
}

int32_t CSensorImx::WriteValue(uint16_t reg, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        if (!WriteChip(static_cast<uint16_t>(reg + i), value >> (8 * i))) return 0;
    }
    return 1;
}

int32_t CSensorImx::StartUp() {
    if (map.syncWait && !chip::VideoSyncWait::Run(controller, chip::VideoSyncWait::DefaultTimeLimit())) return 0;
    const bool ok = WriteChip(kStandby, 1) && WriteChip(kRegHold, 1) && WriteValue(kHmax, map.hmax, 2) &&
                    WriteValue(kVmax, static_cast<uint32_t>(map.vmax), map.shutterBytes) &&
                    WriteChip(kAdBit, params.bitsPerPixel >= map.wideBits ? 1 : 0) &&
                    (!Has(kFeatureLevel) || WriteValue(kBlackLevel, static_cast<uint32_t>(params.level), 2)) &&
                    WriteChip(kRegHold, 0) && WriteChip(kStandby, 0) && WriteChip(kMasterStart, 0);
    return ok ? 1 : 0;
}

int32_t CSensorImx::ProgramWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t) {
    const bool whole = x == 0 && y == 0 && width == params.frameWidth && height == params.frameHeight;
    const auto mode = static_cast<uint8_t>((reverse & (kVReverse | kHReverse)) | (whole ? 0 : kWinModeCrop));
    const bool ok =
        WriteChip(kRegHold, 1) && WriteChip(kWinModeReverse, mode) && WriteValue(kWinPh, static_cast<uint32_t>(x), 2) &&
        WriteValue(kWinWh, static_cast<uint32_t>(width), 2) && WriteValue(kWinPv, static_cast<uint32_t>(y), 2) &&
        WriteValue(kWinWv, static_cast<uint32_t>(height), 2) && WriteChip(kRegHold, 0);
    if (!ok) return 0;
    reverse = mode;
    return 1;
}

int32_t CSensorImx::ProgramShutter(int32_t exposure, int32_t frameLength) {
    const int64_t limit = Mask(map.shutterBytes);
    const int64_t vmax = std::clamp<int64_t>(std::max<int64_t>(frameLength, int64_t{exposure} + 2), 2, limit);
    const int64_t shs = std::max<int64_t>(vmax - exposure - 1, 1);
    const bool ok = WriteChip(kRegHold, 1) && WriteValue(kVmax, static_cast<uint32_t>(vmax), map.shutterBytes) &&
                    WriteValue(kShs1, static_cast<uint32_t>(shs), map.shutterBytes) && WriteChip(kRegHold, 0);
    return ok ? 1 : 0;
}

int32_t CSensorImx::ProgramExposure(int32_t value) { return ProgramShutter(value, params.frameTotal); }

int32_t CSensorImx::ProgramGain(int32_t value) {
    return WriteValue(kGain, static_cast<uint32_t>(value), map.gainBytes);
}

int32_t CSensorImx::ProgramMirror(Axis axis, int32_t on) {
    const uint8_t bit = axis == Axis::kVertical ? kVReverse : kHReverse;
    const auto value = static_cast<uint8_t>(on ? reverse | bit : reverse & ~bit);
    if (!WriteChip(kWinModeReverse, value)) return 0;
    reverse = value;
    return 1;
}

int32_t CSensorImx::ProgramTrigger(int32_t mode) { return WriteChip(kMasterStart, mode == 1 ? 1 : 0); }

int32_t CSensorImx::ProgramBitDepth(int32_t bits) { return WriteChip(kAdBit, bits >= map.wideBits ? 1 : 0); }

int32_t CSensorImx::FrameLengthFor(int32_t rate) const {
    if (rate <= 0 || params.lineTotal <= 0) return 0;
    const double lines = params.pixelClockKHz * 1000.0 / (static_cast<double>(params.lineTotal) * rate);
    return static_cast<int32_t>(std::clamp(std::floor(lines), static_cast<double>(params.windowHeight + kFrameMargin),
                                           static_cast<double>(Mask(map.shutterBytes))));
}

int32_t CSensorImx::ProgramFrameRate(int32_t on, int32_t rate) {
    const int32_t frameLength = on ? FrameLengthFor(rate) : map.vmax;
    if (frameLength <= 0 || !ProgramShutter(params.exposure, frameLength)) return 0;
    params.frameTotal = frameLength;
    return 1;
}

int32_t CSensorImx::SetLevel(int32_t value) {
    if (controller == nullptr || !Has(kFeatureLevel)) return 0;
    value = std::clamp(value, params.levelMin, params.levelMax);
    if (!WriteValue(kBlackLevel, static_cast<uint32_t>(value), 2)) return 0;
    params.level = value;
    return 1;
}

int32_t CSensorImx::GetLevel(int32_t* value) { return Has(kFeatureLevel) ? Give(value, params.level) : 0; }

int32_t CSensorImx::SetExposureSeconds(double seconds) {
    if (controller == nullptr || !params.exposureSecondsSupported || !std::isfinite(seconds)) return 0;
    seconds = std::clamp(seconds, params.exposureSecondsMin, params.exposureSecondsMax);
    if (!SetExposureTime(static_cast<int32_t>(std::trunc(seconds * 10000)))) return 0;
    params.exposureSeconds = seconds;
    return 1;
}

int32_t CSensorImx::CoolerAvailable() { return Has(kFeatureCooler) ? 1 : 0; }

int32_t CSensorImx::GetCoolerState(int32_t* state) { return Has(kFeatureCooler) ? Give(state, cooler) : 0; }

int32_t CSensorImx::SetCoolerState(int32_t state) {
    if (controller == nullptr || !Has(kFeatureCooler)) return 0;
    state = state ? 1 : 0;
    if (!controller->WriteFpgaRegister(kCoolerRegister, static_cast<uint8_t>(state))) return 0;
    cooler = state;
    return 1;
}

int32_t CSensorImx::TemperatureAvailable() { return Has(kFeatureTemperature) ? 1 : 0; }

int32_t CSensorImx::ReadTemperature(double* degrees) {
    if (controller == nullptr || degrees == nullptr || !Has(kFeatureTemperature)) return 0;
    uint8_t raw = 0;
    if (!controller->ReadFpgaRegister(kTemperatureRegister, &raw)) return 0;
    *degrees = static_cast<int8_t>(raw);
    return 1;
}

// ---- P3200 ----

CSensorP3200::CSensorP3200(CControllerBase* controllerInterface, uint8_t address)
    : CSensorImx(controllerInterface, address, SensorModel::P3200) {}

int32_t CSensorP3200::FrameLengthFor(int32_t rate) const {
    if (rate <= 0 || params.lineTotal <= 0 || params.pixelClockKHz <= 0) return 0;
    const double lineTime = params.lineTotal * 3 / 2.2 / params.pixelClockKHz;
    const double length = 100000.0 / rate / lineTime;
    return static_cast<int32_t>(std::clamp(length, static_cast<double>(params.windowHeight + 46), 65535.0));
}

void CSensorP3200::StopMonitor() {
    if (controller != nullptr) static_cast<void>(controller->WriteFpgaRegister(kMonitorModeRegister, 0));
}

void CSensorP3200::StopMonitorAndClear() {
    if (controller == nullptr) return;
    static_cast<void>(controller->WriteFpgaRegister(kMonitorModeRegister, 0));
    static_cast<void>(controller->WriteFpgaRegister(kMonitorStatusRegister, 0));
}

int32_t CSensorP3200::MonitorAvailable() { return 1; }

int32_t CSensorP3200::ReadMonitorStatus(int32_t* status) {
    uint8_t value = 0;
    if (controller == nullptr || !controller->ReadFpgaRegister(kMonitorStatusRegister, &value)) return 0;
    return Give(status, value);
}

int32_t CSensorP3200::SetMonitorMode(int32_t mode) {
    if (controller == nullptr) return 0;
    return controller->WriteFpgaRegister(kMonitorModeRegister, static_cast<uint8_t>(mode)) ? 1 : 0;
}

// ---- IMX990, IMX991 ----

CSensorImxSwir::CSensorImxSwir(CControllerBase* controllerInterface, uint8_t address, SensorModel model,
                               int32_t firstVariant)
    : CSensorImx(controllerInterface, address, model), firstVariant(firstVariant) {
    params.auxParameter1 = 4;
}

int32_t CSensorImxSwir::SetVariant(int32_t code) {
    if (code != firstVariant && code != firstVariant + 1) return 0;
    variant = code;
    params.auxParameter1 = code == firstVariant ? 4 : 1;
    return 1;
}

int32_t CSensorImxSwir::StartUp() {
    // The readout option depends on the FPGA version; a board that does not say stays at 0.
    if (controller != nullptr && !controller->ReadFpgaRegisterPair(&fpgaVersion)) fpgaVersion = 0;
    return CSensorImx::StartUp();
}

int32_t CSensorImxSwir::SetReadoutOption(int32_t value) {
    readoutOption = value;
    return 1;
}

int32_t CSensorImxSwir::SupportsReadoutOption() { return fpgaVersion > 4 ? 1 : 0; }

int32_t CSensorImxSwir::ApplyReadoutOption() {
    if (controller == nullptr || !SupportsReadoutOption()) return 0;
    // Cleared first so the FPGA sees the new option as a change.
    return controller->WriteFpgaRegister(kReadoutOptionRegister, 0) &&
                   controller->WriteFpgaRegister(kReadoutOptionRegister, static_cast<uint8_t>(readoutOption))
               ? 1
               : 0;
}

int32_t CSensorImxSwir::SetExposureSeconds(double seconds) {
    if (controller == nullptr || !std::isfinite(seconds)) return 0;
    seconds = std::clamp(seconds, params.exposureSecondsMin, params.exposureSecondsMax);
    const auto nanoseconds = static_cast<uint64_t>(std::llround(seconds * 1e9));
    for (int i = 0; i < 6; ++i) {
        if (!WriteChip(static_cast<uint16_t>(kExposureNanoseconds + i), static_cast<uint32_t>(nanoseconds >> (8 * i))))
            return 0;
    }
    params.exposureSeconds = seconds;
    params.exposureTime = static_cast<int32_t>(std::trunc(seconds * 10000));
    return 1;
}

// ---- GLUX9701 ----

CSensorGLUX9701::CSensorGLUX9701(CControllerBase* controllerInterface, uint8_t address)
    : CSensorImx(controllerInterface, address, SensorModel::GLUX9701) {}

int32_t CSensorGLUX9701::ResetSensor() {
    if (controller == nullptr || !WriteChip(kStandby, 1)) return 0;
    Sleep(kResetPauseMs);
    return StartUp();
}

int32_t CSensorGLUX9701::AutoLevelAvailable() { return 1; }

int32_t CSensorGLUX9701::GetAutoLevel(int32_t* on) { return Give(on, autoLevel); }

int32_t CSensorGLUX9701::SetAutoLevel(int32_t on) {
    if (controller == nullptr) return 0;
    on = on ? 1 : 0;
    if (!WriteChip(kAutoLevel, static_cast<uint32_t>(on))) return 0;
    autoLevel = on;
    return 1;
}

int32_t CSensorGLUX9701::GetFpgaFlag() {
    uint8_t value = 0;
    if (controller == nullptr || !controller->ReadFpgaRegister(kFpgaFlagRegister, &value)) return -1;
    return value;
}

int32_t CSensorGLUX9701::WriteFpgaFlag(int32_t value) {
    if (controller == nullptr) return 0;
    return controller->WriteFpgaRegister(kFpgaFlagRegister, static_cast<uint8_t>(value)) ? 1 : 0;
}
