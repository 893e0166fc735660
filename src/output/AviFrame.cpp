#include "output/AviFrame.h"

#include "imaging/Converters.h"
#include "imaging/CpuDispatch.h"

#if KELVRA_HAS_AVX2_DISPATCH
#include <immintrin.h>
#endif

namespace {

// One row of grey (8-bit samples, or the high bytes of 16-bit ones) repeated into blue, green and
// red; returns the pixels done, the vector code leaving the tail to the plain loop.
#if KELVRA_HAS_AVX2_DISPATCH
template <typename Sample>
KELVRA_AVX2 int32_t GreyRowToBgrAvx2(const Sample* s, BYTE* d, int32_t width) {
    const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i spread2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        __m128i grey;
        if constexpr (sizeof(Sample) == 2) {
            const __m128i low = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)), 8);
            const __m128i high = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x + 8)), 8);
            grey = _mm_packus_epi16(low, high);
        } else {
            grey = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
        }
        BYTE* out = d + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(grey, spread0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_shuffle_epi8(grey, spread1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_shuffle_epi8(grey, spread2));
    }
    return x;
}
#endif

template <typename Sample, int Shift>
void GreyToBgr(const DibImage& source, DibImage& frame) {
#if KELVRA_HAS_AVX2_DISPATCH
    const bool vector = CpuHasAvx2();
#endif
    for (int32_t row = 0; row < source.height; ++row) {
        const auto* s = reinterpret_cast<const Sample*>(source.bits +
                                                        static_cast<intptr_t>(source.height - 1 - row) * source.stride);
        BYTE* d = frame.bits + static_cast<intptr_t>(row) * frame.stride;
        int32_t x = 0;
#if KELVRA_HAS_AVX2_DISPATCH
        if (vector) x = GreyRowToBgrAvx2(s, d, source.width);
#endif
        for (; x < source.width; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = static_cast<BYTE>(s[x] >> Shift);
    }
}

template <typename Sample, int Channels, int Shift>
void ToBgr(const DibImage& source, DibImage& frame) {
    for (int32_t row = 0; row < source.height; ++row) {
        const auto* s = reinterpret_cast<const Sample*>(source.bits +
                                                        static_cast<intptr_t>(source.height - 1 - row) * source.stride);
        BYTE* d = frame.bits + static_cast<intptr_t>(row) * frame.stride;
        for (int32_t x = 0; x < source.width; ++x, s += Channels, d += 3) {
            d[0] = static_cast<BYTE>(s[0] >> Shift);
            d[1] = static_cast<BYTE>(s[1] >> Shift);
            d[2] = static_cast<BYTE>(s[2] >> Shift);
        }
    }
}

}  // namespace

bool MakeAviFrame(const DibImage& source, DibImage& frame) {
    if (source.bits == nullptr || frame.bits == nullptr || frame.bitsPerPixel != 24 || frame.width != source.width ||
        frame.height != source.height) {
        return false;
    }
    auto* from = const_cast<DibImage*>(&source);
    switch (source.bitsPerPixel) {
        case 8:
            GreyToBgr<uint8_t, 0>(source, frame);
            return true;
        case 16:
            GreyToBgr<uint16_t, 8>(source, frame);
            return true;
        case 24:
            return TransferImage(&frame, Copy24Reversed, from, nullptr, 0, 0, nullptr, nullptr) != 0;
        case 32:
            ToBgr<uint8_t, 4, 0>(source, frame);
            return true;
        case 48:
            return TransferImage(&frame, Convert48To24Reversed, from, nullptr, 0, 0, nullptr, nullptr) != 0;
        case 64:
            ToBgr<uint16_t, 4, 8>(source, frame);
            return true;
        default:
            return false;
    }
}
