#include "imaging/RowReversal.h"

#include <cstring>

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

}  // namespace

void MirrorPixelRow(uint8_t* destination, const uint8_t* source, size_t pixels, uint32_t pixelBytes) {
    switch (pixelBytes) {
        case 1:
            MirrorByWords<1>(destination, source, pixels);
            return;
        case 2:
            MirrorByWords<2>(destination, source, pixels);
            return;
        case 3:
            MirrorByWideStores<3, uint32_t>(destination, source, pixels);
            return;
        case 4:
            MirrorByWords<4>(destination, source, pixels);
            return;
        case 6:
            MirrorByWideStores<6, uint64_t>(destination, source, pixels);
            return;
        case 8:
            MirrorEightBytePixels(destination, source, pixels);
            return;
        default:
            for (size_t x = 0; x < pixels; ++x)
                std::memcpy(destination + x * pixelBytes, source + (pixels - 1 - x) * pixelBytes, pixelBytes);
            return;
    }
}
