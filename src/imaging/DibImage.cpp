#include "imaging/DibImage.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

bool ValidFormat(int32_t width, int32_t height, uint16_t bitsPerPixel) {
    return width > 0 && height > 0 && bitsPerPixel != 0;
}

void LoadGreyRamp(RGBQUAD* palette) {
    for (int i = 0; i < 256; ++i) {
        palette[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    }
}

// Makes the pixel memory for the format in image->header: a DIB section in a memory DC,
// or a zeroed heap block when GDI cannot make the section.
int Allocate(DibImage* image, HDC referenceDc) {
    if (image->bitsPerPixel == 8) SetImagePalette(image, 0, nullptr, 0, 256);
    void* sectionBits = nullptr;
    image->dibSection = CreateDIBSection(referenceDc, reinterpret_cast<const BITMAPINFO*>(&image->header),
                                         DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    if (image->dibSection) {
        image->bits = static_cast<BYTE*>(sectionBits);
        image->memoryDc = CreateCompatibleDC(nullptr);
        if (image->memoryDc) image->savedObject = SelectObject(image->memoryDc, image->dibSection);
        if (!image->memoryDc || !image->savedObject || !image->bits) {
            DestroyImage(image);
            return 0;
        }
        return 1;
    }
    const size_t bytes = static_cast<size_t>(image->height) * static_cast<size_t>(image->stride);
    image->heapBits = static_cast<BYTE*>(std::calloc(bytes, 1));
    if (!image->heapBits) {
        DestroyImage(image);
        return 0;
    }
    image->bits = image->heapBits;
    return 1;
}

}  // namespace

int32_t DibStride(int32_t width, uint16_t bitsPerPixel) {
    return static_cast<int32_t>((static_cast<int64_t>(width) * (bitsPerPixel / 8) + 3) & ~int64_t{3});
}

void InitImage(DibImage* image) {
    if (!image) return;
    std::memset(image, 0, sizeof(DibImage));
    image->header.biSize = sizeof(BITMAPINFOHEADER);
}

int CreateImage(DibImage* image, int32_t width, int32_t height, uint16_t bitsPerPixel) {
    if (!image || !ValidFormat(width, height, bitsPerPixel)) return 0;
    // Rows and the whole block must stay addressable with 32-bit strides.
    const int64_t stride = (static_cast<int64_t>(width) * (bitsPerPixel / 8) + 3) & ~int64_t{3};
    if (stride <= 0 || stride > INT32_MAX || stride * height > INT32_MAX) return 0;
    DestroyImage(image);
    image->header.biPlanes = 1;
    image->header.biWidth = width;
    image->header.biHeight = height;
    image->header.biBitCount = bitsPerPixel;
    image->header.biCompression = BI_RGB;
    image->width = width;
    image->height = height;
    image->bitsPerPixel = bitsPerPixel;
    image->stride = static_cast<int32_t>(stride);
    return Allocate(image, nullptr);
}

int CopyImageFormat(DibImage* image, const DibImage* other) {
    if (!image || !other || !ValidFormat(other->width, other->height, other->bitsPerPixel)) return 0;
    if (image == other) return 0;  // destroying the image would take its format with it
    DestroyImage(image);
    image->header = other->header;
    image->width = other->width;
    image->height = other->height;
    image->stride = other->stride;
    image->bitsPerPixel = other->bitsPerPixel;
    return Allocate(image, other->memoryDc);
}

void DestroyImage(DibImage* image) {
    if (!image) return;
    for (int i = 0; i < 3; ++i) {
        if (!image->overlayObjects[i]) continue;
        if (image->savedOverlayObjects[i] && image->memoryDc)
            SelectObject(image->memoryDc, image->savedOverlayObjects[i]);
        DeleteObject(image->overlayObjects[i]);
    }
    if (image->dibSection) {
        if (image->memoryDc && image->savedObject) SelectObject(image->memoryDc, image->savedObject);
        DeleteObject(image->dibSection);
        image->bits = nullptr;
    }
    if (image->memoryDc) DeleteDC(image->memoryDc);
    if (image->drawDib) DrawDibClose(image->drawDib);
    std::free(image->heapBits);
    InitImage(image);
}

int SetImagePalette(DibImage* image, int mode, const RGBQUAD* colours, int first, int count) {
    if (!image) return 1;
    if (mode == 0) {
        LoadGreyRamp(image->palette);
        if (image->memoryDc) SetDIBColorTable(image->memoryDc, 0, 256, image->palette);
    } else if (mode == 2 && colours && first >= 0 && first < 256 && count > 0) {
        // Entries beyond the 256 of the palette are not written.
        const int entries = count < 256 - first ? count : 256 - first;
        std::memcpy(image->palette + first, colours, static_cast<size_t>(entries) * sizeof(RGBQUAD));
        if (image->memoryDc)
            SetDIBColorTable(image->memoryDc, static_cast<UINT>(first), static_cast<UINT>(entries), colours);
    }
    return 1;
}

void DrawImage(DibImage* image, HDC targetDc, int x, int y, const RECT* rect) {
    if (!image || !image->memoryDc || !targetDc) return;
    const RECT whole{0, 0, image->width, image->height};
    const RECT& r = rect ? *rect : whole;
    BitBlt(targetDc, x, y, r.right - r.left, r.bottom - r.top, image->memoryDc, r.left, r.top, SRCCOPY);
}

bool SaveImageAsBmp(const DibImage* image, const char* path) {
    if (!image || !path || !image->bits) return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    const bool withPalette = image->bitsPerPixel <= 8;
    const DWORD pixelOffset = withPalette ? 1078 : 54;
    const DWORD pixelBytes = static_cast<DWORD>(image->height) * static_cast<DWORD>(image->stride);
    BYTE fileHeader[14] = {'B', 'M'};
    const DWORD fileSize = pixelOffset + pixelBytes;
    std::memcpy(fileHeader + 2, &fileSize, 4);
    std::memcpy(fileHeader + 10, &pixelOffset, 4);
    file.write(reinterpret_cast<const char*>(fileHeader), sizeof fileHeader);
    file.write(reinterpret_cast<const char*>(&image->header), sizeof(BITMAPINFOHEADER));
    if (withPalette) {
        RGBQUAD palette[256];
        std::memcpy(palette, image->palette, sizeof palette);
        // The section's own table is what GDI draws with; the record's copy stands in for
        // heap-backed images.
        if (image->memoryDc) GetDIBColorTable(image->memoryDc, 0, 256, palette);
        file.write(reinterpret_cast<const char*>(palette), sizeof palette);
    }
    file.write(reinterpret_cast<const char*>(image->bits), static_cast<std::streamsize>(pixelBytes));
    return static_cast<bool>(file.flush());
}
