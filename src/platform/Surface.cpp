#include "Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kelvra::platform {

namespace {

// Larger requests fail like an allocation failure instead of overflowing size arithmetic.
constexpr size_t kMaxSurfaceBytes = size_t{1} << 31;

BYTE* AllocateZeroed(int width, int height, WORD bitCount, size_t& stride) {
    if (!Surface::StrideFor(width, bitCount, stride) || height < 0) return nullptr;
    const size_t rows = static_cast<size_t>(std::max(height, 1));
    if (stride > kMaxSurfaceBytes / rows) return nullptr;
    return static_cast<BYTE*>(std::calloc(rows, std::max<size_t>(stride, 4)));
}

}  // namespace

PixelFormat PixelFormat::Bgrx32() { return PixelFormat{}; }

bool PixelFormat::SameLayout(const PixelFormat& other) const {
    if (bitCount != other.bitCount) return false;
    if (bitCount <= 8)
        return colors.size() == other.colors.size() &&
               std::equal(colors.begin(), colors.end(), other.colors.begin(), [](const RGBQUAD& a, const RGBQUAD& b) {
                   return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
               });
    if (bitCount == 24) return true;
    return redMask == other.redMask && greenMask == other.greenMask && blueMask == other.blueMask;
}

bool Surface::StrideFor(int width, WORD bitCount, size_t& stride) {
    if (width < 0 || bitCount == 0 || bitCount > 32) return false;
    stride = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
    return true;
}

std::shared_ptr<Surface> Surface::Create(int width, int height, bool bottomUp, PixelFormat format,
                                         std::shared_ptr<SurfaceScreen> screen) {
    size_t stride = 0;
    std::unique_ptr<PixelMemory> memory;
    if (screen && StrideFor(width, format.bitCount, stride) && height >= 0)
        memory = screen->Allocate(width, height, stride);
    BYTE* bits = memory ? memory->Bits() : AllocateZeroed(width, height, format.bitCount, stride);
    if (bits == nullptr) return nullptr;
    std::shared_ptr<Surface> surface(new Surface);
    surface->memory = std::move(memory);
    surface->screen = std::move(screen);
    surface->width = width;
    surface->height = height;
    surface->stride = stride;
    surface->bottomUp = bottomUp;
    surface->owned = true;
    surface->bits = bits;
    surface->format = std::move(format);
    return surface;
}

std::shared_ptr<Surface> Surface::Wrap(BYTE* bits, int width, int height, bool bottomUp, PixelFormat format) {
    size_t stride = 0;
    if (bits == nullptr || height < 0 || !StrideFor(width, format.bitCount, stride)) return nullptr;
    std::shared_ptr<Surface> surface(new Surface);
    surface->width = width;
    surface->height = height;
    surface->stride = stride;
    surface->bottomUp = bottomUp;
    surface->bits = bits;
    surface->format = std::move(format);
    return surface;
}

Surface::~Surface() {
    if (owned && !memory) std::free(bits);
}

bool Surface::Resize(int width, int height) {
    if (!owned) return false;
    if (width == this->width && height == this->height) return true;
    size_t stride = 0;
    std::unique_ptr<PixelMemory> memory;
    if (screen && StrideFor(width, format.bitCount, stride) && height >= 0)
        memory = screen->Allocate(width, height, stride);
    BYTE* bits = memory ? memory->Bits() : AllocateZeroed(width, height, format.bitCount, stride);
    if (bits == nullptr) return false;
    const size_t keptBytes = std::min(stride, this->stride);
    const int keptRows = std::min(height, this->height);
    for (int y = 0; y < keptRows; ++y) {
        const int from = bottomUp ? this->height - 1 - y : y;
        const int to = bottomUp ? height - 1 - y : y;
        std::memcpy(bits + static_cast<size_t>(to) * stride, this->bits + static_cast<size_t>(from) * this->stride,
                    keptBytes);
    }
    if (!this->memory) std::free(this->bits);
    this->memory = std::move(memory);
    this->bits = bits;
    this->width = width;
    this->height = height;
    this->stride = stride;
    return true;
}

void Surface::Changed(const RECT& area) const {
    if (screen) screen->Show(*this, area);
}

}  // namespace kelvra::platform
