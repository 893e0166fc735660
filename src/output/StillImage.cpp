// The dispatcher of still image files: by file type and the image's bits per pixel, the image
// itself or a scratch copy in the form the writer takes.
#include "output/StillImage.h"

#include "imaging/Converters.h"

namespace {

int JpegQuality(StillImageType type) {
    switch (type) {
        case StillImageType::JpegHigh:
            return 100;
        case StillImageType::JpegMedium:
            return 70;
        default:
            return 20;
    }
}

// Frees the scratch image however the save ends.
struct ScratchImage {
    DibImage image;
    ScratchImage() { InitImage(&image); }
    ScratchImage(const ScratchImage&) = delete;
    ScratchImage& operator=(const ScratchImage&) = delete;
    ~ScratchImage() { DestroyImage(&image); }
};

// 64-bit pixels of sampleBits-deep colour, shifted to full depth; the fourth sample becomes
// opaque alpha. (The 48-bit expanding converters read three samples a pixel, so they cannot
// take a 64-bit source.)
void ShiftColour64(const DibImage& source, DibImage& destination, int shift) {
    for (int32_t row = 0; row < source.height; ++row) {
        const auto* s = reinterpret_cast<const uint16_t*>(source.bits + static_cast<intptr_t>(row) * source.stride);
        auto* d = reinterpret_cast<uint16_t*>(destination.bits + static_cast<intptr_t>(row) * destination.stride);
        for (int32_t x = 0; x < source.width * 4; x += 4) {
            d[x] = static_cast<uint16_t>(s[x] << shift);
            d[x + 1] = static_cast<uint16_t>(s[x + 1] << shift);
            d[x + 2] = static_cast<uint16_t>(s[x + 2] << shift);
            d[x + 3] = 0xFFFF;
        }
    }
}

bool SavePng(const DibImage& image, const char* path, int32_t sampleBits) {
    const bool sixteenBitSamples = HasSixteenBitSamples(image.bitsPerPixel);
    if (!sixteenBitSamples || sampleBits == 16) return WritePng(PixelRows::Of(image), path);
    if (sampleBits != 10 && sampleBits != 12) return false;
    ScratchImage scratch;
    if (!CopyImageFormat(&scratch.image, &image)) return false;
    auto* source = const_cast<DibImage*>(&image);
    const bool ten = sampleBits == 10;
    switch (image.bitsPerPixel) {
        case 16:
            TransferImage(&scratch.image, ten ? Shift10To16 : Shift12To16, source, nullptr, 0, 0, nullptr, nullptr);
            break;
        case 48:
            TransferImage(&scratch.image, ten ? Shift48By6 : Shift48By4, source, nullptr, 0, 0, nullptr, nullptr);
            break;
        default:
            ShiftColour64(image, scratch.image, 16 - sampleBits);
            break;
    }
    return WritePng(PixelRows::Of(scratch.image), path);
}

}  // namespace

bool SaveImageFile(const DibImage& image, const char* path, int32_t fileType, int32_t sampleBits) {
    if (path == nullptr || *path == '\0' || image.bits == nullptr) return false;
    if (HasSixteenBitSamples(image.bitsPerPixel) && sampleBits != 10 && sampleBits != 12 && sampleBits != 16)
        return false;
    const auto type = static_cast<StillImageType>(fileType);
    switch (type) {
        case StillImageType::Bmp:
            return WriteBmp(image, path);
        case StillImageType::Raw:
            return WriteRaw(image, path);
        case StillImageType::JpegHigh:
        case StillImageType::JpegMedium:
        case StillImageType::JpegLow:
            return WriteJpeg(PixelRows::Of(image), path, JpegQuality(type), sampleBits);
        case StillImageType::Png:
            return SavePng(image, path, sampleBits);
        case StillImageType::Tiff:
            return WriteTiff(PixelRows::Of(image), path, sampleBits);
        default:
            return false;
    }
}
