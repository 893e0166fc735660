// One open handle on a simulated camera's device path: the FX3 driver's I/O-control interface.
// It checks each request's buffers against the driver's layouts and hands the request to the
// camera.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <cstdint>
#include <memory>

namespace kelvra::sim {

class Camera;

class DriverConnection final : public platform::DeviceConnection {
public:
    static constexpr DWORD kControlTransfer = 0x220020;
    static constexpr DWORD kBufferedTransfer = 0x220024;
    static constexpr DWORD kResetPipe = 0x22002C;
    static constexpr DWORD kResetPort = 0x220030;
    static constexpr DWORD kAbortPipe = 0x220044;
    static constexpr DWORD kDirectTransfer = 0x22004B;
    static constexpr DWORD kBusSpeed = 0x22004C;

    DriverConnection(std::shared_ptr<Camera> camera, std::uint64_t id, std::uint64_t generation)
        : camera(std::move(camera)), id(id), generation(generation) {}

    void IoControl(std::shared_ptr<platform::IoRequest> request) override;
    void CancelAll() override;

private:
    void ControlTransfer(platform::IoRequest& request);
    void BulkIn(const std::shared_ptr<platform::IoRequest>& request, bool buffered);
    void EndpointRequest(platform::IoRequest& request);
    void BusSpeed(platform::IoRequest& request);

    std::shared_ptr<Camera> camera;
    std::uint64_t id;
    std::uint64_t generation;
};

}  // namespace kelvra::sim
