// What every driver of the family shares: the table of constructor values, one row per model,
// and the code paths of the common operations. A setter clamps to its range, hands the value to
// the driver's Program... step (the register or head traffic of that chip or model) and keeps
// it only when that step succeeded; drivers override the steps, not the setters.
#pragma once

#include "sensors/SensorCommon.h"

enum class SensorModel {
    MT9F001,
    MT9F002,
    MT9P001,
    MT9J001,
    ICX274,
    P3090,
    P30B0,
    P30C0,
    IMX178,
    IMX174,
    IMX183,
    IMX159,
    P3130,
    P3140,
    P3150,
    P3170,
    P3190,
    P31A0,
    IMX250,
    IMX264,
    IMX252,
    IMX265,
    P31D0,
    P31E0,
    IMX226,
    P3200,
    P3210,
    G1467x,
    IMX990,
    IMX991,
    LI7050,
    GLUX9701,
    P32D0,
    IMX536,
    IMX487,
    IMX273,
};

// Operations a model offers beyond the common set; the table's features column.
enum FamilyFeature : uint32_t {
    kFeatureMirrorH = 1u << 0,  // the sensor's horizontal mirror (the device's vertical one)
    kFeatureMirrorV = 1u << 1,
    kFeatureMirrors = kFeatureMirrorH | kFeatureMirrorV,
    kFeatureTrigger = 1u << 2,
    kFeatureBitDepth = 1u << 3,
    kFeatureFrameRate = 1u << 4,
    kFeatureVerifiedAccess = 1u << 5,
    kFeatureColourGains = 1u << 6,
    kFeatureCooler = 1u << 7,
    kFeatureTemperature = 1u << 8,
    kFeatureExposureSeconds = 1u << 9,
    kFeatureLevel = 1u << 10,
};

struct FamilyDefaults {
    int32_t sensorWidth, sensorHeight;
    int32_t frameWidth, frameHeight;  // the window starts as the whole frame
    int32_t gainMin, gainMax, gain;
    int32_t exposureMin, exposureMax, exposure;
    int32_t pixelClockKHz;
    int32_t variant;
    bool chip;          // chip drivers bin 1:1; model drivers leave binning at 0
    uint32_t features;  // FamilyFeature bits
};

const FamilyDefaults& FamilyDefaultsOf(SensorModel model);

class CSensorFamilyMember : public CSensorCommon {
public:
    // Ready as soon as there is a camera to talk to; drivers with a start-up condition override.
    int32_t IsCameraReady() override;
    // StartUp, then the defaults: gain, exposure, vertical and horizontal mirror, full window.
    [[nodiscard]] int32_t Initialize() override;
    [[nodiscard]] int32_t SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    [[nodiscard]] int32_t SetExposure(int32_t value) override;
    [[nodiscard]] int32_t SetGain(int32_t value) override;
    // Public units of 100 us, turned into the chip's exposure units through the line time.
    [[nodiscard]] int32_t SetExposureTime(int32_t time) override;
    [[nodiscard]] int32_t SetMirrorH(int32_t on) override;
    [[nodiscard]] int32_t SetMirrorV(int32_t on) override;
    [[nodiscard]] int32_t SetTriggerMode(int32_t mode) override;
    [[nodiscard]] int32_t SetBitDepth(int32_t wide) override;
    [[nodiscard]] int32_t SetFrameRate(int32_t on, int32_t rate) override;

    uint32_t Features() const { return features; }

protected:
    CSensorFamilyMember(CControllerBase* controller, uint8_t serialAddress, const FamilyDefaults& values);

    enum class Axis { kHorizontal, kVertical };

    // The hardware steps behind the setters; each returns 0 when the camera did not take it.
    // The defaults touch no hardware, for models whose setting lives elsewhere (the board FPGA,
    // the device core) or does not exist.
    virtual int32_t StartUp() { return 1; }
    virtual int32_t ProgramWindow(int32_t /*x*/, int32_t /*width*/, int32_t /*y*/, int32_t /*height*/,
                                  int32_t /*mode*/) {
        return 1;
    }
    virtual int32_t ProgramExposure(int32_t /*value*/) { return 1; }
    virtual int32_t ProgramGain(int32_t /*value*/) { return 1; }
    virtual int32_t ProgramMirror(Axis /*axis*/, int32_t /*on*/) { return 1; }
    virtual int32_t ProgramTrigger(int32_t /*mode*/) { return 1; }
    virtual int32_t ProgramBitDepth(int32_t /*bits*/) { return 1; }
    virtual int32_t ProgramFrameRate(int32_t /*on*/, int32_t /*rate*/) { return 1; }
    // Whether a subsample code of SetWindow is one this model reads out.
    virtual bool AcceptsSubsampleMode(int32_t mode) const { return mode == 0; }
    // Bits per pixel of SetBitDepth(wide != 0) and SetBitDepth(0).
    virtual int32_t WideBits() const { return 12; }
    virtual int32_t NarrowBits() const { return 8; }

    // One line of the chip's timing in microseconds, from lineTotal and the clock; 0 when the
    // driver sets no timing.
    double LineMicroseconds() const;
    // The exposure-time range in public units, from the exposure range and the line time.
    void DeriveExposureTimeRange();
    bool Has(uint32_t feature) const { return (features & feature) != 0; }

private:
    uint32_t features;
};

// A model whose driver is its row of constructor values on top of the common paths.
template <SensorModel Model>
class CSensorModel final : public CSensorFamilyMember {
public:
    CSensorModel(CControllerBase* controller, uint8_t serialAddress)
        : CSensorFamilyMember(controller, serialAddress, FamilyDefaultsOf(Model)) {}
};
