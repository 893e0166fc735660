// The demosaic row in two vector passes over a chunk of columns, like the scalar code:
// column sums W = 3 x (near sample) + (far sample) of each column's own colour and the
// column's green sample, then per pixel own = 3 W[x] + W[x - 2], other = 3 W[x - 1] + W[x + 1]
// and green = (G[x - 1] + G[x]) >> 1. Sixteen 8-bit pixels (16-bit lanes) or eight 16-bit
// pixels (32-bit lanes) make one vector, stored as pixels of three or four channels.
#include "imaging/DemosaicSimd.h"

#include <algorithm>
#include <array>

#include "imaging/CpuDispatch.h"

#if KELVRA_HAS_AVX2_DISPATCH
#include <immintrin.h>

namespace {

constexpr int32_t kChunkColumns = 512;

// Shuffle controls that interleave, per 128-bit half, blueRed (the blue then the red
// samples of its pixels) and greens (their green samples twice) into pixels of Channels
// samples of sampleBytes; a fourth channel is left 0. Part 0 makes bytes 0-15 of the
// half's pixels, part 1 bytes 16-31 (16-23 for three channels).
using ShuffleBytes = std::array<std::array<int8_t, 32>, 4>;

constexpr ShuffleBytes MakeInterleaveShuffles(int sampleBytes, int channels) {
    ShuffleBytes bytes{};
    const int redOffset = 8;  // red follows the eight bytes of blue in each half
    const int halfBytes = channels * 8;
    for (int k = 0; k < 32; ++k) {
        for (int part = 0; part < 2; ++part) {
            const int position = (k & 15) + part * 16;
            const int pixel = position / (channels * sampleBytes);
            const int channel = position / sampleBytes % channels;
            const int sampleByte = pixel * sampleBytes + position % sampleBytes;
            const bool inRange = position < halfBytes;
            const bool blueOrRed = channel == 0 || channel == 2;
            bytes[part * 2][k] =
                static_cast<int8_t>(inRange && blueOrRed ? sampleByte + (channel == 2 ? redOffset : 0) : -128);
            bytes[part * 2 + 1][k] = static_cast<int8_t>(inRange && channel == 1 ? sampleByte : -128);
        }
    }
    return bytes;
}

template <int SampleBytes, int Channels>
inline constexpr ShuffleBytes kInterleave = MakeInterleaveShuffles(SampleBytes, Channels);

// Stores one vector of pixels: 48 bytes of three channels, or 64 bytes of four whose
// fourth channel keeps what the destination holds (fourthChannel selects its bytes).
template <int Channels>
class InterleavedStore {
public:
    KELVRA_AVX2_INLINE InterleavedStore(const ShuffleBytes& bytes, __m256i fourthChannel)
        : fourthChannel(fourthChannel) {
        for (int i = 0; i < 4; ++i) shuffles[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes[i].data()));
    }

    KELVRA_AVX2_INLINE void operator()(__m256i blueRed, __m256i greens, uint8_t* d) const {
        const __m256i head =
            _mm256_or_si256(_mm256_shuffle_epi8(blueRed, shuffles[0]), _mm256_shuffle_epi8(greens, shuffles[1]));
        const __m256i tail =
            _mm256_or_si256(_mm256_shuffle_epi8(blueRed, shuffles[2]), _mm256_shuffle_epi8(greens, shuffles[3]));
        if constexpr (Channels == 3) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(head));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16), _mm256_castsi256_si128(tail));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 24), _mm256_extracti128_si256(head, 1));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 40), _mm256_extracti128_si256(tail, 1));
        } else {
            Merge(_mm256_permute2x128_si256(head, tail, 0x20), d);
            Merge(_mm256_permute2x128_si256(head, tail, 0x31), d + 32);
        }
    }

private:
    KELVRA_AVX2_INLINE void Merge(__m256i pixels, uint8_t* d) const {
        auto* p = reinterpret_cast<__m256i*>(d);
        _mm256_storeu_si256(p, _mm256_or_si256(pixels, _mm256_and_si256(_mm256_loadu_si256(p), fourthChannel)));
    }

    __m256i shuffles[4];
    __m256i fourthChannel;
};

