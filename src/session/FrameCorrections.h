// The corrections of the raw frame that work from the session's calibration data: the
// defect-list correction, the mask (flat-field) filter and the dot filter, and the defect maps
// the dot filter reads, made from the mask planes. The frame pipeline calls the corrections in
// its fixed order.
//
// Locking: CorrectDefectList takes the session's imageLock itself; the mask and dot filters
// are called with imageLock already held, so that a mask or configuration file loading at the
// same time never meets a half-corrected frame. The map functions are called with imageLock
// held.
//
// Geometry: a frame pixel (x, y) lies on the sensor at (x + xOffset, y + yOffset) of the capture
// window, storage row 0 being the first row the camera sends; the planes and maps are at sensor
// size and indexed that way. The defect list also follows a mirror the camera makes itself.
#pragma once

#include <cstdint>

class CKelvra;
struct DibImage;

enum class MaskPlane { Dark, White };

// Replaces the pixels of the session's defect list in raw by the mean of their nearest unlisted
// neighbours.
void CorrectDefectList(CKelvra& session, DibImage& raw);
// Shading correction of raw (8 or 16 bits) between the dark and white planes of its depth.
void ApplyMaskFilter(CKelvra& session, DibImage& raw);
// Replaces hot and dead pixels of the maps and pixels that stand out from their four direct
// neighbours by at least 30 (8-bit) or 480 (16-bit) by the mean of their nearest unmarked
// neighbours along the row and the column.
void ApplyDotFilter(CKelvra& session, DibImage& raw);

// Remakes the map that belongs to plane at bitsPerPixel (8 or 16; Dark: the hot map, White: the
// dead map) and the mapped defects of that depth.
void RecomputeDefectMap(CKelvra& session, int32_t bitsPerPixel, MaskPlane plane);
// All four maps.
void RecomputeDefectMaps(CKelvra& session);
