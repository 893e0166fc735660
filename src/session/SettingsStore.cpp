#include "session/SettingsStore.h"

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "session/CKelvra.h"

namespace {

using GainGroup = SettingsStore::GainGroup;
using FilterGroup = SettingsStore::FilterGroup;
using GrayGroup = SettingsStore::GrayGroup;

constexpr FilterGroup kFilterDefaults{0, 0, 0, 0, 0, 100, 100, 100, 100, 0};
constexpr GrayGroup kGrayDefaults{0, 128, 128, 128, 128, 128, 128, 128, 128};

GainGroup GainFromDevice(CKelvraU3G5Base& device) {
    GainGroup gain{};
    gain.global = device.GetGlobalGain();
    gain.colourGreen1 = device.GetColorGainGreen1();
    gain.colourRed = device.GetColorGainRed();
    gain.colourBlue = device.GetColorGainBlue();
    gain.colourGreen2 = device.GetColorGainGreen2();
    gain.exposure = device.GetExposureTime();
    gain.mirrorV = device.GetMirrorV();
    gain.mirrorH = device.GetMirrorH();
    if (device.HasAuxLevel()) gain.blackLevel = device.GetAuxLevel();
    double seconds = 0.0;
    if (device.HasRealExposure() && device.GetRealExposure(&seconds)) gain.exposureMs = seconds * 1000.0;
    return gain;
}

void ApplyGain(CameraSettings& camera, const GainGroup& gain) {
    camera.globalGain = gain.global;
    camera.colourGainGreen1 = gain.colourGreen1;
    camera.colourGainRed = gain.colourRed;
    camera.colourGainBlue = gain.colourBlue;
    camera.colourGainGreen2 = gain.colourGreen2;
    camera.exposureLines = gain.exposure;
    camera.mirrorV = gain.mirrorV;
    camera.mirrorH = gain.mirrorH;
    camera.autoIris = gain.autoIris;
    camera.gainMode = gain.gainMode;
    camera.blackLevel = gain.blackLevel;
    camera.exposureMs = gain.exposureMs;
}

void ApplyFilter(ImageFilters& filters, const std::optional<FilterGroup>& stored) {
    const FilterGroup& filter = stored ? *stored : kFilterDefaults;
    filters.brightness = filter.brightness;
    filters.contrast = filter.contrast;
    filters.hue = filter.hue;
    filters.saturation = filter.saturation;
    filters.sharpness = filter.sharpness;
    filters.bayerGainRed = filter.redGain;
    filters.bayerGainGreen = filter.greenGain;
    filters.bayerGainBlue = filter.blueGain;
    filters.gamma = filter.gamma;
    filters.bayerMode = filter.bayerMode;
    if (!stored) {
        // Without stored filters the white balance starts over as well.
        filters.bayerGainAuto = 0;
        filters.whiteBalanceOnce1 = 0;
        filters.whiteBalanceOnce2 = 0;
    }
}

void ApplyGray(GraySettings& settings, const GrayGroup& gray) {
    settings.grayMode = gray.mode;
    settings.grayGainR = gray.gainR;
    settings.grayGainG1 = gray.gainG1;
    settings.grayGainG2 = gray.gainG2;
    settings.grayGainB = gray.gainB;
    settings.grayOffsetR = gray.offsetR;
    settings.grayOffsetG1 = gray.offsetG1;
    settings.grayOffsetG2 = gray.offsetG2;
    settings.grayOffsetB = gray.offsetB;
}

}  // namespace

void SettingsStore::LoadFormat(CKelvra& session) {
    // A fresh machine's format: the whole sensor, four buffers, 16-bit grey output (this camera
    // delivers 16-bit data), no subsampling, 1 ms between preview frames.
    CaptureFormat& format = session.format;
    format.totalWidth = CKelvra::kSensorWidth;
    format.totalHeight = CKelvra::kSensorHeight;
    format.width = CKelvra::kSensorWidth;
    format.height = CKelvra::kSensorHeight;
    format.xOffset = 0;
    format.yOffset = 0;
    format.bufferCount = 4;
    format.colourMode = 1;
    format.subSample = 0;
    format.waitTime = 1;
}

void SettingsStore::LoadGroups(CKelvra& session, int32_t cameraNumber) const {
    const auto found = cameras.find(cameraNumber);
    const StoredCamera stored = found == cameras.end() ? StoredCamera{} : found->second;
    if (stored.gain) {
        ApplyGain(session.camera, *stored.gain);
    } else if (session.device) {
        ApplyGain(session.camera, GainFromDevice(*session.device));
    }
    ApplyFilter(session.filters, stored.filter);
    ApplyGray(session.gray, stored.gray ? *stored.gray : kGrayDefaults);
}

void SettingsStore::SaveGroups(const CKelvra& session, int32_t cameraNumber) {
    const CameraSettings& camera = session.camera;
    const ImageFilters& filters = session.filters;
    const GraySettings& gray = session.gray;
    const GainGroup gain{camera.globalGain,       camera.colourGainGreen1, camera.colourGainRed, camera.colourGainBlue,
                         camera.colourGainGreen2, camera.exposureLines,    camera.mirrorV,       camera.mirrorH,
                         camera.autoIris,         camera.gainMode,         camera.blackLevel,    camera.exposureMs};
    const FilterGroup filter{
        filters.brightness,   filters.contrast,       filters.hue,           filters.saturation, filters.sharpness,
        filters.bayerGainRed, filters.bayerGainGreen, filters.bayerGainBlue, filters.gamma,      filters.bayerMode};
    const GrayGroup grayGroup{gray.grayMode,    gray.grayGainR,    gray.grayGainG1,   gray.grayGainG2, gray.grayGainB,
                              gray.grayOffsetR, gray.grayOffsetG1, gray.grayOffsetG2, gray.grayOffsetB};
    cameras[cameraNumber] = StoredCamera{gain, filter, grayGroup};
}
