#include "session/FramePipeline.h"

#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "imaging/Converters.h"
#include "imaging/DibImage.h"
#include "imaging/FilterChain.h"
#include "session/AutoExposure.h"
#include "imaging/RowReversal.h"
#include "session/CKelvra.h"
#include "session/CallLockAttempt.h"
#include "session/FrameCorrections.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The white-balance gains are percent and the demosaic takes no more than four times unity.
constexpr int32_t kBayerGainLimit = 400;
// Grey gain and offset count as switched off when they sit at their defaults.
constexpr int32_t kGrayNeutral = 128;
// 16-bit grey results are limited to 65535 (a depth the converter does not clip to).
constexpr int32_t kGraySampleBits8 = 8;
constexpr int32_t kGraySampleBits16 = 13;

bool HasPixels(const DibImage* image) { return image && image->bits && image->width > 0 && image->height > 0; }

bool SameFormat(const DibImage& a, const DibImage& b) {
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel && a.stride == b.stride;
}

// Runs a converter over the whole of source with record as its parameter record.
template <typename Record>
int64_t Run(DibImage& destination, ConverterFn converter, DibImage& source, Record& record) {
    Record* slot = &record;
    return TransferImage(&destination, converter, &source, nullptr, 0, 0, &slot, nullptr);
}

bool GrayGainOffsetNeutral(const GraySettings& gray) {
    // The blue offset is not part of the comparison: a blue offset alone does not switch the
    // step on, as it never has.
    return gray.grayGainR == kGrayNeutral && gray.grayGainG1 == kGrayNeutral && gray.grayGainG2 == kGrayNeutral &&
           gray.grayGainB == kGrayNeutral && gray.grayOffsetR == kGrayNeutral && gray.grayOffsetG1 == kGrayNeutral &&
           gray.grayOffsetG2 == kGrayNeutral;
}

// Writes raw turned as asked into scratch (same format), row by row.
void MirrorInto(const DibImage& raw, DibImage& scratch, bool horizontal, bool vertical) {
    const size_t stride = static_cast<size_t>(raw.stride);
    const uint32_t pixelBytes = raw.bitsPerPixel / 8u;
    for (int32_t y = 0; y < raw.height; ++y) {
        const BYTE* source = raw.bits + static_cast<size_t>(y) * stride;
        BYTE* destination = scratch.bits + static_cast<size_t>(vertical ? raw.height - 1 - y : y) * stride;
        if (horizontal) {
            MirrorPixelRow(destination, source, static_cast<size_t>(raw.width), pixelBytes);
        } else {
            std::memcpy(destination, source, stride);
        }
    }
}

}  // namespace

bool FramePipeline::Prepare(const DibImage& raw) {
    if (mirrorScratch && mirrorScratch->bits && SameFormat(*mirrorScratch, raw)) return true;
    if (!mirrorScratch) {
        mirrorScratch.reset(new (std::nothrow) DibImage);
        if (!mirrorScratch) return false;
        InitImage(mirrorScratch.get());
    }
    return CopyImageFormat(mirrorScratch.get(), &raw) != 0;
}

void FramePipeline::Process(CKelvra& session) {
    const int32_t colourMode = session.format.colourMode;
    DibImage* raw = session.RawImage();
    DibImage* output = session.OutputImage();
    if (!HasPixels(raw) || !output) return;

    Corrections& corrections = session.corrections;
    if (corrections.configFilter) CorrectDefectList(session, *raw);

    const int32_t autoIris = session.camera.autoIris;
    if (autoIris == 1 || autoIris == 2) {
        // Whatever the outcome, the frame itself goes on unchanged: a skipped or refused
        // adjustment is tried again on the next frame.
        static_cast<void>(RunAutoIris(session, *raw, autoIris == 1 ? AutoIrisTarget::Exposure : AutoIrisTarget::Gain));
    }

    // Only taken when a step needs the calibration data, so a mask file loading while both
    // filters are off does not hold up the frames.
    if (corrections.maskFilter || corrections.dotFilter) {
        const CriticalSectionGuard hold(corrections.imageLock);
        if (corrections.maskFilter) ApplyMaskFilter(session, *raw);
        if (corrections.dotFilter) ApplyDotFilter(session, *raw);
    }

    if (colourMode == 0 || colourMode == 1) ProcessGrey(session, *raw);
    Mirror(session, *raw);
    if (colourMode >= 2) ColourFromBayer(session, output, raw);

    const ImageFilters& filters = session.filters;
    const FilterSettings settings{filters.hue,      filters.saturation, filters.gamma,
                                  filters.contrast, filters.sharpness,  filters.brightness};
    // A filter that could not run leaves the frame as the steps before it made it; there is no
    // one to tell on the frame path.
    static_cast<void>(ApplyFilterChain(output, session.images.filterCopy.get(), settings));
}

