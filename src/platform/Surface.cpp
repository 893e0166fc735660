#include "Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kelvra::platform {

namespace {

// Larger requests fail like an allocation failure instead of overflowing size arithmetic.
constexpr size_t kMaxSurfaceBytes = size_t{1} << 31;

BYTE* AllocateZeroed(int width, int height, WORD bitCount, size_t& stride)
{
    if (!Surface::StrideFor(width, bitCount, stride) || height < 0)
        return nullptr;
    const size_t rows = static_cast<size_t>(std::max(height, 1));
    if (stride > kMaxSurfaceBytes / rows)
        return nullptr;
    return static_cast<BYTE*>(std::calloc(rows, std::max<size_t>(stride, 4)));
}

}  // namespace

PixelFormat PixelFormat::Bgrx32()
{
    return PixelFormat{};
}

bool PixelFormat::SameLayout(const PixelFormat& other) const
{
    if (bitCount != other.bitCount)
        return false;
    if (bitCount <= 8)
        return colors.size() == other.colors.size() &&
               std::equal(colors.begin(), colors.end(), other.colors.begin(), [](const RGBQUAD& a, const RGBQUAD& b) {
                   return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
               });
    if (bitCount == 24)
        return true;
    return redMask == other.redMask && greenMask == other.greenMask && blueMask == other.blueMask;
}

bool Surface::StrideFor(int width, WORD bitCount, size_t& stride)
{
    if (width < 0 || bitCount == 0 || bitCount > 32)
        return false;
    stride = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
    return true;
}

std::shared_ptr<Surface> Surface::Create(int width, int height, bool bottomUp, PixelFormat format)
{
    size_t stride = 0;
    BYTE* bits = AllocateZeroed(width, height, format.bitCount, stride);
    if (bits == nullptr)
        return nullptr;
    std::shared_ptr<Surface> surface(new Surface);
    surface->width_ = width;
    surface->height_ = height;
    surface->stride_ = stride;
    surface->bottomUp_ = bottomUp;
    surface->owned_ = true;
    surface->bits_ = bits;
    surface->format_ = std::move(format);
    return surface;
}

std::shared_ptr<Surface> Surface::Wrap(BYTE* bits, int width, int height, bool bottomUp, PixelFormat format)
{
    size_t stride = 0;
    if (bits == nullptr || height < 0 || !StrideFor(width, format.bitCount, stride))
        return nullptr;
    std::shared_ptr<Surface> surface(new Surface);
    surface->width_ = width;
    surface->height_ = height;
    surface->stride_ = stride;
    surface->bottomUp_ = bottomUp;
    surface->bits_ = bits;
    surface->format_ = std::move(format);
    return surface;
}

Surface::~Surface()
{
    if (owned_)
        std::free(bits_);
}

bool Surface::Resize(int width, int height)
{
    if (!owned_)
        return false;
    if (width == width_ && height == height_)
        return true;
    size_t stride = 0;
    BYTE* bits = AllocateZeroed(width, height, format_.bitCount, stride);
    if (bits == nullptr)
        return false;
    const size_t keptBytes = std::min(stride, stride_);
    const int keptRows = std::min(height, height_);
    for (int y = 0; y < keptRows; ++y) {
        const int from = bottomUp_ ? height_ - 1 - y : y;
        const int to = bottomUp_ ? height - 1 - y : y;
        std::memcpy(bits + static_cast<size_t>(to) * stride, bits_ + static_cast<size_t>(from) * stride_, keptBytes);
    }
    std::free(bits_);
    bits_ = bits;
    width_ = width;
    height_ = height;
    stride_ = stride;
    return true;
}

}  // namespace kelvra::platform
