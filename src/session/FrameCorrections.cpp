#include "session/FrameCorrections.h"

#include "common/CriticalSection.h"
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "session/CKelvra.h"
#include "session/CallLockAttempt.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kDotThreshold8 = 30;
constexpr int32_t kDotThreshold16 = 480;
// Map thresholds: a dark plane brighter than a quarter of the 8-bit or 13-bit range marks a hot
// pixel, a white plane below an eighth of it a dead one.
constexpr int32_t kHotLevel8 = 192;
constexpr int32_t kDeadLevel8 = 64;
constexpr int32_t kHotLevel16 = 3072;
constexpr int32_t kDeadLevel16 = 1024;
// The outer two rows and columns of the maps stay clear: the sensor's edge pixels are not
// calibrated.
constexpr int32_t kMapBorder = 2;
// 13-bit results of the 16-bit shading correction, spread to 16 bits.
constexpr int32_t kShadingRange16 = 8192;
constexpr int32_t kShadingSpread16 = 8;

bool HasPixels(const DibImage* image) { return image && image->bits && image->width > 0 && image->height > 0; }

template <typename Sample>
Sample* RowOf(const DibImage& image, int32_t row) {
    return reinterpret_cast<Sample*>(image.bits + static_cast<size_t>(row) * static_cast<size_t>(image.stride));
}

// Refreshes whether the camera mirrors by itself when the call lock is free; a frame on which
// the application is in a call uses the last answers.
void QueryDeviceMirrors(CKelvra& session) {
    Corrections& corrections = session.corrections;
    CKelvraUSB3G5SimpleSdk* device = session.device.get();
    if (!device) {
        corrections.deviceMirrorsH = false;
        corrections.deviceMirrorsV = false;
        return;
    }
    const CallLockAttempt call(session.CallLock());
    if (!call.Held()) return;
    // The device's horizontal mirror drives the sensor's vertical one, so the answers cross.
    corrections.deviceMirrorsH = device->IsMirrorVSupported() != 0;
    corrections.deviceMirrorsV = device->IsMirrorHSupported() != 0;
}

template <typename Sample>
void ShadeSamples(DibImage& raw, const DibImage& dark, const DibImage& white, int32_t xOffset, int32_t yOffset) {
    // Frames of the sensor's full width or height keep their outer two pixels, which the planes
    // do not calibrate.
    const int32_t border = (raw.width == dark.width || raw.height == dark.height) ? kMapBorder : 0;
    const int32_t firstX = border;
    const int32_t firstY = border;
    const int32_t endX = std::min(raw.width - border, dark.width - xOffset);
    const int32_t endY = std::min(raw.height - border, dark.height - yOffset);
    for (int32_t y = firstY; y < endY; ++y) {
        Sample* pixels = RowOf<Sample>(raw, y);
        const Sample* darkRow = RowOf<Sample>(dark, y + yOffset) + xOffset;
        const Sample* whiteRow = RowOf<Sample>(white, y + yOffset) + xOffset;
        for (int32_t x = firstX; x < endX; ++x) {
            const int32_t d = darkRow[x];
            const int32_t w = whiteRow[x];
            const int32_t p = pixels[x];
            if constexpr (sizeof(Sample) == 1) {
                if (d == w) continue;
                pixels[x] = static_cast<Sample>(std::clamp((p - d) * 256 / (w - d), 0, 255));
            } else {
                if (d >= w) continue;
                const int32_t level = std::clamp((p - d) * kShadingRange16 / (w - d), 0, kShadingRange16 - 1);
                pixels[x] = static_cast<Sample>(level * kShadingSpread16);
            }
        }
    }
}

// Marks in work (8-bit, at least the frame's size) the pixels that differ from the mean of their
// four direct neighbours by threshold or more; the outermost rows and columns stay unmarked.
template <typename Sample>
void MarkOutliers(const DibImage& raw, DibImage& work, int32_t threshold) {
    const int32_t width = raw.width;
    const int32_t height = raw.height;
    std::memset(RowOf<uint8_t>(work, 0), 0, static_cast<size_t>(width));
    std::memset(RowOf<uint8_t>(work, height - 1), 0, static_cast<size_t>(width));
    for (int32_t y = 1; y + 1 < height; ++y) {
        const Sample* above = RowOf<Sample>(raw, y - 1);
        const Sample* row = RowOf<Sample>(raw, y);
        const Sample* below = RowOf<Sample>(raw, y + 1);
        uint8_t* marks = RowOf<uint8_t>(work, y);
        marks[0] = 0;
        marks[width - 1] = 0;
        for (int32_t x = 1; x + 1 < width; ++x) {
            const int32_t mean = (row[x - 1] + row[x + 1] + above[x] + below[x]) >> 2;
            const int32_t difference = row[x] - mean;
            marks[x] = static_cast<uint8_t>((difference >= threshold) | (difference <= -threshold));
        }
    }
}

