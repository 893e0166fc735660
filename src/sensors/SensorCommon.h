// The getters that every concrete driver shares: they read the parameter block and never touch
// the hardware. Concrete drivers derive from this class rather than from CSensorBase directly.
#pragma once

#include "sensors/SensorBase.h"

class CSensorCommon : public CSensorBase {
public:
    using CSensorBase::CSensorBase;

    [[nodiscard]] int32_t GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode) override;
    [[nodiscard]] int32_t GetTriggerMode(int32_t* mode) override;
    [[nodiscard]] int32_t GetExposure(int32_t* value) override;
    [[nodiscard]] int32_t GetGain(int32_t* value) override;
    [[nodiscard]] int32_t GetExposureMin(int32_t* value) override;
    [[nodiscard]] int32_t GetExposureMax(int32_t* value) override;
    [[nodiscard]] int32_t GetExposureDefault(int32_t* value) override;
    [[nodiscard]] int32_t GetGainMin(int32_t* value) override;
    [[nodiscard]] int32_t GetGainMax(int32_t* value) override;
    [[nodiscard]] int32_t GetGainDefault(int32_t* value) override;
    [[nodiscard]] int32_t GetRedGainMin(int32_t* value) override;
    [[nodiscard]] int32_t GetRedGainMax(int32_t* value) override;
    [[nodiscard]] int32_t GetRedGainDefault(int32_t* value) override;
    [[nodiscard]] int32_t GetExposureTime(int32_t* time) override;
    [[nodiscard]] int32_t GetExposureTimeMin(int32_t* time) override;
    [[nodiscard]] int32_t GetExposureTimeMax(int32_t* time) override;
    [[nodiscard]] int32_t GetExposureTimeDefault(int32_t* time) override;
    [[nodiscard]] int32_t GetMirrorH(int32_t* on) override;
    [[nodiscard]] int32_t GetMirrorV(int32_t* on) override;

protected:
    // The window the hardware now reads, as GetWindow reports it.
    void StoreWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode);
};
