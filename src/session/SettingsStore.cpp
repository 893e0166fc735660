#include "session/SettingsStore.h"

#include "common/DebugLog.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "session/CKelvra.h"
#include "session/FilterValues.h"
#include "session/RegistryKey.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr char kLibraryKey[] = "Software\\Tavrel\\Kelvra880HQLNSdk";
constexpr int32_t kDefaultColourMode = 1;  // this camera delivers 16-bit data
constexpr int32_t kDefaultWaitTime = 1;
constexpr int32_t kDefaultBuffers = 4;
constexpr int32_t kMaxBuffers = 64;
constexpr int32_t kClockModes = 3;

std::string CameraKeyName(int32_t cameraNumber) {
    char name[24];
    std::snprintf(name, sizeof name, "\\Camera_%02d", static_cast<int>(cameraNumber));
    return kLibraryKey + std::string(name);
}

std::string SizeKeyName(int32_t index) {
    char name[16];
    std::snprintf(name, sizeof name, "Size_%02d", static_cast<int>(index));
    return name;
}

constexpr CaptureSize kSensorSize{
    CKelvra::kSensorWidth, CKelvra::kSensorHeight, CKelvra::kSensorWidth, CKelvra::kSensorHeight, 0, 0,
    kDefaultBuffers};

// The capture size a Size_NN key holds; nothing when a value is missing.
std::optional<CaptureSize> ReadCaptureSize(const RegistryKey& key) {
    const auto th = key.ReadNumber("TH"), tv = key.ReadNumber("TV"), eh = key.ReadNumber("EH"),
               ev = key.ReadNumber("EV"), ehs = key.ReadNumber("EHS"), evs = key.ReadNumber("EVS"),
               buf = key.ReadNumber("Buf");
    if (!th || !tv || !eh || !ev || !ehs || !evs || !buf) return std::nullopt;
    return CaptureSize{*th, *tv, *eh, *ev, *ehs, *evs, *buf};
}

bool WriteCaptureSize(const RegistryKey& key, const CaptureSize& size) {
    return key.WriteNumber("TH", size.totalWidth) && key.WriteNumber("TV", size.totalHeight) &&
           key.WriteNumber("EH", size.width) && key.WriteNumber("EV", size.height) &&
           key.WriteNumber("EHS", size.xOffset) && key.WriteNumber("EVS", size.yOffset) &&
           key.WriteNumber("Buf", size.bufferCount);
}

}  // namespace

void SettingsStore::UseCaptureSize(CaptureFormat& format, const CaptureSize& size) {
    format.totalWidth = size.totalWidth;
    format.totalHeight = size.totalHeight;
    format.width = size.width;
    format.height = size.height;
    format.xOffset = size.xOffset;
    format.yOffset = size.yOffset;
    format.bufferCount = size.bufferCount;
}

