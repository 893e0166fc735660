#include "CameraProvider.h"

#include "Camera.h"

namespace kelvra::sim {

std::shared_ptr<platform::DeviceConnection> CameraProvider::Open(const std::string&, DWORD& error) {
    return camera->Open(error);
}

}  // namespace kelvra::sim
