#include "ReferenceKernels.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

enum Colour { kGreen, kRed, kBlue };

Colour ColourAt(int32_t phase, int32_t x, int32_t y) {
    static const Colour kPattern[4][2][2] = {
        {{kGreen, kBlue}, {kRed, kGreen}},
        {{kRed, kGreen}, {kGreen, kBlue}},
        {{kBlue, kGreen}, {kGreen, kRed}},
        {{kGreen, kRed}, {kBlue, kGreen}},
    };
    return kPattern[phase][y & 1][x & 1];
}

int32_t Fold(int32_t i, int32_t n) {
    if (i < 0)
        i += 4;
    else if (i >= n)
        i -= 4;
    if (i < 0 || i >= n) i = (i & 1) < n ? (i & 1) : 0;
    return i;
}

uint32_t Scale(int64_t sum, int32_t gain, uint32_t maxValue) {
    const int64_t product = sum * static_cast<int32_t>(gain * 1.28);
    return product >= (static_cast<int64_t>(maxValue) + 1) * 2048 ? maxValue : static_cast<uint32_t>(product >> 11);
}

}  // namespace

void ReferenceDemosaic(const Plane& raw, Plane& dst, bool wide, int32_t phase, int32_t gainRed, int32_t gainBlue) {
    const uint32_t maxValue = wide ? 65535 : 255;
    auto s = [&](int32_t x, int32_t y) -> int64_t { return raw.Get(Fold(x, raw.width), Fold(y, raw.height), 0, wide); };
    for (int32_t y = 0; y < raw.height; ++y) {
        for (int32_t x = 0; x < raw.width; ++x) {
            int64_t green = 0, sums[3] = {0, 0, 0};
            for (int32_t cy = y - 1; cy <= y; ++cy) {
                for (int32_t cx = x - 1; cx <= x; ++cx) {
                    const Colour colour = ColourAt(phase, cx & 1, cy & 1);
                    if (colour == kGreen) {
                        green += s(cx, cy);
                        continue;
                    }
                    // The square of four same-coloured samples around the cell centre.
                    const int32_t hx = cx == x ? x - 2 : x + 1;
                    const int32_t vy = cy == y ? y - 2 : y + 1;
                    sums[colour] = 9 * s(cx, cy) + 3 * s(hx, cy) + 3 * s(cx, vy) + s(hx, vy);
                }
            }
            dst.Set(x, y, 0, wide, Scale(sums[kBlue], gainBlue, maxValue));
            dst.Set(x, y, 1, wide, static_cast<uint32_t>(green >> 1));
            dst.Set(x, y, 2, wide, Scale(sums[kRed], gainRed, maxValue));
        }
    }
}

void ReferenceSharpen(const Plane& copy, Plane& dst, bool wide, int channels, int32_t strength) {
    const int32_t m = wide ? 65535 : 255;
    std::vector<int32_t> correction(2 * m + 2);
    for (int32_t j = 0; j <= 2 * m + 1; ++j) {
        correction[j] = static_cast<int32_t>(std::trunc(strength * static_cast<double>(j - m) / 10.0));
    }
    for (int32_t y = 2; y < copy.height - 2; ++y) {
        for (int32_t x = 2; x < copy.width - 2; ++x) {
            for (int c = 0; c < channels; ++c) {
                int32_t sum = 0;
                for (int32_t by = y - 2; by <= y + 1; ++by)
                    for (int32_t bx = x - 2; bx <= x + 1; ++bx) sum += static_cast<int32_t>(copy.Get(bx, by, c, wide));
                const int32_t original = static_cast<int32_t>(copy.Get(x, y, c, wide));
                const int32_t value = original + correction[original - (sum >> 4) + m];
                dst.Set(x, y, c, wide, static_cast<uint32_t>(std::clamp(value, 0, m)));
            }
        }
    }
}

int32_t ReferenceHueShift(int32_t hue) {
    // Hue to a 16-bit angle by the fixed-point division by 360, sign-corrected.
    const int32_t xh = hue * 65536;
    const int32_t high = static_cast<int32_t>((static_cast<int64_t>(xh) * -1240768329LL) >> 32);
    int32_t angle = (xh + high) >> 8;
    angle -= xh >> 31;
    angle = ((angle % 65536) + 65536) % 65536;
    const int32_t s6 = (angle * 6) >> 8;
    int32_t r = s6 % 512;
    if (r >= 256) r -= 512;
    int32_t shift = r + 510 * (((s6 + 256) >> 9) % 3);
    while (shift < 0) shift += 1530;
    while (shift >= 1530) shift -= 1530;
    return shift;
}

void ReferenceHueSaturation(int32_t hue, int32_t saturation, uint8_t bgr[3]) {
    const int32_t shift = ReferenceHueShift(hue);
    const int32_t b = bgr[0], g = bgr[1], rd = bgr[2];
    const int32_t mx = std::max({rd, g, b}), mn = std::min({rd, g, b});
    const int32_t l2 = mx + mn, chroma = mx - mn;
    int32_t sector, p;
    if (rd >= g && rd >= b)
        sector = 1, p = g - b;
    else if (g > rd && g >= b)
        sector = 3, p = b - rd;
    else
        sector = 5, p = rd - g;
    if (p < 0) sector -= 1, p += chroma;
    const int32_t scaled = ((saturation + 256) * 256 * chroma + 32768) >> 16;
    const int32_t newChroma = std::min(scaled, l2 < 256 ? l2 : 511 - l2);
    int32_t packed = ((l2 - newChroma) >> 1) * 0x010101;
    if (chroma != 0) {
        int32_t w = ((p * (16711680 / chroma) + 32768) >> 16) + shift % 255;
        const int32_t index = (sector + shift / 255 + (w > 254 ? 1 : 0)) % 6;
        if (w >= 255) w -= 255;
        const int32_t a = ((l2 + newChroma) >> 1) - ((l2 - newChroma) >> 1);
        static const int32_t kMask[6] = {0x010001, 0x010000, 0x010100, 0x000100, 0x000101, 0x000001};
        static const int32_t kStep[6] = {-1, 256, -65536, 1, -256, 65536};
        packed += a * kMask[index] + ((a * w + 128) >> 8) * kStep[index];
    }
    bgr[0] = static_cast<uint8_t>(packed);
    bgr[1] = static_cast<uint8_t>(packed >> 8);
    bgr[2] = static_cast<uint8_t>(packed >> 16);
}

uint32_t ReferenceGamma(int32_t gamma, uint32_t maxValue, uint32_t sample) {
    if (sample == 0) return 0;
    const double m = maxValue;
    const double value = m * std::pow(sample / m, 1.0 / (gamma / 100.0));
    return static_cast<uint32_t>(std::min(value, m));
}

uint32_t ReferenceContrast(int32_t contrast, uint32_t maxValue, uint32_t sample) {
    const double range = maxValue + 1.0;
    const double h = contrast * (range / 256.0);
    if (sample < h) return 0;
    if (sample > maxValue - h) return maxValue;
    return static_cast<uint32_t>(range / (range - 2 * h) * (sample - h));
}

uint32_t ReferenceBrightness(int32_t brightness, uint32_t maxValue, uint32_t sample) {
    const float factor = brightness < 0 ? 1.0f - static_cast<float>(-brightness) / 255.0f
                                        : 1.0f + static_cast<float>(brightness * 10) / 255.0f;
    const float value = static_cast<float>(sample) * factor;
    return value >= static_cast<float>(maxValue) ? maxValue : static_cast<uint32_t>(value);
}
