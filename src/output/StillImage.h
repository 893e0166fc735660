// Still image files: the dispatcher that turns a session image into what each file type takes,
// and the five writers (BMP and raw written here, JPEG through libjpeg, PNG through libpng with
// zlib, TIFF through libtiff). Every writer shows the image's storage row 0 as the picture's top
// row, and a writer that fails returns false and leaves no file behind.
#pragma once

#include "imaging/DibImage.h"

#include <cstdint>

enum class StillImageType : int32_t { Bmp = 0, Raw = 1, JpegHigh = 2, JpegMedium = 3, JpegLow = 4, Png = 5, Tiff = 6 };

// Grey of 16 bits and colour of 48 and 64 bits hold 16-bit samples; the other depths bytes.
inline bool HasSixteenBitSamples(int32_t bitsPerPixel) {
    return bitsPerPixel == 16 || bitsPerPixel == 48 || bitsPerPixel == 64;
}

// An image's pixel rows in picture order, whichever way round they are stored.
struct PixelRows {
    const BYTE* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    int32_t bitsPerPixel = 0;
    bool bottomRowFirst = false;  // storage row 0 holds the picture's bottom row

    // Picture row y, counted from the top.
    const BYTE* Row(int32_t y) const {
        const int32_t storageRow = bottomRowFirst ? height - 1 - y : y;
        return bits + static_cast<intptr_t>(storageRow) * stride;
    }
    // Rows a writer can take: pixels there, and one of the session's depths (8, 16, 24, 32, 48, 64).
    bool Writable() const {
        const bool sessionDepth = bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32 ||
                                  bitsPerPixel == 48 || bitsPerPixel == 64;
        return sessionDepth && bits != nullptr && width > 0 && height > 0;
    }
    static PixelRows Of(const DibImage& image, bool bottomRowFirst = false) {
        return PixelRows{image.bits, image.width, image.height, image.stride, image.bitsPerPixel, bottomRowFirst};
    }
};

// How hard libpng's deflate works: the library's own defaults, or the settings this library
// saves with (measured in the output benchmark).
struct PngSettings {
    bool libraryDefaults;  // leave level, strategy and filters to libpng
    int level;
    int strategy;
    int filters;  // PNG_FILTER_* mask
    static PngSettings Fast();
    static PngSettings LibraryDefault();
};

// Writes image as fileType (0..6) to path. sampleBits is the significant depth of 16-bit samples
// (10, 12 or 16); 16 writes samples as they are. False for another type, a pixel size the type
// cannot take, or a file that cannot be written.
bool SaveImageFile(const DibImage& image, const char* path, int32_t fileType, int32_t sampleBits);

bool WriteBmp(const DibImage& image, const char* path);
bool WriteRaw(const DibImage& image, const char* path);
// 8-bit grey or colour of 24, 32, 48 or 64 bits: grey samples of 16 bits and colour samples of
// 16 bits give their upper sampleBits - 8 .. sampleBits - 1 bits.
bool WriteJpeg(const PixelRows& rows, const char* path, int quality, int32_t sampleBits);
// 8, 16, 24, 32, 48 or 64 bits per pixel, samples as they are; 32- and 64-bit pixels keep their
// fourth sample as alpha (the 32-bit one inverted, as GDI's zero means opaque).
bool WritePng(const PixelRows& rows, const char* path, const PngSettings& settings = PngSettings::Fast());
// 8, 16, 24, 32, 48 or 64 bits per pixel; 16-bit samples are shifted up by 16 - sampleBits.
bool WriteTiff(const PixelRows& rows, const char* path, int32_t sampleBits);