// Lane mask that selects the red columns, for a vector whose first column has parity firstParity.
KELVRA_AVX2_INLINE __m256i RedColumnMask(int32_t firstParity, int32_t redParity, bool wide) {
    const int32_t evenRed = (firstParity ^ redParity) == 0 ? -1 : 0;
    return wide ? _mm256_set_epi32(~evenRed, evenRed, ~evenRed, evenRed, ~evenRed, evenRed, ~evenRed, evenRed)
                : _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(evenRed) & 0xFFFFu) |
                                    static_cast<int32_t>(static_cast<uint32_t>(~evenRed) & 0xFFFF0000u));
}

struct Samples8 {
    using Sample = uint8_t;
    using Sum = uint16_t;
    static constexpr int32_t kLanes = 16;
    static constexpr bool kWide = false;
    static constexpr int64_t kFourthChannel = static_cast<int64_t>(0xFF000000FF000000ull);

    KELVRA_AVX2_INLINE static __m256i Load(const uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    // The 16-bit product of (sum << 4) and (factor << 1) has (sum x factor) >> 11 as its
    // high half; the byte pack saturates it at 255.
    KELVRA_AVX2_INLINE static __m256i Scale(__m256i sum, __m256i factor) {
        return _mm256_mulhi_epu16(_mm256_slli_epi16(sum, 4), factor);
    }
    KELVRA_AVX2_INLINE static __m256i Factor(int32_t factor) {
        return _mm256_set1_epi16(static_cast<int16_t>(factor << 1));
    }
    KELVRA_AVX2_INLINE static __m256i Pack(__m256i a, __m256i b) { return _mm256_packus_epi16(a, b); }
    KELVRA_AVX2_INLINE static __m256i Half(__m256i sum) { return _mm256_srli_epi16(sum, 1); }
    KELVRA_AVX2_INLINE static __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
};

struct Samples16 {
    using Sample = uint16_t;
    using Sum = int32_t;
    static constexpr int32_t kLanes = 8;
    static constexpr bool kWide = true;
    static constexpr int64_t kFourthChannel = static_cast<int64_t>(0xFFFF000000000000ull);

    KELVRA_AVX2_INLINE static __m256i Load(const uint16_t* p) {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    // Sums take 20 bits and factors 10, so the product fits 31; the 16-bit pack saturates
    // every product of 65536 << 11 or more at 65535.
    KELVRA_AVX2_INLINE static __m256i Scale(__m256i sum, __m256i factor) {
        return _mm256_srli_epi32(_mm256_mullo_epi32(sum, factor), 11);
    }
    KELVRA_AVX2_INLINE static __m256i Factor(int32_t factor) { return _mm256_set1_epi32(factor); }
    KELVRA_AVX2_INLINE static __m256i Pack(__m256i a, __m256i b) { return _mm256_packus_epi32(a, b); }
    KELVRA_AVX2_INLINE static __m256i Half(__m256i sum) { return _mm256_srli_epi32(sum, 1); }
    KELVRA_AVX2_INLINE static __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
};

template <typename Lanes>
KELVRA_AVX2_INLINE __m256i Times3Plus(__m256i a, __m256i b) {
    return Lanes::Add(Lanes::Add(a, a), Lanes::Add(a, b));
}

template <typename Lanes, int Channels>
class DemosaicRowAvx2 {
public:
    using Sample = typename Lanes::Sample;
    using Sum = typename Lanes::Sum;
    static constexpr int32_t kLanes = Lanes::kLanes;

    KELVRA_AVX2_INLINE explicit DemosaicRowAvx2(const DemosaicRowSpan<Sample>& span)
        : span(span),
          store(kInterleave<sizeof(Sample), Channels>, _mm256_set1_epi64x(Lanes::kFourthChannel)),
          factorRed(Lanes::Factor(span.factorRed)),
          factorBlue(Lanes::Factor(span.factorBlue)) {}

