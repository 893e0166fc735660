#include "imaging/FilterChain.h"

#include <cstring>

#include "imaging/DibImage.h"
#include "imaging/Filters.h"
#include "imaging/Transfer.h"

namespace {

template <typename Record>
bool RunFilter(DibImage* output, DibImage* source, FilterKind kind, Record record) {
    const ConverterFn converter = FilterConverterFor(kind, output->bitsPerPixel);
    if (!converter) return kind == FilterKind::HueSaturation;  // grey images have no hue
    Record* slot = &record;
    return TransferImage(output, converter, source, nullptr, 0, 0, &slot, nullptr) != 0;
}

bool SameFormat(const DibImage* a, const DibImage* b) {
    return a->width == b->width && a->height == b->height && a->bitsPerPixel == b->bitsPerPixel &&
           a->stride == b->stride && b->bits;
}

}  // namespace

bool ApplyFilterChain(DibImage* output, DibImage* scratch, const FilterSettings& settings) {
    if (!output || !output->bits) return false;
    bool ok = true;
    if (settings.hue != 0 || settings.saturation != 0) {
        ok &= RunFilter(output, output, FilterKind::HueSaturation,
                        HueSaturationParams{settings.hue, 0, settings.saturation, 16});
    }
    if (settings.gamma != 100) ok &= RunFilter(output, output, FilterKind::Gamma, FilterSetting{settings.gamma});
    if (settings.contrast != 0) ok &= RunFilter(output, output, FilterKind::Contrast, FilterSetting{settings.contrast});
    if (settings.sharpness != 0) {
        if (!scratch || (!SameFormat(output, scratch) && !CopyImageFormat(scratch, output))) return false;
        std::memcpy(scratch->bits, output->bits,
                    static_cast<size_t>(output->height) * static_cast<size_t>(output->stride));
        ok &= RunFilter(output, scratch, FilterKind::Sharpness, FilterSetting{settings.sharpness});
    }
    if (settings.brightness != 0) {
        ok &= RunFilter(output, output, FilterKind::Brightness, FilterSetting{settings.brightness});
    }
    return ok;
}