namespace {

// A fresh machine's camera key: its first capture size and format values.
void CreateCameraKey(int32_t cameraNumber) {
    const RegistryKey camera(HKEY_CURRENT_USER, CameraKeyName(cameraNumber).c_str(), true);
    const RegistryKey size(camera, SizeKeyName(0).c_str(), true);
    const bool written = WriteCaptureSize(size, kSensorSize) && camera.WriteNumber("Size", 0) &&
                         camera.WriteNumber("Color", kDefaultColourMode) && camera.WriteNumber("SubSample", 0) &&
                         camera.WriteNumber("WaitTime", kDefaultWaitTime) && camera.WriteNumber("Clock", 0);
    // Without it the next start makes the key again; this one runs on the built-in format.
    if (!written) DebugLog(LogCategory::Settings, "the registry did not take camera %d's first settings", cameraNumber);
}

// The stored numbered settings of a group: registry name, setting id, default.
struct StoredSetting {
    const char* name;
    int32_t id;
    int32_t fallback;
};

constexpr StoredSetting kFilterGroup[] = {
    {"Brightness", KELVRA_FILTER_BRIGHTNESS, 0},
    {"Contrast", KELVRA_FILTER_CONTRAST, 0},
    {"Hue", KELVRA_FILTER_HUE, 0},
    {"Saturation", KELVRA_FILTER_SATURATION, 0},
    {"Sharpness", KELVRA_FILTER_SHARPNESS, 0},
    {"R_Gain", KELVRA_FILTER_BAYER_GAIN_RED, 100},
    {"G_Gain", KELVRA_FILTER_BAYER_GAIN_GREEN, 100},
    {"B_Gain", KELVRA_FILTER_BAYER_GAIN_BLUE, 100},
    {"Gamma", KELVRA_FILTER_GAMMA, 100},
    {"BayerMode", KELVRA_FILTER_BAYER_MODE, 0},
};

constexpr StoredSetting kGrayGroup[] = {
    {"Mode", KELVRA_FILTER_GRAY_MODE, 0},
    {"GainR1", KELVRA_FILTER_GRAY_GAIN_R, 128},
    {"GainG1", KELVRA_FILTER_GRAY_GAIN_G1, 128},
    {"GainG2", KELVRA_FILTER_GRAY_GAIN_G2, 128},
    {"GainB1", KELVRA_FILTER_GRAY_GAIN_B, 128},
    {"OffsetR1", KELVRA_FILTER_GRAY_OFFSET_R, 128},
    {"OffsetG1", KELVRA_FILTER_GRAY_OFFSET_G1, 128},
    {"OffsetG2", KELVRA_FILTER_GRAY_OFFSET_G2, 128},
    {"OffsetB1", KELVRA_FILTER_GRAY_OFFSET_B, 128},
};

template <size_t N>
void LoadNumberedGroup(CKelvra& session, const RegistryKey& group, const StoredSetting (&settings)[N]) {
    for (const StoredSetting& setting : settings) {
        int32_t& field = *FilterValues::SessionField(session, setting.id);
        if (!group.Valid()) {
            field = setting.fallback;
        } else if (const auto stored = group.ReadNumber(setting.name)) {
            field = FilterValues::InSessionRange(setting.id, *stored) ? *stored : setting.fallback;
        }
    }
}

template <size_t N>
bool SaveNumberedGroup(CKelvra& session, const RegistryKey& group, const StoredSetting (&settings)[N]) {
    bool written = group.Valid();
    for (const StoredSetting& setting : settings)
        written = group.WriteNumber(setting.name, *FilterValues::SessionField(session, setting.id)) && written;
    return written;
}

// A camera value of the "Gain" group: its registry name, where the session keeps it and the
// range the camera takes.
struct GainValue {
    const char* name;
    int32_t CameraSettings::*field;
    int32_t (CKelvraU3G5Base::*get)();
    int32_t (CKelvraU3G5Base::*min)();
    int32_t (CKelvraU3G5Base::*max)();
};

constexpr GainValue kCameraValues[] = {
    {"Global", &CameraSettings::globalGain, &CKelvraU3G5Base::GetGlobalGain, &CKelvraU3G5Base::GetGlobalGainMin,
     &CKelvraU3G5Base::GetGlobalGainMax},
    {"ColorG1", &CameraSettings::colourGainGreen1, &CKelvraU3G5Base::GetColorGainGreen1,
     &CKelvraU3G5Base::GetColorGainMin, &CKelvraU3G5Base::GetColorGainMax},
    {"ColorR", &CameraSettings::colourGainRed, &CKelvraU3G5Base::GetColorGainRed, &CKelvraU3G5Base::GetColorGainMin,
     &CKelvraU3G5Base::GetColorGainMax},
    {"ColorB", &CameraSettings::colourGainBlue, &CKelvraU3G5Base::GetColorGainBlue, &CKelvraU3G5Base::GetColorGainMin,
     &CKelvraU3G5Base::GetColorGainMax},
    {"ColorG2", &CameraSettings::colourGainGreen2, &CKelvraU3G5Base::GetColorGainGreen2,
     &CKelvraU3G5Base::GetColorGainMin, &CKelvraU3G5Base::GetColorGainMax},
    {"Exposure", &CameraSettings::exposureLines, &CKelvraU3G5Base::GetExposureTime,
     &CKelvraU3G5Base::GetExposureTimeMin, &CKelvraU3G5Base::GetExposureTimeMax},
};

bool IsSwitch(int32_t value) { return value == 0 || value == 1; }

void LoadGainGroup(CKelvra& session, const RegistryKey& group) {
    CameraSettings& camera = session.camera;
    CKelvraU3G5Base* device = session.device.get();
    // The camera's own values stand in for what is not stored or not usable.
    const auto fromCamera = [&](int32_t (CKelvraU3G5Base::*get)(), int32_t current) {
        return device ? (device->*get)() : current;
    };
    for (const GainValue& value : kCameraValues) {
        int32_t& field = camera.*value.field;
        const auto stored = group.ReadNumber(value.name);
        const bool usable =
            stored && (!device || (*stored >= (device->*value.min)() && *stored <= (device->*value.max)()));
        if (usable) {
            field = *stored;
        } else if (!group.Valid() || stored) {
            field = fromCamera(value.get, field);
        }
    }
    const auto readSwitch = [&](const char* name, int32_t& field, int32_t (CKelvraU3G5Base::*get)()) {
        const auto stored = group.ReadNumber(name);
        if (stored && IsSwitch(*stored)) {
            field = *stored;
        } else if (!group.Valid() || stored) {
            field = fromCamera(get, field);
        }
    };
    readSwitch("V_Mirror", camera.mirrorV, &CKelvraU3G5Base::GetMirrorV);
    readSwitch("H_Mirror", camera.mirrorH, &CKelvraU3G5Base::GetMirrorH);

    const auto autoIris = group.ReadNumber("AutoIris");
    if (!group.Valid() || (autoIris && (*autoIris < 0 || *autoIris > 2))) camera.autoIris = 0;
    if (autoIris && *autoIris >= 0 && *autoIris <= 2) camera.autoIris = *autoIris;
    const auto gainMode = group.ReadNumber("GainMode");
    if (!group.Valid()) camera.gainMode = 0;
    if (gainMode) camera.gainMode = *gainMode;

    const bool hasLevel = device && device->HasAuxLevel();
    const auto level = group.ReadNumber("BlackLevel");
    if (hasLevel && level && *level >= device->GetAuxLevelMin() && *level <= device->GetAuxLevelMax()) {
        camera.blackLevel = *level;
    } else if (hasLevel && (!group.Valid() || level)) {
        camera.blackLevel = device->GetAuxLevel();
    } else if (!hasLevel && level) {
        camera.blackLevel = *level;
    }

    const auto ms = group.ReadDouble("ExposureEx");
    double seconds = 0.0;
    const bool cameraMs = device && device->HasRealExposure() && device->GetRealExposure(&seconds);
    if (ms && std::isfinite(*ms) && *ms >= 0.0) {
        camera.exposureMs = *ms;
    } else if (cameraMs && (!group.Valid() || ms)) {
        camera.exposureMs = seconds * 1000.0;
    }
}

bool SaveGainGroup(const CameraSettings& camera, const RegistryKey& group) {
    bool written = group.Valid();
    for (const GainValue& value : kCameraValues)
        written = group.WriteNumber(value.name, camera.*value.field) && written;
    written = group.WriteNumber("V_Mirror", camera.mirrorV) && written;
    written = group.WriteNumber("H_Mirror", camera.mirrorH) && written;
    written = group.WriteNumber("AutoIris", camera.autoIris) && written;
    written = group.WriteNumber("GainMode", camera.gainMode) && written;
    written = group.WriteNumber("BlackLevel", camera.blackLevel) && written;
    return group.WriteDouble("ExposureEx", camera.exposureMs) && written;
}

}  // namespace