    KELVRA_AVX2_INLINE int32_t Run() {
        const int32_t end = span.width - 2;
        if (end - 2 < kLanes) return 2;
        int32_t x = 2;
        while (x < end) {
            // A last part narrower than a vector is done by a vector ending at the last
            // column, which rewrites a few pixels with the values they already have.
            x = std::min(x, end - kLanes);
            const int32_t count = std::min(kChunkColumns, (end - x) / kLanes * kLanes);
            const int32_t first = x - 2;
            // Locals, so the compiler need not reload them after each store to the sums.
            const Rows rows{span.red + first, span.redFar + first, span.blue + first, span.blueFar + first};
            const __m256i firstParityRed = RedColumnMask(first & 1, span.redParity, Lanes::kWide);
            for (int32_t i = 0; i < count; i += kLanes) ColumnSums(rows, i, firstParityRed);
            // The last three sums, by a vector that overlaps the one before it (an odd
            // number of columns further, so of the other parity).
            ColumnSums(rows, count + 3 - kLanes, RedColumnMask((first + 1) & 1, span.redParity, Lanes::kWide));
            const __m256i redMask = RedColumnMask(x & 1, span.redParity, Lanes::kWide);
            uint8_t* d = reinterpret_cast<uint8_t*>(span.dest + static_cast<intptr_t>(x) * Channels);
            for (int32_t n = 0; n < count; n += kLanes) {
                Pixels(n, redMask, d + static_cast<intptr_t>(n) * Channels * sizeof(Sample));
            }
            x += count;
        }
        return end;
    }

private:
    struct Rows {
        const Sample* red;
        const Sample* redFar;
        const Sample* blue;
        const Sample* blueFar;
    };

    // Sums and greens of columns first + i on, with rows starting at column first.
    KELVRA_AVX2_INLINE void ColumnSums(Rows rows, int32_t i, __m256i redColumns) {
        const __m256i inRedRow = Lanes::Load(rows.red + i);
        const __m256i inBlueRow = Lanes::Load(rows.blue + i);
        const __m256i redSum = Times3Plus<Lanes>(inRedRow, Lanes::Load(rows.redFar + i));
        const __m256i blueSum = Times3Plus<Lanes>(inBlueRow, Lanes::Load(rows.blueFar + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), _mm256_blendv_epi8(blueSum, redSum, redColumns));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(greens + i),
                            _mm256_blendv_epi8(inRedRow, inBlueRow, redColumns));
    }

    KELVRA_AVX2_INLINE __m256i LoadSums(const Sum* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }

    // Output pixels from column x = first + 2 + n on; buffer index i holds column first + i.
    KELVRA_AVX2_INLINE void Pixels(int32_t n, __m256i redMask, uint8_t* d) {
        const __m256i own = Times3Plus<Lanes>(LoadSums(sums + n + 2), LoadSums(sums + n));
        const __m256i other = Times3Plus<Lanes>(LoadSums(sums + n + 1), LoadSums(sums + n + 3));
        const __m256i redSum = _mm256_blendv_epi8(other, own, redMask);
        const __m256i blueSum = _mm256_blendv_epi8(own, other, redMask);
        const __m256i green = Lanes::Half(Lanes::Add(LoadSums(greens + n + 1), LoadSums(greens + n + 2)));
        const __m256i blueRed = Lanes::Pack(Lanes::Scale(blueSum, factorBlue), Lanes::Scale(redSum, factorRed));
        store(blueRed, Lanes::Pack(green, green), d);
    }

    const DemosaicRowSpan<Sample> span;
    InterleavedStore<Channels> store;
    __m256i factorRed;
    __m256i factorBlue;
    alignas(32) Sum sums[kChunkColumns + 32];
    alignas(32) Sum greens[kChunkColumns + 32];
};

template <typename Lanes>
KELVRA_AVX2 int32_t RunDemosaicRowAvx2(const DemosaicRowSpan<typename Lanes::Sample>& span) {
    if (span.destChannels == 3) {
        DemosaicRowAvx2<Lanes, 3> row(span);
        return row.Run();
    }
    DemosaicRowAvx2<Lanes, 4> row(span);
    return row.Run();
}

// The same two passes with 128-bit vectors for processors without AVX2: eight 8-bit pixels
// (16-bit lanes) or four 16-bit pixels (32-bit lanes) per vector. A 128-bit vector is laid
// out as one half of the AVX2 one, so the interleave shuffles are the halves' own.
template <int Channels>
class InterleavedStoreSse4 {
public:
    KELVRA_SSE4_INLINE InterleavedStoreSse4(const ShuffleBytes& bytes, __m128i fourthChannel)
        : fourthChannel(fourthChannel) {
        for (int i = 0; i < 4; ++i) shuffles[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes[i].data()));
    }

    KELVRA_SSE4_INLINE void operator()(__m128i blueRed, __m128i greens, uint8_t* d) const {
        const __m128i head =
            _mm_or_si128(_mm_shuffle_epi8(blueRed, shuffles[0]), _mm_shuffle_epi8(greens, shuffles[1]));
        const __m128i tail =
            _mm_or_si128(_mm_shuffle_epi8(blueRed, shuffles[2]), _mm_shuffle_epi8(greens, shuffles[3]));
        if constexpr (Channels == 3) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), head);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16), tail);
        } else {
            Merge(head, d);
            Merge(tail, d + 16);
        }
    }

