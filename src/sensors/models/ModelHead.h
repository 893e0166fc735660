// Drivers of the family's camera heads that carry their own controller and FPGA (the models
// named after their product id), and of the CCD camera, whose timing generator sits in such a
// head too. One implementation serves them all: a model is its row of the family table plus the
// few values below (ModelTraits). The setters are the family's shared paths; this driver adds
// the head's register traffic and the controls only these heads have.
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
//   0x0020-0x23  exposure in the model's own unit (ModelTraits::lineTotal clock periods)
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

#include "sensors/FamilyMember.h"

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

// What a model offers beyond the family table's features column.
enum ModelFeature : uint32_t {
    kModelChannels = 1u << 0,  // channel gain and offset, channels 1-3
    kModelAuxSensor = 1u << 1,
    kModelSensorMode = 1u << 2,
    kModelFpgaFlag = 1u << 3,
    kModelFpgaFlagReport = 1u << 4,  // WriteFpgaFlag tells the debugger output how it went
    kModelGainSteps = 1u << 5,
    kModelModeSwitch = 1u << 6,
    kModelAnalogMode = 1u << 7,
};

// A model's values beyond its row of the family table.
struct ModelTraits {
    SensorModel model;
    // Clock periods in one exposure unit of the head: the exposure unit is the driver's line.
    int32_t lineTotal;
    int32_t bitsNarrow, bitsWide;  // bits per pixel delivered by SetBitDepth(0) and SetBitDepth(1)
    int32_t levelMin, levelMax, level;
    uint32_t features;  // ModelFeature bits
};

class CSensorModelHead : public CSensorFamilyMember {
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

    CSensorModelHead(CControllerBase* controller, uint8_t serialAddress, const ModelTraits& traits);

    int32_t IsCameraReady() override;
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

protected:
    int32_t StartUp() override;
    int32_t ProgramWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t ProgramExposure(int32_t value) override;
    int32_t ProgramGain(int32_t value) override;
    int32_t ProgramMirror(Axis axis, int32_t on) override;
    int32_t ProgramTrigger(int32_t mode) override;
    int32_t ProgramBitDepth(int32_t bits) override;
    int32_t ProgramFrameRate(int32_t on, int32_t rate) override;
    int32_t WideBits() const override { return traits.bitsWide; }
    int32_t NarrowBits() const override { return traits.bitsNarrow; }

    bool HasExtra(uint32_t feature) const { return (traits.features & feature) != 0; }
    // A value of `count` bytes at consecutive head registers, low byte first, in one transaction.
    bool WriteHead(uint16_t reg, uint32_t value, int count);
    bool ReadHead(uint16_t reg, uint32_t* value, int count);

private:
    const ModelTraits& traits;
    std::array<int32_t, kChannelCount> channelGain{};
    std::array<int32_t, kChannelCount> channelOffset{};
    int32_t analogMode = 0;
    int32_t coolerState = 0;
    int32_t sensorMode = 0;
    int32_t modeSwitch = 0;
};
