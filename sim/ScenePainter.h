// Renders any byte range of a frame straight into the reader's buffer. Every row of a scene is
// a slice of one cached source row (the moving pattern slides its slice per row and frame), so
// a frame costs one memory copy whatever piece sizes the host reads it in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvra::sim {

struct FrameShape {
    std::uint32_t samplesPerRow = 0;
    std::uint32_t rows = 0;
    std::uint32_t bytesPerSample = 2;  // 1 or 2; two-byte samples are little-endian
    int scene = 3;
    int level = 0;
    std::uint32_t frameNumber = 0;

    std::size_t RowBytes() const { return std::size_t{samplesPerRow} * bytesPerSample; }
    std::size_t Bytes() const { return RowBytes() * rows; }
};

class ScenePainter {
public:
    static constexpr std::uint32_t kPatternPeriod = 256;
    static constexpr std::uint32_t kPatternStepPerFrame = 4;

    // The sample the scene has at (x, y); the reference the cached rows are built from.
    static std::uint16_t Sample(const FrameShape& shape, std::uint32_t x, std::uint32_t y);

    // Writes bytes [offset, offset + count) of the frame to out; the range lies within the frame.
    void Paint(const FrameShape& shape, std::size_t offset, std::uint8_t* out, std::size_t count);

private:
    const std::uint8_t* Row(const FrameShape& shape, std::uint32_t y);
    void Fill(const FrameShape& shape, std::uint32_t y);

    struct CacheKey {
        int scene = -1;
        int level = 0;
        std::uint32_t samplesPerRow = 0;
        std::uint32_t bytesPerSample = 0;
        std::uint16_t rowValue = 0;  // the value of a vertical-ramp row
        bool operator==(const CacheKey&) const = default;
    };
    CacheKey cached;
    std::vector<std::uint8_t> source;
};

}  // namespace kelvra::sim