private:
    KELVRA_SSE4_INLINE void Merge(__m128i pixels, uint8_t* d) const {
        auto* p = reinterpret_cast<__m128i*>(d);
        _mm_storeu_si128(p, _mm_or_si128(pixels, _mm_and_si128(_mm_loadu_si128(p), fourthChannel)));
    }

    __m128i shuffles[4];
    __m128i fourthChannel;
};

KELVRA_SSE4_INLINE __m128i RedColumnMaskSse4(int32_t firstParity, int32_t redParity, bool wide) {
    const int32_t evenRed = (firstParity ^ redParity) == 0 ? -1 : 0;
    return wide ? _mm_set_epi32(~evenRed, evenRed, ~evenRed, evenRed)
                : _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(evenRed) & 0xFFFFu) |
                                 static_cast<int32_t>(static_cast<uint32_t>(~evenRed) & 0xFFFF0000u));
}

struct Samples8Sse4 {
    using Sample = uint8_t;
    using Sum = uint16_t;
    static constexpr int32_t kLanes = 8;
    static constexpr bool kWide = false;
    static constexpr int64_t kFourthChannel = Samples8::kFourthChannel;

    KELVRA_SSE4_INLINE static __m128i Load(const uint8_t* p) {
        return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    KELVRA_SSE4_INLINE static __m128i Scale(__m128i sum, __m128i factor) {
        return _mm_mulhi_epu16(_mm_slli_epi16(sum, 4), factor);
    }
    KELVRA_SSE4_INLINE static __m128i Factor(int32_t factor) {
        return _mm_set1_epi16(static_cast<int16_t>(factor << 1));
    }
    KELVRA_SSE4_INLINE static __m128i Pack(__m128i a, __m128i b) { return _mm_packus_epi16(a, b); }
    KELVRA_SSE4_INLINE static __m128i Half(__m128i sum) { return _mm_srli_epi16(sum, 1); }
    KELVRA_SSE4_INLINE static __m128i Add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
};

struct Samples16Sse4 {
    using Sample = uint16_t;
    using Sum = int32_t;
    static constexpr int32_t kLanes = 4;
    static constexpr bool kWide = true;
    static constexpr int64_t kFourthChannel = Samples16::kFourthChannel;

    KELVRA_SSE4_INLINE static __m128i Load(const uint16_t* p) {
        return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    KELVRA_SSE4_INLINE static __m128i Scale(__m128i sum, __m128i factor) {
        return _mm_srli_epi32(_mm_mullo_epi32(sum, factor), 11);
    }
    KELVRA_SSE4_INLINE static __m128i Factor(int32_t factor) { return _mm_set1_epi32(factor); }
    KELVRA_SSE4_INLINE static __m128i Pack(__m128i a, __m128i b) { return _mm_packus_epi32(a, b); }
    KELVRA_SSE4_INLINE static __m128i Half(__m128i sum) { return _mm_srli_epi32(sum, 1); }
    KELVRA_SSE4_INLINE static __m128i Add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
};

template <typename Lanes>
KELVRA_SSE4_INLINE __m128i Times3PlusSse4(__m128i a, __m128i b) {
    return Lanes::Add(Lanes::Add(a, a), Lanes::Add(a, b));
}

template <typename Lanes, int Channels>
class DemosaicRowSse4 {
public:
    using Sample = typename Lanes::Sample;
    using Sum = typename Lanes::Sum;
    static constexpr int32_t kLanes = Lanes::kLanes;

    KELVRA_SSE4_INLINE explicit DemosaicRowSse4(const DemosaicRowSpan<Sample>& span)
        : span(span),
          store(kInterleave<sizeof(Sample), Channels>, _mm_set1_epi64x(Lanes::kFourthChannel)),
          factorRed(Lanes::Factor(span.factorRed)),
          factorBlue(Lanes::Factor(span.factorBlue)) {}

