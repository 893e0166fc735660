// A 1280 x 1024 frame mirrored row by row for each pixel size, beside a memcpy of the same
// frame: warm (one frame, cached as far as it fits) and cold (frames cycled through more
// memory than any cache holds).
#include <cstring>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "imaging/RowReversal.h"

namespace {

constexpr size_t kColdBytes = size_t{256} << 20;

struct Frames {
    Frames(uint32_t pixelBytes, bool cold)
        : rowBytes(size_t{kFrameWidth} * pixelBytes), frameBytes(rowBytes * kFrameHeight) {
        const size_t count = cold ? kColdBytes / (2 * frameBytes) + 1 : 1;
        sources.assign(count, std::vector<uint8_t>(frameBytes, 0x5A));
        destinations.assign(count, std::vector<uint8_t>(frameBytes, 0));
    }
    size_t rowBytes;
    size_t frameBytes;
    std::vector<std::vector<uint8_t>> sources;
    std::vector<std::vector<uint8_t>> destinations;
};

void Mirror(benchmark::State& state, uint32_t pixelBytes, bool cold) {
    Frames frames(pixelBytes, cold);
    size_t next = 0;
    for (auto _ : state) {
        const uint8_t* source = frames.sources[next].data();
        uint8_t* destination = frames.destinations[next].data();
        for (int32_t y = 0; y < kFrameHeight; ++y)
            MirrorPixelRow(destination + y * frames.rowBytes, source + y * frames.rowBytes, kFrameWidth, pixelBytes);
        benchmark::ClobberMemory();
        next = (next + 1) % frames.sources.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frames.frameBytes));
}

void Copy(benchmark::State& state, uint32_t pixelBytes, bool cold) {
    Frames frames(pixelBytes, cold);
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(frames.destinations[next].data(), frames.sources[next].data(), frames.frameBytes);
        benchmark::ClobberMemory();
        next = (next + 1) % frames.sources.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frames.frameBytes));
}

const bool registered = [] {
    for (bool cold : {false, true}) {
        for (uint32_t pixelBytes : {1u, 2u, 3u, 4u, 6u, 8u}) {
            const std::string suffix = std::to_string(pixelBytes) + "byte/" + (cold ? "cold" : "warm");
            benchmark::RegisterBenchmark(("Mirror/" + suffix).c_str(), Mirror, pixelBytes, cold)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("Memcpy/" + suffix).c_str(), Copy, pixelBytes, cold)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    return true;
}();

}  // namespace
