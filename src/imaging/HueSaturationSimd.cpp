// Eight pixels per vector in 32-bit lanes, each lane a pixel 0x??RRGGBB. Sector logic
// becomes masks and blends; the channel pattern of the result sector is looked up in an
// eight-entry register table and applied to the packed pixel as one multiply-add.
#include "imaging/HueSaturationSimd.h"

#include "imaging/CpuDispatch.h"

#if KELVRA_HAS_AVX2_DISPATCH
#include <immintrin.h>

namespace {

class HueSaturationAvx2 {
public:
    KELVRA_AVX2_INLINE explicit HueSaturationAvx2(const HueSaturationSteps& steps)
        : shiftWithin(_mm256_set1_epi32(steps.shiftWithin)),
          shiftSectors(_mm256_set1_epi32(steps.shiftSectors)),
          saturationMul(_mm256_set1_epi32(steps.saturationMul)),
          // Per result sector: the channels that get the full amplitude, and the packed step
          // that the ramp moves (the sector table of the filter, indices 0 .. 5).
          sectorMasks(_mm256_setr_epi32(0x010001, 0x010000, 0x010100, 0x000100, 0x000101, 0x000001, 0, 0)),
          sectorSteps(_mm256_setr_epi32(-1, 256, -65536, 1, -256, 65536, 0, 0)) {}

    // Pixels in the low three bytes of each lane; returns 0x00RRGGBB per lane.
    KELVRA_AVX2_INLINE __m256i Adjust(__m256i pixels) const {
        const __m256i byteMask = _mm256_set1_epi32(0xFF);
        const __m256i b = _mm256_and_si256(pixels, byteMask);
        const __m256i g = _mm256_and_si256(_mm256_srli_epi32(pixels, 8), byteMask);
        const __m256i r = _mm256_and_si256(_mm256_srli_epi32(pixels, 16), byteMask);
        const __m256i hi = _mm256_max_epi32(r, _mm256_max_epi32(g, b));
        const __m256i lo = _mm256_min_epi32(r, _mm256_min_epi32(g, b));
        const __m256i l2 = _mm256_add_epi32(hi, lo);
        const __m256i chroma = _mm256_sub_epi32(hi, lo);
        const __m256i redMax = _mm256_andnot_si256(_mm256_or_si256(_mm256_cmpgt_epi32(g, r), _mm256_cmpgt_epi32(b, r)),
                                                   _mm256_set1_epi32(-1));
        const __m256i greenMax =
            _mm256_andnot_si256(_mm256_or_si256(redMax, _mm256_cmpgt_epi32(b, g)), _mm256_set1_epi32(-1));
        const __m256i sector = _mm256_blendv_epi8(
            _mm256_blendv_epi8(_mm256_set1_epi32(5), _mm256_set1_epi32(3), greenMax), _mm256_set1_epi32(1), redMax);
        const __m256i rawPosition =
            _mm256_blendv_epi8(_mm256_blendv_epi8(_mm256_sub_epi32(r, g), _mm256_sub_epi32(b, r), greenMax),
                               _mm256_sub_epi32(g, b), redMax);
        const __m256i behind = _mm256_cmpgt_epi32(_mm256_setzero_si256(), rawPosition);
        const __m256i position = _mm256_add_epi32(rawPosition, _mm256_and_si256(behind, chroma));
        const __m256i half = _mm256_set1_epi32(32768);
        const __m256i scaledChroma =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(saturationMul, chroma), half), 16);
        const __m256i limit = _mm256_min_epi32(l2, _mm256_sub_epi32(_mm256_set1_epi32(511), l2));
        const __m256i newChroma = _mm256_min_epi32(scaledChroma, limit);
        const __m256i low = _mm256_srai_epi32(_mm256_sub_epi32(l2, newChroma), 1);
        const __m256i amplitude = _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(l2, newChroma), 1), low);
        const __m256i reciprocal = Reciprocal(chroma);
        const __m256i w0 = _mm256_add_epi32(
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(position, reciprocal), half), 16), shiftWithin);
        const __m256i carry = _mm256_cmpgt_epi32(w0, _mm256_set1_epi32(254));
        const __m256i w = _mm256_sub_epi32(w0, _mm256_and_si256(carry, byteMask));
        // Masks are -1 where set: behind lowers the sector by one, a carry raises it.
        __m256i index = _mm256_sub_epi32(_mm256_add_epi32(_mm256_add_epi32(sector, behind), shiftSectors), carry);
        index = _mm256_sub_epi32(
            index, _mm256_and_si256(_mm256_cmpgt_epi32(index, _mm256_set1_epi32(5)), _mm256_set1_epi32(6)));
        const __m256i ramp =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(amplitude, w), _mm256_set1_epi32(128)), 8);
        const __m256i grey = _mm256_mullo_epi32(low, _mm256_set1_epi32(0x010101));
        const __m256i full = _mm256_mullo_epi32(amplitude, _mm256_permutevar8x32_epi32(sectorMasks, index));
        const __m256i moved = _mm256_mullo_epi32(ramp, _mm256_permutevar8x32_epi32(sectorSteps, index));
        return _mm256_add_epi32(grey, _mm256_add_epi32(full, moved));
    }