// Marks the mapped defects that fall inside the frame, away from its outermost rows and columns.
void MarkMapped(DibImage& work, const std::vector<DefectPixel>& mapped, int32_t frameWidth, int32_t frameHeight,
                int32_t xOffset, int32_t yOffset) {
    for (const DefectPixel& position : mapped) {
        const int32_t x = position.x - xOffset;
        const int32_t y = position.y - yOffset;
        if (x < 1 || y < 1 || x + 1 >= frameWidth || y + 1 >= frameHeight) continue;
        RowOf<uint8_t>(work, y)[x] = 1;
    }
}

// Replaces every marked pixel, in row order, by the mean of the nearest unmarked pixels along
// its row and its column. Unmarked pixels never change, so each marked pixel's neighbours are
// the ends of the run of marked pixels it belongs to, along the row and along the column: each
// run is measured once, and a frame whose every pixel is marked costs no more than a few passes.
// runTops and runBottoms hold, per column, the first and last row of the vertical run met there
// last (-1: none yet).
template <typename Sample>
void ReplaceMarked(DibImage& raw, const DibImage& work, int32_t* runTops, int32_t* runBottoms) {
    const int32_t width = raw.width;
    const int32_t height = raw.height;
    std::fill(runBottoms, runBottoms + width, -1);
    const auto marked = [&work](int32_t x, int32_t row) { return RowOf<uint8_t>(work, row)[x] != 0; };
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* marks = RowOf<uint8_t>(work, y);
        Sample* row = RowOf<Sample>(raw, y);
        for (int32_t x = 0; x < width; ++x) {
            // Marks are rare: skip clear ones 32 at a time.
            if (x + 32 <= width) {
                uint64_t words[4];
                std::memcpy(words, marks + x, sizeof words);
                if ((words[0] | words[1] | words[2] | words[3]) == 0) {
                    x += 31;
                    continue;
                }
            }
            if (!marks[x]) continue;
            int32_t runEnd = x;
            while (runEnd + 1 < width && marks[runEnd + 1]) ++runEnd;
            const int32_t left = x - 1;
            const int32_t right = runEnd + 1;
            for (int32_t column = x; column <= runEnd; ++column) {
                // Rows are taken top-down: a pixel below the column's last run starts a new one,
                // which is measured to its end there.
                if (runBottoms[column] < y) {
                    int32_t last = y;
                    while (last + 1 < height && marked(column, last + 1)) ++last;
                    runTops[column] = y;
                    runBottoms[column] = last;
                }
                const int32_t above = runTops[column] - 1;
                const int32_t below = runBottoms[column] + 1;
                uint32_t sum = 0;
                uint32_t count = 0;
                if (left >= 0) sum += row[left], ++count;
                if (right < width) sum += row[right], ++count;
                if (above >= 0) sum += RowOf<Sample>(raw, above)[column], ++count;
                if (below < height) sum += RowOf<Sample>(raw, below)[column], ++count;
                if (count) row[column] = static_cast<Sample>(sum / count);
            }
            x = runEnd;
        }
    }
}

template <typename Sample>
void MakeMap(const DibImage& plane, DibImage& map, int32_t level, bool above) {
    for (int32_t y = 0; y < map.height; ++y) std::memset(RowOf<uint8_t>(map, y), 0, static_cast<size_t>(map.stride));
    const int32_t endX = std::min(plane.width, map.width) - kMapBorder;
    const int32_t endY = std::min(plane.height, map.height) - kMapBorder;
    for (int32_t y = kMapBorder; y < endY; ++y) {
        const Sample* samples = RowOf<Sample>(plane, y);
        Sample* flags = RowOf<Sample>(map, y);
        for (int32_t x = kMapBorder; x < endX; ++x) {
            flags[x] = static_cast<Sample>(above ? samples[x] > level : samples[x] < level);
        }
    }
}

template <typename Sample>
void CollectMapped(const DibImage* hot, const DibImage* dead, std::vector<DefectPixel>& mapped) {
    mapped.clear();
    if (!HasPixels(hot) || !HasPixels(dead) || hot->width != dead->width || hot->height != dead->height) return;
    for (int32_t y = 0; y < hot->height; ++y) {
        const Sample* hotRow = RowOf<Sample>(*hot, y);
        const Sample* deadRow = RowOf<Sample>(*dead, y);
        for (int32_t x = 0; x < hot->width; ++x) {
            if (hotRow[x] || deadRow[x]) mapped.push_back({x, y});
        }
    }
}

}  // namespace

