// PNG through libpng: grey, RGB or RGB with alpha, 8 or 16 bits per sample. libpng turns the
// DIB's blue-green-red order and little-endian samples around row by row, so the image is never
// copied whole. Each save has its own write structures, so sessions may save at the same time.
// libpng reports errors by a jump out of its own frames: WritePngFrames, which it runs over,
// holds no C++ objects.
#include "common/DebugLog.h"
#include "output/OutputFile.h"
#include "output/StillImage.h"

#include <csetjmp>
#include <cstdio>

#include <png.h>
#include <zlib.h>

namespace {

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    DebugLog(LogCategory::Output, "libpng error: %s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp message) {
    DebugLog(LogCategory::Output, "libpng warning: %s", message);
}

// What the header says; worked out before the jump target is set, so the jump cannot lose it.
struct PngLayout {
    int bitDepth;
    int channels;
    int colourType;
};

PngLayout LayoutOf(const PixelRows& rows) {
    const int bitDepth = HasSixteenBitSamples(rows.bitsPerPixel) ? 16 : 8;
    const int channels = rows.bitsPerPixel / bitDepth;
    const int colourType = channels == 1   ? PNG_COLOR_TYPE_GRAY
                           : channels == 3 ? PNG_COLOR_TYPE_RGB
                                           : PNG_COLOR_TYPE_RGB_ALPHA;
    return PngLayout{bitDepth, channels, colourType};
}

int WritePngFrames(std::FILE* file, const PixelRows& rows, const PngSettings& settings, const PngLayout& layout) {
    // The version of the libpng this library was built against, or libpng refuses to run.
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png == nullptr) return 0;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_init_io(png, file);
    if (!settings.libraryDefaults) {
        png_set_compression_level(png, settings.level);
        png_set_compression_strategy(png, settings.strategy);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, settings.filters);
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width), static_cast<png_uint_32>(rows.height),
                 layout.bitDepth, layout.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    if (layout.channels > 1) png_set_bgr(png);
    if (layout.bitDepth == 16) png_set_swap(png);  // PNG samples are big-endian
    // GDI leaves the fourth byte of 32-bit pixels 0 for an opaque pixel.
    if (rows.bitsPerPixel == 32) png_set_invert_alpha(png);
    for (int32_t y = 0; y < rows.height; ++y) png_write_row(png, rows.Row(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return 1;
}

}  // namespace

// Measured on camera frames of 16-bit grey and 48-bit colour (bench/output): run-length deflate
// of rows filtered against the row above is 15 to 20 times faster than libpng's defaults for
// files about 2 % larger, and keeps flat pictures as small as the defaults do; plain level-1
// deflate is 11 times faster for 7 % more, Huffman coding alone swells flat pictures 70-fold.
PngSettings PngSettings::Fast() { return PngSettings{false, 1, Z_RLE, PNG_FILTER_UP}; }

PngSettings PngSettings::LibraryDefault() {
    return PngSettings{true, Z_DEFAULT_COMPRESSION, Z_DEFAULT_STRATEGY, PNG_ALL_FILTERS};
}

bool WritePng(const PixelRows& rows, const char* path, const PngSettings& settings) {
    if (!rows.Writable()) return false;
    OutputFile file;
    if (!file.Open(path)) return false;
    const PngLayout layout = LayoutOf(rows);
    if (!WritePngFrames(file.Handle(), rows, settings, layout)) return false;
    return file.Close();
}
