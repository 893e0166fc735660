// The other cameras of the family. Until each gets its own driver, a family member is its
// construction values (size, gain and exposure ranges, clock, model variant) on top of the common
// getters; every class keeps its own type so the device core's product table can name it.
#pragma once

#include "sensors/SensorCommon.h"
#include "sensors/models/ModelSensors.h"

enum class SensorModel {
    MT9F001,
    MT9F002,
    MT9P001,
    MT9J001,
    ICX274,
    P3090,
    P30B0,
    P30C0,
    IMX178,
    IMX174,
    IMX183,
    IMX159,
    P3130,
    P3140,
    P3150,
    P3170,
    P3190,
    P31A0,
    IMX250,
    IMX264,
    IMX252,
    IMX265,
    P31D0,
    P31E0,
    IMX226,
    P3200,
    P3210,
    G1467x,
    IMX990,
    IMX991,
    LI7050,
    GLUX9701,
    P32D0,
    IMX536,
    IMX487,
    IMX273,
};

struct FamilyDefaults {
    int32_t sensorWidth, sensorHeight;
    int32_t frameWidth, frameHeight;  // the window starts as the whole frame
    int32_t gainMin, gainMax, gain;
    int32_t exposureMin, exposureMax, exposure;
    int32_t pixelClockKHz;
    int32_t variant;
    bool chip;  // chip drivers bin 1:1; model drivers leave binning at 0
};

const FamilyDefaults& FamilyDefaultsOf(SensorModel model);

class CSensorFamilyMember : public CSensorCommon {
protected:
    CSensorFamilyMember(CControllerBase* controller, uint8_t serialAddress, const FamilyDefaults& values);
};

template <SensorModel Model>
class CSensorModel final : public CSensorFamilyMember {
public:
    CSensorModel(CControllerBase* controller, uint8_t serialAddress)
        : CSensorFamilyMember(controller, serialAddress, FamilyDefaultsOf(Model)) {}
};

using CSensorMT9F001 = CSensorModel<SensorModel::MT9F001>;
using CSensorMT9F002 = CSensorModel<SensorModel::MT9F002>;
using CSensorMT9P001 = CSensorModel<SensorModel::MT9P001>;
using CSensorMT9J001 = CSensorModel<SensorModel::MT9J001>;
using CSensorIMX178 = CSensorModel<SensorModel::IMX178>;
using CSensorIMX174 = CSensorModel<SensorModel::IMX174>;
using CSensorIMX183 = CSensorModel<SensorModel::IMX183>;
using CSensorIMX159 = CSensorModel<SensorModel::IMX159>;
using CSensorIMX250 = CSensorModel<SensorModel::IMX250>;
using CSensorIMX264 = CSensorModel<SensorModel::IMX264>;
using CSensorIMX252 = CSensorModel<SensorModel::IMX252>;
using CSensorIMX265 = CSensorModel<SensorModel::IMX265>;
using CSensorIMX226 = CSensorModel<SensorModel::IMX226>;
using CSensorP3200 = CSensorModel<SensorModel::P3200>;
using CSensorIMX990 = CSensorModel<SensorModel::IMX990>;
using CSensorIMX991 = CSensorModel<SensorModel::IMX991>;
using CSensorLI7050 = CSensorModel<SensorModel::LI7050>;
using CSensorGLUX9701 = CSensorModel<SensorModel::GLUX9701>;
using CSensorIMX536 = CSensorModel<SensorModel::IMX536>;
using CSensorIMX487 = CSensorModel<SensorModel::IMX487>;
using CSensorIMX273 = CSensorModel<SensorModel::IMX273>;
