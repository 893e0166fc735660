// What one 1280 x 1024 x 2-byte frame costs end to end (simulated camera at frame rate 0,
// acquisition thread, ring, copy to the caller) next to one cold copy of the same frame. The
// device core copies each frame twice; the budget is five cold copies per frame.
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

void BM_StreamFrames(benchmark::State& state) {
    KelvraSim_Reset();
    const int camera = KelvraSim_Attach(0x3180);
    KelvraSim_SetFrameRate(camera, 0);
    auto device = std::make_unique<CKelvraUSB3G5SimpleSdk>();
    const bool created = device->CreateController(nullptr, nullptr) != 0;
    device->SetProductId(0x3180);
    const int number = created ? DeviceNumberOf(*device, camera) : -1;
    if (!created || number < 0 || !device->OpenDevice(static_cast<uint32_t>(number)) ||
        !device->SetVideoFormat(0, 0, kWidth, kHeight, 0) || !device->SetDataWidth(1) ||
        device->FrameBytes() != kFrameBytes || !device->StartStreaming(0)) {
        state.SkipWithError("the simulated camera did not open and stream");
        return;
    }
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
    device.reset();
    KelvraSim_Reset();
}
BENCHMARK(BM_StreamFrames)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