void SettingsStore::LoadFormat(CKelvra& session, int32_t cameraNumber) {
    // The built-in format, kept wherever the registry has nothing usable.
    CaptureFormat& format = session.format;
    SettingsStore::UseCaptureSize(format, kSensorSize);
    format.colourMode = kDefaultColourMode;
    format.subSample = 0;
    format.waitTime = kDefaultWaitTime;
    format.clock = 0;

    const RegistryKey library(HKEY_CURRENT_USER, kLibraryKey, false);
    if (!library.Valid()) {
        CreateCameraKey(cameraNumber);
        return;
    }
    const RegistryKey camera(HKEY_CURRENT_USER, CameraKeyName(cameraNumber).c_str(), false);
    if (!camera.Valid()) return;
    const auto index = camera.ReadNumber("Size");
    if (index && *index >= 0 && *index < kCaptureSizes) {
        const RegistryKey size(camera, SizeKeyName(*index).c_str(), false);
        if (const auto stored = ReadCaptureSize(size); stored && SettingsStore::OnSensor(*stored))
            SettingsStore::UseCaptureSize(format, *stored);
    }
    if (const auto colour = camera.ReadNumber("Color"); colour && *colour >= 0 && *colour <= 5) {
        // Only the 16-, 48- and 64-bit outputs are taken: the camera delivers 16-bit samples.
        format.colourMode = (*colour == 0 || *colour == 2 || *colour == 3) ? 1 : *colour;
    }
    // Subsampling is not offered by this camera: a stored code other than "none" is ignored.
    if (const auto waitTime = camera.ReadNumber("WaitTime"); waitTime && *waitTime >= 0) format.waitTime = *waitTime;
    if (const auto clock = camera.ReadNumber("Clock"); clock && *clock >= 0 && *clock < kClockModes)
        format.clock = *clock;
}

