// How many whole frames a second the controller's stream reads carry from a simulated camera that
// sends as fast as it is asked: the transport's own ceiling, before any pipeline work.
#include "kelvra/KelvraSim.h"
#include "kelvra/KelvraSimModel.h"
#include "usb/CKelvCy3Cam.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void BM_HeaderAndPayload(benchmark::State& state) {
    KelvraSim_Reset();
    const int camera = KelvraSim_Attach(0x3180);
    KelvraSim_SetFrameRate(camera, 0);
    CKelvCy3Cam controller;
    controller.EnumerateDevices();
    const std::string path = kelvra::sim::DevicePath(camera).value_or("");
    int row = 0;
    while (row < controller.EntryCount() && path != controller.DeviceEntry(row).devicePath) ++row;
    if (!controller.SelectDevice(row) || !controller.AllocateTransferBuffer() || !controller.OpenStream()) {
        state.SkipWithError("the simulated camera did not open");
        return;
    }
    std::vector<uint8_t> destination(1280 * 1024 * 2);
    FrameRequest frame{};
    frame.destination = destination.data();
    frame.capacity = uint32_t(destination.size());
    for (auto _ : state) {
        if (!controller.ReadFrameHeader(&frame, 100) || !controller.ReadFramePayload(&frame, 5000)) {
            state.SkipWithError("a frame read failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * kelvra::usb::HeaderWord(frame, 16));
    controller.CloseStream();
    KelvraSim_Reset();
}
BENCHMARK(BM_HeaderAndPayload)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