private:
    // kHueReciprocals[chroma] without a gather, which is slow on many CPUs: 16711680 is
    // exact in single precision, and for every divisor 1 .. 255 its correctly rounded
    // quotient truncates to the integer quotient (no quotient lies within half a unit in
    // the last place below the next integer). Chroma 0 has position 0, so any value works.
    KELVRA_AVX2_INLINE static __m256i Reciprocal(__m256i chroma) {
        const __m256 divisor = _mm256_cvtepi32_ps(_mm256_max_epi32(chroma, _mm256_set1_epi32(1)));
        return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_set1_ps(16711680.0f), divisor));
    }

    __m256i shiftWithin;
    __m256i shiftSectors;
    __m256i saturationMul;
    __m256i sectorMasks;
    __m256i sectorSteps;
};

KELVRA_AVX2_INLINE __m256i Join(__m128i low, __m128i high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// 48 bytes as two vectors whose 128-bit halves each hold 12 of them in their low bytes
// (four 3-byte or two 6-byte pixels), in order, and back.
struct Bytes48 {
    __m256i first;
    __m256i second;
};

KELVRA_AVX2_INLINE Bytes48 Load48(const uint8_t* p) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    return Bytes48{Join(a, _mm_alignr_epi8(b, a, 12)), Join(_mm_alignr_epi8(c, b, 8), _mm_srli_si128(c, 4))};
}

