// Exported functions of the camera controls, its registers, I/O port and SROM.
#include "api/CallFrame.h"
#include "kelvra/KelvraSdk.h"
#include "session/CKelvra.h"

namespace {

constexpr uint32_t kShortAddress = 0xFF;
constexpr uint32_t kShortValue = 0xFFFF;

}  // namespace

extern "C" {

KELVRA_API int32_t Kelvra_SetExposureTimeEx(int32_t handle, double ms) {
    return CallSession(handle, 0, [ms](CKelvra& session) { return session.SetExposureTimeEx(ms); });
}

KELVRA_API double Kelvra_GetExposureTimeEx(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0.0, [ok](CKelvra& session) { return session.GetExposureTimeEx(ok); });
}

KELVRA_API int32_t Kelvra_SetRealExposureTime(int32_t handle, int32_t value) {
    return CallSession(handle, 0, [value](CKelvra& session) { return session.SetRealExposureTime(value); });
}

KELVRA_API int32_t Kelvra_GetRealExposureTime(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0, [ok](CKelvra& session) { return session.GetRealExposureTime(ok); });
}

KELVRA_API double Kelvra_GetTemperatureEx(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0.0, [ok](CKelvra& session) { return session.GetTemperatureEx(ok); });
}

KELVRA_API int32_t Kelvra_SetMirrorH(int32_t handle, int32_t flag) {
    return CallSession(handle, 0, [flag](CKelvra& session) { return session.SetMirror(true, flag); });
}

KELVRA_API int32_t Kelvra_SetMirrorV(int32_t handle, int32_t flag) {
    return CallSession(handle, 0, [flag](CKelvra& session) { return session.SetMirror(false, flag); });
}

KELVRA_API int32_t Kelvra_GetMirrorH(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.GetMirror(true); });
}

KELVRA_API int32_t Kelvra_GetMirrorV(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.GetMirror(false); });
}

KELVRA_API int32_t Kelvra_SetAutoIris(int32_t handle, int32_t mode) {
    return CallSession(handle, 0, [mode](CKelvra& session) { return session.SetAutoIris(mode); });
}

KELVRA_API int32_t Kelvra_GetAutoIris(int32_t handle, int32_t* ok) {
    return CallSession(handle, 0, [ok](CKelvra& session) { return session.GetAutoIris(ok); });
}

KELVRA_API int32_t Kelvra_SetConfigFilter(int32_t handle, int32_t flag) {
    return CallSession(handle, 0, [flag](CKelvra& session) { return session.SetConfigFilter(flag); });
}

KELVRA_API int32_t Kelvra_GetConfigFilter(int32_t handle) {
    return CallSession(handle, 0, [](CKelvra& session) { return session.GetConfigFilter(); });
}

KELVRA_API INT_PTR Kelvra_ReadRegister(int32_t handle, int32_t address, int32_t* ok) {
    const uint32_t at = static_cast<uint32_t>(address) & kShortAddress;
    return CallSession(handle, INT_PTR{0}, [=](CKelvra& session) { return session.ReadRegister(at, ok); });
}

KELVRA_API INT_PTR Kelvra_ReadRegisterEx(int32_t handle, int32_t address, int32_t* ok) {
    const uint32_t at = static_cast<uint32_t>(address);
    return CallSession(handle, INT_PTR{0}, [=](CKelvra& session) { return session.ReadRegister(at, ok); });
}

KELVRA_API int32_t Kelvra_WriteRegister(int32_t handle, int32_t address, int32_t value) {
    const uint32_t at = static_cast<uint32_t>(address) & kShortAddress;
    const uint32_t word = static_cast<uint32_t>(value) & kShortValue;
    return CallSession(handle, 0, [=](CKelvra& session) { return session.WriteRegister(at, word); });
}

KELVRA_API int32_t Kelvra_WriteRegisterEx(int32_t handle, int32_t address, int32_t value) {
    return CallSession(handle, 0, [=](CKelvra& session) {
        return session.WriteRegister(static_cast<uint32_t>(address), static_cast<uint32_t>(value));
    });
}

KELVRA_API int32_t Kelvra_Fpga_ReadRegister(int32_t handle, int32_t address, int32_t* ok) {
    return CallSession(handle, 0,
                       [=](CKelvra& session) { return session.ReadFpgaRegister(static_cast<uint32_t>(address), ok); });
}

KELVRA_API int32_t Kelvra_Fpga_WriteRegister(int32_t handle, int32_t address, int32_t value) {
    return CallSession(handle, 0, [=](CKelvra& session) {
        return session.WriteFpgaRegister(static_cast<uint32_t>(address), static_cast<uint32_t>(value));
    });
}

KELVRA_API int32_t Kelvra_GetIOPort(int32_t handle, BYTE* value) {
    return CallSession(handle, 0, [value](CKelvra& session) { return session.GetIoPort(value); });
}

KELVRA_API int32_t Kelvra_SetIOPort(int32_t handle, int32_t value) {
    return CallSession(handle, 0, [value](CKelvra& session) { return session.SetIoPort(value); });
}

KELVRA_API int32_t Kelvra_ReadSromID(int32_t handle, int32_t address, int32_t* ok) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.ReadSromId(address, ok); });
}

KELVRA_API int32_t Kelvra_WriteSromID(int32_t handle, int32_t address, int32_t value) {
    return CallSession(handle, 0, [=](CKelvra& session) { return session.WriteSromId(address, value); });
}

}  // extern "C"
