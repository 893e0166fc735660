// The in-memory bitmap every image of the library lives in: a bottom-up Windows DIB with
// its header and 256-entry palette, pixel memory of a DIB section selected into a memory
// DC, or a zero-filled heap block when no section can be made (48- and 64-bit images,
// which GDI does not support, always take that path).
#pragma once

#include <cstddef>
#include <cstdint>

#include "kelvra/win32.h"

struct DibImage {
    BITMAPINFOHEADER header;  // header and palette together form the BITMAPINFO handed to GDI
    RGBQUAD palette[256];
    uint64_t reserved;
    HBITMAP dibSection;
    HGDIOBJ overlayObjects[3];  // extra objects other parts select into memoryDc
    BYTE* bits;                 // storage row 0 is the bottom image row
    HDRAWDIB drawDib;
    int32_t width;
    int32_t height;
    int32_t stride;  // bytes per row, a multiple of 4
    uint16_t bitsPerPixel;
    HGDIOBJ savedObject;
    HGDIOBJ savedOverlayObjects[3];
    HDC memoryDc;
    BYTE* heapBits;  // the heap block behind bits when there is no DIB section
};

// Bytes per row of a DIB: rounded up to a multiple of 4.
int32_t DibStride(int32_t width, uint16_t bitsPerPixel);

void InitImage(DibImage* image);
int CreateImage(DibImage* image, int32_t width, int32_t height, uint16_t bitsPerPixel);
int CopyImageFormat(DibImage* image, const DibImage* other);
void DestroyImage(DibImage* image);
// Mode 0: 256-entry grey ramp; mode 2: count entries of colours from first; others nothing.
int SetImagePalette(DibImage* image, int mode, const RGBQUAD* colours, int first, int count);
// Copies rect (or the whole image) to (x, y) of targetDc; a heap-backed image draws nothing.
void DrawImage(DibImage* image, HDC targetDc, int x, int y, const RECT* rect);
bool SaveImageAsBmp(const DibImage* image, const char* path);

static_assert(offsetof(DibImage, palette) == sizeof(BITMAPINFOHEADER),
              "the palette follows the header so both form one BITMAPINFO");