// The upper four bytes of each half must be zero.
KELVRA_AVX2_INLINE void Store48(const Bytes48& bytes, uint8_t* o) {
    const __m128i q0 = _mm256_castsi256_si128(bytes.first), q1 = _mm256_extracti128_si256(bytes.first, 1);
    const __m128i q2 = _mm256_castsi256_si128(bytes.second), q3 = _mm256_extracti128_si256(bytes.second, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_or_si128(q0, _mm_slli_si128(q1, 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_or_si128(_mm_srli_si128(q1, 4), _mm_slli_si128(q2, 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), _mm_or_si128(_mm_srli_si128(q2, 8), _mm_slli_si128(q3, 4)));
}

// Per-half byte shuffle from sixteen controls, the same in both halves.
KELVRA_AVX2_INLINE __m256i Shuffle(__m256i v, const std::array<int8_t, 16>& control) {
    const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(control.data()));
    return _mm256_shuffle_epi8(v, _mm256_broadcastsi128_si256(half));
}

constexpr int8_t Z = -128;  // shuffle control of a zero byte

// 3-byte pixels <-> one pixel per 32-bit lane.
constexpr std::array<int8_t, 16> kSpread24 = {0, 1, 2, Z, 3, 4, 5, Z, 6, 7, 8, Z, 9, 10, 11, Z};
constexpr std::array<int8_t, 16> kPack24 = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, Z, Z, Z, Z};
// Upper bytes of two 16-bit pixels (6 or 8 bytes) into lanes 0-1 or 2-3 of a half.
constexpr std::array<int8_t, 16> kUpper48Low = {1, 3, 5, Z, 7, 9, 11, Z, Z, Z, Z, Z, Z, Z, Z, Z};
constexpr std::array<int8_t, 16> kUpper48High = {Z, Z, Z, Z, Z, Z, Z, Z, 1, 3, 5, Z, 7, 9, 11, Z};
constexpr std::array<int8_t, 16> kUpper64Low = {1, 3, 5, Z, 9, 11, 13, Z, Z, Z, Z, Z, Z, Z, Z, Z};
constexpr std::array<int8_t, 16> kUpper64High = {Z, Z, Z, Z, Z, Z, Z, Z, 1, 3, 5, Z, 9, 11, 13, Z};
// Lanes 0-1 or 2-3 of a half back to two 16-bit pixels with zero low bytes (and alpha).
constexpr std::array<int8_t, 16> kWiden48Low = {Z, 0, Z, 1, Z, 2, Z, 4, Z, 5, Z, 6, Z, Z, Z, Z};
constexpr std::array<int8_t, 16> kWiden48High = {Z, 8, Z, 9, Z, 10, Z, 12, Z, 13, Z, 14, Z, Z, Z, Z};
constexpr std::array<int8_t, 16> kWiden64Low = {Z, 0, Z, 1, Z, 2, Z, Z, Z, 4, Z, 5, Z, 6, Z, Z};
constexpr std::array<int8_t, 16> kWiden64High = {Z, 8, Z, 9, Z, 10, Z, Z, Z, 12, Z, 13, Z, 14, Z, Z};

KELVRA_AVX2_INLINE int32_t Row24(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationAvx2& kernel) {
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const Bytes48 in = Load48(s + static_cast<intptr_t>(x) * 3);
        const Bytes48 out{Shuffle(kernel.Adjust(Shuffle(in.first, kSpread24)), kPack24),
                          Shuffle(kernel.Adjust(Shuffle(in.second, kSpread24)), kPack24)};
        Store48(out, d + static_cast<intptr_t>(x) * 3);
    }
    return x;
}

KELVRA_AVX2_INLINE int32_t Row32(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationAvx2& kernel) {
    const __m256i fourthByte = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + static_cast<intptr_t>(x) * 4));
        const __m256i adjusted = _mm256_or_si256(kernel.Adjust(pixels), _mm256_and_si256(pixels, fourthByte));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + static_cast<intptr_t>(x) * 4), adjusted);
    }
    return x;
}

// 16-bit channels are adjusted by their upper bytes. Eight pixels make one vector, its
// lanes in the order 0, 1, 4, 5 | 2, 3, 6, 7, which the way back undoes.
KELVRA_AVX2_INLINE int32_t Row48(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationAvx2& kernel) {
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const Bytes48 in = Load48(s + static_cast<intptr_t>(x) * 6);
        const __m256i adjusted =
            kernel.Adjust(_mm256_or_si256(Shuffle(in.first, kUpper48Low), Shuffle(in.second, kUpper48High)));
        Store48(Bytes48{Shuffle(adjusted, kWiden48Low), Shuffle(adjusted, kWiden48High)},
                d + static_cast<intptr_t>(x) * 6);
    }
    return x;
}

// 64-bit pixels whose alpha is cleared.
KELVRA_AVX2_INLINE int32_t Row64(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationAvx2& kernel) {
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* p = s + static_cast<intptr_t>(x) * 8;
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i adjusted = kernel.Adjust(_mm256_or_si256(Shuffle(low, kUpper64Low), Shuffle(high, kUpper64High)));
        uint8_t* o = d + static_cast<intptr_t>(x) * 8;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), Shuffle(adjusted, kWiden64Low));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), Shuffle(adjusted, kWiden64High));
    }
    return x;
}

