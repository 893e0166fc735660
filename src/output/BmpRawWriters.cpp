// The two formats written without a library: BMP (bottom-up, so the rows go in reverse storage
// order) and raw pixel memory exactly as stored.
#include "output/OutputFile.h"
#include "output/StillImage.h"

#include <cstring>

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kPaletteBytes = 256 * sizeof(RGBQUAD);

bool Usable(const DibImage& image) { return image.bits != nullptr && image.width > 0 && image.height > 0; }

}  // namespace

bool WriteBmp(const DibImage& image, const char* path) {
    if (!Usable(image)) return false;
    const bool withPalette = image.bitsPerPixel <= 8;
    const uint32_t pixelOffset = kFileHeaderBytes + sizeof(BITMAPINFOHEADER) + (withPalette ? kPaletteBytes : 0);
    const uint64_t pixelBytes = static_cast<uint64_t>(image.height) * static_cast<uint64_t>(image.stride);
    OutputFile file;
    if (!file.Open(path)) return false;
    file.Write("BM", 2);
    file.WriteU32(static_cast<uint32_t>(pixelOffset + pixelBytes));
    file.WriteU32(0);  // two reserved 16-bit words
    file.WriteU32(pixelOffset);
    file.Write(&image.header, sizeof(BITMAPINFOHEADER));
    if (withPalette) {
        RGBQUAD palette[256];
        std::memcpy(palette, image.palette, sizeof palette);
        // The section's own colour table is what GDI draws with; the record's copy stands in for
        // heap-backed images.
        if (image.memoryDc) GetDIBColorTable(image.memoryDc, 0, 256, palette);
        file.Write(palette, sizeof palette);
    }
    const size_t stride = static_cast<size_t>(image.stride);
    for (int32_t row = image.height - 1; row >= 0; --row) {
        file.Write(image.bits + static_cast<size_t>(row) * stride, stride);
    }
    return file.Close();
}

bool WriteRaw(const DibImage& image, const char* path) {
    if (!Usable(image)) return false;
    OutputFile file;
    if (!file.Open(path)) return false;
    file.Write(image.bits, static_cast<size_t>(image.height) * static_cast<size_t>(image.stride));
    return file.Close();
}
