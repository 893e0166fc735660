// Drivers of the family's camera heads that carry their own controller and FPGA (the models
// named after their product id), and of the CCD camera, whose timing generator sits in such a
// head too. One implementation serves them all; a model is a descriptor of numbers and features.
//
// The heads publish no register map, so the one below is this driver family's own, the same on
// every model (the simulator's heads answer it). Registers have 16-bit addresses and hold one
// byte each; the family's plain register access (WriteRegister/ReadRegister) reaches any one of
// them. A value wider than a byte lies in consecutive registers, low byte first, and is written
// in one bus transaction, so that the head never takes half of a new value.
//
//   0x0000       run state: 1 runs the head, 3 puts it in standby (written at open and close)
//   0x0001       status, read only: bit 0 set once the head is ready
//   0x0010-0x18  readout window: x, y, width, height (two bytes each), then the subsample mode
//   0x0020-0x23  exposure in the model's own unit (descriptor: exposureUnitSeconds)
//   0x0024-0x25  gain
//   0x0026       mirrors: bit 0 horizontal, bit 1 vertical
//   0x0027       trigger mode
//   0x0028       bits per pixel delivered
//   0x0029-0x2B  frame rate: on/off, then frames per second (two bytes)
//   0x002C-0x2D  level
//   0x0030-0x3B  channels 1-3, four registers each: gain (two bytes), then offset (two bytes)
//   0x0040       cooler state
//   0x0044-0x45  head temperature, signed, in 1/16 degrees Celsius
//   0x0048-0x49  auxiliary sensor value; 0x004A := 1 starts a new measurement of it
//   0x004C       sensor mode
//   0x004D       gain step
//   0x004E       mode switch
//   0x0050/0x53  thermistor value, low and high byte (G1467x cooler)
//   0x0052       thermistor strobe: 1 loads the value as the target, 2 fetches the selected one
//   0x0054       thermistor selection: 0 the target to load, 1 the measured value, 2 the target
//
// Board FPGA registers (controller, I2C 0x40) some models use besides: 0x80 the FPGA flag,
// 0x90 the analog mode of the 0x31E0 head.
#pragma once

#include "sensors/SensorCommon.h"

#include <array>
#include <cstdint>

namespace head {
inline constexpr uint16_t kRunState = 0x0000;
inline constexpr uint16_t kStatus = 0x0001;
inline constexpr uint16_t kWindow = 0x0010;
inline constexpr uint16_t kExposure = 0x0020;
inline constexpr uint16_t kGain = 0x0024;
inline constexpr uint16_t kMirror = 0x0026;
inline constexpr uint16_t kTriggerMode = 0x0027;
inline constexpr uint16_t kBitsPerPixel = 0x0028;
inline constexpr uint16_t kFrameRate = 0x0029;
inline constexpr uint16_t kLevel = 0x002C;
inline constexpr uint16_t kChannels = 0x0030;
inline constexpr uint16_t kCooler = 0x0040;
inline constexpr uint16_t kTemperature = 0x0044;
inline constexpr uint16_t kAuxValue = 0x0048;
inline constexpr uint16_t kAuxStart = 0x004A;
inline constexpr uint16_t kSensorMode = 0x004C;
inline constexpr uint16_t kGainStep = 0x004D;
inline constexpr uint16_t kModeSwitch = 0x004E;
inline constexpr uint16_t kThermistorLow = 80;
inline constexpr uint16_t kThermistorStrobe = 82;
inline constexpr uint16_t kThermistorHigh = 83;
inline constexpr uint16_t kThermistorSelect = 84;

inline constexpr uint8_t kRun = 1;
inline constexpr uint8_t kStandby = 3;
inline constexpr uint8_t kReadyBit = 0x01;
inline constexpr int kTemperatureSteps = 16;  // per degree
}  // namespace head

namespace boardfpga {
inline constexpr uint8_t kFpgaFlag = 0x80;
inline constexpr uint8_t kAnalogMode = 0x90;
}  // namespace boardfpga

// What a model offers beyond the common set.
enum ModelFeature : uint32_t {
    kModelGain = 1u << 0,
    kModelMirrors = 1u << 1,
    kModelTrigger = 1u << 2,
    kModelBitDepth = 1u << 3,
    kModelFrameRate = 1u << 4,
    kModelChannels = 1u << 5,  // channel gain and offset, channels 1-3
    kModelLevel = 1u << 6,
    kModelCooler = 1u << 7,
    kModelHeadTemperature = 1u << 8,
    kModelAuxSensor = 1u << 9,
    kModelExposureSeconds = 1u << 10,
    kModelSensorMode = 1u << 11,
    kModelFpgaFlag = 1u << 12,
    kModelFpgaFlagReport = 1u << 13,  // WriteFpgaFlag tells the debugger output how it went
    kModelGainSteps = 1u << 14,
    kModelModeSwitch = 1u << 15,
    kModelAnalogMode = 1u << 16,
    kModelThermistor = 1u << 17,  // cooler target and temperature through the thermistor registers
    kModelExposure = 1u << 18,
};

struct ModelDescriptor {
    int32_t width, height;  // the whole readout area; the window starts as all of it
    int32_t gainMin, gainMax, gain;
    int32_t exposureMin, exposureMax, exposure;
    double exposureUnitSeconds;  // length of one exposure unit of the head
    int32_t pixelClockKHz;
    int32_t variant;
    int32_t bitsNarrow, bitsWide;  // bits per pixel delivered by SetBitDepth(0) and SetBitDepth(1)
    int32_t levelMin, levelMax, level;
    uint32_t features;
};