KELVRA_AVX2 int32_t RowAvx2(const uint8_t* source, uint8_t* dest, int32_t width, HuePixelFormat format,
                            const HueSaturationSteps& steps) {
    const HueSaturationAvx2 kernel(steps);
    switch (format) {
        case HuePixelFormat::Bgr24:
            return Row24(source, dest, width, kernel);
        case HuePixelFormat::Bgrx32:
            return Row32(source, dest, width, kernel);
        case HuePixelFormat::Bgr48:
            return Row48(source, dest, width, kernel);
        case HuePixelFormat::Bgr64ClearAlpha:
            return Row64(source, dest, width, kernel);
    }
    return 0;
}

// The same kernel with 128-bit vectors for processors without AVX2: four pixels per vector.
// The sector tables take two byte shuffles (entries 0-3 and 4-5) instead of a lane permute.
class HueSaturationSse4 {
public:
    KELVRA_SSE4_INLINE explicit HueSaturationSse4(const HueSaturationSteps& steps)
        : shiftWithin(_mm_set1_epi32(steps.shiftWithin)),
          shiftSectors(_mm_set1_epi32(steps.shiftSectors)),
          saturationMul(_mm_set1_epi32(steps.saturationMul)),
          masksLow(_mm_setr_epi32(0x010001, 0x010000, 0x010100, 0x000100)),
          masksHigh(_mm_setr_epi32(0x000101, 0x000001, 0, 0)),
          stepsLow(_mm_setr_epi32(-1, 256, -65536, 1)),
          stepsHigh(_mm_setr_epi32(-256, 65536, 0, 0)) {}

