// The interface through which the device core drives whatever sensor or camera head sits behind
// the USB controller. The virtual operations are listed, in their fixed slot order, in
// SensorOperations.def: drivers override a subset, and the base answers the rest as "not supported".
#pragma once

#include "sensors/SensorParameters.h"

#include <cstdint>

class CControllerBase;

class CSensorBase {
public:
    CSensorBase(CControllerBase* controller, uint8_t serialAddress);
    CSensorBase(const CSensorBase&) = delete;
    CSensorBase& operator=(const CSensorBase&) = delete;

    virtual ~CSensorBase();

#define KELVRA_SENSOR_OP(slot, kind, result, name, parameters) KELVRA_SENSOR_##kind virtual result name parameters;
#define KELVRA_SENSOR_CHECKED [[nodiscard]]
#define KELVRA_SENSOR_VALUE
#include "sensors/SensorOperations.def"
#undef KELVRA_SENSOR_VALUE
#undef KELVRA_SENSOR_CHECKED
#undef KELVRA_SENSOR_OP

    // Non-virtual state the device core reads and sets directly.
    CControllerBase* Controller() const { return controller; }
    uint8_t SerialAddress() const { return serialAddress; }
    int32_t Variant() const { return variant; }
    uint16_t FpgaVersion() const { return fpgaVersion; }
    void SetFpgaVersion(uint16_t version) { fpgaVersion = version; }
    const SensorParameters& Parameters() const { return params; }
    // How the sensor reads out: 1 normal, 2 mirrored, 3 upside down, 4 both. The device core
    // turns the frame round while it copies it to the caller.
    int32_t ReadoutOrientation() const { return readoutOrientation; }
    // Board revision of heads whose older revisions deliver one row short (model 0x31E0).
    int32_t Revision() const { return revision; }
    // The readout option last set (SetReadoutOption); the FPGA timing of some boards depends on it.
    int32_t ReadoutOptionValue() const { return readoutOption; }

protected:
    SensorParameters params{};
    CControllerBase* controller;  // not owned; null leaves every hardware operation failing
    uint8_t serialAddress;        // 8-bit write form on the camera's I2C bus
    int32_t triggerMode = 0;
    uint16_t fpgaVersion = 0;
    int32_t variant = 0;
    int32_t readoutOrientation = 1;
    int32_t revision = 0;
    int32_t readoutOption = 0;
};
