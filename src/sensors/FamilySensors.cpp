#include "sensors/FamilySensors.h"

#include <array>

namespace {

constexpr int32_t kLineScanLines = 32768;  // line-scan models report their line buffer as height

// Rows in the order of SensorModel. Values the family leaves open stay 0.
// sensorW, sensorH, frameW, frameH, gainMin, gainMax, gain, expMin, expMax, exp, clock, variant, chip
constexpr std::array<FamilyDefaults, 36> kFamily = {{
    {4608, 3288, 4608, 3288, 0, 127, 64, 1, 0x7FFF, 3288, 96000, 0, true},                 // MT9F001
    {4608, 3288, 4608, 3288, 0, 127, 64, 1, 0x7FFF, 3288, 96000, 0, true},                 // MT9F002
    {2592, 1944, 2592, 1944, 0, 63, 16, 1, 0x7FFF, 1920, 96000, 0, true},                  // MT9P001
    {3856, 2764, 3856, 2764, 0, 127, 64, 1, 0x7FFF, 2764, 80000, 0, true},                 // MT9J001
    {1600, 1200, 1600, 1200, 0, 1023, 256, 1, 1252, 1, 60000, 0, true},                    // ICX274
    {2336, 1752, 2336, 1752, 15, 1023, 350, 1, 901, 1, 60000, 0, false},                   // P3090
    {4896, 3264, 4896, 3264, 15, 1023, 15, 1, 1711, 1, 40000, 0, false},                   // P30B0
    {6576, 4384, 6576, 4384, 0, 1023, 100, 1, 2227, 1, 40000, 0, false},                   // P30C0
    {3072, 2048, 3072, 2048, 0, 0, 0, 1, 0xFFFF, 2141, 364000, 0, true},                   // IMX178
    {1920, 1200, 1920, 1200, 0, 0, 0, 0, 4095, 960, 74250, 0, true},                       // IMX174
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, true},                                            // IMX183
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, true},                                            // IMX159
    {1920, 1080, 1920, 1080, 0, 0, 0, 0, 0, 0, 74250, 0, false},                           // P3130
    {1280, 1024, 1280, 1024, 0, 0, 0, 1, 1372, 1240, 37125, 0, false},                     // P3140
    {640, 512, 640, 512, 0, 255, 64, 0, 0xFFFFFF, 62499, 6250, 0, false},                  // P3150
    {320, 256, 320, 256, 0, 255, 64, 0, 0xFFFFFF, 62499, 6250, 0, false},                  // P3170
    {512, kLineScanLines, 512, kLineScanLines, 0, 255, 64, 0, 0, 3000, 5000, 0, false},    // P3190
    {256, kLineScanLines, 256, kLineScanLines, 0, 255, 64, 0, 0, 3000, 5000, 0, false},    // P31A0
    {2448, 2048, 2448, 2048, 0, 0, 0, 1, 0xFFFFF, 1582, 54000, 59, true},                  // IMX250
    {2448, 2048, 2448, 2048, 0, 0, 0, 0, 0xFFFF, 1582, 74250, 57, true},                   // IMX264
    {2048, 1536, 2048, 1536, 0, 480, 64, 1, 0xFFFFF, 10, 54545, 56, true},                 // IMX252
    {2048, 1536, 2048, 1536, 0, 480, 64, 1, 0xFFFFF, 10, 54545, 58, true},                 // IMX265
    {1024, kLineScanLines, 1024, kLineScanLines, 0, 255, 64, 0, 0, 1500, 5000, 0, false},  // P31D0
    {2048, 2048, 2048, 2048, 0, 255, 64, 5, 0x7FFFFFF, 1240, 50000, 103, false},           // P31E0
    {4168, 3062, 4160, 3056, 0, 0, 0, 4, 0xC06FFF8, 3075, 72000, 60, true},                // IMX226
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, false},                                           // P3200
    {2048, kLineScanLines, 2048, kLineScanLines, 0, 255, 64, 0, 0, 1500, 5000, 0, false},  // P3210
    {320, 256, 320, 256, 0, 255, 64, 0, 1677721, 5039, 6250, 105, true},                   // G1467x
    {1280, 1024, 1280, 1024, 0, 0, 0, 15, 0xFFFFFE, 1064, 54545, 109, true},               // IMX990
    {640, 512, 640, 512, 0, 0, 0, 15, 0xFFFFFE, 539, 54545, 111, true},                    // IMX991
    {1936, 1096, 1936, 1096, 0, 0, 0, 0, 0, 0, 48000, 61, true},                           // LI7050
    {1280, 1024, 1280, 1024, 2, 62, 2, 1, 1080, 1080, 37037, 114, true},                   // GLUX9701
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, false},                                           // P32D0
    {2848, 2848, 2848, 2848, 0, 0, 0, 1, 0xFFFFE3, 1064, 54545, 62, true},                 // IMX536
    {2848, 2848, 2848, 2848, 0, 0, 0, 1, 0xFFFFE3, 1064, 54545, 63, true},                 // IMX487
    {1440, 1080, 1440, 1080, 0, 0, 0, 1, 0xFFFF1, 1116, 54545, 128, true},                 // IMX273
}};

static_assert(kFamily.size() == static_cast<size_t>(SensorModel::IMX273) + 1);

}  // namespace

const FamilyDefaults& FamilyDefaultsOf(SensorModel model) { return kFamily[static_cast<size_t>(model)]; }

CSensorFamilyMember::CSensorFamilyMember(CControllerBase* controllerInterface, uint8_t address,
                                         const FamilyDefaults& values)
    : CSensorCommon(controllerInterface, address) {
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
    variant = values.variant;
}
