// The C control API of the simulated cameras.
#include "kelvra/KelvraSim.h"

#include "Registry.h"

using kelvra::sim::CameraModel;
using kelvra::sim::Registry;

namespace {

constexpr int kMaxFrameRate = 1000;

// Runs f on the camera's model; 0 for an unknown camera.
template <class F>
int OnModel(int camera, F&& f) {
    auto found = Registry::Instance().Find(camera);
    return found ? found->WithModel(std::forward<F>(f)) : 0;
}

}  // namespace

extern "C" {

int KelvraSim_Attach(unsigned short productId) { return Registry::Instance().Attach(productId); }

int KelvraSim_Unplug(int camera) { return Registry::Instance().Unplug(camera) ? 1 : 0; }

int KelvraSim_Replug(int camera) { return Registry::Instance().Replug(camera) ? 1 : 0; }

void KelvraSim_Reset(void) { Registry::Instance().Reset(); }

int KelvraSim_SetScene(int camera, int scene, int level) {
    if (scene < KELVRA_SIM_SCENE_FLAT || scene > KELVRA_SIM_SCENE_PATTERN) return 0;
    return OnModel(camera, [&](CameraModel& model) {
        model.SetScene(scene, level);
        return 1;
    });
}

int KelvraSim_SetFrameRate(int camera, int framesPerSecond) {
    if (framesPerSecond < 0 || framesPerSecond > kMaxFrameRate) return 0;
    return OnModel(camera, [&](CameraModel& model) {
        model.SetFrameRate(framesPerSecond, kelvra::sim::FrameClock::Clock::now());
        return 1;
    });
}

int KelvraSim_Trigger(int camera) {
    return OnModel(camera, [](CameraModel& model) {
        model.Trigger();
        return 1;
    });
}

int KelvraSim_InjectFault(int camera, int fault, int count) {
    if (count < 0) return 0;
    return OnModel(camera, [&](CameraModel& model) { return model.InjectFault(fault, count) ? 1 : 0; });
}

long KelvraSim_FramesSent(int camera) {
    auto found = Registry::Instance().Find(camera);
    return found ? found->WithModel([](CameraModel& model) { return model.FramesSent(); }) : -1;
}

}  // extern "C"
