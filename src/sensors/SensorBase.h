// The interface through which the device core drives whatever sensor or camera head sits behind
// the USB controller. The slot order of the virtual operations is part of the design: drivers
// override a subset, and the base answers the rest as "not supported".
#pragma once

#include "sensors/SensorParameters.h"

#include <cstdint>

class CControllerBase;

class CSensorBase {
public:
    CSensorBase(CControllerBase* controller, uint8_t serialAddress);
    CSensorBase(const CSensorBase&) = delete;
    CSensorBase& operator=(const CSensorBase&) = delete;

    virtual ~CSensorBase();                                              // 0
    virtual int32_t SetVariant(int32_t code);                            // 1
    virtual void SetTriggerModeValue(int32_t value);                     // 2
    virtual int32_t GetTriggerModeValue();                               // 3
    virtual int32_t IsCameraReady();                                     // 4
    virtual int32_t Initialize();                                        // 5
    virtual int32_t Identify();                                          // 6
    virtual int32_t ResetSensor();                                       // 7
    virtual int32_t SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode); // 8
    virtual int32_t GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height,
                              int32_t* mode);                            // 9
    virtual int32_t SetTriggerMode(int32_t mode);                        // 10
    virtual int32_t GetTriggerMode(int32_t* mode);                       // 11
    virtual int32_t SetReadoutOption(int32_t value);                     // 12
    virtual int32_t ApplyReadoutOption();                                // 13
    virtual int32_t SupportsReadoutOption();                             // 14
    virtual int32_t SetBitDepth(int32_t wide);                           // 15
    virtual int32_t SetExposure(int32_t value);                          // 16
    virtual int32_t GetExposure(int32_t* value);                         // 17
    virtual int32_t SetGain(int32_t value);                              // 18
    virtual int32_t GetGain(int32_t* value);                             // 19
    virtual int32_t SetColorGainRed(int32_t value);                      // 20
    virtual int32_t GetColorGainRed(int32_t* value);                     // 21
    virtual int32_t SetColorGainGreen1(int32_t value);                   // 22
    virtual int32_t GetColorGainGreen1(int32_t* value);                  // 23
    virtual int32_t SetColorGainGreen2(int32_t value);                   // 24
    virtual int32_t GetColorGainGreen2(int32_t* value);                  // 25
    virtual int32_t SetColorGainBlue(int32_t value);                     // 26
    virtual int32_t GetColorGainBlue(int32_t* value);                    // 27
    virtual int32_t GetExposureMin(int32_t* value);                      // 28
    virtual int32_t GetExposureMax(int32_t* value);                      // 29
    virtual int32_t GetExposureDefault(int32_t* value);                  // 30
    virtual int32_t GetGainMin(int32_t* value);                          // 31
    virtual int32_t GetGainMax(int32_t* value);                          // 32
    virtual int32_t GetGainDefault(int32_t* value);                      // 33
    virtual int32_t GetRedGainMin(int32_t* value);                       // 34
    virtual int32_t GetRedGainMax(int32_t* value);                       // 35
    virtual int32_t GetRedGainDefault(int32_t* value);                   // 36
    virtual int32_t SetChannelGain(int32_t channel, int32_t value);      // 37
    virtual int32_t GetChannelGain(int32_t channel, int32_t* value);     // 38
    virtual int32_t GetChannelGainMin(int32_t* value);                   // 39
    virtual int32_t GetChannelGainMax(int32_t* value);                   // 40
    virtual int32_t GetChannelGainDefault(int32_t* value);               // 41
    virtual int32_t SetChannelOffset(int32_t channel, int32_t value);    // 42
    virtual int32_t GetChannelOffset(int32_t channel, int32_t* value);   // 43
    virtual int32_t GetChannelOffsetMin(int32_t* value);                 // 44
    virtual int32_t GetChannelOffsetMax(int32_t* value);                 // 45
    virtual int32_t GetChannelOffsetDefault(int32_t* value);             // 46
    virtual int32_t IsLevelSupported();                                  // 47
    virtual int32_t SetLevel(int32_t value);                             // 48
    virtual int32_t GetLevel(int32_t* value);                            // 49
    virtual int32_t GetLevelMin(int32_t* value);                         // 50
    virtual int32_t GetLevelMax(int32_t* value);                         // 51
    virtual int32_t GetLevelDefault(int32_t* value);                     // 52
    virtual int32_t IsGainStepSupported();                               // 53
    virtual int32_t GetGainStepMin(int32_t* value);                      // 54
    virtual int32_t GetGainStepMax(int32_t* value);                      // 55
    virtual int32_t GetGainStepDefault(int32_t* value);                  // 56
    virtual int32_t GetGainStepValue(int32_t* value);                    // 57
    virtual int32_t SetGainStep(int32_t step);                           // 58
    virtual int32_t GetGainStep(int32_t* step);                          // 59
    virtual int32_t GetGainStepLabel(int32_t step, char* label);         // 60
    virtual int32_t SetExposureTime(int32_t time);                       // 61
    virtual int32_t GetExposureTime(int32_t* time);                      // 62
    virtual int32_t GetExposureTimeMin(int32_t* time);                   // 63
    virtual int32_t GetExposureTimeMax(int32_t* time);                   // 64
    virtual int32_t GetExposureTimeDefault(int32_t* time);               // 65
    virtual int32_t SetMirrorH(int32_t on);                              // 66
    virtual int32_t GetMirrorH(int32_t* on);                             // 67
    virtual int32_t SetMirrorV(int32_t on);                              // 68
    virtual int32_t GetMirrorV(int32_t* on);                             // 69
    virtual int32_t GetMirrorHDefault();                                 // 70
    virtual int32_t GetMirrorVDefault();                                 // 71
    virtual int32_t IsMirrorHSupported();                                // 72
    virtual int32_t IsMirrorVSupported();                                // 73
    virtual int32_t SetFrameRate(int32_t on, int32_t rate);              // 74
    virtual int32_t WriteRegister(uint32_t address, uint32_t value);     // 75
    virtual int32_t ReadRegister(uint32_t address, uint32_t* value);     // 76
    virtual int32_t WriteRegisterVerified(uint32_t address, uint32_t value); // 77
    virtual int32_t ReadRegisterWhenIdle(uint32_t address, uint32_t* value); // 78
    // The sampling rate of the sensor's converter; no head of the family has one to set.
    virtual int32_t SetSamplingRate(int32_t value, int32_t* rate);       // 79
    virtual int32_t ReservedSlot80();                                    // 80
    virtual int32_t ReservedSlot81();                                    // 81
    virtual int32_t ReservedSlot82();                                    // 82
    virtual int32_t ReservedSlot83();                                    // 83
    virtual int32_t SetHalfClock(int32_t mode);                          // 84
    virtual int32_t GetHalfClock(int32_t* mode);                         // 85
    virtual int32_t ReservedSlot86();                                    // 86
    virtual int32_t ReservedSlot87();                                    // 87
    virtual int32_t CopyParameters(SensorParameters* block);             // 88
    virtual void RestartStream();                                        // 89
    virtual void WriteAuxSetting();                                      // 90
    virtual int32_t SetAnalogMode(int32_t step);                         // 91
    virtual int32_t GetAnalogMode(int32_t* step);                        // 92
    virtual int32_t CoolerAvailable();                                   // 93
    virtual int32_t GetCoolerState(int32_t* state);                      // 94
    virtual int32_t SetCoolerState(int32_t state);                       // 95
    virtual int32_t TemperatureAvailable();                              // 96
    virtual int32_t ReadTemperature(double* degrees);                    // 97
    virtual void StopMonitor();                                          // 98
    virtual void StopMonitorAndClear();                                  // 99
    virtual int32_t MonitorAvailable();                                  // 100
    virtual int32_t ReadMonitorStatus(int32_t* status);                  // 101
    virtual int32_t SetMonitorMode(int32_t mode);                        // 102
    virtual int32_t ReceiveText(char* buffer, int32_t capacity);         // 103
    virtual int32_t SendText(const char* text, int32_t length);          // 104
    virtual int32_t AuxSensorAvailable();                                // 105
    virtual int32_t ReadAuxSensorRegister(int32_t* value);               // 106
    virtual int32_t ReadAuxSensor(int32_t* value);                       // 107
    virtual int32_t TargetTemperatureAvailable();                        // 108
    virtual int32_t ReservedSensorOpA();                                 // 109
    virtual int32_t ReservedSensorOpB();                                 // 110
    virtual int32_t GetTargetTemperature(int32_t* degrees);              // 111
    virtual int32_t SetTargetTemperature(int32_t degrees);               // 112
    virtual int32_t IsExposureSecondsSupported();                        // 113
    virtual int32_t GetExposureSecondsMin(double* seconds);              // 114
    virtual int32_t GetExposureSecondsMax(double* seconds);              // 115
    virtual int32_t GetExposureSecondsDefault(double* seconds);          // 116
    virtual int32_t GetExposureSeconds(double* seconds);                 // 117
    virtual int32_t SetExposureSeconds(double seconds);                  // 118
    virtual int32_t AutoLevelAvailable();                                // 119
    virtual int32_t GetAutoLevel(int32_t* on);                           // 120
    virtual int32_t SetAutoLevel(int32_t on);                            // 121
    virtual int32_t SetSensorMode(int32_t a, int32_t b, int32_t mode);   // 122
    virtual int32_t GetSensorMode(int32_t* a, int32_t* b, int32_t* mode); // 123
    virtual int32_t SensorModeAvailable();                               // 124
    virtual int32_t GetFpgaFlag();                                       // 125
    virtual int32_t WriteFpgaFlag(int32_t value);                        // 126
    virtual int32_t ModeSwitchAvailable();                               // 127
    virtual int32_t GetModeSwitch();                                     // 128
    virtual int32_t SetModeSwitch(int32_t on);                           // 129

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