    KELVRA_SSE4_INLINE __m128i Adjust(__m128i pixels) const {
        const __m128i byteMask = _mm_set1_epi32(0xFF);
        const __m128i b = _mm_and_si128(pixels, byteMask);
        const __m128i g = _mm_and_si128(_mm_srli_epi32(pixels, 8), byteMask);
        const __m128i r = _mm_and_si128(_mm_srli_epi32(pixels, 16), byteMask);
        const __m128i hi = _mm_max_epi32(r, _mm_max_epi32(g, b));
        const __m128i lo = _mm_min_epi32(r, _mm_min_epi32(g, b));
        const __m128i l2 = _mm_add_epi32(hi, lo);
        const __m128i chroma = _mm_sub_epi32(hi, lo);
        const __m128i redMax =
            _mm_andnot_si128(_mm_or_si128(_mm_cmpgt_epi32(g, r), _mm_cmpgt_epi32(b, r)), _mm_set1_epi32(-1));
        const __m128i greenMax = _mm_andnot_si128(_mm_or_si128(redMax, _mm_cmpgt_epi32(b, g)), _mm_set1_epi32(-1));
        const __m128i sector =
            _mm_blendv_epi8(_mm_blendv_epi8(_mm_set1_epi32(5), _mm_set1_epi32(3), greenMax), _mm_set1_epi32(1), redMax);
        const __m128i rawPosition = _mm_blendv_epi8(_mm_blendv_epi8(_mm_sub_epi32(r, g), _mm_sub_epi32(b, r), greenMax),
                                                    _mm_sub_epi32(g, b), redMax);
        const __m128i behind = _mm_cmpgt_epi32(_mm_setzero_si128(), rawPosition);
        const __m128i position = _mm_add_epi32(rawPosition, _mm_and_si128(behind, chroma));
        const __m128i half = _mm_set1_epi32(32768);
        const __m128i scaledChroma = _mm_srai_epi32(_mm_add_epi32(_mm_mullo_epi32(saturationMul, chroma), half), 16);
        const __m128i limit = _mm_min_epi32(l2, _mm_sub_epi32(_mm_set1_epi32(511), l2));
        const __m128i newChroma = _mm_min_epi32(scaledChroma, limit);
        const __m128i low = _mm_srai_epi32(_mm_sub_epi32(l2, newChroma), 1);
        const __m128i amplitude = _mm_sub_epi32(_mm_srai_epi32(_mm_add_epi32(l2, newChroma), 1), low);
        const __m128 divisor = _mm_cvtepi32_ps(_mm_max_epi32(chroma, _mm_set1_epi32(1)));
        const __m128i reciprocal = _mm_cvttps_epi32(_mm_div_ps(_mm_set1_ps(16711680.0f), divisor));
        const __m128i w0 =
            _mm_add_epi32(_mm_srai_epi32(_mm_add_epi32(_mm_mullo_epi32(position, reciprocal), half), 16), shiftWithin);
        const __m128i carry = _mm_cmpgt_epi32(w0, _mm_set1_epi32(254));
        const __m128i w = _mm_sub_epi32(w0, _mm_and_si128(carry, byteMask));
        __m128i index = _mm_sub_epi32(_mm_add_epi32(_mm_add_epi32(sector, behind), shiftSectors), carry);
        index = _mm_sub_epi32(index, _mm_and_si128(_mm_cmpgt_epi32(index, _mm_set1_epi32(5)), _mm_set1_epi32(6)));
        const __m128i ramp = _mm_srai_epi32(_mm_add_epi32(_mm_mullo_epi32(amplitude, w), _mm_set1_epi32(128)), 8);
        const __m128i grey = _mm_mullo_epi32(low, _mm_set1_epi32(0x010101));
        // Byte k of lane i picks byte 4 x index + k of a table; a shuffle sees the low four
        // bits of that, so entries 4 and 5 come from the second table at 0 and 1.
        const __m128i picks =
            _mm_add_epi32(_mm_mullo_epi32(index, _mm_set1_epi32(0x04040404)), _mm_set1_epi32(0x03020100));
        const __m128i upper = _mm_cmpgt_epi32(index, _mm_set1_epi32(3));
        const __m128i sectorMask =
            _mm_blendv_epi8(_mm_shuffle_epi8(masksLow, picks), _mm_shuffle_epi8(masksHigh, picks), upper);
        const __m128i sectorStep =
            _mm_blendv_epi8(_mm_shuffle_epi8(stepsLow, picks), _mm_shuffle_epi8(stepsHigh, picks), upper);
        const __m128i full = _mm_mullo_epi32(amplitude, sectorMask);
        const __m128i moved = _mm_mullo_epi32(ramp, sectorStep);
        return _mm_add_epi32(grey, _mm_add_epi32(full, moved));
    }

private:
    __m128i shiftWithin;
    __m128i shiftSectors;
    __m128i saturationMul;
    __m128i masksLow;
    __m128i masksHigh;
    __m128i stepsLow;
    __m128i stepsHigh;
};

KELVRA_SSE4_INLINE __m128i ShuffleSse4(__m128i v, const std::array<int8_t, 16>& control) {
    return _mm_shuffle_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(control.data())));
}

// 48 bytes as four vectors of 12 bytes each in their low bytes, and back (the upper four bytes
// of each must be zero).
struct Quarters48 {
    __m128i q[4];
};

KELVRA_SSE4_INLINE Quarters48 Load48Sse4(const uint8_t* p) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    return Quarters48{{a, _mm_alignr_epi8(b, a, 12), _mm_alignr_epi8(c, b, 8), _mm_srli_si128(c, 4)}};
}

