#include "sensors/SensorCommon.h"

namespace {

int32_t Give(int32_t* out, int32_t value) {
    if (out != nullptr) *out = value;
    return 1;
}

}  // namespace

int32_t CSensorCommon::GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode) {
    Give(x, params.windowX);
    Give(width, params.windowWidth);
    Give(y, params.windowY);
    Give(height, params.windowHeight);
    return Give(mode, params.windowMode);
}

int32_t CSensorCommon::GetTriggerMode(int32_t* mode) { return Give(mode, triggerMode); }
int32_t CSensorCommon::GetExposure(int32_t* value) { return Give(value, params.exposure); }
int32_t CSensorCommon::GetGain(int32_t* value) { return Give(value, params.gain); }
int32_t CSensorCommon::GetExposureMin(int32_t* value) { return Give(value, params.exposureMin); }
int32_t CSensorCommon::GetExposureMax(int32_t* value) { return Give(value, params.exposureMax); }
int32_t CSensorCommon::GetExposureDefault(int32_t* value) { return Give(value, params.exposureDefault); }
int32_t CSensorCommon::GetGainMin(int32_t* value) { return Give(value, params.gainMin); }
int32_t CSensorCommon::GetGainMax(int32_t* value) { return Give(value, params.gainMax); }
int32_t CSensorCommon::GetGainDefault(int32_t* value) { return Give(value, params.gainDefault); }
int32_t CSensorCommon::GetRedGainMin(int32_t* value) { return Give(value, params.redGainMin); }
int32_t CSensorCommon::GetRedGainMax(int32_t* value) { return Give(value, params.redGainMax); }
int32_t CSensorCommon::GetRedGainDefault(int32_t* value) { return Give(value, params.redGainDefault); }
int32_t CSensorCommon::GetExposureTime(int32_t* time) { return Give(time, params.exposureTime); }
int32_t CSensorCommon::GetExposureTimeMin(int32_t* time) { return Give(time, params.exposureTimeMin); }
int32_t CSensorCommon::GetExposureTimeMax(int32_t* time) { return Give(time, params.exposureTimeMax); }
int32_t CSensorCommon::GetExposureTimeDefault(int32_t* time) { return Give(time, params.exposureTimeDefault); }
int32_t CSensorCommon::GetMirrorH(int32_t* on) { return Give(on, params.mirrorH); }
int32_t CSensorCommon::GetMirrorV(int32_t* on) { return Give(on, params.mirrorV); }

void CSensorCommon::StoreWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    params.windowX = x;
    params.windowWidth = width;
    params.windowY = y;
    params.windowHeight = height;
    params.windowMode = mode;
}
