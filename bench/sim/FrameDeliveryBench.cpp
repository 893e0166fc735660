// What one 1280 x 1024 x 2-byte frame costs the simulated camera, read the way the SDK reads it
// (request, 64-byte header, 512 KiB pieces through DeviceIoControl), next to one plain memcpy of
// the frame: the camera must never be what limits the frame rate the SDK reaches.
#include "SimClient.h"

#include "kelvra/KelvraSimModel.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kFrameBytes = 1280 * 1024 * 2;
constexpr std::size_t kPiece = 512 * 1024;

void BM_MemcpyFrame(benchmark::State& state) {
    std::vector<std::uint8_t> source(kFrameBytes, 0x5A);
    std::vector<std::uint8_t> destination(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), kFrameBytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_MemcpyFrame);

void BM_DeliverFrame(benchmark::State& state) {
    KelvraSim_Reset();
    const int camera = KelvraSim_Attach(0x3180);
    KelvraSim_SetFrameRate(camera, 0);
    KelvraSim_SetScene(camera, static_cast<int>(state.range(0)), 3);
    simtest::Device device(*kelvra::sim::DevicePath(camera));
    std::vector<std::uint8_t> header(64);
    std::vector<std::uint8_t> payload(kFrameBytes);
    for (auto _ : state) {
        if (!device.RequestFrame()) {
            state.SkipWithError("RequestFrame failed");
            break;
        }
        {
            simtest::BulkRead read(device.Handle(), 0x81, header.data(), 64);
            if (!read.Wait(5000) || !read.Succeeded()) {
                state.SkipWithError("header read failed");
                break;
            }
        }
        for (std::size_t offset = 0; offset < kFrameBytes; offset += kPiece) {
            simtest::BulkRead read(device.Handle(), 0x81, payload.data() + offset, kPiece);
            if (!read.Wait(5000) || !read.Succeeded()) {
                state.SkipWithError("payload read failed");
                break;
            }
        }
        benchmark::DoNotOptimize(payload.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameBytes));
    KelvraSim_Reset();
}
BENCHMARK(BM_DeliverFrame)
    ->Arg(KELVRA_SIM_SCENE_FLAT)
    ->Arg(KELVRA_SIM_SCENE_RAMP_H)
    ->Arg(KELVRA_SIM_SCENE_RAMP_V)
    ->Arg(KELVRA_SIM_SCENE_PATTERN)
    ->UseRealTime();

}  // namespace
