#include "imaging/RowReversal.h"

#include <array>
#include <cstring>

#include "imaging/CpuDispatch.h"

#if KELVRA_HAS_AVX2_DISPATCH
#include <immintrin.h>
#endif

namespace {

template <typename Word>
Word Load(const uint8_t* p) {
    Word word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

template <typename Word>
void Store(uint8_t* p, Word word) {
    std::memcpy(p, &word, sizeof word);
}

uint64_t ReverseBytes(uint64_t value) {
#if defined(_MSC_VER) && !defined(__clang__)
    return _byteswap_uint64(value);
#else
    return __builtin_bswap64(value);
#endif
}

uint64_t RotateHalves(uint64_t value) { return value << 32 | value >> 32; }

// Units of UnitBytes in a word reversed: the byte order reversed, then each unit's bytes back.
template <int UnitBytes>
uint64_t ReverseUnits(uint64_t word) {
    if constexpr (UnitBytes == 1) {
        return ReverseBytes(word);
    } else if constexpr (UnitBytes == 2) {
        word = RotateHalves(word);
        return (word >> 16 & 0x0000FFFF0000FFFFull) | (word & 0x0000FFFF0000FFFFull) << 16;
    } else {
        return RotateHalves(word);
    }
}

// Pixels of 1, 2 or 4 bytes: a word of them at a time, from the source's far end.
template <int PixelBytes>
void MirrorByWords(uint8_t* destination, const uint8_t* source, size_t pixels) {
    constexpr size_t kPerWord = 8 / PixelBytes;
    size_t x = 0;
    for (; x + 4 * kPerWord <= pixels; x += 4 * kPerWord) {
        const uint8_t* from = source + (pixels - x - 4 * kPerWord) * PixelBytes;
        const uint64_t a = Load<uint64_t>(from), b = Load<uint64_t>(from + 8);
        const uint64_t c = Load<uint64_t>(from + 16), d = Load<uint64_t>(from + 24);
        uint8_t* to = destination + x * PixelBytes;
        Store(to, ReverseUnits<PixelBytes>(d));
        Store(to + 8, ReverseUnits<PixelBytes>(c));
        Store(to + 16, ReverseUnits<PixelBytes>(b));
        Store(to + 24, ReverseUnits<PixelBytes>(a));
    }
    for (; x < pixels; ++x)
        std::memcpy(destination + x * PixelBytes, source + (pixels - 1 - x) * PixelBytes, PixelBytes);
}

// Pixels of 3 or 6 bytes: each moved as one word a little wider than itself, whose spare bytes
// the next pixel's store overwrites. The first and last pixels of the row move exactly, so
// neither the read nor the write reaches past the row.
template <int PixelBytes, typename Word>
void MirrorByWideStores(uint8_t* destination, const uint8_t* source, size_t pixels) {
    static_assert(sizeof(Word) > PixelBytes);
    if (pixels < 2) {
        if (pixels == 1) std::memcpy(destination, source, PixelBytes);
        return;
    }
    // Destination pixel 0 is the source's last one: only an exact read stays within the row.
    std::memcpy(destination, source + (pixels - 1) * PixelBytes, PixelBytes);
    const uint8_t* from = source + (pixels - 2) * PixelBytes;
    uint8_t* to = destination + PixelBytes;
    uint8_t* const last = destination + (pixels - 1) * PixelBytes;
    for (; to + 4 * PixelBytes <= last; to += 4 * PixelBytes, from -= 4 * PixelBytes) {
        const Word a = Load<Word>(from), b = Load<Word>(from - PixelBytes);
        const Word c = Load<Word>(from - 2 * PixelBytes), d = Load<Word>(from - 3 * PixelBytes);
        Store(to, a);
        Store(to + PixelBytes, b);
        Store(to + 2 * PixelBytes, c);
        Store(to + 3 * PixelBytes, d);
    }
    for (; to < last; to += PixelBytes, from -= PixelBytes) Store(to, Load<Word>(from));
    std::memcpy(last, source, PixelBytes);
}

void MirrorEightBytePixels(uint8_t* destination, const uint8_t* source, size_t pixels) {
    for (size_t x = 0; x < pixels; ++x) Store(destination + x * 8, Load<uint64_t>(source + (pixels - 1 - x) * 8));
}

#if KELVRA_HAS_AVX2_DISPATCH

// Byte shuffles that reverse the pixels of a 48-byte block (48 is a whole number of pixels of
// every size here): output vector k is the OR of input vector v shuffled by kBlockShuffles[k][v].
constexpr int kBlockBytes = 48;
using BlockShuffles = std::array<std::array<std::array<int8_t, 16>, 3>, 3>;

constexpr BlockShuffles MakeBlockShuffles(int pixelBytes) {
    BlockShuffles controls{};
    const int pixels = kBlockBytes / pixelBytes;
    for (int k = 0; k < 3; ++k) {
        for (int v = 0; v < 3; ++v)
            for (int j = 0; j < 16; ++j) controls[k][v][j] = -128;
        for (int j = 0; j < 16; ++j) {
            const int out = 16 * k + j;
            const int from = (pixels - 1 - out / pixelBytes) * pixelBytes + out % pixelBytes;
            controls[k][from / 16][j] = static_cast<int8_t>(from % 16);
        }
    }
    return controls;
}

constexpr bool Contributes(const BlockShuffles& controls, int k, int v) {
    for (int j = 0; j < 16; ++j)
        if (controls[k][v][j] >= 0) return true;
    return false;
}

template <int PixelBytes>
inline constexpr BlockShuffles kBlockShuffles = MakeBlockShuffles(PixelBytes);

template <int PixelBytes, int K, int V>
__attribute__((target("ssse3"), always_inline)) inline __m128i Part(const __m128i* in) {
    constexpr const BlockShuffles& controls = kBlockShuffles<PixelBytes>;
    if constexpr (!Contributes(controls, K, V)) {
        return _mm_setzero_si128();
    } else {
        const __m128i control = _mm_loadu_si128(reinterpret_cast<const __m128i*>(controls[K][V].data()));
        return _mm_shuffle_epi8(in[V], control);
    }
}

template <int PixelBytes, int K>
__attribute__((target("ssse3"), always_inline)) inline __m128i OutputVector(const __m128i* in) {
    return _mm_or_si128(_mm_or_si128(Part<PixelBytes, K, 0>(in), Part<PixelBytes, K, 1>(in)),
                        Part<PixelBytes, K, 2>(in));
}

// Whole blocks from the row's start; returns the pixels done.
template <int PixelBytes>
__attribute__((target("ssse3"))) size_t MirrorBlocksSsse3(uint8_t* destination, const uint8_t* source, size_t pixels) {
    constexpr size_t kBlockPixels = kBlockBytes / PixelBytes;
    size_t x = 0;
    for (; x + kBlockPixels <= pixels; x += kBlockPixels) {
        const uint8_t* from = source + (pixels - x - kBlockPixels) * PixelBytes;
        const __m128i in[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32))};
        auto* to = reinterpret_cast<__m128i*>(destination + x * PixelBytes);
        _mm_storeu_si128(to, OutputVector<PixelBytes, 0>(in));
        _mm_storeu_si128(to + 1, OutputVector<PixelBytes, 1>(in));
        _mm_storeu_si128(to + 2, OutputVector<PixelBytes, 2>(in));
    }
    return x;
}

