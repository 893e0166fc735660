// Lookup tables of the gamma and contrast filters.
#pragma once

#include <cstdint>

// Fills table[0 .. maxValue] for samples of 0 .. maxValue (255 or 65535).
void BuildGammaTable(int32_t gamma, int32_t maxValue, uint16_t* table);
void BuildContrastTable(int32_t contrast, int32_t maxValue, uint16_t* table);

// The 65536-entry tables cost far more to build than to apply, so each thread keeps the
// last one it built per filter and setting; the result is the same as building per call.
// Null when the table cannot be allocated.
const uint16_t* CachedGammaTable16(int32_t gamma);
const uint16_t* CachedContrastTable16(int32_t contrast);