KELVRA_SSE4_INLINE void Store48Sse4(const Quarters48& bytes, uint8_t* o) {
    const __m128i* q = bytes.q;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_or_si128(q[0], _mm_slli_si128(q[1], 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16),
                     _mm_or_si128(_mm_srli_si128(q[1], 4), _mm_slli_si128(q[2], 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32),
                     _mm_or_si128(_mm_srli_si128(q[2], 8), _mm_slli_si128(q[3], 4)));
}

KELVRA_SSE4_INLINE int32_t Row24Sse4(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationSse4& kernel) {
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        Quarters48 pixels = Load48Sse4(s + static_cast<intptr_t>(x) * 3);
        for (__m128i& q : pixels.q) q = ShuffleSse4(kernel.Adjust(ShuffleSse4(q, kSpread24)), kPack24);
        Store48Sse4(pixels, d + static_cast<intptr_t>(x) * 3);
    }
    return x;
}

KELVRA_SSE4_INLINE int32_t Row32Sse4(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationSse4& kernel) {
    const __m128i fourthByte = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + static_cast<intptr_t>(x) * 4));
        const __m128i adjusted = _mm_or_si128(kernel.Adjust(pixels), _mm_and_si128(pixels, fourthByte));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + static_cast<intptr_t>(x) * 4), adjusted);
    }
    return x;
}

// Eight pixels: quarters 0-1 make the first vector, 2-3 the second.
KELVRA_SSE4_INLINE int32_t Row48Sse4(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationSse4& kernel) {
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const Quarters48 in = Load48Sse4(s + static_cast<intptr_t>(x) * 6);
        Quarters48 out;
        for (int pair = 0; pair < 2; ++pair) {
            const __m128i adjusted = kernel.Adjust(
                _mm_or_si128(ShuffleSse4(in.q[2 * pair], kUpper48Low), ShuffleSse4(in.q[2 * pair + 1], kUpper48High)));
            out.q[2 * pair] = ShuffleSse4(adjusted, kWiden48Low);
            out.q[2 * pair + 1] = ShuffleSse4(adjusted, kWiden48High);
        }
        Store48Sse4(out, d + static_cast<intptr_t>(x) * 6);
    }
    return x;
}

KELVRA_SSE4_INLINE int32_t Row64Sse4(const uint8_t* s, uint8_t* d, int32_t width, const HueSaturationSse4& kernel) {
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const uint8_t* p = s + static_cast<intptr_t>(x) * 8;
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i adjusted =
            kernel.Adjust(_mm_or_si128(ShuffleSse4(low, kUpper64Low), ShuffleSse4(high, kUpper64High)));
        uint8_t* o = d + static_cast<intptr_t>(x) * 8;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), ShuffleSse4(adjusted, kWiden64Low));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), ShuffleSse4(adjusted, kWiden64High));
    }
    return x;
}

KELVRA_SSE4 int32_t RowSse4(const uint8_t* source, uint8_t* dest, int32_t width, HuePixelFormat format,
                            const HueSaturationSteps& steps) {
    const HueSaturationSse4 kernel(steps);
    switch (format) {
        case HuePixelFormat::Bgr24:
            return Row24Sse4(source, dest, width, kernel);
        case HuePixelFormat::Bgrx32:
            return Row32Sse4(source, dest, width, kernel);
        case HuePixelFormat::Bgr48:
            return Row48Sse4(source, dest, width, kernel);
        case HuePixelFormat::Bgr64ClearAlpha:
            return Row64Sse4(source, dest, width, kernel);
    }
    return 0;
}

}  // namespace

int32_t HueSaturationRowSimd(const uint8_t* source, uint8_t* dest, int32_t width, HuePixelFormat format,
                             const HueSaturationSteps& steps) {
    switch (ActiveCpuTier()) {
        case CpuTier::Avx2:
            return RowAvx2(source, dest, width, format, steps);
        case CpuTier::Sse4:
            return RowSse4(source, dest, width, format, steps);
        case CpuTier::Baseline:
            break;
    }
    return 0;
}

#else

int32_t HueSaturationRowSimd(const uint8_t*, uint8_t*, int32_t, HuePixelFormat, const HueSaturationSteps&) { return 0; }

#endif