void FramePipeline::ProcessGrey(CKelvra& session, DibImage& raw) {
    GraySettings& gray = session.gray;
    if (gray.grayMode == 1) {
        const bool wide = raw.bitsPerPixel == 16;
        GrayParams params{session.filters.bayerMode,
                          gray.grayGainR,
                          gray.grayGainG1,
                          gray.grayGainG2,
                          gray.grayGainB,
                          gray.grayOffsetR,
                          gray.grayOffsetG1,
                          gray.grayOffsetG2,
                          gray.grayOffsetB,
                          wide ? kGraySampleBits16 : kGraySampleBits8};
        if (gray.grayAutoFrames) {
            if (Run(raw, GrayAutoGains, raw, params)) {
                gray.grayGainR = params.gainR;
                gray.grayGainG1 = params.gainG1;
                gray.grayGainG2 = params.gainG2;
                gray.grayGainB = params.gainB;
            }
            gray.grayAutoFrames = 0;
        }
        if (!GrayGainOffsetNeutral(gray)) Run(raw, wide ? GrayGainOffset16 : GrayGainOffset8, raw, params);
        return;
    }
    // Grey from colour exists for 8-bit frames only: there is no 16-bit grey-from-colour
    // converter, and a 16-bit session's raw8 holds no current frame.
    if (gray.grayMode == 2 && raw.bitsPerPixel == 8) {
        DibImage* colour = session.images.rgb24.get();
        if (!HasPixels(colour) || colour->width != raw.width || colour->height != raw.height) return;
        ColourFromBayer(session, colour, &raw);
        TransferImage(&raw, GrayFromColor, colour, nullptr, 0, 0, nullptr, nullptr);
    }
}

void FramePipeline::QueryDeviceMirrors(CKelvra& session) {
    CKelvraUSB3G5SimpleSdk* device = session.device.get();
    if (!device) {
        deviceMirrorsH = false;
        deviceMirrorsV = false;
        return;
    }
    const CallLockAttempt call(session.CallLock());
    if (!call.Held()) return;
    // The device's horizontal mirror drives the sensor's vertical one, so the answers cross.
    deviceMirrorsH = device->IsMirrorVSupported() != 0;
    deviceMirrorsV = device->IsMirrorHSupported() != 0;
}

void FramePipeline::Mirror(CKelvra& session, DibImage& raw) {
    if (!session.camera.mirrorH && !session.camera.mirrorV) return;
    if (raw.bitsPerPixel != 8 && raw.bitsPerPixel != 16) return;
    QueryDeviceMirrors(session);
    const bool horizontal = session.camera.mirrorH && !deviceMirrorsH;
    const bool vertical = session.camera.mirrorV && !deviceMirrorsV;
    if (!horizontal && !vertical) return;
    // Capture set-up prepares the scratch; a caller that skipped it gets it here, once per
    // format, rather than an unmirrored frame.
    if (!Prepare(raw)) return;
    MirrorInto(raw, *mirrorScratch, horizontal, vertical);
    std::memcpy(raw.bits, mirrorScratch->bits, static_cast<size_t>(raw.stride) * static_cast<size_t>(raw.height));
}

void FramePipeline::ColourFromBayer(CKelvra& session, DibImage* output, DibImage* raw) {
    if (!HasPixels(output) || !HasPixels(raw)) return;
    const bool wide = raw->bitsPerPixel == 16;
    if (!wide && raw->bitsPerPixel != 8) return;
    ImageFilters& filters = session.filters;

    if (filters.bayerGainAuto) {
        // A class the converter cannot measure (a black frame) keeps its gain: it leaves that
        // field as it found it, and an unmeasured field still holds this marker.
        constexpr int32_t kUnmeasured = -1;
        WhiteBalanceResult measured{kUnmeasured, 0, kUnmeasured, filters.bayerMode};
        if (Run(*raw, wide ? WhiteBalance16 : WhiteBalance8, *raw, measured)) {
            const bool redMeasured = measured.gainRed != kUnmeasured;
            const bool blueMeasured = measured.gainBlue != kUnmeasured;
            if (redMeasured) filters.bayerGainRed = std::min(measured.gainRed, kBayerGainLimit);
            if (blueMeasured) filters.bayerGainBlue = std::min(measured.gainBlue, kBayerGainLimit);
            if (redMeasured || blueMeasured) filters.bayerGainGreen = std::min(measured.gainGreen, kBayerGainLimit);
        }
        if (filters.whiteBalanceOnce1 && filters.whiteBalanceOnce2) {
            filters.bayerGainAuto = 0;
            filters.whiteBalanceOnce1 = 0;
            filters.whiteBalanceOnce2 = 0;
        }
    }

    BayerParams params{filters.bayerMode, filters.bayerGainRed, filters.bayerGainGreen, filters.bayerGainBlue};
    Run(*output, wide ? Demosaic16 : Demosaic8, *raw, params);
    Run(*output, wide ? Demosaic16Border : Demosaic8Border, *raw, params);
}
