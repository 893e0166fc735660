#include "sensors/FamilySensors.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int32_t kLineScanLines = 32768;  // line-scan models report their line buffer as height

constexpr uint32_t kMirrors = kFeatureMirrors;
constexpr uint32_t kTrigger = kFeatureTrigger;
constexpr uint32_t kDepth = kFeatureBitDepth;
constexpr uint32_t kRate = kFeatureFrameRate;
constexpr uint32_t kVerified = kFeatureVerifiedAccess;
constexpr uint32_t kColour = kFeatureColourGains;
constexpr uint32_t kCooled = kFeatureCooler | kFeatureTemperature;
constexpr uint32_t kSeconds = kFeatureExposureSeconds;
constexpr uint32_t kLevel = kFeatureLevel;
constexpr uint32_t kThermometer = kFeatureTemperature;

// Rows in the order of SensorModel. Values the family leaves open are our own choice where a
// chip driver needs them (a size to open at), else 0.
// sensorW, sensorH, frameW, frameH, gainMin, gainMax, gain, expMin, expMax, exp, clock, variant, chip, features
constexpr std::array<FamilyDefaults, 36> kFamily = {{
    {4608, 3288, 4608, 3288, 0, 127, 64, 1, 0x7FFF, 3288, 96000, 0, true, kMirrors | kColour},               // MT9F001
    {4608, 3288, 4608, 3288, 0, 127, 64, 1, 0x7FFF, 3288, 96000, 0, true, kMirrors | kColour},               // MT9F002
    {2592, 1944, 2592, 1944, 0, 63, 16, 1, 0x7FFF, 1920, 96000, 0, true, kMirrors | kColour | kTrigger},     // MT9P001
    {3856, 2764, 3856, 2764, 0, 127, 64, 1, 0x7FFF, 2764, 80000, 0, true, kMirrors | kColour},               // MT9J001
    {1600, 1200, 1600, 1200, 0, 1023, 256, 1, 1252, 1, 60000, 0, true, kMirrors | kTrigger},                 // ICX274
    {2336, 1752, 2336, 1752, 15, 1023, 350, 1, 901, 1, 60000, 0, false, kMirrors | kLevel},                  // P3090
    {4896, 3264, 4896, 3264, 15, 1023, 15, 1, 1711, 1, 40000, 0, false, kMirrors | kLevel},                  // P30B0
    {6576, 4384, 6576, 4384, 0, 1023, 100, 1, 2227, 1, 40000, 0, false, kMirrors | kLevel},                  // P30C0
    {3072, 2048, 3072, 2048, 0, 0, 0, 1, 0xFFFF, 2141, 364000, 0, true, kMirrors | kTrigger},                // IMX178
    {1920, 1200, 1920, 1200, 0, 0, 0, 0, 4095, 960, 74250, 0, true, kMirrors | kDepth},                      // IMX174
    {5440, 3648, 5440, 3648, 0, 0, 0, 1, 0xFFFF, 3000, 72000, 0, true, kMirrors | kTrigger},                 // IMX183
    {1920, 1080, 1920, 1080, 0, 0, 0, 1, 0xFFFF, 1100, 74250, 0, true, kFeatureMirrorV | kTrigger | kRate},  // IMX159
    {1920, 1080, 1920, 1080, 0, 0, 0, 0, 0, 0, 74250, 0, false, kRate},                                      // P3130
    {1280, 1024, 1280, 1024, 0, 0, 0, 1, 1372, 1240, 37125, 0, false, kMirrors | kDepth},                    // P3140
    {640, 512, 640, 512, 0, 255, 64, 0, 0xFFFFFF, 62499, 6250, 0, false, kMirrors | kSeconds},               // P3150
    {320, 256, 320, 256, 0, 255, 64, 0, 0xFFFFFF, 62499, 6250, 0, false, kMirrors},                          // P3170
    {512, kLineScanLines, 512, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 3000, 5000, 0, false,
     kMirrors | kTrigger},                                                                              // P3190
    {256, kLineScanLines, 256, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 3000, 5000, 0, false, kMirrors},  // P31A0
    {2448, 2048, 2448, 2048, 0, 0, 0, 1, 0xFFFFF, 1582, 54000, 59, true,
     kMirrors | kDepth | kRate | kVerified},  // IMX250
    {2448, 2048, 2448, 2048, 0, 0, 0, 0, 0xFFFF, 1582, 74250, 57, true,
     kMirrors | kDepth | kRate | kVerified},  // IMX264
    {2048, 1536, 2048, 1536, 0, 480, 64, 1, 0xFFFFF, 10, 54545, 56, true,
     kMirrors | kTrigger | kDepth | kRate | kVerified},  // IMX252
    {2048, 1536, 2048, 1536, 0, 480, 64, 1, 0xFFFFF, 10, 54545, 58, true,
     kMirrors | kTrigger | kDepth | kRate | kVerified},                                                   // IMX265
    {1024, kLineScanLines, 1024, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 1500, 5000, 0, false, kMirrors},  // P31D0
    {2048, 2048, 2048, 2048, 0, 255, 64, 5, 0x7FFFFFF, 1240, 50000, 103, false,
     kMirrors | kTrigger | kThermometer | kSeconds},                                                        // P31E0
    {4168, 3062, 4160, 3056, 0, 0, 0, 4, 0xC06FFF8, 3075, 72000, 60, true, kMirrors | kDepth | kVerified},  // IMX226
    {1280, 1024, 1280, 1024, 0, 0, 0, 1, 0xFFFF, 1000, 54545, 0, true,
     kMirrors | kTrigger | kDepth | kRate | kVerified | kCooled},                                         // P3200
    {2048, kLineScanLines, 2048, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 1500, 5000, 0, false, kMirrors},  // P3210
    {320, 256, 320, 256, 0, 255, 64, 0, 1677721, 5039, 6250, 105, true, kMirrors | kCooled},              // G1467x
    {1280, 1024, 1280, 1024, 0, 0, 0, 15, 0xFFFFFE, 1064, 54545, 109, true,
     kMirrors | kTrigger | kDepth | kVerified | kCooled | kSeconds},  // IMX990
    {640, 512, 640, 512, 0, 0, 0, 15, 0xFFFFFE, 539, 54545, 111, true,
     kMirrors | kTrigger | kDepth | kVerified | kCooled | kSeconds},  // IMX991
    {1936, 1096, 1936, 1096, 0, 0, 0, 1, 0xFFFF, 1000, 48000, 61, true,
     kMirrors | kTrigger | kDepth | kVerified | kSeconds},  // LI7050
    {1280, 1024, 1280, 1024, 2, 62, 2, 1, 1080, 1080, 37037, 114, true,
     kMirrors | kTrigger | kDepth | kLevel | kVerified | kThermometer | kSeconds},  // GLUX9701
    {1280, 1024, 1280, 1024, 0, 255, 64, 5, 0x7FFFFFF, 1240, 50000, 0, false,
     kMirrors | kTrigger | kLevel | kThermometer | kSeconds},  // P32D0
    {2848, 2848, 2848, 2848, 0, 0, 0, 1, 0xFFFFE3, 1064, 54545, 62, true,
     kMirrors | kDepth | kLevel | kRate | kVerified | kSeconds},  // IMX536
    {2848, 2848, 2848, 2848, 0, 0, 0, 1, 0xFFFFE3, 1064, 54545, 63, true,
     kMirrors | kDepth | kLevel | kRate | kVerified | kSeconds},  // IMX487
    {1440, 1080, 1440, 1080, 0, 0, 0, 1, 0xFFFF1, 1116, 54545, 128, true,
     kMirrors | kDepth | kLevel | kRate | kVerified | kSeconds},  // IMX273
}};

