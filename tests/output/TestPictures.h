// Pictures of every output depth for the writer tests: four flat quadrants of distinct colours
// (or greys), split at column 16 and row 16 so that JPEG's 16-pixel blocks stay inside one, on an
// odd width whose rows need padding. Storage row 0 is the picture's top row, as in the session.
#pragma once

#include "imaging/DibImage.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace pictures {

constexpr int32_t kWidth = 37;
constexpr int32_t kHeight = 32;
constexpr int32_t kSplit = 16;

struct Rgb {
    int r, g, b;
};
// Top-left, top-right, bottom-left, bottom-right.
constexpr std::array<Rgb, 4> kColours = {Rgb{200, 30, 90}, Rgb{20, 180, 60}, Rgb{90, 90, 240}, Rgb{250, 250, 10}};
constexpr std::array<int, 4> kGreys = {40, 200, 120, 250};
constexpr int kLow16 = 0x5A;  // low byte of grey samples
constexpr int kLow48 = 0x33;  // low byte of colour samples

inline int Quadrant(int32_t x, int32_t y) { return (x < kSplit ? 0 : 1) + (y < kSplit ? 0 : 2); }

// Owns a DibImage for the length of a test.
struct Picture {
    DibImage image;
    explicit Picture(int32_t bitsPerPixel, int32_t width = kWidth, int32_t height = kHeight) {
        InitImage(&image);
        CreateImage(&image, width, height, static_cast<uint16_t>(bitsPerPixel));
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture() { DestroyImage(&image); }
    BYTE* At(int32_t x, int32_t y) { return image.bits + y * image.stride + x * (image.bitsPerPixel / 8); }
};

inline void Put16(BYTE* at, int value) {
    at[0] = static_cast<BYTE>(value);
    at[1] = static_cast<BYTE>(value >> 8);
}

// The quadrant picture at bitsPerPixel: grey for 8 and 16, blue-green-red(-alpha) otherwise.
inline void Paint(Picture& picture) {
    DibImage& image = picture.image;
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            BYTE* p = picture.At(x, y);
            const int q = Quadrant(x, y);
            const Rgb c = kColours[q];
            switch (image.bitsPerPixel) {
                case 8:
                    p[0] = static_cast<BYTE>(kGreys[q]);
                    break;
                case 16:
                    Put16(p, kGreys[q] << 8 | kLow16);
                    break;
                case 24:
                case 32:
                    p[0] = static_cast<BYTE>(c.b);
                    p[1] = static_cast<BYTE>(c.g);
                    p[2] = static_cast<BYTE>(c.r);
                    if (image.bitsPerPixel == 32) p[3] = 0;
                    break;
                default:
                    Put16(p, c.b << 8 | kLow48);
                    Put16(p + 2, c.g << 8 | kLow48);
                    Put16(p + 4, c.r << 8 | kLow48);
                    if (image.bitsPerPixel == 64) Put16(p + 6, 0xFFFF);
                    break;
            }
        }
    }
}

}  // namespace pictures
