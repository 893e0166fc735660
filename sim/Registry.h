// The simulated cameras of the process, by id, and their device interfaces in the platform's
// table. Ids count from 1 again after a reset, so a test that resets finds the same paths.
#pragma once

#include "Camera.h"

#include <map>
#include <memory>
#include <mutex>

namespace kelvra::sim {

class Registry {
public:
    static constexpr std::size_t kMaxCameras = 64;

    static Registry& Instance();
    ~Registry();

    int Attach(std::uint16_t productId);
    bool Unplug(int id);
    bool Replug(int id);
    void Reset();
    std::shared_ptr<Camera> Find(int id);

private:
    Registry() = default;

    std::mutex mutex;
    std::map<int, std::shared_ptr<Camera>> cameras;
    int nextId = 1;
};

}  // namespace kelvra::sim
