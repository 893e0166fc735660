// Plain, direct implementations of the kernels, written from their definitions and
// compared bit for bit with the converters.
#pragma once

#include <cstdint>

#include "TestImages.h"

// Demosaic of the whole frame (interior and border) into dst (3, 4, 6 or 8 bytes per pixel).
void ReferenceDemosaic(const Plane& raw, Plane& dst, bool wide, int32_t phase, int32_t gainRed, int32_t gainBlue);

// Unsharp mask of copy into dst, channels 1 or 3, as the 16-sample sum and correction table.
void ReferenceSharpen(const Plane& copy, Plane& dst, bool wide, int channels, int32_t strength);

// Hue setting in degrees -> rotation in steps of 1/1530 of a turn.
int32_t ReferenceHueShift(int32_t hue);
// Hue/saturation of one blue, green, red pixel, with the packed value and sector table.
void ReferenceHueSaturation(int32_t hue, int32_t saturation, uint8_t bgr[3]);

// Gamma and contrast tables from their formulas.
uint32_t ReferenceGamma(int32_t gamma, uint32_t maxValue, uint32_t sample);
uint32_t ReferenceContrast(int32_t contrast, uint32_t maxValue, uint32_t sample);
uint32_t ReferenceBrightness(int32_t brightness, uint32_t maxValue, uint32_t sample);
