#include "ScenePainter.h"

#include "kelvra/KelvraSim.h"

#include <algorithm>
#include <cstring>

namespace kelvra::sim {

namespace {

std::uint32_t Mask(const FrameShape& shape) { return shape.bytesPerSample == 2 ? 0xFFFFu : 0xFFu; }

std::uint32_t PatternShift(const FrameShape& shape, std::uint32_t y) {
    return (y + shape.frameNumber * ScenePainter::kPatternStepPerFrame) % ScenePainter::kPatternPeriod;
}

std::uint16_t PatternValue(const FrameShape& shape, std::uint32_t position) {
    const std::uint32_t t = position % ScenePainter::kPatternPeriod;
    return static_cast<std::uint16_t>(shape.bytesPerSample == 2 ? t * 257u : t);
}

}  // namespace

std::uint16_t ScenePainter::Sample(const FrameShape& shape, std::uint32_t x, std::uint32_t y) {
    const auto level = static_cast<std::uint32_t>(shape.level);
    switch (shape.scene) {
        case KELVRA_SIM_SCENE_FLAT:
            return static_cast<std::uint16_t>(level & Mask(shape));
        case KELVRA_SIM_SCENE_RAMP_H:
            return static_cast<std::uint16_t>((x * level) & Mask(shape));
        case KELVRA_SIM_SCENE_RAMP_V:
            return static_cast<std::uint16_t>((y * level) & Mask(shape));
        default:
            return PatternValue(shape, x + PatternShift(shape, y));
    }
}

void ScenePainter::Fill(const FrameShape& shape, std::uint32_t y) {
    // The pattern's source row is row 0 of frame 0, long enough for every row's slice of it.
    const bool pattern = shape.scene == KELVRA_SIM_SCENE_PATTERN;
    const bool uniform = shape.scene == KELVRA_SIM_SCENE_FLAT || shape.scene == KELVRA_SIM_SCENE_RAMP_V;
    FrameShape base = shape;
    base.frameNumber = 0;
    const std::uint32_t row = pattern ? 0 : y;
    const std::uint32_t samples = shape.samplesPerRow + (pattern ? kPatternPeriod : 0);
    const std::size_t bytes = std::size_t{samples} * shape.bytesPerSample;
    source.resize(bytes);
    // A uniform row is one sample repeated: the vertical ramp refills its row for every line.
    const std::uint32_t computed = uniform ? std::min(samples, 1u) : samples;
    for (std::uint32_t x = 0; x < computed; ++x) {
        const std::uint16_t v = Sample(base, x, row);
        source[std::size_t{x} * shape.bytesPerSample] = static_cast<std::uint8_t>(v);
        if (shape.bytesPerSample == 2) source[std::size_t{x} * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    for (std::size_t done = std::size_t{computed} * shape.bytesPerSample; done < bytes; done *= 2)
        std::memcpy(source.data() + done, source.data(), std::min(done, bytes - done));
}

const std::uint8_t* ScenePainter::Row(const FrameShape& shape, std::uint32_t y) {
    CacheKey key{shape.scene, shape.level, shape.samplesPerRow, shape.bytesPerSample, 0};
    if (shape.scene == KELVRA_SIM_SCENE_RAMP_V) key.rowValue = Sample(shape, 0, y);
    if (!(key == cached)) {
        Fill(shape, y);
        cached = key;
    }
    if (shape.scene != KELVRA_SIM_SCENE_PATTERN) return source.data();
    return source.data() + std::size_t{PatternShift(shape, y)} * shape.bytesPerSample;
}

void ScenePainter::Paint(const FrameShape& shape, std::size_t offset, std::uint8_t* out, std::size_t count) {
    const std::size_t rowBytes = shape.RowBytes();
    while (count > 0) {
        const auto y = static_cast<std::uint32_t>(offset / rowBytes);
        const std::size_t inRow = offset % rowBytes;
        const std::size_t n = std::min(count, rowBytes - inRow);
        std::memcpy(out, Row(shape, y) + inRow, n);
        out += n;
        offset += n;
        count -= n;
    }
}

}  // namespace kelvra::sim
