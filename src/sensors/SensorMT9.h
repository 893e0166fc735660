// Drivers of the MT9 image sensors. The chips take 16-bit register addresses and 16-bit values,
// both sent high byte first, and need no lock: the device core calls them from one thread. The
// four models differ in their register map and numbers only, so one implementation serves them
// all from a map of register addresses.
#pragma once

#include "sensors/FamilyMember.h"

struct Mt9RegisterMap;

class CSensorMT9 : public CSensorFamilyMember {
public:
    [[nodiscard]] int32_t WriteRegister(uint32_t address, uint32_t value) override;
    [[nodiscard]] int32_t ReadRegister(uint32_t address, uint32_t* value) override;

    // Each writes (value AND 0x7F) OR 0x1100 to the chip's gain register of that colour.
    [[nodiscard]] int32_t SetColorGainRed(int32_t value) override;
    [[nodiscard]] int32_t GetColorGainRed(int32_t* value) override;
    [[nodiscard]] int32_t SetColorGainGreen1(int32_t value) override;
    [[nodiscard]] int32_t GetColorGainGreen1(int32_t* value) override;
    [[nodiscard]] int32_t SetColorGainGreen2(int32_t value) override;
    [[nodiscard]] int32_t GetColorGainGreen2(int32_t* value) override;
    [[nodiscard]] int32_t SetColorGainBlue(int32_t value) override;
    [[nodiscard]] int32_t GetColorGainBlue(int32_t* value) override;

    [[nodiscard]] int32_t SetHalfClock(int32_t mode) override;
    [[nodiscard]] int32_t GetHalfClock(int32_t* mode) override;

    // The gain register a colour gain goes to, and the value written for a colour gain.
    static constexpr uint16_t kRedGain = 0x305A;
    static constexpr uint16_t kGreen1Gain = 0x3056;
    static constexpr uint16_t kGreen2Gain = 0x305C;
    static constexpr uint16_t kBlueGain = 0x3058;
    static constexpr uint32_t ColourGainCode(int32_t value) { return (static_cast<uint32_t>(value) & 0x7F) | 0x1100; }

protected:
    CSensorMT9(CControllerBase* controller, uint8_t serialAddress, SensorModel model);

    int32_t StartUp() override;
    int32_t ProgramWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t ProgramExposure(int32_t value) override;
    int32_t ProgramGain(int32_t value) override;
    int32_t ProgramMirror(Axis axis, int32_t on) override;
    int32_t ProgramTrigger(int32_t mode) override;
    bool AcceptsSubsampleMode(int32_t mode) const override;

private:
    int32_t SetColourGain(uint16_t reg, int32_t value, int32_t& stored);
    // Sets or clears one bit of a register, keeping the others as the chip holds them.
    int32_t WriteBit(uint16_t reg, uint16_t bit, bool on);

    SensorModel model;
    const Mt9RegisterMap& map;
    int32_t halfClock = 0;
};

template <SensorModel Model>
class CSensorMT9Model final : public CSensorMT9 {
public:
    CSensorMT9Model(CControllerBase* controller, uint8_t serialAddress)
        : CSensorMT9(controller, serialAddress, Model) {}
};

// The MT9F002 restarts its stream when a preview starts and has an auxiliary setting.
class CSensorMT9F002 final : public CSensorMT9 {
public:
    CSensorMT9F002(CControllerBase* controller, uint8_t serialAddress)
        : CSensorMT9(controller, serialAddress, SensorModel::MT9F002) {}

    void RestartStream() override;
    void WriteAuxSetting() override;
};

using CSensorMT9F001 = CSensorMT9Model<SensorModel::MT9F001>;
using CSensorMT9P001 = CSensorMT9Model<SensorModel::MT9P001>;
using CSensorMT9J001 = CSensorMT9Model<SensorModel::MT9J001>;
