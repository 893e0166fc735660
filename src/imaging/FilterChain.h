// The filter steps of the frame pipeline, in their fixed order, on the output image.
#pragma once

#include <cstdint>

struct DibImage;

struct FilterSettings {
    int32_t hue = 0;
    int32_t saturation = 0;
    int32_t gamma = 100;
    int32_t contrast = 0;
    int32_t sharpness = 0;
    int32_t brightness = 0;
};

// Hue/saturation (colour only), gamma, contrast, sharpness and brightness, each skipped at
// its neutral value. Sharpness reads a copy of the output kept in scratch, which is given
// the output's format when it differs. Returns false if a step could not run.
bool ApplyFilterChain(DibImage* output, DibImage* scratch, const FilterSettings& settings);
