// The session's calibration data from and to files: the mask planes of a mask file, a plane
// taken from the current frame, and the defect list of a configuration file. Everything a file
// holds is read and checked before the session's data changes, and the change itself happens
// under imageLock, so a frame is corrected with the old data or the new, never a mixture.
#include "session/CKelvra.h"
#include "session/DefectList.h"
#include "session/FrameCorrections.h"
#include "session/MaskFile.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The planes in the order of the file's blocks.
std::array<DibImage*, kMaskBlockCount> PlanesInBlockOrder(const SessionImages& images) {
    return {images.dark8.get(), images.white8.get(), images.dark16.get(), images.white16.get()};
}

// The layout of the session's planes, or none (width 0) when they are not made as a file
// stores them.
MaskLayout PlaneLayout(const SessionImages& images) {
    const std::array<DibImage*, kMaskBlockCount> planes = PlanesInBlockOrder(images);
    const DibImage* first = planes[0];
    if (!first || !first->bits) return {};
    const MaskLayout layout = MaskLayout::ForPlanes(first->width, first->height);
    const uint16_t depths[kMaskBlockCount] = {8, 8, 16, 16};
    for (size_t block = 0; block < kMaskBlockCount; ++block) {
        const DibImage* plane = planes[block];
        if (!plane || !plane->bits || plane->width != first->width || plane->height != first->height ||
            plane->bitsPerPixel != depths[block] ||
            static_cast<uint64_t>(plane->stride) * static_cast<uint64_t>(plane->height) != layout.blockSizes[block]) {
            return {};
        }
    }
    return layout;
}

}  // namespace

bool CKelvra::LoadMaskFile(const char* path) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    const MaskLayout layout = PlaneLayout(images);
    MaskBlocks blocks;
    if (layout.width == 0 || !ReadMaskFile(path, layout, blocks)) {
        RecordError(KELVRA_ERR_MASK_FILE);
        return false;
    }
    const CriticalSectionGuard hold(corrections.imageLock);
    const std::array<DibImage*, kMaskBlockCount> planes = PlanesInBlockOrder(images);
    for (size_t block = 0; block < kMaskBlockCount; ++block) {
        std::memcpy(planes[block]->bits, blocks[block].data(), blocks[block].size());
    }
    RecomputeDefectMaps(*this);
    return true;
}

bool CKelvra::SaveMaskFile(const char* path) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    const MaskLayout layout = PlaneLayout(images);
    MaskBlocks blocks;
    if (layout.width != 0) {
        // A copy taken under the lock is written without it: frames need not wait for the disk.
        const CriticalSectionGuard hold(corrections.imageLock);
        const std::array<DibImage*, kMaskBlockCount> planes = PlanesInBlockOrder(images);
        for (size_t block = 0; block < kMaskBlockCount; ++block) {
            const BYTE* bits = planes[block]->bits;
            blocks[block].assign(bits, bits + layout.blockSizes[block]);
        }
    }
    if (layout.width == 0 || !WriteMaskFile(path, layout, blocks)) {
        RecordError(KELVRA_ERR_MASK_FILE);
        return false;
    }
    return true;
}

bool CKelvra::UpdateMaskData(int32_t which) {
    if (!device) {
        RecordError(KELVRA_ERR_NOT_READY);
        return false;
    }
    if (which != 0 && which != 1) {
        RecordError(KELVRA_ERR_FAILED);
        return false;
    }
    const MaskPlane plane = which == 0 ? MaskPlane::Dark : MaskPlane::White;
    // The worker writes the raw image under frameLock and corrects it under imageLock, in that
    // order; taking them in the same order keeps the two from waiting on each other.
    const CriticalSectionGuard frames(acquisition.frameLock);
    const CriticalSectionGuard hold(corrections.imageLock);
    const DibImage* raw = RawImage();
    if (!raw || !raw->bits) return true;
    const bool wide = raw->bitsPerPixel == 16;
    DibImage* target = wide ? (plane == MaskPlane::Dark ? images.dark16 : images.white16).get()
                            : (plane == MaskPlane::Dark ? images.dark8 : images.white8).get();
    // Only a frame of the whole sensor is a calibration: one of another size leaves the plane.
    if (!target || !target->bits || raw->width != target->width || raw->height != target->height ||
        raw->bitsPerPixel != target->bitsPerPixel) {
        return true;
    }
    const size_t rowBytes = static_cast<size_t>(std::min(raw->stride, target->stride));
    for (int32_t row = 0; row < raw->height; ++row) {
        std::memcpy(target->bits + static_cast<size_t>(row) * static_cast<size_t>(target->stride),
                    raw->bits + static_cast<size_t>(row) * static_cast<size_t>(raw->stride), rowBytes);
    }
    RecomputeDefectMap(*this, raw->bitsPerPixel, plane);
    return true;
}

bool CKelvra::LoadConfigFile(const char* path) {
    // Destroyed after the lock is left, with the list it takes the place of.
    DefectList loaded(kSensorWidth, kSensorHeight);
    if (!ReadDefectFile(path, loaded)) return false;
    const CriticalSectionGuard hold(corrections.imageLock);
    corrections.defectList.Swap(loaded);
    return true;
}
