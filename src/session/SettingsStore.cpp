#include "session/SettingsStore.h"

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "session/CKelvra.h"

#include <map>
#include <mutex>
#include <optional>

namespace {

struct GainGroup {
    int32_t global, colourGreen1, colourRed, colourBlue, colourGreen2, exposure, mirrorV, mirrorH;
    int32_t autoIris, gainMode, blackLevel;
    double exposureMs;
};

struct FilterGroup {
    int32_t brightness, contrast, hue, saturation, sharpness, redGain, greenGain, blueGain, gamma, bayerMode;
};

struct GrayGroup {
    int32_t mode, gainR, gainG1, gainG2, gainB, offsetR, offsetG1, offsetG2, offsetB;
};

struct StoredCamera {
    std::optional<GainGroup> gain;
    std::optional<FilterGroup> filter;
    std::optional<GrayGroup> gray;
};

constexpr FilterGroup kFilterDefaults{0, 0, 0, 0, 0, 100, 100, 100, 100, 0};
constexpr GrayGroup kGrayDefaults{0, 128, 128, 128, 128, 128, 128, 128, 128};

// Sessions on different threads load and save at the same time.
std::mutex storeLock;
std::map<int32_t, StoredCamera>& Store() {
    static std::map<int32_t, StoredCamera> cameras;
    return cameras;
}

StoredCamera Stored(int32_t cameraNumber) {
    std::lock_guard<std::mutex> hold(storeLock);
    const auto found = Store().find(cameraNumber);
    return found == Store().end() ? StoredCamera{} : found->second;
}

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

void ApplyGain(CKelvra& session, const GainGroup& gain) {
    session.globalGain = gain.global;
    session.colourGainGreen1 = gain.colourGreen1;
    session.colourGainRed = gain.colourRed;
    session.colourGainBlue = gain.colourBlue;
    session.colourGainGreen2 = gain.colourGreen2;
    session.exposureLines = gain.exposure;
    session.mirrorV = gain.mirrorV;
    session.mirrorH = gain.mirrorH;
    session.autoIris = gain.autoIris;
    session.gainMode = gain.gainMode;
    session.blackLevel = gain.blackLevel;
    session.exposureMs = gain.exposureMs;
}

void ApplyFilter(CKelvra& session, const std::optional<FilterGroup>& stored) {
    const FilterGroup& filter = stored ? *stored : kFilterDefaults;
    session.brightness = filter.brightness;
    session.contrast = filter.contrast;
    session.hue = filter.hue;
    session.saturation = filter.saturation;
    session.sharpness = filter.sharpness;
    session.bayerGainRed = filter.redGain;
    session.bayerGainGreen = filter.greenGain;
    session.bayerGainBlue = filter.blueGain;
    session.gamma = filter.gamma;
    session.bayerMode = filter.bayerMode;
    if (!stored) {
        // Without stored filters the white balance starts over as well.
        session.bayerGainAuto = 0;
        session.whiteBalanceOnce1 = 0;
        session.whiteBalanceOnce2 = 0;
    }
}

void ApplyGray(CKelvra& session, const GrayGroup& gray) {
    session.grayMode = gray.mode;
    session.grayGainR = gray.gainR;
    session.grayGainG1 = gray.gainG1;
    session.grayGainG2 = gray.gainG2;
    session.grayGainB = gray.gainB;
    session.grayOffsetR = gray.offsetR;
    session.grayOffsetG1 = gray.offsetG1;
    session.grayOffsetG2 = gray.offsetG2;
    session.grayOffsetB = gray.offsetB;
}

}  // namespace

void SettingsStore::LoadFormat(CKelvra& session) {
    // A fresh machine's format: the whole sensor, four buffers, 16-bit grey output (this camera
    // delivers 16-bit data), no subsampling, 1 ms between preview frames.
    session.totalWidth = CKelvra::kSensorWidth;
    session.totalHeight = CKelvra::kSensorHeight;
    session.width = CKelvra::kSensorWidth;
    session.height = CKelvra::kSensorHeight;
    session.xOffset = 0;
    session.yOffset = 0;
    session.bufferCount = 4;
    session.colourMode = 1;
    session.subSample = 0;
    session.waitTime = 1;
}

void SettingsStore::LoadGroups(CKelvra& session, int32_t cameraNumber) {
    const StoredCamera stored = Stored(cameraNumber);
    if (stored.gain) {
        ApplyGain(session, *stored.gain);
    } else if (session.device) {
        ApplyGain(session, GainFromDevice(*session.device));
    }
    ApplyFilter(session, stored.filter);
    ApplyGray(session, stored.gray ? *stored.gray : kGrayDefaults);
}

void SettingsStore::SaveGroups(const CKelvra& session, int32_t cameraNumber) {
    const GainGroup gain{session.globalGain, session.colourGainGreen1, session.colourGainRed,
                         session.colourGainBlue, session.colourGainGreen2, session.exposureLines,
                         session.mirrorV, session.mirrorH, session.autoIris, session.gainMode,
                         session.blackLevel, session.exposureMs};
    const FilterGroup filter{session.brightness, session.contrast, session.hue, session.saturation,
                             session.sharpness, session.bayerGainRed, session.bayerGainGreen,
                             session.bayerGainBlue, session.gamma, session.bayerMode};
    const GrayGroup gray{session.grayMode, session.grayGainR, session.grayGainG1, session.grayGainG2,
                         session.grayGainB, session.grayOffsetR, session.grayOffsetG1, session.grayOffsetG2,
                         session.grayOffsetB};
    std::lock_guard<std::mutex> hold(storeLock);
    Store()[cameraNumber] = StoredCamera{gain, filter, gray};
}
