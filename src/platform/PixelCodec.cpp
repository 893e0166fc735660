#include "PixelCodec.h"

#include <bit>
#include <limits>

namespace kelvra::platform {

namespace {

// One colour channel of a 16- or 32-bit pixel, described by its mask.
struct Channel {
    int shift;
    uint32_t maximum;

    explicit Channel(DWORD mask)
        : shift(mask ? std::countr_zero(mask) : 0), maximum(mask ? mask >> std::countr_zero(mask) : 0) {}

    // Scales to 0..255 with rounding, so a 5-bit 31 becomes 255.
    uint32_t Expand(uint32_t pixel) const {
        if (maximum == 0) return 0;
        const uint64_t value = (pixel >> shift) & maximum;
        return static_cast<uint32_t>((value * 255 + maximum / 2) / maximum);
    }

    uint32_t Reduce(uint32_t eightBit) const {
        return static_cast<uint32_t>((uint64_t{eightBit} * maximum + 127) / 255) << shift;
    }
};

struct Masks {
    Channel red, green, blue;
    explicit Masks(const PixelFormat& format) : red(format.redMask), green(format.greenMask), blue(format.blueMask) {}
    uint32_t Expand(uint32_t pixel) const {
        return (red.Expand(pixel) << 16) | (green.Expand(pixel) << 8) | blue.Expand(pixel);
    }
    uint32_t Reduce(uint32_t rgb) const {
        return red.Reduce((rgb >> 16) & 0xFF) | green.Reduce((rgb >> 8) & 0xFF) | blue.Reduce(rgb & 0xFF);
    }
};

bool IsBgrx(const PixelFormat& format) {
    return format.redMask == 0x00FF0000 && format.greenMask == 0x0000FF00 && format.blueMask == 0x000000FF;
}

uint32_t TableColor(const PixelFormat& format, unsigned index) {
    if (index >= format.colors.size()) return 0;  // an index past the table shows black rather than reading beyond it
    const RGBQUAD& entry = format.colors[index];
    return (uint32_t{entry.rgbRed} << 16) | (uint32_t{entry.rgbGreen} << 8) | entry.rgbBlue;
}

// Nearest table entry by squared distance; remembers the last answer, as rows repeat colours.
class NearestIndex {
public:
    explicit NearestIndex(const PixelFormat& format) : format(format) {}

    unsigned operator()(uint32_t rgb) {
        if (rgb == lastColor) return lastIndex;
        uint32_t best = std::numeric_limits<uint32_t>::max();
        unsigned bestIndex = 0;
        const int r = static_cast<int>((rgb >> 16) & 0xFF);
        const int g = static_cast<int>((rgb >> 8) & 0xFF);
        const int b = static_cast<int>(rgb & 0xFF);
        for (unsigned i = 0; i < format.colors.size() && best != 0; ++i) {
            const RGBQUAD& entry = format.colors[i];
            const int dr = r - entry.rgbRed;
            const int dg = g - entry.rgbGreen;
            const int db = b - entry.rgbBlue;
            const auto distance = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
            if (distance < best) {
                best = distance;
                bestIndex = i;
            }
        }
        lastColor = rgb;
        lastIndex = bestIndex;
        return bestIndex;
    }

private:
    const PixelFormat& format;
    uint32_t lastColor = 0xFFFFFFFF;
    unsigned lastIndex = 0;
};

unsigned ReadIndex(const BYTE* row, int x, WORD bitCount) {
    switch (bitCount) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4:
            return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
        default:
            return row[x];
    }
}

void WriteIndex(BYTE* row, int x, WORD bitCount, unsigned index) {
    switch (bitCount) {
        case 1: {
            const auto bit = static_cast<BYTE>(0x80u >> (x & 7));
            row[x >> 3] = static_cast<BYTE>(index ? row[x >> 3] | bit : row[x >> 3] & ~bit);
            break;
        }
        case 4: {
            const int shift = (x & 1) ? 0 : 4;
            row[x >> 1] = static_cast<BYTE>((row[x >> 1] & ~(0xF << shift)) | ((index & 0xF) << shift));
            break;
        }
        default:
            row[x] = static_cast<BYTE>(index);
            break;
    }
}

}  // namespace

void UnpackRow(const PixelFormat& format, const BYTE* row, const int* xs, int count, uint32_t* out) {
    switch (format.bitCount) {
        case 1:
        case 4:
        case 8: {
            // Indices past the table read as black, so every possible index has an entry here.
            uint32_t lookup[256];
            const unsigned entries = 1u << format.bitCount;
            for (unsigned index = 0; index < entries; ++index) lookup[index] = TableColor(format, index);
            for (int i = 0; i < count; ++i) out[i] = lookup[ReadIndex(row, xs[i], format.bitCount)];
            break;
        }
        case 16: {
            const Masks masks(format);
            for (int i = 0; i < count; ++i) {
                const BYTE* p = row + 2 * static_cast<size_t>(xs[i]);
                out[i] = masks.Expand(p[0] | (uint32_t{p[1]} << 8));
            }
            break;
        }
        case 24:
            for (int i = 0; i < count; ++i) {
                const BYTE* p = row + 3 * static_cast<size_t>(xs[i]);
                out[i] = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
            }
            break;
        case 32:
            if (IsBgrx(format)) {
                for (int i = 0; i < count; ++i) {
                    const BYTE* p = row + 4 * static_cast<size_t>(xs[i]);
                    out[i] = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
                }
            } else {
                const Masks masks(format);
                for (int i = 0; i < count; ++i) {
                    const BYTE* p = row + 4 * static_cast<size_t>(xs[i]);
                    out[i] =
                        masks.Expand(p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24));
                }
            }
            break;
        default:
            break;
    }
}

void PackRow(const PixelFormat& format, BYTE* row, int x, int count, const uint32_t* colors) {
    switch (format.bitCount) {
        case 1:
        case 4:
        case 8: {
            NearestIndex nearest(format);
            for (int i = 0; i < count; ++i) WriteIndex(row, x + i, format.bitCount, nearest(colors[i]));
            break;
        }
        case 16: {
            const Masks masks(format);
            BYTE* p = row + 2 * static_cast<size_t>(x);
            for (int i = 0; i < count; ++i, p += 2) {
                const uint32_t pixel = masks.Reduce(colors[i]);
                p[0] = static_cast<BYTE>(pixel);
                p[1] = static_cast<BYTE>(pixel >> 8);
            }
            break;
        }
        case 24: {
            BYTE* p = row + 3 * static_cast<size_t>(x);
            for (int i = 0; i < count; ++i, p += 3) {
                p[0] = static_cast<BYTE>(colors[i]);
                p[1] = static_cast<BYTE>(colors[i] >> 8);
                p[2] = static_cast<BYTE>(colors[i] >> 16);
            }
            break;
        }
        case 32: {
            BYTE* p = row + 4 * static_cast<size_t>(x);
            const bool bgrx = IsBgrx(format);
            const Masks masks(format);
            for (int i = 0; i < count; ++i, p += 4) {
                const uint32_t pixel = bgrx ? (colors[i] & 0x00FFFFFF) : masks.Reduce(colors[i]);
                p[0] = static_cast<BYTE>(pixel);
                p[1] = static_cast<BYTE>(pixel >> 8);
                p[2] = static_cast<BYTE>(pixel >> 16);
                p[3] = static_cast<BYTE>(pixel >> 24);
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace kelvra::platform
