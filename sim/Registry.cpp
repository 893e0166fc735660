#include "Registry.h"

#include "CameraProvider.h"

#include "kelvra/KelvraSim.h"

namespace kelvra::sim {

namespace {

const GUID kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

bool AddInterface(const std::shared_ptr<Camera>& camera) {
    return platform::AddDeviceInterface(kCameraInterfaceClass, camera->Path(),
                                        std::make_shared<CameraProvider>(camera));
}

}  // namespace

Registry& Registry::Instance() {
    static Registry registry;
    return registry;
}

Registry::~Registry() {
    // At process exit the platform's table may already be on its way out: only stop the threads.
    std::lock_guard lock(mutex);
    for (auto& [id, camera] : cameras) camera->Shutdown();
}

int Registry::Attach(std::uint16_t productId) {
    std::lock_guard lock(mutex);
    if (productId == 0 || cameras.size() >= kMaxCameras) return 0;
    const int id = nextId;
    auto camera = std::make_shared<Camera>(id, productId, static_cast<std::uint16_t>(KELVRA_SIM_VENDOR_ID));
    camera->Start();
    if (!AddInterface(camera)) {
        camera->Shutdown();
        return 0;
    }
    ++nextId;
    cameras.emplace(id, std::move(camera));
    return id;
}

bool Registry::Unplug(int id) {
    std::lock_guard lock(mutex);
    auto it = cameras.find(id);
    if (it == cameras.end()) return false;
    if (it->second->Unplug()) platform::RemoveDeviceInterface(it->second->Path());
    return true;
}

bool Registry::Replug(int id) {
    std::lock_guard lock(mutex);
    auto it = cameras.find(id);
    if (it == cameras.end()) return false;
    if (it->second->Plug() && !AddInterface(it->second)) {
        it->second->Unplug();
        return false;
    }
    return true;
}

void Registry::Reset() {
    std::lock_guard lock(mutex);
    for (auto& [id, camera] : cameras) {
        if (camera->Unplug()) platform::RemoveDeviceInterface(camera->Path());
        camera->Shutdown();
    }
    cameras.clear();
    nextId = 1;
}

std::shared_ptr<Camera> Registry::Find(int id) {
    std::lock_guard lock(mutex);
    auto it = cameras.find(id);
    return it == cameras.end() ? nullptr : it->second;
}

}  // namespace kelvra::sim