static_assert(kFamily.size() == static_cast<size_t>(SensorModel::IMX273) + 1);

// Subsample codes the session knows: 0 none, 1/17 half, 2/18 quarter, 3/19 eighth.
bool KnownSubsampleMode(int32_t mode) { return (mode >= 0 && mode <= 3) || (mode >= 17 && mode <= 19); }

}  // namespace

const FamilyDefaults& FamilyDefaultsOf(SensorModel model) { return kFamily[static_cast<size_t>(model)]; }

CSensorFamilyMember::CSensorFamilyMember(CControllerBase* controllerInterface, uint8_t address,
                                         const FamilyDefaults& values)
    : CSensorCommon(controllerInterface, address), features(values.features) {
    params.sensorWidth = values.sensorWidth;
    params.sensorHeight = values.sensorHeight;
    params.frameWidth = values.frameWidth;
    params.frameHeight = values.frameHeight;
    params.windowWidth = values.frameWidth;
    params.windowHeight = values.frameHeight;
    params.binningX = values.chip ? 1 : 0;
    params.binningY = params.binningX;
    params.gainMin = values.gainMin;
    params.gainMax = values.gainMax;
    params.gain = values.gain;
    params.gainDefault = values.gain;
    params.gainSupported = values.gainMax > 0 ? 1 : 0;
    params.exposureMin = values.exposureMin;
    params.exposureMax = values.exposureMax;
    params.exposure = values.exposure;
    params.exposureDefault = values.exposure;
    params.exposureSupported = values.exposureMax > 0 ? 1 : 0;
    params.pixelClockKHz = values.pixelClockKHz;
    params.mirrorHSupported = Has(kFeatureMirrorH) ? 1 : 0;
    params.mirrorVSupported = Has(kFeatureMirrorV) ? 1 : 0;
    params.bitsPerPixel = 8;
    variant = values.variant;
}

int32_t CSensorFamilyMember::IsCameraReady() { return controller != nullptr ? 1 : 0; }

