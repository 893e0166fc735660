// A rectangle of pixels in one of the DIB formats: the memory behind a DIB section, a
// compatible bitmap, a window's client area or a caller's DIB that is being drawn.
#pragma once

#include "kelvra/win32.h"

#include <memory>
#include <mutex>
#include <vector>

namespace kelvra::platform {

struct PixelFormat {
    WORD bitCount = 32;
    // Channel masks of 16- and 32-bit pixels (5-5-5 resp. 8-8-8 unless BI_BITFIELDS said otherwise).
    DWORD redMask = 0x00FF0000;
    DWORD greenMask = 0x0000FF00;
    DWORD blueMask = 0x000000FF;
    std::vector<RGBQUAD> colors;  // the colour table of 1-, 4- and 8-bit pixels

    static PixelFormat Bgrx32();
    bool SameLayout(const PixelFormat& other) const;
};

class Surface;

// Pixel memory that a display server reads as well, so showing it needs no copy here.
class PixelMemory {
public:
    virtual ~PixelMemory() = default;
    BYTE* Bits() const { return bits; }

protected:
    BYTE* bits = nullptr;  // zero-filled when handed out
};

// Where a window's surface is also shown on screen.
class SurfaceScreen {
public:
    virtual ~SurfaceScreen() = default;
    // Memory the screen can show directly, for a surface of this size; null when it has none
    // and plain memory has to do.
    virtual std::unique_ptr<PixelMemory> Allocate(int width, int height, size_t stride) = 0;
    // The pixels of area (surface coordinates) changed. Called with the surface's mutex held,
    // so the pixels stay put until the screen has them.
    virtual void Show(const Surface& surface, const RECT& area) = 0;
};

class Surface {
public:
    // Zero-filled pixels of their own; null when the size is unusable or memory runs out.
    // A screen, when given, shows the pixels and may provide their memory.
    static std::shared_ptr<Surface> Create(int width, int height, bool bottomUp, PixelFormat format,
                                           std::shared_ptr<SurfaceScreen> screen = nullptr);
    // Pixels that belong to someone else and outlive the surface.
    static std::shared_ptr<Surface> Wrap(BYTE* bits, int width, int height, bool bottomUp, PixelFormat format);

    // Bytes per row: width × bits per pixel rounded up to a multiple of 4.
    static bool StrideFor(int width, WORD bitCount, size_t& stride);

    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Guards pixels, size and colour table while GDI works on them; the DC of a window is
    // drawn by worker threads while the window's thread resizes it.
    std::mutex& Mutex() const { return mutex; }

    int Width() const { return width; }
    int Height() const { return height; }
    size_t Stride() const { return stride; }
    bool BottomUp() const { return bottomUp; }
    BYTE* Bits() const { return bits; }
    const PixelFormat& Format() const { return format; }
    PixelFormat& Format() { return format; }

    // Row y counted from the top of the image, whatever the storage order.
    BYTE* Row(int y) const { return bits + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride; }

    // Window surfaces follow the client size; pixels that stay inside keep their values.
    bool Resize(int width, int height);

    // The rest is called with Mutex() held.
    // Pixels in area changed: the screen, if any, shows them.
    void Changed(const RECT& area) const;
    // The screen stops showing this surface (its window is gone); the pixels stay valid.
    void DetachScreen() { screen.reset(); }
    const SurfaceScreen* Screen() const { return screen.get(); }
    // The screen's memory behind Bits(), or null for plain memory.
    const PixelMemory* Memory() const { return memory.get(); }

private:
    Surface() = default;

    mutable std::mutex mutex;
    int width = 0;
    int height = 0;
    size_t stride = 0;
    bool bottomUp = false;
    bool owned = false;
    BYTE* bits = nullptr;
    std::unique_ptr<PixelMemory> memory;  // when set, bits point into it
    std::shared_ptr<SurfaceScreen> screen;
    PixelFormat format;
};

}  // namespace kelvra::platform
