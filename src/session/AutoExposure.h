// Automatic exposure or gain: five regions of the raw frame are measured, their mean levels
// give a correction factor, and a factor far enough from 1 scales the camera's exposure or
// gain.
//
// Device calls: the worker measures every frame, but it talks to the camera only while it
// holds the session's call lock, which it tries once (TryEnter) and leaves as soon as the new
// value is sent. When the application is inside a call on the handle at that moment, the
// frame's adjustment is skipped; the next frame measures again. The pipeline never waits for
// the call lock: StopPreview holds it while it joins the worker, so waiting could deadlock.
// On the application's own thread (SnapShot) the lock is already held, and entering it again
// succeeds.
#pragma once

#include "kelvra/win32.h"

#include <array>
#include <cstdint>

class CKelvra;
struct DibImage;

constexpr int32_t kMeasuringRegionCount = 5;

// The measuring regions of a width x height image in top-down image coordinates: upper left,
// lower left, centre, upper right, lower right. Each edge is truncated to a whole pixel, so a
// narrow or short image may give empty regions.
std::array<RECT, kMeasuringRegionCount> MeasuringRegions(int32_t width, int32_t height);

// The mean level of a region on the 8-bit scale (16-bit frames are read as 10-bit samples).
// An empty region counts as a well exposed one, so that a narrow capture window neither
// divides by zero nor pushes the exposure; images of other depths read as black.
int32_t RegionLevel(DibImage& raw, const RECT& region);

// The correction factor in percent (100 = keep) from the levels of the five regions, the
// first one weighing most. Percent keeps the arithmetic exact: 4 x 1.25 must give 5, which
// the same sum in binary floating point may not.
int32_t CorrectionPercent(const std::array<int32_t, kMeasuringRegionCount>& levels);

// Whether a factor asks for a change at all; small corrections are left alone so the
// exposure does not hunt.
bool CorrectionApplies(int32_t percent);

// The gain to set for a device gain, raised to at least 4 first so a camera at gain 0 can
// brighten at all, and held within the device's range (0 when the range is empty).
int32_t CorrectedGain(int32_t deviceGain, int32_t percent, int32_t minimum, int32_t maximum);

// The exposure to set for a device exposure, at least 1 and within the device's range. The
// range of this camera reaches 1 000 000, so nothing here narrows the value to 16 bits.
int32_t CorrectedExposure(int32_t deviceExposure, int32_t percent, int32_t minimum, int32_t maximum);

enum class AutoIrisTarget { Exposure, Gain };

enum class AutoIrisOutcome {
    Unchanged,  // the frame is well exposed
    Adjusted,   // the device took a new value and the session's fields follow it
    Busy,       // the application was in a call: this frame's adjustment is skipped
    NoCamera,   // no device, or it refused the value; the session's fields are kept
};

// Measures raw and, when the factor asks for it, sets the device's exposure (exposureLines and
// exposureMs follow) or gain (globalGain and the four colour-gain fields follow).
AutoIrisOutcome RunAutoIris(CKelvra& session, DibImage& raw, AutoIrisTarget target);