#endif

// The vector blocks where the processor has byte shuffles, then the rest of the row (whose
// source is the start of the source row) by words.
template <int PixelBytes, typename Rest>
void MirrorRow(uint8_t* destination, const uint8_t* source, size_t pixels, Rest rest) {
    size_t done = 0;
#if KELVRA_HAS_AVX2_DISPATCH
    if (CpuHasSse4()) done = MirrorBlocksSsse3<PixelBytes>(destination, source, pixels);
#endif
    rest(destination + done * PixelBytes, source, pixels - done);
}

}  // namespace

void MirrorPixelRow(uint8_t* destination, const uint8_t* source, size_t pixels, uint32_t pixelBytes) {
    switch (pixelBytes) {
        case 1:
            MirrorRow<1>(destination, source, pixels, MirrorByWords<1>);
            return;
        case 2:
            MirrorRow<2>(destination, source, pixels, MirrorByWords<2>);
            return;
        case 3:
            MirrorRow<3>(destination, source, pixels, MirrorByWideStores<3, uint32_t>);
            return;
        case 4:
            MirrorRow<4>(destination, source, pixels, MirrorByWords<4>);
            return;
        case 6:
            MirrorRow<6>(destination, source, pixels, MirrorByWideStores<6, uint64_t>);
            return;
        case 8:
            MirrorRow<8>(destination, source, pixels, MirrorEightBytePixels);
            return;
        default:
            for (size_t x = 0; x < pixels; ++x)
                std::memcpy(destination + x * pixelBytes, source + (pixels - 1 - x) * pixelBytes, pixelBytes);
            return;
    }
}
