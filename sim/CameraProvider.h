// The platform's device provider for one simulated camera's path: CreateFileA on the path
// opens a driver connection while the camera is plugged in.
#pragma once

#include "kelvra/DeviceProvider.h"

#include <memory>

namespace kelvra::sim {

class Camera;

class CameraProvider final : public platform::DeviceProvider {
public:
    explicit CameraProvider(std::shared_ptr<Camera> camera) : camera(std::move(camera)) {}
    std::shared_ptr<platform::DeviceConnection> Open(const std::string& path, DWORD& error) override;

private:
    std::shared_ptr<Camera> camera;
};

}  // namespace kelvra::sim