int32_t CSensorFamilyMember::Initialize() {
    if (controller == nullptr || !StartUp()) return 0;
    if (params.gainSupported && !SetGain(params.gainDefault)) return 0;
    if (params.exposureSupported && !SetExposure(params.exposureDefault)) return 0;
    if (params.mirrorVSupported && !SetMirrorV(params.mirrorVDefault)) return 0;
    if (params.mirrorHSupported && !SetMirrorH(params.mirrorHDefault)) return 0;
    return SetWindow(0, params.frameWidth, 0, params.frameHeight, 0);
}

int32_t CSensorFamilyMember::SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (controller == nullptr) return 0;
    // Checked in 64 bits: a start near INT32_MAX must not wrap round into the frame.
    const bool inside = x >= 0 && y >= 0 && width > 0 && height > 0 && int64_t{x} + width <= params.frameWidth &&
                        int64_t{y} + height <= params.frameHeight;
    if (!inside || !KnownSubsampleMode(mode) || !AcceptsSubsampleMode(mode)) return 0;
    if (!ProgramWindow(x, width, y, height, mode)) return 0;
    StoreWindow(x, width, y, height, mode);
    return 1;
}

int32_t CSensorFamilyMember::SetExposure(int32_t value) {
    if (controller == nullptr || !params.exposureSupported) return 0;
    value = std::clamp(value, params.exposureMin, params.exposureMax);
    if (!ProgramExposure(value)) return 0;
    params.exposure = value;
    return 1;
}

int32_t CSensorFamilyMember::SetGain(int32_t value) {
    if (controller == nullptr || !params.gainSupported) return 0;
    value = std::clamp(value, params.gainMin, params.gainMax);
    if (!ProgramGain(value)) return 0;
    params.gain = value;
    return 1;
}

double CSensorFamilyMember::LineMicroseconds() const {
    if (params.lineTotal <= 0 || params.pixelClockKHz <= 0) return 0.0;
    return params.lineTotal * 1000.0 / params.pixelClockKHz;
}

void CSensorFamilyMember::DeriveExposureTimeRange() {
    const double line = LineMicroseconds();
    if (line <= 0.0 || !params.exposureSupported) return;
    auto toTime = [line](int32_t units) {
        return static_cast<int32_t>(std::clamp(std::round(units * line / 100.0), 1.0, 2147483647.0));
    };
    params.exposureTimeMin = toTime(params.exposureMin);
    params.exposureTimeMax = toTime(params.exposureMax);
    params.exposureTime = toTime(params.exposure);
    params.exposureTimeDefault = toTime(params.exposureDefault);
    params.exposureTimeSupported = 1;
}

int32_t CSensorFamilyMember::SetExposureTime(int32_t time) {
    if (controller == nullptr) return 0;
    const double line = LineMicroseconds();
    if (line <= 0.0 || !params.exposureTimeSupported) {
        // Without a line time the model keeps the time for the device core's own use.
        params.exposureTime = time;
        return 1;
    }
    time = std::clamp(time, params.exposureTimeMin, params.exposureTimeMax);
    const double units = std::round(time * 100.0 / line);
    const auto exposure = static_cast<int32_t>(
        std::clamp(units, static_cast<double>(params.exposureMin), static_cast<double>(params.exposureMax)));
    if (!SetExposure(exposure)) return 0;
    params.exposureTime = time;
    return 1;
}

int32_t CSensorFamilyMember::SetMirrorH(int32_t on) {
    if (controller == nullptr || !Has(kFeatureMirrorH)) return 0;
    on = on ? 1 : 0;
    if (!ProgramMirror(Axis::kHorizontal, on)) return 0;
    params.mirrorH = on;
    return 1;
}

int32_t CSensorFamilyMember::SetMirrorV(int32_t on) {
    if (controller == nullptr || !Has(kFeatureMirrorV)) return 0;
    on = on ? 1 : 0;
    if (!ProgramMirror(Axis::kVertical, on)) return 0;
    params.mirrorV = on;
    return 1;
}

int32_t CSensorFamilyMember::SetTriggerMode(int32_t mode) {
    if (controller == nullptr) return 0;
    // Models without a trigger of their own follow the board's, which the device core sets.
    if (Has(kFeatureTrigger) && !ProgramTrigger(mode)) return 0;
    triggerMode = mode;
    return 1;
}

int32_t CSensorFamilyMember::SetBitDepth(int32_t wide) {
    if (controller == nullptr) return 0;
    const int32_t bits = wide ? WideBits() : NarrowBits();
    if (Has(kFeatureBitDepth) && !ProgramBitDepth(bits)) return 0;
    params.bitsPerPixel = bits;
    return 1;
}

int32_t CSensorFamilyMember::SetFrameRate(int32_t on, int32_t rate) {
    if (controller == nullptr) return 0;
    if (!Has(kFeatureFrameRate)) return 1;
    return ProgramFrameRate(on, rate);
}