void SettingsStore::LoadGroups(CKelvra& session, int32_t cameraNumber) {
    const std::string camera = CameraKeyName(cameraNumber);
    const RegistryKey gain(HKEY_CURRENT_USER, (camera + "\\Gain").c_str(), false);
    const RegistryKey filter(HKEY_CURRENT_USER, (camera + "\\Filter").c_str(), false);
    const RegistryKey gray(HKEY_CURRENT_USER, (camera + "\\Gray").c_str(), false);
    CriticalSectionGuard frames(session.acquisition.frameLock);
    LoadGainGroup(session, gain);
    LoadNumberedGroup(session, filter, kFilterGroup);
    if (!filter.Valid()) {
        // Without stored filters the white balance starts over as well.
        session.filters.bayerGainAuto = 0;
        session.filters.whiteBalanceOnce1 = 0;
        session.filters.whiteBalanceOnce2 = 0;
    }
    LoadNumberedGroup(session, gray, kGrayGroup);
}

bool SettingsStore::SaveGroups(CKelvra& session, int32_t cameraNumber) {
    const RegistryKey camera(HKEY_CURRENT_USER, CameraKeyName(cameraNumber).c_str(), true);
    const RegistryKey gain(camera, "Gain", true);
    const RegistryKey filter(camera, "Filter", true);
    const RegistryKey gray(camera, "Gray", true);
    CriticalSectionGuard frames(session.acquisition.frameLock);
    const bool gainWritten = SaveGainGroup(session.camera, gain);
    const bool filterWritten = SaveNumberedGroup(session, filter, kFilterGroup);
    return SaveNumberedGroup(session, gray, kGrayGroup) && gainWritten && filterWritten;
}

bool SettingsStore::OnSensor(const CaptureSize& size) {
    constexpr int32_t w = CKelvra::kSensorWidth;
    constexpr int32_t h = CKelvra::kSensorHeight;
    return size.totalWidth > 0 && size.totalWidth <= w && size.totalHeight > 0 && size.totalHeight <= h &&
           size.width > 0 && size.height > 0 && size.xOffset >= 0 && size.yOffset >= 0 &&
           size.xOffset <= w - size.width && size.yOffset <= h - size.height && size.bufferCount >= 1 &&
           size.bufferCount <= kMaxBuffers;
}

std::optional<CaptureSize> SettingsStore::FindCaptureSize(int32_t cameraNumber, int32_t width, int32_t height) {
    const RegistryKey camera(HKEY_CURRENT_USER, CameraKeyName(cameraNumber).c_str(), false);
    // Sizes were once kept directly under the library key: that place is still read after the
    // camera's own.
    const RegistryKey library(HKEY_CURRENT_USER, kLibraryKey, false);
    for (const RegistryKey* parent : {&camera, &library}) {
        for (int32_t index = 0; index < kCaptureSizes; ++index) {
            const RegistryKey key(*parent, SizeKeyName(index).c_str(), false);
            if (!key.Valid()) break;
            const auto size = ReadCaptureSize(key);
            if (size && size->width == width && size->height == height) return size;
        }
    }
    return std::nullopt;
}
