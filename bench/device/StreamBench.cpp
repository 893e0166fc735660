// What one 1280 x 1024 x 2-byte frame costs end to end (simulated camera at frame rate 0,
// acquisition thread, ring, copy to the caller) next to one cold copy of the same frame: the
// transfer reads into a ring slot and the caller's copy is the frame's one copy, so the ratio
// of the two times is the cost of a frame in cold copies. Also: a stream started and stopped
// over and over, which waits on no fixed sleep.
#include "device/CKelvraUSB3G5SimpleSdk.h"
#include "kelvra/KelvraSimModel.h"
#include "usb/CKelvCy3Cam.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 2;
// More frames than any cache holds, so every copy reads and writes memory.
constexpr size_t kColdBuffers = 24;
constexpr int32_t kFrameReady = 3;

void BM_ColdFrameCopy(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> sources(kColdBuffers, std::vector<uint8_t>(kFrameBytes, 0x5A));
    std::vector<std::vector<uint8_t>> destinations(kColdBuffers, std::vector<uint8_t>(kFrameBytes, 0));
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(destinations[next].data(), sources[next].data(), kFrameBytes);
        benchmark::DoNotOptimize(destinations[next].data());
        benchmark::ClobberMemory();
        next = (next + 1) % kColdBuffers;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ColdFrameCopy)->UseRealTime();

int DeviceNumberOf(CKelvraU3G5Base& device, int camera) {
    device.CountDevices(0);
    const auto path = kelvra::sim::DevicePath(camera);
    for (int row = 0; path && row < CKelvraU3G5Base::kMaxDevices; ++row) {
        const UsbDeviceEntry entry = device.Controller()->DeviceEntry(row);
        if (std::strcmp(entry.devicePath, path->c_str()) == 0) return entry.deviceNumber;
    }
    return -1;
}

// A simulated 880HQLN opened at the benchmark's frame size; null (with the benchmark skipped)
// when it does not open.
std::unique_ptr<CKelvraUSB3G5SimpleSdk> OpenSimulatedCamera(benchmark::State& state, int frameRate, int* attached) {
    KelvraSim_Reset();
    const int camera = KelvraSim_Attach(0x3180);
    *attached = camera;
    KelvraSim_SetFrameRate(camera, frameRate);
    auto device = std::make_unique<CKelvraUSB3G5SimpleSdk>();
    const bool created = device->CreateController(nullptr, nullptr) != 0;
    device->SetProductId(0x3180);
    const int number = created ? DeviceNumberOf(*device, camera) : -1;
    if (!created || number < 0 || !device->OpenDevice(static_cast<uint32_t>(number)) ||
        !device->SetVideoFormat(0, 0, kWidth, kHeight, 0) || !device->SetDataWidth(1) ||
        device->FrameBytes() != kFrameBytes) {
        state.SkipWithError("the simulated camera did not open");
        return nullptr;
    }
    return device;
}

// range(0): the camera's frame rate, 0 for a frame whenever one is asked for. At 0 the camera
// and the acquisition thread run ahead of the reader and frames go unread; at a fixed rate
// every frame is read, and the process's CPU time per frame is what a frame costs.
void BM_StreamFrames(benchmark::State& state) {
    int camera = 0;
    auto device = OpenSimulatedCamera(state, static_cast<int>(state.range(0)), &camera);
    if (!device) return;
    if (!device->StartStreaming(0)) {
        state.SkipWithError("the simulated camera did not stream");
        return;
    }
    const long sentBefore = KelvraSim_FramesSent(camera);
    std::vector<uint8_t> frame(kFrameBytes);
    for (auto _ : state) {
        if (device->WaitFrame(5000) != kFrameReady) {
            state.SkipWithError("no frame");
            break;
        }
        if (!device->CopyNextFrame(frame.data(), kFrameBytes, 1)) {
            state.SkipWithError("frame not copied");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    device->StopStreaming();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["camera_frames_per_s"] =
        benchmark::Counter(static_cast<double>(KelvraSim_FramesSent(camera) - sentBefore), benchmark::Counter::kIsRate);
    device.reset();
    KelvraSim_Reset();
}
BENCHMARK(BM_StreamFrames)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamFrames)->Arg(200)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// One iteration is 1000 starts and stops in a row, each stop aborting the read the thread has
// in flight (a camera at 1 frame/s: without the abort each stop would wait for a frame).
void BM_StartStop1000(benchmark::State& state) {
    int camera = 0;
    auto device = OpenSimulatedCamera(state, 1, &camera);
    if (!device) return;
    for (auto _ : state) {
        for (int cycle = 0; cycle < 1000; ++cycle) {
            if (!device->StartStreaming(0)) {
                state.SkipWithError("the stream did not start");
                break;
            }
            device->StopStreaming();
        }
    }
    device.reset();
    KelvraSim_Reset();
}
BENCHMARK(BM_StartStop1000)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
