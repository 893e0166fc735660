// Frames of the camera's size for the imaging benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "imaging/DibImage.h"

constexpr int32_t kFrameWidth = 1280;
constexpr int32_t kFrameHeight = 1024;

// A DibImage destroyed with its scope.
class BenchImage {
public:
    explicit BenchImage(uint16_t bitsPerPixel, int32_t width = kFrameWidth, int32_t height = kFrameHeight) {
        InitImage(&image);
        CreateImage(&image, width, height, bitsPerPixel);
    }
    ~BenchImage() { DestroyImage(&image); }
    BenchImage(const BenchImage&) = delete;
    BenchImage& operator=(const BenchImage&) = delete;

    DibImage* get() { return &image; }
    DibImage* operator->() { return &image; }
    bool ok() const { return image.bits != nullptr; }

    // Random samples; 16-bit samples limited to maxSample.
    void FillRandom(uint32_t seed, uint32_t maxSample = 0xFFFF) {
        std::mt19937 rng(seed);
        const size_t bytes = static_cast<size_t>(image.stride) * image.height;
        const bool wide = image.bitsPerPixel == 16 || image.bitsPerPixel >= 48;
        if (!wide) {
            for (size_t i = 0; i < bytes; ++i) image.bits[i] = static_cast<BYTE>(rng());
            return;
        }
        std::uniform_int_distribution<uint32_t> sample(0, maxSample);
        for (size_t i = 0; i + 1 < bytes; i += 2) {
            const uint32_t v = sample(rng);
            image.bits[i] = static_cast<BYTE>(v);
            image.bits[i + 1] = static_cast<BYTE>(v >> 8);
        }
    }

private:
    DibImage image;
};

// Frame time is reported in milliseconds, with megapixels per second alongside.
inline void ReportFrames(benchmark::State& state, int64_t pixelsPerIteration = int64_t{kFrameWidth} * kFrameHeight) {
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(pixelsPerIteration) * state.iterations() / 1e6,
                                                benchmark::Counter::kIsRate);
}
