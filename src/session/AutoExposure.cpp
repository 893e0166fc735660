#include "session/AutoExposure.h"

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "imaging/Converters.h"
#include "imaging/DibImage.h"
#include "session/CKelvra.h"
#include "session/CallLockAttempt.h"

#include <algorithm>

namespace {

// Level bands on the 8-bit scale: at or above kBrightLevel a region is overexposed, from
// kBrightishLevel a little bright, below kDarkLevel underexposed.
constexpr int32_t kBrightLevel = 201;
constexpr int32_t kBrightishLevel = 161;
constexpr int32_t kDarkLevel = 100;
// The middle of the band that asks for no change, where an empty region is counted.
constexpr int32_t kNeutralLevel = 130;

// A camera at a gain below this could not brighten by a factor; it starts from here.
constexpr int64_t kGainFloor = 4;

int32_t Truncated(double fraction, int32_t extent) { return static_cast<int32_t>(fraction * extent); }

}  // namespace

std::array<RECT, kMeasuringRegionCount> MeasuringRegions(int32_t width, int32_t height) {
    auto region = [&](double left, double top, double right, double bottom) {
        return RECT{Truncated(left, width), Truncated(top, height), Truncated(right, width), Truncated(bottom, height)};
    };
    return {region(0.1, 0.1, 0.2, 0.2), region(0.1, 0.8, 0.2, 0.9), region(0.45, 0.45, 0.55, 0.55),
            region(0.8, 0.1, 0.9, 0.2), region(0.8, 0.8, 0.9, 0.9)};
}

int32_t RegionLevel(DibImage& raw, const RECT& region) {
    if (region.right <= region.left || region.bottom <= region.top) return kNeutralLevel;
    ConverterFn mean = nullptr;
    if (raw.bitsPerPixel == 8) mean = RegionMean8;
    if (raw.bitsPerPixel == 16) mean = RegionMean10;
    if (!mean) return 0;
    return static_cast<int32_t>(TransferImage(&raw, mean, &raw, &region, 0, 0, nullptr, nullptr));
}

int32_t CorrectionPercent(const std::array<int32_t, kMeasuringRegionCount>& levels) {
    const int32_t first = levels[0];
    int32_t percent = 100;
    if (first >= kBrightLevel) {
        percent = 85;
    } else if (first >= kBrightishLevel) {
        percent = 90;
    } else if (first < kDarkLevel) {
        percent = 105;
    }
    for (int32_t i = 1; i < kMeasuringRegionCount; ++i) {
        if (levels[i] >= kBrightLevel) {
            percent -= 15;
        } else if (levels[i] >= kBrightishLevel) {
            percent -= 10;
        } else if (levels[i] < kDarkLevel) {
            percent += 5;
        }
    }
    return percent;
}

bool CorrectionApplies(int32_t percent) { return percent <= 60 || percent >= 120; }

int32_t CorrectedGain(int32_t deviceGain, int32_t percent, int32_t minimum, int32_t maximum) {
    if (minimum > maximum) return 0;
    int64_t value = std::max<int64_t>(deviceGain, kGainFloor) * percent / 100;
    if (percent > 100 && value <= kGainFloor) value = kGainFloor;
    return static_cast<int32_t>(std::clamp<int64_t>(value, minimum, maximum));
}

int32_t CorrectedExposure(int32_t deviceExposure, int32_t percent, int32_t minimum, int32_t maximum) {
    if (minimum > maximum) return 0;
    const int64_t value = std::max<int64_t>(int64_t{deviceExposure} * percent / 100, 1);
    return static_cast<int32_t>(std::clamp<int64_t>(value, minimum, maximum));
}

AutoIrisOutcome RunAutoIris(CKelvra& session, DibImage& raw, AutoIrisTarget target) {
    std::array<int32_t, kMeasuringRegionCount> levels{};
    const auto regions = MeasuringRegions(raw.width, raw.height);
    for (int32_t i = 0; i < kMeasuringRegionCount; ++i) levels[i] = RegionLevel(raw, regions[i]);
    const int32_t percent = CorrectionPercent(levels);
    if (!CorrectionApplies(percent)) return AutoIrisOutcome::Unchanged;

    CKelvraUSB3G5SimpleSdk* device = session.device.get();
    if (!device) return AutoIrisOutcome::NoCamera;
    const CallLockAttempt call(session.CallLock());
    if (!call.Held()) return AutoIrisOutcome::Busy;

    if (target == AutoIrisTarget::Gain) {
        const int32_t minimum = device->GetGlobalGainMin();
        const int32_t maximum = device->GetGlobalGainMax();
        if (minimum > maximum) return AutoIrisOutcome::NoCamera;
        const int32_t gain = CorrectedGain(device->GetGlobalGain(), percent, minimum, maximum);
        if (!device->SetGlobalGain(gain)) return AutoIrisOutcome::NoCamera;
        CameraSettings& camera = session.camera;
        camera.globalGain = gain;
        camera.colourGainRed = gain;
        camera.colourGainGreen1 = gain;
        camera.colourGainGreen2 = gain;
        camera.colourGainBlue = gain;
        return AutoIrisOutcome::Adjusted;
    }

    const int32_t minimum = device->GetExposureTimeMin();
    const int32_t maximum = device->GetExposureTimeMax();
    if (minimum > maximum) return AutoIrisOutcome::NoCamera;
    const int32_t exposure = CorrectedExposure(device->GetExposureTime(), percent, minimum, maximum);
    if (!device->SetExposureTime(exposure)) return AutoIrisOutcome::NoCamera;
    session.camera.exposureLines = exposure;
    double seconds = 0.0;
    if (device->HasRealExposure() && device->GetRealExposure(&seconds)) session.camera.exposureMs = seconds * 1000.0;
    return AutoIrisOutcome::Adjusted;
}
