// Compiled into every Windows program that links the simulator: the executable's export through
// which the SDK's device calls reach the simulated cameras (see kelvra/DeviceRoute.h).
#include "kelvra/DeviceRoute.h"

extern "C" __declspec(dllimport) const KelvraDeviceRoute* KelvraSim_DeviceRoute(void);

extern "C" __declspec(dllexport) const KelvraDeviceRoute* KelvraTestDeviceRoute(void) {
    return KelvraSim_DeviceRoute();
}
