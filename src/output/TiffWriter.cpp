// TIFF through libtiff: one uncompressed strip of unpadded rows, samples in red-green-blue order.
#include "common/DebugLog.h"
#include "output/OutputFile.h"
#include "output/StillImage.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include <tiffio.h>

namespace {

void OnTiffMessage(const char* module, const char* format, va_list arguments) {
    if (!LogEnabled(LogCategory::Output)) return;
    char message[512];
    std::vsnprintf(message, sizeof message, format, arguments);
    DebugLog(LogCategory::Output, "libtiff %s: %s", module ? module : "", message);
}

// libtiff's handlers are process-wide: set once, before the first file.
void RouteTiffMessages() {
    static std::once_flag routed;
    std::call_once(routed, [] {
        TIFFSetErrorHandler(OnTiffMessage);
        TIFFSetWarningHandler(OnTiffMessage);
    });
}

// One picture row in TIFF order: red first, alpha (where there is one) last, 16-bit samples
// shifted up to full depth.
void PackRow(const PixelRows& rows, int32_t y, int shift, BYTE* out) {
    const BYTE* row = rows.Row(y);
    const int32_t w = rows.width;
    switch (rows.bitsPerPixel) {
        case 8:
            std::memcpy(out, row, static_cast<size_t>(w));
            return;
        case 16:
            // Little-endian samples in a little-endian file: at full depth the row goes as it is.
            if (shift == 0) {
                std::memcpy(out, row, static_cast<size_t>(w) * 2);
                return;
            }
            break;
        case 24:
        case 32: {
            const int in = rows.bitsPerPixel / 8;
            for (int32_t x = 0; x < w; ++x) {
                const BYTE* s = row + x * in;
                BYTE* d = out + x * in;
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                if (in == 4) d[3] = 0;
            }
            return;
        }
        default:
            break;
    }
    const auto* s = reinterpret_cast<const uint16_t*>(row);
    auto* d = reinterpret_cast<uint16_t*>(out);  // the row buffer is the vector's, aligned for samples
    if (rows.bitsPerPixel == 16) {
        for (int32_t x = 0; x < w; ++x) d[x] = static_cast<uint16_t>(s[x] << shift);
        return;
    }
    const int channels = rows.bitsPerPixel / 16;
    for (int32_t x = 0; x < w; ++x, s += channels, d += channels) {
        d[0] = static_cast<uint16_t>(s[2] << shift);
        d[1] = static_cast<uint16_t>(s[1] << shift);
        d[2] = static_cast<uint16_t>(s[0] << shift);
        if (channels == 4) d[3] = 0xFFFF;
    }
}

}  // namespace

bool WriteTiff(const PixelRows& rows, const char* path, int32_t sampleBits) {
    uint16_t bitsPerSample = 8, samplesPerPixel = 1, photometric = PHOTOMETRIC_MINISBLACK, extra = 0;
    switch (rows.bitsPerPixel) {
        case 8:
            break;
        case 16:
            bitsPerSample = 16;
            break;
        case 24:
            samplesPerPixel = 3;
            break;
        case 32:
            samplesPerPixel = 4;
            extra = EXTRASAMPLE_UNSPECIFIED;  // the fourth byte is always 0
            break;
        case 48:
            bitsPerSample = 16;
            samplesPerPixel = 3;
            break;
        case 64:
            bitsPerSample = 16;
            samplesPerPixel = 4;
            extra = EXTRASAMPLE_UNASSALPHA;  // opaque
            break;
        default:
            return false;
    }
    if (samplesPerPixel >= 3) photometric = PHOTOMETRIC_RGB;
    if (rows.bits == nullptr || rows.width <= 0 || rows.height <= 0 || path == nullptr || *path == '\0') return false;
    if (sampleBits < 1 || sampleBits > 16) return false;
    RouteTiffMessages();
    const size_t rowBytes = static_cast<size_t>(rows.width) * (rows.bitsPerPixel / 8);
    std::vector<BYTE> packed(rowBytes);
    TIFF* tiff = TIFFOpen(path, "w");
    if (tiff == nullptr) return false;
    bool written = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(rows.width)) == 1 &&
                   TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows.height)) == 1 &&
                   TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
                   TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
                   TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bitsPerSample) == 1 &&
                   TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric) == 1 &&
                   TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel) == 1 &&
                   TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rows.height)) == 1;
    if (written && samplesPerPixel == 4) written = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra) == 1;
    const int shift = HasSixteenBitSamples(rows.bitsPerPixel) ? 16 - sampleBits : 0;
    for (int32_t y = 0; written && y < rows.height; ++y) {
        PackRow(rows, y, shift, packed.data());
        written = TIFFWriteScanline(tiff, packed.data(), static_cast<uint32_t>(y), 0) == 1;
    }
    // The strip reaches the file only here; a full disk shows in the flush.
    if (written) written = TIFFFlush(tiff) == 1;
    TIFFClose(tiff);
    if (!written) RemoveUnfinished(path);
    return written;
}
