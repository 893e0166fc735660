// The corrections from calibration data on 1280 x 1024 16-bit frames: the mask (shading) filter,
// the dot filter with 1000 hot pixels in the maps, and the defect list with 1000 entries, beside
// one cold copy of the same frame. Frames come from a ring larger than the caches, as they do from
// the camera; the defect list is also timed on a frame already in the cache, as the pipeline
// meets it right after the frame was read into the raw image.
#include "common/CriticalSection.h"
#include "imaging/DibImage.h"
#include "session/CKelvra.h"
#include "session/DefectList.h"
#include "session/FrameCorrections.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
constexpr size_t kFrameBytes = size_t{kWidth} * 2 * kHeight;
// More frames than any cache holds, so each frame is read from memory.
constexpr size_t kRingFrames = 24;
constexpr int kListed = 1000;

// A smooth 12-bit scene with a little noise, as a lit sensor gives: the dot filter marks only the
// pixels it is meant to.
void PaintScene(DibImage& frame, uint32_t seed) {
    std::mt19937 random(seed);
    for (int32_t y = 0; y < frame.height; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(frame.bits + static_cast<size_t>(y) * frame.stride);
        for (int32_t x = 0; x < frame.width; ++x) row[x] = static_cast<uint16_t>(1000 + x + y + random() % 64);
    }
}

struct Ring {
    std::vector<OwnedImage> frames;
    size_t next = 0;

    bool Make() {
        for (size_t i = 0; i < kRingFrames; ++i) {
            OwnedImage frame(new DibImage);
            InitImage(frame.get());
            if (!CreateImage(frame.get(), kWidth, kHeight, 16)) return false;
            PaintScene(*frame, static_cast<uint32_t>(i));
            frames.push_back(std::move(frame));
        }
        return true;
    }
    DibImage& Next() { return *frames[next++ % frames.size()]; }
};

// A session with its planes as initialisation makes them and a 16-bit raw image.
bool PrepareSession(CKelvra& session) {
    if (!session.images.MakeAll() || !session.images.CreateCalibrationPlanes(kWidth, kHeight)) return false;
    session.format.colourMode = 1;
    return CreateImage(session.images.raw16.get(), kWidth, kHeight, 16) != 0;
}

void BM_ColdFrameCopy16(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> sources(kRingFrames, std::vector<uint8_t>(kFrameBytes, 0x5A));
    std::vector<uint8_t> destination(kFrameBytes);
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(destination.data(), sources[next++ % kRingFrames].data(), kFrameBytes);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ColdFrameCopy16)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MaskFilter16(benchmark::State& state) {
    CKelvra session;
    Ring ring;
    if (!PrepareSession(session) || !ring.Make()) {
        state.SkipWithError("images could not be made");
        return;
    }
    for (auto _ : state) {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        ApplyMaskFilter(session, ring.Next());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MaskFilter16)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DotFilter16(benchmark::State& state) {
    CKelvra session;
    Ring ring;
    if (!PrepareSession(session) || !ring.Make()) {
        state.SkipWithError("images could not be made");
        return;
    }
    std::mt19937 random(5);
    DibImage& dark = *session.images.dark16;
    for (int i = 0; i < kListed; ++i) {
        const int32_t x = 2 + static_cast<int32_t>(random() % (kWidth - 4));
        const int32_t y = 2 + static_cast<int32_t>(random() % (kHeight - 4));
        reinterpret_cast<uint16_t*>(dark.bits + static_cast<size_t>(y) * dark.stride)[x] = 4000;
    }
    {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        RecomputeDefectMaps(session);
    }
    for (auto _ : state) {
        const CriticalSectionGuard hold(session.corrections.imageLock);
        ApplyDotFilter(session, ring.Next());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DotFilter16)->Unit(benchmark::kMillisecond)->UseRealTime();

DefectList RandomList() {
    DefectList list(kWidth, kHeight);
    std::mt19937 random(9);
    while (list.Entries().size() < kListed) {
        static_cast<void>(list.Add(static_cast<int32_t>(random() % kWidth), static_cast<int32_t>(random() % kHeight)));
    }
    list.Order();
    return list;
}

void BM_DefectList1000Cold(benchmark::State& state) {
    Ring ring;
    if (!ring.Make()) {
        state.SkipWithError("images could not be made");
        return;
    }
    DefectList list = RandomList();
    for (auto _ : state) {
        list.Correct(ring.Next(), DefectGeometry{});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DefectList1000Cold)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_DefectList1000Warm(benchmark::State& state) {
    Ring ring;
    if (!ring.Make()) {
        state.SkipWithError("images could not be made");
        return;
    }
    DefectList list = RandomList();
    DibImage& frame = ring.Next();
    for (auto _ : state) {
        list.Correct(frame, DefectGeometry{});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DefectList1000Warm)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
