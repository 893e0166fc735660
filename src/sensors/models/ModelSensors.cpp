#include "sensors/models/ModelSensors.h"

#include <array>
#include <iterator>

namespace {

constexpr uint32_t kAreaScanIr = kModelAuxSensor | kModelSensorMode | kModelFpgaFlag;

// The exposure unit of each head is one of its lines: lineTotal periods of its clock (a CCD line
// of 64 us, 100 us on the channel heads, one clock period on the infrared and line-scan heads,
// 1 us on the 0x31E0 and 0x32D0 heads). Units, bit depths and level ranges are this driver
// family's own choice; the heads publish none.
// model, lineTotal, bits narrow/wide, levelMin, levelMax, level, features
constexpr std::array<ModelTraits, 15> kTraits = {{
    {SensorModel::ICX274, 3840, 12, 12, 0, 0, 0, 0},
    {SensorModel::P3090, 6000, 12, 12, 0, 1023, 64, kModelChannels},
    {SensorModel::P30B0, 4000, 12, 12, 0, 1023, 64, kModelChannels},
    {SensorModel::P30C0, 4000, 12, 12, 0, 1023, 64, kModelChannels},
    {SensorModel::P3130, 0, 8, 16, 0, 0, 0, 0},
    {SensorModel::P3140, 928, 8, 12, 0, 0, 0, 0},
    {SensorModel::P3150, 1, 16, 16, 0, 0, 0, 0},
    {SensorModel::P3170, 1, 16, 16, 0, 0, 0, 0},
    {SensorModel::P3190, 1, 12, 12, 0, 0, 0, 0},
    {SensorModel::P31A0, 1, 12, 12, 0, 0, 0, 0},
    {SensorModel::P31D0, 1, 12, 12, 0, 0, 0, 0},
    {SensorModel::P31E0, 50, 16, 16, 0, 0, 0, kAreaScanIr | kModelAnalogMode},
    {SensorModel::P3210, 1, 12, 12, 0, 0, 0, 0},
    {SensorModel::G1467x, 10, 16, 16, 0, 0, 0, 0},
    {SensorModel::P32D0, 50, 16, 16, 0, 255, 0,
     kAreaScanIr | kModelGainSteps | kModelFpgaFlagReport | kModelModeSwitch},
}};

// Row i holds head model i: the lookup below is an index.
constexpr bool TraitsInHeadModelOrder() {
    if (kTraits.size() != std::size(kHeadModels)) return false;
    for (size_t i = 0; i < kTraits.size(); ++i) {
        if (kTraits[i].model != kHeadModels[i]) return false;
    }
    return true;
}
static_assert(TraitsInHeadModelOrder());

}  // namespace

const ModelTraits& ModelTraitsOf(SensorModel model) {
    size_t row = 0;
    while (row + 1 < kTraits.size() && kHeadModels[row] != model) ++row;
    return kTraits[row];
}
