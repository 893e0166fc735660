// Copies and bit-depth shifts between the raw frames and the 8/24/32/48/64-bit images.
#include <algorithm>
#include <cstring>

#include "imaging/ConverterArgs.h"
#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"

namespace {

// The shared loop: pixelFn(destPixel, sourcePixel) over every pixel of the rectangle,
// walking rows in storage order or reversed.
template <typename DestT, typename SourceT, int DestChannels, int SourceChannels, typename PixelFn>
int64_t RunPixels(const ConverterArgs& args, bool reversed, PixelFn pixelFn) {
    if (args.Empty()) return 1;
    RunKernel([&]() KELVRA_INLINE {
        ForEachRow(args, reversed, [&](BYTE* destRow, const BYTE* sourceRow, int32_t width, int32_t) KELVRA_INLINE {
            auto* d = reinterpret_cast<DestT*>(destRow);
            const auto* s = reinterpret_cast<const SourceT*>(sourceRow);
            for (int32_t x = 0; x < width; ++x) pixelFn(d + x * DestChannels, s + x * SourceChannels);
        });
    });
    return 1;
}

template <int Shift, int Mask>
int64_t Convert16To8(const ConverterArgs& args, bool reversed) {
    return RunPixels<uint8_t, uint16_t, 1, 1>(args, reversed, [](uint8_t* d, const uint16_t* s) KELVRA_INLINE {
        d[0] = static_cast<uint8_t>((s[0] >> Shift) & Mask);
    });
}

template <int Shift>
int64_t Shift16(const ConverterArgs& args) {
    return RunPixels<uint16_t, uint16_t, 1, 1>(
        args, false, [](uint16_t* d, const uint16_t* s) KELVRA_INLINE { d[0] = static_cast<uint16_t>(s[0] << Shift); });
}

template <bool SwapRedBlue>
int64_t Copy3Bytes(const ConverterArgs& args, bool reversed) {
    return RunPixels<uint8_t, uint8_t, 3, 3>(args, reversed, [](uint8_t* d, const uint8_t* s) KELVRA_INLINE {
        const uint8_t b = s[0], g = s[1], r = s[2];
        d[0] = SwapRedBlue ? r : b;
        d[1] = g;
        d[2] = SwapRedBlue ? b : r;
    });
}

template <int Shift, bool SwapRedBlue>
int64_t Shift48(const ConverterArgs& args) {
    return RunPixels<uint16_t, uint16_t, 3, 3>(args, false, [](uint16_t* d, const uint16_t* s) KELVRA_INLINE {
        const uint16_t c0 = s[0], c1 = s[1], c2 = s[2];
        d[0] = static_cast<uint16_t>((SwapRedBlue ? c2 : c0) << Shift);
        d[1] = static_cast<uint16_t>(c1 << Shift);
        d[2] = static_cast<uint16_t>((SwapRedBlue ? c0 : c2) << Shift);
    });
}

template <int Shift, bool SwapRedBlue>
int64_t Expand48To64(const ConverterArgs& args) {
    return RunPixels<uint16_t, uint16_t, 4, 3>(args, false, [](uint16_t* d, const uint16_t* s) KELVRA_INLINE {
        const uint16_t c0 = s[0], c1 = s[1], c2 = s[2];
        d[0] = static_cast<uint16_t>((SwapRedBlue ? c2 : c0) << Shift);
        d[1] = static_cast<uint16_t>(c1 << Shift);
        d[2] = static_cast<uint16_t>((SwapRedBlue ? c0 : c2) << Shift);
        d[3] = 0xFFFF;
    });
}

template <int Shift, int Mask>
int64_t Convert48To24(const ConverterArgs& args, bool reversed) {
    return RunPixels<uint8_t, uint16_t, 3, 3>(args, reversed, [](uint8_t* d, const uint16_t* s) KELVRA_INLINE {
        for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((s[c] >> Shift) & Mask);
    });
}

}  // namespace

