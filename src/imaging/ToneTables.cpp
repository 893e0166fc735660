#include "imaging/ToneTables.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

void BuildGammaTable(int32_t gamma, int32_t maxValue, uint16_t* table) {
    const double limit = maxValue;
    table[0] = 0;
    for (int32_t i = 1; i <= maxValue; ++i) {
        if (gamma <= 0) {
            // The exponent is infinite: everything below the top falls to 0.
            table[i] = static_cast<uint16_t>(i == maxValue ? maxValue : 0);
            continue;
        }
        const double exponent = 1.0 / (gamma / 100.0);
        const double value = limit * std::pow(i / limit, exponent);
        table[i] = static_cast<uint16_t>(std::min(static_cast<int64_t>(value), static_cast<int64_t>(maxValue)));
    }
}

void BuildContrastTable(int32_t contrast, int32_t maxValue, uint16_t* table) {
    // The 8-bit table works at 256 steps, the 16-bit one at 65536 with the setting scaled by 256.
    const int32_t scale = maxValue == 255 ? 1 : 256;
    const int64_t low = static_cast<int64_t>(contrast) * scale;
    const double slope = static_cast<double>(maxValue + 1) / (static_cast<double>(maxValue + 1) - 2.0 * low);
    for (int64_t i = 0; i <= maxValue; ++i) {
        if (i < low) {
            table[i] = 0;
        } else if (i > maxValue - low) {
            table[i] = static_cast<uint16_t>(maxValue);
        } else {
            table[i] = static_cast<uint16_t>(static_cast<int64_t>(slope * static_cast<double>(i - low)));
        }
    }
}

namespace {

struct CachedTable16 {
    bool valid = false;
    int32_t setting = 0;
    std::unique_ptr<uint16_t[]> table;
};

template <void (*Build)(int32_t, int32_t, uint16_t*)>
const uint16_t* Cached(CachedTable16& cache, int32_t setting) {
    if (!cache.table) cache.table.reset(new (std::nothrow) uint16_t[65536]);
    if (!cache.table) return nullptr;
    if (!cache.valid || cache.setting != setting) {
        Build(setting, 65535, cache.table.get());
        cache.setting = setting;
        cache.valid = true;
    }
    return cache.table.get();
}

}  // namespace

const uint16_t* CachedGammaTable16(int32_t gamma) {
    thread_local CachedTable16 cache;
    return Cached<BuildGammaTable>(cache, gamma);
}

const uint16_t* CachedContrastTable16(int32_t contrast) {
    thread_local CachedTable16 cache;
    return Cached<BuildContrastTable>(cache, contrast);
}
