#include "sensors/models/ModelSensors.h"

#include <array>

namespace {

constexpr int32_t kLineScanLines = 32768;  // line-scan heads report their line buffer as height

constexpr uint32_t kPlain = kModelGain | kModelExposure | kModelMirrors;
constexpr uint32_t kChannelHead = kPlain | kModelChannels | kModelLevel;
constexpr uint32_t kAreaScanIr = kPlain | kModelTrigger | kModelHeadTemperature | kModelAuxSensor |
                                 kModelExposureSeconds | kModelSensorMode | kModelFpgaFlag;

// Rows in the order of HeadModel. Exposure units and the values the family table leaves open are
// this driver family's own choice: the units follow each head's clock (a line time, a pixel
// clock, microseconds), and the open ranges are what the head's registers hold.
// w, h, gainMin, gainMax, gain, expMin, expMax, exp, unit s, clock, variant, bits narrow/wide,
// levelMin, levelMax, level, features
constexpr std::array<ModelDescriptor, 15> kModels = {{
    {1600, 1200, 0, 1023, 256, 1, 1252, 1, 64e-6, 60000, 0, 12, 12, 0, 0, 0, kPlain | kModelTrigger},  // ICX274
    {2336, 1752, 15, 1023, 350, 1, 901, 1, 100e-6, 60000, 0, 12, 12, 0, 1023, 64, kChannelHead},       // P3090
    {4896, 3264, 15, 1023, 15, 1, 1711, 1, 100e-6, 40000, 0, 12, 12, 0, 1023, 64, kChannelHead},       // P30B0
    {6576, 4384, 0, 1023, 100, 1, 2227, 1, 100e-6, 40000, 0, 12, 12, 0, 1023, 64, kChannelHead},       // P30C0
    {1920, 1080, 0, 0, 0, 0, 0, 0, 0, 74250, 0, 8, 16, 0, 0, 0, kModelFrameRate},                      // P3130
    {1280, 1024, 0, 0, 0, 1, 1372, 1240, 25e-6, 37125, 0, 8, 12, 0, 0, 0,
     kModelExposure | kModelMirrors | kModelBitDepth},  // P3140
    {640, 512, 0, 255, 64, 0, 0xFFFFFF, 62499, 0.16e-6, 6250, 0, 16, 16, 0, 0, 0,
     kPlain | kModelExposureSeconds},                                                       // P3150
    {320, 256, 0, 255, 64, 0, 0xFFFFFF, 62499, 0.16e-6, 6250, 0, 16, 16, 0, 0, 0, kPlain},  // P3170
    {512, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 3000, 0.2e-6, 5000, 0, 12, 12, 0, 0, 0,
     kPlain | kModelTrigger},                                                                       // P3190
    {256, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 3000, 0.2e-6, 5000, 0, 12, 12, 0, 0, 0, kPlain},   // P31A0
    {1024, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 1500, 0.2e-6, 5000, 0, 12, 12, 0, 0, 0, kPlain},  // P31D0
    {2048, 2048, 0, 255, 64, 5, 0x7FFFFFF, 1240, 1e-6, 50000, 103, 16, 16, 0, 0, 0,
     kAreaScanIr | kModelAnalogMode},                                                                     // P31E0
    {2048, kLineScanLines, 0, 255, 64, 1, 0xFFFF, 1500, 0.2e-6, 5000, 0, 12, 12, 0, 0, 0, kPlain},        // P3210
    {320, 256, 0, 255, 64, 0, 1677721, 5039, 1.6e-6, 6250, 105, 16, 16, 0, 0, 0, kPlain | kModelCooler},  // G1467x
    {1280, 1024, 0, 255, 64, 5, 0x7FFFFFF, 1240, 1e-6, 50000, 0, 16, 16, 0, 255, 0,
     kAreaScanIr | kModelLevel | kModelGainSteps | kModelFpgaFlagReport | kModelModeSwitch},  // P32D0
}};

static_assert(kModels.size() == static_cast<size_t>(HeadModel::P32D0) + 1);

}  // namespace

const ModelDescriptor& ModelDescriptorOf(HeadModel model) { return kModels[static_cast<size_t>(model)]; }