KELVRA_CONVERTER(Convert10To8Reversed) { return Convert16To8<2, 0xFF>(KELVRA_CONVERTER_ARGS, true); }
KELVRA_CONVERTER(Convert12To8Reversed) { return Convert16To8<4, 0xFF>(KELVRA_CONVERTER_ARGS, true); }
KELVRA_CONVERTER(Convert16HighByte) { return Convert16To8<8, 0xFF>(KELVRA_CONVERTER_ARGS, false); }
KELVRA_CONVERTER(Convert16HighByteReversed) { return Convert16To8<8, 0xFF>(KELVRA_CONVERTER_ARGS, true); }
KELVRA_CONVERTER(Shift12To16) { return Shift16<4>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Shift10To16) { return Shift16<6>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Copy24) { return Copy3Bytes<false>(KELVRA_CONVERTER_ARGS, false); }
KELVRA_CONVERTER(Copy24Reversed) { return Copy3Bytes<false>(KELVRA_CONVERTER_ARGS, true); }
KELVRA_CONVERTER(Swap24) { return Copy3Bytes<true>(KELVRA_CONVERTER_ARGS, false); }
KELVRA_CONVERTER(Convert48To24Shift5) { return Convert48To24<5, 0xFF>(KELVRA_CONVERTER_ARGS, false); }
KELVRA_CONVERTER(Convert48To24Reversed) { return Convert48To24<8, 0xFF>(KELVRA_CONVERTER_ARGS, true); }
KELVRA_CONVERTER(Shift48By4) { return Shift48<4, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Shift48By6) { return Shift48<6, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Shift48By4Swap) { return Shift48<4, true>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Shift48By6Swap) { return Shift48<6, true>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Expand48To64By4) { return Expand48To64<4, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Expand48To64By6) { return Expand48To64<6, false>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Expand48To64By4Swap) { return Expand48To64<4, true>(KELVRA_CONVERTER_ARGS); }
KELVRA_CONVERTER(Expand48To64By6Swap) { return Expand48To64<6, true>(KELVRA_CONVERTER_ARGS); }

KELVRA_CONVERTER(Copy32InvertAlpha) {
    return RunPixels<uint8_t, uint8_t, 4, 4>(KELVRA_CONVERTER_ARGS, false,
                                             [](uint8_t* d, const uint8_t* s) KELVRA_INLINE {
                                                 d[0] = s[0];
                                                 d[1] = s[1];
                                                 d[2] = s[2];
                                                 d[3] = static_cast<uint8_t>(255 - s[3]);
                                             });
}

KELVRA_CONVERTER(GrayFromColor) {
    return RunPixels<uint8_t, uint8_t, 1, 3>(KELVRA_CONVERTER_ARGS, false,
                                             [](uint8_t* d, const uint8_t* s) KELVRA_INLINE {
                                                 d[0] = static_cast<uint8_t>((30 * s[2] + 59 * s[1] + 11 * s[0]) / 100);
                                             });
}

KELVRA_CONVERTER(CopyRowsReversed) {
    const ConverterArgs args = KELVRA_CONVERTER_ARGS;
    if (args.Empty()) return 1;
    // Whole rows, so the pixel offset of the rectangle does not apply; a stride larger than
    // the other image's is never read or written past.
    const size_t rowBytes = static_cast<size_t>(std::min(args.destStride, args.sourceStride));
    const int32_t rows = args.Height();
    auto destRow = [&](int32_t k) {
        return args.destination + static_cast<intptr_t>(args.destY + k) * args.destStride;
    };
    auto sourceRow = [&](int32_t k) {
        return args.source + static_cast<intptr_t>(args.rect.bottom - 1 - k) * args.sourceStride;
    };
    if (args.destination == args.source && args.destY == args.rect.top) {
        // Flipping an image onto itself: a plain copy would overwrite rows not yet read.
        for (int32_t k = 0; k < rows / 2; ++k) {
            std::swap_ranges(destRow(k), destRow(k) + rowBytes, const_cast<BYTE*>(sourceRow(k)));
        }
        return 1;
    }
    for (int32_t k = 0; k < rows; ++k) std::memmove(destRow(k), sourceRow(k), rowBytes);
    return 1;
}