void CorrectDefectList(CKelvra& session, DibImage& raw) {
    const CameraSettings& camera = session.camera;
    Corrections& corrections = session.corrections;
    if (camera.mirrorH || camera.mirrorV) QueryDeviceMirrors(session);
    const DefectGeometry geometry{session.format.xOffset, session.format.yOffset,
                                  camera.mirrorH && corrections.deviceMirrorsH,
                                  camera.mirrorV && corrections.deviceMirrorsV};
    const CriticalSectionGuard hold(corrections.imageLock);
    corrections.defectList.Correct(raw, geometry);
}

void ApplyMaskFilter(CKelvra& session, DibImage& raw) {
    const SessionImages& images = session.images;
    const bool wide = raw.bitsPerPixel == 16;
    if (!wide && raw.bitsPerPixel != 8) return;
    const DibImage* dark = wide ? images.dark16.get() : images.dark8.get();
    const DibImage* white = wide ? images.white16.get() : images.white8.get();
    if (!HasPixels(&raw) || !HasPixels(dark) || !HasPixels(white)) return;
    if (dark->width != white->width || dark->height != white->height) return;
    const int32_t xOffset = session.format.xOffset;
    const int32_t yOffset = session.format.yOffset;
    if (xOffset < 0 || yOffset < 0 || xOffset >= dark->width || yOffset >= dark->height) return;
    if (wide) {
        ShadeSamples<uint16_t>(raw, *dark, *white, xOffset, yOffset);
    } else {
        ShadeSamples<uint8_t>(raw, *dark, *white, xOffset, yOffset);
    }
}

void ApplyDotFilter(CKelvra& session, DibImage& raw) {
    const bool wide = raw.bitsPerPixel == 16;
    if (!wide && raw.bitsPerPixel != 8) return;
    // One byte per mark serves both depths.
    DibImage* work = session.images.defectWork8.get();
    if (!HasPixels(&raw) || !HasPixels(work) || work->width < raw.width || work->height < raw.height) return;
    Corrections& corrections = session.corrections;
    if (raw.width < 3 || raw.height < 3 || corrections.dotRunTops.size() < static_cast<size_t>(raw.width) ||
        corrections.dotRunBottoms.size() < static_cast<size_t>(raw.width)) {
        return;
    }
    if (wide) {
        MarkOutliers<uint16_t>(raw, *work, kDotThreshold16);
    } else {
        MarkOutliers<uint8_t>(raw, *work, kDotThreshold8);
    }
    MarkMapped(*work, wide ? corrections.mappedDefects16 : corrections.mappedDefects8, raw.width, raw.height,
               session.format.xOffset, session.format.yOffset);
    if (wide) {
        ReplaceMarked<uint16_t>(raw, *work, corrections.dotRunTops.data(), corrections.dotRunBottoms.data());
    } else {
        ReplaceMarked<uint8_t>(raw, *work, corrections.dotRunTops.data(), corrections.dotRunBottoms.data());
    }
}

void RecomputeDefectMap(CKelvra& session, int32_t bitsPerPixel, MaskPlane plane) {
    SessionImages& images = session.images;
    Corrections& corrections = session.corrections;
    const bool wide = bitsPerPixel == 16;
    const bool dark = plane == MaskPlane::Dark;
    const DibImage* source =
        wide ? (dark ? images.dark16 : images.white16).get() : (dark ? images.dark8 : images.white8).get();
    DibImage* map =
        wide ? (dark ? images.hotMap16 : images.deadMap16).get() : (dark ? images.hotMap8 : images.deadMap8).get();
    if (!HasPixels(source) || !HasPixels(map) || source->bitsPerPixel != map->bitsPerPixel) return;
    if (wide) {
        MakeMap<uint16_t>(*source, *map, dark ? kHotLevel16 : kDeadLevel16, dark);
        CollectMapped<uint16_t>(images.hotMap16.get(), images.deadMap16.get(), corrections.mappedDefects16);
    } else {
        MakeMap<uint8_t>(*source, *map, dark ? kHotLevel8 : kDeadLevel8, dark);
        CollectMapped<uint8_t>(images.hotMap8.get(), images.deadMap8.get(), corrections.mappedDefects8);
    }
}

void RecomputeDefectMaps(CKelvra& session) {
    for (const int32_t bits : {8, 16}) {
        RecomputeDefectMap(session, bits, MaskPlane::Dark);
        RecomputeDefectMap(session, bits, MaskPlane::White);
    }
}