class CSensorModelHead : public CSensorCommon {
public:
    static constexpr int32_t kChannelCount = 3;
    static constexpr int32_t kChannelGainMax = 0xFFFF;
    static constexpr int32_t kChannelGainDefault = 4096;
    static constexpr int32_t kChannelOffsetMax = 0xFFFF;
    static constexpr int32_t kAnalogModeSteps = 9;
    static constexpr int32_t kSensorModes = 4;
    static constexpr int32_t kFrameRateMax = 240;
    // Shortest exposure the 0x31E0 head allows in analog mode 0 and in every other mode.
    static constexpr double kShortestExposurePlain = 0.000056;
    static constexpr double kShortestExposureAnalog = 0.000128;

    CSensorModelHead(CControllerBase* controller, uint8_t serialAddress, const ModelDescriptor& model);

    int32_t IsCameraReady() override;
    [[nodiscard]] int32_t Initialize() override;
    [[nodiscard]] int32_t SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    [[nodiscard]] int32_t SetTriggerMode(int32_t mode) override;
    [[nodiscard]] int32_t SetBitDepth(int32_t wide) override;
    [[nodiscard]] int32_t SetExposure(int32_t value) override;
    [[nodiscard]] int32_t SetGain(int32_t value) override;
    [[nodiscard]] int32_t SetChannelGain(int32_t channel, int32_t value) override;
    [[nodiscard]] int32_t GetChannelGain(int32_t channel, int32_t* value) override;
    [[nodiscard]] int32_t GetChannelGainMin(int32_t* value) override;
    [[nodiscard]] int32_t GetChannelGainMax(int32_t* value) override;
    [[nodiscard]] int32_t GetChannelGainDefault(int32_t* value) override;
    [[nodiscard]] int32_t SetChannelOffset(int32_t channel, int32_t value) override;
    [[nodiscard]] int32_t GetChannelOffset(int32_t channel, int32_t* value) override;
    [[nodiscard]] int32_t GetChannelOffsetMin(int32_t* value) override;
    [[nodiscard]] int32_t GetChannelOffsetMax(int32_t* value) override;
    [[nodiscard]] int32_t GetChannelOffsetDefault(int32_t* value) override;
    [[nodiscard]] int32_t SetLevel(int32_t value) override;
    [[nodiscard]] int32_t SetGainStep(int32_t step) override;
    [[nodiscard]] int32_t GetGainStep(int32_t* step) override;
    [[nodiscard]] int32_t GetGainStepLabel(int32_t step, char* label) override;
    [[nodiscard]] int32_t SetExposureTime(int32_t time) override;
    [[nodiscard]] int32_t SetMirrorH(int32_t on) override;
    [[nodiscard]] int32_t SetMirrorV(int32_t on) override;
    [[nodiscard]] int32_t SetFrameRate(int32_t on, int32_t rate) override;
    [[nodiscard]] int32_t WriteRegister(uint32_t address, uint32_t value) override;
    [[nodiscard]] int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    [[nodiscard]] int32_t SetAnalogMode(int32_t step) override;
    [[nodiscard]] int32_t GetAnalogMode(int32_t* step) override;
    int32_t CoolerAvailable() override;
    [[nodiscard]] int32_t GetCoolerState(int32_t* state) override;
    [[nodiscard]] int32_t SetCoolerState(int32_t state) override;
    int32_t TemperatureAvailable() override;
    [[nodiscard]] int32_t ReadTemperature(double* degrees) override;
    int32_t AuxSensorAvailable() override;
    [[nodiscard]] int32_t ReadAuxSensorRegister(int32_t* value) override;
    [[nodiscard]] int32_t ReadAuxSensor(int32_t* value) override;
    [[nodiscard]] int32_t SetExposureSeconds(double seconds) override;
    [[nodiscard]] int32_t SetSensorMode(int32_t a, int32_t b, int32_t mode) override;
    [[nodiscard]] int32_t GetSensorMode(int32_t* a, int32_t* b, int32_t* mode) override;
    int32_t SensorModeAvailable() override;
    int32_t GetFpgaFlag() override;
    [[nodiscard]] int32_t WriteFpgaFlag(int32_t value) override;
    int32_t ModeSwitchAvailable() override;
    int32_t GetModeSwitch() override;
    [[nodiscard]] int32_t SetModeSwitch(int32_t on) override;

    const ModelDescriptor& Descriptor() const { return model; }

protected:
    bool Has(uint32_t feature) const { return (model.features & feature) != 0; }
    // A value of `count` bytes at consecutive head registers, low byte first, in one transaction.
    bool WriteHead(uint16_t reg, uint32_t value, int count);
    bool ReadHead(uint16_t reg, uint32_t* value, int count);
    int32_t ApplyExposure(int32_t raw, double seconds, int32_t time);
    // Exposure in public units of 100 us for a raw value of the head.
    int32_t TimeOfRaw(int32_t raw) const;

private:
    int32_t WriteMirrors(int32_t horizontal, int32_t vertical);

    const ModelDescriptor& model;
    std::array<int32_t, kChannelCount> channelGain{};
    std::array<int32_t, kChannelCount> channelOffset{};
    int32_t analogMode = 0;
    int32_t coolerState = 0;
    int32_t sensorMode = 0;
    int32_t modeSwitch = 0;
};
