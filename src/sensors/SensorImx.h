// Drivers of the chips with 16-bit register addresses and one-byte registers: the IMX family,
// the LI7050 and GLUX9701, and the cooled P3200 camera built round such a chip. Multi-byte
// values span consecutive registers, low byte first. Every register access holds the sensor
// lock; chips behind a board that relays its own traffic to them take their writes through the
// verified access. The models differ in numbers (their ImxRegisterMap) and in a few operations
// of their own, which the classes at the end add.
#pragma once

#include "sensors/FamilyMember.h"

struct ImxRegisterMap;

class CSensorImx : public CSensorFamilyMember {
public:
    [[nodiscard]] int32_t WriteRegister(uint32_t address, uint32_t value) override;
    [[nodiscard]] int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    [[nodiscard]] int32_t WriteRegisterVerified(uint32_t address, uint32_t value) override;
    [[nodiscard]] int32_t ReadRegisterWhenIdle(uint32_t address, uint32_t* value) override;

    [[nodiscard]] int32_t SetLevel(int32_t value) override;
    [[nodiscard]] int32_t GetLevel(int32_t* value) override;
    [[nodiscard]] int32_t SetExposureSeconds(double seconds) override;

    int32_t CoolerAvailable() override;
    [[nodiscard]] int32_t GetCoolerState(int32_t* state) override;
    [[nodiscard]] int32_t SetCoolerState(int32_t state) override;
    int32_t TemperatureAvailable() override;
    [[nodiscard]] int32_t ReadTemperature(double* degrees) override;

    // Board FPGA registers of the cooled boards: the cooler switch and the sensor temperature
    // in signed whole degrees Celsius.
    static constexpr uint8_t kCoolerRegister = 0x50;
    static constexpr uint8_t kTemperatureRegister = 0x51;

protected:
    CSensorImx(CControllerBase* controller, uint8_t serialAddress, SensorModel model);

    const ImxRegisterMap& Map() const { return map; }
    // A register value of `bytes` bytes, low byte first, through the access this chip needs.
    int32_t WriteValue(uint16_t reg, uint32_t value, int bytes);
    int32_t WriteChip(uint16_t reg, uint32_t value);

    int32_t StartUp() override;
    int32_t ProgramWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t ProgramExposure(int32_t value) override;
    int32_t ProgramGain(int32_t value) override;
    int32_t ProgramMirror(Axis axis, int32_t on) override;
    int32_t ProgramTrigger(int32_t mode) override;
    int32_t ProgramBitDepth(int32_t bits) override;
    int32_t ProgramFrameRate(int32_t on, int32_t rate) override;
    // The frame length in lines that a rate asks for; 0 when it cannot be met.
    virtual int32_t FrameLengthFor(int32_t rate) const;

    // The seconds range follows the exposure-time range (one unit is 100 us).
    void DeriveSecondsRange();

private:
    // Rewrites VMAX and SHS for an exposure, keeping the frame at least as long as set.
    int32_t ProgramShutter(int32_t exposure, int32_t frameLength);

    const ImxRegisterMap& map;
    uint8_t reverse = 0;  // the chip's mirror register as last written
    int32_t cooler = 0;
};

template <SensorModel Model>
class CSensorImxModel final : public CSensorImx {
public:
    CSensorImxModel(CControllerBase* controller, uint8_t serialAddress)
        : CSensorImx(controller, serialAddress, Model) {}
};

// The cooled camera: its frame rate comes from its own formula, and it has a monitor.
class CSensorP3200 final : public CSensorImx {
public:
    CSensorP3200(CControllerBase* controller, uint8_t serialAddress);

    void StopMonitor() override;
    void StopMonitorAndClear() override;
    int32_t MonitorAvailable() override;
    [[nodiscard]] int32_t ReadMonitorStatus(int32_t* status) override;
    [[nodiscard]] int32_t SetMonitorMode(int32_t mode) override;

    static constexpr uint8_t kMonitorModeRegister = 0x52;
    static constexpr uint8_t kMonitorStatusRegister = 0x53;

protected:
    int32_t FrameLengthFor(int32_t rate) const override;
};

// The short-wave infrared chips: two variants each, an FPGA readout option, and an exposure
// the head takes in nanoseconds.
class CSensorImxSwir : public CSensorImx {
public:
    [[nodiscard]] int32_t SetVariant(int32_t code) override;
    [[nodiscard]] int32_t SetReadoutOption(int32_t value) override;
    [[nodiscard]] int32_t ApplyReadoutOption() override;
    int32_t SupportsReadoutOption() override;
    [[nodiscard]] int32_t SetExposureSeconds(double seconds) override;

    static constexpr uint8_t kReadoutOptionRegister = 0x59;

protected:
    CSensorImxSwir(CControllerBase* controller, uint8_t serialAddress, SensorModel model, int32_t firstVariant);
    int32_t StartUp() override;

private:
    int32_t firstVariant;
};

template <SensorModel Model, int32_t FirstVariant>
class CSensorImxSwirModel final : public CSensorImxSwir {
public:
    CSensorImxSwirModel(CControllerBase* controller, uint8_t serialAddress)
        : CSensorImxSwir(controller, serialAddress, Model, FirstVariant) {}
};

// The GLUX9701 can be reset, levels its black automatically on request and has an FPGA flag.
class CSensorGLUX9701 final : public CSensorImx {
public:
    CSensorGLUX9701(CControllerBase* controller, uint8_t serialAddress);

    [[nodiscard]] int32_t ResetSensor() override;
    int32_t AutoLevelAvailable() override;
    [[nodiscard]] int32_t GetAutoLevel(int32_t* on) override;
    [[nodiscard]] int32_t SetAutoLevel(int32_t on) override;
    int32_t GetFpgaFlag() override;
    [[nodiscard]] int32_t WriteFpgaFlag(int32_t value) override;

    static constexpr uint8_t kFpgaFlagRegister = 0x80;

private:
    int32_t autoLevel = 0;
};

using CSensorIMX178 = CSensorImxModel<SensorModel::IMX178>;
using CSensorIMX174 = CSensorImxModel<SensorModel::IMX174>;
using CSensorIMX183 = CSensorImxModel<SensorModel::IMX183>;
using CSensorIMX159 = CSensorImxModel<SensorModel::IMX159>;
using CSensorIMX250 = CSensorImxModel<SensorModel::IMX250>;
using CSensorIMX264 = CSensorImxModel<SensorModel::IMX264>;
using CSensorIMX252 = CSensorImxModel<SensorModel::IMX252>;
using CSensorIMX265 = CSensorImxModel<SensorModel::IMX265>;
using CSensorIMX226 = CSensorImxModel<SensorModel::IMX226>;
using CSensorIMX990 = CSensorImxSwirModel<SensorModel::IMX990, 109>;
using CSensorIMX991 = CSensorImxSwirModel<SensorModel::IMX991, 111>;
using CSensorLI7050 = CSensorImxModel<SensorModel::LI7050>;
using CSensorIMX536 = CSensorImxModel<SensorModel::IMX536>;
using CSensorIMX487 = CSensorImxModel<SensorModel::IMX487>;
using CSensorIMX273 = CSensorImxModel<SensorModel::IMX273>;