    KELVRA_SSE4_INLINE int32_t Run() {
        const int32_t end = span.width - 2;
        if (end - 2 < kLanes) return 2;
        int32_t x = 2;
        while (x < end) {
            x = std::min(x, end - kLanes);
            const int32_t count = std::min(kChunkColumns, (end - x) / kLanes * kLanes);
            const int32_t first = x - 2;
            const Rows rows{span.red + first, span.redFar + first, span.blue + first, span.blueFar + first};
            const __m128i firstParityRed = RedColumnMaskSse4(first & 1, span.redParity, Lanes::kWide);
            for (int32_t i = 0; i < count; i += kLanes) ColumnSums(rows, i, firstParityRed);
            ColumnSums(rows, count + 3 - kLanes, RedColumnMaskSse4((first + 1) & 1, span.redParity, Lanes::kWide));
            const __m128i redMask = RedColumnMaskSse4(x & 1, span.redParity, Lanes::kWide);
            uint8_t* d = reinterpret_cast<uint8_t*>(span.dest + static_cast<intptr_t>(x) * Channels);
            for (int32_t n = 0; n < count; n += kLanes) {
                Pixels(n, redMask, d + static_cast<intptr_t>(n) * Channels * sizeof(Sample));
            }
            x += count;
        }
        return end;
    }

private:
    struct Rows {
        const Sample* red;
        const Sample* redFar;
        const Sample* blue;
        const Sample* blueFar;
    };

    KELVRA_SSE4_INLINE void ColumnSums(Rows rows, int32_t i, __m128i redColumns) {
        const __m128i inRedRow = Lanes::Load(rows.red + i);
        const __m128i inBlueRow = Lanes::Load(rows.blue + i);
        const __m128i redSum = Times3PlusSse4<Lanes>(inRedRow, Lanes::Load(rows.redFar + i));
        const __m128i blueSum = Times3PlusSse4<Lanes>(inBlueRow, Lanes::Load(rows.blueFar + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), _mm_blendv_epi8(blueSum, redSum, redColumns));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(greens + i), _mm_blendv_epi8(inRedRow, inBlueRow, redColumns));
    }

    KELVRA_SSE4_INLINE __m128i LoadSums(const Sum* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

    KELVRA_SSE4_INLINE void Pixels(int32_t n, __m128i redMask, uint8_t* d) {
        const __m128i own = Times3PlusSse4<Lanes>(LoadSums(sums + n + 2), LoadSums(sums + n));
        const __m128i other = Times3PlusSse4<Lanes>(LoadSums(sums + n + 1), LoadSums(sums + n + 3));
        const __m128i redSum = _mm_blendv_epi8(other, own, redMask);
        const __m128i blueSum = _mm_blendv_epi8(own, other, redMask);
        const __m128i green = Lanes::Half(Lanes::Add(LoadSums(greens + n + 1), LoadSums(greens + n + 2)));
        const __m128i blueRed = Lanes::Pack(Lanes::Scale(blueSum, factorBlue), Lanes::Scale(redSum, factorRed));
        store(blueRed, Lanes::Pack(green, green), d);
    }

    const DemosaicRowSpan<Sample> span;
    InterleavedStoreSse4<Channels> store;
    __m128i factorRed;
    __m128i factorBlue;
    alignas(16) Sum sums[kChunkColumns + 16];
    alignas(16) Sum greens[kChunkColumns + 16];
};

template <typename Lanes>
KELVRA_SSE4 int32_t RunDemosaicRowSse4(const DemosaicRowSpan<typename Lanes::Sample>& span) {
    if (span.destChannels == 3) {
        DemosaicRowSse4<Lanes, 3> row(span);
        return row.Run();
    }
    DemosaicRowSse4<Lanes, 4> row(span);
    return row.Run();
}

template <typename Avx2Lanes, typename Sse4Lanes>
int32_t DemosaicRowForTier(const DemosaicRowSpan<typename Avx2Lanes::Sample>& span) {
    switch (ActiveCpuTier()) {
        case CpuTier::Avx2:
            return RunDemosaicRowAvx2<Avx2Lanes>(span);
        case CpuTier::Sse4:
            return RunDemosaicRowSse4<Sse4Lanes>(span);
        case CpuTier::Baseline:
            break;
    }
    return 2;
}

}  // namespace

int32_t DemosaicRowSimd(const DemosaicRowSpan<uint8_t>& span) {
    return DemosaicRowForTier<Samples8, Samples8Sse4>(span);
}
int32_t DemosaicRowSimd(const DemosaicRowSpan<uint16_t>& span) {
    return DemosaicRowForTier<Samples16, Samples16Sse4>(span);
}

#else

int32_t DemosaicRowSimd(const DemosaicRowSpan<uint8_t>&) { return 2; }
int32_t DemosaicRowSimd(const DemosaicRowSpan<uint16_t>&) { return 2; }

#endif
