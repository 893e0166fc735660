#include "session/FilterValues.h"

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "session/CKelvra.h"

namespace {

using FieldOf = int32_t& (*)(CKelvra&);

// A setting the session keeps, with the values it accepts.
struct SessionSetting {
    int32_t id;
    int32_t min;
    int32_t max;
    FieldOf field;
};

#define KELVRA_FIELD(member) [](CKelvra& s) -> int32_t& { return s.member; }
constexpr SessionSetting kSessionSettings[] = {
    {KELVRA_FILTER_BRIGHTNESS, -255, 255, KELVRA_FIELD(filters.brightness)},
    {KELVRA_FILTER_CONTRAST, -127, 127, KELVRA_FIELD(filters.contrast)},
    {KELVRA_FILTER_HUE, -360, 360, KELVRA_FIELD(filters.hue)},
    {KELVRA_FILTER_SATURATION, -255, 255, KELVRA_FIELD(filters.saturation)},
    {KELVRA_FILTER_SHARPNESS, 0, 30, KELVRA_FIELD(filters.sharpness)},
    {KELVRA_FILTER_BAYER_GAIN_RED, 0, 400, KELVRA_FIELD(filters.bayerGainRed)},
    {KELVRA_FILTER_BAYER_GAIN_GREEN, 0, 400, KELVRA_FIELD(filters.bayerGainGreen)},
    {KELVRA_FILTER_BAYER_GAIN_BLUE, 0, 400, KELVRA_FIELD(filters.bayerGainBlue)},
    {KELVRA_FILTER_GAMMA, 0, 200, KELVRA_FIELD(filters.gamma)},
    {KELVRA_FILTER_BAYER_MODE, 0, 3, KELVRA_FIELD(filters.bayerMode)},
    {KELVRA_FILTER_GRAY_MODE, 0, 2, KELVRA_FIELD(gray.grayMode)},
    {KELVRA_FILTER_GRAY_GAIN_R, 0, 255, KELVRA_FIELD(gray.grayGainR)},
    {KELVRA_FILTER_GRAY_GAIN_G1, 0, 255, KELVRA_FIELD(gray.grayGainG1)},
    {KELVRA_FILTER_GRAY_GAIN_G2, 0, 255, KELVRA_FIELD(gray.grayGainG2)},
    {KELVRA_FILTER_GRAY_GAIN_B, 0, 255, KELVRA_FIELD(gray.grayGainB)},
    {KELVRA_FILTER_GRAY_OFFSET_R, -255, 255, KELVRA_FIELD(gray.grayOffsetR)},
    {KELVRA_FILTER_GRAY_OFFSET_G1, -255, 255, KELVRA_FIELD(gray.grayOffsetG1)},
    {KELVRA_FILTER_GRAY_OFFSET_G2, -255, 255, KELVRA_FIELD(gray.grayOffsetG2)},
    {KELVRA_FILTER_GRAY_OFFSET_B, -255, 255, KELVRA_FIELD(gray.grayOffsetB)},
    {KELVRA_FILTER_DOT_FILTER, 0, 1, KELVRA_FIELD(corrections.dotFilter)},
    {KELVRA_FILTER_MASK_FILTER, 0, 1, KELVRA_FIELD(corrections.maskFilter)},
};

// A gain or exposure the camera keeps, with the field the session mirrors it in.
struct CameraSetting {
    int32_t id;
    int32_t (CKelvraU3G5Base::*get)();
    int32_t (CKelvraU3G5Base::*set)(int32_t);
    int32_t (CKelvraU3G5Base::*min)();
    int32_t (CKelvraU3G5Base::*max)();
    FieldOf field;
};

constexpr CameraSetting kCameraSettings[] = {
    {KELVRA_FILTER_GLOBAL_GAIN, &CKelvraU3G5Base::GetGlobalGain, &CKelvraU3G5Base::SetGlobalGain,
     &CKelvraU3G5Base::GetGlobalGainMin, &CKelvraU3G5Base::GetGlobalGainMax, KELVRA_FIELD(camera.globalGain)},
    {KELVRA_FILTER_COLOR_GAIN_RED, &CKelvraU3G5Base::GetColorGainRed, &CKelvraU3G5Base::SetColorGainRed,
     &CKelvraU3G5Base::GetColorGainMin, &CKelvraU3G5Base::GetColorGainMax, KELVRA_FIELD(camera.colourGainRed)},
    {KELVRA_FILTER_COLOR_GAIN_GREEN1, &CKelvraU3G5Base::GetColorGainGreen1, &CKelvraU3G5Base::SetColorGainGreen1,
     &CKelvraU3G5Base::GetColorGainMin, &CKelvraU3G5Base::GetColorGainMax, KELVRA_FIELD(camera.colourGainGreen1)},
    {KELVRA_FILTER_COLOR_GAIN_GREEN2, &CKelvraU3G5Base::GetColorGainGreen2, &CKelvraU3G5Base::SetColorGainGreen2,
     &CKelvraU3G5Base::GetColorGainMin, &CKelvraU3G5Base::GetColorGainMax, KELVRA_FIELD(camera.colourGainGreen2)},
    {KELVRA_FILTER_COLOR_GAIN_BLUE, &CKelvraU3G5Base::GetColorGainBlue, &CKelvraU3G5Base::SetColorGainBlue,
     &CKelvraU3G5Base::GetColorGainMin, &CKelvraU3G5Base::GetColorGainMax, KELVRA_FIELD(camera.colourGainBlue)},
    {KELVRA_FILTER_EXPOSURE_TIME, &CKelvraU3G5Base::GetExposureTime, &CKelvraU3G5Base::SetExposureTime,
     &CKelvraU3G5Base::GetExposureTimeMin, &CKelvraU3G5Base::GetExposureTimeMax, KELVRA_FIELD(camera.exposureLines)},
};
#undef KELVRA_FIELD

template <typename Table>
auto Find(const Table& table, int32_t id) -> decltype(&table[0]) {
    for (const auto& entry : table) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

bool IsChannelSetting(int32_t id) { return id >= KELVRA_FILTER_CHANNEL_GAIN_1 && id <= KELVRA_FILTER_CHANNEL_OFFSET_4; }

int32_t Packed(int32_t red, int32_t green, int32_t blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}

// Answers a getter: the value, and ok set to whether it is one.
int32_t Answer(int32_t* ok, bool succeeded, int32_t value) {
    if (ok) *ok = succeeded ? 1 : 0;
    return value;
}

}  // namespace

int32_t FilterValues::Get(CKelvra& session, int32_t id, int32_t* ok) {
    if (!session.device) {
        session.RecordError(KELVRA_ERR_NOT_READY);
        return Answer(ok, false, 0);
    }
    CKelvraU3G5Base& device = *session.device;
    if (const SessionSetting* setting = Find(kSessionSettings, id)) {
        CriticalSectionGuard frames(session.acquisition.frameLock);
        return Answer(ok, true, setting->field(session));
    }
    if (const CameraSetting* setting = Find(kCameraSettings, id)) return Answer(ok, true, (device.*setting->get)());
    switch (id) {
        case KELVRA_FILTER_BAYER_GAIN_RGB: {
            CriticalSectionGuard frames(session.acquisition.frameLock);
            const ImageFilters& f = session.filters;
            return Answer(ok, true, Packed(f.bayerGainRed, f.bayerGainGreen, f.bayerGainBlue));
        }
        case KELVRA_FILTER_BAYER_GAIN_AUTO: {
            CriticalSectionGuard frames(session.acquisition.frameLock);
            return Answer(ok, true, session.filters.bayerGainAuto);
        }
        case KELVRA_FILTER_PELTIER:
            if (!device.HasPeltier()) break;
            return Answer(ok, true, device.GetPeltier());
        case KELVRA_FILTER_GAIN_MODE:
            return Answer(ok, true, device.GetModeValue());
        case KELVRA_FILTER_DEVICE_SWITCH:
            if (!device.HasFeatureSwitch()) break;
            session.RecordError(KELVRA_ERR_NONE);
            return Answer(ok, true, device.GetFeatureSwitch() != 0 ? 1 : 0);
        case KELVRA_FILTER_BLACK_LEVEL:
            if (!device.HasAuxLevel()) break;
            session.camera.blackLevel = device.GetAuxLevel();
            session.RecordError(KELVRA_ERR_NONE);
            return Answer(ok, true, session.camera.blackLevel);
        case KELVRA_FILTER_TEMPERATURE:
            break;
        default:
            session.RecordError(KELVRA_ERR_PARAMETER);
            return Answer(ok, false, 0);
    }
    session.RecordError(KELVRA_ERR_UNSUPPORTED);
    return Answer(ok, false, -1);
}

bool FilterValues::Set(CKelvra& session, int32_t id, int32_t value) {
    if (!session.device) {
        session.RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    CKelvraU3G5Base& device = *session.device;
    const auto refuse = [&](int32_t code) {
        session.RecordError(code);
        return false;
    };
    if (const SessionSetting* setting = Find(kSessionSettings, id)) {
        if (value < setting->min || value > setting->max) return refuse(KELVRA_ERR_PARAMETER);
        CriticalSectionGuard frames(session.acquisition.frameLock);
        setting->field(session) = value;
        return true;
    }
    if (const CameraSetting* setting = Find(kCameraSettings, id)) {
        if (value < (device.*setting->min)() || value > (device.*setting->max)()) return refuse(KELVRA_ERR_PARAMETER);
        if (!(device.*setting->set)(value)) return refuse(KELVRA_ERR_CAMERA_IO);
        CriticalSectionGuard frames(session.acquisition.frameLock);
        setting->field(session) = value;
        double seconds = 0.0;
        if (id == KELVRA_FILTER_EXPOSURE_TIME && device.HasRealExposure() && device.GetRealExposure(&seconds))
            session.camera.exposureMs = seconds * 1000.0;
        return true;
    }
    if (IsChannelSetting(id)) return refuse(KELVRA_ERR_PARAMETER);
    switch (id) {
        case KELVRA_FILTER_BAYER_GAIN_RGB: {
            // Each byte is a gain of 0..255, inside the range of every Bayer gain.
            CriticalSectionGuard frames(session.acquisition.frameLock);
            session.filters.bayerGainRed = value & 0xFF;
            session.filters.bayerGainGreen = value >> 8 & 0xFF;
            session.filters.bayerGainBlue = value >> 16 & 0xFF;
            return true;
        }
        case KELVRA_FILTER_BAYER_GAIN_AUTO: {
            CriticalSectionGuard frames(session.acquisition.frameLock);
            session.filters.bayerGainAuto = value != 0 ? 1 : 0;
            return true;
        }
        case KELVRA_FILTER_GRAY_AUTO_FRAMES: {
            if (value < 0 || value > 1) return refuse(KELVRA_ERR_PARAMETER);
            CriticalSectionGuard frames(session.acquisition.frameLock);
            session.gray.grayAutoFrames = value;
            return true;
        }
        case KELVRA_FILTER_PELTIER:
            if (!device.HasPeltier()) return refuse(KELVRA_ERR_UNSUPPORTED);
            if (!device.SetPeltier(value)) return refuse(KELVRA_ERR_CAMERA_IO);
            session.camera.peltierOn = value;
            return true;
        case KELVRA_FILTER_GAIN_MODE:
            if (!device.HasModeValue()) return refuse(KELVRA_ERR_UNSUPPORTED);
            if (!device.SetModeValue(value)) return refuse(KELVRA_ERR_CAMERA_IO);
            session.camera.gainMode = value;
            return true;
        case KELVRA_FILTER_DEVICE_SWITCH:
            if (!device.HasFeatureSwitch()) return refuse(KELVRA_ERR_UNSUPPORTED);
            if (!device.SetFeatureSwitch(value > 0 ? 1 : 0)) return refuse(KELVRA_ERR_CAMERA_IO);
            session.camera.switch105 = value > 0 ? 1 : 0;
            return true;
        case KELVRA_FILTER_BLACK_LEVEL:
            if (!device.HasAuxLevel()) return refuse(KELVRA_ERR_UNSUPPORTED);
            if (!device.SetAuxLevel(value)) return refuse(KELVRA_ERR_CAMERA_IO);
            session.camera.blackLevel = value;
            session.RecordError(KELVRA_ERR_NONE);
            return true;
        default:
            // The temperature among them: it is read, never set.
            return refuse(KELVRA_ERR_PARAMETER);
    }
}

int32_t* FilterValues::SessionField(CKelvra& session, int32_t id) {
    const SessionSetting* setting = Find(kSessionSettings, id);
    return setting ? &setting->field(session) : nullptr;
}

bool FilterValues::InSessionRange(int32_t id, int32_t value) {
    const SessionSetting* setting = Find(kSessionSettings, id);
    return setting && value >= setting->min && value <= setting->max;
}
