#include "imaging/Filters.h"

namespace {

// Members in the order 8-bit grey, 16-bit grey, 8-bit channels, 16-bit channels.
struct FilterMembers {
    ConverterFn gray8;
    ConverterFn gray16;
    ConverterFn color8;
    ConverterFn color16;
};

FilterMembers MembersOf(FilterKind kind) {
    switch (kind) {
        case FilterKind::Brightness:
            return {BrightnessGray8, BrightnessGray16, BrightnessColor8, BrightnessColor16};
        case FilterKind::Contrast:
            return {ContrastGray8, ContrastGray16, ContrastColor8, ContrastColor16};
        case FilterKind::Gamma:
            return {GammaGray8, GammaGray16, GammaColor8, GammaColor16};
        case FilterKind::Sharpness:
            return {SharpnessGray8, SharpnessGray16, SharpnessColor8, SharpnessColor16};
        case FilterKind::HueSaturation:
            break;
    }
    return {nullptr, nullptr, nullptr, nullptr};
}

}  // namespace

ConverterFn FilterConverterFor(FilterKind kind, uint16_t bitsPerPixel) {
    if (kind == FilterKind::HueSaturation) {
        switch (bitsPerPixel) {
            case 24:
            case 32:
                return HueSaturationColor8;
            case 48:
                return HueSaturation48;
            case 64:
                return HueSaturation64;
            default:
                return nullptr;
        }
    }
    const FilterMembers members = MembersOf(kind);
    switch (bitsPerPixel) {
        case 8:
            return members.gray8;
        case 16:
            return members.gray16;
        case 24:
        case 32:
            return members.color8;
        case 48:
        case 64:
            return members.color16;
        default:
            return nullptr;
    }
}
